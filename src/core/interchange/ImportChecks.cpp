#include "core/interchange/ImportChecks.h"

#include "core/LetterCase.h"
#include "core/screenshots/ScreenshotNames.h"
#include "core/store/Category.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <QStringDecoder>

namespace zv::interchange {

namespace {

bool hasControl(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// Names Windows keeps for devices, with or without an extension: a picture so named could
// never be opened there.
bool isDeviceName(const QString &fileName)
{
    const QString base = fileName.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    static const QSet<QString> devices = [] {
        QSet<QString> names{QStringLiteral("CON"), QStringLiteral("PRN"),    QStringLiteral("AUX"),
                            QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
        for (int i = 1; i <= 9; ++i) {
            names << QStringLiteral("COM%1").arg(i) << QStringLiteral("LPT%1").arg(i);
        }
        return names;
    }();
    return devices.contains(base);
}

QString quoted(const QString &text)
{
    return QStringLiteral("«") + text + QStringLiteral("»");
}

} // namespace

QString tooManyEntries()
{
    return QStringLiteral("В файле слишком много записей (больше %1).").arg(kMaxEntries);
}

bool isUtf8(QByteArrayView bytes)
{
    // In pieces cut before a character's first byte, so that a large file is never held twice
    // and a character cut at the very end is still an error.
    constexpr qsizetype kPiece = 1 << 16;
    QString buffer(kPiece, Qt::Uninitialized);
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype end = std::min(at + kPiece, bytes.size());
        for (int back = 0; back < 3 && end < bytes.size() && end > at + 1 && (bytes[end] & 0xC0) == 0x80; ++back)
            --end;
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        decoder.appendToBuffer(buffer.data(), bytes.sliced(at, end - at));
        if (decoder.hasError())
            return false;
        at = end;
    }
    return true;
}

std::optional<QString> tableOfCategory(const QString &category)
{
    const QString trimmed = category.trimmed();
    if (const auto byName = categoryByDisplayName(trimmed))
        return byName->table;
    if (const auto byTable = categoryByTable(trimmed))
        return byTable->table;
    return std::nullopt;
}

QString pictureNameProblem(const QString &fileName, const QString &entryName)
{
    const QString why = QStringLiteral("Недопустимое имя скриншота ") + quoted(fileName) + QStringLiteral(": ");
    if (fileName.isEmpty() || fileName.toUtf8().size() > 255)
        return why + QStringLiteral("пустое или слишком длинное.");
    if (fileName.contains(QLatin1Char('/')) || fileName.contains(QLatin1Char('\\')) ||
        fileName.contains(QLatin1String("..")) || fileName == QLatin1String("."))
        return why + QStringLiteral("это путь, а не имя файла.");
    if (hasControl(fileName) || fileName.contains(QLatin1Char(':')))
        return why + QStringLiteral("в нём есть недопустимые знаки.");
    if (isDeviceName(fileName))
        return why + QStringLiteral("это имя устройства.");
    if (!screenshots::belongsTo(fileName, entryName))
        return why + QStringLiteral("оно не начинается с названия записи ") + quoted(entryName) + QLatin1Char('.');
    return QString();
}

QString pictureFileProblem(const QString &path)
{
    const QFileInfo info(path);
    const QString name = quoted(info.fileName());
    if (info.isSymLink())
        return QStringLiteral("Скриншот ") + name + QStringLiteral(" — ссылка, а не файл.");
    if (!info.isFile())
        return QStringLiteral("Скриншота ") + name + QStringLiteral(" нет в папке ") + quoted(kPictureFolder) +
               QStringLiteral(" рядом с файлом.");
    if (info.size() > kMaxPictureBytes)
        return QStringLiteral("Скриншот ") + name + QStringLiteral(" слишком большой.");
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead() || !reader.size().isValid())
        return QStringLiteral("Файл ") + name + QStringLiteral(" — не изображение.");
    return QString();
}

QString entryProblem(const Entry &entry)
{
    const QString where = QStringLiteral("Запись ") + quoted(entry.name) + QStringLiteral(": ");
    if (entry.name.trimmed().isEmpty())
        return QStringLiteral("В файле есть запись без названия.");
    if (hasControl(entry.name) || entry.name.size() > 1000)
        return where + QStringLiteral("недопустимое название.");
    if (entry.pictures.size() > kMaxPicturesPerEntry)
        return where + QStringLiteral("слишком много скриншотов.");
    for (const QString &picture : entry.pictures) {
        if (const QString problem = pictureNameProblem(picture, entry.name); !problem.isEmpty())
            return problem;
    }
    return QString();
}

void checkEntries(ReadResult &result, const QString &folder)
{
    if (!result.ok())
        return;
    if (qsizetype(result.entries.size()) > kMaxEntries) {
        result.failure = tooManyEntries();
        return;
    }
    QSet<QString> seen;
    QSet<QString> pictures;
    for (const Entry &entry : result.entries) {
        if (const QString problem = entryProblem(entry); !problem.isEmpty()) {
            result.failure = problem;
            return;
        }
        // Two entries of one name in one category could not both be kept.
        const QString key = entry.table + QLatin1Char('/') + foldCase(entry.name);
        if (seen.contains(key)) {
            result.failure =
                QStringLiteral("Запись ") + quoted(entry.name) + QStringLiteral(" встречается в файле дважды.");
            return;
        }
        seen.insert(key);
        for (const QString &picture : entry.pictures) {
            if (pictures.contains(picture))
                continue;
            pictures.insert(picture);
            if (const QString problem = pictureFileProblem(folder + QLatin1Char('/') + picture); !problem.isEmpty()) {
                result.failure = problem;
                return;
            }
        }
    }
}

} // namespace zv::interchange
