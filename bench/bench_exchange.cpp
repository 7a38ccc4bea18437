// One data exchange step of the program as a process of its own, so that
// bench/exchange.sh times it from start to end beside perl, cat and cp doing
// the same work: the category file on disk is read by the store (as at
// start-up) and the result goes to the output file.
//
// usage: bench_exchange import <data folder>
//        bench_exchange export <data folder> <output file>
//        bench_exchange plain|sql <data folder> <output file> [--no-flush]
// The category is Date1.dat of the data folder. The custom export rules come
// from VELLUM_BENCH_PLAIN_RULE and VELLUM_BENCH_SQL_RULE. The program's export
// flushes its file to disk; --no-flush writes the same bytes without it, for
// the comparison with a writer that does not flush either. With
// VELLUM_BENCH_PHASES set, the times of reading the category and of the
// export alone are printed.
#include "store/RuleExport.h"
#include "store/TDateMan.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s import|export|plain|sql <data folder> [output] [--no-flush]\n",
                     argv[0]);
        return 2;
    }
    const QByteArray mode = argv[1];
    const QString dataDir = QString::fromLocal8Bit(argv[2]);
    const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const bool flush = !(argc > 4 && std::strcmp(argv[4], "--no-flush") == 0);

    if (mode == "import") {
        TDateMan store(dataDir + QStringLiteral("/none"));
        const int n = store.AppendFromFile(0, dataDir + QStringLiteral("/Date1.dat"));
        return n > 0 ? 0 : 1;
    }
    QElapsedTimer clock;
    clock.start();
    TDateMan store(dataDir);
    store.LoadCategory(0);
    const qint64 read = clock.restart();
    const bool ok = [&] {
        if (mode == "export")
            return store.SaveCategoryAs(0, out);
        const bool sql = mode == "sql";
        const QByteArray rule = qgetenv(sql ? "VELLUM_BENCH_SQL_RULE" : "VELLUM_BENCH_PLAIN_RULE");
        if (flush)
            return store.ExportWithRule(0, out, rule, sql, nullptr) > 0;
        QFile file(out);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        bool written = true;
        ExpandRuleStreamed(store.Records(0), rule, sql, [&](QByteArrayView piece) {
            return written = file.write(piece.data(), piece.size()) == piece.size();
        });
        return written;
    }();
    // Reading the category is what a user of the window has done at start-up;
    // the export alone is what the command makes them wait for.
    if (qEnvironmentVariableIsSet("VELLUM_BENCH_PHASES"))
        std::fprintf(stderr, "category read in %lld ms, exported in %lld ms\n", read,
                     clock.elapsed());
    return ok ? 0 : 1;
}
