// The settings file reader and writer: any bytes read as Options.ini, then one value written
// and read back. The first bytes of the input choose the section, key and value written.
#include "FuzzTarget.h"
#include "core/IniFile.h"
#include "core/TextCodec.h"

#include <QList>

namespace {

QList<QByteArray> linesOf(const QByteArray &fileBytes)
{
    QList<QByteArray> lines = fileBytes.split('\n');
    lines.removeLast(); // every line the writer puts out ends with CR LF
    return lines;
}

// True when `before` with at most one line left out is a subsequence of `after`.
bool keptInOrder(const QList<QByteArray> &before, const QList<QByteArray> &after)
{
    qsizetype j = 0;
    int skipped = 0;
    for (const QByteArray &line : before) {
        while (j < after.size() && after.at(j) != line)
            ++j;
        if (j == after.size()) {
            if (++skipped > 1)
                return false;
            j = 0;
            continue;
        }
        ++j;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    static const char keyLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    const int keyLength = 1 + data[0] % 12;
    const int sectionChoice = (data[0] >> 4) % 4;
    const int valueLength = data[1] % 48;
    // The program never writes a key without a name.
    if (size < size_t(2 + keyLength))
        return 0;
    size_t at = 2;
    QString key;
    for (int i = 0; i < keyLength && at < size; ++i)
        key += QLatin1Char(keyLetters[data[at++] % (sizeof keyLetters - 1)]);
    // What the program writes: any Windows-1251 text without line breaks.
    QByteArray valueBytes;
    for (int i = 0; i < valueLength && at < size; ++i) {
        const char c = char(data[at++]);
        valueBytes += (c == '\r' || c == '\n' || c == '\x98') ? 'x' : c;
    }
    const QString value = zv::fromCp1251(valueBytes);
    const QString sections[] = {QStringLiteral("Main"), QStringLiteral("Падонак"), QStringLiteral("Update"),
                                QStringLiteral("S ") + key};
    const QString section = sections[sectionChoice];
    const QByteArray file(reinterpret_cast<const char *>(data + at), qsizetype(size - at));

    zv::IniFile ini = zv::IniFile::fromBytes(file);
    const QByteArray written = ini.toBytes();
    // Reading what was written gives the same file again.
    ZV_FUZZ_CHECK(zv::IniFile::fromBytes(written).toBytes() == written);

    ini.setValue(section, key, value);
    ZV_FUZZ_CHECK(ini.value(section, key) == value);
    const QByteArray rewritten = ini.toBytes();
    ZV_FUZZ_CHECK(zv::IniFile::fromBytes(rewritten).value(section, key) == value);
    ZV_FUZZ_CHECK(zv::IniFile::fromBytes(rewritten).toBytes() == rewritten);
    // One line replaced, one added, or a new section with its line: every other line stays.
    const QList<QByteArray> before = linesOf(written);
    const QList<QByteArray> after = linesOf(rewritten);
    const qsizetype added = after.size() - before.size();
    ZV_FUZZ_CHECK(added >= 0 && added <= 2);
    ZV_FUZZ_CHECK(keptInOrder(before, after));
    return 0;
}
