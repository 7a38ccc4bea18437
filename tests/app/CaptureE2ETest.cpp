#include "platform/AnsiCodePage.h"
#include "tests/app/ProcessHarness.h"
#include "tests/app/XClipboard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

TEST(CaptureRoad, CommandsFromTheClipboardEndInTheCategoryFile) {
    TestEnv env;
    env.writeFile("config.ini", "[UBBSet]\r\nUBBUrl=[url=$1]$2[/url]\r\nUBBImg=[img]$1[/img]\r\n"
                                "[TabClass]\r\ntab0=A\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    XClipboard clip(app);

    clip.put("ordinary text, not for Vellum");
    QThread::msleep(1200);
    EXPECT_EQ(clip.get(), "ordinary text, not for Vellum");

    const QString commands[] = {
        "BBSGETTITLE:捕获的标题",
        "BBSGETCONTENT:第一行\n第二行",
        "BBSGETHREF:http://bbs.example/t/1$SPLIT$一个链接",
        "BBSGETIMG:http://bbs.example/p.png$SPLIT$",
        "BBSGETIMG:http://bbs.example/p.png$SPLIT$",
        "BBSGETCONTENT:second content",
    };
    QString previous;
    for (const QString& command : commands) {
        // The same text back at once is taken for a clipboard manager putting
        // back what was emptied; a user repeating a capture takes longer.
        if (command == previous)
            QThread::msleep(2200);
        previous = command;
        clip.put(command);
        EXPECT_TRUE(clip.waitEmpty()) << command.toStdString();
    }
    const QString post = "捕获的标题$TCSPLIT$第一行$1310$第二行$1310$"
                         "[url=http://bbs.example/t/1]一个链接[/url]$1310$"
                         "[img]http://bbs.example/p.png[/img]$1310$second content";
    {
        QFile block(env.runtimeDir() + "MapString");
        ASSERT_TRUE(block.open(QIODevice::ReadOnly));
        const QByteArray bytes = block.readAll();
        const QString published = QString(post).replace("$1310$", "\r\n");
        const QByteArray expected = "BBSSETTEXT:" + AnsiCodePage::fromUnicode(published);
        EXPECT_EQ(bytes.left(expected.size() + 1), expected + '\0');
    }

    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(AnsiCodePage::toUnicode(env.readFile("date/Date1.dat")).toStdString(),
              (post + "\r\n").toStdString());
    // The block does not outlive the program.
    EXPECT_FALSE(QFile::exists(env.runtimeDir() + "MapString"));
}
