// What the store promises so that no post is lost: files it cannot read
// faithfully are never written, changes to them are refused, a move reaches
// the disk in both categories or in neither, a full disk stops only what does
// not fit, and changes are saved in the background.
#include "platform/VellumError.h"
#include "store/BackgroundSaver.h"
#include "store/Rescue.h"
#include "store/TDateMan.h"
#include "tests/support/SmallDisk.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
QByteArray posts(int count, const QByteArray& tag, int size = 100, int from = 0) {
    QByteArray out;
    for (int i = from; i < count; ++i)
        out += tag + QByteArray::number(i) + "$TCSPLIT$" + QByteArray(size, 'x') + "\r\n";
    return out;
}

QStringList temporaryFiles(const QString& dir) {
    return QDir(dir).entryList({"*.tmp"}, QDir::Files | QDir::Hidden);
}
} // namespace

// Each odd file is loaded as far as it can be, named with its category, and
// never written, whatever the store is asked to save.
TEST(KeepingPostsSafe, FileThatCannotBeReadFaithfullyIsNamedAndNeverWritten) {
    struct Case {
        const char* what;
        std::function<void(const TestEnv&)> make;
        int recordsLoaded;
        const char* inMessage;
        std::function<bool(const TestEnv&)> untouched;
    };
    const QByteArray withNul =
        QByteArray("a$TCSPLIT$1\r\nb$TCSPLIT$2\r\n") + '\0' + "c$TCSPLIT$3\r\n";
    const Case cases[] = {
        {"NUL byte", [&](const TestEnv& e) { e.writeFile("date/Date1.dat", withNul); }, 2,
         "第 26 字节", [&](const TestEnv& e) { return e.readFile("date/Date1.dat") == withNul; }},
        {"UTF-16 text",
         [](const TestEnv& e) {
             e.writeFile("date/Date1.dat", QByteArray("\xff\xfe"
                                                      "a\0$\0",
                                                      6));
         },
         1, "第 3 字节", [](const TestEnv& e) { return e.readFile("date/Date1.dat").size() == 6; }},
        {"FIFO",
         [](const TestEnv& e) { ::mkfifo(QFile::encodeName(e.dataDir() + "Date1.dat"), 0600); }, 0,
         "命名管道",
         [](const TestEnv& e) {
             struct stat st {};
             return ::lstat(QFile::encodeName(e.dataDir() + "Date1.dat"), &st) == 0 &&
                    S_ISFIFO(st.st_mode);
         }},
        {"dangling link",
         [](const TestEnv& e) { QFile::link(e.root() + "gone.dat", e.dataDir() + "Date1.dat"); }, 0,
         "符号链接",
         [](const TestEnv& e) {
             return QFileInfo(e.dataDir() + "Date1.dat").isSymLink() &&
                    !QFileInfo::exists(e.root() + "gone.dat");
         }},
        {"folder", [](const TestEnv& e) { QDir().mkpath(e.dataDir() + "Date1.dat"); }, 0, "文件夹",
         [](const TestEnv& e) { return QFileInfo(e.dataDir() + "Date1.dat").isDir(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv env;
        c.make(env);
        TDateMan store(env.dataDir());
        store.setCategoryName(0, QStringLiteral("原创"));
        const QMap<int, QString> errors = store.LoadCategories({0, 1, 2, 3, 4, 5});
        ASSERT_EQ(errors.keys(), QList<int>{0});
        const QString message = errors[0];
        EXPECT_TRUE(message.contains(QStringLiteral("原创"))) << message.toStdString();
        EXPECT_TRUE(message.contains(env.dataDir() + "Date1.dat")) << message.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.inMessage))) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("不能修改"))) << message.toStdString();
        EXPECT_EQ(store.RecordCount(0), c.recordsLoaded);
        EXPECT_TRUE(store.isLocked(0));
        EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
        EXPECT_TRUE(c.untouched(env));
        EXPECT_TRUE(env.exists("date/Date2.dat"));
    }
}

TEST(KeepingPostsSafe, EveryChangeToALockedCategoryIsRefusedWithItsName) {
    TestEnv env;
    env.writeFile("date/Date2.dat", QByteArray("x$TCSPLIT$1\r\n\0tail", 18));
    env.writeFile("date/Date1.dat", "m$TCSPLIT$move me\r\n");
    env.writeFile("import.qre", "i$TCSPLIT$imported\r\n");
    TDateMan store(env.dataDir());
    store.setCategoryName(1, QStringLiteral("转载"));
    store.LoadCategories({0, 1});
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"add", [&] { store.AddRecord("n$TCSPLIT$", 1); }},
        {"replace", [&] { store.ReplaceRecord("n$TCSPLIT$", 0, 1); }},
        {"delete", [&] { store.DeleteRecord(0, 1); }},
        {"clear", [&] { store.ClearCategory(1); }},
        {"import", [&] { store.AppendFromFile(1, env.programDir() + "import.qre"); }},
        {"move in", [&] { store.MoveRecord(0, 0, 1); }},
        {"move out", [&] { store.MoveRecord(0, 1, 0); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        try {
            change();
            ADD_FAILURE() << "not refused";
        } catch (const VellumError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("“转载”")))
                << e.message().toStdString();
        }
        EXPECT_EQ(store.RecordCount(0), 1);
        EXPECT_EQ(store.RecordCount(1), 1);
        EXPECT_FALSE(store.isDirty(0));
        EXPECT_FALSE(store.isDirty(1));
    }
}

