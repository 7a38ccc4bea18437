#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {
const QString kSourceDir = QStringLiteral(VELLUM_SOURCE_DIR);

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

struct StageResult {
    int exitCode;
    QString output;
};

StageResult stage(const QString& buildDir, const QString& programDir) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(
        QStringLiteral("bash"),
        {kSourceDir + QStringLiteral("/scripts/stage-program-folder.sh"), buildDir, programDir});
    if (!process.waitForFinished(60000))
        return {-1, QStringLiteral("timed out")};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

// A build folder holding stand-ins for the executables.
QString fakeBuild(const TestEnv& env, const QByteArray& version) {
    const QString build = env.root() + QStringLiteral("build/");
    writeAll(build + QStringLiteral("bin/vellum"), "#!/bin/sh\n# vellum " + version + "\n");
    writeAll(build + QStringLiteral("bin/vellum-send"), "#!/bin/sh\n# send " + version + "\n");
    writeAll(build + QStringLiteral("bin/vellum-browser-host"),
             "#!/bin/sh\n# host " + version + "\n");
    return build;
}

// Checks a RIFF file is 16-bit PCM and returns its length in seconds.
double wavSeconds(const QByteArray& wav) {
    if (wav.size() < 44 || !wav.startsWith("RIFF") || wav.mid(8, 8) != "WAVEfmt ")
        return -1;
    const auto u16 = [&](int at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    const auto u32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    if (u16(20) != 1 || u16(34) != 16)
        return -1;
    // Walk the chunks to the sample data.
    qsizetype at = 12;
    while (at + 8 <= wav.size()) {
        const QByteArray id = wav.mid(at, 4);
        const quint32 size = u32(int(at + 4));
        if (id == "data")
            return double(size) / u32(28);
        at += 8 + size + (size & 1);
    }
    return -1;
}
} // namespace

TEST(StageProgramFolder, CreatesTheLayoutAndNeverOverwritesUserFiles) {
    TestEnv env;
    const QString prog = env.root() + QStringLiteral("program folder/");
    const QString build = fakeBuild(env, "1");

    const StageResult first = stage(build, prog);
    ASSERT_EQ(first.exitCode, 0) << first.output.toStdString();

    for (const char* exe : {"vellum", "vellum-send", "vellum-browser-host"}) {
        const QFileInfo info(prog + QLatin1String(exe));
        EXPECT_TRUE(info.isFile()) << exe;
        EXPECT_TRUE(info.isExecutable()) << exe;
        EXPECT_EQ(readAll(info.filePath()), readAll(build + QStringLiteral("bin/") + exe));
    }
    EXPECT_EQ(readAll(prog + QStringLiteral("config.ini")),
              readAll(kSourceDir + QStringLiteral("/dist/config.ini")));
    EXPECT_TRUE(QFileInfo(prog + QStringLiteral("date")).isDir());
    EXPECT_TRUE(QDir(prog + QStringLiteral("date")).isEmpty());
    EXPECT_TRUE(QFileInfo(prog + QStringLiteral("html")).isDir());
    EXPECT_EQ(readAll(prog + QStringLiteral("help/index.html")),
              readAll(kSourceDir + QStringLiteral("/dist/help/index.html")));
    EXPECT_FALSE(QFileInfo::exists(prog + QStringLiteral("QuickNotes.dat")));
    EXPECT_TRUE(QFileInfo(prog + QStringLiteral("vellum.svg")).isFile());
    const QByteArray desktop = readAll(prog + QStringLiteral("vellum.desktop"));
    EXPECT_TRUE(desktop.contains("Exec=\"" + QFile::encodeName(prog) + "vellum\""))
        << desktop.toStdString();
    if (QFileInfo(kSourceDir + QStringLiteral("/dist/html")).isDir()) {
        for (const QString& name :
             QDir(kSourceDir + QStringLiteral("/dist/html")).entryList(QDir::Files))
            EXPECT_TRUE(QFileInfo::exists(prog + QStringLiteral("html/") + name))
                << name.toStdString();
    }
    if (!QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        const double seconds = wavSeconds(readAll(prog + QStringLiteral("sound/sound.wav")));
        EXPECT_GT(seconds, 0.1);
        EXPECT_LT(seconds, 0.5);
    }

    // The user's own files.
    const QByteArray config = "[Common]\r\nStayOnTop=0\r\n";
    const QByteArray notes = "thanks$1310$again\r\n";
    const QByteArray posts = "title$TCSPLIT$body\r\n";
    writeAll(prog + QStringLiteral("config.ini"), config);
    writeAll(prog + QStringLiteral("QuickNotes.dat"), notes);
    writeAll(prog + QStringLiteral("date/Date1.dat"), posts);
    writeAll(prog + QStringLiteral("date/backup/old.dat"), posts);
    writeAll(prog + QStringLiteral("html/mine.htm"), "<p>mine</p>");
    writeAll(prog + QStringLiteral("sound/sound.wav"), "my own sound");

    const QString build2 = fakeBuild(env, "2");
    const StageResult second = stage(build2, prog);
    ASSERT_EQ(second.exitCode, 0) << second.output.toStdString();

    EXPECT_EQ(readAll(prog + QStringLiteral("config.ini")), config);
    EXPECT_EQ(readAll(prog + QStringLiteral("QuickNotes.dat")), notes);
    EXPECT_EQ(readAll(prog + QStringLiteral("date/Date1.dat")), posts);
    EXPECT_EQ(readAll(prog + QStringLiteral("date/backup/old.dat")), posts);
    EXPECT_EQ(readAll(prog + QStringLiteral("html/mine.htm")), "<p>mine</p>");
    EXPECT_EQ(readAll(prog + QStringLiteral("sound/sound.wav")), "my own sound");
    // The executables follow the build.
    EXPECT_TRUE(readAll(prog + QStringLiteral("vellum")).contains("vellum 2"));
    EXPECT_TRUE(readAll(prog + QStringLiteral("vellum-send")).contains("send 2"));
    EXPECT_TRUE(readAll(prog + QStringLiteral("vellum-browser-host")).contains("host 2"));
    // No staging leftovers.
    for (const QString& name : QDir(prog).entryList(QDir::Files))
        EXPECT_FALSE(name.contains(QStringLiteral("staging"))) << name.toStdString();
}

TEST(StageProgramFolder, RefusesAnIncompleteBuildWithoutTouchingTheFolder) {
    TestEnv env;
    const QString prog = env.root() + QStringLiteral("prog/");
    const QString build = env.root() + QStringLiteral("build/");
    writeAll(build + QStringLiteral("bin/vellum"), "x");

    const StageResult run = stage(build, prog);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.output.contains(QStringLiteral("vellum-send"))) << run.output.toStdString();
    EXPECT_FALSE(QFileInfo::exists(prog));

    const StageResult noArgs = stage(QString(), QString());
    EXPECT_NE(noArgs.exitCode, 0);
}
