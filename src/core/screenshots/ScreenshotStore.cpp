#include "core/screenshots/ScreenshotStore.h"

#include "core/Files.h"
#include "core/LetterCase.h"
#include "core/ProgramFolder.h"
#include "core/screenshots/ScreenshotNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zv::screenshots {

namespace {

// Copies in progress are written under this hidden name and renamed when complete.
const QString kCopyPrefix = QStringLiteral(".zv-copy-");

// A name that stays inside the folder: no separator, not "." or "..".
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

template <typename Visit> void forEachFile(const QString &folder, Visit visit)
{
    // Hidden files count (".kkrieger.jpg"), except a copy still being written.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.startsWith(kCopyPrefix))
            continue;
        if (!visit(name))
            return;
    }
}

} // namespace

QString folder()
{
    return programFile(QStringLiteral("ScreenShots"));
}

QStringList picturesOf(const QString &folder, const QString &entry)
{
    const QStringList forms = pictureForms(entry);
    QStringList names;
    forEachFile(folder, [&](const QString &name) {
        if (beginsWithOneOf(name, forms))
            names << name;
        return true;
    });
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = foldCase(a).compare(foldCase(b));
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

bool hasPictures(const QString &folder, const QString &entry)
{
    const QStringList forms = pictureForms(entry);
    bool found = false;
    forEachFile(folder, [&](const QString &name) {
        found = beginsWithOneOf(name, forms);
        return !found;
    });
    return found;
}

QString existingName(const QString &folder, const QString &name)
{
    QString existing;
    forEachFile(folder, [&](const QString &candidate) {
        if (equalsIgnoringCase(candidate, name))
            existing = candidate;
        return existing.isEmpty();
    });
    return existing;
}

QString copyInto(const QString &source, const QString &folder, const QString &name)
{
    if (!isPlainFileName(name))
        return QStringLiteral("Недопустимое имя файла скриншота: ") + name;
    if (!QDir().mkpath(folder))
        return QStringLiteral("Не удалось создать папку ") + folder + QLatin1Char('.');

    if (const QString odd = irregularFileReason(source); !odd.isEmpty())
        return QStringLiteral("Не удалось прочитать файл ") + source + QStringLiteral(": ") + odd + QLatin1Char('.');
    QFile in(source);
    if (!openRegularFile(in))
        return QStringLiteral("Не удалось прочитать файл ") + source + QStringLiteral(" (") +
               QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(").");
    QTemporaryFile out(folder + QLatin1Char('/') + kCopyPrefix + QStringLiteral("XXXXXX"));
    if (!out.open())
        return QStringLiteral("Не удалось записать в папку ") + folder + QStringLiteral(" (") + out.errorString() +
               QStringLiteral(").");
    const QString writeFailed = QStringLiteral("Не удалось записать скриншот в папку ") + folder + QStringLiteral(" (");
    QByteArray chunk;
    while (!in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFile::NoError)
            return QStringLiteral("Не удалось прочитать файл ") + source + QStringLiteral(" (") + in.errorString() +
                   QStringLiteral(").");
        if (out.write(chunk) != chunk.size())
            return writeFailed + out.errorString() + QStringLiteral(").");
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        return writeFailed + out.errorString() + QStringLiteral(").");
    // A temporary file is the owner's alone; the picture is an ordinary file like any other.
    out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup |
                       QFile::ReadOther);

    const QString target = folder + QLatin1Char('/') + name;
    // rename() replaces the old picture in one step; the temporary file goes with its object otherwise.
    if (std::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(target).constData()) != 0)
        return writeFailed + QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(").");
    out.setAutoRemove(false);
    return QString();
}

QString remove(const QString &folder, const QString &name)
{
    if (!isPlainFileName(name))
        return QStringLiteral("Недопустимое имя файла скриншота: ") + name;
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.remove())
        return QStringLiteral("Не удалось удалить файл ") + name + QStringLiteral(" (") + file.errorString() +
               QStringLiteral(").");
    return QString();
}

} // namespace zv::screenshots
