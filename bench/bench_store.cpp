// The post store on a category of 100,000 posts (titles of 10-30 Chinese
// characters, 1-4 KB of content): loading, saving, finding a title, and the
// post line encodings.
#include "store/CategoryFile.h"
#include "store/PostLine.h"
#include "store/TDateMan.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>

namespace {

int postCount() {
    const char* env = std::getenv("VELLUM_BENCH_POSTS");
    const int n = env ? std::atoi(env) : 0;
    return n > 0 ? n : 100000;
}

// A common GB2312 character, as its two GB18030 bytes.
void appendHanzi(QByteArray& out, std::mt19937& rng) {
    std::uniform_int_distribution<int> hi(0xB0, 0xD6), lo(0xA1, 0xFE);
    out.append(char(hi(rng)));
    out.append(char(lo(rng)));
}

QByteArray makeTitle(std::mt19937& rng) {
    QByteArray title;
    const int length = std::uniform_int_distribution<int>(10, 30)(rng);
    for (int i = 0; i < length; ++i)
        appendHanzi(title, rng);
    return title;
}

// Content as the editor holds it: paragraphs separated by CR LF.
QByteArray makeContent(std::mt19937& rng) {
    QByteArray content;
    const int size = std::uniform_int_distribution<int>(1024, 4096)(rng);
    std::uniform_int_distribution<int> paragraph(40, 300);
    int next = paragraph(rng);
    while (content.size() < size) {
        appendHanzi(content, rng);
        if (content.size() >= next) {
            content.append(rng() % 4 ? "\xA3\xAC" : "\r\n"); // "，" or a line break
            next = int(content.size()) + paragraph(rng);
        }
    }
    return content;
}

// One category file written once and shared by all benchmarks.
struct Library {
    QTemporaryDir dir;
    QList<QByteArray> lines;
    qint64 bytes = 0;
    QByteArray sampleTitle;
    QByteArray sampleContent;
    QByteArray lastTitlePart;

    Library() {
        std::mt19937 rng(1108);
        const int n = postCount();
        lines.reserve(n);
        for (int i = 0; i < n; ++i) {
            const QByteArray title = makeTitle(rng);
            const QByteArray content = makeContent(rng);
            if (i == 0) {
                sampleTitle = title;
                sampleContent = content;
            }
            lines.append(EncodePost(title, content));
            bytes += lines.back().size() + 2;
            if (i == n - 1)
                lastTitlePart = title.mid(title.size() - 8);
        }
        CategoryFile::writeLines(path(), lines);
    }
    QString dataDir() const { return dir.path(); }
    QString path() const { return dir.path() + QStringLiteral("/Date1.dat"); }
};

Library& library() {
    static Library lib;
    return lib;
}

void BM_LoadCategory(benchmark::State& state) {
    Library& lib = library();
    for (auto _ : state) {
        TDateMan man(lib.dataDir());
        benchmark::DoNotOptimize(man.LoadCategory(0));
    }
    state.SetBytesProcessed(state.iterations() * lib.bytes);
    state.counters["posts"] = double(lib.lines.size());
}

void BM_SaveCategory(benchmark::State& state) {
    Library& lib = library();
    QTemporaryDir out;
    TDateMan man(out.path());
    // The same posts, reached through the store's own load.
    QFile::copy(lib.path(), out.path() + QStringLiteral("/Date1.dat"));
    man.LoadCategory(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(man.SaveCategory(0));
    state.SetBytesProcessed(state.iterations() * lib.bytes);
}

void BM_FindTitle(benchmark::State& state, bool present) {
    Library& lib = library();
    TDateMan man(lib.dataDir());
    man.LoadCategory(0);
    // Worst cases: the match is on the last row, or there is none.
    const QByteArray text = present ? lib.lastTitlePart : QByteArray("\xC2\xDB\xCC\xB3\xD0\xC2");
    const int expected = present ? man.RecordCount(0) - 1 : -1;
    for (auto _ : state) {
        const int found = man.FindTitle(0, text, 0);
        if (present ? found > expected || found < 0 : found != expected)
            state.SkipWithError("unexpected search result");
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * man.RecordCount(0));
}

// The first search after a change pays for taking in the titles again.
void BM_FindTitleAfterChange(benchmark::State& state) {
    Library& lib = library();
    TDateMan man(lib.dataDir());
    man.LoadCategory(0);
    const QByteArray line = man.record(0, 0);
    for (auto _ : state) {
        man.ReplaceRecord(line, 0, 0);
        benchmark::DoNotOptimize(man.FindTitle(0, lib.lastTitlePart, 0));
    }
    state.SetItemsProcessed(state.iterations() * man.RecordCount(0));
}

void BM_EncodePost(benchmark::State& state) {
    Library& lib = library();
    for (auto _ : state)
        benchmark::DoNotOptimize(EncodePost(lib.sampleTitle, lib.sampleContent));
    state.SetBytesProcessed(state.iterations() *
                            (lib.sampleTitle.size() + lib.sampleContent.size()));
}

void BM_DecodePostPart(benchmark::State& state) {
    Library& lib = library();
    const QByteArray& line = lib.lines.front();
    const int part = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodePostPart(line, part));
    state.SetBytesProcessed(state.iterations() * line.size());
}

} // namespace

BENCHMARK(BM_LoadCategory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveCategory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_FindTitle, match_on_last_row, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindTitle, no_match, false)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindTitleAfterChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePost);
BENCHMARK(BM_DecodePostPart)->Arg(1)->ArgName("part")->Arg(2);

BENCHMARK_MAIN();
