#include "core/update/HttpResponseParser.h"

#include <QList>

namespace zv::update {

namespace {

// Headers larger than this are not from a file server; stop reading rather than buffer forever.
constexpr qsizetype kMaxHead = 64 * 1024;

} // namespace

void HttpResponseParser::reset(bool headRequest)
{
    *this = HttpResponseParser();
    m_headRequest = headRequest;
}

HttpResponseParser::State HttpResponseParser::fail(const char *why)
{
    m_error = why;
    m_state = State::Error;
    return m_state;
}

bool HttpResponseParser::parseHead(QByteArrayView head)
{
    const qsizetype lineEnd = head.indexOf("\r\n");
    const QByteArrayView statusLine = lineEnd < 0 ? head : head.first(lineEnd);
    // "HTTP/1.x NNN reason"
    if (!statusLine.startsWith("HTTP/1.") || statusLine.size() < 12 || statusLine.at(8) != ' ')
        return false;
    bool ok = false;
    m_status = statusLine.sliced(9, 3).toInt(&ok);
    if (!ok || m_status < 100)
        return false;
    m_keepAlive = statusLine.at(7) != '0'; // HTTP/1.0 closes unless told otherwise
    bool chunked = false;
    m_length = -1;
    if (lineEnd >= 0) {
        for (const QByteArray &line : head.sliced(lineEnd + 2).toByteArray().split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") {
                m_length = value.toLongLong(&ok);
                if (!ok || m_length < 0)
                    return false;
            } else if (name == "transfer-encoding") {
                chunked = value.toLower().contains("chunked");
            } else if (name == "location") {
                m_location = value;
            } else if (name == "connection") {
                const QByteArray v = value.toLower();
                if (v.contains("close"))
                    m_keepAlive = false;
                else if (v.contains("keep-alive"))
                    m_keepAlive = true;
            }
        }
    }
    if (chunked) {
        m_framing = Framing::Chunked;
        m_length = -1;
    } else if (m_length >= 0) {
        m_framing = Framing::Length;
        m_left = m_length;
    } else {
        m_framing = Framing::UntilClose;
        m_keepAlive = false;
    }
    return true;
}

HttpResponseParser::State HttpResponseParser::feed(QByteArray &buffer, QByteArray &body)
{
    qsizetype at = 0;
    while (m_state == State::Head) {
        const qsizetype end = buffer.indexOf("\r\n\r\n", at);
        if (end < 0) {
            if (buffer.size() - at > kMaxHead)
                return fail("response head too large");
            break;
        }
        if (!parseHead(QByteArrayView(buffer).sliced(at, end - at)))
            return fail("malformed response");
        at = end + 4;
        if (m_status >= 100 && m_status < 200) {
            // An interim answer; the real one follows.
            const bool headRequest = m_headRequest;
            reset(headRequest);
            continue;
        }
        const bool noBody = m_headRequest || m_status == 204 || m_status == 304;
        if (noBody || (m_framing == Framing::Length && m_length == 0))
            m_state = State::Done;
        else
            m_state = State::Body;
    }
    if (m_state == State::Body)
        feedBody(buffer, at, body);
    buffer.remove(0, at);
    return m_state;
}

void HttpResponseParser::feedBody(QByteArray &buffer, qsizetype &at, QByteArray &body)
{
    while (m_state == State::Body && at < buffer.size()) {
        const qsizetype available = buffer.size() - at;
        if (m_framing == Framing::UntilClose) {
            body.append(buffer.constData() + at, available);
            at += available;
        } else if (m_framing == Framing::Length) {
            const qsizetype take = qsizetype(qMin<qint64>(m_left, available));
            body.append(buffer.constData() + at, take);
            at += take;
            m_left -= take;
            if (m_left == 0)
                m_state = State::Done;
        } else if (m_chunk == Chunk::Data) {
            const qsizetype take = qsizetype(qMin<qint64>(m_left, available));
            body.append(buffer.constData() + at, take);
            at += take;
            m_left -= take;
            if (m_left == 0)
                m_chunk = Chunk::DataEnd;
        } else {
            const qsizetype end = buffer.indexOf("\r\n", at);
            if (end < 0) {
                if (available > kMaxHead)
                    fail("chunk header too large");
                return;
            }
            const QByteArray line = buffer.sliced(at, end - at);
            at = end + 2;
            if (m_chunk == Chunk::DataEnd) {
                if (!line.isEmpty()) {
                    fail("malformed chunk");
                    return;
                }
                m_chunk = Chunk::Size;
            } else if (m_chunk == Chunk::Size) {
                bool ok = false;
                const qsizetype semicolon = line.indexOf(';');
                m_left = (semicolon < 0 ? line : line.left(semicolon)).trimmed().toLongLong(&ok, 16);
                if (!ok || m_left < 0) {
                    fail("malformed chunk size");
                    return;
                }
                m_chunk = m_left == 0 ? Chunk::Trailer : Chunk::Data;
            } else if (line.isEmpty()) { // the empty line after the trailers ends the body
                m_state = State::Done;
            }
        }
    }
}

HttpResponseParser::State HttpResponseParser::closed()
{
    if (m_state == State::Body && m_framing == Framing::UntilClose)
        m_state = State::Done;
    else if (m_state != State::Done)
        return fail("connection closed before the response ended");
    return m_state;
}

} // namespace zv::update
