#pragma once

#include "core/update/HttpClient.h"
#include "core/update/HttpResponseParser.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QTimer>

class QTcpSocket;

namespace zv::update {

// One kept-alive connection of HttpClient. Requests are written as they come (pipelined) and
// answered in order. When the server closes the connection, requests it never began to answer
// go back to the client to be sent again; the one being answered fails.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    HttpConnection(HttpClient *client, const QString &host, quint16 port);
    ~HttpConnection() override;

    const QString &host() const { return m_host; }
    quint16 port() const { return m_port; }
    int inFlight() const { return int(m_inFlight.size()); }
    bool usable() const { return !m_dead; }

    void send(const HttpClient::Request &request);
    // Drops the receiver's request; true when this connection had it.
    bool cancel(HttpReceiver *receiver);

private:
    void onReadyRead();
    void onClosed();
    void onTimeout();
    // Ends this connection: every request still on it is failed with `why`, or handed back.
    void drop(const QString &why, bool handBack);

    HttpClient *m_client;
    QString m_host;
    quint16 m_port;
    QTcpSocket *m_socket;
    QTimer m_timer;
    QQueue<HttpClient::Request> m_inFlight;
    HttpResponseParser m_parser;
    QByteArray m_buffer;
    QByteArray m_unsent; // requests queued before connecting began
    QByteArray m_body;
    bool m_headTold = false;
    int m_answered = 0; // complete answers on this connection
    bool m_dead = false;
};

} // namespace zv::update
