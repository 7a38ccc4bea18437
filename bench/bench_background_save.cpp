// The background rewrite of one large category (default 250 MB) while the
// user-interface thread keeps running: how long the write takes, how late a
// 10 ms timer on the user-interface thread fires meanwhile, and how long a
// capture (a post added during the save) takes there; beside the same
// rewrite done on the user-interface thread, which blocks it throughout.
//   bench_background_save [megabytes] [folder]
#include "store/BackgroundSaver.h"
#include "store/TDateMan.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 250;
    QTemporaryDir tmp(argc > 2 ? QString::fromLocal8Bit(argv[2]) + "/bench-XXXXXX"
                               : QDir::tempPath() + "/bench-XXXXXX");
    TDateMan store(tmp.path());
    const QByteArray content = QByteArray(1000, 'x');
    const qint64 posts = megabytes * 1000;
    for (qint64 i = 0; i < posts; ++i)
        store.AddRecord("post " + QByteArray::number(i) + "$TCSPLIT$" + content, 0);

    QElapsedTimer clock;
    clock.start();
    store.SaveCategories({0});
    const qint64 blocking = clock.elapsed();

    BackgroundSaver saver(store, 0);
    qint64 maxLate = 0;
    qint64 lastTick = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick > 0)
            maxLate = qMax(maxLate, now - lastTick - 10);
        lastTick = now;
    });
    qint64 captureMs = -1;
    qint64 snapshotMs = -1;
    qint64 writeMs = -1;
    QObject::connect(&saver, &BackgroundSaver::saveFinished, [&] {
        writeMs = clock.elapsed();
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        clock.restart();
        ticker.start();
        store.AddRecord("first change$TCSPLIT$", 0); // starts the save at once
        snapshotMs = clock.elapsed();
        QTimer::singleShot(100, [&] {
            QElapsedTimer capture;
            capture.start();
            store.AddRecord("captured during the save$TCSPLIT$", 0);
            captureMs = capture.elapsed();
        });
    });
    app.exec();
    std::printf("category of %lld MB, %lld posts\n", megabytes, posts);
    std::printf("on the user-interface thread (anchor): window blocked %lld ms\n", blocking);
    std::printf("in the background: written in %lld ms; the change that starts it took %lld ms;\n"
                "  10 ms timer late by at most %lld ms; a capture during the save took %lld ms\n",
                writeMs, snapshotMs, maxLate, captureMs);
    return 0;
}
