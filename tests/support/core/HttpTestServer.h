#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace zvtest {

// A small HTTP/1.1 server on 127.0.0.1 for update tests, plain or over TLS (with the test
// certificate). It serves what a test puts in it, keeps connections alive, records every
// request path, and can misbehave on purpose.
class HttpTestServer : public QObject
{
    Q_OBJECT

public:
    enum class Behaviour {
        Normal,
        Chunked,    // body in chunks, without Content-Length
        CutBody,    // announces the whole body, sends half, closes the connection
        Stall,      // announces the whole body, sends half, then stays silent
        Silent,     // accepts the request and never answers
        CloseAfter, // answers whole, then closes the connection without saying so beforehand
        Gzip,       // body sent gzip-compressed (Content-Encoding: gzip) with its compressed length
        Trickle,    // announces the whole body, then sends trickleBytes of it every trickleMs
    };
    enum class Scheme { Http, Https };
    struct Route
    {
        int status = 200;
        QByteArray body;
        Behaviour behaviour = Behaviour::Normal;
        QByteArray location; // for redirects
        int trickleBytes = 1;
        int trickleMs = 200;
    };

    explicit HttpTestServer(Scheme scheme = Scheme::Http);
    ~HttpTestServer() override;

    // False when the TLS listener could not be set up (see error()).
    bool isListening() const;
    QString error() const { return m_error; }
    quint16 port() const;
    // "http://127.0.0.1:PORT/" or "https://...", a host root with its trailing slash like the built-in servers.
    QString root() const;
    // Connections the server holds open now.
    int openConnections() const { return int(m_buffers.size()); }

    // `path` as it travels on the wire (percent-encoded); unknown paths answer 404.
    void setRoute(const QByteArray &path, const Route &route);
    void setFile(const QByteArray &path, const QByteArray &body);
    void removeRoute(const QByteArray &path);

    QList<QByteArray> requests; // request paths, in arrival order
    int maxOpenConnections = 0; // the most connections open at one time

    // A port on which nothing listens (connecting is refused).
    static quint16 closedPort();
    // `data` in the gzip format, as a server that compresses its answers sends it.
    static QByteArray gzip(const QByteArray &data);

signals:
    void requested(const QByteArray &path);

private:
    void onConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QByteArray &path);

    Scheme m_scheme;
    QTcpServer *m_server;
    QString m_error;
    QHash<QByteArray, Route> m_routes;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    // Connections whose answer never ends: like a real server, they answer nothing after it.
    QSet<QTcpSocket *> m_stuck;
};

} // namespace zvtest
