#include "net/RemoteSubmission.h"
#include "net/TPostDataThread.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/TestEnv.h"

#include <QElapsedTimer>
#include <QObject>

#include <optional>

namespace {

struct CheckCase {
    const char* address;
    const char* title;
    const char* content;
    const char* message; // empty: accepted
};

// Sends the three fields through a real worker and returns what arrived.
struct Sent {
    std::optional<Http::Result> result;
    QList<HttpExchange> exchanges;
};

Sent send(TestHttpServer& server, const QString& address, const QList<QByteArray>& parameters,
          int readTimeoutMs = 5000) {
    QObject receiver;
    auto handOver = std::make_shared<UiHandOver>(&receiver);
    Sent sent;
    TPostDataThread::Start(address, readTimeoutMs, parameters, handOver,
                           [&sent](const Http::Result& r) { sent.result = r; });
    EXPECT_TRUE(waitFor([&] { return sent.result.has_value(); }, 20000));
    handOver->detach();
    sent.exchanges = server.exchanges();
    return sent;
}

HttpReply ok(const HttpExchange&) {
    return {};
}

} // namespace

TEST(RemoteSubmission, RefusesIncompletePostsWithTheirMessages) {
    const CheckCase cases[] = {
        {"", "t", "c", "您还没有设置数据提交地址！"},
        {"ftp://x/y", "t", "c", "无效的数据提交地址！"},
        {" http://x/", "t", "c", "无效的数据提交地址！"},
        {"HTTP://X/Y", "t", "c", ""},
        {"hTtPs://x/", "t", "c", ""},
        {"http://x/", "", "c", "请选择您要发布的帖子！"},
        {"http://x/", "t", "", "请选择您要发布的帖子！"},
        {"http://x/", " ", " ", ""},
    };
    for (const CheckCase& c : cases)
        EXPECT_EQ(
            CheckSubmission(c.address, QString::fromUtf8(c.title), QString::fromUtf8(c.content)),
            QString::fromUtf8(c.message))
            << c.address << "|" << c.title << "|" << c.content;
}

