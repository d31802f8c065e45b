// Text block insertion and search on a practice of 100,000 blocks, each
// on the practice file ("/sqlite") and on the practice server ("/server",
// skipped with the reason when Q7_PG_HOST and Q7_PG_PORT name none).
//
// Targets: the expansion under 1 ms on either store; a keystroke of the
// search dialog under 10 ms (the slowest filter, no filter at all, takes
// 10 ms on the file, docs/schema.md); every server figure within 3 times
// the file's.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaSuchTB.h"

namespace {

constexpr int kBlocks = 100000;

// One practice per store for all benchmarks of the run, filled once.
struct Practice : BenchPractice {
    explicit Practice(BenchStore store) : BenchPractice("q7bench", store) {
        if (!error.empty()) return;
        XQInstallDefaultStrings();
        RandomWords word(11);
        CXQTransaction transaction(dbDatabase);
        CQTb tb(dbDatabase);
        CQTbEntry line(dbDatabase);
        for (int i = 0; i < kBlocks; ++i) {
            tb.Kuerzel = (word(2, 5) + std::to_string(i)).c_str();
            tb.Gruppe = std::string(1, "bdfho"[i % 5]).c_str();
            tb.Beschreibung = (word(4, 10) + " " + word(4, 10) + " " + word(3, 8)).c_str();
            tb.Write();
            const int lineCount = word.Between(1, 10);
            for (int n = 0; n < lineCount; ++n) {
                line.KYKUERZEL = tb.Kuerzel;
                line.LFDTBENTRY = FormatString("%3d", n);
                line.TBENTRY = (word(3, 9) + " " + word(3, 9) + " " + word(3, 9)).c_str();
                line.Write();
            }
        }
        tb.Kuerzel = "rrb";
        tb.Write();
        line.KYKUERZEL = "rrb";
        line.LFDTBENTRY = "  0";
        line.TBENTRY = "RR 120/80 mmHg, Puls 72/min";
        line.Write();
        if (transaction.Commit() != XQ_OK) std::abort();
    }
};

void BM_DoTbEntryString_NoSearch(benchmark::State& state, BenchStore store) {
    if (!BenchOn<Practice>(store).Ready(state)) return;
    CQTbEntry lines(dbDatabase);
    for (auto _ : state) {
        CString text = "Befund: [rrb] ok";
        benchmark::DoNotOptimize(DoTbEntryString_NoSearch(nullptr, &text, &lines));
    }
}

// One keystroke in the search dialog's Kürzel filter: the query and the
// grid's first 20 lines, with and without part-word matching.
void BM_SearchDialogKeystroke(benchmark::State& state, BenchStore store) {
    if (!BenchOn<Practice>(store).Ready(state)) return;
    const bool teilwort = state.range(0) != 0;
    CdiaSuchTB::s_Groups.clear();
    CdiaSuchTB dialog(nullptr);
    // The dialog runs through a front end that only times the filter.
    struct Timing : CXQSilentFrontEnd {
        benchmark::State* state;
        bool teilwort;
        void RunModal(CXQDialog& d) override {
            auto& dlg = static_cast<CdiaSuchTB&>(d);
            if (teilwort) dlg.m_checkTeilwort.UserClick();
            const char* filters[] = {"k", "ka", "m", "mo", "x"};
            int i = 0;
            for (auto _ : *state) {
                dlg.m_editKuerzel.SetText(filters[i++ % 5]);
                benchmark::DoNotOptimize(dlg.m_grid.FetchedCount());
            }
            d.EndDialog(2);
        }
    } timing;
    timing.state = &state;
    timing.teilwort = teilwort;
    XQSetFrontEnd(&timing);
    dialog.DoModal();
    XQSetFrontEnd(nullptr);
}

// Heap held by a query over all 100,000 blocks while the grid shows it.
void BM_AllHitsMemory(benchmark::State& state) {
    BenchOn<Practice>(kFileStore);
    for (auto _ : state) {
        malloc_trim(0);
        const struct mallinfo2 before = mallinfo2();
        CQTb tb(dbDatabaseRO);
        tb.SetKey(2);
        tb.GetByKuerzel(XQ_MATCH_KUERZEL);
        const struct mallinfo2 after = mallinfo2();
        state.counters["hits"] = tb.AnzHits();
        state.counters["MB"] = (static_cast<double>(after.uordblks + after.hblkhd) -
                                static_cast<double>(before.uordblks + before.hblkhd)) /
                               (1024.0 * 1024.0);
    }
}

// Store by store, so that each practice is filled once.
BENCHMARK_CAPTURE(BM_DoTbEntryString_NoSearch, sqlite, kFileStore)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchDialogKeystroke, sqlite, kFileStore)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllHitsMemory)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DoTbEntryString_NoSearch, server, kServerStore)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchDialogKeystroke, server, kServerStore)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
