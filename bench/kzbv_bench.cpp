// The dental free-text transition: a file of 2,000 entries in 100 groups
// read and shown as the dialog opens.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench/BenchSupport.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaSuchIcdKZBV.h"

namespace {

struct Transition {
    std::string home;
    CXQSilentFrontEnd front;
    Transition() {
        home = BenchHome("q7kzbv");
        Q7SetHome(home);
        std::filesystem::create_directories(home + "/data/KZBV");
        std::ofstream out(NativePath(CdiaSuchIcdKZBV::FilePath()));
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Ueberleitung>\n";
        for (int g = 0; g < 100; ++g) {
            out << "  <Gruppe>\n    <kapitel>K00-K14</kapitel>\n    <Gruppenbeschreibung>Gruppe "
                << g << "</Gruppenbeschreibung>\n    <hinweis>Hinweis zur Gruppe</hinweis>\n";
            for (int e = 0; e < 20; ++e) {
                out << "    <Eintrag>\n      <Freitextdiagnose>Freitextdiagnose " << g << "." << e
                    << " mit Zahnbezug</Freitextdiagnose>\n      <ersterDiagnosekode>\n"
                    << "        <icd><Code>K02.1</Code><Beschreibung>Karies des Dentins"
                    << "</Beschreibung></icd>\n        <hinweis>Hinweis</hinweis>\n"
                    << "      </ersterDiagnosekode>\n      <zweiterDiagnosekode>\n"
                    << "        <icd><Code>K04.0</Code><Beschreibung>Pulpitis</Beschreibung>"
                    << "<Beschreibung>reversibel oder irreversibel</Beschreibung></icd>\n"
                    << "      </zweiterDiagnosekode>\n    </Eintrag>\n";
            }
            out << "  </Gruppe>\n";
        }
        out << "</Ueberleitung>\n";
        XQSetFrontEnd(&front);
    }
    ~Transition() {
        XQSetFrontEnd(nullptr);
        RemoveBenchHome(home);
    }
};

void BM_OpenTransition2000(benchmark::State& state) {
    static Transition t;
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaSuchIcdKZBV dialog(0, nullptr);
        dialog.DoModal();
        if (dialog.m_tree.Items(false).size() != 2100) state.SkipWithError("file not shown");
    }
}
BENCHMARK(BM_OpenTransition2000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
