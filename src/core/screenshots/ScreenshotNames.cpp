#include "core/screenshots/ScreenshotNames.h"

#include "core/LetterCase.h"

namespace zv::screenshots {

namespace {

bool needsEscape(QChar ch)
{
    const char16_t u = ch.unicode();
    if (u < 0x20 || u == 0x7F)
        return true;
    switch (u) {
    case u'%':
    case u'/':
    case u'\\':
    case u':':
    case u'*':
    case u'?':
    case u'[':
    case u']':
    case u';':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
        return true;
    default:
        return false;
    }
}

void appendEscape(QString &out, QChar ch)
{
    static const char hex[] = "0123456789ABCDEF";
    const char16_t u = ch.unicode();
    out += QLatin1Char('%');
    out += QLatin1Char(hex[(u >> 4) & 0xF]);
    out += QLatin1Char(hex[u & 0xF]);
}

bool isPlainExtension(const QString &extension)
{
    if (extension.isEmpty() || extension.size() > 8)
        return false;
    for (const QChar ch : extension) {
        if (!(ch.isDigit() || (ch >= QLatin1Char('a') && ch <= QLatin1Char('z')) ||
              (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))))
            return false;
    }
    return true;
}

} // namespace

QString fileNameForm(const QString &name)
{
    QString form;
    form.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar ch = name.at(i);
        // A leading dot would hide the file and lets "." and ".." name folders.
        if (needsEscape(ch) || (i == 0 && ch == QLatin1Char('.')))
            appendEscape(form, ch);
        else
            form += ch;
    }
    return form;
}

QString extensionFor(const QString &sourceName, const QByteArray &head)
{
    const qsizetype slash = sourceName.lastIndexOf(QLatin1Char('/'));
    const QString fileName = sourceName.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString own = fileName.mid(dot + 1);
        if (isPlainExtension(own))
            return own;
    }
    if (head.startsWith("\xFF\xD8\xFF"))
        return QStringLiteral("jpg");
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return QStringLiteral("gif");
    if (head.startsWith("BM"))
        return QStringLiteral("bmp");
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return QStringLiteral("png");
    if (head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4)))
        return QStringLiteral("tif");
    return QString();
}

QString firstPictureName(const QString &entry, const QString &extension)
{
    return fileNameForm(entry) + QLatin1Char('.') + extension;
}

QString furtherPictureName(const QString &entry, const QString &word, const QString &extension)
{
    // The word sits in the middle of the name: only its special characters change, a dot stays.
    QString wordForm = fileNameForm(QLatin1Char('_') + word);
    return fileNameForm(entry) + wordForm + QLatin1Char('.') + extension;
}

bool belongsTo(const QString &fileName, const QString &entry)
{
    // An empty name would own every picture.
    if (entry.isEmpty())
        return false;
    return startsWithIgnoringCase(fileName, fileNameForm(entry));
}

} // namespace zv::screenshots
