#include "ui/ToastPopup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {
bool waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

const QString kSaved = QStringLiteral("帖子已保存!");
} // namespace

TEST(ToastPopup, ShowsTextAtBottomRightThenHidesAfterTimeout) {
    ToastPopup toast;
    EXPECT_EQ(toast.objectName(), QStringLiteral("MSNPopUp1"));
    EXPECT_EQ(toast.timeout(), 3000);
    toast.setTimeout(300);
    toast.setSlideDuration(60);
    QSignalSpy closed(&toast, &ToastPopup::closed);

    toast.show(QString(), kSaved);
    EXPECT_TRUE(toast.isVisible());
    EXPECT_EQ(toast.lastText(), kSaved);
    EXPECT_TRUE(toast.lastTitle().isEmpty());

    ASSERT_TRUE(waitFor([&] { return toast.phase() == ToastPopup::Phase::Showing; }, 2000));
    EXPECT_EQ(toast.pos(), toast.restingPosition());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(area.contains(toast.frameGeometry()));
    EXPECT_LT(area.right() - toast.frameGeometry().right(), 40);
    EXPECT_LT(area.bottom() - toast.frameGeometry().bottom(), 40);

    ASSERT_TRUE(waitFor([&] { return !toast.isVisible(); }, 3000));
    EXPECT_EQ(toast.phase(), ToastPopup::Phase::Hidden);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(toast.lastText(), kSaved);
}

TEST(ToastPopup, StaysForItsTimeoutAndRestartsItWhenShownAgain) {
    ToastPopup toast;
    toast.setTimeout(1500);
    toast.setSlideDuration(0);
    QElapsedTimer clock;
    clock.start();
    toast.show(QStringLiteral("Vellum"), QStringLiteral("一"));
    QTest::qWait(700);
    ASSERT_TRUE(toast.isVisible());
    // A second notice while the first is up restarts the clock with the new text.
    toast.show(QString(), QStringLiteral("二"));
    clock.restart();
    EXPECT_EQ(toast.lastText(), QStringLiteral("二"));
    EXPECT_EQ(toast.shownCount(), 2);
    ASSERT_TRUE(waitFor([&] { return !toast.isVisible(); }, 3000));
    EXPECT_GE(clock.elapsed(), 1400);
}

TEST(ToastPopup, ClickClosesAndFocusStaysInTheEditor) {
    QLineEdit editor;
    editor.show();
    editor.activateWindow();
    editor.setFocus();
    ASSERT_TRUE(waitFor([&] { return editor.hasFocus(); }, 2000));

    ToastPopup toast(&editor);
    toast.setTimeout(10000);
    toast.setSlideDuration(0);
    EXPECT_TRUE(toast.isWindow());
    EXPECT_TRUE(toast.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(toast.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(toast.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QSignalSpy closed(&toast, &ToastPopup::closed);

    toast.show(QString(), kSaved);
    QTest::qWait(50);
    EXPECT_TRUE(toast.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &editor);
    EXPECT_EQ(QApplication::activeWindow(), &editor);

    QTest::mouseClick(&toast, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(toast.isVisible());
    EXPECT_EQ(closed.count(), 1);
    // Showing again after a click works as the first time.
    toast.show(QString(), kSaved);
    EXPECT_TRUE(toast.isVisible());
    toast.dismiss();
    EXPECT_EQ(closed.count(), 2);
}
