#include "platform/BoundedLocalServer.h"
#include "platform/AtomicFile.h"
#include "platform/NextPostChannel.h"
#include "platform/Paths.h"
#include "platform/VellumError.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>

namespace {
// A client connection that the test keeps open, silent unless told.
std::unique_ptr<QLocalSocket> connectTo(const QString& path) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(path);
    socket->waitForConnected(3000);
    return socket;
}

// Runs the event loop until pred holds or ms pass.
template <class Pred> bool waitUntil(Pred pred, int ms = 5000) {
    return QTest::qWaitFor(pred, ms);
}
} // namespace

TEST(BoundedLocalServer, SilentConnectionIsDroppedAfterItsIdleTime) {
    TestEnv env;
    BoundedLocalServer server("probe", {4, 300});
    server.listen(Paths::runtimeDir());
    QSignalSpy ready(&server, &BoundedLocalServer::connectionReady);
    auto talker = connectTo(server.fullPath());
    auto silent = connectTo(server.fullPath());
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 2; }));
    // The talker keeps its connection by writing more often than the idle time.
    for (int i = 0; i < 5; ++i) {
        talker->write("x");
        talker->flush();
        QTest::qWait(150);
    }
    EXPECT_TRUE(waitUntil([&] { return silent->state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(talker->state(), QLocalSocket::ConnectedState);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST(BoundedLocalServer, NewConnectionPushesOutTheQuietestWhenFull) {
    TestEnv env;
    BoundedLocalServer server("probe", {3, 60000});
    server.listen(Paths::runtimeDir());
    QSignalSpy ready(&server, &BoundedLocalServer::connectionReady);
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(connectTo(server.fullPath()));
        ASSERT_TRUE(waitUntil([&] { return ready.size() == i + 1; }));
    }
    // The first client speaks, so the second is now the quietest.
    clients[0]->write("x");
    clients[0]->flush();
    QTest::qWait(100);
    clients.push_back(connectTo(server.fullPath()));
    ASSERT_TRUE(waitUntil([&] { return ready.size() == 4; }));
    EXPECT_TRUE(waitUntil([&] { return clients[1]->state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(server.connectionCount(), 3);
    for (int i : {0, 2, 3})
        EXPECT_EQ(clients[i]->state(), QLocalSocket::ConnectedState) << i;
}

TEST(BoundedLocalServer, ListensAgainWhenItsSocketFileIsRemoved) {
    TestEnv env;
    NextPostChannel channel;
    channel.listen(Paths::runtimeDir());
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    ASSERT_TRUE(QFile::remove(channel.socketPath()));
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(channel.socketPath()); }));
    EXPECT_TRUE(sendNextPostMessage(Paths::runtimeDir(), 5));
    EXPECT_TRUE(waitUntil([&] { return spy.size() == 1; }));
}

TEST(BoundedLocalServer, ListeningWhereNoSocketCanBeMadeIsReportedInChinese) {
    TestEnv env;
    BoundedLocalServer server("probe", {});
    try {
        server.listen(env.root() + "no/such/folder/");
        FAIL() << "listen succeeded";
    } catch (const VellumError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("无法"))) << e.message().toStdString();
    }
}

// 1,100 silent connections from another process against a program limited
// to 1,024 descriptors: the next-post socket still answers and a save works.
TEST(BoundedLocalServer, FloodOfHeldConnectionsLeavesTheSocketAndSavingWorking) {
    TestEnv env;
    // The usual soft limit; the flooding process raises its own.
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    limit.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    NextPostChannel channel;
    channel.listen(Paths::runtimeDir());
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);

    QProcess flood;
    flood.start(SOCKET_FLOOD_EXE, {channel.socketPath(), "1100"});
    ASSERT_TRUE(flood.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([&] { return flood.canReadLine(); }, 60000));
    EXPECT_EQ(flood.readLine().trimmed(), "held 1100");

    EXPECT_TRUE(QFile::exists(channel.socketPath()));
    EXPECT_TRUE(sendNextPostMessage(Paths::runtimeDir(), 1));
    EXPECT_TRUE(waitUntil([&] { return spy.size() == 1; }));
    QString error;
    EXPECT_TRUE(AtomicFile::write(env.dataDir() + "Date1.dat", "a$TCSPLIT$b\r\n", &error))
        << error.toStdString();
    EXPECT_EQ(env.readFile("date/Date1.dat"), "a$TCSPLIT$b\r\n");

    flood.closeWriteChannel();
    ASSERT_TRUE(flood.waitForFinished(10000));
}
