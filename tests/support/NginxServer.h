#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace zvtest {

// A real nginx serving one folder on a free loopback port, run as a child process with
// its configuration, logs and temporary files in a temporary folder. Stopped on destruction.
class NginxServer
{
public:
    // The nginx binary, or an empty text when it is not installed.
    static QString binary();

    explicit NginxServer(const QString &root);
    ~NginxServer();

    // Starts nginx and waits until it accepts connections; false (with a reason) otherwise.
    bool start(QString *error);
    // "http://127.0.0.1:PORT/"
    QString rootAddress() const;

private:
    QString m_root;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace zvtest
