// Reading a KBV ICD-10-GM master file of the real catalogue's size into the
// practice database: 17,000 codes in three levels with 80,000 index texts, in
// the published layout (ISO-8859-15, CR LF, one element a line), invented
// words. Each run replaces the catalogue the run before read.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"

namespace {

constexpr int kCodes = 17000;
constexpr int kIndexTexts = 80000;
const char* const kGroups[] = {"3", "6", "8", "10", "13.3", "16", "23.1", "26"};

struct MasterFile {
    std::string out;
    RandomWords words{20260101};
    int codes = 0;
    int texts = 0;

    void Line(int indent, const std::string& text) {
        out.append(static_cast<size_t>(indent), ' ');
        out += text;
        out += "\r\n";
    }
    void Value(int indent, const char* element, const std::string& v) {
        Line(indent, "<" + std::string(element) + " V=\"" + v + "\"/>");
    }
    std::string Text(int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t += (i ? " " : "") + words(3, 11);
        t[0] = '\xC4';  // an umlaut in every text, as the catalogue's are
        return t;
    }
    // A code with its subordinate codes: one with two or three digits
    // after the point below each four-character code now and then.
    void Diagnose(int indent, const std::string& code, int depth) {
        ++codes;
        Line(indent, "<diagnose>");
        Value(indent + 1, "icd_code", code.size() == 3 ? code + ".-" : code);
        Value(indent + 1, "bezeichnung", Text(words.Between(2, 7)));
        Value(indent + 1, "abrechenbar", depth ? "j" : "n");
        if (depth == 0 || (depth == 1 && codes % 4 == 0)) {
            Line(indent + 1, "<diagnosen_liste>");
            const int children = depth == 0 ? 7 : 2;
            for (int c = 0; c < children && codes < kCodes; ++c)
                Diagnose(indent + 2,
                         depth == 0 ? code + "." + std::to_string(c) : code + std::to_string(c),
                         depth + 1);
            Line(indent + 1, "</diagnosen_liste>");
        }
        // Index texts spread evenly over the codes.
        const int due = static_cast<int>(static_cast<long long>(codes) * kIndexTexts / kCodes);
        if (due > texts) {
            Line(indent + 1, "<diagnosethesaurus_liste>");
            for (; texts < due; ++texts) {
                Line(indent + 2, "<diagnosethesaurus V=\"" + Text(words.Between(2, 6)) + "\">");
                Line(indent + 3, "<arztgruppen_liste>");
                Value(indent + 4, "arztgruppe", kGroups[texts % 8]);
                Value(indent + 4, "arztgruppe", kGroups[(texts / 8) % 8]);
                Line(indent + 3, "</arztgruppen_liste>");
                Line(indent + 2, "</diagnosethesaurus>");
            }
            Line(indent + 1, "</diagnosethesaurus_liste>");
        }
        Line(indent, "</diagnose>");
    }
    std::string Build() {
        Line(0, "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>");
        Line(0,
             "<ehd:ehd xmlns:ehd=\"urn:ehd/001\" xmlns=\"urn:ehd/icd/001\" ehd_version=\"1.40\">");
        Line(1, "<ehd:header>");
        Value(2, "ehd:document_type_cd", "ICD");
        Value(2, "ehd:service_tmr", "2031-01-01..2031-12-31");
        Line(1, "</ehd:header>");
        Line(1, "<ehd:body>");
        Line(2, "<icd_stammdaten>");
        Line(3, "<kapitel_liste>");
        for (int k = 0; codes < kCodes; ++k) {
            const char letter = static_cast<char>('A' + k);
            Line(4, "<kapitel>");
            Value(5, "nummer", std::to_string(k + 1));
            Value(5, "bezeichnung", Text(4));
            Line(5, "<gruppen_liste>");
            for (int g = 0; g < 10 && codes < kCodes; ++g) {
                const std::string from = letter + std::to_string(g) + "0";
                Line(6, "<gruppe>");
                Value(7, "von_icd_code", from);
                Value(7, "bis_icd_code", letter + std::to_string(g) + "9");
                Value(7, "bezeichnung", Text(5));
                Line(7, "<diagnosen_liste>");
                for (int d = 0; d < 10 && codes < kCodes; ++d)
                    Diagnose(8, letter + std::to_string(g) + std::to_string(d), 0);
                Line(7, "</diagnosen_liste>");
                Line(6, "</gruppe>");
            }
            Line(5, "</gruppen_liste>");
            Line(4, "</kapitel>");
        }
        Line(3, "</kapitel_liste>");
        Line(2, "</icd_stammdaten>");
        Line(1, "</ehd:body>");
        Line(0, "</ehd:ehd>");
        return out;
    }
};

struct Practice : BenchPractice {
    std::string path;
    int codes = 0;
    Practice() : BenchPractice("q7icdimp") {
        MasterFile file;
        path = home + "/ICD_2.3_74_tf+2031q1.xml";
        std::ofstream(path, std::ios::binary) << file.Build();
        codes = file.codes;
    }
};

void BM_ImportMasterFile(benchmark::State& state) {
    Practice& practice = BenchOnce<Practice>();
    for (auto _ : state) {
        if (CQIcd::ReadFromXMLFile(dbDatabase, nullptr, practice.path.c_str(), "", "") != XQ_OK) {
            state.SkipWithError("Die Stammdatei wurde nicht eingelesen.");
            return;
        }
    }
    state.counters["codes"] = practice.codes;
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(practice.path)) / 1e6;
}
BENCHMARK(BM_ImportMasterFile)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace
BENCHMARK_MAIN();
