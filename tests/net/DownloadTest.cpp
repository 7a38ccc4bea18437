#include "net/TThreadDownfile.h"
#include "tests/net/NetTestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray kImage = QByteArray("GIF89a") + QByteArray(5000, '\x7f');

// /good.gif: the image; /missing.gif: 404; /moved.gif: 302 to the image;
// /loop.gif: redirects to itself; /stall.gif: no answer; /big.gif: 5000
// bytes with a length; /bigstream.gif: 5000 bytes without one.
HttpReply imageHost(const HttpExchange& x) {
    HttpReply r;
    if (x.path == "/good.gif" || x.path == "/big.gif") {
        r.body = kImage;
    } else if (x.path == "/bigstream.gif") {
        r.body = kImage;
        r.sendLength = false;
    } else if (x.path == "/moved.gif") {
        r.status = 302;
        r.headers << "Location: /good.gif";
        r.body = "moved";
    } else if (x.path == "/loop.gif") {
        r.status = 301;
        r.headers << "Location: /loop.gif";
    } else if (x.path == "/stall.gif") {
        r.stall = true;
    } else {
        r.status = 404;
        r.body = "not found";
    }
    return r;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(ImageDownload, OnlyAWholeSuccessfulAnswerLeavesAFile) {
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    TThreadDownfile::SetMaxFileSize(6000);
    const struct {
        const char* path;
        bool ok;
        Http::Error error;
    } cases[] = {
        {"/good.gif", true, Http::Error::None},
        {"/moved.gif", true, Http::Error::None},
        {"/missing.gif", false, Http::Error::None},
        {"/loop.gif", false, Http::Error::Network},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.path + 1);
        const DownloadOutcome out =
            TThreadDownfile::Download(server.url(QString::fromLatin1(c.path)), dir.path(), name);
        EXPECT_EQ(out.ok, c.ok) << c.path;
        EXPECT_EQ(out.result.error, c.error) << c.path;
        EXPECT_EQ(out.path, dir.path() + "/" + name);
        EXPECT_EQ(QFile::exists(out.path), c.ok) << c.path;
        if (c.ok) {
            EXPECT_EQ(readAll(out.path), kImage) << c.path;
        }
    }
    const HttpExchange first = server.exchanges().constFirst();
    EXPECT_EQ(first.requestLine, "GET /good.gif HTTP/1.1");
    EXPECT_EQ(first.header("Accept"), "text/html, */*");
    EXPECT_EQ(first.header("User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    // Five redirects at most: the loop stopped after six requests.
    int loops = 0;
    for (const HttpExchange& x : server.exchanges())
        loops += x.path == "/loop.gif";
    EXPECT_EQ(loops, 6);
    TThreadDownfile::SetMaxFileSize(TThreadDownfile::kDefaultMaxFileSize);
}

TEST(ImageDownload, OversizedAnswersAreRefusedAndRemoved) {
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    TThreadDownfile::SetMaxFileSize(1000);
    for (const char* path : {"/big.gif", "/bigstream.gif"}) {
        const DownloadOutcome out = TThreadDownfile::Download(server.url(QString::fromLatin1(path)),
                                                              dir.path(), QStringLiteral("x.gif"));
        EXPECT_FALSE(out.ok) << path;
        EXPECT_EQ(out.result.error, Http::Error::TooLarge) << path;
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    TThreadDownfile::SetMaxFileSize(TThreadDownfile::kDefaultMaxFileSize);
}

TEST(ImageDownload, StalledDownloadFailsAndLeavesNoFile) {
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    const DownloadOutcome out = TThreadDownfile::Download(server.url(QStringLiteral("/stall.gif")),
                                                          dir.path(), QStringLiteral("s.gif"));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.result.error, Http::Error::Timeout);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(ImageDownload, HttpsImagesAreFetchedWithATrustedCertificateOnly) {
    const TestCertificates& certs = testCertificates();
    TestHttpServer server(imageHost, &certs);
    QTemporaryDir dir;
    Http::SetCaBundle(certs.otherCaFile.toLocal8Bit());
    DownloadOutcome out = TThreadDownfile::Download(server.url(QStringLiteral("/good.gif")),
                                                    dir.path(), QStringLiteral("g.gif"));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.result.error, Http::Error::Certificate);
    EXPECT_FALSE(QFile::exists(out.path));
    Http::SetCaBundle(certs.caFile.toLocal8Bit());
    out = TThreadDownfile::Download(server.url(QStringLiteral("/moved.gif")), dir.path(),
                                    QStringLiteral("g.gif"));
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(readAll(dir.path() + "/g.gif"), kImage);
    Http::SetCaBundle({});
}

TEST(ImageDownload, AFileThatCannotBeCreatedIsAFailure) {
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    const DownloadOutcome out = TThreadDownfile::Download(
        server.url(QStringLiteral("/good.gif")), dir.path() + "/no/such", QStringLiteral("g.gif"));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.result.error, Http::Error::WriteFailed);
    EXPECT_EQ(out.fileError, ENOENT);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST(ImageDownload, ADiskThatRefusesDataIsAFailureNotASuccess) {
    // A file-size limit makes write() fail part-way, as a full disk does.
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const DownloadOutcome out = TThreadDownfile::Download(server.url(QStringLiteral("/good.gif")),
                                                          dir.path(), QStringLiteral("g.gif"));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.result.error, Http::Error::WriteFailed);
    EXPECT_EQ(out.fileError, EFBIG);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}
