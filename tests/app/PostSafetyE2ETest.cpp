// The real program with faults injected: a full disk at close, a kill after a
// background save, odd category files.
#include "tests/app/ProcessHarness.h"
#include "tests/app/XClipboard.h"
#include "tests/support/SmallDisk.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
void capture(XClipboard& clip, const QString& title, const QString& content) {
    clip.put("BBSGETTITLE:" + title);
    EXPECT_TRUE(clip.waitEmpty());
    clip.put("BBSGETCONTENT:" + content);
    EXPECT_TRUE(clip.waitEmpty());
}

QStringList rescueFolders(const TestEnv& env) {
    QStringList out;
    const QDir base(env.stateHome() + "vellum/rescue");
    for (const QString& name : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        out << base.filePath(name) + "/";
    return out;
}
} // namespace

TEST(PostSafety, SigtermWithTheDiskFullWritesTheRescueFolderAndFails) {
    TestEnv env;
    SmallDisk disk(env.dataDir(), 1 << 20);
    if (!disk.ok())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    env.writeFile("date/Date1.dat", "old$TCSPLIT$post\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    disk.fill();
    XClipboard clip(app);
    capture(clip, "new post", "captured while the disk is full");
    EXPECT_NE(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(env.readFile("date/Date1.dat"), "old$TCSPLIT$post\r\n");
    const QStringList rescued = rescueFolders(env);
    ASSERT_EQ(rescued.size(), 1) << app.errors().constData();
    QFile file(rescued[0] + "Date1.dat");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "old$TCSPLIT$post\r\nnew post$TCSPLIT$captured while the disk is full\r\n");
    EXPECT_FALSE(QFileInfo(rescued[0]).permissions() & (QFile::ReadOther | QFile::ReadGroup));

    // The next start names the folder once.
    disk.removeFiller();
    RunningVellum next;
    ASSERT_TRUE(next.start(env)) << next.errors().constData();
    EXPECT_TRUE(QFileInfo::exists(rescued[0] + ".named"));
    next.kill();
}

TEST(PostSafety, PostSavedInTheBackgroundSurvivesSigkill) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XClipboard clip(app);
    QElapsedTimer clock;
    clock.start();
    capture(clip, "kept", "across a kill");
    while (!env.readFile("date/Date1.dat").contains("kept") && clock.elapsed() < 12000)
        QThread::msleep(100);
    EXPECT_LT(clock.elapsed(), 11000);
    app.kill();
    EXPECT_EQ(env.readFile("date/Date1.dat"), "kept$TCSPLIT$across a kill\r\n");
}

TEST(PostSafety, OddCategoryFilesSurviveAStartAndClose) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\ntab1=B\r\ntab2=C\r\n");
    const QByteArray withNul = QByteArray("a$TCSPLIT$1\r\n") + '\0' + QByteArray(1000, 'z');
    env.writeFile("date/Date1.dat", withNul);
    ASSERT_EQ(::mkfifo(QFile::encodeName(env.dataDir() + "Date2.dat"), 0600), 0);
    QFile::link(env.root() + "missing.dat", env.dataDir() + "Date3.dat");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(env.readFile("date/Date1.dat"), withNul);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(env.dataDir() + "Date2.dat"), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(QFileInfo(env.dataDir() + "Date3.dat").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(env.root() + "missing.dat"));
    EXPECT_EQ(env.readFile("date/Date4.dat"), "");
    for (const char* name : {"Date1.dat", "Date2.dat", "Date3.dat"})
        EXPECT_TRUE(app.errors().contains(name)) << name;
}

TEST(PostSafety, UnsavedEditorTextSurvivesSigtermAndTheNextStartNamesIt) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nRetoreMainWin=0\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XClipboard clip(app);
    // A captured title alone is not saved: it is the editor's unsaved text.
    clip.put("BBSGETTITLE:未保存的标题");
    ASSERT_TRUE(clip.waitEmpty());
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(env.readFile("date/Date1.dat"), "");
    const QStringList rescued = rescueFolders(env);
    ASSERT_EQ(rescued.size(), 1) << app.errors().constData();
    QFile file(rescued[0] + QString::fromUtf8("未保存的帖子.qre"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    // GB18030, one post line, as "导入数据..." reads it.
    EXPECT_EQ(file.readAll(), "\xce\xb4\xb1\xa3\xb4\xe6\xb5\xc4\xb1\xea\xcc\xe2$TCSPLIT$\r\n");

    RunningVellum next;
    ASSERT_TRUE(next.start(env)) << next.errors().constData();
    EXPECT_TRUE(QFileInfo::exists(rescued[0] + ".named"));
    next.kill();
}
