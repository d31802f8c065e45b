// Exchange file: export and import of 10,000 text blocks with 5 lines each
// through the dialogs.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "bench/BenchSupport.h"
#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Module.h"
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

struct Practice {
    std::string home;
    AcceptingFrontEnd front;
    Practice() {
        home = BenchHome("q7xml");
        CString error;
        if (XQOpenPracticeDatabase(home, &error) != 0) std::abort();
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
    ~Practice() {
        XQSetFrontEnd(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
};

Practice& P() {
    static Practice p;
    return p;
}

void BM_Export10000(benchmark::State& state) {
    P();
    for (auto _ : state) {
        CTbResourceSwitch sw;
        CdiaExportTB dlg(nullptr);
        if (dlg.DoModal() != 1) state.SkipWithError("export failed");
    }
}
BENCHMARK(BM_Export10000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

void BM_Import10000(benchmark::State& state) {
    P();
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
BENCHMARK(BM_Import10000)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
