#include "net/TThreadDownfile.h"
#include "platform/FileSizeLimit.h"
#include "tests/net/NetTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray kImage = QByteArray("GIF89a") + QByteArray(5000, '\x7f');

// /good.gif: the image; /missing.gif: 404; /moved.gif: 302 to the image;
// /toplain.gif: 302 to the same place over plain http; /loop.gif: redirects
// to itself; /stall.gif: no answer; /big.gif: 5000
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
    } else if (x.path == "/toplain.gif") {
        r.status = 302;
        r.headers << "Location: http://" + x.header("Host") + "/good.gif";
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
    // Never on from https to plain http.
    out = TThreadDownfile::Download(server.url(QStringLiteral("/toplain.gif")), dir.path(),
                                    QStringLiteral("p.gif"));
    EXPECT_EQ(out.result.error, Http::Error::InsecureRedirect);
    EXPECT_FALSE(QFile::exists(out.path));
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

namespace {
// Short limits, so that each kind of misbehaviour shows within seconds.
TThreadDownfile::Limits shortLimits() {
    TThreadDownfile::Limits limits;
    limits.readTimeoutMs = 5000;
    limits.lowSpeedBytes = 100;
    limits.lowSpeedSeconds = 1;
    limits.overallMs = 4000;
    return limits;
}

// Servers that never finish: an error page without end, a trickle far below
// the minimum speed, a steady stream above it that never ends, and a
// redirect whose own body never ends.
HttpReply misbehavingHost(const HttpExchange& x) {
    HttpReply r;
    r.endless = true;
    r.sendLength = false;
    if (x.path == "/endless404.gif") {
        r.status = 404;
        r.body = QByteArray(4096, 'e');
    } else if (x.path == "/trickle.gif") {
        r.body = "GIF89a";
        r.trickleMs = 200;
    } else if (x.path == "/steady.gif") {
        r.body = "GIF89a";
        r.trickleMs = 2;
    } else if (x.path == "/redirect.gif") {
        r.status = 302;
        r.headers << "Location: /good.gif";
        r.body = QByteArray(4096, 'r');
    } else {
        r = imageHost(x);
    }
    return r;
}
} // namespace

TEST(ImageDownload, EveryFileEndsWithinItsLimitsWhateverTheServerDoes) {
    TestHttpServer server(misbehavingHost);
    QTemporaryDir dir;
    TThreadDownfile::SetLimits(shortLimits());
    const struct {
        const char* path;
        bool ok;
        Http::Error error;
        long status;
        int minMs, maxMs; // overall deadline 4 s, minimum speed for 1 s
    } cases[] = {
        {"/endless404.gif", false, Http::Error::None, 404, 0, 2000},
        {"/redirect.gif", true, Http::Error::None, 200, 0, 2000},
        {"/trickle.gif", false, Http::Error::Timeout, 200, 900, 3800},
        {"/steady.gif", false, Http::Error::Timeout, 200, 3900, 7000},
    };
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        const DownloadOutcome out = TThreadDownfile::Download(
            server.url(QString::fromLatin1(c.path)), dir.path(), QStringLiteral("x.gif"));
        const qint64 took = clock.elapsed();
        EXPECT_EQ(out.ok, c.ok) << c.path;
        EXPECT_EQ(out.result.error, c.error) << c.path;
        EXPECT_EQ(out.result.status, c.status) << c.path;
        EXPECT_GE(took, c.minMs) << c.path;
        EXPECT_LE(took, c.maxMs) << c.path;
        EXPECT_EQ(QFile::exists(out.path), c.ok) << c.path;
        QFile::remove(out.path);
    }
    TThreadDownfile::SetLimits({});
}

// Run as a child process of the next test, under a real `ulimit -f`, set up
// as the program sets itself up.
TEST(ImageDownload, ChildUnderAFileSizeLimit) {
    const QString address = qEnvironmentVariable("VELLUM_FSIZE_ADDRESS");
    if (address.isEmpty())
        GTEST_SKIP() << "run by PastTheFileSizeLimitTheDownloadFailsAndTheProgramLives";
    FileSizeLimit::writesFailInsteadOfKilling();
    const QString folder = qEnvironmentVariable("VELLUM_FSIZE_FOLDER");
    const DownloadOutcome out = TThreadDownfile::Download(address, folder, QStringLiteral("g.gif"));
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.fileError, EFBIG);
}

TEST(ImageDownload, PastTheFileSizeLimitTheDownloadFailsAndTheProgramLives) {
    TestHttpServer server(imageHost);
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELLUM_FSIZE_ADDRESS", server.url(QStringLiteral("/good.gif")));
    env.insert("VELLUM_FSIZE_FOLDER", dir.path());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    // Two blocks (1 or 2 KB as the shell counts them) of a 5000-byte image.
    child.start("sh",
                {"-c", "ulimit -f 2; exec \"$0\" \"$1\"", QCoreApplication::applicationFilePath(),
                 "--gtest_filter=ImageDownload.ChildUnderAFileSizeLimit"});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << "killed by SIGXFSZ";
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}
