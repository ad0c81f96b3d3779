#pragma once

#include "core/update/UpdateSignature.h"

#include <QByteArray>
#include <QDir>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zvtest {

// How a test runs the install script: what it adds to (or takes from) the test's environment, the
// script's arguments, its umask and working folder (the test's own when not given).
struct ScriptRun
{
    QProcessEnvironment environment;
    QStringList unset;
    QStringList arguments;
    int umask = -1;
    QString workingFolder;
};

// A stand-in for the folder of the executable: the real install script, a stand-in program (a
// small shell script that notes each start in "restarted") and whatever files a test puts there.
// The folder's name holds a blank and a line break; it lies in `parent`. The program's install
// folder points here while this lives.
class InstallFolder
{
public:
    explicit InstallFolder(const QString &parent = QDir::tempPath());
    ~InstallFolder();

    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes, bool executable = false) const;
    QByteArray read(const QString &name) const;

    // A stand-in program that appends "<label> home=<ZORVANELL_HOME>" to "restarted" when started,
    // after "umask=… LC_ALL=… LANG=… pwd=…" ("<unset>" for a variable it lacks) to "restarted.env".
    static QByteArray standIn(const QByteArray &label);

    // Runs the install script as the program starts it, with `environment` added, and waits until
    // the script has ended and the program it restarts has noted its start. False on a time-out.
    bool runScript(const QProcessEnvironment &environment = {});
    bool runScript(const ScriptRun &run);
    // Starts the install script as the leader of a process group of its own (its pid is the group's).
    void startScript(QProcess &script, const ScriptRun &run) const;
    QStringList restarts() const;
    QStringList restartEnvironments() const;
    QString status() const;
    QString log() const;

    // Every file, folder and link below the folder (content, "<dir>" or "-> target"), except the
    // script's log, status and lock file and the restart notes.
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
