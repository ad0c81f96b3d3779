#include "gui/APIandFunc.h"

#include "core/LetterCase.h"
#include "core/Seam.h"
#include "core/Settings.h"

#include <QGuiApplication>
#include <QVariant>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

std::optional<bool> g_assumedTranslucency;

// An X11 compositing manager owns the selection _NET_WM_CM_S<screen>; without one the
// X server draws every window opaque whatever its opacity property says.
bool x11CompositorRunning()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const int screens = xcb_setup_roots_length(xcb_get_setup(connection));
    for (int screen = 0; screen < screens; ++screen) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, true, quint16(name.size()), name.constData()), nullptr);
        const xcb_atom_t selection = atom ? atom->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(atom);
        if (selection == XCB_ATOM_NONE)
            continue;
        xcb_get_selection_owner_reply_t *owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr);
        const bool owned = owner && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
        if (owned)
            return true;
    }
    return false;
}

} // namespace

namespace zv {

int clampOpacity(int level)
{
    return std::clamp(level, 125, 255);
}

bool platformHasTranslucency()
{
    if (g_assumedTranslucency)
        return *g_assumedTranslucency;
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
    return platform == QLatin1String("xcb") && x11CompositorRunning();
}

void assumeTranslucency(std::optional<bool> answer)
{
    g_assumedTranslucency = answer;
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
    ApplyOpacity(window, zv::readOptionNumber(zv::Option::TraspLevel));
    if (zv::readOptionFlag(zv::Option::OnTop))
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
