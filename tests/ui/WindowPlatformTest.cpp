#include "ui/WindowPlatform.h"
#include "ui/DockingDecisions.h"
#include "ui/RevealStrip.h"

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {
// Sets the variables for one case and puts the old values back afterwards.
class ScopedEnv {
  public:
    explicit ScopedEnv(const QList<QPair<const char*, const char*>>& vars) {
        for (const auto& [name, value] : vars) {
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
            if (value)
                qputenv(name, value);
            else
                qunsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (const Saved& s : m_saved) {
            if (s.wasSet)
                qputenv(s.name, s.value);
            else
                qunsetenv(s.name);
        }
    }

  private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QList<Saved> m_saved;
};
} // namespace

TEST(WindowPlatform, WaylandWithXWaylandStartsOnX11UnlessAPlatformWasChosen) {
    const struct {
        const char* name;
        const char* platform;
        const char* display;
        const char* wayland;
        const char* session;
        const char* expected;
    } cases[] = {
        {"wayland with XWayland", nullptr, ":1", "wayland-0", "wayland", "xcb"},
        {"wayland session type only", nullptr, ":1", nullptr, "wayland", "xcb"},
        {"the user's own choice", "wayland", ":1", "wayland-0", "wayland", "wayland"},
        {"wayland without XWayland", nullptr, nullptr, "wayland-0", "wayland", nullptr},
        {"an X11 session", nullptr, ":0", nullptr, "x11", nullptr},
    };
    for (const auto& c : cases) {
        ScopedEnv env({{"QT_QPA_PLATFORM", c.platform},
                       {"DISPLAY", c.display},
                       {"WAYLAND_DISPLAY", c.wayland},
                       {"XDG_SESSION_TYPE", c.session}});
        WindowPlatform::preferX11();
        const QByteArray got = qgetenv("QT_QPA_PLATFORM");
        if (c.expected)
            EXPECT_EQ(got, QByteArray(c.expected)) << c.name;
        else
            EXPECT_FALSE(qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) << c.name;
    }
    EXPECT_TRUE(WindowPlatform::canPlaceWindows()) << "the offscreen platform keeps positions";
}

TEST(WindowPlatform, TestsCanStandInForANotificationArea) {
    EXPECT_FALSE(WindowPlatform::trayAvailable()) << "no test display has one";
    WindowPlatform::setTrayAvailableForTests(true);
    EXPECT_TRUE(WindowPlatform::trayAvailable());
    WindowPlatform::setTrayAvailableForTests(std::nullopt);
    EXPECT_FALSE(WindowPlatform::trayAvailable());
}

TEST(RevealStrip, SixPixelsAtTheTopEdgeAskForTheWindowWhenTheCursorArrives) {
    RevealStrip strip;
    QSignalSpy reveal(&strip, &RevealStrip::revealRequested);
    strip.showAbove(QRect(300, -40, 155, 379), 0);
    EXPECT_TRUE(strip.isVisible());
    EXPECT_EQ(strip.geometry(), QRect(300, 0, 155, DockingDecisions::kVisibleStrip));
    QEnterEvent enter(QPointF(3, 3), QPointF(303, 3), QPointF(303, 3));
    QApplication::sendEvent(&strip, &enter);
    EXPECT_EQ(reveal.count(), 1);
}