TEST(KeepingPostsSafe, EveryChangeMarksItsCategoryUnsavedUntilSaved) {
    TestEnv env;
    env.writeFile("date/Date1.dat", "a$TCSPLIT$1\r\nb$TCSPLIT$2\r\n");
    env.writeFile("import.qre", "i$TCSPLIT$imported\r\n");
    TDateMan store(env.dataDir());
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"add", [&] { store.AddRecord("n$TCSPLIT$", 0); }},
        {"replace", [&] { store.ReplaceRecord("r$TCSPLIT$", 0, 0); }},
        {"delete", [&] { store.DeleteRecord(0, 0); }},
        {"import", [&] { store.AppendFromFile(0, env.programDir() + "import.qre"); }},
        {"move", [&] { store.MoveRecord(0, 0, 3); }},
        {"clear", [&] { store.ClearCategory(0); }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(store.dirtyCategories().isEmpty());
        change();
        EXPECT_TRUE(store.isDirty(0));
        EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
        EXPECT_TRUE(store.dirtyCategories().isEmpty());
    }
    // What changes nothing marks nothing.
    store.AddRecord("", 2);
    store.DeleteRecord(7, 2);
    EXPECT_TRUE(store.dirtyCategories().isEmpty());
}

// A small Date1.dat, a large Date2.dat and a disk with room for only the
// small one: a move between them is on disk in both files or in neither.
TEST(KeepingPostsSafe, MoveThenFailedSaveKeepsBothOldFiles) {
    TestEnv env;
    SmallDisk disk(env.dataDir(), 4 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QByteArray small = "moved$TCSPLIT$the post\r\n" + posts(5, "s");
    const QByteArray large = posts(2000, "l");
    env.writeFile("date/Date1.dat", small);
    env.writeFile("date/Date2.dat", large);
    TDateMan store(env.dataDir());
    store.setCategoryName(0, QStringLiteral("原创"));
    store.setCategoryName(1, QStringLiteral("转载"));
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    ASSERT_EQ(store.MoveRecord(0, 0, 1), 2000);
    disk.leaveFree(large.size() / 2);

    const QStringList errors = store.SaveCategories({0, 1, 2, 3, 4, 5});
    ASSERT_EQ(errors.size(), 2) << errors.join('\n').toStdString();
    EXPECT_TRUE(errors.join('\n').contains(QStringLiteral("磁盘空间不足")));
    EXPECT_TRUE(errors.join('\n').contains(QStringLiteral("“原创”")));
    EXPECT_TRUE(errors.join('\n').contains(QStringLiteral("“转载”")));
    EXPECT_EQ(env.readFile("date/Date1.dat"), small);
    EXPECT_EQ(env.readFile("date/Date2.dat"), large);
    EXPECT_EQ(temporaryFiles(env.dataDir()), QStringList());
    EXPECT_EQ(store.dirtyCategories(), (QList<int>{0, 1}));

    // The user frees room and saves again: the post is in exactly one file.
    disk.removeFiller();
    EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
    EXPECT_FALSE(env.readFile("date/Date1.dat").contains("moved"));
    EXPECT_TRUE(env.readFile("date/Date2.dat").endsWith("moved$TCSPLIT$the post\r\n"));
}

// Categories no operation ties are committed one by one: a disk with room for
// one new file at a time saves them all.
TEST(KeepingPostsSafe, FullDiskStopsOnlyWhatDoesNotFit) {
    TestEnv env;
    SmallDisk disk(env.dataDir(), 4 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QByteArray old = posts(1000, "p");
    for (int k = 1; k <= 3; ++k)
        env.writeFile(QString("date/Date%1.dat").arg(k), old);
    TDateMan store(env.dataDir());
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 500; ++i)
            store.DeleteRecord(0, k);
    // Room for one half-size file, not for three at once.
    disk.leaveFree(old.size() * 3 / 4);
    const QStringList errors = store.SaveCategories({0, 1, 2});
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(env.readFile(QString("date/Date%1.dat").arg(k)), posts(1000, "p", 100, 500)) << k;
    EXPECT_EQ(temporaryFiles(env.dataDir()), QStringList());
}

TEST(KeepingPostsSafe, DataFolderThatCannotBeWrittenIsReportedAtStart) {
    TestEnv env;
    {
        TDateMan store(env.dataDir());
        EXPECT_EQ(store.CheckDataFolder(), QString());
        EXPECT_EQ(
            QDir(env.dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }
    {
        env.writeFile("plain", "a file where the folder should be");
        TDateMan store(env.programDir() + "plain");
        EXPECT_TRUE(store.CheckDataFolder().contains(env.programDir() + "plain"));
    }
    SmallDisk disk(env.dataDir(), 1 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    ASSERT_TRUE(disk.setReadOnly(true));
    TDateMan store(env.dataDir());
    EXPECT_TRUE(store.CheckDataFolder().contains(QStringLiteral("只读")))
        << store.CheckDataFolder().toStdString();
}

TEST(KeepingPostsSafe, InterruptedSaveOfALinkedCategoryLeavesNoTemporaryFiles) {
    TestEnv env;
    env.writeFile("elsewhere/Date1.dat", "a$TCSPLIT$1\r\n");
    env.writeFile("elsewhere/Date1.dat.4242-0.tmp", "half");
    env.writeFile("elsewhere/Date1.dat.4243-1.tmp", "half");
    env.writeFile("elsewhere/Date1.dat.notes.tmp", "not ours");
    QFile::link(env.programDir() + "elsewhere/Date1.dat", env.dataDir() + "Date1.dat");
    TDateMan store(env.dataDir());
    store.RemoveStaleTemporaryFiles();
    EXPECT_EQ(QDir(env.programDir() + "elsewhere").entryList(QDir::Files),
              (QStringList{"Date1.dat", "Date1.dat.notes.tmp"}));
}

TEST(KeepingPostsSafe, RescueGoesToTheFirstFolderThatTakesItAndIsNamedOnce) {
    TestEnv env;
    TDateMan store(env.dataDir());
    store.AddRecord("r$TCSPLIT$rescued", 2);
    const QString blocked = env.root() + "blocked";
    env.writeFile("../blocked", "a file where the folder should be");
    const QString fallback = env.root() + "fallback/";
    const QDateTime when(QDate(2026, 5, 1), QTime(10, 20, 30));
    const QString folder = Rescue::write(store, {2}, {blocked + "/rescue/", fallback}, when);
    EXPECT_EQ(folder, fallback + "2026-05-01_10-20-30/");
    QFile file(folder + "Date3.dat");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "r$TCSPLIT$rescued\r\n");
    EXPECT_EQ(QFileInfo(folder).permissions() & 0x0077, 0);
    EXPECT_EQ(Rescue::write(store, {2}, {fallback}, when), fallback + "2026-05-01_10-20-30-2/");
    EXPECT_EQ(Rescue::takeUnannounced({blocked, fallback}).size(), 2);
    EXPECT_TRUE(Rescue::takeUnannounced({blocked, fallback}).isEmpty());
}

TEST(KeepingPostsSafe, ChangedCategoryIsSavedInTheBackgroundWithinItsDelay) {
    TestEnv env;
    TDateMan store(env.dataDir());
    BackgroundSaver saver(store, 400);
    QSignalSpy finished(&saver, &BackgroundSaver::saveFinished);
    QElapsedTimer clock;
    clock.start();
    // A steady stream of captures every 50 ms does not put the save off.
    int added = 0;
    while (finished.isEmpty() && clock.elapsed() < 3000) {
        store.AddRecord("p" + QByteArray::number(added++) + "$TCSPLIT$", 0);
        QTest::qWait(50);
    }
    ASSERT_EQ(finished.size(), 1);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(env.readFile("date/Date1.dat").startsWith("p0$TCSPLIT$\r\n"));
    // What came during the save is saved by the next one.
    store.AddRecord("last$TCSPLIT$", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !store.isDirty(0); }, 3000));
    EXPECT_TRUE(env.readFile("date/Date1.dat").endsWith("last$TCSPLIT$\r\n"));
}

TEST(KeepingPostsSafe, FailedBackgroundSaveIsShownOnceAndRetriedAtTheNextChange) {
    TestEnv env;
    SmallDisk disk(env.dataDir(), 1 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    TDateMan store(env.dataDir());
    BackgroundSaver saver(store, 100);
    QSignalSpy failed(&saver, &BackgroundSaver::saveFailed);
    QSignalSpy finished(&saver, &BackgroundSaver::saveFinished);
    disk.leaveFree(0);
    store.AddRecord(QByteArray(64 << 10, 'a') + "$TCSPLIT$", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 1; }, 3000));
    EXPECT_EQ(failed.size(), 1);
    store.AddRecord("b$TCSPLIT$", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 3000));
    EXPECT_EQ(failed.size(), 1); // the same failure is not shown again
    EXPECT_TRUE(store.isDirty(0));
    disk.removeFiller();
    store.AddRecord("c$TCSPLIT$", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 3; }, 3000));
    EXPECT_FALSE(store.isDirty(0));
    EXPECT_EQ(store.RecordCount(0), 3);
    EXPECT_TRUE(env.readFile("date/Date1.dat").endsWith("c$TCSPLIT$\r\n"));
}
