#include "tests/app/ProcessHarness.h"
#include "tests/net/TestHttpServer.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

TEST(NetworkE2E, ProgramEndsPromptlyWhileItsUsageRequestStalls) {
    TestHttpServer server([](const HttpExchange&) {
        HttpReply r;
        r.stall = true;
        return r;
    });
    TestEnv env;
    env.writeFile("config.ini", "[TabClass]\r\ntab0=A\r\n[Common]\r\nUsageURL=" +
                                    server.url("/count").toLatin1() + "\r\n");
    RunningVellum app;
    ASSERT_TRUE(app.start(env)) << app.errors().constData();
    ASSERT_TRUE(server.waitForRequests(1, 20000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(app.terminate(), 0) << app.errors().constData();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(env.readFile("config.ini").contains("ldate="));
}
