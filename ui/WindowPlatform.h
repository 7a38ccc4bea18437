#pragma once
// What the desktop lets the main window do. On Wayland the compositor alone
// decides where windows go, so snapping and sliding need X11; where Wayland
// runs with XWayland, the program asks for X11 unless the user chose a
// platform. Without a notification area the window keeps its task-bar button
// and is never hidden, so it can always be reached.
#include <QRect>

#include <optional>

class QWidget;

namespace WindowPlatform {
// Call before the application object exists.
void preferX11();
// Whether the program can place its own windows (X11, or the offscreen
// platform).
bool canPlaceWindows();
// Whether a notification area exists.
bool trayAvailable();
// Where a shown window's frame really is: on X11 as the X server has it (a
// window manager may hold a window elsewhere than it was asked to go, and
// Qt is not always told); elsewhere Qt's own idea.
QRect placedFrame(const QWidget& window);
// Tests stand in for a notification area, which no test display has.
void setTrayAvailableForTests(std::optional<bool> available);
} // namespace WindowPlatform
