#include "gui/search/MarkedText.h"

#include <QPoint>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

void setMarkedText(QTextDocument &document, const QString &text, const QList<zv::search::TextRange> &ranges,
                   qsizetype rangesOffset)
{
    document.setPlainText(text);
    // The mark brings its own text colour: on a selected row the text is the selection's (white
    // in most styles), which the pale background would swallow.
    QTextCharFormat marked;
    marked.setBackground(QColor(255, 226, 122));
    marked.setForeground(QColor(32, 24, 0));
    marked.setFontWeight(QFont::Bold);
    QTextCursor cursor(&document);
    const int end = document.characterCount() - 1;
    for (const auto &range : ranges) {
        const qsizetype start = range.start + rangesOffset;
        if (start < 0 || start + range.length > end)
            continue;
        cursor.setPosition(int(start));
        cursor.setPosition(int(start + range.length), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(marked);
    }
}

QVariant rangesToVariant(const QList<zv::search::TextRange> &ranges)
{
    QVariantList list;
    for (const auto &range : ranges)
        list << QPoint(int(range.start), int(range.length));
    return list;
}

QList<zv::search::TextRange> rangesFromVariant(const QVariant &value)
{
    QList<zv::search::TextRange> ranges;
    for (const QVariant &item : value.toList()) {
        const QPoint point = item.toPoint();
        ranges.append({point.x(), point.y()});
    }
    return ranges;
}
