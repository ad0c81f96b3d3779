#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace zv::update {

// Reads one HTTP/1.1 response at a time from a byte stream: the status line, the headers, and
// a body sized by Content-Length, sent in chunks, or running until the connection closes.
// Bytes after the end of a response stay in the caller's buffer for the next (pipelined) one.
class HttpResponseParser
{
public:
    enum class State { Head, Body, Done, Error };

    // Starts on a new response; `headRequest` answers carry no body whatever they announce.
    void reset(bool headRequest = false);
    // Consumes what it can of `buffer`, appending body bytes to `body`.
    State feed(QByteArray &buffer, QByteArray &body);
    // The connection has closed: a body delimited by the close is complete, anything else is cut.
    State closed();

    State state() const { return m_state; }
    bool headDone() const { return m_state == State::Body || m_state == State::Done; }
    int status() const { return m_status; }
    qint64 contentLength() const { return m_length; } // -1 when not announced
    QByteArray location() const { return m_location; }
    // Whether the server keeps the connection open after this response.
    bool keepAlive() const { return m_keepAlive; }
    QByteArray error() const { return m_error; }

private:
    enum class Framing { Length, Chunked, UntilClose };
    enum class Chunk { Size, Data, DataEnd, Trailer };

    bool parseHead(QByteArrayView head);
    void feedBody(QByteArray &buffer, qsizetype &at, QByteArray &body);
    State fail(const char *why);

    State m_state = State::Head;
    Framing m_framing = Framing::Length;
    Chunk m_chunk = Chunk::Size;
    bool m_headRequest = false;
    int m_status = 0;
    qint64 m_length = -1;
    qint64 m_left = 0;
    bool m_keepAlive = true;
    QByteArray m_location;
    QByteArray m_error;
};

} // namespace zv::update
