// The everyday editing loop through the real window: Save always stores, the
// question before unsaved text is replaced, and every command answers.
#include "bridge/CapturePoll.h"
#include "net/FileDialogs.h"
#include "tests/app/MainWindowHarness.h"
#include "tests/support/ReadOnlyFolder.h"
#include "ui/ToastPopup.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>

#include <functional>

namespace {
QByteArray posts(int n) {
    QByteArray data;
    for (int i = 0; i < n; ++i)
        data += "t" + QByteArray::number(i) + "$TCSPLIT$c" + QByteArray::number(i) + "\r\n";
    return data;
}

class EditingLoop : public MainWindowHarness {
  protected:
    QString answerPath;
    void SetUp() override {
        FileDialogs::setAnswer([this](const FileDialogs::Request&) { return answerPath; });
    }
    void TearDown() override { FileDialogs::setAnswer({}); }
    ToastPopup* toast() { return win->findChild<ToastPopup*>(); }
    QAction* listItem(const char* name) { return win->findChild<QAction*>(name); }
    // Lets a queued question come up and be answered.
    void settle() {
        for (int i = 0; i < 5; ++i)
            QTest::qWait(20);
    }
};
} // namespace

TEST_F(EditingLoop, SaveAlwaysStoresAndASecondSaveReplacesTheSamePost) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(4));
    start();
    QSignalSpy saved(win.get(), &TFrmMain::postSaved);
    // A first start: nothing selected, nothing chosen, just typed.
    title()->setText("first");
    memo()->setPlainText("body");
    EXPECT_TRUE(child<QLabel>("lblUnsaved")->isVisibleTo(win.get()));
    click("btnSave");
    ASSERT_EQ(rows(0), 5);
    EXPECT_EQ(rowText(0, 4), "first");
    EXPECT_EQ(selected(0), 4);
    EXPECT_EQ(win->editorMode(), "EDIT");
    EXPECT_EQ(win->statusText(), "编辑");
    EXPECT_FALSE(child<QLabel>("lblUnsaved")->isVisibleTo(win.get()));
    memo()->setPlainText("body, longer");
    click("btnSave");
    EXPECT_EQ(rows(0), 5);
    EXPECT_EQ(win->store().record(0, 4), "first$TCSPLIT$body, longer");
    // A loaded post, edited twice, stays one post on its own row.
    userSelect(0, 2);
    for (const char* edit : {"t2 once", "t2 twice"}) {
        title()->setText(edit);
        click("btnSave");
        EXPECT_EQ(selected(0), 2) << edit;
        EXPECT_EQ(rowText(0, 2), edit);
    }
    EXPECT_EQ(rows(0), 5);
    EXPECT_EQ(saved.count(), 4);
    EXPECT_EQ(toast()->lastText(), "帖子已保存!");
    // A Save that stores nothing says why, and shows no notice.
    title()->clear();
    ModalAnswer why;
    why.press();
    click("btnSave");
    EXPECT_EQ(why.seenText, "给帖子起个名字吧！");
    EXPECT_EQ(saved.count(), 4);
}

TEST_F(EditingLoop, UnsavedTextIsNeverReplacedWithoutAnAnswer) {
    const struct {
        const char* action;
        std::function<void()> run;
        std::function<bool()> happened;
    } actions[] = {
        {"新建", [this] { click("btnNew"); }, [this] { return title()->text().isEmpty(); }},
        {"another row",
         [this] {
             userSelect(0, 1);
             settle();
         },
         [this] { return title()->text() == "t1"; }},
        {"a tab",
         [this] {
             child<QTabWidget>("mPage")->setCurrentIndex(1);
             settle();
         },
         [this] { return win->activeCategory() == 1; }},
        {"delete", [this] { click("btnDel"); }, [this] { return rows(0) == 2; }},
        {"import",
         [this] {
             env.writeFile("in.qre", "x$TCSPLIT$y\r\n");
             answerPath = env.programDir() + "in.qre";
             win->ImportData();
         },
         [this] { return rows(0) == 4; }},
        {"close", [this] { win->close(); }, [this] { return !win->isVisible(); }},
    };
    const struct {
        QMessageBox::StandardButton button;
        bool stored;
        bool goesOn;
    } answers[] = {
        {QMessageBox::Save, true, true},
        {QMessageBox::Discard, false, true},
        {QMessageBox::Cancel, false, false},
    };
    for (const auto& a : actions) {
        for (const auto& answer : answers) {
            SCOPED_TRACE(std::string(a.action) + " / " + std::to_string(answer.button));
            writeConfig({"A", "B"});
            env.writeFile("date/Date1.dat", posts(3));
            start();
            win->show();
            QSignalSpy saved(win.get(), &TFrmMain::postSaved);
            userSelect(0, 0);
            title()->setText("edited");
            ModalAnswer box;
            box.press(answer.button);
            a.run();
            EXPECT_EQ(box.seenText, "当前帖子尚未保存。要保存吗？");
            EXPECT_EQ(saved.count(), answer.stored ? 1 : 0);
            EXPECT_EQ(a.happened(), answer.goesOn);
            if (!answer.goesOn) {
                EXPECT_EQ(title()->text(), "edited");
                EXPECT_EQ(win->activeCategory(), 0);
                EXPECT_EQ(selected(0), 0);
            }
            win.reset();
        }
    }
}

