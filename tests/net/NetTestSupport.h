#pragma once
// Shared pieces of the network tests: a port nobody listens on, a folder of
// test certificates, and waiting for a worker's result on this thread.
#include "net/HttpTransfer.h"
#include "tests/net/TestHttpServer.h"

#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A port that was free a moment ago; connecting to it is refused.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Certificates made once per test process.
inline const TestCertificates& testCertificates() {
    static QTemporaryDir dir;
    static TestCertificates certs;
    static bool made = [] {
        QString error;
        const bool ok = TestCertificates::make(dir.path(), &certs, &error);
        EXPECT_TRUE(ok) << error.toStdString();
        return ok;
    }();
    (void)made;
    return certs;
}

// Processes events until cond holds or timeoutMs passed.
template <class F> bool waitFor(F cond, int timeoutMs = 10000) {
    return QTest::qWaitFor(cond, timeoutMs);
}
