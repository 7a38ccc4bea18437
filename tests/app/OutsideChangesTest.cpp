// The real window beside an outside writer (a second process): what the
// writer leaves in a category file is merged while the program runs, the
// selection and the editor's text stay, and after the close every post of
// both sides is in the file.
#include "tests/app/MainWindowHarness.h"

#include <QDir>
#include <QProcess>

namespace {
const QByteArray kA = "a$TCSPLIT$1", kB = "b$TCSPLIT$2", kOurs = "ours$TCSPLIT$mine";

// Runs a shell command in the data folder, as a sync tool or an editor would
// write there, and waits for it.
void outsideWriter(const TestEnv& env, const QString& script) {
    QProcess sh;
    sh.setWorkingDirectory(env.dataDir());
    sh.start("sh", {"-c", script});
    ASSERT_TRUE(sh.waitForFinished(30000));
    ASSERT_EQ(sh.exitCode(), 0) << sh.readAllStandardError().constData();
}

QList<QByteArray> fileLines(const TestEnv& env, const QString& name) {
    QList<QByteArray> lines = env.readFile("date/" + name).split('\n');
    for (QByteArray& l : lines)
        l = l.trimmed();
    lines.removeAll(QByteArray());
    return lines;
}
} // namespace

class OutsideChanges : public MainWindowHarness {
  protected:
    void SetUp() override {
        writeConfig({QStringLiteral("原创")});
        env.writeFile("date/Date1.dat", kA + "\r\n" + kB + "\r\n");
        start();
    }
    // An unsaved post in memory, then the post b open in the editor with
    // text the user has not saved.
    void editLocally() {
        click("btnNew");
        title()->setText("ours");
        memo()->setPlainText("mine");
        click("btnSave");
        userSelect(0, 1);
        memo()->setPlainText("typed, not saved");
    }
    bool showsPost(const QString& t) {
        for (int r = 0; r < rows(0); ++r)
            if (rowText(0, r) == t)
                return true;
        return false;
    }
};

TEST_F(OutsideChanges, EachKindOfOutsideWriteIsMergedWhileRunningAndKeptAtClose) {
    struct Case {
        const char* what;
        const char* script;
        QByteArray theirs;
    };
    const Case cases[] = {
        {"a sync tool renames its version over the file",
         "printf 'a$TCSPLIT$1\\r\\nb$TCSPLIT$2\\r\\ntheirs$TCSPLIT$3\\r\\n' > "
         ".syncthing.Date1.dat.tmp && mv .syncthing.Date1.dat.tmp Date1.dat",
         "theirs$TCSPLIT$3"},
        {"an editor rewrites it in place",
         "printf 'theirs$TCSPLIT$3\\r\\na$TCSPLIT$1\\r\\nb$TCSPLIT$2\\r\\n' > Date1.dat",
         "theirs$TCSPLIT$3"},
        {"the file grows while it is written, the last line without a break",
         "printf 'a$TCSPLIT$1\\r\\nb$TCSPLIT$2\\r\\n' >> Date1.dat.new && cp Date1.dat.new "
         "Date1.dat && rm Date1.dat.new; sleep 0.4; printf 'theirs$TCSPLIT$' >> Date1.dat; "
         "sleep 0.4; printf 'grown' >> Date1.dat",
         "theirs$TCSPLIT$grown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!win)
            SetUp();
        editLocally();
        outsideWriter(env, c.script);
        ASSERT_TRUE(QTest::qWaitFor([&] { return showsPost("theirs"); }, 15000));
        // The list follows; the post in the editor and its unsaved text stay.
        EXPECT_EQ(rowText(0, selected(0)), "b");
        EXPECT_EQ(memo()->toPlainText(), "typed, not saved");
        win->closeSequence(true);
        const QList<QByteArray> lines = fileLines(env, "Date1.dat");
        for (const QByteArray& post : {kA, kB, kOurs, c.theirs})
            EXPECT_EQ(lines.count(post), 1) << post.constData();
        EXPECT_EQ(lines.size(), 4);
        win.reset();
        env.writeFile("date/Date1.dat", kA + "\r\n" + kB + "\r\n");
    }
}

TEST_F(OutsideChanges, APostChangedOnBothSidesKeepsBothVersionsAndTellsTheUser) {
    userSelect(0, 1);
    memo()->setPlainText("changed here");
    click("btnSave");
    ModalAnswer told;
    told.press();
    outsideWriter(env, "printf 'a$TCSPLIT$1\\r\\nb$TCSPLIT$changed there\\r\\n' > x.tmp && "
                       "mv x.tmp Date1.dat");
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.answered; }, 15000));
    EXPECT_EQ(told.seenText, "「原创」：1个帖子在别处也被修改，两份都已保留。");
    win->closeSequence(true);
    EXPECT_EQ(fileLines(env, "Date1.dat"),
              (QList<QByteArray>{kA, "b$TCSPLIT$changed there", "b$TCSPLIT$changed here"}));
}

TEST_F(OutsideChanges, ConflictCopiesAreOfferedAtStartAndWhenTheyAppear) {
    const QString merged = env.stateHome() + "vellum/merged/";
    // The harness started the window already; a copy left before the start
    // is offered by the next one.
    win->closeSequence(true);
    win.reset();
    env.writeFile("date/Date1 (conflicted copy 2026-12-09 101010).dat",
                  kA + "\r\nfrom nextcloud$TCSPLIT$x\r\n");
    ModalAnswer atStart;
    atStart.press();
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return atStart.answered; }, 5000));
    EXPECT_TRUE(atStart.seenText.contains("Date1 (conflicted copy 2026-12-09 101010).dat"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return showsPost("from nextcloud"); }, 2000));

    ModalAnswer appeared;
    appeared.press();
    outsideWriter(env, "printf 'b$TCSPLIT$2\\r\\nfrom syncthing$TCSPLIT$y\\r\\n' > "
                       ".syncthing.tmp && mv .syncthing.tmp "
                       "Date1.sync-conflict-20261209-101010-ABCDEFG.dat");
    ASSERT_TRUE(QTest::qWaitFor([&] { return appeared.answered; }, 15000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return showsPost("from syncthing"); }, 2000));
    win->closeSequence(true);
    EXPECT_EQ(fileLines(env, "Date1.dat"),
              (QList<QByteArray>{kA, kB, "from nextcloud$TCSPLIT$x", "from syncthing$TCSPLIT$y"}));
    const QStringList left = {"Date1.dat", "Date2.dat", "Date3.dat",
                              "Date4.dat", "Date5.dat", "Date6.dat"};
    EXPECT_EQ(QDir(env.dataDir()).entryList(QDir::Files), left);
    EXPECT_EQ(QDir(merged).entryList(QDir::Files).size(), 2);
}

// "撤销删除" puts the post back after the post that preceded it, wherever the
// outside version moved that one.
TEST_F(OutsideChanges, UndoOfADeletionFollowsTheMergedList) {
    userSelect(0, 1);
    click("btnDel");
    outsideWriter(env,
                  "printf 'theirs$TCSPLIT$3\\r\\na$TCSPLIT$1\\r\\nb$TCSPLIT$2\\r\\n' > x.tmp && "
                  "mv x.tmp Date1.dat");
    ASSERT_TRUE(QTest::qWaitFor([&] { return showsPost("theirs"); }, 15000));
    win->UndoDeletion();
    EXPECT_EQ(rows(0), 3);
    EXPECT_EQ(rowText(0, 0), "theirs");
    EXPECT_EQ(rowText(0, 1), "a");
    EXPECT_EQ(rowText(0, 2), "b");
}
