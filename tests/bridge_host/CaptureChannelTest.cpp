// The program's capture socket, spoken to over a real local socket.
#include "platform/CaptureChannel.h"
#include "platform/NextPostChannel.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {
// Reads from the socket while the channel's event loop runs.
QByteArray readUntil(QLocalSocket& socket, qsizetype bytes, int timeoutMs = 10000) {
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (out.size() < bytes && clock.elapsed() < timeoutMs &&
           socket.state() == QLocalSocket::ConnectedState) {
        QTest::qWait(5);
        out += socket.readAll();
    }
    out += socket.readAll();
    return out;
}

// One command through a client of its own; the answer line.
QByteArray deliver(const CaptureChannel& channel, const QByteArray& text) {
    QLocalSocket client;
    client.connectToServer(channel.socketPath());
    if (!client.waitForConnected(5000))
        return "not connected";
    client.write(CaptureFrames::frame(text));
    return readUntil(client, 3);
}

QList<QString> texts(const QSignalSpy& spy) {
    QList<QString> out;
    for (const auto& args : spy)
        out.append(args.at(0).toString());
    return out;
}
} // namespace

TEST(CaptureFrames, AStreamCutAnywhereGivesTheSameFrames) {
    const QByteArray commands[] = {"BBSGETTITLE:a", "",
                                   QByteArray("BBSGETCONTENT:\xe4\xb8\xad", 17)};
    QByteArray stream;
    for (const QByteArray& c : commands)
        stream += CaptureFrames::frame(c);
    for (qsizetype step : {1, 2, 3, 5, 7, 64}) {
        CaptureFrames frames;
        QList<QByteArray> got;
        for (qsizetype i = 0; i < stream.size(); i += step) {
            ASSERT_TRUE(frames.feed(stream.mid(i, step)));
            got += frames.takeFrames();
        }
        ASSERT_EQ(got.size(), 3) << step;
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(got.at(i), commands[i]) << step;
        EXPECT_EQ(frames.pending(), 0);
    }
}

TEST(CaptureFrames, ALengthOverSixteenMebibytesIsRefused) {
    struct Case {
        QByteArray header;
        bool accepted;
    };
    const Case cases[] = {
        {QByteArray("\x01\x00\x00\x00", 4), true},  // exactly 16 MiB: still waiting for it
        {QByteArray("\x01\x00\x00\x01", 4), false}, // one byte more
        {QByteArray("\xff\xff\xff\xff", 4), false},
    };
    for (const Case& c : cases) {
        CaptureFrames frames;
        EXPECT_EQ(frames.feed(c.header), c.accepted) << c.header.toHex().constData();
        EXPECT_EQ(frames.failed(), !c.accepted);
        EXPECT_EQ(frames.feed("more"), c.accepted);
    }
}

TEST(CaptureChannel, EachCommandIsAnsweredOkInOrder) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    EXPECT_EQ(channel.socketPath(), env.runtimeDir() + "capture");
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);

    QLocalSocket client;
    client.connectToServer(channel.socketPath());
    ASSERT_TRUE(client.waitForConnected(5000));
    const QList<QString> commands = {"BBSGETTITLE:标题", "BBSGETIMG:http://x/a.png$SPLIT$",
                                     "BBSGETCONTENT:x"};
    QByteArray all;
    for (const QString& c : commands)
        all += CaptureFrames::frame(c.toUtf8());
    client.write(all); // several frames in one write
    EXPECT_EQ(readUntil(client, 9), "ok\nok\nok\n");
    EXPECT_EQ(texts(spy), commands);
}

TEST(CaptureChannel, NulCharactersAreRemovedAsFromTheClipboard) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    EXPECT_EQ(deliver(channel, QByteArray("BBSGET\0TITLE:a\0b", 16)), "ok\n");
    EXPECT_EQ(texts(spy), QList<QString>{"BBSGETTITLE:ab"});
}

TEST(CaptureChannel, AnOverlongFrameIsAnsweredWithAnErrorAndClosed) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    QLocalSocket client;
    client.connectToServer(channel.socketPath());
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write(CaptureFrames::frame("BBSGETTITLE:first") + QByteArray("\x01\x00\x00\x01", 4));
    const QByteArray answer = readUntil(client, 1000, 5000);
    EXPECT_TRUE(answer.startsWith("ok\nerror:")) << answer.constData();
    EXPECT_EQ(client.state(), QLocalSocket::UnconnectedState);
    EXPECT_EQ(texts(spy), QList<QString>{"BBSGETTITLE:first"});
    // The channel still serves others.
    EXPECT_EQ(deliver(channel, "BBSGETTITLE:second"), "ok\n");
}

TEST(CaptureChannel, TheSocketIsPrivateLikeTheNextPostSocket) {
    TestEnv env;
    CaptureChannel capture;
    capture.listen();
    NextPostChannel next;
    next.listen();
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(QFile::encodeName(capture.socketPath()).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(next.socketPath()).constData(), &b), 0);
    EXPECT_TRUE(S_ISSOCK(a.st_mode));
    EXPECT_EQ(a.st_mode & 0777, b.st_mode & 0777);
    EXPECT_EQ(a.st_mode & 0077, 0u);
    EXPECT_EQ(QFileInfo(capture.socketPath()).absolutePath(),
              QFileInfo(next.socketPath()).absolutePath());
}

TEST(CaptureChannel, AStaleSocketFileIsReplaced) {
    TestEnv env;
    {
        CaptureChannel first;
        first.listen();
    } // a killed instance leaves nothing that stops the next one
    QFile stale(env.runtimeDir() + "capture");
    if (!stale.exists()) {
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.close();
    }
    CaptureChannel channel;
    channel.listen();
    EXPECT_EQ(deliver(channel, "BBSGET"), "ok\n");
}

TEST(CaptureChannel, SendingWithoutAListenerSaysNobodyListens) {
    TestEnv env;
    QString error;
    EXPECT_EQ(sendCaptureCommand(env.runtimeDir(), "BBSGET", 2000, &error), Handover::NotListening);
    EXPECT_FALSE(error.isEmpty());
}

TEST(CaptureChannel, IdleConnectionsDoNotLockOutACommand) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(channel.socketPath());
        ASSERT_TRUE(idle.back()->waitForConnected(5000)) << i;
        // Half a frame, then silence.
        idle.back()->write(QByteArray("\x00\x00\x00\x09"
                                      "BBS",
                                      7));
    }
    QTest::qWait(100);
    EXPECT_EQ(deliver(channel, "BBSGETTITLE:real"), "ok\n");
    EXPECT_EQ(texts(spy), QList<QString>{"BBSGETTITLE:real"});
}

TEST(CaptureChannel, ACommandSentJustBeforeTheClientLeavesStillRuns) {
    TestEnv env;
    CaptureChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &CaptureChannel::commandReceived);
    {
        QLocalSocket client;
        client.connectToServer(channel.socketPath());
        ASSERT_TRUE(client.waitForConnected(5000));
        client.write(CaptureFrames::frame("BBSGETTITLE:bye"));
        ASSERT_TRUE(client.waitForBytesWritten(5000));
        client.disconnectFromServer();
    }
    for (int i = 0; i < 50 && spy.isEmpty(); ++i)
        spy.wait(100);
    EXPECT_EQ(texts(spy), QList<QString>{"BBSGETTITLE:bye"});
}
