// The main window's forms, auto-hide, tray menu, about box and remembered
// form, on the real window under the offscreen platform. No test display has
// a notification area, so where one matters the test stands in for it and
// drives the tray icon's menu and click directly.
#include "tests/app/MainWindowHarness.h"
#include "ui/ShellOpen.h"
#include "ui/WindowPlatform.h"

#include <QCursor>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
const QString kTitle = QStringLiteral("VellumV4.3.1");

class WindowBehaviour : public MainWindowHarness {
  protected:
    QList<QUrl> opened;

    void SetUp() override {
        ShellOpen::setHandler([this](const QUrl& u) { opened << u; });
    }
    void TearDown() override {
        if (win)
            win->closeSequence(false);
        win.reset();
        ShellOpen::setHandler({});
        WindowPlatform::setTrayAvailableForTests(std::nullopt);
    }
    void startWith(const QByteArray& common, std::optional<bool> tray = std::nullopt) {
        WindowPlatform::setTrayAvailableForTests(tray);
        writeConfig({"A", "B"}, common);
        start();
    }
    QAction* trayItem(const char* name) {
        auto* menu = child<QMenu>("PopupMenu");
        QAction* action = menu ? menu->findChild<QAction*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    QWidget* widget(const char* name) { return child<QWidget>(name); }
    bool timer2On() { return child<QTimer>("Timer2")->isActive(); }
    // The switch, and a moment for the new frame to settle in its place.
    void toggleForm() {
        click("BitBtn1");
        QTest::qWait(250);
    }
    QSystemTrayIcon* tray() {
        return win->findChild<QSystemTrayIcon*>(QStringLiteral("CoolTrayIcon1"));
    }
    int storedWinState() {
        const QByteArray ini = env.readFile("config.ini");
        const int at = ini.indexOf("WinState=");
        return at < 0 ? -1 : ini.mid(at + 9, 1).toInt();
    }
    bool waitFor(const std::function<bool()>& done, int ms = 3000) {
        for (int waited = 0; !done(); waited += 20) {
            if (waited > ms)
                return false;
            QTest::qWait(20);
        }
        return true;
    }
};
} // namespace

TEST_F(WindowBehaviour, SwitchNarrowsTheWindowToItsListsAndBack) {
    startWith("AutoHide=1\r\n");
    win->ShowMainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(win.get()));
    EXPECT_EQ(win->size(), QSize(492, 379));
    EXPECT_EQ(win->windowTitle(), kTitle);

    click("BitBtn1");
    EXPECT_EQ(win->width(), 155);
    EXPECT_EQ(win->height(), 379);
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->windowTitle(), QString());
    EXPECT_TRUE(win->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(win->windowFlags() & Qt::WindowStaysOnTopHint) << "stay-on-top survives";
    for (const char* gone : {"CoolBar1", "edtTitle", "meoContent", "btnUrl", "SpeedButton1"})
        EXPECT_FALSE(widget(gone)->isVisible()) << gone;
    for (const char* kept : {"mPage", "lbx0", "BitBtn1", "MyStatusBar", "CaptionBand"})
        EXPECT_TRUE(widget(kept)->isVisible()) << kept;
    EXPECT_EQ(widget("mPage")->width(), 155);
    EXPECT_LE(widget("mPage")->geometry().right(), 154);
    EXPECT_TRUE(timer2On());
    EXPECT_TRUE(win->isDockingActive());

    click("BitBtn1");
    EXPECT_EQ(win->size(), QSize(492, 379));
    EXPECT_EQ(win->windowTitle(), kTitle);
    EXPECT_FALSE(win->windowFlags() & Qt::FramelessWindowHint);
    for (const char* back : {"CoolBar1", "edtTitle", "meoContent", "btnUrl", "SpeedButton1"})
        EXPECT_TRUE(widget(back)->isVisible()) << back;
    EXPECT_FALSE(widget("CaptionBand")->isVisible());
    EXPECT_FALSE(timer2On());
    EXPECT_FALSE(win->isDockingActive());
}

