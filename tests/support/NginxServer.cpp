#include "NginxServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace zvtest {

QString NginxServer::binary()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("nginx"),
            {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/nginx/sbin")});
    return found;
}

NginxServer::NginxServer(const QString &root)
    : m_root(root)
{
}

NginxServer::~NginxServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool NginxServer::start(QString *error)
{
    const QString nginx = binary();
    if (nginx.isEmpty()) {
        *error = QStringLiteral("nginx is not installed");
        return false;
    }
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
    const QString t = m_dir.path();
    QString conf;
    // Workers of a root master would otherwise drop to "nobody", who cannot read our private folders.
    if (::geteuid() == 0)
        conf += QStringLiteral("user root;\n");
    conf += QStringLiteral("daemon off;\nworker_processes 1;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                           "events { worker_connections 512; }\n"
                           "http {\n"
                           "  access_log off;\n"
                           "  client_body_temp_path %1/body; proxy_temp_path %1/proxy; fastcgi_temp_path %1/fastcgi;\n"
                           "  uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
                           "  default_type application/octet-stream;\n"
                           "  keepalive_requests 100000;\n"
                           "  server { listen 127.0.0.1:%2; root %3; }\n"
                           "}\n")
                .arg(t)
                .arg(m_port)
                .arg(m_root);
    QFile file(t + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the nginx configuration");
        return false;
    }
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(nginx, {QStringLiteral("-p"), t, QStringLiteral("-c"), file.fileName(), QStringLiteral("-e"),
                            t + QStringLiteral("/error.log")});
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("nginx did not start: ") + m_process.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    QFile log(t + QStringLiteral("/error.log"));
    log.open(QIODevice::ReadOnly);
    *error = QStringLiteral("nginx does not answer: ") + QString::fromLocal8Bit(m_process.readAll() + log.readAll());
    return false;
}

QString NginxServer::rootAddress() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port) + QLatin1Char('/');
}

} // namespace zvtest
