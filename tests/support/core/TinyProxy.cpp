#include "TinyProxy.h"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace zvtest {

QString TinyProxy::binary()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/bin")});
    return found;
}

bool TinyProxy::start(QString *error)
{
    const QString tinyproxy = binary();
    if (tinyproxy.isEmpty()) {
        *error = QStringLiteral("tinyproxy is not installed");
        return false;
    }
    m_port = ServerProcess::freeLoopbackPort();
    const QString t = m_dir.path();
    // No ConnectPort line: CONNECT to any port, since the test servers use free ports.
    const QString conf = QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\nLogFile \"%2/tinyproxy.log\"\n"
                                        "LogLevel Info\nPidFile \"%2/tinyproxy.pid\"\nMaxClients 100\n"
                                        "Allow 127.0.0.1\n")
                             .arg(m_port)
                             .arg(t);
    QFile file(t + QStringLiteral("/tinyproxy.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the tinyproxy configuration");
        return false;
    }
    file.close();
    // -d: stays in the foreground, so it ends with this object.
    return m_server.start(tinyproxy, {QStringLiteral("-d"), QStringLiteral("-c"), file.fileName()}, m_port, error);
}

QString TinyProxy::address() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port);
}

QStringList TinyProxy::requests() const
{
    QFile log(m_dir.filePath(QStringLiteral("tinyproxy.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression request(QStringLiteral(R"(Request \(file descriptor \d+\): (\S+ \S+))"));
    QStringList found;
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = request.match(line);
        if (match.hasMatch())
            found << match.captured(1);
    }
    return found;
}

} // namespace zvtest
