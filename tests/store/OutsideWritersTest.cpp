// The store beside other writers of the category files: a version it did not
// read is merged before a save, never replaced; only what changed is written;
// a move survives a crash between its renames; instances on one machine take
// turns; other tools' temporary files and conflict copies are left alone.
#include "platform/FileIdentity.h"
#include "store/ConflictCopies.h"
#include "store/TDateMan.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <functional>
#include <gtest/gtest.h>

namespace {
const QByteArray kBase = "a$TCSPLIT$1\r\nb$TCSPLIT$2\r\n";

// Writes as another program would, so the store sees a new version.
void renameOver(const TestEnv& env, const QString& name, const QByteArray& bytes) {
    env.writeFile("date/" + name + ".partial", bytes);
    QFile::remove(env.dataDir() + name);
    QFile::rename(env.dataDir() + name + ".partial", env.dataDir() + name);
}
} // namespace

TEST(OutsideWriters, ASaveMergesWhatAnotherWriterLeftAndNeverReplacesIt) {
    struct Case {
        const char* what;
        std::function<void(const TestEnv&)> write;
        QByteArray expected;
    };
    const Case cases[] = {
        {"a sync tool renames a new version over it",
         [](const TestEnv& e) { renameOver(e, "Date1.dat", kBase + "theirs$TCSPLIT$3\r\n"); },
         kBase + "theirs$TCSPLIT$3\r\nours$TCSPLIT$4\r\n"},
        {"an editor rewrites it in place, last line without a break",
         [](const TestEnv& e) { e.writeFile("date/Date1.dat", "b$TCSPLIT$2\r\ntheirs$TCSPLIT$3"); },
         "b$TCSPLIT$2\r\ntheirs$TCSPLIT$3\r\nours$TCSPLIT$4\r\n"},
        {"the same posts written again",
         [](const TestEnv& e) { renameOver(e, "Date1.dat", kBase); }, kBase + "ours$TCSPLIT$4\r\n"},
        {"the file removed", [](const TestEnv& e) { QFile::remove(e.dataDir() + "Date1.dat"); },
         kBase + "ours$TCSPLIT$4\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv env;
        env.writeFile("date/Date1.dat", kBase);
        TDateMan store(env.dataDir());
        store.LoadCategories({0, 1, 2, 3, 4, 5});
        store.AddRecord("ours$TCSPLIT$4", 0);
        c.write(env);
        EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
        EXPECT_EQ(env.readFile("date/Date1.dat"), c.expected);
        EXPECT_FALSE(store.isDirty(0));
        EXPECT_FALSE(store.changedOnDisk(0));
    }
}

// A change that lands between the merge and the rename stops the write; the
// next save merges it.
TEST(OutsideWriters, AVersionWrittenDuringTheSaveIsNotOverwritten) {
    TestEnv env;
    env.writeFile("date/Date1.dat", kBase);
    TDateMan store(env.dataDir());
    store.LoadCategories({0});
    store.AddRecord("ours$TCSPLIT$4", 0);
    const QList<TDateMan::SaveGroup> groups = store.snapshot({0});
    renameOver(env, "Date1.dat", "theirs$TCSPLIT$3\r\n");
    EXPECT_TRUE(store.recordSaved(groups, TDateMan::write(groups)).isEmpty());
    EXPECT_TRUE(store.changedDuringSave());
    EXPECT_EQ(env.readFile("date/Date1.dat"), "theirs$TCSPLIT$3\r\n");
    EXPECT_TRUE(store.isDirty(0));
    EXPECT_TRUE(store.SaveCategories({0}).isEmpty());
    EXPECT_EQ(env.readFile("date/Date1.dat"), "theirs$TCSPLIT$3\r\nours$TCSPLIT$4\r\n");
}

// To a sync tool a rewrite of the same posts is a new version.
TEST(OutsideWriters, OnlyChangedCategoriesAreWrittenAndMissingOnesCreated) {
    TestEnv env;
    for (const char* name : {"Date1.dat", "Date2.dat", "Date3.dat"})
        env.writeFile(QStringLiteral("date/") + name, kBase);
    TDateMan store(env.dataDir());
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    const auto identity = [&](int k) { return FileIdentity::ofPath(store.categoryPath(k)); };
    const auto before1 = identity(0), before3 = identity(2);
    store.AddRecord("new$TCSPLIT$post", 1);
    EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
    EXPECT_EQ(identity(0), before1);
    EXPECT_EQ(identity(2), before3);
    EXPECT_EQ(env.readFile("date/Date2.dat"), kBase + "new$TCSPLIT$post\r\n");
    for (const char* name : {"Date4.dat", "Date5.dat", "Date6.dat"})
        EXPECT_TRUE(env.exists(QStringLiteral("date/") + name)) << name;
}

// A crash between the two renames of a move leaves the post in both files,
// whichever category comes first.
TEST(OutsideWriters, AMoveSurvivesAKillBetweenItsRenames) {
    for (const auto& [from, to] : {std::pair{0, 3}, std::pair{3, 0}}) {
        SCOPED_TRACE(from);
        TestEnv env;
        const QString fromFile = QStringLiteral("date/Date%1.dat").arg(from + 1);
        const QString toFile = QStringLiteral("date/Date%1.dat").arg(to + 1);
        env.writeFile(fromFile, "moved$TCSPLIT$post\r\nstays$TCSPLIT$here\r\n");
        env.writeFile(toFile, "other$TCSPLIT$post\r\n");
        QProcess child;
        child.start(MOVE_AND_DIE_EXE, {env.dataDir(), QString::number(from), QString::number(to)});
        ASSERT_TRUE(child.waitForFinished(30000));
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit)
            << child.readAllStandardError().constData();
        EXPECT_EQ(env.readFile(toFile), "other$TCSPLIT$post\r\nmoved$TCSPLIT$post\r\n");
        EXPECT_TRUE(env.readFile(fromFile).contains("moved$TCSPLIT$post"));
    }
}

