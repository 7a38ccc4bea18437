#include "net/DownloadNaming.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
void touch(const QString& path, const QByteArray& data = {}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}
} // namespace

TEST(DownloadNaming, TitleFolderNeverLeavesTheSaveFolder) {
    const struct {
        QString title;
        QString folder;
    } cases[] = {
        {"a/b*c", "abc"}, {"a\\b", "ab"},       {"", ""},       {".", ""}, {"..", ""}, {"/..", ""},
        {"../x", "..x"},  {" 新帖 ", " 新帖 "}, {"...", "..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TitleFolderName(c.title), c.folder) << c.title.toStdString();
    const QString longTitle(200, QChar(0x4E2D)); // 600 bytes in UTF-8
    const QString cut = TitleFolderName(longTitle);
    EXPECT_EQ(QFile::encodeName(cut).size(), 255);
    EXPECT_TRUE(longTitle.startsWith(cut));
}

TEST(DownloadNaming, FileNamesAndFolders) {
    const struct {
        QString address;
        QString name;
    } names[] = {
        {"http://a.com/x/pic.gif", "pic.gif"},
        {"http://a.com/x/a b.gif", "a b.gif"},
        {"http://a.com/x\\y.jpg", "y.jpg"},
        {"http://a.com.gif", "a.com.gif"},
        // The system would end the name at the NUL, naming the parent folder.
        {QStringLiteral("http://a/..") + QChar(0) + "x.gif", "..x.gif"},
        {"http://a/..", ""},
        {"http://a/.", ""},
    };
    for (const auto& c : names)
        EXPECT_EQ(FileNameFromAddress(c.address), c.name);
    const QString longName = "http://a.com/" + QString(300, 'x') + ".gif";
    EXPECT_EQ(FileNameFromAddress(longName), QString(251, 'x') + ".gif");

    const struct {
        QString name;
        int n;
        QString numbered;
    } numbered[] = {
        {"pic.gif", 1, "pic001.gif"},
        {"pic.gif", 9, "pic009.gif"},
        {"pic.gif", 10, "pic0010.gif"},
        {"a.b.png", 2, "a.b002.png"},
        {"noext", 3, "noext003"},
        {QString(251, 'x') + ".gif", 12, QString(247, 'x') + "0012.gif"},
    };
    for (const auto& c : numbered)
        EXPECT_EQ(NumberedFileName(c.name, c.n), c.numbered) << c.name.toStdString();

    EXPECT_EQ(DownloadFolder("/s", "t"), "/s/t");
    EXPECT_EQ(DownloadFolder("/s/", "t"), "/s/t");
    EXPECT_EQ(DownloadFolder("/s", ""), "/s");
}

TEST(DownloadNaming, WindowsOrMissingSaveFolderMeansDownloads) {
    TestEnv env; // HOME is the test's own
    const QString downloads = QDir::homePath() + "/Downloads";
    const struct {
        QString stored;
        QString folder;
    } cases[] = {
        {"", downloads},   {"c:\\", downloads},        {"D:/pics", downloads},
        {"C:", downloads}, {"/srv/pics", "/srv/pics"}, {"c.d/x", "c.d/x"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EffectiveSaveFolder(c.stored), c.folder) << c.stored.toStdString();
}

TEST(DownloadNaming, ExistingFilesAndLinksAreNeverOverwritten) {
    QTemporaryDir dir;
    const QString d = dir.path() + "/";
    touch(d + "pic.gif", "old");
    for (int n = 1; n <= 9; ++n)
        touch(d + QString("pic00%1.gif").arg(n), "old");
    QString path;
    int fd = CreateUniqueFile(dir.path(), "pic.gif", &path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(path, d + "pic0010.gif");

    // A link in the way, even a dangling one, is skipped and not followed.
    touch(d + "target", "keep");
    ASSERT_EQ(::symlink(QFile::encodeName(d + "target").constData(),
                        QFile::encodeName(d + "a.gif").constData()),
              0);
    ASSERT_EQ(::symlink("/nonexistent/file", QFile::encodeName(d + "a001.gif").constData()), 0);
    fd = CreateUniqueFile(dir.path(), "a.gif", &path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "new", 3), 3);
    ::close(fd);
    EXPECT_EQ(path, d + "a002.gif");
    QFile target(d + "target");
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "keep");

    EXPECT_LT(CreateUniqueFile(d + "missing", "a.gif", &path), 0);
}

TEST(DownloadNaming, ConcurrentEqualNamesEachGetAFileOfTheirOwn) {
    QTemporaryDir dir;
    constexpr int kThreads = 16;
    std::vector<QString> paths(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            const int fd = CreateUniqueFile(dir.path(), "a.gif", &paths[i]);
            if (fd >= 0)
                ::close(fd);
        });
    for (std::thread& t : threads)
        t.join();
    QStringList unique(paths.begin(), paths.end());
    unique.removeDuplicates();
    EXPECT_EQ(unique.size(), kThreads);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), kThreads);
    EXPECT_TRUE(unique.contains(dir.path() + "/a.gif"));
    EXPECT_TRUE(unique.contains(dir.path() + "/a0015.gif"));
}
