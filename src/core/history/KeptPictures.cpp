#include "core/history/KeptPictures.h"

#include "core/Files.h"
#include "core/screenshots/ScreenshotStore.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace zv::history {

namespace {

// Keys are made here only: hex digits, a dot and an extension of letters and digits.
bool isKey(const QString &key)
{
    return !key.isEmpty() && std::all_of(key.begin(), key.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('.');
    });
}

} // namespace

QString KeptPictures::keyOf(const QString &path)
{
    QFile file(path);
    if (!irregularFileReason(path).isEmpty() || !openRegularFile(file))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return QString();
    QString extension = QFileInfo(path).suffix();
    if (!isKey(extension) || extension.size() > 8)
        extension = QStringLiteral("bin");
    return QString::fromLatin1(hash.result().toHex().left(40)) + QLatin1Char('.') + extension.toLower();
}

QString KeptPictures::keep(const QString &path, QString *failure)
{
    const QString key = keyOf(path);
    if (key.isEmpty()) {
        if (failure)
            *failure = QStringLiteral("Не удалось прочитать файл ") + path + QLatin1Char('.');
        return QString();
    }
    if (has(key))
        return key;
    const QString copyFailure = screenshots::copyInto(path, m_folder, key);
    if (!copyFailure.isEmpty()) {
        if (failure)
            *failure = copyFailure;
        return QString();
    }
    return key;
}

QString KeptPictures::restore(const QString &key, const QString &folder, const QString &fileName) const
{
    if (!isKey(key))
        return QStringLiteral("Недопустимое имя сохранённого скриншота: ") + key;
    return screenshots::copyInto(m_folder + QLatin1Char('/') + key, folder, fileName);
}

bool KeptPictures::has(const QString &key) const
{
    return isKey(key) && QFileInfo(m_folder + QLatin1Char('/') + key).isFile();
}

qint64 KeptPictures::bytes() const
{
    qint64 total = 0;
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

void KeptPictures::removeAllBut(const std::vector<QString> &inUse) const
{
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (std::find(inUse.begin(), inUse.end(), it.fileName()) == inUse.end())
            QFile::remove(it.filePath());
    }
}

} // namespace zv::history
