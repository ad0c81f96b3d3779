#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>

class QUrl;

namespace zv::update {

class HttpConnection;

// Told about one GET request by HttpClient.
class HttpReceiver
{
public:
    virtual ~HttpReceiver() = default;
    // The head of the final answer (interim 1xx answers are skipped).
    virtual void httpHead(int status, qint64 contentLength, const QByteArray &location) = 0;
    virtual void httpBody(const QByteArray &data) = 0;
    // The answer is complete (ok) or the request failed; nothing more follows.
    virtual void httpDone(bool ok, const QString &error) = 0;
};

// GET over plain http:// with a few kept-alive connections per host, each carrying a few
// pipelined requests. Much lighter per request than QNetworkAccessManager, which matters
// when thousands of small files come from one server. Redirects and status codes are left
// to the caller. Works on the caller's thread.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        HttpReceiver *receiver = nullptr;
        QString host;
        quint16 port = 80;
        QByteArray head; // the whole request as sent
        bool retried = false;
    };

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    void setTimeout(int ms) { m_timeoutMs = ms; }
    int timeout() const { return m_timeoutMs; }
    void setConnectionsPerHost(int count) { m_connectionsPerHost = qMax(1, count); }
    void setPipelineDepth(int depth) { m_pipelineDepth = qMax(1, depth); }

    // `url` must be an http:// address. The receiver hears back later, never from within this call.
    void get(const QUrl &url, HttpReceiver *receiver);
    // Forgets the receiver's request; it hears nothing more.
    void cancel(HttpReceiver *receiver);
    // Connections opened so far, for tests.
    int connectionsOpened() const { return m_opened; }

private:
    friend class HttpConnection;
    struct Host
    {
        QList<HttpConnection *> connections;
        QQueue<Request> waiting;
    };
    static QString key(const QString &host, quint16 port);

    // Called by connections.
    void requeue(const QList<Request> &requests);
    void slotFree(HttpConnection *connection);
    void connectionGone(HttpConnection *connection);

    void scheduleDispatch();
    void dispatch();

    QHash<QString, Host> m_hosts;
    int m_timeoutMs = 30000;
    int m_connectionsPerHost = 6;
    int m_pipelineDepth = 4;
    int m_opened = 0;
    bool m_dispatchPosted = false;
};

} // namespace zv::update
