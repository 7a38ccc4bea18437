#include "net/UsageCount.h"
#include "settings/IniFile.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestEnv.h"

#include <QThread>

TEST(UsageCount, SentAtMostOncePerDay) {
    const QDate today(2026, 12, 8);
    const struct {
        const char* stored; // null: no ldate key
        bool withAddress;
        bool sent;
    } cases[] = {
        {nullptr, true, true},       {"2026-12-07", true, true},
        {"2026-12-8", true, true}, // an exact comparison of the text
        {"2026-12-08", true, false}, {nullptr, false, false},
    };
    for (const auto& c : cases) {
        TestEnv env;
        TestHttpServer server([](const HttpExchange&) { return HttpReply{}; });
        QByteArray ini = "[Common]\r\n";
        if (c.stored)
            ini += QByteArray("ldate=") + c.stored + "\r\n";
        if (c.withAddress)
            ini += "UsageURL=" + server.url(QStringLiteral("/count.php")).toLatin1() + "\r\n";
        env.writeFile("config.ini", ini);
        const QString path = env.programDir() + QStringLiteral("config.ini");

        EXPECT_EQ(SendUsageCount(path, today), c.sent) << (c.stored ? c.stored : "(none)");
        // The day is recorded whether or not anything was sent.
        EXPECT_EQ(IniFile(path).readString("Common", "ldate"), "2026-12-08");
        if (c.sent) {
            ASSERT_TRUE(server.waitForRequests(1, 10000));
            const HttpExchange x = server.exchanges().constFirst();
            EXPECT_EQ(x.requestLine, "POST /count.php HTTP/1.0");
            EXPECT_EQ(x.body, "");
            EXPECT_EQ(x.header("Content-Length"), "0");
        } else {
            QThread::msleep(200);
            EXPECT_EQ(server.requestCount(), 0);
        }
        // A second start on the same day sends nothing.
        EXPECT_FALSE(SendUsageCount(path, today));
    }
}

TEST(UsageCount, MissingConfigIsCreatedWithTheDay) {
    TestEnv env;
    const QString path = env.programDir() + QStringLiteral("config.ini");
    EXPECT_FALSE(SendUsageCount(path, QDate(2027, 1, 2)));
    EXPECT_EQ(IniFile(path).readString("Common", "ldate"), "2027-01-02");
}
