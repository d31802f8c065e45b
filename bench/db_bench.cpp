// Record-set queries on 100,000 text blocks: a query keeps only row ids, so
// a filter plus the first 20 rows (what a grid shows) stays cheap.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"

namespace {

struct Practice : BenchPractice {
    Practice() : BenchPractice("q7dbb") {
        RandomWords word(7);
        CXQTransaction transaction(dbDatabase);
        CQTb tb(dbDatabase);
        for (int i = 0; i < 100000; ++i) {
            tb.Kuerzel = (word(2, 5) + std::to_string(i)).c_str();
            tb.Gruppe = std::string(1, "bdfho"[i % 5]).c_str();
            tb.Beschreibung = (word(4, 10) + " " + word(4, 10) + " " + word(3, 8)).c_str();
            tb.Write();
        }
        if (transaction.Commit() != XQ_OK) std::abort();
    }
};

struct Filter {
    int mode;
    const char* kuerzel;
    const char* text;
    const char* gruppe;
};
const Filter kFilters[] = {
    {XQ_MATCH_KUERZEL, "k", "", ""},  {XQ_MATCH_FIELDS, "k", "", ""},
    {XQ_MATCH_FIELDS, "Q", "ab", ""}, {XQ_MATCH_FIELDS, "k", "", "b"},
    {XQ_MATCH_KUERZEL, "k", "", "b"}, {XQ_MATCH_FIELDS, "", "", ""},
};

void BM_KuerzelQueryAnd20Rows(benchmark::State& state) {
    BenchOnce<Practice>();
    const Filter& f = kFilters[state.range(0)];
    CQTb search(dbDatabaseRO);
    search.SetKey(2);
    for (auto _ : state) {
        search.ClearAll();
        search.Kuerzel = f.kuerzel;
        search.Beschreibung = f.text;
        search.Gruppe = f.gruppe;
        search.GetByKuerzel(f.mode);
        FetchGridPage(search);
    }
    state.counters["hits"] = search.AnzHits();
}
BENCHMARK(BM_KuerzelQueryAnd20Rows)->DenseRange(0, 5)->Unit(benchmark::kMillisecond);

void BM_FarJumps(benchmark::State& state) {
    BenchOnce<Practice>();
    CQTb all(dbDatabaseRO);
    all.GetAll();
    for (auto _ : state) {
        all.SeekIndex(99990);
        all.Jump(-50000);
    }
}
BENCHMARK(BM_FarJumps)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
