// The update list parser and what is built from the names it yields: the comparison with the
// names present, the test for names that can be files, and the entry addresses.
#include "FuzzTarget.h"
#include "core/TextCodec.h"
#include "core/store/NameList.h"
#include "core/update/UpdateLayout.h"

#include <QDir>
#include <QSet>
#include <QUrl>

namespace {

// The list format as its description words it, slowly: a CR is appended to the text; the text
// before the first CR is a name; it, the CR and the character after it are removed; until no CR is left.
QStringList literalSplit(QString text)
{
    QStringList names;
    text += QLatin1Char('\r');
    for (;;) {
        const qsizetype cr = text.indexOf(QLatin1Char('\r'));
        if (cr < 0)
            return names;
        names << text.left(cr);
        text.remove(0, cr + 2);
    }
}

const QString kServer = QStringLiteral("http://updates.example.org/");
const QString kTable = QStringLiteral("Programs");

// The entry address keeps the server's folder and carries the name, whole, as its last part.
void checkEntryAddress(const QUrl &url, const QByteArray &nameBytes)
{
    ZV_FUZZ_CHECK(url.isValid());
    ZV_FUZZ_CHECK(url.host() == QLatin1String("updates.example.org"));
    ZV_FUZZ_CHECK(!url.hasQuery() && !url.hasFragment());
    const QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray folder = "//zv_upd/Programs/base/";
    ZV_FUZZ_CHECK(path.startsWith(folder));
    const QByteArray last = path.mid(folder.size());
    ZV_FUZZ_CHECK(!last.contains('/'));
    ZV_FUZZ_CHECK(QByteArray::fromPercentEncoding(last) == nameBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = zv::fromCp1251(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList names = zv::update::parseList(text);
    ZV_FUZZ_CHECK(names == literalSplit(text));

    // Each listed name counts, duplicates included; names present (in the main list, which
    // ignores letter case) are never offered.
    zv::NameList all, half;
    all.assign(names);
    const QStringList firstHalf = names.mid(0, names.size() / 2);
    half.assign(firstHalf);
    auto in = [](const zv::NameList &list) {
        return [&list](const QString &name) { return list.containsIgnoringCase(name); };
    };
    ZV_FUZZ_CHECK(zv::update::newNames(names, [](const QString &) { return false; }) == names);
    ZV_FUZZ_CHECK(zv::update::newNames(names, in(all)).isEmpty());
    const QSet<QString> present(firstHalf.cbegin(), firstHalf.cend());
    for (const QString &offered : zv::update::newNames(names, in(half)))
        ZV_FUZZ_CHECK(!present.contains(offered) && !half.containsIgnoringCase(offered));

    const QDir base(QStringLiteral("/home/user/zorvanell/tmp/base"));
    for (const QString &name : names) {
        if (!zv::update::isPlainFileName(name))
            continue;
        // A name that may become a file of tmp/base stays there (the program joins folder and name as text).
        const QString path = QDir::cleanPath(base.path() + QLatin1Char('/') + name);
        ZV_FUZZ_CHECK(path.startsWith(base.path() + QLatin1Char('/')));
        ZV_FUZZ_CHECK(path.mid(base.path().size() + 1) == name);
        checkEntryAddress(zv::update::entryUrl(kServer, kTable, name), name.toUtf8());
        checkEntryAddress(zv::update::entryUrlCp1251(kServer, kTable, name), zv::toCp1251(name));
    }
    return 0;
}
