// The editor and the lists as a user of a finished desktop program expects
// them: a selection that stays, Tab that moves on, a deletion that can be
// taken back, Chinese buttons, and no save into a category nobody sees.
#include "app/MessageBoxes.h"
#include "app/QtChinese.h"
#include "platform/ShowWindowChannel.h"
#include "tests/app/MainWindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLocalSocket>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include <functional>

using EditorBehaviour = MainWindowHarness;

namespace {
QByteArray posts(int n) {
    QByteArray data;
    for (int i = 0; i < n; ++i)
        data += "t" + QByteArray::number(i) + "$TCSPLIT$c" + QByteArray::number(i) + "\r\n";
    return data;
}

QStringList titles(TFrmMain& win, int k) {
    QStringList out;
    for (int i = 0; i < win.store().RecordCount(k); ++i)
        out << AnsiCodePage::toUnicode(win.store().record(k, i)).section("$TCSPLIT$", 0, 0);
    return out;
}
} // namespace

TEST_F(EditorBehaviour, AClickCannotEmptyTheListsSelection) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    win->show();
    QListView* l = list(0);
    const QRect row1 = l->visualRect(l->model()->index(1, 0));
    const struct {
        const char* name;
        QPoint where;
        Qt::KeyboardModifiers modifiers;
    } clicks[] = {
        {"blank area under the rows", QPoint(row1.center().x(), l->viewport()->height() - 3), {}},
        {"ctrl+click on the selected row", row1.center(), Qt::ControlModifier},
    };
    for (const auto& c : clicks) {
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, row1.center());
        ASSERT_EQ(selected(0), 1) << c.name;
        QTest::mouseClick(l->viewport(), Qt::LeftButton, c.modifiers, c.where);
        EXPECT_EQ(selected(0), 1) << c.name;
        EXPECT_EQ(win->editorMode(), "EDIT") << c.name;
        title()->setText(QStringLiteral("edited ") + c.name);
        // Save still stores the edit.
        click("btnSave");
        EXPECT_EQ(rowText(0, 1), QStringLiteral("edited ") + c.name) << c.name;
    }
    // The program itself still clears it where the commands say so.
    click("btnNew");
    EXPECT_EQ(selected(0), -1);
}

TEST_F(EditorBehaviour, TabMovesTheFocusInsteadOfTypingATab) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(2));
    start();
    ASSERT_TRUE(showActive());
    title()->setFocus();
    QStringList order;
    for (int i = 0; i < 20; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        order << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_TRUE(memo()->toPlainText().isEmpty());
    // Reading order from the toolbar round to it; "" is the tab of category
    // "A" in the tab header.
    const QStringList expected = {
        "edtTitle",   "btnUrl",   "btnImg",  "btnFlash",    "btnRm",   "btnMp",   "SpeedButton1",
        "meoContent", "BitBtn1",  "",        "lbx0",        "btnNew",  "btnSave", "btnDel",
        "btnConfig",  "btnAbout", "btnHelp", "btnPostData", "edtTitle"};
    EXPECT_EQ(order.mid(0, expected.size()), expected);
}

TEST_F(EditorBehaviour, ADeletionCanBeUndone) {
    const struct {
        const char* name;
        std::function<void()> remove;
        QStringList afterDelete;
        int selectedAfterUndo;
    } cases[] = {
        {"one post", [this] { click("btnDel"); }, {"t0", "t2", "t3"}, 1},
        {"delete all",
         [this] {
             ModalAnswer ok;
             ok.press(QMessageBox::Ok);
             win->findChild<QAction*>("N_DeleteAll")->trigger();
         },
         {},
         0},
    };
    for (const auto& c : cases) {
        writeConfig({"A"});
        env.writeFile("date/Date1.dat", posts(4));
        start();
        auto* undo = win->findChild<QAction*>("N_UndoDelete");
        ASSERT_NE(undo, nullptr);
        EXPECT_FALSE(undo->isEnabled()) << c.name;
        EXPECT_TRUE(child<QMenu>("PopMenuList")->actions().contains(undo)) << c.name;
        userSelect(0, 1);
        c.remove();
        EXPECT_EQ(titles(*win, 0), c.afterDelete) << c.name;
        ASSERT_TRUE(undo->isEnabled()) << c.name;
        undo->trigger();
        EXPECT_EQ(titles(*win, 0), QStringList({"t0", "t1", "t2", "t3"})) << c.name;
        EXPECT_EQ(rows(0), 4) << c.name;
        EXPECT_EQ(selected(0), c.selectedAfterUndo) << c.name;
        EXPECT_FALSE(undo->isEnabled()) << c.name;
        win.reset();
    }
}

