#include "net/TFormPicList.h"

#include "bridge/TagBuilder.h"
#include "platform/ErrorReporter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

template <typename T> T* child(QObject& parent, const char* name) {
    T* w = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

QStringList listed(TFormPicList& dlg) {
    QStringList out;
    auto* list = child<QListWidget>(dlg, "clbpiclist");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "");
    return out;
}

void tick(TFormPicList& dlg, int row) {
    child<QListWidget>(dlg, "clbpiclist")->item(row)->setCheckState(Qt::Checked);
}

// Runs the dialog modally and presses the named button from a timer.
void execAndPress(TFormPicList& dlg, const char* button) {
    QTimer::singleShot(0, [&dlg, button] {
        if (QApplication::activeModalWidget() == &dlg)
            child<QPushButton>(dlg, button)->click();
        else
            dlg.reject();
    });
    dlg.exec();
}

const QByteArray kPayload = "a.gif;100;50$$b.gif;300;400$$c.png;0;100$$";

} // namespace

TEST(TFormPicList, ControlsAndCaptions) {
    TFormPicList dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("图片列表"));
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(child<QCheckBox>(dlg, "cbxselectall")->text(), QStringLiteral("全选"));
    EXPECT_EQ(child<QLabel>(dlg, "Label1")->text(), QStringLiteral("图片过滤："));
    EXPECT_EQ(child<QPushButton>(dlg, "btnfilter")->text(), QStringLiteral("过滤"));
    EXPECT_EQ(child<QPushButton>(dlg, "BitBtn1")->text(), QStringLiteral("确 定"));
    EXPECT_EQ(child<QPushButton>(dlg, "BitBtn3")->text(), QStringLiteral("取 消"));
    auto* wh = child<QComboBox>(dlg, "cbbwh");
    EXPECT_EQ(wh->currentText(), QStringLiteral("全部图片"));
    EXPECT_EQ(wh->count(), 4);
    EXPECT_EQ(child<QComboBox>(dlg, "cbbgl")->count(), 0);
    auto* v = child<QComboBox>(dlg, "cbbv");
    EXPECT_TRUE(v->isEditable());
    EXPECT_EQ(v->itemText(9), QStringLiteral("1000"));
    EXPECT_TRUE(child<QLineEdit>(dlg, "edtv")->isHidden());
}

TEST(TFormPicList, FilterThroughControls) {
    TFormPicList dlg;
    dlg.LoadPictures(kPayload);
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif", "c.png"}));
    auto* wh = child<QComboBox>(dlg, "cbbwh");
    auto* gl = child<QComboBox>(dlg, "cbbgl");
    auto* v = child<QComboBox>(dlg, "cbbv");
    auto* edtv = child<QLineEdit>(dlg, "edtv");
    auto* filter = child<QPushButton>(dlg, "btnfilter");
    auto* all = child<QCheckBox>(dlg, "cbxselectall");

    wh->setCurrentText(QStringLiteral("图片高度"));
    EXPECT_EQ(gl->count(), 2);
    EXPECT_TRUE(gl->currentText().isEmpty());
    filter->click(); // no operator chosen: nothing happens
    EXPECT_EQ(listed(dlg).size(), 3);

    gl->setCurrentText(QStringLiteral("大于"));
    v->setCurrentText(QStringLiteral("100")); // a change of the value filters at once
    EXPECT_EQ(listed(dlg), QStringList{"b.gif"});
    v->setCurrentText(QStringLiteral("50"));
    EXPECT_EQ(listed(dlg), (QStringList{"b.gif", "c.png"}));
    gl->setCurrentText(QStringLiteral("小于"));
    filter->click();
    EXPECT_EQ(listed(dlg), QStringList{});

    // Ticked entries and "全选" are cleared by a new run.
    wh->setCurrentText(QStringLiteral("图片宽度"));
    gl->setCurrentText(QStringLiteral("大于"));
    v->setCurrentText(QString());
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif"}));
    all->setChecked(true);
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif+", "b.gif+"}));
    filter->click();
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif"}));
    EXPECT_FALSE(all->isChecked());

    wh->setCurrentText(QStringLiteral("图片地址"));
    EXPECT_FALSE(edtv->isHidden());
    EXPECT_TRUE(v->isHidden());
    gl->setCurrentText(QStringLiteral("包含"));
    filter->click();
    EXPECT_EQ(listed(dlg), QStringList{}); // empty search text
    edtv->setText(QStringLiteral(".gif"));
    filter->click();
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif"}));
    gl->setCurrentText(QStringLiteral("不包含"));
    filter->click();
    EXPECT_EQ(listed(dlg), QStringList{"c.png"});

    // A new load lists everything although the filter still shows.
    dlg.LoadPictures("x.gif;1;1$$");
    EXPECT_EQ(listed(dlg), QStringList{"x.gif"});
    EXPECT_EQ(gl->currentText(), QStringLiteral("不包含"));

    dlg.LoadPictures(kPayload);
    gl->setCurrentText(QStringLiteral("包含"));
    filter->click();
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif"}));
    wh->setCurrentText(QStringLiteral("全部图片"));
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif", "c.png"}));
    EXPECT_TRUE(edtv->text().isEmpty());
    EXPECT_TRUE(v->currentText().isEmpty());
    EXPECT_EQ(gl->count(), 0);
}

