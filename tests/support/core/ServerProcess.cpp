#include "ServerProcess.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace zvtest {

ServerProcess::~ServerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

quint16 ServerProcess::freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool ServerProcess::start(const QString &program, const QStringList &arguments, quint16 port, QString *error)
{
    const QString name = QFileInfo(program).fileName();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that dies (a sanitizer's abort) must not leave its server running.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000)) {
        *error = name + QStringLiteral(" did not start: ") + m_process.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(200))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    *error = name + QStringLiteral(" does not answer: ") + QString::fromLocal8Bit(m_process.readAll());
    return false;
}

} // namespace zvtest
