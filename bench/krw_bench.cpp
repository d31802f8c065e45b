// Reading a coding rule edition of 20 MB in the published layout (prefixed
// head and body, CR LF, indented elements, every list the reader knows) with
// 100 stored practice settings; beside it a bare memchr line scan of the same
// file, the floor any line reader stands on. The aim: a median below 200 ms
// (>= 100 MB/s); the counter x_scan is the reader's time over the scan's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "host/base/HostContext.h"
#include "q7txtbst/Krw.h"

namespace {

constexpr size_t kSize = 20u << 20;
const char* const kName = "krw_1.40_74_tf+2011q4_nr1.xml";

std::string Element(int indent, const std::string& name, const std::string& v) {
    return std::string(static_cast<size_t>(indent), ' ') + "<kbv:" + name + " V=\"" + v +
           "\"/>\r\n";
}
std::string Open(int indent, const char* name) {
    return std::string(static_cast<size_t>(indent), ' ') + "<kbv:" + name + ">\r\n";
}
std::string Close(int indent, const char* name) {
    return std::string(static_cast<size_t>(indent), ' ') + "</kbv:" + name + ">\r\n";
}

std::string Generate() {
    RandomWords words(74);
    const auto text = [&](int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t += (i ? (i % 5 == 4 ? ", " : " ") : "") + words(3, 11);
        return t;
    };
    const auto values = [&](int indent, int n) {
        std::string out = Open(indent, "value_liste");
        for (int i = 0; i < n; ++i)
            out += Element(indent + 2, "value",
                           FormatString("%c%02d.%d", 'A' + words.Between(0, 25),
                                        words.Between(0, 99), words.Between(0, 9))
                               .str());
        return out + Close(indent, "value_liste");
    };
    std::string file =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
        "<kbv:ehd xmlns:kbv=\"urn:ehd/krw/001\" xmlns:xsi=\"http://www.w3.org/2001/"
        "XMLSchema-instance\">\r\n"
        "  <kbv:header>\r\n"
        "    <kbv:origination_dttm V=\"2011-09-15\"/>\r\n"
        "    <kbv:service_tmr V=\"2011-10-01..2011-12-31\"/>\r\n"
        "  </kbv:header>\r\n"
        "  <kbv:body>\r\n";
    for (int rule = 0; file.size() < kSize; ++rule) {
        file += "    <kbv:kodierregel V=\"1\">\r\n";
        file += Element(6, "id", FormatString("AKR%05d", rule).str());
        file += Element(6, "service_tmr", "2011-07-01..2013-12-31");
        file += Element(6, "beschreibung", text(words.Between(20, 60)) + " &amp; &quot;x&quot;");
        file += Element(6, "kurz_beschreibung", text(6));
        file += Element(6, "regelkategorie", "2");
        file += Open(6, "regelquelle_liste");
        file += "        <kbv:regelquelle V=\"1\">\r\n" + Open(10, "regelthema_liste");
        for (int i = 0; i < 2; ++i)
            file += "            <kbv:regelthema V=\"" + std::to_string(i + 1) + "\" DN=\"" +
                    text(4) + "\"/>\r\n";
        file += Close(10, "regelthema_liste") + Close(8, "regelquelle");
        file += Close(6, "regelquelle_liste");
        file += Element(6, "regelanwendung", rule % 3 ? "1" : "2");
        file += "      <kbv:bezugsraum V=\"21\">\r\n" + Element(8, "anzahl_quartale", "4") +
                Close(6, "bezugsraum");
        file += Open(6, "echtzeitpruefung_liste") + Element(8, "echtzeitpruefung", "1") +
                Element(8, "echtzeitpruefung", "3") + Close(6, "echtzeitpruefung_liste");
        file += Open(6, "pruefgrundlage_liste") + Element(8, "pruefgrundlage", text(3)) +
                Close(6, "pruefgrundlage_liste");
        file += Open(6, "bedingung") + Element(8, "parameter", "ICD") +
                Element(8, "operator", "OR") + Element(8, "existenz", "TRUE") +
                values(8, words.Between(2, 30));
        file += Open(8, "subbedingung") + Element(10, "parameter", "DS") +
                Element(10, "existenz", "FALSE") + values(10, 3) + Close(8, "subbedingung");
        file += Close(6, "bedingung");
        file += Open(6, "pruefung") + Element(8, "parameter", "ICD") +
                Element(8, "operator", "AND") + Element(8, "existenz", "TRUE") +
                values(8, words.Between(2, 20)) + Element(8, "pruefung_existenz", "TRUE") +
                Close(6, "pruefung");
        file += Open(6, "fehlerbehandlung") + Element(8, "hinweis", text(12)) +
                Element(8, "vorschlag", text(8)) + Open(8, "korrektur") +
                Element(10, "parameter", "ICD") + Element(10, "regel", "REPLACE") + values(10, 2) +
                Close(8, "korrektur") + Close(6, "fehlerbehandlung");
        file += "    </kbv:kodierregel>\r\n";
    }
    return file + "  </kbv:body>\r\n</kbv:ehd>\r\n";
}

struct Practice : BenchPractice {
    std::string path;
    Practice() : BenchPractice("q7krw") {
        Q7SetHome(home);
        const std::string folder = home + "/data/Kbv";
        std::filesystem::create_directories(folder);
        path = folder + "/" + kName;
        std::ofstream(path, std::ios::binary) << Generate();
        std::string par = "key1\tkey2\tvalue\n";
        for (int i = 0; i < 100; ++i) par += FormatString(" 29\tkAKR%05d\t204\n", i * 37).str();
        Load("par", par);
    }
};

// Reads the file in 64 KiB blocks and counts its line feeds.
size_t ScanLines(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    static char buffer[65536];
    size_t lines = 0, got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        for (const char* p = buffer;
             (p = static_cast<const char*>(std::memchr(p, '\n', got - size_t(p - buffer)))); ++p)
            ++lines;
    std::fclose(f);
    return lines;
}

double MedianScanSeconds(const std::string& path) {
    std::vector<double> times;
    for (int i = 0; i < 7; ++i) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(ScanLines(path));
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void BM_ReadKrw(benchmark::State& state) {
    Practice& practice = BenchOnce<Practice>();
    if (!practice.Ready(state)) return;
    const double scan = MedianScanSeconds(practice.path);
    size_t rules = 0;
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CKrw krw;
        auto regeln = std::make_unique<KrwRegelMap>();
        auto details = std::make_unique<KrwDetailMap>();
        krw.regeln = regeln.get();
        krw.details = details.get();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (!krw.ReadKrw(true)) state.SkipWithError("Stammdatei nicht gelesen");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rules = regeln->size();
        state.PauseTiming();
        regeln.reset();
        details.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(practice.path)));
    state.counters["rules"] = static_cast<double>(rules);
    state.counters["x_scan"] = total / static_cast<double>(state.iterations()) / scan;
}
BENCHMARK(BM_ReadKrw)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void BM_ScanLines(benchmark::State& state) {
    Practice& practice = BenchOnce<Practice>();
    if (!practice.Ready(state)) return;
    for (auto _ : state) benchmark::DoNotOptimize(ScanLines(practice.path));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(practice.path)));
}
BENCHMARK(BM_ScanLines)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
