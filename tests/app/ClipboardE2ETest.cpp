// The X clipboard end to end: the real program on its own X server, commands
// put there by xclip and by an owner of ours that answers late.
#include "platform/AnsiCodePage.h"
#include "tests/app/ProcessHarness.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void putWithXclip(const RunningVellum& app, const QByteArray& utf8) {
    QProcess xclip;
    xclip.setProcessEnvironment(app.xEnvironment());
    xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
    ASSERT_TRUE(xclip.waitForStarted(5000));
    xclip.write(utf8);
    xclip.closeWriteChannel();
    ASSERT_TRUE(xclip.waitForFinished(5000));
}

QByteArray clipboardBytes(const RunningVellum& app) {
    QProcess xclip;
    xclip.setProcessEnvironment(app.xEnvironment());
    xclip.start("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-o"});
    if (!xclip.waitForFinished(5000) || xclip.exitCode() != 0)
        return {};
    return xclip.readAllStandardOutput();
}

bool waitEmpty(const RunningVellum& app, int ms = 8000) {
    QElapsedTimer t;
    t.start();
    int emptyReads = 0;
    while (t.elapsed() < ms) {
        emptyReads = clipboardBytes(app).isEmpty() ? emptyReads + 1 : 0;
        if (emptyReads == 3)
            return true;
        QThread::msleep(100);
    }
    return false;
}

// Our owner that answers late; waits until it holds the selection.
struct SlowOwner {
    QProcess proc;
    bool start(const RunningVellum& app, int delayMs, const QString& text, bool restore = false) {
        proc.setProcessEnvironment(app.xEnvironment());
        QStringList args{QString::number(delayMs), text};
        if (restore)
            args << "--restore";
        proc.start(SLOW_OWNER_EXE, args);
        return waitFor("owning", 10000);
    }
    bool waitFor(const QByteArray& line, int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (m_out.contains(line))
                return true;
            proc.waitForReadyRead(100);
            m_out += proc.readAllStandardOutput();
        }
        return m_out.contains(line);
    }
    ~SlowOwner() {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(5000);
        }
    }

  private:
    QByteArray m_out;
};

QByteArray sharedBlock(const TestEnv& env) {
    QFile block(env.runtimeDir() + "MapString");
    if (!block.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = block.readAll();
    return bytes.left(bytes.indexOf('\0'));
}

QString categoryFile(const TestEnv& env) {
    return AnsiCodePage::toUnicode(env.readFile("date/Date1.dat"));
}
} // namespace

TEST(XClipboard, ASlowOwnersCommandRunsOnceItCanBeRead) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    putWithXclip(app, QString("BBSGETTITLE:慢标题").toUtf8());
    ASSERT_TRUE(waitEmpty(app));

    // Answers after 6 s: longer than Qt would wait on the window's thread.
    SlowOwner owner;
    ASSERT_TRUE(owner.start(app, 6000, "BBSGETCONTENT:slow body"));
    // The owner ends when the program empties the clipboard after running it.
    EXPECT_TRUE(owner.proc.waitForFinished(30000));
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(categoryFile(env), "慢标题$TCSPLIT$slow body\r\n");
}

TEST(XClipboard, TheWindowAnswersWhileAnOwnerIsSlow) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    env.writeFile("date/Date1.dat", "kept$TCSPLIT$post\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    SlowOwner owner;
    ASSERT_TRUE(owner.start(app, 40000, "BBSGETTITLE:never answered"));
    QThread::msleep(1500); // the program is now waiting for the owner
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    // Qt's own read would hold the window for five seconds per attempt.
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(categoryFile(env), "kept$TCSPLIT$post\r\n");
}

TEST(XClipboard, ACommandPutBackByAClipboardManagerRunsOnce) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    putWithXclip(app, "BBSGETTITLE:T");
    ASSERT_TRUE(waitEmpty(app));

    SlowOwner manager;
    ASSERT_TRUE(manager.start(app, 0, "BBSGETCONTENT:B1", true));
    ASSERT_TRUE(manager.waitFor("restored", 10000));
    QThread::msleep(1000);
    putWithXclip(app, "BBSGETCONTENT:B2");
    ASSERT_TRUE(waitEmpty(app));
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(categoryFile(env), "T$TCSPLIT$B1$1310$B2\r\n");
}

