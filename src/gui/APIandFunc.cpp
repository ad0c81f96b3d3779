#include "gui/APIandFunc.h"

#include "core/INI.h"
#include "core/LetterCase.h"
#include "core/Seam.h"

#include <QGuiApplication>
#include <QVariant>
#include <QWidget>
#include <QWindow>

namespace zv {

int clampOpacity(int level)
{
    return std::clamp(level, 125, 255);
}

bool platformHasTranslucency()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

} // namespace zv

namespace {

void setStaysOnTop(QWidget *window, bool on)
{
    if (!window)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == window->windowFlags())
        return;
    // setWindowFlags() would hide and re-create a shown window, which ends a running dialog;
    // the platform window takes the new stacking in place instead.
    window->overrideWindowFlags(flags);
    if (QWindow *handle = window->windowHandle())
        handle->setFlags(flags);
}

} // namespace

void SetTopmost(QWidget *window)
{
    setStaysOnTop(window, true);
}

void ClearTopmost(QWidget *window)
{
    setStaysOnTop(window, false);
}

void ApplyOpacity(QWidget *window, int level)
{
    const int alpha = zv::clampOpacity(level);
    if (!window || !zv::platformHasTranslucency())
        return;
    window->setWindowOpacity(alpha / 255.0);
}

void ApplyWindowSettings(QWidget *window)
{
    ApplyOpacity(window, zv::optionAsNumber(ReadOption(QStringLiteral("TraspLevel"), QStringLiteral("255")), 255));
    if (zv::optionAsFlag(ReadOption(QStringLiteral("OnTop"), QStringLiteral("False")), false))
        SetTopmost(window);
}

void OpenWithShell(const QString &target, int /*showMode*/, QWidget * /*owner*/)
{
    zv::seam().openWithShell(target);
}

bool ListContains(const QString &text, const QStringList &items)
{
    for (const QString &item : items) {
        if (zv::equalsIgnoringCase(item, text))
            return true;
    }
    return false;
}

void ShowTitleBar(QWidget *window, bool show)
{
    if (!window)
        return;
    const QRect outer = window->frameGeometry();
    const bool visible = window->isVisible();
    if (show) {
        const QString caption = window->property("tag").toString();
        window->setWindowTitle(caption);
        // A window without a caption gets no title bar back.
        if (!caption.isEmpty())
            window->setWindowFlag(Qt::FramelessWindowHint, false);
    } else {
        window->setProperty("tag", window->windowTitle());
        window->setWindowTitle(QString());
        window->setWindowFlag(Qt::FramelessWindowHint, true);
    }
    window->move(outer.topLeft());
    if (visible)
        window->show();
    window->update();
}
