// Two instances of the real program, each with its own runtime folder, on one
// shared program folder: both capture posts while both save in the
// background, and after both close no post of either is missing.
#include "tests/app/ProcessHarness.h"
#include "tests/app/XClipboard.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(TwoInstances, BothCaptureOnOneProgramFolderAndNoPostIsLost) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nClearContentOnGetTitle=1\r\n");
    env.writeFile("date/Date1.dat", "old$TCSPLIT$post\r\n");
    const QString secondRuntime = env.root() + "run2/";
    ASSERT_TRUE(QDir().mkpath(secondRuntime));
    QFile::setPermissions(secondRuntime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    RunningVellum first, second;
    ASSERT_TRUE(first.start(env)) << first.errors().constData();
    ASSERT_TRUE(second.start(env, {"XDG_RUNTIME_DIR=" + secondRuntime}))
        << second.errors().constData();
    XClipboard clipFirst(first), clipSecond(second);
    QStringList titles;
    // Captures on both sides, spread over more than one background save.
    for (int round = 0; round < 3; ++round) {
        for (auto [clip, name] :
             {std::pair{&clipFirst, "first"}, std::pair{&clipSecond, "second"}}) {
            const QString title = QStringLiteral("%1 %2").arg(name).arg(round);
            clip->put("BBSGETTITLE:" + title);
            ASSERT_TRUE(clip->waitEmpty());
            clip->put("BBSGETCONTENT:text of " + title);
            ASSERT_TRUE(clip->waitEmpty());
            titles << title;
        }
        QThread::msleep(4500);
    }
    EXPECT_EQ(first.terminate(), 0) << first.errors().constData();
    EXPECT_EQ(second.terminate(), 0) << second.errors().constData();
    const QByteArray file = env.readFile("date/Date1.dat");
    EXPECT_EQ(file.count("old$TCSPLIT$post\r\n"), 1);
    for (const QString& title : titles)
        EXPECT_EQ(file.count((title + "$TCSPLIT$text of " + title + "\r\n").toUtf8()), 1)
            << title.toStdString() << "\n"
            << file.constData();
}
