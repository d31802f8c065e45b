// Exchange file: export and import of 10,000 text blocks with 5 lines each
// through the dialogs, and the same blocks as a host data file (dump and
// load), each for a practice in its file ("/sqlite") and on the practice
// server ("/server", skipped with the reason when Q7_PG_HOST and Q7_PG_PORT
// name none; target: within 3 times the file's figure); and the peak memory of reading hostile
// files of 64 MB of every shape that could make the reader or a handler hold much: the counter
// peak_MB is the resident high-water mark of a child process that only reads the file (base_MB what
// it had before). The aim: below 256 MB.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "bench/BenchSupport.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/IcdUeberleitung.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/TBImport.h"
#include "q7txtbst/diaExportTB.h"
#include "q7txtbst/diaImportTB.h"

namespace {

constexpr int kBlocks = 10000;
constexpr int kLines = 5;

// Ticks everything and takes over; every file dialog gets the one path.
struct AcceptingFrontEnd : CXQSilentFrontEnd {
    CString path;
    void RunModal(CXQDialog& dialog) override {
        dialog.OnCTRL_S();
        dialog.ClickToolbarButton(XQTB_ACCEPT);
        if (!dialog.IsEnded()) dialog.EndDialog(2);
    }
    int MessageBox(XQMsgKind, const CString&, const CString&,
                   const std::vector<CString>&) override {
        return 0;
    }
    bool FileDialog(bool, const CString&, const CString&, const CString&, CString& p) override {
        p = path;
        return true;
    }
};

struct Practice : BenchPractice {
    AcceptingFrontEnd front;
    explicit Practice(BenchStore store) : BenchPractice("q7xml", store) {
        if (!error.empty()) return;
        XQInstallDefaultStrings();
        CXQTransaction transaction(dbDatabase);
        CQTb tb(dbDatabase);
        CQTbEntry line(dbDatabase);
        for (int i = 0; i < kBlocks; ++i) {
            tb.ClearAll();
            tb.Kuerzel = FormatString("k%05d", i);
            tb.Beschreibung = FormatString("Beschreibung %d mit \xE4\xF6\xFC & <Zeichen>", i);
            if (tb.Write() != 0) std::abort();
            for (int n = 0; n < kLines; ++n) {
                line.ClearAll();
                line.KYKUERZEL = tb.Kuerzel;
                line.LFDTBENTRY = FormatString("%3d", n);
                line.TBENTRY =
                    FormatString("Zeile %d des Textbausteins %d: Befund o.B., \x80 5", n, i);
                if (line.Write() != 0) std::abort();
            }
        }
        if (transaction.Commit() != XQ_OK) std::abort();
        front.path = (home + "/dazo_tb.xml").c_str();
        XQSetFrontEnd(&front);
    }
    ~Practice() { XQSetFrontEnd(nullptr); }
};

void BM_Export10000(benchmark::State& state, BenchStore store) {
    if (!BenchOn<Practice>(store).Ready(state)) return;
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaExportTB dlg(nullptr);
        if (dlg.DoModal() != 1) state.SkipWithError("export failed");
    }
}

void BM_Import10000(benchmark::State& state, BenchStore store) {
    if (!BenchOn<Practice>(store).Ready(state)) return;
    {
        CTbResourceSwitch sw;
        CdiaExportTB dlg(nullptr);
        dlg.DoModal();
    }
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaImportTB dlg(nullptr);
        if (dlg.DoModal() != 1) state.SkipWithError("import failed");
    }
}

// The blocks as a host data file: all of them printed, and the file loaded
// again over them (every block replaced).
void BM_DumpTsv10000(benchmark::State& state, BenchStore store) {
    if (!BenchOn<Practice>(store).Ready(state)) return;
    for (auto _ : state) {
        std::ostringstream out;
        CString error;
        if (XQDumpTsv("tb", out, &error) != 0) state.SkipWithError("dump failed");
        benchmark::DoNotOptimize(out.tellp());
    }
}

void BM_LoadTsv10000(benchmark::State& state, BenchStore store) {
    Practice& practice = BenchOn<Practice>(store);
    if (!practice.Ready(state)) return;
    std::ostringstream out;
    CString error;
    if (XQDumpTsv("tb", out, &error) != 0) std::abort();
    const std::string file = out.str();
    for (auto _ : state)
        if (!practice.Load("tb", file)) state.SkipWithError(practice.error.c_str());
}

