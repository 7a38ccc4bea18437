// The narrow window's geometry on a real X server: the real program under
// xvfb-run, driven with xdotool. Without a window manager X places windows
// exactly where they are asked to go, so every position can be checked.
#include "tests/app/ProcessHarness.h"

#include <QElapsedTimer>
#include <QRect>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {
class XDisplay {
  public:
    explicit XDisplay(const RunningVellum& app) : m_env(app.xEnvironment()) {}

    QByteArray run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral("xdotool"), args);
        if (!p.waitForFinished(15000))
            p.kill();
        return p.readAllStandardOutput();
    }
    QStringList visibleWindows() {
        QStringList ids;
        for (const QByteArray& id :
             run({"search", "--onlyvisible", "--class", "vellum"}).trimmed().split('\n'))
            if (!id.isEmpty())
                ids << QString::fromLatin1(id);
        return ids;
    }
    // The program's visible window.
    QString window() {
        for (int i = 0; i < 100; ++i) {
            const QStringList ids = visibleWindows();
            if (ids.size() == 1) {
                // A form switch asks the window manager once more for its
                // place 150 ms after showing; the test moves it after that.
                QThread::msleep(400);
                return ids[0];
            }
            QThread::msleep(100);
        }
        return {};
    }
    QString describe() {
        QString text;
        for (const QString& id : visibleWindows()) {
            const QRect r = geometry(id);
            text += QStringLiteral("%1: %2,%3 %4x%5; ")
                        .arg(id)
                        .arg(r.x())
                        .arg(r.y())
                        .arg(r.width())
                        .arg(r.height());
        }
        return text;
    }
    // Waits until exactly one window of the program is visible and has this
    // geometry.
    bool waitForOnlyWindow(const QRect& expected, int ms) {
        for (int waited = 0; waited <= ms; waited += 100) {
            const QStringList ids = visibleWindows();
            if (ids.size() == 1 && geometry(ids[0]) == expected)
                return true;
            QThread::msleep(100);
        }
        return false;
    }
    const QProcessEnvironment& environment() const { return m_env; }
    QRect geometry(const QString& id) {
        QRect r;
        for (const QByteArray& line : run({"getwindowgeometry", "--shell", id}).split('\n')) {
            const QList<QByteArray> kv = line.split('=');
            if (kv.size() != 2)
                continue;
            const int v = kv[1].toInt();
            if (kv[0] == "X")
                r.moveLeft(v);
            else if (kv[0] == "Y")
                r.moveTop(v);
            else if (kv[0] == "WIDTH")
                r.setWidth(v);
            else if (kv[0] == "HEIGHT")
                r.setHeight(v);
        }
        return r;
    }
    // Waits until the window's top-left is where expected; returns the last seen.
    QPoint waitForPosition(const QString& id, QPoint expected, int ms) {
        QPoint seen;
        for (int waited = 0; waited <= ms; waited += 100) {
            seen = geometry(id).topLeft();
            if (seen == expected)
                break;
            QThread::msleep(100);
        }
        return seen;
    }
    // A left-button drag through the given points, as a hand would do it.
    void drag(const QList<QPoint>& path) {
        QStringList args{"mousemove",
                         QString::number(path[0].x()),
                         QString::number(path[0].y()),
                         "sleep",
                         "0.2",
                         "mousedown",
                         "1"};
        for (qsizetype i = 1; i < path.size(); ++i)
            args << "sleep"
                 << "0.15"
                 << "mousemove" << QString::number(path[i].x()) << QString::number(path[i].y());
        args << "sleep"
             << "0.3"
             << "mouseup"
             << "1"
             << "sleep"
             << "0.2";
        run(args);
    }
    void moveCursor(QPoint p) {
        run({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    void place(const QString& id, QPoint p) {
        run({"windowmove", "--sync", id, QString::number(p.x()), QString::number(p.y())});
        waitForPosition(id, p, 2000);
    }

  private:
    QProcessEnvironment m_env;
};

void writeConfig(const TestEnv& env, const QByteArray& common) {
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\ntab1=B\r\n[Common]\r\n" + common);
}
} // namespace

TEST(WindowGeometry, NarrowWindowSnapsToTheEdgesSlidesUpAndComesBack) {
    TestEnv env;
    writeConfig(env, "WinState=1\r\nAutoHide=1\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XDisplay x(app);
    const QString id = x.window();
    ASSERT_FALSE(id.isEmpty());
    ASSERT_EQ(x.geometry(id).size(), QSize(155, 379)) << "comes up narrow";
    const int h = 379;

    // Dragged by the left of its caption to 10 pixels beyond the screen's
    // left edge, it lands at x 0.
    x.place(id, {400, 300});
    x.drag({{410, 308}, {300, 308}, {100, 308}, {0, 308}});
    EXPECT_EQ(x.waitForPosition(id, {0, 300}, 2000), QPoint(0, 300));

    // To within 15 pixels of the top: it docks at top 0.
    x.drag({{10, 308}, {100, 200}, {200, 18}});
    EXPECT_EQ(x.waitForPosition(id, {190, 0}, 2000), QPoint(190, 0));

    // The cursor leaves it: within a second or so only 6 pixels stay on screen.
    x.moveCursor({800, 600});
    EXPECT_EQ(x.waitForPosition(id, {190, 6 - h}, 3000), QPoint(190, 6 - h));

    // The cursor on the strip brings it back to the top edge.
    x.moveCursor({260, 3});
    EXPECT_EQ(x.waitForPosition(id, {190, 0}, 2000), QPoint(190, 0));

    // Right of the caption's first 90 pixels a drag is an ordinary move.
    x.drag({{300, 8}, {200, 100}, {100, 208}});
    EXPECT_EQ(x.waitForPosition(id, {-10, 200}, 2000), QPoint(-10, 200));

    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_TRUE(env.readFile("config.ini").contains("WinState=1"));
}

TEST(WindowGeometry, WithoutAutoHideTheCaptionMovesTheWindowWithoutSnapping) {
    TestEnv env;
    writeConfig(env, "WinState=1\r\nAutoHide=0\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XDisplay x(app);
    const QString id = x.window();
    ASSERT_FALSE(id.isEmpty());
    ASSERT_EQ(x.geometry(id).size(), QSize(155, 379));

    x.place(id, {400, 300});
    x.drag({{410, 308}, {300, 308}, {100, 308}, {0, 308}});
    EXPECT_EQ(x.waitForPosition(id, {-10, 300}, 2000), QPoint(-10, 300));

    // At the top edge it stays, whatever the cursor does.
    x.place(id, {200, 0});
    x.moveCursor({800, 600});
    QThread::msleep(2500);
    EXPECT_EQ(x.geometry(id).topLeft(), QPoint(200, 0));
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
}

TEST(WindowGeometry, WhereTheWindowManagerKeepsTheWindowOnScreenAStripStandsIn) {
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty())
        GTEST_SKIP() << "openbox is not installed";
    TestEnv env;
    writeConfig(env, "WinState=1\r\nAutoHide=1\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XDisplay x(app);
    const QString id = x.window();
    ASSERT_FALSE(id.isEmpty());
    x.place(id, {300, 200});
    x.moveCursor({350, 300});
    // Openbox refuses to move a window above the top of the screen.
    QProcess wm;
    QProcessEnvironment wmEnv = x.environment();
    wmEnv.insert("HOME", env.root() + "user");
    wm.setProcessEnvironment(wmEnv);
    wm.start(openbox, {"--sm-disable"});
    ASSERT_TRUE(wm.waitForStarted(10000));
    // The window manager has taken the window once it has framed it: its
    // parent is no longer the root window.
    const auto framed = [&] {
        QProcess p;
        p.setProcessEnvironment(x.environment());
        p.start(QStringLiteral("xwininfo"), {"-tree", "-id", id});
        p.waitForFinished(10000);
        for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
            if (line.trimmed().startsWith("Parent window id:"))
                return !line.contains("(the root window)");
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!framed() && waited.elapsed() < 15000)
        QThread::msleep(100);
    ASSERT_TRUE(framed()) << "openbox did not take the window";
    QThread::msleep(300);
    x.place(id, {300, 0});
    ASSERT_EQ(x.geometry(id).topLeft(), QPoint(300, 0));

    x.moveCursor({800, 600});
    EXPECT_TRUE(x.waitForOnlyWindow(QRect(300, 0, 155, 6), 4000))
        << "only a 6-pixel strip stays at the top edge: " << x.describe().toStdString();
    x.moveCursor({350, 2});
    EXPECT_TRUE(x.waitForOnlyWindow(QRect(300, 0, 155, 379), 3000))
        << "the window comes back: " << x.describe().toStdString();

    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    wm.terminate();
    if (!wm.waitForFinished(5000))
        wm.kill();
    EXPECT_TRUE(env.readFile("config.ini").contains("WinState=1"));
}

namespace {
// A notification area on the test's own display, started before the program.
const char* const kTrayDesktop =
    "trayer --edge top --align right --widthtype pixel --width 120 --height 24 "
    "--SetDockType true --transparent false >/dev/null 2>&1 & "
    "xdotool search --sync --class trayer >/dev/null; sleep 1";

// The program's icon in the notification area: its only small window.
QString trayIcon(XDisplay& x) {
    for (int i = 0; i < 100; ++i) {
        for (const QString& id : x.visibleWindows())
            if (x.geometry(id).width() < 64)
                return id;
        QThread::msleep(100);
    }
    return {};
}
} // namespace

TEST(TrayIcon, StartedMinimisedTheTrayReachesTheWindowHidesItAndEndsTheProgram) {
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        GTEST_SKIP() << "trayer is not installed";
    TestEnv env;
    writeConfig(env, "RunMini=1\r\nWinState=1\r\nAutoHide=0\r\n");
    env.writeFile("date/Date1.dat", "kept$TCSPLIT$post\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env, {QStringLiteral("VELLUM_TEST_DESKTOP=") + kTrayDesktop}))
        << app.errors().constData();
    XDisplay x(app);
    const QString icon = trayIcon(x);
    ASSERT_FALSE(icon.isEmpty()) << x.describe().toStdString();
    QThread::msleep(500);
    EXPECT_EQ(x.visibleWindows(), QStringList{icon}) << "only the tray icon at start";
    const QPoint iconCentre = x.geometry(icon).center();

    // A click on the icon shows the window, in its remembered narrow form.
    x.run({"mousemove", QString::number(iconCentre.x()), QString::number(iconCentre.y()), "click",
           "1"});
    QString window;
    for (int i = 0; i < 50 && window.isEmpty(); ++i) {
        for (const QString& id : x.visibleWindows())
            if (id != icon)
                window = id;
        QThread::msleep(100);
    }
    ASSERT_FALSE(window.isEmpty());
    EXPECT_EQ(x.geometry(window).size(), QSize(155, 379));

    // Its minimise button leaves only the tray icon; a click brings it back
    // where it was.
    x.place(window, {400, 300});
    x.run({"mousemove", "525", "310", "click", "1"});
    EXPECT_TRUE(x.waitForOnlyWindow(x.geometry(icon), 3000)) << x.describe().toStdString();
    x.run({"mousemove", QString::number(iconCentre.x()), QString::number(iconCentre.y()), "click",
           "1"});
    EXPECT_EQ(x.waitForPosition(window, {400, 300}, 3000), QPoint(400, 300));
    EXPECT_EQ(x.geometry(window).size(), QSize(155, 379));

    // The menu's last item, "退 出", runs the close sequence and ends the program.
    x.run({"mousemove", QString::number(iconCentre.x()), QString::number(iconCentre.y()), "click",
           "3", "sleep", "0.8", "key", "Up", "sleep", "0.3", "key", "Return"});
    EXPECT_EQ(app.waitForExit(20000), 0) << app.errors().constData();
    EXPECT_TRUE(env.readFile("config.ini").contains("WinState=1"));
    // The exit ran the save: an unchanged category is left as it was, a
    // missing one is created.
    EXPECT_EQ(env.readFile("date/Date1.dat"), "kept$TCSPLIT$post\n");
    EXPECT_TRUE(env.exists("date/Date6.dat"));
}

namespace {
// Where a window's client area really is on the screen (xwininfo asks the X
// server; a window manager's frame does not confuse it).
QPoint absolutePosition(const RunningVellum& app, const QString& id) {
    QProcess p;
    p.setProcessEnvironment(app.xEnvironment());
    p.start(QStringLiteral("xwininfo"), {"-id", id});
    p.waitForFinished(10000);
    QPoint at;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QByteArray t = line.trimmed();
        if (t.startsWith("Absolute upper-left X:"))
            at.setX(t.mid(22).trimmed().toInt());
        else if (t.startsWith("Absolute upper-left Y:"))
            at.setY(t.mid(22).trimmed().toInt());
    }
    return at;
}
} // namespace

TEST(WindowGeometry, UnderAWindowManagerTheSwitchKeepsTheWindowInPlace) {
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty())
        GTEST_SKIP() << "openbox is not installed";
    TestEnv env;
    writeConfig(env, "WinState=0\r\nAutoHide=1\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env, {"VELLUM_TEST_DESKTOP=openbox --sm-disable >/dev/null 2>&1 & "
                                "sleep 1"}))
        << app.errors().constData();
    XDisplay x(app);
    const QString id = x.window();
    ASSERT_FALSE(id.isEmpty());
    x.run({"windowmove", "--sync", id, "200", "150"});
    QThread::msleep(500);
    const QPoint wide = absolutePosition(app, id);
    // BitBtn1 sits at the top right of the category lists.
    x.run({"mousemove", QString::number(wide.x() + 480), QString::number(wide.y() + 41), "click",
           "1"});
    QThread::msleep(800);
    const QString narrowId = x.window();
    ASSERT_FALSE(narrowId.isEmpty());
    EXPECT_EQ(x.geometry(narrowId).size(), QSize(155, 379));
    const QPoint narrow = absolutePosition(app, narrowId);
    // Where the wide frame began: at most a border left of and a title bar
    // above the wide client.
    EXPECT_LE(wide.x() - narrow.x(), 8) << narrow.x() << " / " << wide.x();
    EXPECT_GE(wide.x() - narrow.x(), 0) << narrow.x() << " / " << wide.x();
    EXPECT_LE(wide.y() - narrow.y(), 40) << narrow.y() << " / " << wide.y();
    EXPECT_GE(wide.y() - narrow.y(), 0) << narrow.y() << " / " << wide.y();

    x.run({"mousemove", QString::number(narrow.x() + 147), QString::number(narrow.y() + 28),
           "click", "1"});
    QThread::msleep(800);
    const QString wideId = x.window();
    ASSERT_FALSE(wideId.isEmpty());
    EXPECT_EQ(x.geometry(wideId).size(), QSize(492, 379));
    EXPECT_EQ(absolutePosition(app, wideId), wide) << "and the wide one comes back in place";
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
}

