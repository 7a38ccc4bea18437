#include "platform/VellumError.h"
#include "store/CategoryFile.h"
#include "store/RuleExport.h"
#include "store/TDateMan.h"
#include "tests/support/ReadOnlyFolder.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QList<QByteArray> records(const TDateMan& store, int k) {
    return store.Records(k);
}
} // namespace

TEST(DataFile, ExportThenImportGivesTheSamePostsByteForByte) {
    struct Case {
        const char* what;
        QByteArray file; // a category file as written by the program
        int count;
    } cases[] = {
        {"empty category", "", 0},
        {"GBK posts",
         "\xd6\xd0\xce\xc4$TCSPLIT$\xc4\xda\xc8\xdd$1310$x\r\n"
         "\x81\x5c$TCSPLIT$\xfe\x40\r\n",
         2},
        {"empty lines and lines without separator", "\r\nplain line\r\n\r\nt$TCSPLIT$c\r\n", 4},
        {"bytes that are not GB18030", "bad \x81\xff\x80$TCSPLIT$\xfe\r\n", 1},
        {"separator inside content", "t$TCSPLIT$a$TCSPLIT$b\r\n", 1},
    };
    for (const Case& c : cases) {
        TestEnv env;
        env.writeFile("date/Date1.dat", c.file);
        TDateMan store(env.dataDir());
        ASSERT_EQ(store.LoadCategory(0), c.count) << c.what;
        const QString qre = env.root() + "out.qre";
        store.SaveCategoryAs(0, qre);
        EXPECT_EQ(readBytes(qre), c.file) << c.what;
        EXPECT_EQ(store.AppendFromFile(1, qre), c.count) << c.what;
        EXPECT_EQ(records(store, 1), records(store, 0)) << c.what;
        store.SaveCategoryAs(1, env.root() + "again.qre");
        EXPECT_EQ(readBytes(env.root() + "again.qre"), c.file) << c.what;
    }
}

TEST(DataFile, ImportAddsEveryLineAgainEvenWhenAlreadyThere) {
    TestEnv env;
    TDateMan store(env.dataDir());
    const QString qre = env.root() + "in.qre";
    // No final line break: the last line is still a post.
    writeBytes(qre, "a$TCSPLIT$1\r\n\r\nno separator\nb$TCSPLIT$2\rlast$TCSPLIT$3");
    const QList<QByteArray> once = {"a$TCSPLIT$1", "", "no separator", "b$TCSPLIT$2",
                                    "last$TCSPLIT$3"};
    store.AddRecord("kept$TCSPLIT$0", 2);
    EXPECT_EQ(store.AppendFromFile(2, qre), 6);
    EXPECT_EQ(store.AppendFromFile(2, qre), 11);
    EXPECT_EQ(records(store, 2), QList<QByteArray>{"kept$TCSPLIT$0"} + once + once);
    EXPECT_EQ(store.AppendFromFile(4, qre), 5);
    EXPECT_EQ(records(store, 4), once);
}

TEST(DataFile, ImportOfAMissingFileChangesNothing) {
    TestEnv env;
    TDateMan store(env.dataDir());
    store.AddRecord("a$TCSPLIT$1", 0);
    for (const QString& path :
         {env.root() + "missing.qre", env.root() + "no/folder/x.qre", QString()}) {
        EXPECT_EQ(store.AppendFromFile(0, path), 0) << path.toStdString();
        EXPECT_EQ(records(store, 0), QList<QByteArray>{"a$TCSPLIT$1"});
    }
}

TEST(DataFile, ImportOfAFifoADeviceOrAFolderIsRefused) {
    TestEnv env;
    const QString fifo = env.root() + "pipe.qre";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir().mkpath(env.root() + "folder.qre");
    TDateMan store(env.dataDir());
    store.AddRecord("a$TCSPLIT$1", 0);
    for (const QString& path : {fifo, QStringLiteral("/dev/zero"), env.root() + "folder.qre"}) {
        try {
            store.AppendFromFile(0, path);
            ADD_FAILURE() << "imported " << path.toStdString();
        } catch (const VellumError& e) {
            EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(QStringLiteral("不是普通文件")));
        }
        EXPECT_EQ(records(store, 0), QList<QByteArray>{"a$TCSPLIT$1"});
    }
}

