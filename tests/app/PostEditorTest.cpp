#include "tests/app/MainWindowHarness.h"

#include <QComboBox>
#include <QMenu>
#include <QPushButton>

using PostEditor = MainWindowHarness;

namespace {
QByteArray posts(int n, const char* prefix = "t") {
    QByteArray data;
    for (int i = 0; i < n; ++i)
        data += prefix + QByteArray::number(i) + "$TCSPLIT$c" + QByteArray::number(i) + "\r\n";
    return data;
}
} // namespace

TEST_F(PostEditor, EditorModeFollowsTheCommands) {
    writeConfig({"A", "B"});
    env.writeFile("date/Date1.dat", "no separator here\r\n" + posts(3));
    start();
    // A row without separator loads as an empty post in mode EDIT.
    userSelect(0, 0);
    EXPECT_EQ(win->editorMode(), "EDIT");
    EXPECT_EQ(win->statusText(), "编辑");
    EXPECT_EQ(title()->text(), "");
    EXPECT_EQ(memo()->toPlainText(), "");
    ModalAnswer a1;
    a1.press();
    click("btnSave");
    EXPECT_EQ(a1.seenText, "给帖子起个名字吧！");
    title()->setText("fixed");
    ModalAnswer a2;
    a2.press();
    click("btnSave");
    EXPECT_EQ(a2.seenText, "帖子的内容呢?");
    memo()->setPlainText("line1\nline2");
    click("btnSave");
    EXPECT_EQ(win->store().record(0, 0), "fixed$TCSPLIT$line1$1310$line2");
    EXPECT_EQ(selected(0), 0); // the saved row stays selected
    EXPECT_EQ(win->editorMode(), "EDIT");
    EXPECT_EQ(win->statusText(), "编辑");
    title()->setText("again");
    click("btnSave"); // replaces the same post again
    EXPECT_EQ(win->store().record(0, 0), "again$TCSPLIT$line1$1310$line2");

    // New + Save appends and selects the new post in mode EDIT.
    userSelect(0, 2);
    click("btnNew");
    EXPECT_EQ(win->editorMode(), "ADD");
    EXPECT_EQ(win->statusText(), "新建");
    EXPECT_EQ(selected(0), -1);
    title()->setText("new post");
    memo()->setPlainText("body");
    click("btnSave");
    EXPECT_EQ(rows(0), 5);
    EXPECT_EQ(rowText(0, 4), "new post");
    EXPECT_EQ(selected(0), 4);
    EXPECT_EQ(win->editorMode(), "EDIT");
    click("btnSave");
    EXPECT_EQ(rows(0), 5);

    // Delete the selected row; the mode empties.
    userSelect(0, 1);
    click("btnDel");
    EXPECT_EQ(rows(0), 4);
    EXPECT_EQ(win->editorMode(), "");
    EXPECT_EQ(title()->text(), "");
    EXPECT_EQ(selected(0), -1);
    EXPECT_EQ(child<QTabWidget>("mPage")->tabToolTip(0), "共有4个帖子");
}

TEST_F(PostEditor, TitlesNeverCorruptTheStore) {
    writeConfig({"A"});
    start();
    win->setTitleText("two\r\nline\rtitle\nhere");
    EXPECT_EQ(title()->text(), "two line title here");
    ModalAnswer discard;
    discard.press(QMessageBox::Discard);
    click("btnNew");
    title()->setText("a$TCSPLIT$b");
    memo()->setPlainText("x");
    ModalAnswer refuse;
    refuse.press();
    click("btnSave");
    EXPECT_TRUE(refuse.seenText.contains("$TCSPLIT$"));
    EXPECT_EQ(rows(0), 0);
}

TEST_F(PostEditor, PageChangeLoadsThatTabsSelection) {
    writeConfig({"A", "B"});
    env.writeFile("date/Date1.dat", posts(2, "a"));
    env.writeFile("date/Date2.dat", posts(2, "b"));
    start();
    auto* page = child<QTabWidget>("mPage");
    page->setCurrentIndex(1);
    userSelect(1, 1);
    page->setCurrentIndex(0);
    EXPECT_EQ(title()->text(), "");
    EXPECT_EQ(win->editorMode(), ""); // the new tab has no selection: no post shown
    EXPECT_EQ(win->statusText(), "");
    page->setCurrentIndex(1);
    EXPECT_EQ(title()->text(), "b1");
    EXPECT_EQ(memo()->toPlainText(), "c1");
}

TEST_F(PostEditor, FindStartsAtTheSelectedRowWithoutWrapping) {
    writeConfig({"A"});
    QByteArray data;
    for (int i = 0; i < 8; ++i)
        data += (i == 2 || i == 6 ? "论坛" + QByteArray::number(i) : "x" + QByteArray::number(i)) +
                "$TCSPLIT$c\r\n";
    env.writeFile("date/Date1.dat", QByteArray(data).replace("论坛", "\xc2\xdb\xcc\xb3"));
    start();
    // then: answers the box that follows the search, if any.
    auto find = [&](const QString& text, ModalAnswer* then = nullptr) {
        ModalAnswer answer;
        answer.next([text, then](QWidget* dialog) {
            if (then)
                then->press();
            dialog->findChild<QLineEdit*>("edtSearchSubject")->setText(text);
            dialog->findChild<QPushButton*>("btnSearch")->click();
        });
        win->FindPost();
        EXPECT_TRUE(answer.answered);
    };
    userSelect(0, 5);
    find("论坛");
    EXPECT_EQ(selected(0), 6);
    EXPECT_EQ(title()->text(), "论坛6");
    find("论坛"); // the selected row itself matches
    EXPECT_EQ(selected(0), 6);
    userSelect(0, 7);
    ModalAnswer miss;
    find("论坛", &miss);
    EXPECT_EQ(miss.seenText, "没有找到标题包含“论坛”的帖子");
    EXPECT_EQ(selected(0), 7);        // the post shown stays selected
    EXPECT_EQ(title()->text(), "x7"); // editor unchanged
}

