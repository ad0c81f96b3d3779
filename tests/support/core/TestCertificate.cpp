#include "TestCertificate.h"

#include <QProcess>
#include <QTemporaryDir>

namespace zvtest {

const TestCertificate &testCertificate()
{
    static QTemporaryDir dir;
    static const TestCertificate made = [] {
        TestCertificate result;
        result.certificate = dir.filePath(QStringLiteral("certificate.pem"));
        result.key = dir.filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        // An EC key is made in milliseconds; the names are those the tests connect to.
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                       QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"), QStringLiteral("-keyout"),
                       result.key, QStringLiteral("-out"), result.certificate});
        if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
            result.error = QStringLiteral("openssl could not make a certificate (Debian package openssl): ") +
                           openssl.errorString() + QLatin1Char(' ') + QString::fromLocal8Bit(openssl.readAll());
        return result;
    }();
    return made;
}

} // namespace zvtest
