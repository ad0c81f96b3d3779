#pragma once

#include "core/update/UpdateSignature.h"

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zvtest {

// A stand-in for the folder of the executable: the real install script, a stand-in program (a
// small shell script that notes each start in "restarted") and whatever files a test puts there.
// The folder's name holds a blank and a line break. The program's install folder points here
// while this lives.
class InstallFolder
{
public:
    InstallFolder();
    ~InstallFolder();

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes, bool executable = false) const;
    QByteArray read(const QString &name) const;

    // A stand-in program that appends "<label> home=<ZORVANELL_HOME>" to "restarted" when started.
    static QByteArray standIn(const QByteArray &label);

    // Runs the install script as the program starts it, with `environment` added, and waits until
    // the script has ended and the program it restarts has noted its start. False on a time-out.
    bool runScript(const QProcessEnvironment &environment = {});
    QStringList restarts() const;
    QString status() const;
    QString log() const;

    // Every file, folder and link below the folder (content, "<dir>" or "-> target"), except the
    // script's log and status and the restart notes.
    QMap<QString, QByteArray> snapshot() const;

private:
    QTemporaryDir m_dir;
};

// A fresh Ed25519 key pair for signing test archives.
struct SigningKey
{
    SigningKey();
    QByteArray publicFile;
    zv::update::SecretKey secret;
    // The .minisig text for `content` with the given trusted comment.
    QByteArray sign(const QByteArray &content, const QByteArray &trustedComment) const;
};

} // namespace zvtest