TEST(XClipboard, NulCharactersNeverReachTheFile) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n");
    env.writeFile("date/Date1.dat", "first$TCSPLIT$post\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    putWithXclip(app, QByteArray("BBSGETTITLE:T\0itle", 18));
    ASSERT_TRUE(waitEmpty(app));
    putWithXclip(app, QByteArray("BBSGETCONTENT:a\0b", 17));
    ASSERT_TRUE(waitEmpty(app));
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_EQ(categoryFile(env), "first$TCSPLIT$post\r\nTitle$TCSPLIT$ab\r\n");
}

// With "复制帖子内容到剪贴板" on, the content of every post loaded is put on the
// clipboard; it is the program's own text, whatever it says, and never runs.
TEST(XClipboard, APostPutOnTheClipboardIsNeverRunAsACommand) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nSetClipBoard=1\r\n"
                                "KeepSubject=0\r\nRetoreMainWin=0\r\n");
    env.writeFile("date/Date1.dat",
                  "first$TCSPLIT$BBSGETTITLE:hijacked\r\nsecond$TCSPLIT$BBSGETCONTENT:more\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    // A captured post, stored and selected as the last row; the next ones
    // wrap to the first.
    putWithXclip(app, "BBSGETTITLE:captured");
    ASSERT_TRUE(waitEmpty(app));
    putWithXclip(app, "BBSGETCONTENT:body");
    ASSERT_TRUE(waitEmpty(app));
    const struct {
        const char* block;
        const char* clipboard;
    } posts[] = {{"BBSSETTEXT:first$TCSPLIT$BBSGETTITLE:hijacked", "BBSGETTITLE:hijacked"},
                 {"BBSSETTEXT:second$TCSPLIT$BBSGETCONTENT:more", "BBSGETCONTENT:more"}};
    for (const auto& post : posts) {
        // The next-post message loads the next post, as after "设置内容".
        QProcess send;
        send.setProcessEnvironment(env.processEnvironment());
        send.start(VELLUM_SEND_EXE, {"1108", "1"});
        ASSERT_TRUE(send.waitForFinished(10000));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 10000 && sharedBlock(env) != post.block)
            QThread::msleep(50);
        // Several poll ticks later the post is as loaded and the clipboard
        // still holds what the user is to paste.
        QThread::msleep(1500);
        EXPECT_EQ(sharedBlock(env), post.block);
        EXPECT_EQ(clipboardBytes(app), post.clipboard);
    }
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
}

// A sound device that plays only as fast as the test listens (a FIFO): while
// the capture sound cannot end, every command runs; it plays to its end, one
// sound at a time; and a sound that never ends does not hold the program's end.
TEST(XClipboard, TheCaptureSoundHoldsNeitherTheWindowNorTheEnd) {
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nSoundOnSucc=1\r\n"
                                "RetoreMainWin=0\r\n");
    const QByteArray fifo = QFile::encodeName(env.root() + "device.fifo");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    QFile rc(env.root() + "user/.asoundrc");
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly | QIODevice::Truncate));
    rc.write("pcm.!default { type file slave.pcm \"null\" file \"" + fifo +
             "\" format \"raw\" }\n");
    rc.close();
    const int listener = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(listener, 0);
    // Two seconds of 16-bit stereo silence: more than the FIFO holds.
    const quint32 dataBytes = 44100 * 2 * 2 * 2;
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(44100) << quint32(44100 * 4)
        << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    env.writeFile("sound/sound.wav", wav + QByteArray(dataBytes, '\0'));

    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    for (const char* command : {"BBSGETTITLE:T", "BBSGETCONTENT:one", "BBSGETCONTENT:two"}) {
        putWithXclip(app, command);
        EXPECT_TRUE(waitEmpty(app)) << command;
    }
    // Exactly one sound, to its last sample: the later ones came while it played.
    qint64 heard = 0;
    char buffer[65536];
    QElapsedTimer clock;
    clock.start();
    while (heard < dataBytes && clock.elapsed() < 30000) {
        const ssize_t n = ::read(listener, buffer, sizeof buffer);
        if (n > 0)
            heard += n;
        else
            QThread::msleep(5);
    }
    QThread::msleep(1000);
    for (ssize_t n; (n = ::read(listener, buffer, sizeof buffer)) > 0;)
        heard += n;
    EXPECT_EQ(heard, qint64(dataBytes));

    putWithXclip(app, "BBSGETCONTENT:three");
    EXPECT_TRUE(waitEmpty(app));
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    ::close(listener);
    EXPECT_EQ(categoryFile(env), "T$TCSPLIT$one$1310$two$1310$three\r\n");
}