// Store by store, so that each practice is filled once.
#define Q7_STORE_BENCHMARKS(name, store)                                            \
    BENCHMARK_CAPTURE(BM_Export10000, name, store)                                  \
        ->Unit(benchmark::kMillisecond)                                             \
        ->Repetitions(5)                                                            \
        ->ReportAggregatesOnly();                                                   \
    BENCHMARK_CAPTURE(BM_Import10000, name, store)                                  \
        ->Unit(benchmark::kMillisecond)                                             \
        ->Repetitions(5)                                                            \
        ->ReportAggregatesOnly();                                                   \
    BENCHMARK_CAPTURE(BM_DumpTsv10000, name, store)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(BM_LoadTsv10000, name, store)->Unit(benchmark::kMillisecond)
Q7_STORE_BENCHMARKS(sqlite, kFileStore);
Q7_STORE_BENCHMARKS(server, kServerStore);

// ---------------------------------------------------------------- peak memory

constexpr size_t kFileSize = 64u << 20;

// Writes a file of about kFileSize: head, then body(i) for i = 0, 1, ...
// while it fits, then tail.
std::string WriteShape(const char* name, const std::string& head,
                       const std::function<std::string(size_t)>& body, const std::string& tail) {
    static const std::string dir = BenchHome("q7xmlmem");
    static const struct Cleanup {
        ~Cleanup() { RemoveBenchHome(dir); }
    } cleanup;
    const std::string path = dir + "/" + name + ".xml";
    std::ofstream out(path, std::ios::binary);
    size_t size = head.size() + tail.size();
    out << head;
    std::string piece;
    for (size_t i = 0; size + (piece = body(i)).size() <= kFileSize; ++i) {
        out << piece;
        size += piece.size();
    }
    out << tail;
    return path;
}

long ResidentKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

struct ChildResult {
    long baseKiB = 0, peakKiB = 0;
    double seconds = 0;
    int refused = 0;
    long items = 0;
};

// Reads the file as reading() does, in a child process, so
// that its high-water mark is the reading's alone.
void PeakOfReading(benchmark::State& state, const std::string& path,
                   const std::function<long(CXQSAXReader&, const std::string&)>& reading) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) std::abort();
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            ChildResult r;
            r.baseKiB = ResidentKiB("VmRSS:");
            const auto start = std::chrono::steady_clock::now();
            CXQSAXReader reader;
            r.items = reading(reader, path);
            r.refused = r.items < 0;
            r.seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            r.peakKiB = ResidentKiB("VmHWM:");
            if (write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) _exit(1);
            _exit(0);
        }
        close(fds[1]);
        ChildResult r;
        const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        std::error_code ec;
        std::filesystem::remove(path, ec);  // 64 MB each
        if (!got) {
            state.SkipWithError("the reading child died");
            return;
        }
        state.SetIterationTime(r.seconds);
        state.counters["peak_MB"] = static_cast<double>(r.peakKiB) / 1024;
        state.counters["base_MB"] = static_cast<double>(r.baseKiB) / 1024;
        state.counters["refused"] = r.refused;
        state.counters["items"] = static_cast<double>(r.refused ? 0 : r.items);
    }
}

// The exchange import: blocks and lines kept, or -1 when refused.
long ReadExchange(CXQSAXReader& reader, const std::string& path) {
    STbImportMap map;
    CTBImport handler(map);
    reader.putContentHandler(&handler);
    if (!reader.parseURL(path.c_str())) return -1;
    long lines = 0;
    for (const auto& entry : map) lines += static_cast<long>(entry.second.lines.size());
    return static_cast<long>(map.size()) + lines;
}

// The dental transition table: entries and codes kept, or -1.
long ReadTransition(CXQSAXReader& reader, const std::string& path) {
    SIcdGruppen gruppen;
    CIcdUeberleitung handler(gruppen);
    reader.putContentHandler(&handler);
    if (!reader.parseURL(path.c_str())) return -1;
    long items = 0;
    for (const SIcdGruppe& g : gruppen)
        for (const SIcdEintrag& e : g.eintraege)
            items += 1 + static_cast<long>(e.erster.size() + e.zweiter.size());
    return items;
}

const std::string kDecl = "<?xml version=\"1.0\"?>";
const std::string kTbHead = kDecl + "<dazo_tb><software>q7</software>";
const std::string kEntity =
    kDecl + "<!DOCTYPE dazo_tb [<!ENTITY b \"" + std::string(100000, 'b') + "\">]>";
const std::string kOneBlock = "<tb><id>a</id><lines><line><entry>0</entry><text>";

std::string Id(size_t i) {
    return FormatString("%08zx", i).str();
}

// One text of 64 MB.
void BM_Peak_HugeText(benchmark::State& state) {
    PeakOfReading(
        state,
        WriteShape(
            "hugetext", kTbHead + kOneBlock, [](size_t) { return std::string(4096, 'x'); },
            "</text></line></lines></tb></dazo_tb>"),
        ReadExchange);
}

