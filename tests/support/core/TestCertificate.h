#pragma once

#include <QString>

namespace zvtest {

// A self-signed certificate for 127.0.0.1 and localhost, made once per test process with the
// openssl tool, for the test servers' TLS listeners. Clients trust it as its own authority.
struct TestCertificate
{
    QString certificate; // PEM
    QString key;         // PEM, without a pass phrase
    QString error;       // why it could not be made; empty when it was
};

const TestCertificate &testCertificate();

} // namespace zvtest
