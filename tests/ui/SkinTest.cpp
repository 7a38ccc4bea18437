// The skin's variants: which one the desktop gets, and that every text the
// program shows stays readable in each (WCAG 2.1 AA, 4.5:1).
#include "ui/Skin.h"
#include "tests/support/TestEnv.h"
#include "ui/ColorScheme.h"
#include "ui/TrayMenu.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QColor toneColour(const char* tone) {
    QLabel label;
    label.setProperty("tone", QString::fromLatin1(tone));
    label.ensurePolished();
    return label.palette().color(QPalette::WindowText);
}

} // namespace

TEST(Skin, EveryTextPairMeetsAAInLightAndDark) {
    for (const Skin::Variant variant : {Skin::Variant::Light, Skin::Variant::Dark}) {
        Skin::apply(*qApp, variant);
        const QPalette p = Skin::palette();
        const QColor white(Qt::white);
        // The tray banner's title runs over the lightest blue of its strip.
        QImage banner(TrayMenu::kBannerWidth, 120, QImage::Format_RGB32);
        {
            QPainter painter(&banner);
            TrayMenu::paintBanner(painter, banner.width(), banner.height(), 20);
        }
        const struct {
            const char* what;
            QColor fg, bg;
        } pairs[] = {
            {"window text", p.color(QPalette::WindowText), p.color(QPalette::Window)},
            {"field text", p.color(QPalette::Text), p.color(QPalette::Base)},
            {"button text", p.color(QPalette::ButtonText), p.color(QPalette::Button)},
            {"list row", p.color(QPalette::Text), Skin::listBase()},
            {"editor text", p.color(QPalette::Text), Skin::editorBase()},
            {"selected row", p.color(QPalette::Active, QPalette::HighlightedText),
             p.color(QPalette::Active, QPalette::Highlight)},
            {"selected row, window in the background",
             p.color(QPalette::Inactive, QPalette::HighlightedText),
             p.color(QPalette::Inactive, QPalette::Highlight)},
            {"link", p.color(QPalette::Link), p.color(QPalette::Window)},
            {"tooltip", p.color(QPalette::ToolTipText), p.color(QPalette::ToolTipBase)},
            {"toast text, top", Skin::toastText(), Skin::toastTop()},
            {"toast text, bottom", Skin::toastText(), Skin::toastBottom()},
            {"toast title", Skin::accentDark(), Skin::toastBottom()},
            {"caption band title", white, Skin::accent()},
            {"tray banner title", white, banner.pixelColor(0, 20 + 78)},
            {"warning note", toneColour("warning"), p.color(QPalette::Window)},
            {"side note", toneColour("muted"), p.color(QPalette::Window)},
        };
        for (const auto& pair : pairs) {
            SCOPED_TRACE(std::string(variant == Skin::Variant::Dark ? "dark: " : "light: ") +
                         pair.what);
            const double ratio = Skin::contrastRatio(pair.fg, pair.bg);
            std::printf("%-6s %-40s %s on %s  %.2f:1\n",
                        variant == Skin::Variant::Dark ? "dark" : "light", pair.what,
                        qPrintable(pair.fg.name()), qPrintable(pair.bg.name()), ratio);
            EXPECT_GE(ratio, 4.5);
        }
    }
    // The formula itself, on the pairs everyone knows.
    EXPECT_NEAR(Skin::contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(Skin::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
}

TEST(Skin, HighContrastLeavesTheDesktopPaletteAlone) {
    QPalette desktop = QApplication::palette();
    desktop.setColor(QPalette::Window, Qt::black);
    desktop.setColor(QPalette::WindowText, Qt::yellow);
    QApplication::setPalette(desktop);
    Skin::apply(*qApp, Skin::Variant::HighContrast);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(Qt::black));
    EXPECT_EQ(QApplication::palette().color(QPalette::WindowText), QColor(Qt::yellow));
    EXPECT_FALSE(Skin::listBase().isValid());
    EXPECT_FALSE(Skin::editorBase().isValid());
    EXPECT_EQ(toneColour("warning"), QColor(Qt::yellow));
}

TEST(ColorScheme, ChoosesTheVariantTheDesktopAsksFor) {
    using V = Skin::Variant;
    const struct {
        std::optional<unsigned> portal;
        std::optional<bool> highContrast;
        bool paletteDark;
        V expected;
    } rows[] = {
        {1u, false, false, V::Dark},         {2u, false, true, V::Light},
        {0u, false, true, V::Dark},          {0u, false, false, V::Light},
        {std::nullopt, {}, true, V::Dark},   {std::nullopt, {}, false, V::Light},
        {1u, true, true, V::HighContrast},   {std::nullopt, true, false, V::HighContrast},
        {7u, std::nullopt, false, V::Light}, // a value from a later portal
    };
    for (const auto& row : rows) {
        ColorScheme::Desktop desktop{row.portal, row.highContrast, row.paletteDark};
        EXPECT_EQ(ColorScheme::choose(desktop), row.expected)
            << "portal " << row.portal.value_or(99) << " contrast "
            << row.highContrast.value_or(false) << " dark palette " << row.paletteDark;
    }
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    EXPECT_TRUE(ColorScheme::isDarkPalette(dark));
    EXPECT_FALSE(ColorScheme::isDarkPalette(Skin::palette(Skin::Variant::Light)));
}

// The portal on a real session bus of the test's own.
TEST(ColorScheme, ReadsThePortalOverDBus) {
    TestEnv env;
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForReadyRead(10000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qunsetenv("XDG_CURRENT_DESKTOP");
    const QPalette light = Skin::palette(Skin::Variant::Light);
    // No portal on the bus: the palette decides, and nothing waits.
    EXPECT_EQ(ColorScheme::read(light).portalScheme, std::nullopt);

    const struct {
        const char* scheme;
        const char* contrast;
        Skin::Variant expected;
    } rows[] = {{"1", "false", Skin::Variant::Dark},
                {"2", "false", Skin::Variant::Light},
                {"1", "true", Skin::Variant::HighContrast}};
    for (const auto& row : rows) {
        QProcess portal;
        QProcessEnvironment pe = env.processEnvironment();
        pe.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(address));
        portal.setProcessEnvironment(pe);
        portal.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(VELLUM_SOURCE_DIR "/tests/ui/fake_portal.py"),
                      QString::fromLatin1(row.scheme), QString::fromLatin1(row.contrast)});
        ASSERT_TRUE(portal.waitForReadyRead(20000)) << portal.readAllStandardError().data();
        EXPECT_EQ(ColorScheme::detect(light), row.expected) << row.scheme << row.contrast;
        portal.kill();
        portal.waitForFinished(5000);
        // The name is gone before the next stand-in takes it.
        QThread::msleep(100);
    }
    bus.kill();
    bus.waitForFinished(5000);
}