TEST_F(EditingLoop, NextPostSavesEditsFirstAndNeverAsks) {
    writeConfig({"A"}, "KeepSubject=0\r\n");
    env.writeFile("date/Date1.dat", posts(3));
    start();
    userSelect(0, 1);
    memo()->setPlainText("c1 edited");
    ModalAnswer none;
    none.press();
    win->onNextPostMessage(1);
    EXPECT_EQ(win->store().record(0, 1), "t1$TCSPLIT$c1 edited");
    EXPECT_EQ(selected(0), 2);
    EXPECT_EQ(title()->text(), "t2");
    // An edit that Save would refuse keeps the editor where it is.
    title()->clear();
    win->onNextPostMessage(1);
    EXPECT_EQ(selected(0), 2);
    EXPECT_EQ(memo()->toPlainText(), "c2");
    EXPECT_EQ(child<QLabel>("MyStatusBarPanel1")->text(), "当前帖子尚未保存，没有转到下一个帖子。");
    QTest::qWait(50);
    EXPECT_FALSE(none.answered) << none.seenText.toStdString();
}

TEST_F(EditingLoop, EveryCommandAnswers) {
    writeConfig({"A", "B", "C"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    // Each command returns the text of the message box it showed, if any.
    const auto findMiss = [this]() -> QString {
        ModalAnswer dialog;
        ModalAnswer box;
        dialog.next([&box](QWidget* d) {
            box.press();
            d->findChild<QLineEdit*>("edtSearchSubject")->setText("nowhere");
            d->findChild<QPushButton*>("btnSearch")->click();
        });
        win->FindPost();
        for (int i = 0; i < 100 && !box.answered; ++i)
            QTest::qWait(20);
        return box.seenText;
    };
    const auto move = [this]() -> QString {
        ModalAnswer dialog;
        dialog.next([](QWidget* d) { d->findChild<QPushButton*>("btnok")->click(); });
        win->MovePost();
        return QString();
    };
    const struct {
        const char* what;
        std::function<QString()> run;
        const char* message; // in a box, or else in the notice
        const char* notice;
    } cases[] = {
        {"find that misses", findMiss, "没有找到标题包含“nowhere”的帖子", nullptr},
        {"move", move, nullptr, "帖子已转移到“B”"},
        {"export",
         [&] {
             answerPath = env.root() + "out.qre";
             win->ExportData();
             return QString();
         },
         nullptr, "已导出2个帖子。"},
        {"import with a NUL",
         [&] {
             env.writeFile("nul.qre", QByteArray("a$TCSPLIT$1\r\nb\0", 15) + "x$TCSPLIT$2\r\n");
             answerPath = env.programDir() + "nul.qre";
             win->ImportData();
             return QString();
         },
         nullptr, "已导入2个帖子，去掉了1个空字符（NUL）。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        userSelect(0, 0);
        const QString box = c.run();
        if (c.message) {
            EXPECT_EQ(box, c.message);
        }
        if (c.notice) {
            EXPECT_TRUE(toast()->lastText().contains(c.notice))
                << toast()->lastText().toStdString();
        }
    }
    EXPECT_EQ(win->store().record(0, 3), "bx$TCSPLIT$2");
    EXPECT_TRUE(child<QLabel>("MyStatusBarPanel1")->text().contains("nul.qre"));

    // The moved post left the editor: a later Save cannot store it twice.
    userSelect(0, 0);
    move();
    EXPECT_EQ(win->statusText(), "");
    EXPECT_EQ(title()->text(), "");

    // Commands that need a row or a post are offered only then; export stays.
    const struct {
        int tab;
        bool selectedRow;
        bool anyRow;
    } tabs[] = {{1, false, true}, {2, false, false}};
    for (const auto& t : tabs) {
        child<QTabWidget>("mPage")->setCurrentIndex(t.tab);
        const struct {
            const char* name;
            bool enabled;
        } items[] = {{"N_DeletePost", t.selectedRow},
                     {"N_MovePost", t.selectedRow},
                     {"N_DeleteAll", t.anyRow},
                     {"N_FindPost", t.anyRow},
                     {"N_Export", true},
                     {"N_CustomExport", true}};
        for (const auto& i : items)
            EXPECT_EQ(listItem(i.name)->isEnabled(), i.enabled) << t.tab << i.name;
    }
}

TEST_F(EditingLoop, FailedExchangeLeavesTheWindowUsable) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    win->show();
    const ReadOnlyFolder locked(env.root() + "locked");
    ASSERT_TRUE(locked.holds());
    const struct {
        const char* what;
        QString path;
        std::function<void()> run;
    } cases[] = {
        {"export into a read-only folder", locked.file("out.qre"), [this] { win->ExportData(); }},
        {"import of /dev/zero", "/dev/zero", [this] { win->ImportData(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        answerPath = c.path;
        bool progressOverBox = false;
        QString text;
        ModalAnswer box;
        // The box stays open well past the progress window's delay.
        box.next([&](QWidget* w) {
            text = static_cast<QMessageBox*>(w)->text();
            QTimer::singleShot(700, w, [&, w] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (qobject_cast<QProgressDialog*>(top) && top->isVisible())
                        progressOverBox = true;
                static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
            });
        });
        c.run();
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(progressOverBox);
        // One press of 确定 and the window is usable again.
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_EQ(rows(0), 3);
    }
}

TEST_F(EditingLoop, ShortcutsReachTheirCommands) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    ASSERT_TRUE(showActive());
    const struct {
        const char* keys;
        QWidget* focus;
        const char* dialog; // object name of the dialog it opens, if any
        std::function<bool()> done;
    } cases[] = {
        {"Ctrl+N", title(), nullptr, [this] { return win->editorMode() == "ADD"; }},
        {"Ctrl+S", title(), nullptr, [this] { return rows(0) == 4; }},
        {"Ctrl+F", memo(), "FrmSearchSubject", [] { return true; }},
        {"Ctrl+H", memo(), "frmSearchReplace", [] { return true; }},
        {"Delete", list(0), nullptr, [this] { return rows(0) == 3; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        if (QByteArray(c.keys) == "Ctrl+S") {
            title()->setText("by keyboard");
            memo()->setPlainText("saved");
        }
        QString opened;
        ModalAnswer dialog;
        if (c.dialog)
            dialog.next([&opened](QWidget* d) {
                opened = d->objectName();
                d->close();
            });
        // A closed dialog leaves no active window under the offscreen platform.
        QApplication::setActiveWindow(win.get());
        c.focus->setFocus();
        QTest::keySequence(c.focus, QKeySequence(QString::fromLatin1(c.keys)));
        if (c.dialog) {
            EXPECT_EQ(opened, c.dialog);
        }
        EXPECT_TRUE(c.done());
    }
    // Delete took the post just saved, and can be undone.
    EXPECT_EQ(rowText(0, 2), "t2");
}

TEST_F(EditingLoop, ACapturedTitleKeepsUnsavedContent) {
    writeConfig({"A"}, "ClearContentOnGetTitle=1\r\nRetoreMainWin=0\r\n");
    env.writeFile("date/Date1.dat", posts(2));
    start();
    const struct {
        const char* what;
        QString typed; // into the content after loading row 0; empty: none
        QString contentAfter;
    } cases[] = {
        {"stored content is emptied", "", ""},
        {"typed content stays", "c0 and more", "c0 and more"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ModalAnswer discard;
        discard.press(QMessageBox::Discard);
        userSelect(0, 0);
        settle();
        if (!c.typed.isEmpty())
            memo()->setPlainText(c.typed);
        win->capturePoll().enqueueCommand("BBSGETTITLE:captured");
        QTRY_COMPARE_WITH_TIMEOUT(title()->text(), QString("captured"), 3000);
        EXPECT_EQ(memo()->toPlainText(), c.contentAfter);
        EXPECT_EQ(win->editorMode(), "ADD");
        userSelect(0, 1);
        settle();
    }
    EXPECT_EQ(child<QLabel>("MyStatusBarPanel1")->text(), "内容尚未保存，没有清空。");
}

TEST_F(EditingLoop, CategoryNamesReachTheTabsWhenTheSettingsClose) {
    writeConfig({"A", "B"});
    start();
    bool stayedOpen = false;
    ModalAnswer settings;
    settings.next([&](QWidget* d) {
        auto* tree = d->findChild<QTreeWidget*>("trvtabclass");
        tree->setCurrentItem(tree->topLevelItem(1));
        auto* name = d->findChild<QLineEdit*>("edttabname");
        name->setText("改名");
        QTest::keyClick(name, Qt::Key_Return);
        stayedOpen = d->isVisible();
        name->setText("新分类");
        d->findChild<QPushButton*>("btnnewtab")->click();
        d->findChild<QPushButton*>("BtnOK")->click();
    });
    win->openSettings();
    EXPECT_TRUE(stayedOpen);
    auto* page = child<QTabWidget>("mPage");
    EXPECT_EQ(page->tabText(1), "改名");
    EXPECT_TRUE(page->isTabVisible(2));
    EXPECT_EQ(page->tabText(2), "新分类");
    EXPECT_EQ(win->tabCaption(2), "新分类");
}
