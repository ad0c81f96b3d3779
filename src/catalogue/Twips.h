#pragma once

#include <QRect>
#include <QWidget>

namespace zv {

// Window layouts are designed in twips: 15 of them to a pixel at 96 dots per inch.
inline int twips(int value)
{
    return qRound(value / 15.0);
}

inline void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

// Names a new control after its designed name and puts it in place; returns it.
template <typename Widget>
Widget *placed(Widget *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    placeTwips(widget, left, top, width, height);
    return widget;
}

// The common window background, red 240, green 238, blue 224.
inline constexpr QRgb kWindowBackground = qRgb(240, 238, 224);

} // namespace zv
