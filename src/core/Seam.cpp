#include "core/Seam.h"

#include <utility>

namespace zv {

namespace {
Seam *g_installed = nullptr;
} // namespace

Seam &seam()
{
    if (!g_installed)
        qFatal("zv::seam: no seam installed");
    return *g_installed;
}

Seam *setSeam(Seam *replacement)
{
    Seam *previous = g_installed;
    g_installed = replacement;
    return previous;
}

QStringList splitCommandLine(const QString &commandLine)
{
    QStringList words;
    QString word;
    bool inWord = false; // "" is a word of its own
    enum class Quote { None, Single, Double } quote = Quote::None;
    for (qsizetype i = 0; i < commandLine.size(); ++i) {
        const QChar c = commandLine.at(i);
        const bool hasNext = i + 1 < commandLine.size();
        switch (quote) {
        case Quote::Single:
            if (c == u'\'')
                quote = Quote::None;
            else
                word += c;
            continue;
        case Quote::Double:
            if (c == u'"') {
                quote = Quote::None;
            } else if (c == u'\\' && hasNext && QStringView(u"\"\\$`").contains(commandLine.at(i + 1))) {
                word += commandLine.at(++i);
            } else {
                word += c;
            }
            continue;
        case Quote::None:
            break;
        }
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
            if (inWord)
                words << std::exchange(word, QString());
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == u'\'')
            quote = Quote::Single;
        else if (c == u'"')
            quote = Quote::Double;
        else if (c == u'\\' && hasNext)
            word += commandLine.at(++i);
        else
            word += c;
    }
    if (inWord)
        words << word;
    return words;
}

bool startCommandLine(const QString &commandLine)
{
    QStringList parts = splitCommandLine(commandLine);
    if (parts.isEmpty())
        return false;
    const QString program = parts.takeFirst();
    return seam().startProcess(program, parts);
}

} // namespace zv
