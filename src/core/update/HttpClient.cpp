#include "core/update/HttpClient.h"

#include "core/update/HttpConnection.h"

#include <QUrl>

namespace zv::update {

HttpClient::HttpClient(QObject *parent)
    : QObject(parent)
{
}

HttpClient::~HttpClient() = default;

QString HttpClient::key(const QString &host, quint16 port)
{
    return host + QLatin1Char(':') + QString::number(port);
}

void HttpClient::get(const QUrl &url, HttpReceiver *receiver)
{
    Request request;
    request.receiver = receiver;
    request.host = url.host(QUrl::FullyEncoded);
    request.port = quint16(url.port(80));
    // As QNetworkAccessManager sends it: "//zv_upd" after a host root with a slash becomes "/zv_upd".
    QByteArray target = url.path().isEmpty() ? QByteArray("/")
                                             : url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority |
                                                             QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    QByteArray authority = url.host(QUrl::FullyEncoded).toLatin1();
    if (authority.contains(':'))
        authority = '[' + authority + ']';
    if (url.port(80) != 80)
        authority += ':' + QByteArray::number(url.port());
    request.head = "GET " + target + " HTTP/1.1\r\nHost: " + authority +
                   "\r\nAccept: */*\r\nUser-Agent: Zorvanell\r\nConnection: keep-alive\r\n\r\n";
    m_hosts[key(request.host, request.port)].waiting.enqueue(request);
    scheduleDispatch();
}

void HttpClient::cancel(HttpReceiver *receiver)
{
    for (Host &host : m_hosts) {
        for (qsizetype i = 0; i < host.waiting.size(); ++i) {
            if (host.waiting.at(i).receiver == receiver) {
                host.waiting.removeAt(i);
                return;
            }
        }
        for (HttpConnection *connection : std::as_const(host.connections)) {
            if (connection->cancel(receiver))
                return;
        }
    }
}

void HttpClient::requeue(const QList<Request> &requests)
{
    // In front of the waiting ones, in their original order.
    for (qsizetype i = requests.size() - 1; i >= 0; --i)
        m_hosts[key(requests.at(i).host, requests.at(i).port)].waiting.prepend(requests.at(i));
    if (!requests.isEmpty())
        scheduleDispatch();
}

void HttpClient::slotFree(HttpConnection *)
{
    scheduleDispatch();
}

void HttpClient::connectionGone(HttpConnection *connection)
{
    m_hosts[key(connection->host(), connection->port())].connections.removeOne(connection);
    connection->deleteLater();
}

void HttpClient::scheduleDispatch()
{
    // From the event loop: callers are often inside a connection's own handlers.
    if (m_dispatchPosted)
        return;
    m_dispatchPosted = true;
    QMetaObject::invokeMethod(this, &HttpClient::dispatch, Qt::QueuedConnection);
}

void HttpClient::dispatch()
{
    m_dispatchPosted = false;
    for (auto it = m_hosts.begin(); it != m_hosts.end(); ++it) {
        Host &host = it.value();
        while (!host.waiting.isEmpty()) {
            HttpConnection *best = nullptr;
            for (HttpConnection *connection : std::as_const(host.connections)) {
                if (connection->usable() && (!best || connection->inFlight() < best->inFlight()))
                    best = connection;
            }
            // Spread over fresh connections before stacking requests on busy ones.
            if ((!best || best->inFlight() > 0) && host.connections.size() < m_connectionsPerHost) {
                const Request &next = host.waiting.head();
                best = new HttpConnection(this, next.host, next.port);
                host.connections << best;
                ++m_opened;
            }
            if (!best || best->inFlight() >= m_pipelineDepth)
                break;
            best->send(host.waiting.dequeue());
        }
    }
}

} // namespace zv::update
