#include "gui/controls/CachedScrollBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

CachedScrollBar::CachedScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
}

void CachedScrollBar::paintEvent(QPaintEvent *event)
{
    // Under the mouse or held, a part of the bar is lit or pressed; a bar that fades in and out
    // changes by itself. Those are drawn as the scroll bar draws itself.
    if (underMouse() || isSliderDown() || style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this)) {
        QScrollBar::paintEvent(event);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    const Look look{size(),
                    devicePixelRatioF(),
                    int(option.state),
                    option.minimum,
                    option.maximum,
                    option.sliderPosition,
                    option.pageStep,
                    option.singleStep,
                    option.upsideDown,
                    qint64(option.palette.cacheKey()),
                    style()};
    if (look != m_pictured) { // the first look never equals the empty one
        m_picture = QPixmap(size() * look.pixelRatio);
        m_picture.setDevicePixelRatio(look.pixelRatio);
        m_picture.fill(Qt::transparent);
        QPainter painter(&m_picture);
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
        m_pictured = look;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}