TEST(RemoteSubmission, FormBodyIsEscapedByteForByte) {
    const struct {
        const char* title;
        const char* content;
        const char* category;
        const char* body;
    } cases[] = {
        {"Hi there", "a\r\nb", "News", "subject=Hi+there&content=a%250D%250Ab&class=News&"},
        {"t", "\r\n", "c", "subject=t&content=%250D%250A&class=c&"},
        {"t", "\n\r", "c", "subject=t&content=%250D%250A%250D%250A&class=c&"},
        {"t", "a\rb", "c", "subject=t&content=a%250D%250Ab&class=c&"},
        {"t", "a\nb", "c", "subject=t&content=a%250D%250Ab&class=c&"},
        {"t", "c", "", "subject=t&content=c&class=&"},
        {"a=b&c", "x", "k", "subject=a%3Db%26c&content=x&class=k&"},
        {"中", "x", "原创", "subject=%D6%D0&content=x&class=%D4%AD%B4%B4&"},
        {"%-._*~+", "x", "k", "subject=%25%2D%2E%5F%2A%7E%2B&content=x&class=k&"},
        {"tab\tend", "\x01", "k", "subject=tab%09end&content=%01&class=k&"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeFormBody(SubmissionParameters(QString::fromUtf8(c.title),
                                                      QString::fromUtf8(c.content),
                                                      QString::fromUtf8(c.category))),
                  QByteArray(c.body))
            << c.title << "|" << c.content;
}

TEST(RemoteSubmission, ServerReceivesTheFormWithTheHeadersOfTheTable) {
    TestEnv env;
    TestHttpServer server(ok);
    const Sent sent = send(server, server.url(QStringLiteral("/post.php")),
                           SubmissionParameters(QStringLiteral("Hi there"),
                                                QStringLiteral("a\r\nb"), QStringLiteral("新闻")));
    ASSERT_EQ(sent.exchanges.size(), 1);
    const HttpExchange& x = sent.exchanges[0];
    EXPECT_EQ(x.requestLine, "POST /post.php HTTP/1.0");
    EXPECT_EQ(x.body, "subject=Hi+there&content=a%250D%250Ab&class=%D0%C2%CE%C5&");
    EXPECT_EQ(x.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(x.header("Content-Length"), QByteArray::number(x.body.size()));
    EXPECT_EQ(x.header("Accept"), "text/html, */*");
    EXPECT_EQ(x.header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(x.header("Host"), "127.0.0.1:" + QByteArray::number(server.port()));
    QList<QByteArray> names = x.headerNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (QList<QByteArray>{"accept", "content-length", "content-type", "host",
                                        "user-agent"}));
    ASSERT_TRUE(sent.result);
    EXPECT_EQ(JudgeSubmission(*sent.result).text, QStringLiteral("已提交"));
}

TEST(RemoteSubmission, AnswersBecomeAFewWordsForTheStatusBar) {
    const struct {
        int status;
        const char* text;
        int requests;
    } cases[] = {
        {200, "已提交", 1},
        {302, "已提交", 1}, // taken; the redirect is not followed
        {404, "提交失败：HTTP 404", 1},
        {500, "提交失败：HTTP 500", 1},
    };
    for (const auto& c : cases) {
        TestHttpServer server([&c](const HttpExchange&) {
            HttpReply r;
            r.status = c.status;
            r.body = "answer";
            if (c.status == 302)
                r.headers << "Location: /elsewhere";
            return r;
        });
        const Sent sent = send(server, server.url(QStringLiteral("/s")), {"subject=x"});
        ASSERT_TRUE(sent.result) << c.status;
        EXPECT_EQ(JudgeSubmission(*sent.result).text, QString::fromUtf8(c.text)) << c.status;
        EXPECT_EQ(sent.exchanges.size(), c.requests) << c.status;
    }
}

TEST(RemoteSubmission, RefusedConnectionIsReportedAsSuch) {
    TestHttpServer unused(ok);
    const Sent sent =
        send(unused, QStringLiteral("http://127.0.0.1:%1/s").arg(closedPort()), {"subject=x"});
    ASSERT_TRUE(sent.result);
    EXPECT_EQ(JudgeSubmission(*sent.result).text, QStringLiteral("提交失败：连接被拒绝"));
}

TEST(RemoteSubmission, StalledServerFailsAfterTheReadTimeout) {
    TestHttpServer server([](const HttpExchange&) {
        HttpReply r;
        r.stall = true;
        return r;
    });
    QElapsedTimer clock;
    clock.start();
    const Sent sent = send(server, server.url(QStringLiteral("/s")), {"subject=x"}, 1500);
    ASSERT_TRUE(sent.result);
    EXPECT_EQ(JudgeSubmission(*sent.result).text, QStringLiteral("提交失败：服务器没有响应"));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_LT(clock.elapsed(), 8000);
}

TEST(RemoteSubmission, HttpsNeedsACertificateTheSystemTrusts) {
    const TestCertificates& certs = testCertificates();
    TestHttpServer server(ok, &certs);
    const struct {
        QString ca;
        const char* text;
        int requests;
    } cases[] = {
        {certs.otherCaFile, "提交失败：证书无效", 0},
        {certs.caFile, "已提交", 1},
    };
    for (const auto& c : cases) {
        Http::SetCaBundle(c.ca.toLocal8Bit());
        const int before = server.requestCount();
        const Sent sent = send(server, server.url(QStringLiteral("/s")), {"subject=x"});
        ASSERT_TRUE(sent.result);
        EXPECT_EQ(JudgeSubmission(*sent.result).text, QString::fromUtf8(c.text));
        EXPECT_EQ(server.requestCount() - before, c.requests);
    }
    Http::SetCaBundle({});
}

TEST(RemoteSubmission, AddressesAreSentEncodedAndOnlyHttpIsSpoken) {
    TestHttpServer server(ok);
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    const struct {
        QString address;
        const char* path; // null: nothing may be sent
        const char* text;
    } cases[] = {
        {base + QStringLiteral("/my post.php?a=b c"), "/my%20post.php?a=b%20c", "已提交"},
        {base + QStringLiteral("/帖子.php"), "/%E5%B8%96%E5%AD%90.php", "已提交"},
        {QStringLiteral("httpx://127.0.0.1:%1/s").arg(server.port()), nullptr,
         "提交失败：地址无效"},
        {QStringLiteral("http:nothing"), nullptr, "提交失败：地址无效"},
    };
    for (const auto& c : cases) {
        const int before = server.requestCount();
        const Sent sent = send(server, c.address, {"subject=x"});
        ASSERT_TRUE(sent.result);
        EXPECT_EQ(JudgeSubmission(*sent.result).text, QString::fromUtf8(c.text))
            << c.address.toStdString();
        if (c.path) {
            ASSERT_EQ(server.requestCount(), before + 1);
            EXPECT_EQ(server.exchanges().last().path, c.path);
        } else {
            EXPECT_EQ(server.requestCount(), before);
        }
    }
}

TEST(RemoteSubmission, ProgramEndCancelsAStalledRequestAtOnce) {
    TestHttpServer server([](const HttpExchange&) {
        HttpReply r;
        r.stall = true;
        return r;
    });
    QObject receiver;
    auto handOver = std::make_shared<UiHandOver>(&receiver);
    std::optional<Http::Result> result;
    TPostDataThread::Start(server.url(QStringLiteral("/s")), 60000, {"subject=x"}, handOver,
                           [&result](const Http::Result& r) { result = r; });
    ASSERT_TRUE(server.waitForRequests(1, 10000));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(Http::AbortAll(1000));
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_TRUE(waitFor([&] { return result.has_value(); }));
    EXPECT_EQ(result->error, Http::Error::Cancelled);
    handOver->detach();
    // Nothing starts after the end was called.
    result.reset();
    TPostDataThread::Start(server.url(QStringLiteral("/s")), 1000, {"subject=x"}, handOver, {});
    Http::Request request;
    request.address = server.url(QStringLiteral("/s"));
    EXPECT_EQ(Http::Perform(request).error, Http::Error::Cancelled);
    Http::ResetAbort();
}
