#include "core/favourites/FavouritesFile.h"

#include "core/Files.h"
#include "core/Version.h"
#include "core/store/Category.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace zv::favourites {

namespace {

const QString kKind = QStringLiteral("zorvanell-favourites");
constexpr int kFormat = 1;
// Far above any real list of favourites; a bigger file is not read into memory.
constexpr qint64 kMaxBytes = 16 << 20;

QString asideName(const QString &path)
{
    const QString stem =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    int n = 1;
    while (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
        name = stem + QLatin1Char('-') + QString::number(++n);
    return name;
}

} // namespace

QString favouritesPath(const QString &cataloguePath)
{
    return cataloguePath + QStringLiteral(".favourites");
}

QByteArray favouritesBytes(const std::vector<Mark> &marks, const QString &catalogueName)
{
    QJsonArray list;
    for (const Mark &mark : marks)
        list.append(QJsonObject{{QStringLiteral("category"), mark.table},
                                {QStringLiteral("row"), mark.rowId},
                                {QStringLiteral("name"), mark.name}});
    const QJsonObject root{{QStringLiteral("kind"), kKind},
                           {QStringLiteral("format"), kFormat},
                           {QStringLiteral("catalogue"), catalogueName},
                           {QStringLiteral("writtenBy"), QLatin1String(version::kFull)},
                           {QStringLiteral("favourites"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool parseFavourites(const QByteArray &bytes, const QString &catalogueName, std::vector<Mark> &marks)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject root = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        root.value(QStringLiteral("kind")) != kKind || root.value(QStringLiteral("format")) != kFormat ||
        root.value(QStringLiteral("catalogue")) != catalogueName || !root.value(QStringLiteral("favourites")).isArray())
        return false;
    std::vector<Mark> read;
    for (const QJsonValue &value : root.value(QStringLiteral("favourites")).toArray()) {
        const QJsonObject item = value.toObject();
        const QJsonValue row = item.value(QStringLiteral("row"));
        Mark mark{item.value(QStringLiteral("category")).toString(), row.toInteger(-1),
                  item.value(QStringLiteral("name")).toString()};
        // A row id is a whole number that JSON carries exactly.
        if (!categoryByTable(mark.table) || !row.isDouble() || double(mark.rowId) != row.toDouble() || mark.rowId < 0 ||
            mark.name.isEmpty())
            return false;
        read.push_back(std::move(mark));
    }
    marks = std::move(read);
    return true;
}

Loaded loadFavourites(const QString &cataloguePath)
{
    Loaded loaded;
    const QString path = favouritesPath(cataloguePath);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return loaded;
    QFile file(path);
    // Only a regular file of ours is read; a link, a pipe or a folder in its place is set aside too.
    if (!info.isSymLink() && info.size() <= kMaxBytes && openRegularFile(file) &&
        parseFavourites(file.read(kMaxBytes + 1), QFileInfo(cataloguePath).fileName(), loaded.marks))
        return loaded;
    file.close();
    const QString aside = asideName(path);
    if (QFile::rename(path, aside))
        loaded.setAsideAs = aside;
    return loaded;
}

QString saveFavourites(const QString &cataloguePath, const std::vector<Mark> &marks)
{
    const QString path = favouritesPath(cataloguePath);
    QSaveFile file(path);
    const QByteArray bytes = favouritesBytes(marks, QFileInfo(cataloguePath).fileName());
    if (!mayReplaceFile(path) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
        !file.commit())
        return QStringLiteral("Не удалось сохранить избранное в файл «") + path + QStringLiteral("».");
    return QString();
}

} // namespace zv::favourites