TEST_F(PostEditor, MoveOffersVisibleTabsAndAppendsAtTheBottom) {
    writeConfig({"A", "", "C"});
    env.writeFile("date/Date1.dat", posts(3) + "\r\n");
    env.writeFile("date/Date3.dat", posts(2, "z"));
    start();
    ModalAnswer none;
    none.press();
    win->MovePost();
    EXPECT_EQ(none.seenText, "请选择您要移动的帖子！");

    userSelect(0, 1);
    QStringList offered;
    ModalAnswer move;
    move.next([&offered](QWidget* dialog) {
        auto* combo = dialog->findChild<QComboBox*>("cbxclass");
        for (int i = 0; i < combo->count(); ++i)
            offered << combo->itemText(i);
        dialog->findChild<QPushButton*>("btnok")->click();
    });
    win->MovePost();
    EXPECT_EQ(offered, QStringList{"C"});
    EXPECT_EQ(rows(0), 3);
    EXPECT_EQ(rows(2), 3);
    EXPECT_EQ(rowText(2, 2), "t1");
    EXPECT_EQ(selected(0), -1);
    EXPECT_EQ(child<QTabWidget>("mPage")->tabToolTip(2), "共有3个帖子");

    // An empty record is only removed.
    userSelect(0, 2);
    ModalAnswer moveEmpty;
    moveEmpty.next([](QWidget* d) { d->findChild<QPushButton*>("btnok")->click(); });
    win->MovePost();
    EXPECT_EQ(rows(0), 2);
    EXPECT_EQ(rows(2), 3);
}

TEST_F(PostEditor, MoveWithOnlyTheActiveTabVisibleIsRefused) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(1));
    env.writeFile("date/Date2.dat", posts(1));
    start();
    userSelect(0, 0);
    ModalAnswer answer;
    answer.press();
    win->MovePost();
    EXPECT_EQ(answer.seenText, "没有可选择的目标分类！");
    EXPECT_EQ(rows(0), 1);
}

TEST_F(PostEditor, NextPostWrapsAndObeysKeepSubject) {
    writeConfig({"A"}, "KeepSubject=0\r\n");
    env.writeFile("date/Date1.dat", posts(3));
    start();
    win->onNextPostMessage(1); // no selection: nothing
    EXPECT_EQ(selected(0), -1);
    userSelect(0, 1);
    win->onNextPostMessage(2);
    EXPECT_EQ(selected(0), 1);
    win->onNextPostMessage(1);
    EXPECT_EQ(selected(0), 2);
    EXPECT_EQ(title()->text(), "t2");
    win->onNextPostMessage(1);
    EXPECT_EQ(selected(0), 0);
    EXPECT_EQ(title()->text(), "t0");
    win->settings().KeepSubject = true;
    win->onNextPostMessage(1);
    EXPECT_EQ(selected(0), 0);
}

TEST_F(PostEditor, DeleteAllAskedAndThenCloseWritesAnEmptyFile) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(4));
    start();
    ModalAnswer cancel;
    cancel.press(QMessageBox::Cancel);
    win->DeleteAllPosts();
    EXPECT_EQ(cancel.seenText, "确认要删除全部帖子吗？");
    EXPECT_EQ(cancel.seenTitle, "确认删除");
    EXPECT_EQ(rows(0), 4);
    ModalAnswer ok;
    ok.press(QMessageBox::Ok);
    win->DeleteAllPosts();
    EXPECT_EQ(rows(0), 0);
    win->close();
    EXPECT_TRUE(env.exists("date/Date1.dat"));
    EXPECT_EQ(env.readFile("date/Date1.dat").size(), 0);
}

TEST_F(PostEditor, ALargeCategoryShowsThroughTheModel) {
    writeConfig({"A"});
    QByteArray data;
    data.reserve(100000 * 30);
    for (int i = 0; i < 100000; ++i)
        data += "title " + QByteArray::number(i) + "$TCSPLIT$content\r\n";
    env.writeFile("date/Date1.dat", data);
    start();
    EXPECT_EQ(rows(0), 100000);
    userSelect(0, 99999);
    EXPECT_EQ(title()->text(), "title 99999");
    win->onNextPostMessage(1); // KeepSubject is on by default
    EXPECT_EQ(selected(0), 99999);
}

TEST_F(PostEditor, ClickingTheSelectedRowLoadsTheStoredPostAgain) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    win->show();
    QListView* l = list(0);
    const auto clickRow = [&](int row) {
        const QRect rect = l->visualRect(l->model()->index(row, 0));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, rect.center());
    };
    clickRow(1);
    EXPECT_EQ(title()->text(), "t1");
    title()->setText("edited, not saved");
    ModalAnswer discard;
    discard.press(QMessageBox::Discard);
    clickRow(1);
    EXPECT_EQ(discard.seenText, "当前帖子尚未保存。要保存吗？");
    EXPECT_EQ(title()->text(), "t1");
    EXPECT_EQ(win->editorMode(), "EDIT");
    clickRow(2);
    EXPECT_EQ(title()->text(), "t2");
}
