#include "platform/AnsiCodePage.h"
#include "tests/app/ProcessHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace {
// The X clipboard of the program's display, through xclip.
class XClipboard {
  public:
    explicit XClipboard(const RunningVellum& app) : m_env(app.xEnvironment()) {}

    void put(const QString& text) {
        QProcess xclip;
        xclip.setProcessEnvironment(m_env);
        xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
        ASSERT_TRUE(xclip.waitForStarted(5000));
        xclip.write(text.toUtf8());
        xclip.closeWriteChannel();
        // xclip stays in the background serving the text; the parent returns.
        ASSERT_TRUE(xclip.waitForFinished(5000));
    }
    QString get() {
        QProcess xclip;
        xclip.setProcessEnvironment(m_env);
        xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-o"});
        if (!xclip.waitForFinished(5000) || xclip.exitCode() != 0)
            return QString();
        return QString::fromUtf8(xclip.readAllStandardOutput());
    }
    // Waits until the program has taken the command off the clipboard.
    bool waitEmpty(int ms = 5000) {
        QElapsedTimer t;
        t.start();
        // A read can come back empty for a moment while the selection
        // changes hands; only a clipboard that stays empty counts.
        int emptyReads = 0;
        while (t.elapsed() < ms) {
            emptyReads = get().isEmpty() ? emptyReads + 1 : 0;
            if (emptyReads == 3)
                return true;
            QThread::msleep(100);
        }
        return false;
    }

  private:
    QProcessEnvironment m_env;
};
} // namespace

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