TEST(TFormPicList, TooLargeValueIsRefused) {
    QStringList errors;
    ErrorReporter::setHandler([&errors](const QString& m) { errors << m; });
    TFormPicList dlg;
    dlg.LoadPictures(kPayload);
    child<QComboBox>(dlg, "cbbwh")->setCurrentText(QStringLiteral("图片高度"));
    child<QComboBox>(dlg, "cbbgl")->setCurrentText(QStringLiteral("大于"));
    child<QComboBox>(dlg, "cbbv")->setCurrentText(QStringLiteral("200"));
    ASSERT_EQ(listed(dlg), QStringList{"b.gif"});
    tick(dlg, 0);
    child<QComboBox>(dlg, "cbbv")->setCurrentText(QStringLiteral("99999999999"));
    EXPECT_EQ(errors, QStringList{QStringLiteral("“99999999999”不是有效的整数，请输入一个整数。")});
    EXPECT_EQ(listed(dlg), QStringList{"b.gif+"});
    ErrorReporter::setHandler({});
}

TEST(TFormPicList, ValueBoxTakesDigitsOnly) {
    TFormPicList dlg;
    dlg.show();
    auto* v = child<QComboBox>(dlg, "cbbv");
    v->setVisible(true);
    QLineEdit* edit = v->lineEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("1a2 -3x"));
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(edit->text(), QStringLiteral("23"));
    v->setCurrentIndex(4);
    EXPECT_EQ(v->currentText(), QStringLiteral("500"));

    // Typed digits filter as they arrive.
    dlg.LoadPictures(kPayload);
    child<QComboBox>(dlg, "cbbwh")->setCurrentText(QStringLiteral("图片高度"));
    child<QComboBox>(dlg, "cbbgl")->setCurrentText(QStringLiteral("大于"));
    v->setVisible(true);
    edit->clear();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("6"));
    EXPECT_EQ(listed(dlg), (QStringList{"a.gif", "b.gif", "c.png"}));
    QTest::keyClicks(edit, QStringLiteral("0"));
    EXPECT_EQ(listed(dlg), (QStringList{"b.gif", "c.png"}));
    dlg.hide();
}

TEST(TFormPicList, ConfirmInsertsTickedAddressesOnce) {
    TSettingsMirror settings;
    settings.UBBImg = "[img]$1[/img]";
    settings.NoConvert = true;
    QPlainTextEdit memo;
    memo.setPlainText(QStringLiteral("already http://s/b.gif here"));
    TFormPicList dlg;
    QList<QByteArray> calls;
    dlg.setInsertCallback([&](const QByteArray& a) {
        calls << a;
        InsertImageAddress(&memo, a, settings);
    });

    dlg.LoadPictures("http://s/a.gif;1;1$$http://s/b.gif;1;1$$http://s/c.gif;1;1$$");
    tick(dlg, 2);
    tick(dlg, 0);
    tick(dlg, 1);
    execAndPress(dlg, "BitBtn1");
    EXPECT_EQ(calls, (QList<QByteArray>{"http://s/a.gif", "http://s/b.gif", "http://s/c.gif"}));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("already http://s/b.gif here\n"
                                                 "[img]http://s/a.gif[/img]\n"
                                                 "[img]http://s/c.gif[/img]"));

    // Cancel inserts nothing; showing unticks "全选" and with it every entry.
    calls.clear();
    auto* all = child<QCheckBox>(dlg, "cbxselectall");
    all->setChecked(true);
    QStringList atShow;
    QTimer::singleShot(0, [&] {
        atShow = listed(dlg);
        child<QPushButton>(dlg, "BitBtn1")->click();
    });
    dlg.exec();
    EXPECT_EQ(atShow, (QStringList{"http://s/a.gif", "http://s/b.gif", "http://s/c.gif"}));
    EXPECT_TRUE(calls.isEmpty());

    tick(dlg, 0);
    execAndPress(dlg, "BitBtn3");
    EXPECT_TRUE(calls.isEmpty());
}

TEST(TFormPicList, SelectAllOnEmptyListDoesNothing) {
    TFormPicList dlg;
    dlg.LoadPictures("no entries");
    auto* all = child<QCheckBox>(dlg, "cbxselectall");
    all->setChecked(true);
    EXPECT_TRUE(listed(dlg).isEmpty());
    EXPECT_TRUE(dlg.entries().isEmpty());
}
