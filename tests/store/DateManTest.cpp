#include "platform/VellumError.h"
#include "store/ProgressIndicator.h"
#include "store/TDateMan.h"
#include "tests/support/TestEnv.h"

#include <QFile>

#include <atomic>
#include <functional>

#include <gtest/gtest.h>

namespace {
struct RecordingProgress : ProgressIndicator {
    int min = -1, max = -1, pos = 0;
    void setMinimum(int v) override { min = v; }
    void setMaximum(int v) override { max = v; }
    void setPosition(int v) override { pos = v; }
};

void fill(TDateMan& store, int k, const QList<QByteArray>& lines) {
    store.ClearCategory(k);
    for (const QByteArray& line : lines)
        if (!store.AddRecord(line, k) && line.isEmpty())
            ADD_FAILURE();
}
} // namespace

TEST(DateMan, PositionalOperationsIgnoreBadArguments) {
    TestEnv env;
    TDateMan store(env.dataDir());
    fill(store, 0, {"a$TCSPLIT$1", "b$TCSPLIT$2"});
    EXPECT_EQ(store.AddRecord("", 0), -1);
    store.ReplaceRecord("", 0, 0);
    store.DeleteRecord(5, 0);
    store.DeleteRecord(-1, 0);
    QByteArray out = "untouched";
    store.GetRecord(2, 0, out);
    EXPECT_EQ(out, "untouched");
    store.GetRecord(1, 0, out);
    EXPECT_EQ(out, "b$TCSPLIT$2");
    store.ReplaceRecord("c$TCSPLIT$3", 0, 0);
    store.DeleteRecord(1, 0);
    ASSERT_EQ(store.RecordCount(0), 1);
    EXPECT_EQ(store.record(0, 0), "c$TCSPLIT$3");
    EXPECT_EQ(store.LoadCategory(3), 0); // missing file: empty, no error
    EXPECT_EQ(store.AppendFromFile(0, env.root() + "nope.qre"), 0);
    EXPECT_EQ(store.RecordCount(0), 1);
}

// Undoing a deletion puts lines back where they were, even where the
// category has shrunk since, and an empty line of a file goes back too.
TEST(DateMan, InsertRecordPutsALineBackAtItsRow) {
    TestEnv env;
    const struct {
        int row;
        QByteArray line;
        QList<QByteArray> expected;
    } cases[] = {
        {1, "x$TCSPLIT$", {"a$TCSPLIT$1", "x$TCSPLIT$", "b$TCSPLIT$2"}},
        {0, "x$TCSPLIT$", {"x$TCSPLIT$", "a$TCSPLIT$1", "b$TCSPLIT$2"}},
        {2, "x$TCSPLIT$", {"a$TCSPLIT$1", "b$TCSPLIT$2", "x$TCSPLIT$"}},
        {9, "x$TCSPLIT$", {"a$TCSPLIT$1", "b$TCSPLIT$2", "x$TCSPLIT$"}},
        {-3, "x$TCSPLIT$", {"x$TCSPLIT$", "a$TCSPLIT$1", "b$TCSPLIT$2"}},
        {1, "", {"a$TCSPLIT$1", "", "b$TCSPLIT$2"}},
    };
    for (const auto& c : cases) {
        TDateMan store(env.dataDir());
        fill(store, 2, {"a$TCSPLIT$1", "b$TCSPLIT$2"});
        store.InsertRecord(c.line, c.row, 2);
        QList<QByteArray> got;
        for (int i = 0; i < store.RecordCount(2); ++i)
            got << store.record(2, i);
        EXPECT_EQ(got, c.expected) << c.row;
    }
}

