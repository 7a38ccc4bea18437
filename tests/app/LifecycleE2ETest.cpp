#include "tests/app/ProcessHarness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {
void writeConfig(const TestEnv& env) {
    // tab1 is hidden: its file must come through untouched.
    env.writeFile("config.ini", "[TabClass]\r\ntab0=\xd4\xad\xb4\xb4\r\ntab2=C\r\ntab3=D\r\n"
                                "tab4=E\r\ntab5=F\r\n");
}
} // namespace

TEST(Lifecycle, SigtermWritesEveryCategoryLikeTheCloseBox) {
    TestEnv env;
    writeConfig(env);
    env.writeFile("date/Date1.dat", "a$TCSPLIT$1\nb$TCSPLIT$2"); // LF only, no final break
    const QByteArray hidden = "hidden$TCSPLIT$x\n";
    env.writeFile("date/Date2.dat", hidden);
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    // Unchanged categories, hidden or not, are not rewritten; missing ones
    // are created.
    EXPECT_EQ(env.readFile("date/Date1.dat"), "a$TCSPLIT$1\nb$TCSPLIT$2");
    EXPECT_EQ(env.readFile("date/Date2.dat"), hidden);
    for (int k = 3; k <= 6; ++k) {
        const QString f = QString("date/Date%1.dat").arg(k);
        EXPECT_TRUE(env.exists(f)) << f.toStdString();
        EXPECT_EQ(env.readFile(f).size(), 0);
    }
    EXPECT_TRUE(env.readFile("config.ini").contains("WinState=0"));
}

TEST(Lifecycle, SecondStartEndsAtOnceWithoutWriting) {
    TestEnv env;
    writeConfig(env);
    env.writeFile("date/Date1.dat", "a$TCSPLIT$1\n");
    RunningVellum first;
    ASSERT_TRUE(first.start(env)) << first.errors().constData();
    const QByteArray config = env.readFile("config.ini");
    const QStringList before = QDir(env.dataDir()).entryList(QDir::Files);

    QProcess second;
    QProcessEnvironment pe = env.processEnvironment();
    pe.remove("DISPLAY"); // it must not even need a display
    second.setProcessEnvironment(pe);
    QElapsedTimer timer;
    timer.start();
    second.start(VELLUM_EXE, {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    EXPECT_EQ(env.readFile("date/Date1.dat"), "a$TCSPLIT$1\n");
    EXPECT_EQ(QDir(env.dataDir()).entryList(QDir::Files), before);
    EXPECT_EQ(env.readFile("config.ini"), config);
    EXPECT_EQ(first.terminate(), 0);
}

TEST(Lifecycle, UnreadableCategorySurvivesStartAndClose) {
    TestEnv env;
    writeConfig(env);
    QDir().mkpath(env.dataDir() + "Date3.dat/inside");
    env.writeFile("date/Date4.dat", "d$TCSPLIT$4\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    EXPECT_EQ(app.terminate(), 0);
    EXPECT_TRUE(app.errors().contains("Date3.dat")) << app.errors().constData();
    EXPECT_TRUE(QFileInfo(env.dataDir() + "Date3.dat/inside").isDir());
    EXPECT_EQ(env.readFile("date/Date4.dat"), "d$TCSPLIT$4\n"); // unchanged, not rewritten
    EXPECT_TRUE(env.exists("date/Date6.dat"));
}
