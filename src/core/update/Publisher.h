#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zv::update {

struct PublishOptions
{
    QString catalogue;                // path of a catalogue file
    QString outDir;                   // the folder a web server serves
    std::optional<qint64> intVersion; // writes zv_upd/ProgVer.ini when set
    QString textVersion;
    QString archive;  // copied to zv_upd/update.rar when set; needs signKey and intVersion
    QString signKey;  // secret key that signs the archive into zv_upd/update.rar.minisig
    QString whatsNew; // copied to zv_upd/whatsnew.txt when set
};

struct PublishResult
{
    bool ok = false;
    QString error;        // why nothing (or not everything) was published
    QStringList warnings; // entries left out, and why
    int entries = 0;      // entry files written
};

// Why the publisher leaves out an entry of this name (it cannot be a file name, web servers take
// it as their own, it cannot be written in Windows-1251), in English; an empty text when it can be published.
QString unpublishableName(const QString &name);

// Lays out a catalogue as an update server expects it under outDir/zv_upd: per category
// <Table>/spisok.txt (Windows-1251 names joined by CR LF) and <Table>/base/<Name>.
// Names that cannot be file names, that web servers take as their own files (".htaccess"),
// that cannot be written in Windows-1251 or that repeat an earlier name (ignoring letter case)
// are left out with a warning.
// An archive is published only signed: the program installs nothing else. Its signature's trusted
// comment names the build (intVersion). The secret key must not lie inside outDir, where the
// web server would hand it out. The archive and its signature are written before ProgVer.ini,
// so a version is never offered before its archive is there.
PublishResult publish(const PublishOptions &options);

// Writes a new key pair as `base`.pub and `base`.key (the secret key unencrypted, readable by the
// owner only). Refuses to replace either file. Returns the key id, or nothing with `error` set.
std::optional<QString> writeNewKeyPair(const QString &base, QString *error);

} // namespace zv::update
