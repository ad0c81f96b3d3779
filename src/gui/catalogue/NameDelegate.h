#pragma once

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>

// Draws the main list's rows as the style's delegate does for a plain line of text, but keeps
// each name laid out once: a keystroke in the search box moves the list and repaints every
// visible row, and laying the names out anew was most of what a keystroke cost.
class NameDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // Laid-out names, by text and the width they were cut to.
    mutable QCache<QString, QStaticText> m_laidOut{4000};
    mutable int m_cutWidth = -1;
    mutable QFont m_font;
};
