#include "CatalogueSource.h"

#include "core/LetterCase.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>

namespace zv::starter {

namespace {

const QLatin1String kSuffix(".txt");

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

std::optional<QString> strictUtf8(const QByteArray &bytes)
{
    // Stateless, so that a character cut off at the end is an error, not left pending.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString entryNameFromFileName(const QString &fileName, QString *why)
{
    auto fail = [&](const QString &reason) {
        if (why)
            *why = reason;
        return QString();
    };
    if (!fileName.endsWith(kSuffix))
        return fail(QStringLiteral("the file name does not end in .txt"));
    const QByteArray raw = fileName.chopped(kSuffix.size()).toUtf8();
    QByteArray bytes;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != '%') {
            bytes += raw.at(i);
            continue;
        }
        const int high = i + 2 < raw.size() ? hexValue(raw.at(i + 1)) : -1;
        const int low = high >= 0 ? hexValue(raw.at(i + 2)) : -1;
        if (low < 0)
            return fail(QStringLiteral("a % must be followed by two hex digits (a % of the name is written %25)"));
        bytes += char(high * 16 + low);
        i += 2;
    }
    const std::optional<QString> decoded = strictUtf8(bytes);
    if (!decoded || decoded->contains(QChar::ReplacementCharacter))
        return fail(QStringLiteral("the name is not valid UTF-8"));
    const QString name = decoded->normalized(QString::NormalizationForm_C);
    if (name.isEmpty())
        return fail(QStringLiteral("the name is empty"));
    if (name.trimmed() != name)
        return fail(QStringLiteral("the name begins or ends with a blank"));
    if (std::any_of(name.begin(), name.end(), isControl))
        return fail(QStringLiteral("the name holds a control character"));
    return name;
}

QString fileNameForEntry(const QString &name)
{
    static const QByteArray escaped("%/\\:*?\"<>|");
    QByteArray bytes;
    for (const char c : name.toUtf8()) {
        const auto byte = uchar(c);
        if (byte < 0x20 || byte == 0x7f || escaped.contains(c)) {
            bytes += '%';
            bytes += QByteArray::number(byte, 16).rightJustified(2, '0').toUpper();
        } else {
            bytes += c;
        }
    }
    return QString::fromUtf8(bytes) + kSuffix;
}

std::optional<QString> entryTextFromBytes(const QByteArray &bytes, QString *why)
{
    auto fail = [&](const QString &reason) -> std::optional<QString> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    std::optional<QString> decoded = strictUtf8(bytes);
    if (!decoded)
        return fail(QStringLiteral("the text is not valid UTF-8"));
    QString text = *decoded;
    if (text.startsWith(QChar::ByteOrderMark))
        text.remove(0, 1);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("the text is empty"));
    for (const QChar c : std::as_const(text)) {
        if (isControl(c) && c != QLatin1Char('\n') && c != QLatin1Char('\t'))
            return fail(QStringLiteral("the text holds the control character U+") +
                        QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0')).toUpper());
    }
    return text.normalized(QString::NormalizationForm_C);
}

SourceReading readCatalogueSource(const QString &folder)
{
    SourceReading reading;
    const QDir root(folder);
    if (!root.exists()) {
        reading.warnings << folder + QStringLiteral(": no such folder, the catalogue is empty");
        return reading;
    }
    const QStringList &tables = tableCreationOrder();
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QFileInfo &info : root.entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!tables.contains(info.fileName()))
            reading.errors << info.filePath() + QStringLiteral(": not a category folder (the folders are ") +
                                  tables.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    for (const QString &table : tables) {
        const QDir dir(root.filePath(table));
        if (!dir.exists())
            continue;
        QList<SourceEntry> entries;
        QHash<QString, QString> fileByFoldedName;
        for (const QFileInfo &info : dir.entryInfoList(all, QDir::Name)) {
            const QString path = info.filePath();
            if (info.isSymLink()) {
                reading.errors << path + QStringLiteral(": a link, not an entry file");
                continue;
            }
            if (info.isDir() || !info.fileName().endsWith(kSuffix)) {
                reading.warnings << path + QStringLiteral(": left out, entries are .txt files");
                continue;
            }
            QString why;
            const QString name = entryNameFromFileName(info.fileName(), &why);
            if (name.isEmpty()) {
                reading.errors << path + QStringLiteral(": ") + why;
                continue;
            }
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                reading.errors << path + QStringLiteral(": cannot be read");
                continue;
            }
            const std::optional<QString> text = entryTextFromBytes(file.readAll(), &why);
            if (!text) {
                reading.errors << path + QStringLiteral(": ") + why;
                continue;
            }
            // The program keeps one entry per name, letter case ignored.
            const QString folded = foldCase(name);
            if (const auto earlier = fileByFoldedName.constFind(folded); earlier != fileByFoldedName.cend()) {
                reading.errors << path + QStringLiteral(": the same name as ") + *earlier +
                                      QStringLiteral(" (letter case ignored)");
                continue;
            }
            fileByFoldedName.insert(folded, info.fileName());
            entries.append({table, name, *text, path});
        }
        std::sort(entries.begin(), entries.end(), [](const SourceEntry &a, const SourceEntry &b) {
            const int order = foldCase(a.name).compare(foldCase(b.name));
            return order != 0 ? order < 0 : a.name < b.name;
        });
        reading.entries += entries;
    }
    return reading;
}

void writeCatalogue(const QList<SourceEntry> &entries, const QString &path)
{
    const QString temporary = path + QStringLiteral(".build");
    auto removeTemporary = [&] {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
    };
    removeTemporary();
    try {
        CreateCatalogue(temporary);
        {
            const CatalogueConnection catalogue = OpenCatalogue(temporary);
            Catalogue::Transaction transaction(*catalogue);
            for (const SourceEntry &entry : entries)
                AddEntry(catalogue, entry.table, entry.name, entry.text);
            transaction.commit();
        }
        // rename() replaces the old catalogue in one step; QFile::rename refuses an existing target.
        if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
            throw CatalogueError(QStringLiteral("cannot rename ") + temporary + QStringLiteral(" to ") + path);
    } catch (...) {
        removeTemporary();
        throw;
    }
}

} // namespace zv::starter
