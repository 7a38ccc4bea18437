// A change asked about from the event loop: one question at a time, asked only
// while it is still needed, and carried out only once the user agreed.
#include "app/UnsavedQuestion.h"
#include "tests/support/ModalAnswer.h"
#include "tests/support/TestEnv.h"

#include <QTest>

#include <gtest/gtest.h>

TEST(UnsavedQuestion, ADeferredChangeGoesOnOnlyOnceAgreedAndOneAtATime) {
    const TestEnv env;
    QWidget owner;
    EditorState editor;
    editor.showStored(0, 0, "t$TCSPLIT$c", "t", "c");
    QString title = "edited";
    bool saveStores = true;
    int saves = 0;
    UnsavedQuestion question(
        &owner, editor,
        [&] {
            return UnsavedQuestion::Texts{title, "c"};
        },
        [&] { return ++saves, saveStores; });
    QStringList carried;
    const auto choose = [&](const char* what, bool wanted = true) {
        return question.goesOnNow(
            EditorState::Action::Load, [wanted] { return wanted; },
            [&carried, what] { carried << what; });
    };
    const struct {
        QMessageBox::StandardButton button;
        bool saveStores; // false: the save refuses (an empty content, say)
        QStringList carried;
        int saves;
    } rows[] = {{QMessageBox::Save, true, {"row"}, 1},
                {QMessageBox::Save, false, {}, 1},
                {QMessageBox::Discard, true, {"row"}, 0},
                {QMessageBox::Cancel, true, {}, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.button);
        carried.clear();
        saves = 0;
        saveStores = r.saveStores;
        ModalAnswer box;
        box.press(r.button);
        EXPECT_FALSE(choose("row"));
        EXPECT_FALSE(choose("second")); // dropped: a question is on its way
        EXPECT_TRUE(QTest::qWaitFor([&] { return box.answered; }));
        EXPECT_EQ(carried, r.carried);
        EXPECT_EQ(saves, r.saves);
    }
    // No question for a tab hidden meanwhile, nor for text typed back meanwhile.
    ModalAnswer none;
    none.press(QMessageBox::Cancel);
    carried.clear();
    EXPECT_FALSE(choose("hidden tab", false));
    QTest::qWait(50);
    EXPECT_FALSE(choose("typed back"));
    title = "t";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !carried.isEmpty(); }));
    EXPECT_EQ(carried, QStringList{"typed back"});
    EXPECT_TRUE(choose("at once"));
    EXPECT_FALSE(none.answered);
}
