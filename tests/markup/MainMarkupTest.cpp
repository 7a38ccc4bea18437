#include "markup/PreviewPage.h"
#include "tests/app/MainWindowHarness.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class MainMarkup : public MainWindowHarness {
  protected:
    QList<QUrl> opened;

    void SetUp() override {
        PreviewOpener::set([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override {
        win.reset();
        PreviewOpener::set({});
    }
    void writeSettings(const QByteArray& common = {}) {
        env.writeFile("config.ini",
                      "[TabClass]\r\ntab0=A\r\n[UBBSet]\r\nUBBUrl=[url=$1]$2[/url]\r\n"
                      "UBBImg=[img]$1[/img]\r\nUBBFlash=[flash=$1,$2]$3[/flash]\r\n"
                      "UBBRm=[rm=$1,$2]$3[/rm]\r\nUBBMp=[wmv=$1,$2]$3[/wmv]\r\n"
                      "[Common]\r\n" +
                          common);
    }
    QMenu* memoMenu() { return child<QMenu>("PopupMenuMemo"); }
    QAction* item(const char* name) {
        QAction* action = memoMenu()->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    // As the user does: open the menu, then choose the item.
    void choose(const char* name) {
        emit memoMenu()->aboutToShow();
        QAction* action = item(name);
        EXPECT_TRUE(action->isEnabled()) << name;
        action->trigger();
    }
    // Fills the insertion dialog when it opens, then presses OK.
    void answerInsert(ModalAnswer& answer, const QString& edt1, const QString& edt2,
                      std::function<void()> meanwhile = {}) {
        answer.next([=](QWidget* d) {
            if (meanwhile)
                meanwhile();
            d->findChild<QLineEdit*>("Edt1")->setText(edt1);
            d->findChild<QLineEdit*>("Edt2")->setText(edt2);
            d->findChild<QPushButton*>("BtnOK")->click();
        });
    }
    void answerReplace(ModalAnswer& answer, const QString& search, const QString& replace,
                       std::function<void()> meanwhile = {}) {
        answer.next([=](QWidget* d) {
            if (meanwhile)
                meanwhile();
            d->findChild<QLineEdit*>("edtSearch")->setText(search);
            d->findChild<QLineEdit*>("edtReplace")->setText(replace);
            d->findChild<QPushButton*>("Button1")->click();
        });
    }
};

} // namespace

TEST_F(MainMarkup, InsertionButtonsAppendTheirTagAsANewLastLine) {
    const struct {
        const char* button;
        const char* edt1;
        const char* edt2;
        const char* line;
    } cases[] = {
        {"btnUrl", "", "http://", "[url=http://][/url]"},
        {"btnUrl", "论坛", "http://bbs.cn/", "[url=http://bbs.cn/]论坛[/url]"},
        {"btnImg", "dropped", "http://x/a.png", "[img]http://x/a.png[/img]"},
        {"btnFlash", "500,350", "f.swf", "[flash=500,350]f.swf[/flash]"},
        {"btnRm", "320,240", "r.rm", "[rm=320,240]r.rm[/rm]"},
        {"btnMp", "1,2", "m.wmv", "[wmv=1,2]m.wmv[/wmv]"},
        {"btnFlash", "1234567", "f", "[flash=,12345]f[/flash]"},
    };
    // With conversion to HTML or no conversion at all, the buttons still
    // insert UBB.
    for (const char* common : {"", "NoConvert=1\r\n", "Convert2UBB=0\r\n"}) {
        writeSettings(common);
        start();
        memo()->setPlainText("first");
        QTextCursor caret = memo()->textCursor();
        caret.setPosition(2);
        memo()->setTextCursor(caret);
        QString expected = "first";
        for (const auto& c : cases) {
            ModalAnswer answer;
            answerInsert(answer, u(c.edt1), u(c.edt2));
            click(c.button);
            ASSERT_TRUE(answer.answered) << c.button;
            expected += "\n" + u(c.line);
            EXPECT_EQ(memo()->toPlainText(), expected) << common << c.button;
        }
        win.reset();
    }
}

TEST_F(MainMarkup, CancelOrClosingTheInsertionDialogLeavesTheEditor) {
    writeSettings();
    start();
    memo()->setPlainText("text");
    for (const char* button : {"btnUrl", "btnImg", "btnFlash", "btnRm", "btnMp"}) {
        ModalAnswer cancel;
        cancel.next([](QWidget* d) { d->findChild<QPushButton*>("BtnCancel")->click(); });
        click(button);
        ModalAnswer close;
        close.next([](QWidget* d) { d->close(); });
        click(button);
        EXPECT_TRUE(cancel.answered && close.answered) << button;
    }
    EXPECT_EQ(memo()->toPlainText(), "text");
}

TEST_F(MainMarkup, ACaptureWhileTheInsertionDialogIsOpenIsKept) {
    writeSettings();
    start();
    memo()->setPlainText("before");
    ModalAnswer answer;
    answerInsert(answer, "", "http://x/a.png",
                 [this] { memo()->appendPlainText(QStringLiteral("captured")); });
    click("btnImg");
    EXPECT_EQ(memo()->toPlainText(), "before\ncaptured\n[img]http://x/a.png[/img]");
}

TEST_F(MainMarkup, PreviewButtonWritesThePageAndOpensIt) {
    writeSettings();
    start();
    title()->setText(u("标题"));
    memo()->setPlainText(u("你好 [b]世界[/b]\nbye"));
    click("SpeedButton1");
    // Converted on a worker: the button waits, the window goes on.
    EXPECT_FALSE(child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, 10000));
    EXPECT_TRUE(child<QToolButton>("SpeedButton1")->isEnabled());
    EXPECT_EQ(env.readFile("preview.htm"),
              PreviewPageBytes(u("标题"), u("你好&nbsp;<b>世界</b><br>bye")));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(env.programDir() + "preview.htm")});

    // An empty content previews nothing.
    opened.clear();
    QFile::remove(env.programDir() + "preview.htm");
    memo()->clear();
    click("SpeedButton1");
    EXPECT_FALSE(env.exists("preview.htm"));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(MainMarkup, APreviewThatFailsShowsTheErrorBox) {
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    start();
    memo()->setPlainText("x");
    ModalAnswer answer;
    answer.press();
    click("SpeedButton1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.answered; }, 10000));
    EXPECT_TRUE(answer.seenText.contains(u("模板为空"))) << answer.seenText.toStdString();
    EXPECT_FALSE(env.exists("preview.htm"));
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(MainMarkup, EditorMenuHasItsItemsInOrderInChinese) {
    writeSettings();
    start();
    QStringList names, captions;
    for (QAction* a : memoMenu()->actions()) {
        names << (a->isSeparator() ? "-" : a->objectName());
        captions << (a->isSeparator() ? "-" : a->text());
    }
    EXPECT_EQ(names,
              (QStringList{"NAutoline", "-", "NUndo", "NRedo", "-", "NCut", "NCopy", "NPaste", "-",
                           "NSearchReplace", "-", "NSelectAll", "NClear", "-", "NDownloadImages"}));
    EXPECT_EQ(captions, (QStringList{u("自动换行"), "-", u("撤销"), u("重做"), "-", u("剪切"),
                                     u("复制"), u("粘贴"), "-", u("查找替换"), "-", u("全选"),
                                     u("清空"), "-", u("下载所有图片")}));
    // The image download connects and enables it.
    EXPECT_TRUE(item("NDownloadImages")->isEnabled());
    EXPECT_TRUE(item("NAutoline")->isCheckable());

    // A right click in the editor opens this menu, not the toolkit's own.
    emit memo()->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(memoMenu()->isVisible());
    memoMenu()->close();
}

TEST_F(MainMarkup, MenuItemsFollowTheEditorsState) {
    writeSettings();
    start();
    memo()->setPlainText("");
    emit memoMenu()->aboutToShow();
    for (const char* name : {"NUndo", "NRedo", "NCut", "NCopy", "NClear"})
        EXPECT_FALSE(item(name)->isEnabled()) << name;
    QTest::keyClicks(memo(), "abc");
    memo()->selectAll();
    emit memoMenu()->aboutToShow();
    for (const char* name : {"NUndo", "NCut", "NCopy", "NClear", "NSelectAll"})
        EXPECT_TRUE(item(name)->isEnabled()) << name;
    choose("NUndo");
    EXPECT_EQ(memo()->toPlainText(), "");
    emit memoMenu()->aboutToShow();
    EXPECT_TRUE(item("NRedo")->isEnabled());
    choose("NRedo");
    EXPECT_EQ(memo()->toPlainText(), "abc");
}

TEST_F(MainMarkup, FindAndReplaceIsOneUndoStep) {
    writeSettings();
    start();
    memo()->setPlainText(u("Cat 论坛\ncat Д"));
    ModalAnswer answer;
    answerReplace(answer, "CAT", "dog");
    choose("NSearchReplace");
    ASSERT_TRUE(answer.answered);
    EXPECT_EQ(memo()->toPlainText(), u("dog 论坛\ndog Д"));
    EXPECT_EQ(memo()->textCursor().position(), 0);
    memo()->undo();
    EXPECT_EQ(memo()->toPlainText(), u("Cat 论坛\ncat Д"));
}

TEST_F(MainMarkup, ACaptureWhileReplacingIsNotLost) {
    writeSettings();
    start();
    memo()->setPlainText("cat");
    ModalAnswer answer;
    answerReplace(answer, "cat", "dog",
                  [this] { memo()->appendPlainText(QStringLiteral("captured cat")); });
    choose("NSearchReplace");
    EXPECT_EQ(memo()->toPlainText(), "dog\ncaptured dog");
}

TEST_F(MainMarkup, ClosingTheReplaceDialogChangesNothing) {
    writeSettings();
    start();
    memo()->setPlainText("cat");
    ModalAnswer answer;
    answer.next([](QWidget* d) {
        d->findChild<QLineEdit*>("edtSearch")->setText("cat");
        d->close();
    });
    choose("NSearchReplace");
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(memo()->toPlainText(), "cat");
    EXPECT_FALSE(memo()->document()->isUndoAvailable());
}

TEST_F(MainMarkup, ClearEmptiesTheContentAndKeepsTheTitle) {
    writeSettings();
    start();
    title()->setText(u("标题"));
    memo()->setPlainText("line1\nline2");
    choose("NClear");
    EXPECT_EQ(memo()->toPlainText(), "");
    EXPECT_EQ(title()->text(), u("标题"));
    memo()->undo();
    EXPECT_EQ(memo()->toPlainText(), "line1\nline2");
}

TEST_F(MainMarkup, CtrlASelectsAllButCtrlShiftADoesNot) {
    writeSettings();
    start();
    memo()->setPlainText("abc\ndef");
    QTest::keyClick(memo(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(memo()->textCursor().hasSelection());
    QTest::keyClick(memo(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(memo()->textCursor().selectedText().size(), 7);
}

TEST_F(MainMarkup, CutCopyPasteAndSelectAllUseTheClipboard) {
    writeSettings();
    start();
    memo()->setPlainText(u("复制这段"));
    choose("NSelectAll");
    EXPECT_EQ(memo()->textCursor().selectedText(), u("复制这段"));
    choose("NCopy");
    choose("NCut");
    EXPECT_EQ(memo()->toPlainText(), "");
    choose("NPaste");
    choose("NPaste");
    EXPECT_EQ(memo()->toPlainText(), u("复制这段复制这段"));
}

TEST_F(MainMarkup, WordWrapOffSurvivesARestart) {
    writeSettings();
    start();
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    emit memoMenu()->aboutToShow();
    EXPECT_TRUE(item("NAutoline")->isChecked());
    choose("NAutoline");
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_NE(memo()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(env.readFile("config.ini").contains("MemoAutoline=0"));

    win.reset();
    start();
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::NoWrap);
    emit memoMenu()->aboutToShow();
    EXPECT_FALSE(item("NAutoline")->isChecked());
    choose("NAutoline");
    EXPECT_EQ(memo()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_TRUE(env.readFile("config.ini").contains("MemoAutoline=1"));
}
