#include "gui/catalogue/NameDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>

void NameDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *view = opt.widget;
    QStyle *style = view ? view->style() : QApplication::style();

    // Everything but the text, as the style draws it: the selection, the focus frame.
    const QString name = opt.text;
    opt.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);

    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QRect area = textRect.adjusted(margin, 0, -margin, 0);
    if (area.width() != m_cutWidth || opt.font != m_font) {
        m_laidOut.clear();
        m_cutWidth = area.width();
        m_font = opt.font;
    }
    QStaticText *text = m_laidOut.object(name);
    if (!text) {
        text = new QStaticText(opt.fontMetrics.elidedText(name, opt.textElideMode, area.width()));
        text->setTextFormat(Qt::PlainText);
        text->prepare(QTransform(), opt.font);
        m_laidOut.insert(name, text);
    }
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(
        opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    const int top = area.top() + (area.height() - int(text->size().height())) / 2;
    painter->drawStaticText(area.left(), top, *text);
    painter->restore();
}
