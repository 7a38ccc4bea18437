#include "ui/WindowPlatform.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

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

void setTrayAvailableForTests(std::optional<bool> available) {
    trayOverride() = available;
}
} // namespace WindowPlatform
