#include "ui/ColorScheme.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QPalette>
#include <QProcess>
#include <QStandardPaths>
#include <QVariant>

namespace ColorScheme {
namespace {

constexpr int kPortalTimeoutMs = 500;
const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");

// Settings.Read wraps its answer in one variant more than it says; peel them.
QVariant unwrap(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

std::optional<QVariant> portalSetting(const QString& group, const QString& key) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return std::nullopt;
    // A portal that is not running is not started for this: the answer would
    // come too late for the first window.
    if (!bus.interface()->isServiceRegistered(kPortalService))
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kPortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << group << key;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kPortalTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return unwrap(reply.arguments().constFirst());
}

std::optional<bool> gsettingsHighContrast() {
    if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME")))
        return std::nullopt;
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(gsettings,
                  {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.a11y.interface"),
                   QStringLiteral("high-contrast")});
    if (!process.waitForFinished(1000) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    const QByteArray answer = process.readAllStandardOutput().trimmed();
    if (answer == "true")
        return true;
    if (answer == "false")
        return false;
    return std::nullopt;
}

} // namespace

Skin::Variant choose(const Desktop& desktop) {
    if (desktop.highContrast.value_or(false))
        return Skin::Variant::HighContrast;
    if (desktop.portalScheme == 1u)
        return Skin::Variant::Dark;
    if (desktop.portalScheme == 2u)
        return Skin::Variant::Light;
    // No preference, or no portal: the platform theme's palette decides.
    return desktop.platformPaletteDark ? Skin::Variant::Dark : Skin::Variant::Light;
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::WindowText).lightness() >
           palette.color(QPalette::Window).lightness();
}

Desktop read(const QPalette& platformPalette) {
    Desktop desktop;
    desktop.platformPaletteDark = isDarkPalette(platformPalette);
    if (const auto scheme = portalSetting(QStringLiteral("org.freedesktop.appearance"),
                                          QStringLiteral("color-scheme"))) {
        bool ok = false;
        const unsigned value = scheme->toUInt(&ok);
        if (ok)
            desktop.portalScheme = value;
    }
    if (const auto contrast = portalSetting(QStringLiteral("org.gnome.desktop.a11y.interface"),
                                            QStringLiteral("high-contrast"));
        contrast && contrast->typeId() == QMetaType::Bool)
        desktop.highContrast = contrast->toBool();
    else
        desktop.highContrast = gsettingsHighContrast();
    return desktop;
}

Skin::Variant detect(const QPalette& platformPalette) {
    const QByteArray forced = qgetenv("VELLUM_COLOR_SCHEME");
    if (forced == "light")
        return Skin::Variant::Light;
    if (forced == "dark")
        return Skin::Variant::Dark;
    if (forced == "high-contrast")
        return Skin::Variant::HighContrast;
    return choose(read(platformPalette));
}

} // namespace ColorScheme