TEST_F(WindowBehaviour, WithAutoHideOffTheNarrowWindowNeitherSlidesNorSnaps) {
    startWith("AutoHide=0\r\n");
    win->ShowMainWindow();
    toggleForm();
    EXPECT_TRUE(win->isNarrow());
    EXPECT_FALSE(timer2On());
    EXPECT_FALSE(win->isDockingActive());
    win->move(100, 0);
    QCursor::setPos(900, 700);
    QTest::qWait(1300);
    EXPECT_EQ(win->frameGeometry().y(), 0);
}

TEST_F(WindowBehaviour, NarrowWindowAtTheTopSlidesUpAndComesBackUnderTheCursor) {
    startWith("AutoHide=1\r\n");
    win->ShowMainWindow();
    toggleForm();
    const int h = win->frameGeometry().height();
    win->move(100, 3);
    QCursor::setPos(900, 700);
    win->AutoHideTick();
    EXPECT_EQ(win->frameGeometry().y(), 3) << "a window below the top band never slides";
    win->move(100, 0);
    QCursor::setPos(150, 100); // inside: stays
    win->AutoHideTick();
    EXPECT_EQ(win->frameGeometry().y(), 0);
    QCursor::setPos(900, 700);
    // Timer2 does it within a second.
    ASSERT_TRUE(waitFor([&] { return win->frameGeometry().y() == 6 - h; }, 2500))
        << win->frameGeometry().y();
    EXPECT_EQ(win->frameGeometry().x(), 100);

    QEnterEvent enter(QPointF(5, 2), QPointF(105, 2), QPointF(105, 2));
    QApplication::sendEvent(child<QStatusBar>("MyStatusBar"), &enter);
    EXPECT_EQ(win->frameGeometry().y(), 0);
}

TEST_F(WindowBehaviour, ClosingRemembersTheFormTheUserChose) {
    const struct {
        const char* name;
        QByteArray common;
        bool show, toggle;
        int expected;
    } cases[] = {
        {"wide", "", true, false, 0},
        {"switched to narrow", "", true, true, 1},
        {"stored narrow, shown", "WinState=1\r\n", true, false, 1},
        {"stored narrow, switched back", "WinState=1\r\n", true, true, 0},
        {"stored narrow, never shown", "WinState=1\r\nRunMini=1\r\n", false, false, 1},
        {"stored wide, never shown", "WinState=0\r\nRunMini=1\r\n", false, false, 0},
    };
    for (const auto& c : cases) {
        startWith(c.common, true);
        win->showAtStartUp();
        EXPECT_EQ(win->isVisible(), c.show) << c.name;
        if (c.toggle)
            click("BitBtn1");
        win->close();
        EXPECT_EQ(storedWinState(), c.expected) << c.name;
        win.reset();
        env.writeFile("config.ini", {});
    }
}

TEST_F(WindowBehaviour, StartedHiddenComesUpNarrowFromTheTrayNotBefore) {
    startWith("WinState=1\r\nRunMini=1\r\nAutoHide=1\r\n", true);
    win->showAtStartUp();
    EXPECT_FALSE(win->isVisible());
    EXPECT_FALSE(win->isNarrow());
    ASSERT_NE(tray(), nullptr);
    EXPECT_EQ(tray()->toolTip(), kTitle);
    EXPECT_EQ(tray()->contextMenu(), child<QMenu>("PopupMenu"));
    emit tray()->activated(QSystemTrayIcon::Context); // the menu, not the window
    EXPECT_FALSE(win->isVisible());
    emit tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(win->isVisible());
    EXPECT_TRUE(win->isNarrow());
    EXPECT_TRUE(timer2On());
}

TEST_F(WindowBehaviour, WithoutANotificationAreaStartingMinimisedStillShowsTheWindow) {
    startWith("RunMini=1\r\n", false);
    win->showAtStartUp();
    EXPECT_TRUE(win->isVisible());
    EXPECT_EQ(win->windowType(), Qt::Window) << "it keeps its task-bar button";
    win->showMinimized();
    QTest::qWait(50);
    EXPECT_TRUE(win->isVisible()) << "minimising must not hide an unreachable window";
    win->bringToFront();
    EXPECT_FALSE(win->isMinimized());
}

