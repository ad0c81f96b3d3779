#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QRect>
#include <QWidget>

namespace zv {

// The windows are laid out for this small 8-point sans serif; start-up makes it the program's font.
inline QFont designFont()
{
    return QFont(QStringLiteral("Liberation Sans"), 8);
}

// Window layouts are designed in twips: 15 of them to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Twips to whole pixels, cut down as the designed windows did (6010 twips are 400 pixels).
constexpr int twips(int value)
{
    return value / kTwipsPerPixel;
}

// Twips to pixels rounding towards minus infinity, for positions that go above the screen's top
// (the credits' block), so that each step moves it by the same whole pixels on both sides of zero.
constexpr int twipsFloor(int value)
{
    return value >= 0 ? value / kTwipsPerPixel : -((-value + kTwipsPerPixel - 1) / kTwipsPerPixel);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

inline void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsRect(left, top, width, height));
}

// Names a new control after its designed name and puts it in place; returns it.
template <typename Widget> Widget *placed(Widget *widget, const QString &name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    placeTwips(widget, left, top, width, height);
    return widget;
}

// The common window background, red 240, green 238, blue 224.
inline constexpr QRgb kWindowBackground = qRgb(240, 238, 224);

enum class TextBoxBackground { Own, Window };

// Paints the window in the common background; with TextBoxBackground::Window its text boxes and
// lists take the same colour instead of white.
inline void setWindowBackground(QWidget *window, TextBoxBackground textBoxes = TextBoxBackground::Own)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(kWindowBackground));
    if (textBoxes == TextBoxBackground::Window)
        palette.setColor(QPalette::Base, QColor(kWindowBackground));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

} // namespace zv
