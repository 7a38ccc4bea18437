#include "ui/WindowPlatform.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace WindowPlatform {
namespace {
std::optional<bool>& trayOverride() {
    static std::optional<bool> value;
    return value;
}
} // namespace

void preferX11() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qgetenv("XDG_SESSION_TYPE") == QByteArrayLiteral("wayland");
    if (wayland)
        qputenv("QT_QPA_PLATFORM", "xcb");
}

bool canPlaceWindows() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("offscreen");
}

bool trayAvailable() {
    if (trayOverride())
        return *trayOverride();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

QRect placedFrame(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || QGuiApplication::platformName() != QLatin1String("xcb") || !window.isVisible() ||
        !window.windowHandle())
        return frame;
    xcb_connection_t* c = x11->connection();
    if (!c)
        return frame;
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (!screens.rem)
        return frame;
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        c,
        xcb_translate_coordinates(c, static_cast<xcb_window_t>(window.winId()), screens.data->root,
                                  0, 0),
        nullptr);
    if (!reply)
        return frame;
    // The client's corner as placed, and the frame around it as Qt knows it.
    const QPoint client(reply->dst_x, reply->dst_y);
    std::free(reply);
    return frame.translated(client - window.geometry().topLeft());
}

void setTrayAvailableForTests(std::optional<bool> available) {
    trayOverride() = available;
}
} // namespace WindowPlatform
