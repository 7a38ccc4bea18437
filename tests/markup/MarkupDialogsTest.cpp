#include "markup/TFrmInsertUBB.h"
#include "markup/TfrmSearchReplace.h"

#include "tests/support/ModalAnswer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

template <class T> T* child(QWidget* dialog, const char* name) {
    T* w = dialog->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        throw std::runtime_error(std::string("no control ") + name);
    return w;
}

struct Seen {
    QString lab1, edt1, lab2, edt2;
};

Seen readInsertDialog(QWidget* d) {
    return {child<QLabel>(d, "lab1")->text(), child<QLineEdit>(d, "Edt1")->text(),
            child<QLabel>(d, "Lab2")->text(), child<QLineEdit>(d, "Edt2")->text()};
}

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

TEST(InsertDialog, EachVariantShowsItsCaptionsAndInitialTexts) {
    using V = TFrmInsertUBB::Variant;
    const struct {
        V variant;
        const char *lab1, *edt1, *lab2, *edt2;
    } cases[] = {
        {V::Link, "链接描述", "", "链接地址", "http://"},
        {V::Image, "图片描述", "", "图片地址", ""},
        {V::Flash, "Flash宽和高(width,height)", "500,350", "Flash文件地址", ""},
        {V::Real, "Real Player视频宽和高(width,height)", "500,350", "Real Player视频文件地址", ""},
        {V::Media, "Media Player视频宽和高(width,height)", "500,350", "Media Player视频文件地址",
         ""},
    };
    TFrmInsertUBB dialog;
    EXPECT_EQ(dialog.windowTitle(), u("插入UBB标签"));
    EXPECT_EQ(child<QPushButton>(&dialog, "BtnOK")->text(), u("确 定"));
    EXPECT_EQ(child<QPushButton>(&dialog, "BtnCancel")->text(), u("取 消"));
    for (const auto& c : cases) {
        Seen seen;
        ModalAnswer answer;
        answer.next([&seen](QWidget* d) {
            seen = readInsertDialog(d);
            // What the user typed last time must not show the next time.
            child<QLineEdit>(d, "Edt1")->setText("typed");
            child<QLineEdit>(d, "Edt2")->setText("typed too");
            child<QPushButton>(d, "BtnOK")->click();
        });
        const TFrmInsertUBB::Result result = dialog.run(c.variant);
        ASSERT_TRUE(answer.answered) << c.lab1;
        EXPECT_EQ(seen.lab1, u(c.lab1));
        EXPECT_EQ(seen.edt1, u(c.edt1));
        EXPECT_EQ(seen.lab2, u(c.lab2));
        EXPECT_EQ(seen.edt2, u(c.edt2));
        EXPECT_TRUE(result.accepted);
        EXPECT_EQ(result.edt1, "typed");
        EXPECT_EQ(result.edt2, "typed too");
        // Every caption fits its dialog.
        EXPECT_LE(child<QLabel>(&dialog, "lab1")->sizeHint().width(),
                  child<QLabel>(&dialog, "lab1")->width())
            << c.lab1;
    }
}

TEST(InsertDialog, CancelAndTheCloseBoxBothCancel) {
    const struct {
        const char* name;
        std::function<void(QWidget*)> action;
    } cases[] = {
        {"cancel button", [](QWidget* d) { child<QPushButton>(d, "BtnCancel")->click(); }},
        {"close box", [](QWidget* d) { d->close(); }},
        {"escape", [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }},
    };
    TFrmInsertUBB dialog;
    for (const auto& c : cases) {
        ModalAnswer answer;
        answer.next(c.action);
        EXPECT_FALSE(dialog.run(TFrmInsertUBB::Variant::Link).accepted) << c.name;
        EXPECT_TRUE(answer.answered) << c.name;
    }
}

TEST(SearchReplaceDialog, ReplacesOnThePressAndKeepsItsTexts) {
    TfrmSearchReplace dialog;
    EXPECT_EQ(dialog.windowTitle(), u("查找替换字符串"));
    EXPECT_EQ(child<QPushButton>(&dialog, "Button1")->text(), u("替 换"));
    dialog.setWorkingText("Cat cat");
    ModalAnswer first;
    first.next([](QWidget* d) {
        child<QLineEdit>(d, "edtSearch")->setText("CAT");
        child<QLineEdit>(d, "edtReplace")->setText(u("猫"));
        child<QPushButton>(d, "Button1")->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.workingText(), u("猫 猫"));

    // The texts stay for the next use; the text worked on is the source's at
    // the moment of the press.
    QString editor = "old cat";
    dialog.setWorkingTextSource([&editor] { return editor; });
    QString seenSearch, seenReplace;
    ModalAnswer second;
    second.next([&](QWidget* d) {
        seenSearch = child<QLineEdit>(d, "edtSearch")->text();
        seenReplace = child<QLineEdit>(d, "edtReplace")->text();
        editor += "\ncaptured cat";
        child<QPushButton>(d, "Button1")->click();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(seenSearch, "CAT");
    EXPECT_EQ(seenReplace, u("猫"));
    EXPECT_EQ(dialog.workingText(), u("old 猫\ncaptured 猫"));
}

TEST(SearchReplaceDialog, TheCloseBoxReplacesNothing) {
    TfrmSearchReplace dialog;
    dialog.setWorkingText("cat");
    ModalAnswer answer;
    answer.next([](QWidget* d) {
        child<QLineEdit>(d, "edtSearch")->setText("cat");
        d->close();
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(dialog.workingText(), "cat");
}
