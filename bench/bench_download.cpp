// Image download: 200 images of 100 KB from a server on 127.0.0.1 through
// the download pool, with the user-interface thread's longest pause and the
// peak memory; then 20 files of 10 MB, to show that memory does not follow
// file size; beside the same 200 images fetched one after another on one
// thread (the anchor). Run: <build>/bench/bench_download
#include "net/TThreadDownfile.h"
#include "tests/net/TestHttpServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct Run {
    qint64 ms = 0;
    qint64 longestPauseMs = 0;
    int failed = 0;
};

// Starts every download at once, as "开始下载" does, and spins the event loop
// until the last one has reported back.
Run downloadAll(const TestHttpServer& server, const QString& path, int count) {
    QTemporaryDir dir;
    QObject receiver;
    auto handOver = std::make_shared<UiHandOver>(&receiver);
    Run run;
    int finished = 0;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer tick;
    tick.start();
    QTimer pulse;
    pulse.setInterval(5);
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { run.longestPauseMs = std::max(run.longestPauseMs, tick.restart()); });
    pulse.start();
    int error = 0;
    const std::shared_ptr<const DownloadDir> folder = DownloadDir::existing(dir.path(), &error);
    for (int i = 0; i < count; ++i)
        TThreadDownfile::Start(server.url(path), folder, QStringLiteral("image.png"), handOver,
                               [&](const DownloadOutcome& out) {
                                   ++finished;
                                   run.failed += out.ok ? 0 : 1;
                               });
    while (finished < count)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    run.ms = clock.elapsed();
    handOver->detach();
    return run;
}

// The same pulse with nothing running: what the machine's load alone costs.
qint64 idlePauseMs(int ms) {
    qint64 longest = 0;
    QElapsedTimer tick;
    tick.start();
    QTimer pulse;
    pulse.setInterval(5);
    QObject::connect(&pulse, &QTimer::timeout,
                     [&] { longest = std::max(longest, tick.restart()); });
    pulse.start();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return longest;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray small(100 * 1024, 'i');
    const QByteArray large(10 * 1024 * 1024, 'L');
    TestHttpServer server([&](const HttpExchange& x) {
        HttpReply r;
        r.body = x.path == "/large.png" ? large : small;
        return r;
    });

    // Anchor: the same 200 images, one after another on this thread.
    QElapsedTimer clock;
    clock.start();
    {
        QTemporaryDir dir;
        for (int i = 0; i < 200; ++i)
            TThreadDownfile::Download(server.url("/small.png"), dir.path(), "image.png");
    }
    const qint64 anchorMs = clock.elapsed();

    const qint64 idlePause = idlePauseMs(2000);
    const long before = peakRssKb();
    const Run small200 = downloadAll(server, "/small.png", 200);
    const long afterSmall = peakRssKb();
    const Run large20 = downloadAll(server, "/large.png", 20);
    const long afterLarge = peakRssKb();

    std::printf("200 x 100 KB through the pool:  %lld ms, %d failed, longest UI pause %lld ms\n",
                static_cast<long long>(small200.ms), small200.failed,
                static_cast<long long>(small200.longestPauseMs));
    std::printf("anchor, one after another:      %lld ms\n", static_cast<long long>(anchorMs));
    std::printf("longest UI pause with nothing running, over 2 s: %lld ms\n",
                static_cast<long long>(idlePause));
    std::printf("20 x 10 MB through the pool:    %lld ms, %d failed, longest UI pause %lld ms\n",
                static_cast<long long>(large20.ms), large20.failed,
                static_cast<long long>(large20.longestPauseMs));
    std::printf("peak RSS: %ld KB at start, %ld KB after 200 x 100 KB, %ld KB after 20 x 10 MB "
                "(the server holds the 10 MB body once)\n",
                before, afterSmall, afterLarge);
    return small200.failed + large20.failed == 0 ? 0 : 1;
}
