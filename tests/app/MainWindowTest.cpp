#include "tests/app/MainWindowHarness.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

using MainWindow = MainWindowHarness;

TEST_F(MainWindow, LayoutHasEveryNamedControl) {
    writeConfig({"A", "B", "C", "D", "E", "F"});
    start();
    EXPECT_EQ(win->size(), QSize(492, 379));
    EXPECT_EQ(win->windowTitle(), "VellumV4.3.1");
    EXPECT_EQ(win->toolTip(), "VellumV4.3.1");
    const struct {
        const char* name;
        const char* hint;
    } buttons[] = {{"btnNew", "新建帖子"},
                   {"btnSave", "保存当前帖子"},
                   {"btnDel", "删除当前贴子"},
                   {"btnConfig", "参数设置"},
                   {"btnAbout", "关于软件"},
                   {"btnHelp", "查看使用帮助"},
                   {"btnPostData", "发贴到我的论坛"},
                   {"btnUrl", "插入链接"},
                   {"btnImg", "插入图片"},
                   {"btnFlash", "插入Flash动画"},
                   {"btnRm", "插入Real Player视频"},
                   {"btnMp", "插入Media Player视频"},
                   {"SpeedButton1", "在浏览器中预览帖子"},
                   {"BitBtn1", "窗体停靠模式"}};
    for (const auto& b : buttons)
        EXPECT_EQ(child<QToolButton>(b.name)->toolTip(), QString::fromUtf8(b.hint)) << b.name;
    EXPECT_EQ(child<QToolButton>("btnPostData")->text(), "远程提交");
    EXPECT_EQ(child<QToolButton>("BitBtn1")->size(), QSize(16, 16));
    for (int k = 0; k < 6; ++k) {
        EXPECT_NE(list(k), nullptr);
        EXPECT_NE(win->findChild<QWidget*>(QStringLiteral("TabSheet%1").arg(k + 1)), nullptr);
    }
    auto* bar = child<QStatusBar>("MyStatusBar");
    EXPECT_EQ(bar->findChild<QLabel*>("MyStatusBarPanel0")->width(), 50);
    EXPECT_GT(bar->findChild<QLabel*>("MyStatusBarPanel1")->maximumWidth(), 50);
    EXPECT_EQ(child<QTimer>("Timer1")->interval(), 300);
    EXPECT_EQ(child<QTimer>("Timer2")->interval(), 1000);
    EXPECT_FALSE(child<QTimer>("Timer2")->isActive());
    QStringList captions;
    for (QAction* a : child<QMenu>("PopMenuList")->actions())
        captions << a->text();
    EXPECT_EQ(captions,
              (QStringList{"删除此贴...", "删除全部...", "撤销删除", "查找帖子", "转移帖子到...",
                           "", "导出数据...", "导入数据...", "自定义导出"}));
    // The other windows exist once each, hidden, with their captions.
    const struct {
        const char* cls;
        const char* caption;
    } dialogs[] = {{"TFrmInsertUBB", "插入UBB标签"},
                   {"TfrmAbout", "软件关于"},
                   {"TfrmSearchReplace", "查找替换字符串"},
                   {"TFrmSearchSubject", "查找帖子"},
                   {"Tfrmtrans", "转移帖子"},
                   {"TFrmDownfile", "下载文件"},
                   {"Tfrmexportdata", "自定义导出数据"}};
    const QList<QDialog*> all = win->findChildren<QDialog*>();
    for (const auto& d : dialogs) {
        int found = 0;
        for (QDialog* dialog : all)
            if (QByteArray(dialog->metaObject()->className()) == d.cls) {
                ++found;
                EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(d.caption));
                EXPECT_FALSE(dialog->isVisible());
            }
        EXPECT_EQ(found, 1) << d.cls;
    }
}

