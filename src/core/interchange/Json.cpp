#include "core/interchange/Json.h"

#include "core/interchange/ImportChecks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>
#include <thread>
#include <utility>

namespace zv::interchange {

namespace {

const QString kFormat = QStringLiteral("zorvanell-entries");
constexpr int kVersion = 1;

// A JSON string of `text`, written by hand: a document per entry would cost twice the time.
void appendString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray bytes = text.toUtf8();
    out += '"';
    // Runs that need no escape are copied whole.
    qsizetype from = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto u = static_cast<unsigned char>(bytes[i]);
        if (u >= 0x20 && u != '"' && u != '\\')
            continue;
        out += QByteArrayView(bytes).sliced(from, i - from);
        from = i + 1;
        if (u == '"' || u == '\\') {
            out += '\\';
            out += char(u);
        } else if (u == '\n') {
            out += "\\n";
        } else {
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    out += QByteArrayView(bytes).sliced(from);
    out += '"';
}

} // namespace

QByteArray jsonOpening()
{
    return "{\"format\": \"" + kFormat.toUtf8() + "\", \"version\": " + QByteArray::number(kVersion) +
           ", \"entries\": [";
}

void appendJsonEntry(QByteArray &out, const Entry &entry, bool first)
{
    out += first ? "\n{\"category\": " : ",\n{\"category\": ";
    appendString(out, entry.table);
    out += ", \"name\": ";
    appendString(out, entry.name);
    out += ", \"text\": ";
    appendString(out, entry.text);
    out += ", \"pictures\": [";
    for (qsizetype i = 0; i < entry.pictures.size(); ++i) {
        if (i > 0)
            out += ", ";
        appendString(out, entry.pictures[i]);
    }
    out += "]}";
}

QByteArray jsonClosing()
{
    return "\n]}\n";
}

namespace {

// Why a file's root is refused (its version, its number of entries); empty when it is not.
QString rootRefusal(const QJsonObject &root, qsizetype entries)
{
    if (root.value(QLatin1String("version")).toInt() > kVersion)
        return QStringLiteral("Файл записан более новой версией программы.");
    if (entries > kMaxEntries)
        return tooManyEntries();
    return QString();
}

// Files this big are read in two halves at once, on two threads; below, one parse is quick enough.
constexpr qsizetype kHalvesFrom = 4 * 1024 * 1024;

// Takes the entries of `entries` (the file's from number `first` + 1 on) into `result`; false,
// with the reason in `result`, when one of them is refused.
bool takeEntries(const QJsonArray &entries, qsizetype first, ReadResult &result)
{
    auto refuse = [&](const QString &why) {
        result.failure = why;
        return false;
    };
    result.entries.reserve(result.entries.size() + entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const qsizetype number = first + i + 1;
        const QJsonObject object = entries.at(i).toObject();
        const QJsonValue name = object.value(QLatin1String("name"));
        const QJsonValue text = object.value(QLatin1String("text"));
        const QJsonValue pictures = object.value(QLatin1String("pictures"));
        const std::optional<QString> table = tableOfCategory(object.value(QLatin1String("category")).toString());
        if (!name.isString() || !text.isString() || !(pictures.isArray() || pictures.isUndefined()))
            return refuse(QStringLiteral("Запись %1 файла неполна: нужны category, name, text.").arg(number));
        if (!table)
            return refuse(QStringLiteral("У записи %1 файла неизвестный раздел.").arg(number));
        Entry entry{*table, name.toString(), text.toString(), {}};
        if (entry.name.size() > kMaxFieldBytes || entry.text.size() > kMaxFieldBytes)
            return refuse(QStringLiteral("В файле есть слишком длинное поле."));
        for (const QJsonValue picture : pictures.toArray()) {
            if (!picture.isString())
                return refuse(QStringLiteral("У записи %1 файла неправильный список скриншотов.").arg(number));
            entry.pictures << picture.toString();
        }
        result.entries.push_back(std::move(entry));
    }
    return true;
}

// A file this program wrote, cut in two between two entries: the first half keeps the file's
// opening, the second gets one of its own. Our writer escapes every control character, so a
// line break followed by an entry's start is never inside a string; in a file cut at the wrong
// place the first half ends inside a string and is refused, and the whole file is read instead.
std::optional<std::pair<QByteArray, QByteArray>> halves(const QByteArray &bytes)
{
    if (bytes.size() < kHalvesFrom || !bytes.startsWith(jsonOpening()))
        return std::nullopt;
    static const QByteArray between = ",\n{\"category\": ";
    const qsizetype cut = bytes.indexOf(between, bytes.size() / 2);
    if (cut < 0)
        return std::nullopt;
    return std::pair{bytes.left(cut) + "]}", "{\"entries\": [" + bytes.mid(cut + 1)};
}

// The entries of a file cut in halves, read at once; nullopt when a half is no JSON.
std::optional<ReadResult> entriesFromHalves(const QByteArray &first, const QByteArray &second)
{
    QJsonParseError secondError;
    QJsonArray secondEntries;
    std::thread reader([&] {
        secondEntries =
            QJsonDocument::fromJson(second, &secondError).object().value(QLatin1String("entries")).toArray();
    });
    QJsonParseError firstError;
    const QJsonDocument document = QJsonDocument::fromJson(first, &firstError);
    reader.join();
    if (firstError.error != QJsonParseError::NoError || secondError.error != QJsonParseError::NoError)
        return std::nullopt;
    ReadResult result;
    const QJsonObject root = document.object();
    const QJsonArray firstEntries = root.value(QLatin1String("entries")).toArray();
    result.failure = rootRefusal(root, firstEntries.size() + secondEntries.size());
    if (result.failure.isEmpty() && takeEntries(firstEntries, 0, result))
        takeEntries(secondEntries, firstEntries.size(), result);
    if (!result.failure.isEmpty())
        result.entries.clear();
    return result;
}

} // namespace

ReadResult entriesFromJson(const QByteArray &bytes)
{
    if (const auto cut = halves(bytes)) {
        if (std::optional<ReadResult> read = entriesFromHalves(cut->first, cut->second))
            return std::move(*read);
    }
    ReadResult result;
    auto refuse = [&](const QString &why) {
        result.entries.clear();
        result.failure = why;
        return result;
    };
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    // Qt's parser checks the encoding itself.
    if (error.error == QJsonParseError::IllegalUTF8String)
        return refuse(QStringLiteral("Файл не в кодировке UTF-8."));
    if (error.error != QJsonParseError::NoError)
        return refuse(QStringLiteral("Файл повреждён: это не правильный JSON (%1, знак %2).")
                          .arg(error.errorString())
                          .arg(error.offset));
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != kFormat || !root.value(QLatin1String("entries")).isArray())
        return refuse(QStringLiteral("Это не файл записей Zorvanell."));
    const QJsonArray entries = root.value(QLatin1String("entries")).toArray();
    if (const QString refusal = rootRefusal(root, entries.size()); !refusal.isEmpty())
        return refuse(refusal);
    if (!takeEntries(entries, 0, result))
        result.entries.clear();
    return result;
}

} // namespace zv::interchange
