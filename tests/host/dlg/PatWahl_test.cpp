#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "host/base/HostContext.h"
#include "host/dlg/XQPatWahl.h"
#include "tests/host/db/DbFixture.h"
#include "tests/host/dlg/FakeFrontEnd.h"

namespace {

template <class T>
T* Find(CXQDialog& dialog) {
    for (CWnd* c : dialog.Controls())
        if (auto* t = dynamic_cast<T*>(c)) return t;
    return nullptr;
}

// The grid's lines: the numbers, and the first line whole ("Nr|Name|Vorname|Geb.").
std::string Lines(CXQGridX& grid, std::string& first) {
    grid.FetchLines(0, grid.GetLineCount());
    std::string numbers;
    for (int i = 0; i < grid.GetLineCount(); ++i) {
        const std::vector<CString>& line = *grid.FetchedLine(i);
        numbers += (i ? "," : "") + line[0].str();
        for (size_t c = 0; i == 0 && c < line.size(); ++c)
            first += (c ? "|" : "") + Cp1252ToUtf8(line[c].str());
    }
    return numbers;
}

class PatWahlTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        Load("pat",
             "number\tname\tfirstname\tbirthdate\n"
             "      4711\t\xC3\x96zdemir\tAyla\t19900605\n"
             "47\tM\xC3\xBCller\tSabine\t19670314\n"
             "9\tMueller\tHans\t19540902\n"
             "470\tSchmidt\tJ\xC3\xBCrgen\t19811127\n");
    }
    // Runs the selection: types text, then does what act does.
    int Run(CdiaPatWahl& dialog, const char* text, std::function<void(CXQDialog&)> act) {
        fe.actions.push_back([text, act](CXQDialog& d) {
            Find<CXQLEditX>(d)->UserType(Utf8ToCp1252(text));
            act(d);
        });
        return dialog.DoModal();
    }
    FakeFrontEnd fe;
};

TEST_F(PatWahlTest, SearchesByNumberOrNameStartInNumberOrder) {
    const std::tuple<const char*, const char*, const char*> searches[] = {
        {"", "9,47,470,4711", "9|Mueller|Hans|02.09.1954"},
        {"47", "47,470,4711", "47|M\xC3\xBCller|Sabine|14.03.1967"},  // numbers by value
        {"0047", "47,470,4711", "47|M\xC3\xBCller|Sabine|14.03.1967"},
        {"m\xC3\x9C", "47", "47|M\xC3\xBCller|Sabine|14.03.1967"},  // umlauts case-blind too
        {" m ", "9,47", "9|Mueller|Hans|02.09.1954"},
        {"Mueller, h", "9", "9|Mueller|Hans|02.09.1954"},
        {"x", "", ""}};
    for (const auto& [text, numbers, first] : searches) {
        CdiaPatWahl dialog(nullptr);
        std::string shown, firstShown;
        int current = -2;
        Run(dialog, text, [&](CXQDialog& d) {
            CXQGridX& grid = *Find<CXQGridX>(d);
            current = grid.GetCurLine();
            shown = Lines(grid, firstShown);
        });
        EXPECT_EQ(shown, numbers) << text;
        EXPECT_EQ(firstShown, first) << text;
        EXPECT_EQ(current, *numbers ? 0 : -1) << text;
    }
}

TEST_F(PatWahlTest, AcceptChoosesTheCurrentLineAndExitNone) {
    const std::pair<std::function<void(CXQDialog&)>, const char*> ways[] = {
        {[](CXQDialog& d) { d.PressKey({XQKey::Return}, Find<CXQLEditX>(d)); }, "47"},
        {[](CXQDialog& d) {
             Find<CXQGridX>(d)->UserSelectLine(1);
             d.PressKey({XQKey::Return}, Find<CXQGridX>(d));
         },
         "470"},
        {[](CXQDialog& d) { Find<CXQGridX>(d)->UserDblClick(2); }, "      4711"},
        {[](CXQDialog& d) { d.ClickToolbarButton(XQTB_EXIT); }, ""}};
    for (const auto& [act, nummer] : ways) {
        CdiaPatWahl dialog(nullptr);
        EXPECT_EQ(Run(dialog, "47", act), *nummer ? 1 : 2) << nummer;
        EXPECT_STREQ(dialog.GetPatNr().GetString(), nummer);
    }
    CdiaPatWahl chosen(nullptr);
    Run(chosen, "47", [](CXQDialog& d) { Find<CXQGridX>(d)->UserDblClick(1); });
    EXPECT_EQ(chosen.m_Pat.Vorname + "|" + chosen.m_Pat.Geburtsdatum, "J\xFCrgen|19811127");

    // Unreadable patients: a box says so and the selection does not open.
    XQFailNthCall(1);
    CdiaPatWahl broken(nullptr);
    EXPECT_EQ(broken.DoModal(), -1);
    EXPECT_EQ(fe.shown.back().text, "Die Patienten k\xF6nnen nicht gelesen werden.");
}

TEST_F(PatWahlTest, ListSearchFindsTheNextLineHoldingTheTextOrBeeps) {
    CXQListBoxX list;
    for (const char* line : {"Alpha", "beta eins", "Gamma", "Beta \xC4rger", "BETA \xE4rger"})
        list.AddString(line);
    int changes = 0;
    list.onSelChange = [&] { ++changes; };
    CdiaPatWahl dialog(nullptr);
    const std::pair<const char*, int> steps[] = {
        {"BETA", 1}, {"beta", 3}, {"\xE4rger", 4}, {"Gamma", 4}, {nullptr, 4}};
    for (const auto& [answer, line] : steps) {
        if (answer) fe.paramAnswers.push_back({answer});
        SearchInLListbox(list, dialog);
        EXPECT_EQ(list.GetCurSel(), line) << (answer ? answer : "cancel");
    }
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(fe.beeps, 1);  // "Gamma" lies before the current line
    ASSERT_FALSE(fe.offered.empty());
    EXPECT_EQ(fe.offered[0].size(), 1u);
    EXPECT_EQ(fe.offered[0][0].label, "Suchen");
}

}  // namespace
