// The question before unsaved text is replaced, asked now or from the event
// loop: whether the command goes on and whether the post was saved.
#include "app/UnsavedQuestion.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestEnv.h"

#include <QTest>

#include <gtest/gtest.h>

using Action = EditorState::Action;

TEST(UnsavedQuestion, TheAnswerDecidesWhetherTheCommandGoesOnAndWhetherItSaves) {
    const TestEnv env;
    const struct {
        const char* state;
        bool tied; // a stored post "t" / "c" is shown
        QString title;
        bool asks;
    } states[] = {{"nothing typed", false, "", false},
                  {"stored, as is", true, "t", false},
                  {"stored, edited", true, "t2", true},
                  {"new, typed", false, "t", true}};
    const struct {
        QMessageBox::StandardButton button;
        bool saveStores; // false: the save refuses (an empty content, say)
        bool goesOn;
    } answers[] = {{QMessageBox::Save, true, true},
                   {QMessageBox::Save, false, false},
                   {QMessageBox::Discard, true, true},
                   {QMessageBox::Cancel, true, false}};
    for (const auto& s : states)
        for (const auto& a : answers)
            for (const bool deferred : {false, true}) {
                SCOPED_TRACE(std::string(s.state) + " / " + std::to_string(a.button) +
                             (deferred ? " / deferred" : ""));
                QWidget owner;
                EditorState editor;
                if (s.tied)
                    editor.showStored(0, 0, "t$TCSPLIT$c", "t", "c");
                int saves = 0, carried = 0;
                UnsavedQuestion question(
                    &owner, editor,
                    [&] {
                        return UnsavedQuestion::Texts{s.title, s.tied ? "c" : ""};
                    },
                    [&] { return ++saves, a.saveStores; });
                ModalAnswer box;
                if (s.asks)
                    box.press(a.button);
                bool wentOn = false;
                if (deferred) {
                    wentOn = question.goesOnNow(
                        Action::Load, [] { return true; }, [&] { ++carried; });
                    EXPECT_EQ(wentOn, !s.asks);
                    if (s.asks) {
                        EXPECT_TRUE(QTest::qWaitFor([&] { return box.answered; }));
                    }
                    wentOn = wentOn || carried == 1;
                } else {
                    wentOn = question.settle(Action::Close);
                }
                EXPECT_EQ(box.answered, s.asks);
                EXPECT_EQ(saves, s.asks && a.button == QMessageBox::Save ? 1 : 0);
                EXPECT_EQ(wentOn, !s.asks || a.goesOn);
            }
}

TEST(UnsavedQuestion, OnlyOneQuestionIsOnItsWayAndItAsksOnlyWhatStillNeedsAsking) {
    const TestEnv env;
    QWidget owner;
    EditorState editor;
    editor.showStored(0, 0, "t$TCSPLIT$c", "t", "c");
    QString title = "edited";
    UnsavedQuestion question(
        &owner, editor,
        [&] {
            return UnsavedQuestion::Texts{title, "c"};
        },
        [] { return true; });
    QStringList carried;
    const auto carry = [&](const char* what) { return [&carried, what] { carried << what; }; };
    const auto yes = [] { return true; };
    // A second row chosen before the first question opened is put back.
    ModalAnswer box;
    box.press(QMessageBox::Discard);
    EXPECT_FALSE(question.goesOnNow(Action::Load, yes, carry("row 1")));
    EXPECT_FALSE(question.goesOnNow(Action::TabSwitch, yes, carry("tab 2")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.answered; }));
    EXPECT_EQ(carried, QStringList{"row 1"});
    // A tab that was hidden meanwhile is not asked about; text stored
    // meanwhile (here: typed back) lets the change go on without a question.
    ModalAnswer none;
    none.press(QMessageBox::Cancel);
    EXPECT_FALSE(question.goesOnNow(
        Action::TabSwitch, [] { return false; }, carry("hidden")));
    QTest::qWait(50);
    EXPECT_FALSE(question.goesOnNow(Action::Load, yes, carry("row 2")));
    title = "t";
    EXPECT_TRUE(QTest::qWaitFor([&] { return carried.size() == 2; }));
    EXPECT_EQ(carried, (QStringList{"row 1", "row 2"}));
    EXPECT_FALSE(none.answered);
}