// One entity of 100 KB used as often as expat's default factor allows for
// its 10 MB, then plain text to 64 MB.
void BM_Peak_EntityText(benchmark::State& state) {
    PeakOfReading(
        state,
        WriteShape(
            "entitytext",
            "<!DOCTYPE dazo_tb [<!ENTITY b \"" + std::string(100000, 'b') + "\">]>" + kTbHead +
                kOneBlock,
            [](size_t i) { return i < 9000 ? std::string("&b;") : std::string(4096, 'x'); },
            "</text></line></lines></tb></dazo_tb>"),
        ReadExchange);
}

// The same entity expanded in an attribute (which expat builds whole) after
// 32 MB of plain text, 300 times: as far as the amplification limit lets it.
void BM_Peak_EntityAttribute(benchmark::State& state) {
    const size_t filler = (32u << 20) / 4096;
    PeakOfReading(state,
                  WriteShape(
                      "entityattribute", kEntity + "<dazo_tb><software>",
                      [filler](size_t i) {
                          if (i < filler) return std::string(4096, 'x');
                          if (i == filler) return std::string("</software><tb a=\"");
                          if (i <= filler + 300) return std::string("&b;");
                          if (i == filler + 301) return std::string("\"/><software>");
                          return std::string(4096, 'x');
                      },
                      "</software></dazo_tb>"),
                  ReadExchange);
}

// One attribute value of 64 MB: expat holds a token whole.
void BM_Peak_HugeAttribute(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "hugeattribute", kTbHead + "<tb a=\"",
                      [](size_t) { return std::string(4096, 'x'); }, "\"/></dazo_tb>"),
                  ReadExchange);
}

// Empty lines in one block: each is a line record in memory.
void BM_Peak_TinyLines(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "tinylines", kTbHead + "<tb><id>a</id><lines>",
                      [](size_t) { return std::string("<line/>"); }, "</lines></tb></dazo_tb>"),
                  ReadExchange);
}

// Numbered lines with short texts in blocks of ten lines.
void BM_Peak_BlocksOfLines(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "blocksoflines", kTbHead,
                      [](size_t i) {
                          std::string block = "<tb><id>" + Id(i) + "</id><lines>";
                          for (int n = 0; n < 10; ++n)
                              block += "<line><entry>" + std::to_string(n) +
                                       "</entry><text>Zeile mit Text</text></line>";
                          return block + "</lines></tb>";
                      },
                      "</dazo_tb>"),
                  ReadExchange);
}

// Blocks with nothing but their Kürzel.
void BM_Peak_ManyBlocks(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "manyblocks", kTbHead,
                      [](size_t i) { return "<tb><id>" + Id(i) + "</id></tb>"; }, "</dazo_tb>"),
                  ReadExchange);
}

// The transition table with code items and description lines in one entry.
void BM_Peak_TransitionItems(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "transitionitems",
                      "<Ueberleitung><Gruppe><Eintrag><Freitextdiagnose>x</Freitextdiagnose>"
                      "<ersterDiagnosekode>",
                      [](size_t i) {
                          return i % 2 ? std::string("<icd/>")
                                       : std::string("<icd><Beschreibung>b</Beschreibung></icd>");
                      },
                      "</ersterDiagnosekode></Eintrag></Gruppe></Ueberleitung>"),
                  ReadTransition);
}

// The transition table keeps its texts whole: description lines of 1 MiB,
// half of them from entity references (as far as the limit lets them).
void BM_Peak_TransitionTexts(benchmark::State& state) {
    PeakOfReading(state,
                  WriteShape(
                      "transitiontexts",
                      kDecl + "<!DOCTYPE Ueberleitung [<!ENTITY b \"" + std::string(100000, 'b') +
                          "\">]><Ueberleitung><Gruppe><Eintrag><ersterDiagnosekode><icd>",
                      [](size_t i) {
                          std::string line = "<Beschreibung>";
                          if (i % 2)
                              for (int k = 0; k < 9; ++k) line += "&b;";
                          else
                              line += std::string(1u << 20, 'x');
                          return line + "</Beschreibung>";
                      },
                      "</icd></ersterDiagnosekode></Eintrag></Gruppe></Ueberleitung>"),
                  ReadTransition);
}

BENCHMARK(BM_Peak_HugeText)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_EntityText)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_EntityAttribute)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_HugeAttribute)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_TinyLines)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_BlocksOfLines)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_ManyBlocks)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_TransitionItems)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Peak_TransitionTexts)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
