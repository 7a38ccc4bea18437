#include "platform/NextPostChannel.h"

#include "platform/Paths.h"
#include "tests/support/TestEnv.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct SendResult {
    int exitCode = -1;
    QByteArray stderrText;
};

// Runs vellum-send as a process of its own while the event loop keeps running.
SendResult runSend(const TestEnv& env, const QStringList& args) {
    QProcess send;
    send.setProcessEnvironment(env.processEnvironment());
    send.start(QStringLiteral(VELLUM_SEND_EXE), args);
    QSignalSpy finished(&send, &QProcess::finished);
    if (!finished.wait(30000))
        return {};
    return {send.exitStatus() == QProcess::NormalExit ? send.exitCode() : -1,
            send.readAllStandardError()};
}

QList<int> received(const QSignalSpy& spy) {
    QList<int> out;
    for (const auto& args : spy)
        out.append(args.at(0).toInt());
    return out;
}

void waitFor(QSignalSpy& spy, qsizetype count) {
    for (int i = 0; i < 50 && spy.size() < count; ++i)
        spy.wait(200);
}

} // namespace

TEST(NextPostChannel, VellumSendDeliversTheParameter) {
    TestEnv env;
    NextPostChannel channel;
    channel.listen();
    EXPECT_EQ(channel.socketPath(), env.runtimeDir() + "1108");
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    const int values[] = {1, 7, 0, -3};
    QList<int> expected;
    for (const int v : values) {
        const SendResult r = runSend(env, {"1108", QString::number(v)});
        EXPECT_EQ(r.exitCode, 0) << v << r.stderrText.constData();
        expected.append(v);
        waitFor(spy, expected.size());
    }
    EXPECT_EQ(received(spy), expected);
}

TEST(NextPostChannel, VellumSendFailsWithoutListenerOrWithBadArguments) {
    TestEnv env;
    const QStringList cases[] = {
        {"1108", "1"}, // nobody listens
        {},            // no arguments
        {"1108"},      // no parameter
        {"1109", "1"}, // unknown message
        {"1108", "x"}, // not a number
        {"1108", "1", "2"},
    };
    for (const QStringList& args : cases) {
        const SendResult r = runSend(env, args);
        EXPECT_NE(r.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_FALSE(r.stderrText.isEmpty()) << args.join(' ').toStdString();
    }
}

TEST(NextPostChannel, StaleSocketFileIsReplaced) {
    TestEnv env;
    const QString path = Paths::runtimeDir() + "1108";

    // A socket bound and then abandoned, as a killed instance leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    ASSERT_LT(name.size(), qsizetype(sizeof addr.sun_path));
    std::memcpy(addr.sun_path, name.constData(), name.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(runSend(env, {"1108", "1"}).exitCode, 1);

    NextPostChannel channel;
    channel.listen(env.runtimeDir());
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    EXPECT_EQ(runSend(env, {"1108", "1"}).exitCode, 0);
    waitFor(spy, 1);
    EXPECT_EQ(received(spy), QList<int>{1});
}

TEST(NextPostChannel, GarbageAndPartialLinesAreIgnored) {
    TestEnv env;
    NextPostChannel channel;
    channel.listen();
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    QLocalSocket client;
    client.connectToServer(channel.socketPath());
    ASSERT_TRUE(client.waitForConnected(5000));
    QByteArray data;
    data += "1\n2\n";                       // several per connection
    data += "abc\n\n 4\n5x\n--6\n";         // not numbers
    data += "99999999999\n";                // beyond int
    data += QByteArray(300000, '7') + "\n"; // huge line of digits
    data += QByteArray("\xFF\x00\x01\n", 4);
    data += "3\r\n-2147483648\n+8\n";
    data += "12"; // unfinished: never completed
    // Both ends live in this thread: the event loop of the waits moves the data.
    client.write(data);
    waitFor(spy, 5);
    client.disconnectFromServer();
    spy.wait(300);
    EXPECT_EQ(received(spy), (QList<int>{1, 2, 3, std::numeric_limits<int>::min(), 8}));
}

TEST(NextPostChannel, ClientFunctionReachesTheListener) {
    TestEnv env;
    EXPECT_FALSE(sendNextPostMessage(Paths::runtimeDir(), 1, 500));
    NextPostChannel channel;
    channel.listen(Paths::runtimeDir());
    QSignalSpy spy(&channel, &NextPostChannel::messageReceived);
    EXPECT_TRUE(sendNextPostMessage(Paths::runtimeDir(), 42));
    waitFor(spy, 1);
    EXPECT_EQ(received(spy), QList<int>{42});
}
