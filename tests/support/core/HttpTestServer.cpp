#include "HttpTestServer.h"

#include "TestCertificate.h"

#include <QFile>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace zvtest {

namespace {

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void appendLittleEndian(QByteArray &out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

} // namespace

HttpTestServer::HttpTestServer(Scheme scheme)
    : m_scheme(scheme)
{
    if (scheme == Scheme::Https) {
        auto *server = new QSslServer(this);
        const TestCertificate &made = testCertificate();
        QFile certificate(made.certificate);
        QFile key(made.key);
        if (!made.error.isEmpty() || !certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)) {
            m_error = made.error.isEmpty() ? QStringLiteral("cannot read the test certificate") : made.error;
        } else {
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setLocalCertificate(QSslCertificate(certificate.readAll()));
            configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
            configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
            // Only HTTP/1.1 here: the faults it plays are HTTP/1.1 faults.
            configuration.setAllowedNextProtocols({QByteArrayLiteral("http/1.1")});
            server->setSslConfiguration(configuration);
        }
        m_server = server;
    } else {
        m_server = new QTcpServer(this);
    }
    if (m_error.isEmpty() && !m_server->listen(QHostAddress::LocalHost, 0))
        m_error = m_server->errorString();
    // A TLS connection is handed over once its handshake is done.
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpTestServer::onConnection);
}

bool HttpTestServer::isListening() const
{
    return m_error.isEmpty() && m_server->isListening();
}

QByteArray HttpTestServer::gzip(const QByteArray &data)
{
    // qCompress gives a 4-byte length and a zlib stream; gzip wraps the same deflate data.
    const QByteArray zlib = qCompress(data, 9);
    QByteArray out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
    out += zlib.mid(6, zlib.size() - 10);
    appendLittleEndian(out, crc32(data));
    appendLittleEndian(out, quint32(data.size()));
    return out;
}

HttpTestServer::~HttpTestServer()
{
    for (QTcpSocket *socket : m_buffers.keys())
        socket->abort();
}

quint16 HttpTestServer::port() const
{
    return m_server->serverPort();
}

QString HttpTestServer::root() const
{
    return (m_scheme == Scheme::Https ? QStringLiteral("https") : QStringLiteral("http")) +
           QStringLiteral("://127.0.0.1:") + QString::number(port()) + QLatin1Char('/');
}

void HttpTestServer::setRoute(const QByteArray &path, const Route &route)
{
    m_routes.insert(path, route);
}

void HttpTestServer::setFile(const QByteArray &path, const QByteArray &body)
{
    Route route;
    route.body = body;
    m_routes.insert(path, route);
}

void HttpTestServer::removeRoute(const QByteArray &path)
{
    m_routes.remove(path);
}

quint16 HttpTestServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void HttpTestServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, QByteArray());
        maxOpenConnections = qMax(maxOpenConnections, int(m_buffers.size()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            m_stuck.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    if (!m_buffers.contains(socket))
        return;
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    qsizetype end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.value(1);
        requests << path;
        emit requested(path);
        if (m_stuck.contains(socket))
            continue;
        answer(socket, path);
        if (!m_buffers.contains(socket))
            return;
    }
}

void HttpTestServer::answer(QTcpSocket *socket, const QByteArray &path)
{
    Route route;
    if (m_routes.contains(path)) {
        route = m_routes.value(path);
    } else {
        route.status = 404;
        route.body = "not found";
    }
    QByteArray head = "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reason(route.status) + "\r\n";
    if (!route.location.isEmpty())
        head += "Location: " + route.location + "\r\n";
    head += "Content-Type: application/octet-stream\r\n";

    switch (route.behaviour) {
    case Behaviour::Silent:
        m_stuck.insert(socket);
        return;
    case Behaviour::Chunked: {
        head += "Transfer-Encoding: chunked\r\n\r\n";
        socket->write(head);
        constexpr qsizetype kChunk = 64 * 1024;
        for (qsizetype at = 0; at < route.body.size(); at += kChunk) {
            const QByteArray part = route.body.mid(at, kChunk);
            socket->write(QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n");
        }
        socket->write("0\r\n\r\n");
        return;
    }
    case Behaviour::CutBody:
    case Behaviour::Stall:
        head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n\r\n";
        socket->write(head + route.body.left(route.body.size() / 2));
        socket->flush();
        if (route.behaviour == Behaviour::Stall)
            m_stuck.insert(socket);
        if (route.behaviour == Behaviour::CutBody) {
            socket->waitForBytesWritten(1000);
            m_buffers.remove(socket);
            socket->disconnectFromHost();
        }
        return;
    case Behaviour::Trickle: {
        head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n\r\n";
        socket->write(head);
        m_stuck.insert(socket);
        // The timer goes with its connection.
        auto *timer = new QTimer(socket);
        auto sent = std::make_shared<qsizetype>(0);
        connect(timer, &QTimer::timeout, socket, [socket, timer, route, sent] {
            socket->write(route.body.mid(*sent, route.trickleBytes));
            *sent += route.trickleBytes;
            if (*sent >= route.body.size())
                timer->stop();
        });
        timer->start(route.trickleMs);
        return;
    }
    case Behaviour::Gzip: {
        const QByteArray packed = gzip(route.body);
        head += "Content-Encoding: gzip\r\nContent-Length: " + QByteArray::number(packed.size()) + "\r\n\r\n";
        socket->write(head + packed);
        return;
    }
    case Behaviour::Normal:
        head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n\r\n";
        socket->write(head + route.body);
        return;
    case Behaviour::CloseAfter:
        head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n\r\n";
        socket->write(head + route.body);
        socket->flush();
        socket->waitForBytesWritten(1000);
        m_buffers.remove(socket);
        socket->disconnectFromHost();
        return;
    }
}

} // namespace zvtest