TEST(DataFile, ImportOfAFileLargerThanMemoryIsRefused) {
    TestEnv env;
    // Sparse: as large as twice the memory, without taking any disk space.
    const QString huge = env.root() + "huge.qre";
    const qint64 memory = qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(memory * 2));
    }
    TDateMan store(env.dataDir());
    try {
        store.AppendFromFile(0, huge);
        ADD_FAILURE() << "imported a file larger than memory";
    } catch (const VellumError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("太大"))) << e.message().toStdString();
    }
    EXPECT_EQ(store.RecordCount(0), 0);
}

TEST(DataFile, ImportReportsItsProgressUpToTheEnd) {
    TestEnv env;
    struct Progress : ProgressIndicator {
        int max = -1;
        QList<int> steps;
        void setMinimum(int) override {}
        void setMaximum(int v) override { max = v; }
        void setPosition(int v) override { steps << v; }
    } progress;
    const QString qre = env.root() + "big.qre";
    QByteArray data;
    for (int i = 0; i < 200000; ++i)
        data += "title " + QByteArray::number(i) + "$TCSPLIT$" + QByteArray(40, 'c') + "\r\n";
    writeBytes(qre, data);
    TDateMan store(env.dataDir());
    EXPECT_EQ(store.AppendFromFile(0, qre, &progress), 200000);
    EXPECT_GT(progress.steps.size(), 1); // more than one step for a file of many chunks
    EXPECT_TRUE(std::is_sorted(progress.steps.begin(), progress.steps.end()));
    EXPECT_EQ(progress.steps.last(), progress.max);
}

TEST(DataFile, ExportIntoAReadOnlyFolderFailsAndLeavesNoFile) {
    TestEnv env;
    TDateMan store(env.dataDir());
    store.AddRecord("a$TCSPLIT$1", 0);
    const ReadOnlyFolder folder(env.root() + "locked");
    ASSERT_TRUE(folder.holds());
    const QString qre = folder.file("out.qre");
    const QString txt = folder.file("out.txt");
    EXPECT_THROW(store.SaveCategoryAs(0, qre), VellumError);
    EXPECT_THROW(CategoryFile::writeLines(qre, store.Records(0), nullptr), VellumError);
    EXPECT_THROW(store.ExportWithRule(0, txt, "$title", false, nullptr), VellumError);
    EXPECT_THROW(ExportRuleToFile(store.Records(0), txt, "$title", true), VellumError);
    EXPECT_TRUE(QDir(env.root() + "locked").isEmpty());
    EXPECT_EQ(records(store, 0), QList<QByteArray>{"a$TCSPLIT$1"});
}

TEST(DataFile, AFailedExportKeepsTheOldFileWhole) {
    TestEnv env;
    TDateMan store(env.dataDir());
    store.AddRecord("new$TCSPLIT$post", 0);
    const QString target = env.root() + "locked/old.qre";
    QDir().mkpath(env.root() + "locked");
    writeBytes(target, "old$TCSPLIT$file\r\n");
    const ReadOnlyFolder folder(env.root() + "locked");
    ASSERT_TRUE(folder.holds());
    EXPECT_THROW(store.SaveCategoryAs(0, target), VellumError);
    EXPECT_EQ(readBytes(target), "old$TCSPLIT$file\r\n");
}

// A disk that fills up part-way through a custom export, while later parts
// are still being expanded: the export fails, the old file stays whole and
// no temporary file is left.
TEST(DataFile, ACustomExportThatRunsOutOfDiskKeepsTheOldFile) {
    TestEnv env;
    QList<QByteArray> lines;
    for (int i = 0; i < 20000; ++i)
        lines << "title " + QByteArray::number(i) + "$TCSPLIT$" + QByteArray(1000, 'c');
    const QString target = env.root() + "out.txt";
    writeBytes(target, "old export\r\n");
    // A file-size limit makes write() fail part-way, as a full disk does.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 6 << 20; // of the 20 MB the export writes
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(ExportRuleToFile(lines, target, "$title:$content", false), VellumError);
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(readBytes(target), "old export\r\n");
    EXPECT_EQ(QDir(env.root()).entryList({"out.txt.*"}, QDir::Files), QStringList());
}
