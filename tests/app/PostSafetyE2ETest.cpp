// The real program with faults injected: a full disk at close, a kill after a
// background save, odd category files.
#include "tests/app/ProcessHarness.h"
#include "tests/app/XClipboard.h"
#include "tests/support/SmallDisk.h"

#include "platform/CaptureChannel.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <csignal>
#include <functional>

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

namespace {
// Runs a command on the program's display.
QByteArray onDisplay(const RunningVellum& app, const QString& program, const QStringList& args) {
    QProcess p;
    QProcessEnvironment pe = app.xEnvironment();
    pe.insert("LC_ALL", "C.UTF-8"); // window names are UTF-8
    p.setProcessEnvironment(pe);
    p.start(program, args);
    if (!p.waitForFinished(30000))
        p.kill();
    return p.readAllStandardOutput().trimmed();
}
} // namespace

// Logging out while "保存失败" waits for an answer: nobody will answer, so the
// signal writes the rescue folder and ends the program with status 1.
TEST(PostSafety, SignalWhileTheSaveFailureBoxIsOpenWritesTheRescueFolder) {
    if (QStandardPaths::findExecutable("openbox").isEmpty())
        GTEST_SKIP() << "openbox is not installed";
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TestEnv env;
        SmallDisk disk(env.dataDir(), 1 << 20);
        if (!disk.ok())
            GTEST_SKIP() << "no tmpfs can be mounted here";
        env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
        RunningVellum app;
        ASSERT_TRUE(app.start(env, {"VELLUM_TEST_DESKTOP=openbox --sm-disable >/dev/null 2>&1 & "
                                    "sleep 1"}))
            << app.errors().constData();
        disk.fill();
        QString error;
        for (const QByteArray command : {"BBSGETTITLE:unsaved", "BBSGETCONTENT:on a full disk"})
            ASSERT_EQ(sendCaptureCommand(env.runtimeDir(), command, 20000, &error),
                      Handover::Queued)
                << error.toStdString();
        // The user closes the window (the window manager's Alt+F4), before
        // the background save would report the full disk on its own.
        const QByteArray window =
            onDisplay(app, "xdotool", {"search", "--onlyvisible", "--class", "vellum"})
                .split('\n')
                .first();
        QByteArray box;
        for (int attempt = 0; attempt < 5 && box.isEmpty(); ++attempt) {
            onDisplay(app, "xdotool", {"windowactivate", "--sync", window});
            onDisplay(app, "xdotool", {"key", "--clearmodifiers", "alt+F4"});
            box = onDisplay(app, "timeout",
                            {"1.5", "xdotool", "search", "--sync", "--name", "保存失败"});
        }
        ASSERT_FALSE(box.isEmpty())
            << "the save failure box did not open; windows: "
            << onDisplay(app, "xdotool", {"search", "--name", ".", "getwindowname", "%@"})
                   .constData()
            << app.errors().constData();
        app.signal(signal);
        EXPECT_EQ(app.waitForExit(30000), 1) << app.errors().constData();
        const QStringList rescued = rescueFolders(env);
        ASSERT_EQ(rescued.size(), 1) << app.errors().constData();
        QFile file(rescued[0] + "Date1.dat");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "unsaved$TCSPLIT$on a full disk\r\n");
    }
}

// A start that cannot go on says why in a message box, not only on standard
// error: started from the menu, nobody would see it.
TEST(PostSafety, RefusedStartShowsItsReasonInABox) {
    const struct {
        const char* what;
        std::function<void(const TestEnv&)> plant;
        const char* expected;
    } cases[] = {
        {"a runtime folder that is a link",
         [](const TestEnv& e) {
             QDir().mkpath(e.root() + "other");
             QFile::link(e.root() + "other", e.runtimeBase() + "vellum");
         },
         "符号链接"},
        {"a lock that is a folder",
         [](const TestEnv& e) { QDir().mkpath(e.runtimeDir() + "QUIREV3.0.lock"); },
         "是一个文件夹"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnv env;
        c.plant(env);
        QProcess p;
        QProcessEnvironment pe = env.processEnvironment();
        pe.insert("LSAN_OPTIONS", "suppressions=" VELLUM_SOURCE_DIR "/tests/lsan.supp");
        pe.remove("QT_QPA_PLATFORM");
        p.setProcessEnvironment(pe);
        // The box is found by its caption, then the program is ended.
        p.start("xvfb-run", {"-a", "sh", "-c",
                             "\"$0\" & pid=$!; "
                             "w=$(timeout 30 xdotool search --sync --name '^Vellum$' | head -n 1); "
                             "[ -n \"$w\" ] && echo 'box shown' >&2; kill $pid; wait $pid",
                             VELLUM_EXE});
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString errors = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_TRUE(errors.contains("box shown")) << errors.toStdString();
        EXPECT_TRUE(errors.contains(QString::fromUtf8(c.expected))) << errors.toStdString();
    }
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
