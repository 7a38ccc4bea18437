// Data exchange on one category: import of a data file, export to a data
// file, and custom export in plain text and SQL mode, each including the
// write to disk. Prints the median of the runs in milliseconds.
// usage: bench_exchange <category file> <output folder> [runs]
#include "store/RuleExport.h"
#include "store/TDateMan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>
#include <vector>

namespace {
double medianMs(int runs, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <category file> <output folder> [runs]\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]) + QLatin1Char('/');
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const QByteArray plainRule = qgetenv("VELLUM_BENCH_PLAIN_RULE");
    const QByteArray sqlRule = qgetenv("VELLUM_BENCH_SQL_RULE");

    TDateMan store(out);
    const double import = medianMs(runs, [&] {
        store.ClearCategory(0);
        store.AppendFromFile(0, source);
    });
    const int posts = store.RecordCount(0);
    const double exportData =
        medianMs(runs, [&] { store.SaveCategoryAs(0, out + QStringLiteral("export.qre")); });
    // Each phase starts with the disk idle: otherwise the first export after
    // the data export pays for that file's writeback.
    ::sync();
    int written = 0;
    const double plain = medianMs(runs, [&] {
        written =
            store.ExportWithRule(0, out + QStringLiteral("plain.txt"), plainRule, false, nullptr);
    });
    ::sync();
    const double sql = medianMs(runs, [&] {
        store.ExportWithRule(0, out + QStringLiteral("sql.txt"), sqlRule, true, nullptr);
    });
    // The same work without the disk: what the CPU costs.
    const QList<QByteArray> records = store.Records(0);
    const double plainCpu = medianMs(runs, [&] {
        QByteArray output;
        ExpandRule(records, plainRule, false, output);
    });
    const double sqlCpu = medianMs(runs, [&] {
        QByteArray output;
        ExpandRule(records, sqlRule, true, output);
    });
    std::printf("posts %d (written %d), median of %d runs\n", posts, written, runs);
    std::printf("import (AppendFromFile)        %8.1f ms\n", import);
    std::printf("export (SaveCategoryAs)        %8.1f ms\n", exportData);
    std::printf("custom export, plain text      %8.1f ms\n", plain);
    std::printf("custom export, SQL             %8.1f ms\n", sql);
    std::printf("  rule expansion only, plain   %8.1f ms\n", plainCpu);
    std::printf("  rule expansion only, SQL     %8.1f ms\n", sqlCpu);
    return 0;
}
