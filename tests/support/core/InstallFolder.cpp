#include "InstallFolder.h"

#include "core/update/UpdateLayout.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace zvtest {

InstallFolder::InstallFolder(const QString &parent)
    : m_dir(parent + QStringLiteral("/zv install\nfolder-XXXXXX"))
{
    QFile script(QStringLiteral(ZV_INSTALL_SCRIPT));
    if (script.open(QIODevice::ReadOnly))
        write(QStringLiteral("instupd.cmd"), script.readAll());
    write(QStringLiteral("zorvanell"), standIn("old"), true);
    zv::update::setInstallFolder(path());
}

InstallFolder::~InstallFolder()
{
    zv::update::setInstallFolder(QString());
}

void InstallFolder::write(const QString &name, const QByteArray &bytes, bool executable) const
{
    const QString target = file(name);
    QDir().mkpath(QFileInfo(target).path());
    QFile f(target);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

QByteArray InstallFolder::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray InstallFolder::standIn(const QByteArray &label)
{
    return "#!/bin/sh\n"
           "printf 'umask=%s LC_ALL=%s LANG=%s pwd=%s\\n' \"$(umask)\" \"${LC_ALL-<unset>}\" \"${LANG-<unset>}\" "
           "\"$(pwd)\" >>\"${0%/*}/restarted.env\"\n"
           "printf '%s home=%s\\n' '" +
           label + "' \"${ZORVANELL_HOME:-}\" >>\"${0%/*}/restarted\"\n";
}

bool InstallFolder::runScript(const QProcessEnvironment &environment)
{
    ScriptRun run;
    run.environment = environment;
    return runScript(run);
}

void InstallFolder::startScript(QProcess &script, const ScriptRun &run) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(run.environment);
    for (const QString &name : run.unset)
        env.remove(name);
    script.setProcessEnvironment(env);
    if (!run.workingFolder.isEmpty())
        script.setWorkingDirectory(run.workingFolder);
    script.setStandardOutputFile(QProcess::nullDevice());
    script.setStandardErrorFile(QProcess::nullDevice());
    const int mask = run.umask;
    script.setChildProcessModifier([mask] {
        ::setpgid(0, 0);
        if (mask >= 0)
            ::umask(mode_t(mask));
    });
    script.start(QStringLiteral("/bin/sh"), QStringList{file(QStringLiteral("instupd.cmd"))} + run.arguments);
}

bool InstallFolder::runScript(const ScriptRun &run)
{
    const qsizetype before = restarts().size();
    QProcess script;
    startScript(script, run);
    if (!script.waitForFinished(120000))
        return false;
    // The program is started in the background just before the script ends.
    const QDeadlineTimer deadline(10000);
    while (restarts().size() == before) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QStringList InstallFolder::restarts() const
{
    QFile f(file(QStringLiteral("restarted")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList InstallFolder::restartEnvironments() const
{
    QFile f(file(QStringLiteral("restarted.env")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString InstallFolder::status() const
{
    QFile f(file(QStringLiteral("instupd.status")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

QString InstallFolder::log() const
{
    QFile f(file(QStringLiteral("instupd.log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QMap<QString, QByteArray> InstallFolder::snapshot() const
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        const QString relative = QDir(path()).relativeFilePath(entry);
        if (relative == QLatin1String("instupd.log") || relative == QLatin1String("instupd.status") ||
            relative == QLatin1String(".instupd-lock") || relative == QLatin1String("restarted") ||
            relative == QLatin1String("restarted.env"))
            continue;
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink()) {
            entries.insert(relative, "-> " + QFile::encodeName(info.symLinkTarget()));
        } else if (info.isDir()) {
            entries.insert(relative, "<dir>");
        } else {
            QFile f(entry);
            entries.insert(relative, f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>"));
        }
    }
    return entries;
}

SigningKey::SigningKey()
{
    const zv::update::KeyPairFiles pair = zv::update::generateKeyPair();
    publicFile = pair.publicFile;
    secret = zv::update::parseSecretKey(pair.secretFile).value_or(zv::update::SecretKey{});
}

QByteArray SigningKey::sign(const QByteArray &content, const QByteArray &trustedComment) const
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    file.write(content);
    file.flush();
    return zv::update::signFile(file.fileName(), secret, trustedComment).value_or(QByteArray());
}

} // namespace zvtest
