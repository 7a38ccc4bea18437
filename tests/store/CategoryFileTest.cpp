#include "store/CategoryFile.h"
#include "platform/VellumError.h"
#include "store/TDateMan.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

TEST(CategoryFile, ReadingRulesSplitRecords) {
    struct Case {
        QByteArray data;
        QList<QByteArray> records;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\n", {"a", ""}},
        {"\r\n", {""}},
        {QByteArray("a\r\nb\0c\r\nd", 9), {"a", "b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CategoryFile::splitLines(c.data), c.records) << c.data.toHex().constData();
}

TEST(CategoryFile, LoadAndSaveKeepEveryByteButTheBreaks) {
    TestEnv env;
    // GBK Chinese, an empty line, a lone CR, bytes that are not GB18030, and
    // no break after the last line.
    const QByteArray original = "\xd6\xd0\xce\xc4$TCSPLIT$\xc4\xda\xc8\xdd$1310$x\r\n"
                                "\r\n"
                                "cr only$TCSPLIT$y\r"
                                "bad \x81\xff\x80 bytes$TCSPLIT$\xfe"
                                "\n"
                                "last$TCSPLIT$z";
    env.writeFile("date/Date2.dat", original);
    TDateMan store(env.dataDir());
    ASSERT_EQ(store.LoadCategory(1), 5);
    EXPECT_EQ(store.record(1, 1), "");
    EXPECT_EQ(store.record(1, 3), "bad \x81\xff\x80 bytes$TCSPLIT$\xfe");
    // Saved unchanged, the file is left as it is; once changed, it is
    // written in the file format.
    store.SaveCategory(1);
    EXPECT_EQ(env.readFile("date/Date2.dat"), original);
    store.ReplaceRecord(store.record(1, 0), 0, 1);
    store.SaveCategory(1);
    EXPECT_EQ(env.readFile("date/Date2.dat"), "\xd6\xd0\xce\xc4$TCSPLIT$\xc4\xda\xc8\xdd$1310$x\r\n"
                                              "\r\n"
                                              "cr only$TCSPLIT$y\r\n"
                                              "bad \x81\xff\x80 bytes$TCSPLIT$\xfe\r\n"
                                              "last$TCSPLIT$z\r\n");
    // An empty category is a zero-byte file; a missing one is created.
    store.SaveCategory(3);
    EXPECT_TRUE(env.exists("date/Date4.dat"));
    EXPECT_EQ(env.readFile("date/Date4.dat").size(), 0);
    // Import appends a data file's lines; export writes the same format.
    const QString qre = env.root() + "x.qre";
    store.SaveCategoryAs(1, qre);
    EXPECT_EQ(store.AppendFromFile(1, qre), 10);
    EXPECT_EQ(store.record(1, 9), "last$TCSPLIT$z");
}

TEST(CategoryFile, FailedWriteLeavesTheOldFileWhole) {
    TestEnv env;
    env.writeFile("date/Date1.dat", "old$TCSPLIT$post\r\n");
    TDateMan store(env.dataDir());
    store.LoadCategory(0);
    store.AddRecord("new$TCSPLIT$" + QByteArray(64 * 1024, 'x'), 0);
    // A file-size limit makes the write fail part way, as a full disk would.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    bool threw = false;
    try {
        store.SaveCategory(0);
    } catch (const VellumError& e) {
        threw = true;
        EXPECT_TRUE(e.message().contains("Date1.dat"));
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(threw);
    EXPECT_EQ(env.readFile("date/Date1.dat"), "old$TCSPLIT$post\r\n");
    EXPECT_EQ(QDir(env.dataDir()).entryList(QDir::Files), QStringList{"Date1.dat"});
}

TEST(CategoryFile, UnreadableFileRaisesAndKeepsTheCategory) {
    TestEnv env;
    QDir().mkpath(env.dataDir() + "Date5.dat"); // exists, but is no file
    TDateMan store(env.dataDir());
    store.AddRecord("kept$TCSPLIT$", 4);
    EXPECT_THROW(store.LoadCategory(4), VellumError);
    EXPECT_EQ(store.RecordCount(4), 1);
}

TEST(CategoryFile, AllCategoriesLoadAndSaveTogetherWithErrorsKeptApart) {
    TestEnv env;
    env.writeFile("date/Date1.dat", "a$TCSPLIT$1\nb$TCSPLIT$2");
    env.writeFile("date/Date6.dat", "f$TCSPLIT$6\r\n");
    QDir().mkpath(env.dataDir() + "Date3.dat"); // cannot be read, cannot be replaced
    // A linked category file: the file it points to is replaced, the link stays.
    env.writeFile("real/Date2.dat", "linked$TCSPLIT$x\r\n");
    QFile::link(env.programDir() + "real/Date2.dat", env.dataDir() + "Date2.dat");
    QFile::setPermissions(env.dataDir() + "Date6.dat", QFile::ReadOwner | QFile::WriteOwner);

    TDateMan store(env.dataDir());
    store.AddRecord("kept$TCSPLIT$", 2);
    const QMap<int, QString> loadErrors = store.LoadCategories({0, 1, 2, 3, 4, 5});
    ASSERT_EQ(loadErrors.keys(), QList<int>{2});
    EXPECT_TRUE(loadErrors[2].contains("Date3.dat"));
    EXPECT_EQ(store.RecordCount(0), 2);
    EXPECT_EQ(store.RecordCount(1), 1);
    EXPECT_EQ(store.RecordCount(2), 1); // unchanged by the failed load
    EXPECT_EQ(store.RecordCount(3), 0);

    store.AddRecord("new$TCSPLIT$post", 1);
    // The unreadable category is locked: it is skipped, not reported again.
    EXPECT_TRUE(store.isLocked(2));
    EXPECT_TRUE(store.SaveCategories({0, 1, 2, 3, 4, 5}).isEmpty());
    // Unchanged, so not rewritten.
    EXPECT_EQ(env.readFile("date/Date1.dat"), "a$TCSPLIT$1\nb$TCSPLIT$2");
    EXPECT_TRUE(QFileInfo(env.dataDir() + "Date2.dat").isSymLink());
    EXPECT_EQ(env.readFile("real/Date2.dat"), "linked$TCSPLIT$x\r\nnew$TCSPLIT$post\r\n");
    EXPECT_EQ(env.readFile("date/Date4.dat"), "");
    const auto perms = QFile::permissions(env.dataDir() + "Date6.dat");
    EXPECT_TRUE(perms & QFile::ReadOwner);
    EXPECT_FALSE(perms & (QFile::ReadGroup | QFile::ReadOther));
    // No temporary file is left behind, whatever failed.
    EXPECT_EQ(QDir(env.dataDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"Date1.dat", "Date2.dat", "Date3.dat", "Date4.dat", "Date5.dat",
                           "Date6.dat"}));
}

TEST(CategoryFile, TemporaryFilesOfAnInterruptedSaveAreRemoved) {
    TestEnv env;
    env.writeFile("date/Date1.dat", "kept$TCSPLIT$1\r\n");
    env.writeFile("date/Date1.dat.4242-0.tmp", "half a sa");
    env.writeFile("date/notes.tmp", "not ours");
    TDateMan store(env.dataDir());
    store.RemoveStaleTemporaryFiles();
    EXPECT_EQ(QDir(env.dataDir()).entryList(QDir::Files), (QStringList{"Date1.dat", "notes.tmp"}));
    EXPECT_EQ(store.LoadCategory(0), 1);
}
