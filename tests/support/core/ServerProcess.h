#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zvtest {

// A server program started by a test as its child: it listens on a loopback port, and it ends
// with this object, or with the test process should that die first.
class ServerProcess
{
public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // A loopback port no one listens on right now.
    static quint16 freeLoopbackPort();

    // Starts `program` and waits until `port` accepts connections; false, with the program's
    // output in `error`, when it did not start or did not answer within ten seconds.
    bool start(const QString &program, const QStringList &arguments, quint16 port, QString *error);

private:
    QProcess m_process;
};

} // namespace zvtest
