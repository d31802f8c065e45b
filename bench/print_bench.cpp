// Printing the list of 1,000 text blocks with three lines each: the data
// file written, laid out and rendered to a PDF.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/base/HostContext.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/diatb.h"

namespace {

constexpr int kBlocks = 1000;
constexpr int kLines = 3;

struct CountingFrontEnd : CXQSilentFrontEnd {
    int printed = 0;
    void Print(const CString&) override { ++printed; }
};

struct Practice : BenchPractice {
    CountingFrontEnd front;
    Practice() : BenchPractice("q7prt") {
        Q7SetHome(home);
        XQInstallDefaultStrings();
        CXQTransaction transaction(dbDatabase);
        CQTb tb(dbDatabase);
        CQTbEntry line(dbDatabase);
        for (int i = 0; i < kBlocks; ++i) {
            tb.ClearAll();
            tb.Kuerzel = FormatString("K%05d", i);
            tb.Gruppe = "b";
            tb.Beschreibung = FormatString("Befund %d der Liste mit \xE4\xF6\xFC", i);
            if (tb.Write() != 0) std::abort();
            for (int n = 0; n < kLines; ++n) {
                line.ClearAll();
                line.KYKUERZEL = tb.Kuerzel;
                line.LFDTBENTRY = FormatString("%3d", n);
                line.TBENTRY = FormatString(
                    "Zeile %d des Textbausteins %d: Herz und Lunge auskultatorisch unauff\xE4llig, "
                    "Abdomen weich, kein Druckschmerz.",
                    n, i);
                if (line.Write() != 0) std::abort();
            }
        }
        if (transaction.Commit() != XQ_OK) std::abort();
        XQSetFrontEnd(&front);
    }
    ~Practice() { XQSetFrontEnd(nullptr); }
};

void BM_Print1000Blocks(benchmark::State& state) {
    static Practice p;
    for (auto _ : state) {
        const int before = p.front.printed;
        CQTbEntry lines(dbDatabaseRO);
        CdiaTB::DoPrint(nullptr, lines, true, "", "", "", "", false);
        if (p.front.printed != before + 1) state.SkipWithError("nothing printed");
    }
}
BENCHMARK(BM_Print1000Blocks)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
