// The ICD search on the real catalogue (../shared/icd10gm): what one
// keystroke in the code, text or key word field of the search dialog starts,
// through the first 20 grid lines. Argument: the number of characters typed.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaSuchIcd.h"

namespace {

// One practice with the whole catalogue for all benchmarks of the run.
struct Practice : BenchPractice {
    Practice() : BenchPractice("q7icdb") {
        for (const char* kind : kIcdKinds) {
            const std::string content = ReadIcdKind(kind, error);
            if (content.empty() || !Load(kind, content)) return;
        }
    }
};

// What the user types, one field per benchmark.
const char* const kCode = "S72.01";
const char* const kText = "diabetes m";
const char* const kSchlagwort = "lungenentz";

bool Ready(benchmark::State& state) {
    return BenchOnce<Practice>().Ready(state);
}

void BM_CodeKeystroke(benchmark::State& state) {
    if (!Ready(state)) return;
    CQIcd search(dbDatabaseRO);
    search.SetKey(2);
    CString typed = CString(kCode).Left(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        search.ClearAll();
        search.Code = CQIcd::RemovePoint(typed);
        search.GetForSuche(false, "", false, false, false, "");
        FetchGridPage(search);
    }
    state.counters["hits"] = search.AnzHits();
}
BENCHMARK(BM_CodeKeystroke)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

void BM_TextKeystroke(benchmark::State& state) {
    if (!Ready(state)) return;
    CQIcd search(dbDatabaseRO);
    search.SetKey(2);
    CString typed = CString(kText).Left(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        search.ClearAll();
        search.Text = typed;
        search.GetForSuche(false, "", false, false, false, "");
        FetchGridPage(search);
    }
    state.counters["hits"] = search.AnzHits();
}
BENCHMARK(BM_TextKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

// Tab 1 as the dialog drives it: below three characters an exact lookup of
// the empty code, from the third the thesaurus search.
void BM_SchlagwortKeystroke(benchmark::State& state) {
    if (!Ready(state)) return;
    CQIcd search(dbDatabaseRO);
    search.SetKey(2);
    CString typed = CString(kSchlagwort).Left(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        search.ClearAll();
        if (typed.GetLength() >= ICD_SCHLAGWORT_MIN)
            search.GetByThesaurus(typed, false, false, false, "");
        else
            search.GetByK1FilteredByFG(XQ_MATCH_EQUAL, false, false, false, "");
        FetchGridPage(search);
    }
    state.counters["hits"] = search.AnzHits();
}
BENCHMARK(BM_SchlagwortKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

// Tab 2: catalogue texts or index lines.
void BM_CombinedKeystroke(benchmark::State& state) {
    if (!Ready(state)) return;
    CQIcd search(dbDatabaseRO);
    search.SetKey(2);
    CString typed = CString(kSchlagwort).Left(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        search.ClearAll();
        search.GetForSucheOrThesaurus(typed, false, "", false, false, false, "");
        FetchGridPage(search);
    }
    state.counters["hits"] = search.AnzHits();
}
BENCHMARK(BM_CombinedKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

// The thesaurus memo of the current grid line.
void BM_ThesaurusMemo(benchmark::State& state) {
    if (!Ready(state)) return;
    CQIcd memo(dbDatabaseRO);
    for (auto _ : state) {
        memo.ClearAll();
        memo.GetForThesaurus("J189", "", false, false, false, "");
        while (memo.Next() == 0) {
        }
    }
    state.counters["lines"] = memo.AnzHits();
}
BENCHMARK(BM_ThesaurusMemo)->Unit(benchmark::kMillisecond);

// Opening the search dialog: settings, the chapter list, the first search
// over all codes and the grid's first page.
void BM_OpenSuchIcd(benchmark::State& state) {
    if (!Ready(state)) return;
    CXQSilentFrontEnd front;
    XQSetFrontEnd(&front);
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaSuchIcd dialog(false, "", nullptr);
        dialog.DoModal();
        if (dialog.m_grid.GetLineCount() == 0) state.SkipWithError("no hits");
    }
    XQSetFrontEnd(nullptr);
}
BENCHMARK(BM_OpenSuchIcd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