TEST_F(WindowBehaviour, MinimisingHidesTheWindowInTheTrayAndAClickBringsItBackInPlace) {
    startWith("AutoHide=1\r\n", true);
    win->showAtStartUp();
    EXPECT_EQ(win->windowType(), Qt::Tool);
    toggleForm();
    win->move(300, 200);
    win->showMinimized();
    ASSERT_TRUE(waitFor([&] { return !win->isVisible(); }));
    emit tray()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(win->isMinimized());
    EXPECT_TRUE(win->isNarrow());
    EXPECT_EQ(win->frameGeometry().topLeft(), QPoint(300, 200));
}

TEST_F(WindowBehaviour, TrayMenuAndToolbarOpenTheLocalHelpPage) {
    startWith("");
    env.writeFile("help/index.html", "<html></html>");
    const struct {
        const char* name;
        bool tray;
        const char* fragment;
    } cases[] = {
        {"N10", true, ""}, {"N7", true, ""}, {"IE1", true, "extension"}, {"btnHelp", false, ""}};
    for (const auto& c : cases) {
        opened.clear();
        if (c.tray)
            trayItem(c.name)->trigger();
        else
            click(c.name);
        ASSERT_EQ(opened.size(), 1) << c.name;
        // Nothing outside the machine is linked.
        EXPECT_EQ(opened[0].toLocalFile(), env.programDir() + "help/index.html") << c.name;
        EXPECT_EQ(opened[0].fragment(), c.fragment) << c.name;
    }
    EXPECT_FALSE(win->isVisible()) << "opening a page does not show the window";
    // Without the page the user is told, instead of a browser that opens nothing.
    QFile::remove(env.programDir() + "help/index.html");
    opened.clear();
    ModalAnswer missing;
    missing.press();
    trayItem("N7")->trigger();
    EXPECT_TRUE(missing.seenText.contains("help/index.html")) << missing.seenText.toStdString();
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(WindowBehaviour, AboutBoxOpensFromTheTrayAndTheToolbarAndClosesByItsButton) {
    startWith("");
    win->ShowMainWindow();
    for (const char* from : {"N2", "btnAbout"}) {
        QString title, version, note;
        bool linksPresent = false;
        ModalAnswer answer;
        answer.next([&](QWidget* box) {
            title = box->windowTitle();
            version = box->findChild<QLabel*>("lblVersion")->text();
            note = box->findChild<QLabel*>("lblNote")->text();
            linksPresent =
                box->findChild<QLabel*>("lnkWebSite") && !box->findChild<QLabel*>("lnkMail");
            box->findChild<QPushButton*>("btnOK")->click();
        });
        if (QByteArray(from) == "N2")
            trayItem(from)->trigger();
        else
            click(from);
        EXPECT_TRUE(answer.answered) << from;
        EXPECT_EQ(title, "软件关于");
        EXPECT_EQ(version, "V4.3.1");
        EXPECT_EQ(note, "(欢迎提出宝贵意见)");
        EXPECT_TRUE(linksPresent);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

TEST_F(WindowBehaviour, AClickOnTheAboutPictureClosesTheBox) {
    startWith("");
    ModalAnswer answer;
    bool closedByPicture = false;
    answer.next([&](QWidget* box) {
        QWidget* picture = box->findChild<QWidget*>("Image1");
        QTest::mouseClick(picture, Qt::LeftButton);
        closedByPicture = !box->isVisible();
        if (box->isVisible())
            box->close();
    });
    win->showAbout();
    EXPECT_TRUE(answer.answered);
    EXPECT_TRUE(closedByPicture);
}

TEST_F(WindowBehaviour, TraySettingsOpensTheSettingsDialog) {
    startWith("");
    ModalAnswer answer;
    answer.next([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    trayItem("N4")->trigger();
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(answer.seenTitle, "参数设置");
}

TEST_F(WindowBehaviour, TrayShowMainWindowAndExitRunTheCloseSequence) {
    startWith("RunMini=1\r\n", true);
    win->showAtStartUp();
    EXPECT_FALSE(win->isVisible());
    trayItem("N1")->trigger();
    EXPECT_TRUE(win->isVisible());
    win->store().AddRecord("t$TCSPLIT$c", 0);
    QSignalSpy closed(win.get(), &TFrmMain::closed);
    trayItem("N3")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(env.readFile("date/Date1.dat"), "t$TCSPLIT$c\r\n");
    EXPECT_EQ(storedWinState(), 0);
}