TEST(DateMan, FindTitleScansTitlesFromStartWithoutWrapping) {
    TestEnv env;
    TDateMan store(env.dataDir());
    // row 2 has no separator: its whole line is searched.
    fill(store, 0,
         {"abc$TCSPLIT$x", "ABC$TCSPLIT$abc", "xxabcxx", "q$TCSPLIT$abc",
          "\xb0\xa1\xb0\xa1$TCSPLIT$", "title abc$TCSPLIT$"});
    struct Case {
        int start;
        QByteArray text;
        int expected;
    } cases[] = {
        {0, "abc", 0},
        {1, "abc", 2},
        {3, "abc", 5},
        {6, "abc", -1},
        {0, "ABC", 1},
        {2, "ABC", -1},
        {0, "", -1},
        {0, "$TCSPLIT$", -1},
        // GBK "啊啊" is b0a1 b0a1; the bytes a1b0 straddle two characters.
        {0, "\xa1\xb0", -1},
        {0, "\xb0\xa1", 4},
        {-1, "abc", -1},
        {99, "abc", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store.FindTitle(c.start, c.text, 0), c.expected)
            << c.start << " " << c.text.toHex().constData();
}

TEST(DateMan, ExportWithRuleCountsOnlyThePostsWritten) {
    TestEnv env;
    TDateMan store(env.dataDir());
    const QString out = env.root() + "out.txt";
    struct Case {
        QList<QByteArray> lines;
        QByteArray rule;
        bool sql;
        QByteArray expected; // empty: no file written
        int positions;
    } cases[] = {
        {{"Tom's$TCSPLIT$it's$1310$ok"},
         "INSERT INTO t VALUES('$title','$content');",
         true,
         "INSERT INTO t VALUES('Tom''s','it''s\\r\\nok');\r\n",
         1},
        {{"T$TCSPLIT$a$1310$b", "plain line", "U$TCSPLIT$'"},
         "[$title]\r\n$content",
         false,
         "[T]\r\na\r\nb\r\n[U]\r\n'\r\n",
         2},
        {{"$content$TCSPLIT$X"}, "$title/$content", false, "X/X\r\n", 1},
        {{"only", ""}, "$title", false, "", 0},
        {{}, "$title", false, "", 0},
    };
    for (const Case& c : cases) {
        QFile::remove(out);
        fill(store, 1, c.lines);
        RecordingProgress progress;
        const int count = store.ExportWithRule(1, out, c.rule, c.sql, &progress);
        EXPECT_EQ(count, c.positions);
        EXPECT_EQ(progress.min, 0);
        EXPECT_EQ(progress.max, store.RecordCount(1));
        EXPECT_EQ(progress.pos, c.positions);
        QFile file(out);
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(file.exists()) << c.rule.constData();
        } else {
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), c.expected);
        }
    }
}

// Categories read in the background are taken in before anything uses them,
// and one that is still unloaded is never written over.
TEST(DateMan, CategoriesLoadedInTheBackgroundAreTakenInBeforeUse) {
    const QByteArray old = "old$TCSPLIT$1\r\n\xb0\xa1$TCSPLIT$2\r\n";
    enum class Step { Close, Add, Export, Search, Move, Load };
    const struct {
        const char* name;
        Step step;
        QByteArray expectedFile; // Date2.dat after the step and a save of all
    } cases[] = {
        {"closed before use: the file stays", Step::Close, old},
        {"a change loads first", Step::Add, old + "new$TCSPLIT$3\r\n"},
        {"an export loads first", Step::Export, old},
        {"a search loads first", Step::Search, old},
        {"a move's target loads first", Step::Move, old + "a$TCSPLIT$x\r\n"},
        {"a load of its own supersedes the background read", Step::Load, old},
    };
    for (const auto& c : cases) {
        TestEnv env;
        env.writeFile("date/Date2.dat", old);
        TDateMan store(env.dataDir());
        fill(store, 0, {"a$TCSPLIT$x"});
        std::atomic<int> ready{0};
        store.startLoading({1, 2}, [&](int k) { ready += k == 1 ? 1 : 100; });
        // No file: nothing to read, the category is usable at once.
        EXPECT_TRUE(store.isLoaded(2)) << c.name;
        switch (c.step) {
        case Step::Close:
            break;
        case Step::Add:
            store.AddRecord("new$TCSPLIT$3", 1);
            break;
        case Step::Export:
            EXPECT_EQ(store.ExportWithRule(1, env.root() + "out.txt", "$title", false, nullptr), 2);
            EXPECT_EQ(env.readFile("../out.txt"), "old\r\n\xb0\xa1\r\n") << c.name;
            break;
        case Step::Search:
            EXPECT_EQ(store.FindTitle(0, "\xb0\xa1", 1), -1) << c.name; // not loaded yet
            EXPECT_TRUE(store.ensureLoaded(1).isEmpty());
            EXPECT_EQ(store.FindTitle(0, "\xb0\xa1", 1), 1) << c.name;
            break;
        case Step::Move:
            EXPECT_EQ(store.MoveRecord(0, 0, 1), 2) << c.name;
            break;
        case Step::Load:
            EXPECT_EQ(store.LoadCategory(1), 2) << c.name;
            break;
        }
        EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty()) << c.name;
        EXPECT_EQ(env.readFile("date/Date2.dat"), c.expectedFile) << c.name;
        // Categories without a file are written (empty) as before.
        EXPECT_EQ(env.readFile("date/Date3.dat"), "") << c.name;
        EXPECT_TRUE(QFile::exists(env.dataDir() + "Date3.dat")) << c.name;
        store.ensureLoaded(1);
        EXPECT_EQ(ready.load(), 1) << c.name;
        EXPECT_TRUE(store.isLoaded(1)) << c.name;
    }
}

