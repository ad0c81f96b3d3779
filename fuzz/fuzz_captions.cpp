// The caption-set reader: any bytes as Language.ini, read key by key the way the windows read
// their captions; and the same bytes as the version file a server sends, read as the program
// update reads it. Both files are read from disk, through the program's own readers.
#include "FuzzTarget.h"
#include "core/INI.h"
#include "core/IniFile.h"
#include "core/update/ProgramUpdate.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {

QString g_home;

// Captions of several windows, the marker key "Caption" among them; each is read from the file anew.
const char *const kCaptionKeys[] = {"Caption",          "Welcome",       "AddItem",         "Label_f1",
                                    "AddNewField_Name", "Caption_About", "frmUpdate_Greet", "frmOptions_Language"};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ZV_FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ZV_FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A program folder of our own, in memory when the machine has one.
    QByteArray pattern = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm/zv-fuzz-XXXXXX" : "/tmp/zv-fuzz-XXXXXX";
    ZV_FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    g_home = QString::fromLocal8Bit(pattern);
    setenv("ZORVANELL_HOME", pattern.constData(), 1);
    std::atexit([] { QDir(g_home).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeFile(zv::languagePath(), bytes);
    const zv::IniFile parsed = zv::IniFile::fromBytes(bytes);
    for (const char *name : kCaptionKeys) {
        const QString key = QString::fromLatin1(name);
        const QString caption = ReadLangString(key, QStringLiteral("\x01"));
        ZV_FUZZ_CHECK(caption.size() <= zv::kLangValueLimit);
        // What the file holds, cut to the limit; the default only when the key is absent.
        const auto stored = parsed.value(QStringLiteral("Падонак"), key);
        ZV_FUZZ_CHECK(caption == (stored ? stored->left(zv::kLangValueLimit) : QStringLiteral("\x01")));
    }

    const QString versionPath = g_home + QStringLiteral("/ProgVer.ini");
    writeFile(versionPath, bytes);
    const auto check = zv::update::checkVersionFile(versionPath, 500501);
    ZV_FUZZ_CHECK(check.textVersion.size() <= zv::kOptionValueLimit);
    const auto intVer = parsed.value(QStringLiteral("Update"), QStringLiteral("IntVer"));
    if (check.verdict == zv::update::VersionCheck::Verdict::Unreadable) {
        bool ok = false;
        const qint64 number = intVer ? intVer->left(zv::kOptionValueLimit).trimmed().toLongLong(&ok) : 0;
        ZV_FUZZ_CHECK(!ok || number != qint32(number));
    } else {
        ZV_FUZZ_CHECK(intVer.has_value());
        ZV_FUZZ_CHECK((check.verdict == zv::update::VersionCheck::Verdict::Newer) == (check.serverBuild > 500501));
    }
    return 0;
}
