#include "tests/app/MainWindowHarness.h"
#include "ui/ToastPopup.h"

#include <QClipboard>
#include <QTimer>

namespace {
class MainCapture : public MainWindowHarness {
  protected:
    // One command through the window's own poll on Timer1.
    void capture(const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        auto* timer = child<QTimer>("Timer1");
        if (!timer->isActive())
            timer->start();
        for (int i = 0; i < 50 && !QGuiApplication::clipboard()->text().isEmpty(); ++i)
            QTest::qWait(50);
        EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty()) << text.toStdString();
    }
};
} // namespace

TEST_F(MainCapture, TitleThenContentsAddOnePostAndKeepReplacingIt) {
    writeConfig({"A"}, "RetoreMainWin=0\r\n");
    env.writeFile("date/Date1.dat", "old$TCSPLIT$post\r\n");
    start();
    capture("BBSGETTITLE:网页标题");
    EXPECT_EQ(win->editorMode(), "ADD");
    EXPECT_EQ(win->statusText(), "新建");
    capture("BBSGETCONTENT:第一段");
    ASSERT_EQ(rows(0), 2);
    EXPECT_EQ(rowText(0, 1), "网页标题");
    EXPECT_EQ(selected(0), 1);
    EXPECT_EQ(win->editorMode(), "EDIT");
    EXPECT_EQ(win->statusText(), "编辑");
    auto* toast = win->findChild<ToastPopup*>();
    ASSERT_NE(toast, nullptr);
    EXPECT_EQ(toast->lastText(), "帖子已保存!");
    capture("BBSGETCONTENT:第二段");
    ASSERT_EQ(rows(0), 2);
    EXPECT_EQ(AnsiCodePage::toUnicode(win->store().record(0, 1)),
              "网页标题$TCSPLIT$第一段$1310$第二段");

    // Saved by hand: the row stays selected, and the next capture still
    // replaces the same post.
    click("btnSave");
    EXPECT_EQ(selected(0), 1);
    capture("BBSGETCONTENT:第三段");
    ASSERT_EQ(rows(0), 2);
    EXPECT_EQ(AnsiCodePage::toUnicode(win->store().record(0, 1)),
              "网页标题$TCSPLIT$第一段$1310$第二段$1310$第三段");

    // Without a captured title nothing is saved.
    userSelect(0, 0);
    capture("BBSGETCONTENT:附加");
    EXPECT_EQ(AnsiCodePage::toUnicode(win->store().record(0, 0)), "old$TCSPLIT$post");
    EXPECT_EQ(memo()->toPlainText(), "post\n附加");
}