// Another instance holds the lock while it checks and renames: a save waits
// for it and then merges its version instead of renaming over it.
TEST(OutsideWriters, InstancesOnOneMachineTakeTurnsUnderTheLock) {
    TestEnv env;
    env.writeFile("date/Date1.dat", kBase);
    TDateMan store(env.dataDir());
    store.LoadCategories({0});
    store.AddRecord("ours$TCSPLIT$4", 0);
    QProcess other;
    other.setWorkingDirectory(env.dataDir());
    other.start("flock", {store.lockPath(), "sh", "-c",
                          "echo held; sleep 1; printf 'theirs$TCSPLIT$3\\r\\n' > t.partial; "
                          "mv t.partial Date1.dat"});
    ASSERT_TRUE(other.waitForReadyRead(10000));
    EXPECT_TRUE(store.SaveCategories({0}).isEmpty());
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_EQ(env.readFile("date/Date1.dat"), "theirs$TCSPLIT$3\r\nours$TCSPLIT$4\r\n");
}

TEST(OutsideWriters, StartUpCleanUpKeepsOtherToolsTemporaryFiles) {
    TestEnv env;
    const QStringList others = {".syncthing.Date1.dat.tmp", "~syncthing~Date1.dat.tmp",
                                ".~lock.Date1.dat#", "Date1.dat.tmp",
                                "Date1.sync-conflict-20261209-101010-ABCDEFG.dat"};
    for (const QString& name : others + QStringList{"Date1.dat.4242-0.tmp", "Date1.dat"})
        env.writeFile("date/" + name, "x");
    TDateMan(env.dataDir()).RemoveStaleTemporaryFiles();
    for (const QString& name : others)
        EXPECT_TRUE(env.exists("date/" + name)) << name.toStdString();
    EXPECT_FALSE(env.exists("date/Date1.dat.4242-0.tmp"));
}

TEST(OutsideWriters, ConflictCopiesOfSyncToolsAreRecognisedAndMovedAside) {
    const std::pair<const char*, int> names[] = {
        {"Date1.sync-conflict-20261209-101010-ABCDEFG.dat", 0},
        {"Date2 (conflicted copy 2026-12-09 101010).dat", 1},
        {"Date6 (Anna's conflicted copy 2026-12-09).dat", 5},
        {"Date3_conflict-20261209-101010.dat", 2},
        {"Date1.dat", -1},
        {"Date7.sync-conflict-20261209-101010-ABCDEFG.dat", -1},
        {"Date1.dat.4242-0.tmp", -1},
        {"notes conflict.dat", -1},
    };
    for (const auto& [name, category] : names)
        EXPECT_EQ(ConflictCopies::categoryOf(QString::fromUtf8(name)), category) << name;

    TestEnv env;
    env.writeFile("date/Date1.sync-conflict-x.dat", "copy");
    const QString folder = env.stateHome() + "vellum/merged/";
    for (int n = 0; n < 2; ++n) {
        env.writeFile("date/Date1.sync-conflict-x.dat", "copy " + QByteArray::number(n));
        EXPECT_EQ(ConflictCopies::find(env.dataDir()),
                  QStringList{env.dataDir() + "Date1.sync-conflict-x.dat"});
        ConflictCopies::moveAside(env.dataDir() + "Date1.sync-conflict-x.dat", folder);
    }
    EXPECT_TRUE(ConflictCopies::find(env.dataDir()).isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::Files),
              (QStringList{"Date1.sync-conflict-x-2.dat", "Date1.sync-conflict-x.dat"}));
}
