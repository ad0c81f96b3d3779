#include "core/update/Publisher.h"

#include "core/Files.h"
#include "core/LetterCase.h"
#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"
#include "core/update/UpdateSignature.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace zv::update {

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// The folder as it is on disk when it exists, else as written.
QString resolvedPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

bool isInside(const QString &path, const QString &folder)
{
    const QString root = resolvedPath(folder);
    const QString file = resolvedPath(path);
    return file == root || file.startsWith(root + QLatin1Char('/'));
}

// The secret key, read and checked before anything is published.
std::optional<SecretKey> loadSigningKey(const PublishOptions &options, QString *error)
{
    if (options.signKey.isEmpty()) {
        *error = QStringLiteral("an archive is published only signed, since the program installs nothing else: "
                                "add --sign-key KEY (make a key pair with --new-key NAME)");
        return std::nullopt;
    }
    if (!options.intVersion) {
        *error = QStringLiteral("an archive needs --int-version: its signature names the build");
        return std::nullopt;
    }
    if (isInside(options.signKey, options.outDir)) {
        *error = QStringLiteral("the secret key ") + options.signKey +
                 QStringLiteral(" lies inside the published folder, where the web server would hand it out; "
                                "keep it elsewhere");
        return std::nullopt;
    }
    QFile file(options.signKey);
    if (!openRegularFile(file)) {
        *error = QStringLiteral("cannot read ") + options.signKey;
        return std::nullopt;
    }
    QString why;
    auto key = parseSecretKey(file.read(16384), &why);
    if (!key)
        *error = options.signKey + QStringLiteral(": ") + why;
    return key;
}

bool representable(const QString &text)
{
    return fromCp1251(toCp1251(text)) == text;
}

// Entry files are CR LF text; texts typed in the program keep bare LF line breaks.
QString withCrLf(QString text)
{
    static const QRegularExpression bareLineFeed(QStringLiteral("(?<!\r)\n"));
    return text.replace(bareLineFeed, QString::fromLatin1(crlf));
}

} // namespace

QString unpublishableName(const QString &name)
{
    if (!isPlainFileName(name))
        return QStringLiteral("the name cannot be a file name");
    if (isServerControlName(name))
        return QStringLiteral("web servers read a file of this name as their own settings");
    if (!representable(name))
        return QStringLiteral("the name cannot be written in Windows-1251");
    return QString();
}

PublishResult publish(const PublishOptions &options)
{
    PublishResult result;
    std::optional<SecretKey> signingKey;
    if (!options.archive.isEmpty()) {
        signingKey = loadSigningKey(options, &result.error);
        if (!signingKey)
            return result;
    } else if (!options.signKey.isEmpty()) {
        result.error = QStringLiteral("a signing key without an archive to sign");
        return result;
    }
    CatalogueConnection catalogue;
    try {
        catalogue = OpenCatalogue(options.catalogue);
    } catch (const CatalogueError &e) {
        result.error = e.message();
        return result;
    }
    const QString root = options.outDir + QLatin1Char('/');
    const auto makeFolder = [&](const QString &folder) {
        if (QDir().mkpath(root + folder))
            return true;
        result.error = QStringLiteral("cannot create ") + root + folder;
        return false;
    };
    const auto write = [&](const QString &file, const QByteArray &bytes) {
        if (!makeFolder(QFileInfo(file).path()))
            return false;
        if (writeFile(root + file, bytes))
            return true;
        result.error = QStringLiteral("cannot write ") + root + file;
        return false;
    };
    const auto copy = [&](const QString &from, const QString &file) {
        QFile source(from);
        if (openRegularFile(source))
            return write(file, source.readAll());
        result.error = QStringLiteral("cannot read ") + from;
        return false;
    };

    try {
        for (const QString &table : tableCreationOrder()) {
            if (!catalogue->hasTable(table))
                continue;
            const QString base = published::entryFolder(table);
            if (!makeFolder(base))
                return result;
            QStringList names;
            QSet<QString> seen;
            bool written = true;
            ListEntries(catalogue, table, [&](const QString &name, const QString &text) {
                if (!written)
                    return;
                const QString where = table + QStringLiteral(": «") + name + QStringLiteral("»: ");
                if (const QString why = unpublishableName(name); !why.isEmpty()) {
                    result.warnings << where + QStringLiteral("skipped, ") + why;
                    return;
                }
                const QString folded = foldCase(name);
                if (seen.contains(folded)) {
                    result.warnings << where + QStringLiteral("skipped, the same name (ignoring case) came earlier");
                    return;
                }
                if (!representable(text))
                    result.warnings << where + QStringLiteral("characters outside Windows-1251 written as '?'");
                written = write(base + name, toCp1251(withCrLf(text)));
                if (!written)
                    return;
                seen.insert(folded);
                names << name;
                ++result.entries;
            });
            if (!written || !write(published::listFile(table), toCp1251(names.join(QLatin1String(crlf)))))
                return result;
        }
    } catch (const CatalogueError &e) {
        result.error = e.message();
        return result;
    }

    if (signingKey) {
        if (!copy(options.archive, published::archiveFile()))
            return result;
        // minisign's own fields, and the build that makes the signature good for this offer only.
        const QByteArray comment =
            QByteArrayLiteral("timestamp:") + QByteArray::number(QDateTime::currentSecsSinceEpoch()) +
            QByteArrayLiteral("\tfile:") + QFile::encodeName(QFileInfo(published::archiveFile()).fileName()) +
            QByteArrayLiteral("\thashed\t") + buildField(*options.intVersion);
        const auto signature = signFile(root + published::archiveFile(), *signingKey, comment);
        if (!signature) {
            result.error = QStringLiteral("cannot sign ") + root + published::archiveFile();
            return result;
        }
        if (!write(published::signatureFile(), *signature))
            return result;
    }
    if (options.intVersion) {
        const QByteArray ini = QByteArrayLiteral("[Update]\r\nIntVer=") + QByteArray::number(*options.intVersion) +
                               QByteArrayLiteral("\r\nTxtVer=") + toCp1251(options.textVersion) +
                               QByteArrayLiteral("\r\n");
        if (!write(published::versionFile(), ini))
            return result;
    }
    if (!options.whatsNew.isEmpty() && !copy(options.whatsNew, published::whatsNewFile()))
        return result;
    result.ok = true;
    return result;
}

std::optional<QString> writeNewKeyPair(const QString &base, QString *error)
{
    const QString publicPath = base + QStringLiteral(".pub");
    const QString secretPath = base + QStringLiteral(".key");
    for (const QString &path : {publicPath, secretPath}) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            *error = path + QStringLiteral(" exists already; it is not replaced");
            return std::nullopt;
        }
    }
    const KeyPairFiles pair = generateKeyPair();
    if (pair.keyId.isEmpty()) {
        *error = QStringLiteral("libsodium could not be started");
        return std::nullopt;
    }
    // The secret file is created new with the owner's permissions only, before a byte goes in.
    QFile secret(secretPath);
    if (!secret.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner) ||
        secret.write(pair.secretFile) != pair.secretFile.size() || !secret.flush()) {
        *error = QStringLiteral("cannot write ") + secretPath;
        secret.remove();
        return std::nullopt;
    }
    secret.close();
    QFile publicFile(publicPath);
    if (!publicFile.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        publicFile.write(pair.publicFile) != pair.publicFile.size() || !publicFile.flush()) {
        *error = QStringLiteral("cannot write ") + publicPath;
        publicFile.remove();
        secret.remove();
        return std::nullopt;
    }
    return pair.keyId;
}

} // namespace zv::update