TEST_F(MainWindow, TabsFollowCategoryNamesAndShowTheirCounts) {
    writeConfig({"原创", "转载", "", "技术", "资源", "草稿"});
    env.writeFile("date/Date1.dat", "a$TCSPLIT$1\r\nb$TCSPLIT$2\r\n\r\n");
    // No final line break: a rewrite would add one.
    env.writeFile("date/Date3.dat", "hidden$TCSPLIT$x");
    start();
    auto* page = child<QTabWidget>("mPage");
    EXPECT_EQ(page->tabText(0), "原创");
    EXPECT_FALSE(page->isTabVisible(2));
    EXPECT_TRUE(page->isTabVisible(3));
    EXPECT_EQ(page->tabToolTip(0), "共有3个帖子");
    // The window opens on the active category; the others are read once it
    // has shown, and a close before that leaves their files as they are.
    EXPECT_EQ(rows(2), 0);
    EXPECT_EQ(page->tabToolTip(2), "正在读取帖子……");
    win->closeSequence(false);
    EXPECT_EQ(env.readFile("date/Date3.dat"), "hidden$TCSPLIT$x");
    win.reset();
    start();
    page = child<QTabWidget>("mPage");
    win->showAtStartUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows(2) == 1; }, 10000));
    EXPECT_EQ(page->tabToolTip(2), "共有1个帖子");
    EXPECT_EQ(page->tabToolTip(5), "共有0个帖子");
    EXPECT_EQ(rowText(0, 1), "b");
    EXPECT_EQ(rowText(0, 2), "");
    EXPECT_EQ(rows(2), 1);
}

TEST_F(MainWindow, CloseCreatesMissingFilesAndLeavesUnchangedHiddenAndUnreadableOnesAlone) {
    writeConfig({"A", "", "C", "", "", ""});
    const QByteArray hidden = "hidden tab$TCSPLIT$kept\r\n";
    env.writeFile("date/Date2.dat", hidden);
    env.writeFile("date/Date1.dat", "one$TCSPLIT$1"); // no final break
    QDir().mkpath(env.dataDir() + "Date4.dat");       // exists, cannot be read
    ModalAnswer answer;
    answer.press();
    start();
    // Categories other than the active one are read once the window shows.
    win->showAtStartUp();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.answered; }, 10000));
    EXPECT_TRUE(answer.seenText.contains("Date4.dat")) << answer.seenText.toStdString();
    win->close();
    // Unchanged, so not rewritten: to a sync tool a rewrite is a new version.
    EXPECT_EQ(env.readFile("date/Date1.dat"), "one$TCSPLIT$1");
    EXPECT_EQ(env.readFile("date/Date2.dat"), hidden);
    EXPECT_TRUE(QFileInfo(env.dataDir() + "Date4.dat").isDir());
    for (const char* f : {"date/Date3.dat", "date/Date5.dat", "date/Date6.dat"}) {
        EXPECT_TRUE(env.exists(f)) << f;
        EXPECT_EQ(env.readFile(f).size(), 0) << f;
    }
    EXPECT_TRUE(env.readFile("config.ini").contains("WinState=0"));
}

TEST_F(MainWindow, MissingDataFolderIsCreatedAndOneFailedSaveSparesTheOthers) {
    QDir(env.dataDir()).removeRecursively();
    writeConfig({"A", "B"});
    start();
    EXPECT_TRUE(QFileInfo(env.dataDir()).isDir());
    win->store().AddRecord("p$TCSPLIT$q", 0);
    win->store().AddRecord("r$TCSPLIT$s", 2);
    win->store().AddRecord("b$TCSPLIT$c", 1);
    QDir().mkpath(env.dataDir() + "Date2.dat"); // blocks the second file's save
    ModalAnswer answer;
    answer.next(
        [](QWidget* box) { box->findChild<QAbstractButton*>("btnQuitWithoutSaving")->click(); });
    win->close();
    EXPECT_TRUE(answer.answered);
    EXPECT_TRUE(answer.seenText.contains("Date2.dat"));
    EXPECT_EQ(env.readFile("date/Date1.dat"), "p$TCSPLIT$q\r\n");
    EXPECT_EQ(env.readFile("date/Date3.dat"), "r$TCSPLIT$s\r\n");
    EXPECT_TRUE(env.exists("date/Date6.dat"));
}

TEST_F(MainWindow, FirstVisibleTabIsActiveWhenTheFirstSlotHasNoName) {
    writeConfig({"", "", "C", "D"});
    env.writeFile("date/Date3.dat", "c$TCSPLIT$3\r\n");
    start();
    EXPECT_EQ(win->activeCategory(), 2);
    userSelect(2, 0);
    EXPECT_EQ(title()->text(), "c");
}
