#include "core/Files.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

namespace zv {

namespace {

QRegularExpression wildcardPattern(const QString &pattern)
{
    QString regex;
    regex.reserve(pattern.size() * 2 + 4);
    for (const QChar ch : pattern) {
        if (ch == QLatin1Char('*'))
            regex += QLatin1String(".*");
        else if (ch == QLatin1Char('?'))
            regex += QLatin1Char('.');
        else
            regex += QRegularExpression::escape(QString(ch));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(regex),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption);
}

} // namespace

QStringList matchingFiles(const QString &folder, const QString &namePattern)
{
    QStringList names;
    const QRegularExpression re = wildcardPattern(namePattern);
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (re.match(name).hasMatch())
            names << name;
    }
    return names;
}

bool FileExists(const QString &pattern)
{
    const QFileInfo info(pattern);
    const QString folder = info.path();
    const QString name = info.fileName();
    if (name.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    const QRegularExpression re = wildcardPattern(name);
    QDirIterator it(folder, QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (re.match(it.fileName()).hasMatch())
            return true;
    }
    return false;
}

} // namespace zv
