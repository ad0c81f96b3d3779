#include "TinyProxy.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace zvtest {

QString TinyProxy::binary()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/bin")});
    return found;
}

TinyProxy::~TinyProxy()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

bool TinyProxy::start(QString *error)
{
    const QString tinyproxy = binary();
    if (tinyproxy.isEmpty()) {
        *error = QStringLiteral("tinyproxy is not installed");
        return false;
    }
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
    }
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
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // -d: stays in the foreground, so it ends with this object.
    m_process.start(tinyproxy, {QStringLiteral("-d"), QStringLiteral("-c"), file.fileName()});
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("tinyproxy did not start: ") + m_process.errorString();
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
    *error = QStringLiteral("tinyproxy does not answer: ") + QString::fromLocal8Bit(m_process.readAll());
    return false;
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