TEST(DateMan, ABackgroundReadThatFindsANulLocksTheCategory) {
    TestEnv env;
    env.writeFile("date/Date4.dat", QByteArray("a$TCSPLIT$1\r\nb\0c\r\n", 18));
    TDateMan store(env.dataDir());
    store.startLoading({3});
    const QString problem = store.ensureLoaded(3);
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_TRUE(store.isLocked(3));
    EXPECT_EQ(store.RecordCount(3), 2);
    EXPECT_TRUE(store.ensureLoaded(3).isEmpty()); // reported once
    EXPECT_THROW(store.AddRecord("x$TCSPLIT$", 3), VellumError);
}

// The title search keeps up with every kind of change.
TEST(DateMan, FindTitleSeesEveryChange) {
    TestEnv env;
    TDateMan store(env.dataDir());
    fill(store, 0, {"ab$TCSPLIT$", "cd$TCSPLIT$", "ef$TCSPLIT$"});
    fill(store, 1, {"zz$TCSPLIT$"});
    EXPECT_EQ(store.FindTitle(0, "cd", 0), 1);
    const struct {
        const char* name;
        std::function<void()> change;
        QByteArray text;
        int expected;
    } cases[] = {
        {"add", [&] { store.AddRecord("xcdx$TCSPLIT$", 0); }, "xcd", 3},
        {"replace", [&] { store.ReplaceRecord("gh$TCSPLIT$", 1, 0); }, "cd", 3},
        {"a longer title moves the ones after it",
         [&] { store.ReplaceRecord("ab12345$TCSPLIT$", 0, 0); }, "ef", 2},
        {"a shorter one moves them back", [&] { store.ReplaceRecord("ab$TCSPLIT$", 0, 0); }, "xcdx",
         3},
        {"delete", [&] { store.DeleteRecord(0, 0); }, "gh", 0},
        {"insert", [&] { store.InsertRecord("cdcd$TCSPLIT$", 0, 0); }, "cdc", 0},
        {"move out", [&] { store.MoveRecord(0, 0, 1); }, "cdc", -1},
        {"move in", [&] { store.MoveRecord(1, 1, 0); }, "cdc", 3},
        {"clear", [&] { store.ClearCategory(0); }, "gh", -1},
        {"import",
         [&] {
             TestEnv other;
             other.writeFile("in.qre", "ij$TCSPLIT$\r\nkl\r\n");
             store.AppendFromFile(0, other.programDir() + "in.qre");
         },
         "kl", 1},
        // Titles are searched one by one: a match never spans two of them.
        {"across two titles", [] {}, "jk", -1},
    };
    for (const auto& c : cases) {
        c.change();
        EXPECT_EQ(store.FindTitle(0, c.text, 0), c.expected) << c.name;
    }
}

// Start-up marks the other categories unread before their reading starts: a
// close in between leaves their files alone, and a use reads them at once.
TEST(DateMan, DeferredCategoriesAreNeverWrittenUnread) {
    for (const bool use : {false, true}) {
        TestEnv env;
        env.writeFile("date/Date2.dat", "kept$TCSPLIT$1\r\n");
        TDateMan store(env.dataDir());
        store.deferLoading({1, 2});
        EXPECT_FALSE(store.isLoaded(1));
        EXPECT_TRUE(store.isLoaded(2)); // no file
        if (use) {
            EXPECT_EQ(store.AddRecord("new$TCSPLIT$2", 1), 1);
        }
        EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
        EXPECT_EQ(env.readFile("date/Date2.dat"),
                  use ? "kept$TCSPLIT$1\r\nnew$TCSPLIT$2\r\n" : "kept$TCSPLIT$1\r\n");
        EXPECT_TRUE(QFile::exists(env.dataDir() + "Date3.dat"));
        // A later start of the reading leaves a category read or changed.
        store.startLoading({1});
        EXPECT_EQ(store.isLoaded(1), use);
        store.ensureLoaded(1);
        EXPECT_EQ(store.RecordCount(1), use ? 2 : 1);
    }
}
