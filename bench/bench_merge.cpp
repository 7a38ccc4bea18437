// The three-way merge of a category of 100,000 posts with 1,000 changes on
// each side (changed, added and deleted posts), beside GNU diff3 merging the
// same three files in the same run; and the check a save makes before it
// writes when no other writer changed anything, beside one stat().
//
// Run: <build>/bench/bench_merge [runs]
#include "store/PostMerge.h"
#include "store/TDateMan.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

QByteArray post(const QByteArray& tag, int i) {
    return tag + QByteArray::number(i) + " 标题$TCSPLIT$" + QByteArray(180, 'x') + "$1310$" +
           QByteArray::number(i * 7919);
}

// 1,000 changes spread over the category: a third changed, a third added, a
// third deleted.
QList<QByteArray> changed(const QList<QByteArray>& base, const QByteArray& tag, quint32 seed) {
    QRandomGenerator rng(seed);
    QList<QByteArray> out = base;
    for (int n = 0; n < 1000; ++n) {
        const int at = int(rng.bounded(quint32(out.size())));
        switch (n % 3) {
        case 0:
            out[at] = post(tag + "changed ", n);
            break;
        case 1:
            out.insert(at, post(tag + "added ", n));
            break;
        default:
            out.removeAt(at);
        }
    }
    return out;
}

void writeFile(const QString& path, const QList<QByteArray>& lines) {
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    for (const QByteArray& l : lines)
        f.write(l + "\r\n");
}

// CPU time of the whole process: on a loaded machine the wall clock also
// counts the time spent waiting for a core.
double cpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    QList<QByteArray> base;
    for (int i = 0; i < 100000; ++i)
        base << post("post ", i);
    const QList<QByteArray> ours = changed(base, "ours ", 1);
    const QList<QByteArray> theirs = changed(base, "theirs ", 2);

    std::vector<double> merge, mergeCpu, diff3;
    int conflicts = 0;
    qsizetype size = 0;
    QTemporaryDir dir;
    writeFile(dir.filePath("base"), base);
    writeFile(dir.filePath("ours"), ours);
    writeFile(dir.filePath("theirs"), theirs);
    for (int r = 0; r < runs; ++r) {
        auto t0 = Clock::now();
        const double c0 = cpuMs();
        const PostMerge::Result result = PostMerge::merge(base, ours, theirs);
        merge.push_back(ms(Clock::now() - t0));
        mergeCpu.push_back(cpuMs() - c0);
        conflicts = result.conflicts;
        size = result.lines.size();

        QProcess p;
        p.setStandardOutputFile(dir.filePath("diff3.out"));
        t0 = Clock::now();
        p.start("diff3",
                {"-m", dir.filePath("ours"), dir.filePath("base"), dir.filePath("theirs")});
        p.waitForFinished(-1);
        diff3.push_back(ms(Clock::now() - t0));
    }
    std::printf("merge of 100,000 posts, 1,000 changes a side: median %.1f ms wall, %.1f ms CPU "
                "(target < 300 ms); %lld posts, %d changed on both sides\n",
                median(merge), median(mergeCpu), static_cast<long long>(size), conflicts);
    std::printf("  GNU diff3 -m on the same files:            median %.1f ms\n", median(diff3));

    // The check before a save: six stat() calls when nothing changed.
    QDir().mkpath(dir.filePath("date"));
    for (int k = 0; k < 6; ++k)
        writeFile(dir.filePath(QStringLiteral("date/Date%1.dat").arg(k + 1)), base);
    TDateMan store(dir.filePath("date"));
    store.LoadCategories({0, 1, 2, 3, 4, 5});
    constexpr int kChecks = 10000;
    auto t0 = Clock::now();
    for (int n = 0; n < kChecks; ++n)
        store.mergeOutsideChanges({0, 1, 2, 3, 4, 5});
    const double check = ms(Clock::now() - t0) / kChecks;
    struct stat st {};
    const QByteArray one = QFile::encodeName(dir.filePath("date/Date1.dat"));
    t0 = Clock::now();
    for (int n = 0; n < kChecks; ++n)
        ::stat(one.constData(), &st);
    const double statMs = ms(Clock::now() - t0) / kChecks;
    std::printf("check of six categories before a save, nothing changed: %.4f ms (target < 1 ms)\n",
                check);
    std::printf("  one stat() of a category file:                          %.4f ms\n", statMs);
    return 0;
}
