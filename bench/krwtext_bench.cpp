// Rendering an edition of 2,000 coding rules: the view's listing (one line
// per rule into the list box, red when inactive) and, for information, the
// line list of the changes view with every rule's detail text.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchSupport.h"
#include "host/dlg/XQControls.h"
#include "q7txtbst/KrwText.h"

namespace {

constexpr int kRegeln = 2000;

void Wert(KrwDetailMap& details, const CString& id, char art, unsigned zaehler,
          const std::string& text, char quelle = 0) {
    KrwDetailEintrag e;
    e.regelId = id;
    e.zaehler = FormatString("%3u", zaehler);
    e.art = art;
    e.quelle = quelle;
    e.text = text.c_str();
    details[e.regelId + e.art + e.zaehler] = e;
}

std::string Satz(RandomWords& word, int woerter) {
    std::string s = word(3, 12);
    for (int i = 1; i < woerter; ++i) s += " " + word(2, 12);
    return s;
}

// Rules shaped as the published ones: a few topics, one to five condition
// values, hints of a few hundred characters, two correction codes (one the
// catalogue holds, one it lacks); one in ten switched off.
struct Regelwerk : BenchPractice {
    KrwRegelMap regeln;
    KrwDetailMap details;

    Regelwerk() : BenchPractice("q7krwb") {
        RandomWords word(21);
        std::string katalog = "code\ttext\n";
        for (int k = 0; k < 100; ++k)
            katalog += "E" + std::to_string(10 + k / 10) + std::to_string(k % 10) + "\t" +
                       Satz(word, 12) + "\n";
        if (!Load("icd", katalog)) return;
        for (int i = 0; i < kRegeln; ++i) {
            CMemKrw21 r;
            r.id = FormatString("KRW%05d", i);
            r.gueltigVon = "20240101";
            r.gueltigBis = i % 3 ? "99991231" : "20251231";
            r.status = i % 10 ? '1' : '0';
            r.regelanwendung = i % 4 ? '1' : '2';
            r.bezugsraum = i % 2 ? '1' : '2';
            r.anzahlQuartale = word.Between(0, 4);
            r.echtzeitpruefung = static_cast<char>('1' + i % 6);
            r.kurzBeschreibung = Satz(word, 8).c_str();
            r.beschreibung = Satz(word, 30).c_str();
            r.hinweis = Satz(word, word.Between(10, 50)).c_str();
            r.vorschlag = Satz(word, word.Between(5, 30)).c_str();
            for (unsigned t = 1; t <= 3; ++t)
                Wert(details, r.id, KRW_THEMA, t, "T" + std::to_string(t) + "|" + Satz(word, 4),
                     t == 3 ? '2' : '1');
            const int bedingungen = word.Between(1, 5);
            for (int b = 1; b <= bedingungen; ++b)
                Wert(details, r.id, KRW_BEDINGUNG, static_cast<unsigned>(b),
                     "E1" + std::to_string(b) + "." + std::to_string(i % 10));
            Wert(details, r.id, KRW_SUBBEDINGUNG, 1, "G");
            Wert(details, r.id, KRW_KORREKTUR, 1, "E" + std::to_string(10 + i % 10) + ".1");
            Wert(details, r.id, KRW_KORREKTUR, 2, "Z99.9");
            regeln[r.id] = r;
        }
    }
};

void BM_ListingOf2000Rules(benchmark::State& state) {
    const Regelwerk& werk = BenchOnce<Regelwerk>();
    CXQListBoxX list;
    for (auto _ : state) {
        std::vector<krline> lines;
        for (const auto& [id, regel] : werk.regeln)
            lines.push_back({memKrw21ToString(regel), regel.status == '1' ? kKrwSchwarz : kKrwRot});
        list.ResetContent();
        for (const krline& line : lines) list.SetItemColor(list.AddString(line.text), line.farbe);
    }
    state.counters["lines"] = list.GetCount();
}
BENCHMARK(BM_ListingOf2000Rules)->Unit(benchmark::kMillisecond);

void BM_RenderLinesOf2000Rules(benchmark::State& state) {
    Regelwerk& werk = BenchOnce<Regelwerk>();
    if (!werk.Ready(state)) return;
    size_t count = 0;
    for (auto _ : state) count = renderLines(werk.regeln, werk.details).size();
    state.counters["lines"] = static_cast<double>(count);
}
BENCHMARK(BM_RenderLinesOf2000Rules)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