namespace {
// Waits until what the program shows beside its tray icon passes the check.
bool waitForShown(XDisplay& x, const QString& icon, const std::function<bool(QList<QRect>)>& check,
                  int ms) {
    for (int waited = 0; waited <= ms; waited += 100) {
        QList<QRect> shown;
        for (const QString& id : x.visibleWindows())
            if (id != icon)
                shown << x.geometry(id);
        if (check(shown))
            return true;
        QThread::msleep(100);
    }
    return false;
}
bool waitForMainWindow(XDisplay& x, const QString& icon, const QRect& expected, int ms) {
    return waitForShown(
        x, icon, [&](const QList<QRect>& shown) { return shown.contains(expected); }, ms);
}
// Only 6 pixels at the top edge show: the slid-up window's lowest strip, or
// the strip standing in for it.
bool waitForSlidAway(XDisplay& x, const QString& icon, int ms) {
    return waitForShown(
        x, icon,
        [](const QList<QRect>& shown) {
            return std::all_of(shown.begin(), shown.end(),
                               [](const QRect& r) { return r.bottom() + 1 <= 6; });
        },
        ms);
}
} // namespace

TEST(TrayIcon, UnderOpenboxADockedWindowAlwaysComesBackWhollyWhereItWasDocked) {
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty())
        GTEST_SKIP() << "openbox or trayer is not installed";
    TestEnv env;
    writeConfig(env, "WinState=1\r\nAutoHide=1\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env, {QStringLiteral("VELLUM_TEST_DESKTOP=openbox --sm-disable "
                                               ">/dev/null 2>&1 & sleep 1; ") +
                                kTrayDesktop}))
        << app.errors().constData();
    XDisplay x(app);
    const QString icon = trayIcon(x);
    ASSERT_FALSE(icon.isEmpty()) << x.describe().toStdString();
    const QPoint iconCentre = x.geometry(icon).center();
    const QRect docked(460, 0, 155, 379);
    ASSERT_TRUE(waitForMainWindow(x, icon, QRect(QPoint(0, 0), docked.size()), 3000))
        << "comes up narrow and wholly in view: " << x.describe().toStdString();
    // Docked by a drag to the top edge; the cursor then leaves it.
    x.drag({{10, 8}, {300, 200}, {470, 18}});
    ASSERT_TRUE(waitForMainWindow(x, icon, docked, 3000)) << x.describe().toStdString();
    x.moveCursor({800, 600});
    ASSERT_TRUE(waitForSlidAway(x, icon, 4000)) << x.describe().toStdString();

    // Each way back shows it wholly where it was docked, and it stays in
    // view until the cursor has been to it.
    const QStringList ways[] = {
        {"mousemove", QString::number(iconCentre.x()), QString::number(iconCentre.y()), "click",
         "1"},
        {"mousemove", "520", "2"},
    };
    for (const QStringList& way : ways) {
        x.run(way);
        EXPECT_TRUE(waitForMainWindow(x, icon, docked, 3000))
            << way.join(' ').toStdString() << ": " << x.describe().toStdString();
        QThread::msleep(1500);
        EXPECT_TRUE(waitForMainWindow(x, icon, docked, 0))
            << "no jump: " << way.join(' ').toStdString() << ": " << x.describe().toStdString();
        x.moveCursor({530, 200});
        QThread::msleep(300);
        x.moveCursor({800, 600});
        EXPECT_TRUE(waitForSlidAway(x, icon, 4000)) << x.describe().toStdString();
    }

    // A second start brings it back the same way.
    QProcess second;
    QProcessEnvironment secondEnv = env.processEnvironment();
    secondEnv.insert("DISPLAY", x.environment().value("DISPLAY"));
    secondEnv.insert("XAUTHORITY", x.environment().value("XAUTHORITY"));
    second.setProcessEnvironment(secondEnv);
    second.start(VELLUM_EXE, {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(waitForMainWindow(x, icon, docked, 3000)) << x.describe().toStdString();

    // Closed while slid up, it is remembered where it was docked.
    x.moveCursor({530, 200});
    QThread::msleep(300);
    x.moveCursor({800, 600});
    EXPECT_TRUE(waitForSlidAway(x, icon, 4000)) << x.describe().toStdString();
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    const QByteArray ini = env.readFile("config.ini");
    EXPECT_TRUE(ini.contains("WinLeft=460\r\n")) << ini.constData();
    EXPECT_TRUE(ini.contains("WinTop=0\r\n")) << ini.constData();
}

TEST(WindowGeometry, AStartPutsTheWindowBackWhereItWasOnAScreenThatExistsAndInView) {
    const struct {
        QByteArray place;
        QPoint expected;
    } cases[] = {
        {"WinLeft=460\r\nWinTop=0\r\n", {460, 0}},
        {"WinLeft=3000\r\nWinTop=2000\r\n", {1280 - 155, 1024 - 379}},
        {"WinLeft=-500\r\nWinTop=-900\r\n", {0, 0}},
    };
    for (const auto& c : cases) {
        TestEnv env;
        writeConfig(env, "WinState=1\r\nAutoHide=1\r\n" + c.place);
        RunningVellum app;
        ASSERT_TRUE(app.start(env)) << app.errors().constData();
        XDisplay x(app);
        x.moveCursor({900, 900});
        const QRect expected(c.expected, QSize(155, 379));
        EXPECT_TRUE(x.waitForOnlyWindow(expected, 3000))
            << c.place.constData() << x.describe().toStdString();
        // A start never begins slid up: two ticks later it is still in view.
        QThread::msleep(2200);
        EXPECT_TRUE(x.waitForOnlyWindow(expected, 0))
            << c.place.constData() << x.describe().toStdString();
        EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    }
}
