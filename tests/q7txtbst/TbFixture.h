#pragma once
// A practice with text blocks and a front end that plays the user: it answers
// boxes from queues given ahead of time and runs each modal dialog through a
// callback that acts on it.
#include <deque>
#include <fstream>
#include <functional>

#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQFrontEnd.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaExportTB.h"
#include "q7txtbst/diaImportTB.h"
#include "q7txtbst/diaSuchIcd.h"
#include "q7txtbst/diaSuchTB.h"
#include "q7txtbst/diatb.h"
#include "tests/host/db/DbFixture.h"

class PlayingFrontEnd : public CXQSilentFrontEnd {
  public:
    // Acts on the dialog; a dialog it leaves open is cancelled.
    std::deque<std::function<void(CXQDialog&)>> dialogs;
    std::deque<int> messageAnswers;                 // button index from 0
    std::deque<std::vector<CString>> paramAnswers;  // values, or empty: cancel
    std::vector<CString> shownMessages;
    std::vector<std::vector<CString>> shownParamLabels;
    std::vector<CString> shownProgress;  // texts of the progress boxes opened
    int dialogsRun = 0;

    void RunModal(CXQDialog& dialog) override {
        ++dialogsRun;
        if (!dialogs.empty()) {
            auto act = dialogs.front();
            dialogs.pop_front();
            act(dialog);
        }
        if (!dialog.IsEnded()) dialog.EndDialog(2);
    }
    int MessageBox(XQMsgKind, const CString& title, const CString& text,
                   const std::vector<CString>& buttons) override {
        shownMessages.push_back(title + "|" + text);
        if (messageAnswers.empty()) return static_cast<int>(buttons.size()) - 1;
        int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    bool ParamBox(const CString&, std::vector<XQParamField>& fields) override {
        std::vector<CString> labels;
        for (const auto& f : fields) labels.push_back(f.label);
        shownParamLabels.push_back(labels);
        if (paramAnswers.empty() || paramAnswers.front().empty()) {
            if (!paramAnswers.empty()) paramAnswers.pop_front();
            return false;
        }
        auto values = paramAnswers.front();
        paramAnswers.pop_front();
        for (size_t i = 0; i < fields.size() && i < values.size(); ++i) fields[i].value = values[i];
        return true;
    }
    // Chosen paths in turn, an empty one cancels; the dialog's proposals.
    std::deque<CString> fileAnswers;
    std::vector<CString> shownFileDialogs;  // "filter|extension|proposed name"
    std::vector<CString> fileTitles;
    bool FileDialog(bool, const CString& title, const CString& filter, const CString& extension,
                    CString& path) override {
        fileTitles.push_back(title);
        shownFileDialogs.push_back(filter + "|" + extension + "|" + path);
        if (fileAnswers.empty()) return false;
        CString answer = fileAnswers.front();
        fileAnswers.pop_front();
        if (answer.IsEmpty()) return false;
        path = answer;
        return true;
    }
    void ProgressOpen(const CString& text, int) override { shownProgress.push_back(text); }
    int cancelProgressAt = 0;  // the update with this value cancels; 0 never
    std::vector<int> progressReports;
    bool ProgressUpdate(int value, const CString&) override {
        progressReports.push_back(value);
        return cancelProgressAt == 0 || value < cancelProgressAt;
    }
    std::vector<CString> printed;  // documents handed over
    void Print(const CString& path) override { printed.push_back(path); }
    std::vector<CString> opened;  // addresses handed to the browser
    void Open(const CString& url) override { opened.push_back(url); }
    int beeps = 0;
    void Beep() override { ++beeps; }
};

// The dialogs keep groups and chapters once read; each test reads its own.
inline void ClearTbCaches() {
    CdiaSuchTB::s_Groups.clear();
    CdiaTB::s_Groups.clear();
    CdiaImportTB::s_Groups.clear();
    CdiaExportTB::s_Groups.clear();
    CdiaSuchIcd::s_Kapitel.clear();
}

class TbTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(XQInstallDefaultStrings(), XQ_OK);
        ClearTbCaches();
        XQSetFrontEnd(&front);
    }
    void TearDown() override {
        XQSetFrontEnd(nullptr);
        ClearTbCaches();
        DbTest::TearDown();
    }

    // Loads host data of a kind from TSV text (UTF-8, header line first).
    void Load(const char* kind, const std::string& tsv) {
        const std::string path = home + "/load.tsv";
        std::ofstream(path) << tsv;
        CString error;
        ASSERT_EQ(XQLoadTsv(kind, path, &error), XQ_OK) << error.GetString();
    }

    // A block with its lines, text given in UTF-8 with LF between lines.
    void Block(const char* kuerzel, const char* group, const char* member, const char* description,
               const char* text) {
        ASSERT_EQ(AddTb(kuerzel, group, member, description), XQ_OK);
        std::string rest = text;
        int number = 0;
        while (!rest.empty()) {
            size_t lf = rest.find('\n');
            ASSERT_EQ(AddLine(kuerzel, number++, rest.substr(0, lf).c_str()), XQ_OK);
            rest = lf == std::string::npos ? std::string() : rest.substr(lf + 1);
        }
    }

    // Queues act for the next modal dialog, a D.
    template <class D>
    void Script(std::function<void(D&)> act) {
        front.dialogs.push_back([act](CXQDialog& d) { act(static_cast<D&>(d)); });
    }

    // Plays act on a D made of args and no parent window; returns its result.
    template <class D, class... A>
    int Play(std::function<void(D&)> act, A&&... args) {
        Script(std::move(act));
        CTbResourceSwitch sw;
        D dialog(std::forward<A>(args)..., nullptr);
        return dialog.DoModal();
    }

    // A stored block as "group/member/description/restriction" and its lines
    // as "number=text"; "-" for none.
    static std::string Stored(const char* kuerzel) {
        CQTb tb(dbDatabase);
        tb.SetKey(2, true);
        tb.Kuerzel = kuerzel;
        if (tb.GetByK2(XQ_MATCH_EQUAL) != XQ_OK) return "-";
        std::string out = tb.Gruppe.str() + "/" + tb.Untergruppe.str() + "/" +
                          tb.Beschreibung.str() + "/" + tb.Einschraenkung.str();
        CQTbEntry line(dbDatabase);
        line.KYKUERZEL = kuerzel;
        if (line.GetByK1(XQ_MATCH_FIELDS) == XQ_OK) do
                out += "|" + line.LFDTBENTRY.str() + "=" + line.TBENTRY.str();
            while (line.Next() == XQ_OK);
        return out;
    }

    // The first column of a grid's lines, comma separated.
    static std::string GridKeys(CXQGridX& grid) {
        std::string out;
        grid.FetchLines(0, grid.GetLineCount());
        for (int i = 0; i < grid.GetLineCount(); ++i) {
            const std::vector<CString>* line = grid.FetchedLine(i);
            out += (out.empty() ? "" : ",") + std::string(line ? (*line)[0].GetString() : "?");
        }
        return out;
    }

    // A stored setting, "-" for none.
    static CString Par(const char* key1, const CString& key2) {
        CQParPool par(dbDatabase);
        par.Key1 = key1;
        par.Key2 = key2;
        return par.GetByK1(XQ_MATCH_EQUAL) == XQ_OK ? par.Value : CString("-");
    }

    // A list's lines with their colours, "text{colour}" each.
    static std::string Lines(const CXQListBoxX& list) {
        std::string out;
        for (int i = 0; i < list.GetCount(); ++i)
            out += list.GetText(i).str() + "{" + std::to_string(list.GetItemColor(i)) + "}\n";
        return out;
    }

    // Runs work with the n-th SQLite call failing (0: none); returns whether
    // one failed. No transaction may stay open after it.
    static bool FailingCall(int n, const std::function<void()>& work) {
        XQFailNthCall(n);
        work();
        const bool fired = XQFaultFired();
        XQFailNthCall(0);
        EXPECT_EQ(dbDatabase->TransactionDepth(), 0) << n;
        return fired;
    }

    PlayingFrontEnd front;
};
