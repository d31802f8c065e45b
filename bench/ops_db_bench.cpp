// The OPS search on a generated catalogue of 30,000 procedures with one or
// two text lines each: what one keystroke in the code or text field of the
// search dialog starts, through the first 20 grid lines. Argument: the
// number of characters typed.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/base/Cp1252.h"
#include "host/db/Ops.h"
#include "host/db/XQDatabase.h"

namespace {

constexpr int kProcedures = 30000;
const int kChapters[] = {1, 3, 5, 6, 8, 9};

struct Practice : BenchPractice {
    std::string typedText;  // the beginning of a text the catalogue has
    Practice() : BenchPractice("q7opsb") {
        RandomWords words(7);
        std::string ops = "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n";
        std::string texts = "code\ttype\ttext\n";
        for (int chapter : kChapters)
            ops += std::to_string(chapter) + "\t" + std::to_string(chapter) + "\t\t$0\t\t\t0\n";
        char code[32];
        for (int i = 0; i < kProcedures; ++i) {
            const int chapter = kChapters[i % 6];
            const int n = i / 6;
            std::snprintf(code, sizeof code, "%d-%03d.%d%s", chapter, n / 5, n % 5,
                          i % 7 == 0 ? "a" : "");
            char group[16];
            std::snprintf(group, sizeof group, "%d-%02d", chapter, n / 50);
            ops += std::string(code) + "\t" + std::to_string(chapter) + "\t" + group + "\tK" +
                   std::to_string(i % 4) + "\t\t" + std::to_string(i % 4) + "\t" +
                   (i % 10 == 0 ? "1" : "0") + "\n";
            for (int line = 0; line < 1 + i % 2; ++line) {
                std::string text;
                for (int w = words.Between(3, 6); w > 0; --w)
                    text += (text.empty() ? "" : " ") + words(3, 12);
                texts += std::string(code) + "\t3\t" + text + "\n";
                if (i == 100 && line == 0) typedText = text;
            }
        }
        if (!Load("ops", ops) || !Load("opstext", texts)) std::abort();
    }
};

void Keystroke(benchmark::State& state, bool code) {
    const Practice& practice = BenchOnce<Practice>();
    CQOps search(dbDatabaseRO);
    const std::string full = code ? "5-123.4a" : practice.typedText;
    const CString typed = CString(full.c_str()).Left(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        search.ClearAll();
        if (code) search.Code = typed;
        search.GetForSuche(code ? CString() : typed, false);
        FetchGridPage(search);
    }
    state.SetLabel(Cp1252ToUtf8(typed.str()));
    state.counters["hits"] = search.AnzHits();
}

void BM_CodeKeystroke(benchmark::State& state) {
    Keystroke(state, true);
}
BENCHMARK(BM_CodeKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

void BM_TextKeystroke(benchmark::State& state) {
    Keystroke(state, false);
}
BENCHMARK(BM_TextKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
