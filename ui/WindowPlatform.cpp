#include "ui/WindowPlatform.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <xcb/xcb.h>

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

bool displayReachable() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && xcb_connection_has_error(connection) == 0;
    if (connection)
        xcb_disconnect(connection);
    return ok;
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

void setTrayAvailableForTests(std::optional<bool> available) {
    trayOverride() = available;
}
} // namespace WindowPlatform
