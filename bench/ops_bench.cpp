// The procedure search on a generated catalogue of 30,000 keys with texts
// and fee items, and a fee schedule in two editions: what one keystroke in
// the key or text field costs once the typing pause is over (the search, the
// grid's first 20 lines, the details of line 0), and opening the dialog.
// Argument: the number of characters typed.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>

#include "bench/BenchSupport.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaSuchOPS.h"

namespace {

constexpr int kCodes = 30000;
const char* const kChapters[] = {"1", "3", "5", "6", "8", "9"};

// The key of procedure i: chapter, two-digit group, three more digits,
// "5-012.3" style; 6 chapters of 100 groups.
std::string Code(int i) {
    const int rest = i / 6;
    char code[16];
    snprintf(code, sizeof code, "%s-%02d%d.%d", kChapters[i % 6], rest / 50, rest % 50 / 10,
             rest % 10);
    return code;
}

struct Practice : BenchPractice {
    Practice() : BenchPractice("q7opsb") {
        RandomWords words(7);
        std::string ops = "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n";
        std::string texts = "code\ttype\ttext\n";
        std::string go = "edition\tnumber\ttext\n";
        for (const char* c : kChapters) {
            ops += std::string(c) + "\t" + c + "\t\t$0\t\t\t\n";
            texts += std::string(c) + "\t1\t" + words(5, 12) + " " + words(5, 12) + "\n";
            for (int g = 0; g < 100; ++g) {
                char group[8];
                snprintf(group, sizeof group, "%s-%02d", c, g);
                ops += std::string(group) + "\t" + c + "\t" + group + "\t$1\t\t\t\n";
                texts += std::string(group) + "\t2\t" + words(5, 12) + "\n";
            }
        }
        for (int i = 0; i < kCodes; ++i) {
            const std::string code = Code(i);
            ops += code + "\t" + kChapters[i % 6] + "\t" + code.substr(0, 4) + "\tA\t" +
                   std::to_string(words.Between(1, 7)) + "\t" +
                   std::to_string(words.Between(0, 3)) + "\t" + (i % 10 ? "0" : "1") + "\n";
            texts += code + "\t3\t" + words(3, 10) + " " + words(3, 10) + " " + words(3, 10) + " " +
                     words(3, 10) + "\n";
            texts += code + "\t5\t" + words(3, 10) + " " + words(3, 10) + "\n";
            texts += code + "\t8\t" + std::to_string(words.Between(30000, 30999)) + " " +
                     std::to_string(words.Between(30000, 30999)) + " \n";
        }
        for (const char* edition : {"h", "f"})
            for (int n = 30000; n < 31000; ++n)
                go += std::string(edition) + "\t" + std::to_string(n) + "\t" + words(4, 12) + " " +
                      words(4, 12) + "\n";
        if (Load("ops", ops) && Load("opstext", texts)) Load("go", go);
    }
};

bool Ready(benchmark::State& state) {
    return BenchOnce<Practice>().Ready(state);
}

// Runs act inside the modal run of the dialog.
class ActingFrontEnd : public CXQSilentFrontEnd {
  public:
    std::function<void(CdiaSuchOPS&)> act;
    void RunModal(CXQDialog& dialog) override {
        if (act) act(static_cast<CdiaSuchOPS&>(dialog));
        dialog.EndDialog(2);
    }
};

// Each iteration: the field is emptied and typed again (only the timer
// starts), then the pause runs out and the search runs.
void Keystroke(benchmark::State& state, bool text) {
    if (!Ready(state)) return;
    const CString typed =
        CString(text ? "abc defg hi" : "5-01245678").Left(static_cast<int>(state.range(0)));
    ActingFrontEnd front;
    front.act = [&](CdiaSuchOPS& dlg) {
        CXQLEditX& edit = text ? dlg.m_editText : dlg.m_editCode;
        for (auto _ : state) {
            edit.UserType("");
            edit.UserType(typed);
            Q7AdvanceHostMillis(250);
            dlg.FireDueTimers(Q7HostMillis());
        }
        state.counters["hits"] = dlg.m_grid.GetLineCount();
    };
    XQSetFrontEnd(&front);
    CTbResourceSwitch sw;
    CdiaSuchOPS dialog(false, "20261205", nullptr);
    dialog.DoModal();
    XQSetFrontEnd(nullptr);
}

void BM_KeyKeystroke(benchmark::State& state) {
    Keystroke(state, false);
}
BENCHMARK(BM_KeyKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

void BM_TextKeystroke(benchmark::State& state) {
    Keystroke(state, true);
}
BENCHMARK(BM_TextKeystroke)->DenseRange(1, 10)->Unit(benchmark::kMillisecond);

// Opening: settings, categories, the chapter list, the first search over all
// keys, the grid's first page and the details of its first line.
void BM_OpenSuchOPS(benchmark::State& state) {
    if (!Ready(state)) return;
    CXQSilentFrontEnd front;
    XQSetFrontEnd(&front);
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaSuchOPS dialog(false, "20261205", nullptr);
        dialog.DoModal();
        if (dialog.m_grid.GetLineCount() == 0) state.SkipWithError("no hits");
    }
    XQSetFrontEnd(nullptr);
}
BENCHMARK(BM_OpenSuchOPS)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
