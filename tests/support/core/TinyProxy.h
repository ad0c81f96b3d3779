#pragma once

#include "ServerProcess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zvtest {

// A real tinyproxy on a free loopback port, run as a child process with its configuration,
// log and pid file in a temporary folder. Stopped on destruction.
class TinyProxy
{
public:
    // The tinyproxy binary, or an empty text when it is not installed.
    static QString binary();

    // Starts it and waits until it accepts connections; false (with a reason) otherwise.
    bool start(QString *error);
    // "http://127.0.0.1:PORT", as http_proxy and https_proxy take it.
    QString address() const;
    // The lines of its log that record a request: "GET http://..." or "CONNECT 127.0.0.1:PORT".
    QStringList requests() const;

private:
    QTemporaryDir m_dir;
    ServerProcess m_server;
    quint16 m_port = 0;
};

} // namespace zvtest
