// The editor's state table, row by row: for each state, whether a command
// that replaces the text asks first, what Save does, what the status bar
// says, and whether a captured title may empty the content.
#include "app/EditorState.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
using Kind = EditorState::SavePlan::Kind;
using Action = EditorState::Action;

const QByteArray kLine = "t$TCSPLIT$c";

void stored(EditorState& e) {
    e.showStored(0, 2, kLine, "t", "c");
}
} // namespace

TEST(EditorStateTable, EachStateAnswersEveryAction) {
    const struct {
        const char* state;
        std::function<void(EditorState&)> setup;
        QString title, content;
        std::optional<int> rowNow; // where the shown post stands now
        bool asks;                 // New, a row, a tab, delete, import, close
        Kind save;
        int saveRow;
        const char* status;
        bool contentTyped; // a captured title keeps the content
    } rows[] = {
        {"start, nothing typed",
         [](EditorState&) {},
         "",
         "",
         {},
         false,
         Kind::RefuseEmptyTitle,
         -1,
         "",
         false},
        {"start, text typed", [](EditorState&) {}, "t", "c", {}, true, Kind::Add, -1, "", true},
        {"new, nothing typed",
         [](EditorState& e) { e.startNew(); },
         "",
         "",
         {},
         false,
         Kind::RefuseEmptyTitle,
         -1,
         "新建",
         false},
        {"new, title only",
         [](EditorState& e) { e.startNew(); },
         "t",
         "",
         {},
         true,
         Kind::RefuseEmptyContent,
         -1,
         "新建",
         false},
        {"new, typed",
         [](EditorState& e) { e.startNew(); },
         "t",
         "c",
         {},
         true,
         Kind::Add,
         -1,
         "新建",
         true},
        {"stored, as loaded", stored, "t", "c", 2, false, Kind::Replace, 2, "编辑", false},
        {"stored, title edited", stored, "t2", "c", 2, true, Kind::Replace, 2, "编辑", false},
        {"stored, content edited", stored, "t", "c2", 2, true, Kind::Replace, 2, "编辑", true},
        {"stored, moved up by an earlier change", stored, "t2", "c", 1, true, Kind::Replace, 1,
         "编辑", false},
        {"stored, changed under the editor",
         stored,
         "t2",
         "c",
         {},
         true,
         Kind::Add,
         -1,
         "编辑",
         false},
        {"title captured over a stored post",
         [](EditorState& e) {
             stored(e);
             e.setModeName("ADD");
         },
         "captured", "c", 2, true, Kind::Add, -1, "新建", true},
        {"deleted or moved away",
         [](EditorState& e) {
             stored(e);
             e.clear();
         },
         "",
         "",
         {},
         false,
         Kind::RefuseEmptyTitle,
         -1,
         "",
         false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.state);
        EditorState e;
        r.setup(e);
        for (Action a : {Action::New, Action::Load, Action::TabSwitch, Action::Delete,
                         Action::Import, Action::Close})
            EXPECT_EQ(e.mustAsk(a, r.title, r.content), r.asks) << int(a);
        // Never a question: Save stores, the next-post message saves first
        // (when unsaved), a captured title keeps typed content.
        for (Action a : {Action::Save, Action::NextPost, Action::TitleCaptured})
            EXPECT_FALSE(e.mustAsk(a, r.title, r.content)) << int(a);
        EXPECT_EQ(e.unsaved(r.title, r.content), r.asks);
        const EditorState::SavePlan plan = e.planSave(r.title, r.content, r.rowNow);
        EXPECT_EQ(plan.kind, r.save);
        if (r.save == Kind::Replace) {
            EXPECT_EQ(plan.category, 0);
            EXPECT_EQ(plan.row, r.saveRow);
        }
        EXPECT_EQ(e.statusLabel(), QString::fromUtf8(r.status));
        EXPECT_EQ(e.contentUnsaved(r.content), r.contentTyped);
    }
}

TEST(EditorStateTable, AfterASaveTheSameRowIsReplacedAndNothingIsUnsaved) {
    EditorState e;
    e.startNew();
    ASSERT_EQ(e.planSave("t", "c", std::nullopt).kind, Kind::Add);
    // The window stores it as row 7 and says so.
    e.showStored(1, 7, kLine, "t", "c");
    EXPECT_EQ(e.modeName(), "EDIT");
    EXPECT_FALSE(e.unsaved("t", "c"));
    const EditorState::SavePlan again = e.planSave("t", "c more", 7);
    EXPECT_EQ(again.kind, Kind::Replace);
    EXPECT_EQ(again.category, 1);
    EXPECT_EQ(again.row, 7);
    // The capture commands' own mode names come and go through the same state.
    e.setModeName("");
    EXPECT_EQ(e.modeName(), "");
    e.setModeName("ADD");
    EXPECT_FALSE(e.tied());
    EXPECT_EQ(e.statusLabel(), "新建");
}

// The post shown is found where it stands now, also after rows before it
// came or went; a post that is gone or changed is found nowhere.
TEST(EditorStateTable, TheShownPostIsFoundWhereItStandsNow) {
    const struct {
        const char* name;
        QList<QByteArray> records;
        std::optional<int> row;
    } cases[] = {
        {"in its row", {"a", "b", kLine}, 2},
        {"a row before it deleted", {"a", kLine}, 1},
        {"a row before it added", {"x", "a", "b", kLine}, 3},
        {"changed elsewhere", {"a", "b", "t$TCSPLIT$other"}, std::nullopt},
        {"category emptied", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        EditorState e;
        stored(e);
        EXPECT_EQ(e.rowAmong(c.records), c.row) << c.name;
    }
    EXPECT_EQ(EditorState().rowAmong({kLine}), std::nullopt);
}
