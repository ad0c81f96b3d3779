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
    QString archive;  // copied to zv_upd/update.rar when set
    QString whatsNew; // copied to zv_upd/whatsnew.txt when set
};

struct PublishResult
{
    bool ok = false;
    QString error;        // why nothing (or not everything) was published
    QStringList warnings; // entries left out, and why
    int entries = 0;      // entry files written
};

// Lays out a catalogue as an update server expects it under outDir/zv_upd: per category
// <Table>/spisok.txt (Windows-1251 names joined by CR LF) and <Table>/base/<Name>.
// Names that cannot be file names, cannot be written in Windows-1251 or repeat an earlier
// name (ignoring letter case) are left out with a warning.
PublishResult publish(const PublishOptions &options);

} // namespace zv::update