TEST_F(EditorBehaviour, CtrlZOnTheListUndoesTheDeletion) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(3));
    start();
    ASSERT_TRUE(showActive());
    userSelect(0, 2);
    click("btnDel");
    list(0)->setFocus();
    QTest::keyClick(list(0), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(titles(*win, 0), QStringList({"t0", "t1", "t2"}));
    EXPECT_EQ(title()->text(), "t2");
}

TEST_F(EditorBehaviour, WithoutACategoryNothingIsStoredOutOfSight) {
    writeConfig({});
    start();
    click("btnNew");
    title()->setText("a title");
    memo()->setPlainText("some content");
    ModalAnswer refuse;
    refuse.press();
    click("btnSave");
    EXPECT_TRUE(refuse.seenText.contains("添加分类")) << refuse.seenText.toStdString();
    for (int k = 0; k < TFrmMain::kCategories; ++k)
        EXPECT_EQ(win->store().RecordCount(k), 0) << k;
    EXPECT_EQ(win->editorMode(), "ADD");
}

TEST_F(EditorBehaviour, ACapturedTitleWithThePostSeparatorIsNeverStored) {
    writeConfig({"A"}, "RetoreMainWin=0\r\n");
    start();
    ModalAnswer refuse;
    refuse.press();
    auto* timer = child<QTimer>("Timer1");
    timer->start();
    for (const char* command : {"BBSGETTITLE:A$TCSPLIT$B", "BBSGETCONTENT:body"}) {
        QGuiApplication::clipboard()->setText(QString::fromUtf8(command));
        for (int i = 0; i < 60 && !QGuiApplication::clipboard()->text().isEmpty(); ++i)
            QTest::qWait(50);
    }
    QTRY_VERIFY_WITH_TIMEOUT(refuse.answered, 5000);
    EXPECT_TRUE(refuse.seenText.contains("$TCSPLIT$"));
    EXPECT_EQ(win->store().RecordCount(0), 0);
}

TEST_F(EditorBehaviour, QtsOwnButtonsAndMenusAreChinese) {
    ASSERT_TRUE(QtChinese::install());
    writeConfig({"A"});
    start();
    QString ok;
    QString cancel;
    QTimer::singleShot(50, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ok = box->button(QMessageBox::Ok)->text();
            cancel = box->button(QMessageBox::Cancel)->text();
            box->button(QMessageBox::Cancel)->click();
        }
    });
    MessageBoxes::confirm(win.get(), "?", "确认删除");
    EXPECT_EQ(ok, QStringLiteral("确定"));
    EXPECT_EQ(cancel, QStringLiteral("取消"));

    QMenu* menu = memo()->createStandardContextMenu();
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << a->text();
    delete menu;
    EXPECT_TRUE(captions.join(' ').contains(QStringLiteral("撤消(&U)")))
        << captions.join('|').toStdString();
}

TEST_F(EditorBehaviour, TheSharedBlockEndsWithTheWindow) {
    writeConfig({"A"});
    env.writeFile("date/Date1.dat", posts(1));
    start();
    userSelect(0, 0);
    const QString block = env.runtimeDir() + "MapString";
    ASSERT_TRUE(QFile::exists(block));
    win.reset();
    EXPECT_FALSE(QFile::exists(block));
}

TEST_F(EditorBehaviour, ASecondStartBringsTheWindowForward) {
    writeConfig({"A"});
    start();
    ASSERT_FALSE(win->isVisible());
    // Anything but the request leaves the window alone.
    {
        QLocalSocket other;
        other.connectToServer(ShowWindowChannel::socketPathIn(env.runtimeDir()));
        ASSERT_TRUE(other.waitForConnected(2000));
        other.write("hello\n");
        other.waitForBytesWritten(2000);
        QTest::qWait(200);
        EXPECT_FALSE(win->isVisible());
    }
    win->showMinimized();
    ASSERT_TRUE(requestShowWindow(env.runtimeDir()));
    QTRY_VERIFY_WITH_TIMEOUT(win->isVisible() && !win->isMinimized(), 5000);
}

TEST_F(EditorBehaviour, SingleLineFieldsOfEveryDialogDropLineBreaks) {
    writeConfig({"A"});
    start();
    QList<QLineEdit*> fields = win->findChildren<QLineEdit*>();
    fields.removeAll(title());
    ASSERT_GT(fields.size(), 3);
    for (QLineEdit* field : fields) {
        field->setText("one\r\ntwo\n");
        EXPECT_EQ(field->text(), "onetwo") << field->objectName().toStdString();
    }
    // The title keeps its own rule: a break becomes a blank.
    win->setTitleText("a\nb");
    EXPECT_EQ(title()->text(), "a b");
}
