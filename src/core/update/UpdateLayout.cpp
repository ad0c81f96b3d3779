#include "core/update/UpdateLayout.h"

#include "core/Addresses.h"
#include "core/ProgramFolder.h"
#include "core/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zv::update {

QStringList builtInServers()
{
    return {addresses::kPartnerPortal, addresses::kProjectSite, addresses::kMirror};
}

QString defaultServer()
{
    return addresses::kProjectSite;
}

namespace published {

namespace {
const QString kRoot = QStringLiteral("zv_upd/");
}

QString listFile(const QString &table)
{
    return kRoot + table + QStringLiteral("/spisok.txt");
}

QString entryFolder(const QString &table)
{
    return kRoot + table + QStringLiteral("/base/");
}

QString versionFile()
{
    return kRoot + QStringLiteral("ProgVer.ini");
}

QString archiveFile()
{
    return kRoot + QStringLiteral("update.rar");
}

QString signatureFile()
{
    return archiveFile() + QStringLiteral(".minisig");
}

QString whatsNewFile()
{
    return kRoot + QStringLiteral("whatsnew.txt");
}

} // namespace published

// The program has always asked for the list, entries and archive with a slash after the
// address and for the version file without one; servers set up for it expect exactly that.
QString listAddress(const QString &server, const QString &table)
{
    return server + QLatin1Char('/') + published::listFile(table);
}

QString entryFolderAddress(const QString &server, const QString &table)
{
    return server + QLatin1Char('/') + published::entryFolder(table);
}

QString versionAddress(const QString &server)
{
    return server + published::versionFile();
}

QString archiveAddress(const QString &server)
{
    return server + QLatin1Char('/') + published::archiveFile();
}

QString signatureAddress(const QString &server)
{
    return server + QLatin1Char('/') + published::signatureFile();
}

QString whatsNewAddress()
{
    return addresses::kProjectSite + published::whatsNewFile();
}

QUrl toUrl(const QString &address)
{
    QUrl url(address, QUrl::TolerantMode);
    if (url.scheme().isEmpty())
        return QUrl();
    return url;
}

namespace {

QUrl entryUrlWith(const QString &server, const QString &table, const QByteArray &encodedName)
{
    // The name is encoded whole ("#", "?", "%" and "/" included), so it can only ever be the last path part.
    return toUrl(entryFolderAddress(server, table) + QString::fromLatin1(encodedName.toPercentEncoding()));
}

} // namespace

QUrl entryUrl(const QString &server, const QString &table, const QString &name)
{
    return entryUrlWith(server, table, name.toUtf8());
}

QUrl entryUrlCp1251(const QString &server, const QString &table, const QString &name)
{
    return entryUrlWith(server, table, toCp1251(name));
}

QString publishedFolderOf(const QString &localFile)
{
    const QString path = QDir::cleanPath(localFile);
    const qsizetype at = path.lastIndexOf(QLatin1Char('/') + published::kRoot);
    if (at < 0)
        return QFileInfo(path).path();
    return at == 0 ? QStringLiteral("/") : path.left(at);
}

QStringList parseList(const QString &text)
{
    QStringList names;
    const QString all = text + QLatin1Char('\r');
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype cr = all.indexOf(QLatin1Char('\r'), start);
        if (cr < 0)
            break;
        names << all.mid(start, cr - start);
        start = cr + 2; // the CR and the one character after it
    }
    return names;
}

bool isPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar ch : name) {
        if (ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch.unicode() < 0x20 || ch.unicode() == 0x7F)
            return false;
    }
    // Longer names than the file system takes would fail anyway; refuse them up front.
    return QFile::encodeName(name).size() <= 255;
}

bool isServerControlName(const QString &name)
{
    return name.startsWith(QLatin1String(".ht"), Qt::CaseInsensitive) ||
           name.compare(QLatin1String("web.config"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String(".user.ini"), Qt::CaseInsensitive) == 0;
}

QStringList newNames(const QStringList &listed, const std::function<bool(const QString &)> &isPresent)
{
    QStringList result;
    for (const QString &name : listed) {
        if (!isPresent(name))
            result << name;
    }
    return result;
}

QString tempFolder()
{
    return programFile(QStringLiteral("tmp"));
}

QString tempBaseFolder()
{
    return programFile(QStringLiteral("tmp/base"));
}

QString tempListFile()
{
    return programFile(QStringLiteral("tmp/list.txt"));
}

QString tempPartFolder()
{
    return programFile(QStringLiteral("tmp/.part"));
}

QString versionFile()
{
    return programFile(QStringLiteral("ProgVer.ini"));
}

namespace {

QString &installFolderOverride()
{
    static QString folder;
    return folder;
}

QString installFile(const QString &name)
{
    return installFolder() + QLatin1Char('/') + name;
}

} // namespace

QString installFolder()
{
    const QString &folder = installFolderOverride();
    return folder.isEmpty() ? executableFolder() : folder;
}

void setInstallFolder(const QString &folder)
{
    installFolderOverride() = folder;
}

QString archiveFile()
{
    return installFile(QStringLiteral("update.rar"));
}

QString signatureFile()
{
    return installFile(QFileInfo(published::signatureFile()).fileName());
}

QString installScript()
{
    return installFile(QStringLiteral("instupd.cmd"));
}

QString installStatusFile()
{
    return installFile(QStringLiteral("instupd.status"));
}

QString installLogFile()
{
    return installFile(QStringLiteral("instupd.log"));
}

QString installJournal()
{
    return installFile(QStringLiteral(".instupd-work"));
}

QString installLockFile()
{
    return installFile(QStringLiteral(".instupd-lock"));
}

QString trustedKeysFolder()
{
    return installFile(QStringLiteral("keys"));
}

namespace {

// True when `folder` is a link, which is then removed and not gone into.
bool droppedLink(const QString &folder)
{
    if (!QFileInfo(folder).isSymLink())
        return false;
    QFile::remove(folder);
    return true;
}

} // namespace

void removeTempFiles(const QStringList &entries)
{
    const QString tmp = tempFolder();
    if (droppedLink(tmp))
        return;
    const QString base = tempBaseFolder();
    if (!droppedLink(base)) {
        for (const QString &name : entries) {
            if (isPlainFileName(name))
                QFile::remove(base + QLatin1Char('/') + name);
        }
        QDir().rmdir(base);
    }
    // Unfinished files are removed by the transfers themselves when they stop.
    if (!droppedLink(tempPartFolder()))
        QDir().rmdir(tempPartFolder());
    QFile::remove(tempListFile());
    QDir().rmdir(tmp);
}

} // namespace zv::update
