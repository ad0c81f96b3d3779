#pragma once

#include "ServerProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zvtest {

// A real nginx serving one folder on a free loopback port, run as a child process with
// its configuration, logs and temporary files in a temporary folder. Stopped on destruction.
// In TLS mode it listens with the test certificate, offers HTTP/2 and compresses its answers,
// as a CDN would.
class NginxServer
{
public:
    enum class Mode { Plain, Tls };

    // The nginx binary, or an empty text when it is not installed.
    static QString binary();

    explicit NginxServer(const QString &root, Mode mode = Mode::Plain);

    // Starts nginx and waits until it accepts connections; false (with a reason) otherwise.
    bool start(QString *error);
    // "http://127.0.0.1:PORT/" or "https://127.0.0.1:PORT/"
    QString rootAddress() const;
    // One line per answered request: "<protocol> <status> <content encoding or -> <uri>".
    // Empty in plain mode, which logs nothing (benchmarks use it).
    QStringList accessLog() const;
    // Sends answers no faster than this many bytes a second per request (0: no limit); set before start().
    void setRateLimit(int bytesPerSecond) { m_rateLimit = bytesPerSecond; }

private:
    QString m_root;
    Mode m_mode;
    int m_rateLimit = 0;
    QTemporaryDir m_dir;
    ServerProcess m_server;
    quint16 m_port = 0;
};

} // namespace zvtest
