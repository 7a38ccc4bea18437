// A close whose save fails asks what to do instead of ending silently.
#include "tests/app/MainWindowHarness.h"
#include "tests/support/BoxAnswer.h"
#include "tests/support/SmallDisk.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

class SaveAtClose : public MainWindowHarness {
  protected:
    // Answers the save-failure question with the named button; the action
    // runs first (to free the way before a retry).
    void answerWith(ModalAnswer& answer, const char* button, std::function<void()> action = {}) {
        answer.next([button, action](QWidget* box) {
            if (action)
                action();
            QAbstractButton* b = box->findChild<QAbstractButton*>(button);
            if (b)
                b->click();
            else
                box->close();
        });
    }
};

TEST_F(SaveAtClose, FailedSaveAsksAndKeepRunningLosesNothing) {
    writeConfig({QStringLiteral("原创")});
    start();
    win->show();
    QSignalSpy closed(win.get(), &TFrmMain::closed);
    win->store().AddRecord("kept$TCSPLIT$post", 0);
    QDir().mkpath(env.dataDir() + "Date1.dat"); // the save cannot replace it
    ModalAnswer answer;
    answerWith(answer, "btnKeepRunning");
    win->close();
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(answer.seenTitle, QStringLiteral("保存失败"));
    EXPECT_TRUE(answer.seenText.contains(QStringLiteral("“原创”")))
        << answer.seenText.toStdString();
    EXPECT_TRUE(win->isVisible());
    EXPECT_TRUE(closed.isEmpty());
    EXPECT_EQ(win->exitStatus(), 0);
    EXPECT_TRUE(win->store().isDirty(0));

    // The user fixes the folder; the next close saves and ends.
    QDir(env.dataDir() + "Date1.dat").removeRecursively();
    win->close();
    EXPECT_EQ(closed.size(), 1);
    EXPECT_EQ(env.readFile("date/Date1.dat"), "kept$TCSPLIT$post\r\n");
}

TEST_F(SaveAtClose, RetryAfterTheWayIsFreedSavesAndQuitWithoutSavingFails) {
    struct Case {
        const char* button;
        bool saved;
        int exitStatus;
    };
    const Case cases[] = {{"btnRetry", true, 0}, {"btnQuitWithoutSaving", false, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        TestEnv caseEnv;
        writeConfig({QStringLiteral("A")});
        start();
        QSignalSpy closed(win.get(), &TFrmMain::closed);
        win->store().AddRecord("p$TCSPLIT$q", 0);
        const QString blocker = caseEnv.dataDir() + "Date1.dat";
        QDir().mkpath(blocker);
        ModalAnswer answer;
        answerWith(answer, c.button, [&] {
            if (c.saved)
                QDir(blocker).removeRecursively();
        });
        win->close();
        EXPECT_TRUE(answer.answered);
        EXPECT_EQ(closed.size(), 1);
        EXPECT_EQ(win->exitStatus(), c.exitStatus);
        EXPECT_EQ(caseEnv.readFile("date/Date1.dat") == "p$TCSPLIT$q\r\n", c.saved);
        win.reset();
    }
}

TEST_F(SaveAtClose, RefusedChangeToALockedCategoryIsShownAndChangesNothing) {
    writeConfig({QStringLiteral("原创"), QStringLiteral("转载")});
    env.writeFile("date/Date2.dat", QByteArray("x$TCSPLIT$1\r\n\0rest", 18));
    ModalAnswer startBox;
    startBox.press();
    start();
    // The category is read, and its problem named, once the window shows.
    win->showAtStartUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return startBox.answered; }, 10000));
    EXPECT_TRUE(startBox.seenText.contains(QStringLiteral("“转载”")));
    EXPECT_TRUE(startBox.seenText.contains(QStringLiteral("第 13 字节")));
    EXPECT_FALSE(startBox.seenText.contains(QStringLiteral("原文件保持不变")));

    child<QTabWidget>("mPage")->setCurrentIndex(1);
    click("btnNew");
    title()->setText("t");
    memo()->setPlainText("c");
    ModalAnswer refusal;
    refusal.press();
    click("btnSave");
    ASSERT_TRUE(refusal.answered);
    EXPECT_TRUE(refusal.seenText.contains(QStringLiteral("不能修改")))
        << refusal.seenText.toStdString();
    EXPECT_EQ(rows(1), 1);
    ModalAnswer discard; // the refused post is still unsaved text
    discard.press(QMessageBox::Discard);
    win->close();
    EXPECT_EQ(env.readFile("date/Date2.dat"), QByteArray("x$TCSPLIT$1\r\n\0rest", 18));
}

// Problems found at start are each named once, and only a category that could
// not be loaded says it will not be saved.
TEST_F(SaveAtClose, StartNamesTheFolderTheSettingsAndTheRescueWithoutTheCategorySentence) {
    QDir(env.dataDir()).removeRecursively();
    env.writeFile("date", "a file where the data folder should be");
    QDir().mkpath(env.programDir() + "config.ini"); // cannot be read
    const QString rescued = env.stateHome() + "vellum/rescue/2026-05-01_10-20-30/";
    QDir().mkpath(rescued);
    BoxAnswer boxes;
    start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.texts.size() >= 3; }, 5000));
    QTest::qWait(200);
    boxes.stop();
    const QStringList seen = boxes.texts;
    ASSERT_EQ(seen.size(), 3) << seen.join("\n---\n").toStdString();
    EXPECT_TRUE(seen[0].contains(QStringLiteral("无法读取设置文件")));
    EXPECT_TRUE(seen[1].contains(QStringLiteral("分类文件夹")));
    EXPECT_TRUE(seen[1].contains(env.programDir() + "date"));
    EXPECT_TRUE(seen[2].contains(rescued));
    for (const QString& text : seen)
        EXPECT_FALSE(text.contains(QStringLiteral("不能修改"))) << text.toStdString();
}

// A post moved from a small category to a large one, then a close on a disk
// with room for only the small file: the post stays in the old small file,
// never in neither.
TEST_F(SaveAtClose, MoveThenFailedSaveOnAFullDiskLeavesThePostInItsOldFile) {
    SmallDisk disk(env.dataDir(), 4 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    writeConfig({QStringLiteral("原创"), QStringLiteral("转载")});
    const QByteArray small = "moved$TCSPLIT$post\r\nother$TCSPLIT$post\r\n";
    QByteArray large;
    for (int i = 0; i < 2000; ++i)
        large += "p" + QByteArray::number(i) + "$TCSPLIT$" + QByteArray(100, 'x') + "\r\n";
    env.writeFile("date/Date1.dat", small);
    env.writeFile("date/Date2.dat", large);
    start();
    userSelect(0, 0);
    ModalAnswer move;
    move.next([](QWidget* dialog) { dialog->findChild<QPushButton*>("btnok")->click(); });
    win->MovePost();
    ASSERT_EQ(rows(1), 2001);
    disk.leaveFree(large.size() / 2);

    ModalAnswer question;
    answerWith(question, "btnQuitWithoutSaving");
    win->close();
    ASSERT_TRUE(question.answered);
    EXPECT_TRUE(question.seenText.contains(QStringLiteral("“原创”")));
    EXPECT_TRUE(question.seenText.contains(QStringLiteral("“转载”")));
    EXPECT_EQ(win->exitStatus(), 1);
    EXPECT_EQ(env.readFile("date/Date1.dat"), small);
    EXPECT_EQ(env.readFile("date/Date2.dat"), large);
}
