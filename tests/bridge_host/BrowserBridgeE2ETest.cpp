// The bridge with the real program: what a start leaves for the browsers, and
// the host starting the program that is not running.
#include "bridge/BrowserRegistration.h"
#include "bridge/HostManifests.h"
#include "platform/AnsiCodePage.h"
#include "platform/KeyStore.h"
#include "platform/SharedTextBlock.h"
#include "tests/app/ProcessHarness.h"
#include "tests/bridge_host/HostProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {
bool waitFor(const std::function<bool()>& condition, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(50);
    }
    return condition();
}

QString blockText(const TestEnv& env) {
    const std::optional<QByteArray> text = SharedTextBlock::readText(env.runtimeDir());
    return text ? AnsiCodePage::toUnicode(*text) : QString();
}

// The program that runs in this test's folders, found by its executable and
// its VELLUM_HOME: it is not our child, so there is no handle to it.
pid_t findProgram(const TestEnv& env) {
    const QString exe = QFileInfo(VELLUM_EXE).canonicalFilePath();
    const QByteArray home = "VELLUM_HOME=" + QFile::encodeName(env.programDir());
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        if (!numeric || QFileInfo("/proc/" + entry + "/exe").symLinkTarget() != exe)
            continue;
        QFile environ("/proc/" + entry + "/environ");
        if (!environ.open(QIODevice::ReadOnly))
            continue;
        if (environ.readAll().split('\0').contains(home))
            return pid;
    }
    return 0;
}

bool ended(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// A program we did not start ourselves is not ended by anyone else when a
// check fails half-way.
struct EndAtExit {
    pid_t pid = 0;
    ~EndAtExit() {
        if (pid > 0 && !ended(pid))
            ::kill(pid, SIGKILL);
    }
};
} // namespace

TEST(BrowserBridge, EveryStartWritesTheHostManifestsNamingTheHostBesideTheProgram) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    const QString other = HostManifests::folder(HostManifests::Browser::Chromium) + "other.json";
    QDir().mkpath(QFileInfo(other).absolutePath());
    {
        QFile f(other);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{}");
    }
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    EXPECT_EQ(app.terminate(), 0);
    const QString host = QFileInfo(VELLUM_EXE).absolutePath() + "/vellum-browser-host";
    using HostManifests::Browser;
    for (const Browser b : {Browser::Chromium, Browser::Chrome, Browser::Firefox}) {
        QFile f(HostManifests::path(b));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << f.fileName().toStdString();
        EXPECT_EQ(QJsonDocument::fromJson(f.readAll()).object().value("path").toString(), host);
    }
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "{}");
}

TEST(BrowserBridge, ACommandStartsTheProgramWhichOutlivesTheHost) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nRetoreMainWin=0\r\n");
    RegisterProgramLocation(QFileInfo(VELLUM_EXE).absoluteFilePath());
    pid_t program = 0;
    EndAtExit guard;
    {
        HostProcess host(env, {"QT_QPA_PLATFORM=offscreen", "VELLUM_HOST_START_TIMEOUT_MS=90000",
                               "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"});
        const QJsonObject reply = host.ask(
            QJsonObject{{"type", "command"}, {"text", "BBSGETTITLE:来自浏览器的标题"}}, 120000);
        EXPECT_TRUE(reply.value("ok").toBool())
            << reply.value("error").toString().toStdString() << host.errors().constData();
        program = findProgram(env);
        guard.pid = program;
        ASSERT_GT(program, 0) << "the program is running";
        EXPECT_EQ(host.finish(), 0);
    }
    QThread::msleep(300);
    ASSERT_FALSE(ended(program)) << "the program outlives the host";
    EXPECT_EQ(::getsid(program), program) << "a session of its own";
    for (int fd = 0; fd <= 2; ++fd)
        EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/fd/%2").arg(program).arg(fd)).symLinkTarget(),
                  "/dev/null")
            << fd;
    // The command ran through the capture: the title reached the browser side.
    EXPECT_TRUE(waitFor(
        [&] { return blockText(env).startsWith("BBSSETTEXT:来自浏览器的标题$TCSPLIT$"); }, 30000))
        << blockText(env).toStdString();

    // A second host finds it running and does not start another.
    {
        HostProcess host(env);
        const QJsonObject reply =
            host.ask(QJsonObject{{"type", "command"}, {"text", "BBSGETCONTENT:正文"}}, 60000);
        EXPECT_TRUE(reply.value("ok").toBool()) << reply.value("error").toString().toStdString();
        EXPECT_TRUE(waitFor([&] { return blockText(env).endsWith("$TCSPLIT$正文"); }, 30000))
            << blockText(env).toStdString();
        EXPECT_EQ(host.finish(), 0);
    }
    ::kill(program, SIGTERM);
    EXPECT_TRUE(waitFor([&] { return ended(program); }, 60000));
}

TEST(BrowserBridge, TheStagedFolderHoldsTheHostAndTheExtensionAndTheMenuEntryIsInstalled) {
    TestEnv env;
    const QString prog = env.root() + "staged";
    QProcess stage;
    stage.setProcessChannelMode(QProcess::MergedChannels);
    stage.start("bash",
                {VELLUM_SOURCE_DIR "/scripts/stage-program-folder.sh", VELLUM_BUILD_DIR, prog});
    ASSERT_TRUE(stage.waitForFinished(120000));
    ASSERT_EQ(stage.exitCode(), 0) << stage.readAll().constData();

    const QFileInfo host(prog + "/vellum-browser-host");
    EXPECT_TRUE(host.isFile() && host.isExecutable());
    EXPECT_TRUE(QFileInfo(prog + "/vellum").isExecutable());
    const QString extension = VELLUM_SOURCE_DIR "/browser/extension/manifest.json";
    if (QFile::exists(extension)) {
        QFile staged(prog + "/html/manifest.json"), source(extension);
        ASSERT_TRUE(staged.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
        EXPECT_EQ(staged.readAll(), source.readAll());
        // Firefox wants the manifest at the root of the archive.
        QProcess list;
        list.start(
            "python3",
            {"-c",
             "import sys, zipfile; print('\\n'.join(zipfile.ZipFile(sys.argv[1]).namelist()))",
             prog + "/vellum-bridge.xpi"});
        ASSERT_TRUE(list.waitForFinished(30000));
        EXPECT_TRUE(list.readAllStandardOutput().split('\n').contains("manifest.json"));
    }

    QProcess install;
    QProcessEnvironment pe = env.processEnvironment();
    install.setProcessEnvironment(pe);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start("bash", {VELLUM_SOURCE_DIR "/scripts/install-desktop-entry.sh", prog});
    ASSERT_TRUE(install.waitForFinished(30000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().constData();
    QFile entry(env.dataHome() + "applications/vellum.desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = entry.readAll().split('\n');
    const QByteArray progBytes = QFile::encodeName(QFileInfo(prog).absoluteFilePath());
    EXPECT_TRUE(lines.contains("Exec=\"" + progBytes + "/vellum\""));
    EXPECT_TRUE(lines.contains("Icon=" + progBytes + "/vellum.svg"));
    EXPECT_TRUE(QFile::exists(prog + "/vellum.svg"));

    // Without XDG_DATA_HOME the entry goes under ~/.local/share.
    pe.remove("XDG_DATA_HOME");
    install.setProcessEnvironment(pe);
    install.start("bash", {VELLUM_SOURCE_DIR "/scripts/install-desktop-entry.sh", prog});
    ASSERT_TRUE(install.waitForFinished(30000));
    EXPECT_EQ(install.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(env.homeDir() + ".local/share/applications/vellum.desktop"));
}
