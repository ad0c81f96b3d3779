#include "core/update/HttpConnection.h"

#include <QTcpSocket>

namespace zv::update {

HttpConnection::HttpConnection(HttpClient *client, const QString &host, quint16 port)
    : QObject(client)
    , m_client(client)
    , m_host(host)
    , m_port(port)
    , m_socket(new QTcpSocket(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HttpConnection::onTimeout);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::onClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpConnection::onClosed);
    connect(m_socket, &QTcpSocket::connected, this, [this] { m_timer.start(m_client->timeout()); });
    // Connecting can fail at once (no route, no IPv6); that must not happen before the client
    // has taken this connection in, so it starts from the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_dead)
                return;
            m_socket->connectToHost(m_host, m_port);
            if (!m_unsent.isEmpty() && m_socket->state() != QAbstractSocket::UnconnectedState)
                m_socket->write(std::exchange(m_unsent, {}));
        },
        Qt::QueuedConnection);
    m_timer.start(m_client->timeout());
}

HttpConnection::~HttpConnection()
{
    m_socket->disconnect(this);
    m_socket->abort();
}

void HttpConnection::send(const HttpClient::Request &request)
{
    if (m_inFlight.isEmpty())
        m_timer.start(m_client->timeout());
    m_inFlight.enqueue(request);
    // QTcpSocket keeps what is written while it connects and sends it once it is up; before
    // connecting has begun the request waits here.
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        m_unsent += request.head;
    else
        m_socket->write(request.head);
}

bool HttpConnection::cancel(HttpReceiver *receiver)
{
    for (qsizetype i = 0; i < m_inFlight.size(); ++i) {
        if (m_inFlight.at(i).receiver != receiver)
            continue;
        m_inFlight.removeAt(i);
        // Its answer is on its way or already arriving; the stream cannot skip it, so start afresh.
        if (!m_dead)
            drop(QString(), true);
        return true;
    }
    return false;
}

void HttpConnection::onReadyRead()
{
    if (m_dead)
        return;
    m_buffer += m_socket->readAll();
    m_timer.start(m_client->timeout());
    while (!m_dead && !m_buffer.isEmpty()) {
        if (m_inFlight.isEmpty()) {
            drop(QString(), true); // an answer nobody asked for
            return;
        }
        const HttpResponseParser::State state = m_parser.feed(m_buffer, m_body);
        if (state == HttpResponseParser::State::Error) {
            const HttpClient::Request request = m_inFlight.dequeue();
            drop(QString(), true);
            request.receiver->httpDone(false, QString::fromLatin1(m_parser.error()));
            return;
        }
        HttpReceiver *receiver = m_inFlight.head().receiver;
        if (m_parser.headDone() && !m_headTold) {
            m_headTold = true;
            receiver->httpHead(m_parser.status(), m_parser.contentLength(), m_parser.location());
            // The receiver may have cancelled itself, which drops this connection.
            if (m_dead || m_inFlight.isEmpty() || m_inFlight.head().receiver != receiver)
                return;
        }
        if (!m_body.isEmpty()) {
            const QByteArray body = std::exchange(m_body, QByteArray());
            receiver->httpBody(body);
            if (m_dead || m_inFlight.isEmpty() || m_inFlight.head().receiver != receiver)
                return;
        }
        if (state != HttpResponseParser::State::Done)
            return;
        m_inFlight.dequeue();
        ++m_answered;
        const bool keepAlive = m_parser.keepAlive();
        m_parser.reset();
        m_headTold = false;
        if (!keepAlive)
            drop(QString(), true);
        else if (m_inFlight.isEmpty())
            m_timer.stop();
        receiver->httpDone(true, QString());
        if (!m_dead)
            m_client->slotFree(this);
    }
}

void HttpConnection::onClosed()
{
    if (m_dead)
        return;
    // Whatever arrived before the close still counts.
    if (m_socket->bytesAvailable() > 0)
        onReadyRead();
    if (m_dead)
        return;
    if (!m_inFlight.isEmpty() && m_parser.headDone() && m_parser.closed() == HttpResponseParser::State::Done) {
        const HttpClient::Request request = m_inFlight.dequeue();
        if (!m_body.isEmpty())
            request.receiver->httpBody(std::exchange(m_body, QByteArray()));
        drop(QString(), true);
        request.receiver->httpDone(true, QString());
        return;
    }
    if (m_inFlight.isEmpty()) {
        drop(QString(), true);
        return;
    }
    // A kept-alive connection may be closed by the server at any time between answers; the
    // request that had no answer yet is sent once more. A connection that never answered
    // anything tells of a server that cannot be reached.
    const bool untouched = !m_parser.headDone() && m_buffer.isEmpty();
    HttpClient::Request &front = m_inFlight.head();
    if (m_answered > 0 && untouched && !front.retried) {
        front.retried = true;
        drop(QString(), true);
        return;
    }
    const QString why = m_socket->error() == QAbstractSocket::RemoteHostClosedError ||
                                m_socket->error() == QAbstractSocket::UnknownSocketError
                            ? QStringLiteral("connection closed before the answer ended")
                            : m_socket->errorString();
    drop(why, m_answered > 0);
}

void HttpConnection::onTimeout()
{
    if (!m_dead)
        drop(QStringLiteral("time-out"), false);
}

void HttpConnection::drop(const QString &why, bool handBack)
{
    m_dead = true;
    m_timer.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    QList<HttpClient::Request> pending(m_inFlight.begin(), m_inFlight.end());
    m_inFlight.clear();
    QList<HttpClient::Request> back;
    QList<HttpClient::Request> failed;
    // With `why` set the request being answered fails; the rest were never begun and go back,
    // unless the whole connection is lost (handBack false), in which case all fail.
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (!why.isEmpty() && (i == 0 || !handBack))
            failed << pending.at(i);
        else
            back << pending.at(i);
    }
    m_client->connectionGone(this);
    m_client->requeue(back);
    for (const HttpClient::Request &request : std::as_const(failed))
        request.receiver->httpDone(false, why);
}

} // namespace zv::update
