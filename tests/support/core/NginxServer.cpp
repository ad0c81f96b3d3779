#include "NginxServer.h"

#include "TestCertificate.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

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

NginxServer::NginxServer(const QString &root, Mode mode)
    : m_root(root)
    , m_mode(mode)
{
}

bool NginxServer::start(QString *error)
{
    const QString nginx = binary();
    if (nginx.isEmpty()) {
        *error = QStringLiteral("nginx is not installed");
        return false;
    }
    m_port = ServerProcess::freeLoopbackPort();
    const QString t = m_dir.path();
    QString server = QStringLiteral("listen 127.0.0.1:%1; root %2;").arg(m_port).arg(m_root);
    QString logging = QStringLiteral("access_log off;");
    if (m_mode == Mode::Tls) {
        const TestCertificate &certificate = testCertificate();
        if (!certificate.error.isEmpty()) {
            *error = certificate.error;
            return false;
        }
        server = QStringLiteral("listen 127.0.0.1:%1 ssl http2; root %2;\n"
                                "    ssl_certificate %3; ssl_certificate_key %4;\n"
                                "    gzip on; gzip_types *; gzip_min_length 0;")
                     .arg(m_port)
                     .arg(m_root, certificate.certificate, certificate.key);
        logging =
            QStringLiteral("log_format zv escape=none '$server_protocol $status $sent_http_content_encoding $uri';\n"
                           "  access_log %1/access.log zv;")
                .arg(t);
    }
    if (m_rateLimit > 0)
        server += QStringLiteral(" limit_rate %1;").arg(m_rateLimit);
    QString conf;
    // Workers of a root master would otherwise drop to "nobody", who cannot read our private folders.
    if (::geteuid() == 0)
        conf += QStringLiteral("user root;\n");
    conf += QStringLiteral("daemon off;\nworker_processes 1;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                           "events { worker_connections 512; }\n"
                           "http {\n"
                           "  %3\n"
                           "  client_body_temp_path %1/body; proxy_temp_path %1/proxy; fastcgi_temp_path %1/fastcgi;\n"
                           "  uwsgi_temp_path %1/uwsgi; scgi_temp_path %1/scgi;\n"
                           "  default_type application/octet-stream;\n"
                           "  keepalive_requests 100000;\n"
                           "  server { %2 }\n"
                           "}\n")
                .arg(t, server, logging);
    QFile file(t + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the nginx configuration");
        return false;
    }
    file.close();
    if (m_server.start(nginx,
                       {QStringLiteral("-p"), t, QStringLiteral("-c"), file.fileName(), QStringLiteral("-e"),
                        t + QStringLiteral("/error.log")},
                       m_port, error))
        return true;
    QFile log(t + QStringLiteral("/error.log"));
    if (log.open(QIODevice::ReadOnly))
        *error += QString::fromLocal8Bit(log.readAll());
    return false;
}

QString NginxServer::rootAddress() const
{
    return (m_mode == Mode::Tls ? QStringLiteral("https") : QStringLiteral("http")) + QStringLiteral("://127.0.0.1:") +
           QString::number(m_port) + QLatin1Char('/');
}

QStringList NginxServer::accessLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("access.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace zvtest
