#pragma once

#include "core/Files.h"

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Clamps `level` to 125..255 and, where the platform can make windows translucent,
// sets the window's opacity to it.
void ApplyOpacity(QWidget *window, int level);
// Places the window above all others, or back into the normal order, without moving it.
void SetTopmost(QWidget *window);
void ClearTopmost(QWidget *window);
// The appearance step every window runs when it loads: opacity from TraspLevel, then topmost from OnTop.
void ApplyWindowSettings(QWidget *window);
// Opens a web address or file with the desktop's handler; whether it opens is the desktop's business.
void OpenWithShell(const QString &target, int showMode = 2, QWidget *owner = nullptr);
// True when some item equals `text`, ignoring letter case (Cyrillic included).
bool ListContains(const QString &text, const QStringList &items);
// Hides or restores the window's title bar, keeping its outer rectangle.
void ShowTitleBar(QWidget *window, bool show);

namespace zv {

int clampOpacity(int level);
// True where a window's opacity shows: on X11 while a compositing manager runs (not on Wayland,
// where Qt does not hand the opacity to the compositor).
bool platformHasTranslucency();
// Replaces the answer of platformHasTranslucency() (tests on a platform without it); nullopt asks again.
void assumeTranslucency(std::optional<bool> answer);

} // namespace zv
