#include "core/screenshots/ScreenshotNames.h"

#include "core/LetterCase.h"

#include <algorithm>

namespace zv::screenshots {

namespace {

// What a Linux or Windows file name cannot hold.
bool cannotBeHeld(char16_t u)
{
    if (u < 0x20 || u == 0x7F)
        return true;
    switch (u) {
    case u'/':
    case u'\\':
    case u':':
    case u'*':
    case u'?':
    case u'"':
    case u'<':
    case u'>':
    case u'|':
        return true;
    default:
        return false;
    }
}

// Earlier versions also escaped the escape sign, the characters of wildcard patterns and a
// leading dot; their pictures are still found under that form.
bool escapedEarlier(char16_t u, bool first)
{
    return cannotBeHeld(u) || u == u'%' || u == u'[' || u == u']' || u == u';' || (first && u == u'.');
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

struct KindSign
{
    PictureKind kind;
    bool (*shows)(const QByteArray &head);
};

// The kinds a screenshot is recognised as by its first bytes, in the order the user is offered them.
const QList<KindSign> &kindSigns()
{
    static const QList<KindSign> signs = {
        {{QStringLiteral("JPEG"),
          {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jpe"), QStringLiteral("jfif")}},
         [](const QByteArray &head) { return head.startsWith("\xFF\xD8\xFF"); }},
        {{QStringLiteral("GIF"), {QStringLiteral("gif")}},
         [](const QByteArray &head) { return head.startsWith("GIF87a") || head.startsWith("GIF89a"); }},
        {{QStringLiteral("BMP"), {QStringLiteral("bmp"), QStringLiteral("dib")}},
         [](const QByteArray &head) { return head.startsWith("BM"); }},
        {{QStringLiteral("PNG"), {QStringLiteral("png")}},
         [](const QByteArray &head) { return head.startsWith("\x89PNG\r\n\x1A\n"); }},
        {{QStringLiteral("TIFF"), {QStringLiteral("tif"), QStringLiteral("tiff")}},
         [](const QByteArray &head) {
             return head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4));
         }},
        {{QStringLiteral("WebP"), {QStringLiteral("webp")}},
         [](const QByteArray &head) { return head.startsWith("RIFF") && head.mid(8, 4) == "WEBP"; }},
    };
    return signs;
}

template <typename Escaped> QString escaped(const QString &name, Escaped needsEscape)
{
    QString form;
    form.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar ch = name.at(i);
        if (needsEscape(ch.unicode(), i == 0))
            appendEscape(form, ch);
        else
            form += ch;
    }
    return form;
}

} // namespace

QStringList extensionsOfContent(const QByteArray &head)
{
    for (const KindSign &sign : kindSigns()) {
        if (sign.shows(head))
            return sign.kind.extensions;
    }
    return {};
}

QList<PictureKind> pictureKinds()
{
    QList<PictureKind> kinds;
    for (const KindSign &sign : kindSigns())
        kinds << sign.kind;
    return kinds;
}

QString fileNameForm(const QString &name)
{
    return escaped(name, [](char16_t u, bool) { return cannotBeHeld(u); });
}

QString earlierFileNameForm(const QString &name)
{
    return escaped(name, escapedEarlier);
}

QString extensionFor(const QString &sourceName, const QByteArray &head)
{
    const qsizetype slash = sourceName.lastIndexOf(QLatin1Char('/'));
    const QString fileName = sourceName.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    QString own;
    if (dot > 0 && isPlainExtension(fileName.mid(dot + 1)))
        own = fileName.mid(dot + 1);
    const QStringList spellings = extensionsOfContent(head);
    if (spellings.isEmpty() || spellings.contains(own.toLower()))
        return own;
    // A picture under another kind's name ("shot.txt") is stored under its own kind's.
    return spellings.constFirst();
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

QStringList pictureForms(const QString &entry)
{
    // An empty name would own every picture.
    if (entry.isEmpty())
        return {};
    QStringList forms{fileNameForm(entry)};
    if (QString earlier = earlierFileNameForm(entry); earlier != forms.constFirst())
        forms << earlier;
    return forms;
}

bool beginsWithOneOf(const QString &fileName, const QStringList &forms)
{
    return std::any_of(forms.begin(), forms.end(),
                       [&](const QString &form) { return startsWithIgnoringCase(fileName, form); });
}

bool belongsTo(const QString &fileName, const QString &entry)
{
    return beginsWithOneOf(fileName, pictureForms(entry));
}

} // namespace zv::screenshots
