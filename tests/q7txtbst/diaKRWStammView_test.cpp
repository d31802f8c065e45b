// The coding rule view as a practice uses it: the filters, the colours, a
// rule's details with the stored setting read back, the switch of a rule for
// one patient and quarter.
#include "q7txtbst/diaKRWStammView.h"

#include "host/dlg/XQPatWahl.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaKRWAenderungen.h"
#include "q7txtbst/diaKRWRegelDetails.h"
#include "tests/q7txtbst/KrwFixture.h"

namespace {

const char* const kPeriod = "2026-10-01..2026-12-31";

// A rule: id, application, reference (7 case, 21 quarters), published
// real-time check (1 coding, 2 billing, 3 selectable), short description.
std::string Rule(const char* id, char anwendung, const char* bezug, char echtzeit,
                 const char* kurz) {
    const std::string quartale =
        std::string(bezug) == "21" ? ">|anzahl_quartale V=\"4\"/>|/bezugsraum>" : "/>";
    return KrwRule(
        id, KrwLines(std::string("service_tmr V=\"2026-01-01..\"/>|kurz_beschreibung V=\"") + kurz +
                     "\"/>|regelanwendung V=\"" + anwendung + "\"/>|bezugsraum V=\"" + bezug +
                     "\"" + quartale + "|echtzeitpruefung_liste>|echtzeitpruefung V=\"" + echtzeit +
                     "\"/>|/echtzeitpruefung_liste>"));
}

// A1 obligate, case, coding; A2 quarters, billing; A3 selectable, stored as
// switched off and always checked; A4 selectable, stored as selectable and
// billing.
const std::string kRules =
    Rule("A1", '1', "7", '1', "Herz Leiden") + Rule("A2", '2', "21", '2', "Lunge") +
    Rule("A3", '2', "7", '3', "Niere HERZ") + Rule("A4", '2', "7", '3', "Leber");

class KrwViewTest : public KrwHomeTest {
  protected:
    void SetUp() override {
        KrwHomeTest::SetUp();
        Q7SetToday("20261115");
        Put("krw_1.40_74_tf+2026q4_nr1.xml", KrwEdition(kRules, kPeriod));
        Load("par", "key1\tkey2\tvalue\n 29\tkA3\t206\n 29\tkA4\t214\n");
    }
    int Run(std::function<void(CdiaKRWStammView&)> act) {
        return Play(std::move(act), IDD_KRWSTAMMVIEW, "");
    }
    static std::string Ids(const CdiaKRWStammView& v) {
        std::string out;
        for (const CString& id : v.angezeigteRegeln) out += (out.empty() ? "" : ",") + id.str();
        return out;
    }
    static CString Par(const char* id) { return TbTest::Par(" 29", CString("k") + id); }
    // Freitext rows as "f1|f3|f5|f7;...".
    static std::string Switches() {
        CQFreiText f(dbDatabase);
        std::string out;
        if (f.GetAll() == XQ_OK) do
                out += f.F1.str() + "|" + f.F3.str() + "|" + f.F5.str() + "|" + f.F7.str() + ";";
            while (f.Next() == XQ_OK);
        return out;
    }
};

TEST_F(KrwViewTest, FiltersByEveryComboAndTheShortDescription) {
    const struct {
        int bezug, anwendung, status, echtzeit;
        const char *text, *ids;
    } cases[] = {
        {1, 0, 0, 0, "", "A1,A3,A4"}, {2, 0, 0, 0, "", "A2"},       {0, 1, 0, 0, "", "A1"},
        {0, 2, 0, 0, "", "A2,A3,A4"}, {0, 0, 1, 0, "", "A1,A2,A4"}, {0, 0, 2, 0, "", "A3"},
        {0, 0, 0, 1, "", "A1,A3"},    {0, 0, 0, 2, "", "A3,A4"},    {0, 0, 0, 3, "", "A2,A3,A4"},
        {0, 0, 0, 4, "", "A3,A4"},    {0, 0, 0, 5, "", "A3"},       {0, 0, 0, 0, "herz", "A1,A3"},
        {1, 2, 0, 0, "Herz", "A3"},
    };
    Run([&](CdiaKRWStammView& v) {
        EXPECT_EQ(v.GetCaption(), "Kodierregelwerk - Stammdatei 01.10.2026 - 31.12.2026");
        EXPECT_EQ(Lines(v.m_list),
                  "A1\tx\to\tbei Kodierung \t\tHerz Leiden{0}\n"
                  "A2\tx\tf\tzur Abrechnung\t4 Quartale\tLunge{0}\n"
                  "A3\t \tf\timmer         \t\tNiere HERZ{255}\n"
                  "A4\tx\tf\tw\344hlbar + Abr.\t\tLeber{0}\n");
        for (const auto& c : cases) {
            v.m_comboBezug.UserSelect(c.bezug);
            v.m_comboAnwendung.UserSelect(c.anwendung);
            v.m_comboStatus.UserSelect(c.status);
            v.m_comboEchtzeit.UserSelect(c.echtzeit);
            v.m_editKurzBeschreibung.UserType(c.text);
            EXPECT_EQ(Ids(v), c.ids) << c.bezug << c.anwendung << c.status << c.echtzeit << c.text;
            EXPECT_EQ(v.m_list.GetCount(), static_cast<int>(v.angezeigteRegeln.size()));
        }
    });
}

TEST_F(KrwViewTest, AnAcceptedDetailDialogReloadsAndDropsTheRuleThatNoLongerPasses) {
    CString opened;
    Run([&](CdiaKRWStammView& v) {
        v.m_comboStatus.UserSelect(1);
        Script<CdiaKRWRegelDetails>([](CdiaKRWRegelDetails& d) {
            d.m_checkInaktiv.UserClick();
            d.ClickToolbarButton(XQTB_ACCEPT);
        });
        v.m_list.UserClick(1);
        EXPECT_EQ(Par("A2"), "203");
        EXPECT_EQ(Ids(v), "A1,A4");
        EXPECT_EQ(v.m_list.GetCount(), 2);
        // The line that moved into its place opens its own rule; a cancel
        // leaves the list as it is.
        Script<CdiaKRWRegelDetails>([&](CdiaKRWRegelDetails& d) { opened = d.GetCaption(); });
        v.m_list.UserClick(1);
        EXPECT_EQ(Ids(v), "A1,A4");
    });
    EXPECT_EQ(opened, "Kodierregel - A4");
}

TEST_F(KrwViewTest, CtrlPSwitchesARuleOffOncePerPatientAndQuarterWithRunningNumbers) {
    Load("pat", "number\tname\tfirstname\tbirthdate\n4711\tMeier\tAnna\t19600101\n");
    auto choose = [&] {
        Script<CdiaPatWahl>([](CdiaPatWahl& p) { p.ClickToolbarButton(XQTB_ACCEPT); });
    };
    Run([&](CdiaKRWStammView& v) {
        v.OnCTRL_P();  // nothing selected
        for (int line : {0, 1, 3, 0}) {
            v.m_list.SetCurSel(line);
            front.messageAnswers = {0, 0};
            choose();
            v.OnCTRL_P();
        }
    });
    EXPECT_EQ(Switches(), "      4711|264|  0|A1;      4711|264|  1|A2;      4711|264|  2|A4;");
    ASSERT_EQ(front.shownMessages.size(), 9u);
    EXPECT_EQ(front.shownMessages[0], "Hinweis|Bitte w\344hlen Sie zuerst eine Kodierregel aus!");
    EXPECT_EQ(front.shownMessages[8],
              "Fehler|Die Kodierregel A1 wurde f\374r Patient 4711 in "
              "diesem Quartal bereits inaktiviert.");
}

// With only one edition there is nothing to compare: the changes open empty
// (the titles and rules of two editions: the end-to-end test).
TEST_F(KrwViewTest, OneEditionOpensTheChangesEmpty) {
    std::string shown = "-";
    Run([&](CdiaKRWStammView& v) {
        Script<CdiaKRWAenderungen>([&](CdiaKRWAenderungen& a) { shown = Lines(a.m_list); });
        v.ClickToolbarButton(KRW_TB_AENDERUNGEN);
    });
    EXPECT_EQ(shown, "");
}

// A damaged edition shows none of its rules, not the ones before the damage,
// and the caption still names its period.
TEST_F(KrwViewTest, ADamagedEditionListsNothing) {
    const std::string whole = KrwEdition(kRules, kPeriod);
    Put("krw_1.40_74_tf+2026q4_nr1.xml",
        whole.substr(0, whole.find("    <kbv:kodierregel", whole.find("</kbv:kodierregel>"))));
    std::string ids = "-", caption;
    Run([&](CdiaKRWStammView& v) {
        ids = Ids(v);
        caption = v.GetCaption().str();
        EXPECT_FALSE(v.m_regeln.empty());
    });
    EXPECT_EQ(ids, "");
    EXPECT_EQ(caption, "Kodierregelwerk - Stammdatei 01.10.2026 - 31.12.2026");
}

class KrwDetailsTest : public KrwViewTest {
  protected:
    int Details(const char* id, std::function<void(CdiaKRWRegelDetails&)> act) {
        return Play(std::move(act), id);
    }
    // Aktiv, Inaktiv, Kodierung, Wahl, Abrechnung: the letters of "AIKWR".
    static std::vector<CXQLCheckX*> Boxes(CdiaKRWRegelDetails& d) {
        return {&d.m_checkAktiv, &d.m_checkInaktiv, &d.m_checkKodierung, &d.m_checkWahl,
                &d.m_checkAbr};
    }
};

TEST_F(KrwDetailsTest, BoxesFollowTheRuleAndKeepOneMomentOn) {
    const struct {
        const char* id;
        const char* clicks;  // letters of the boxes
        const char* boxes;
    } cases[] = {
        {"A1", "", "+d-d+-d-"},   // obligate: status fixed; published at coding
        {"A1", "K", "+d-d+-d-"},  // the only moment cannot go off
        {"A2", "I", "-+--+"},    {"A2", "IA", "+---+"},
        {"A3", "KW", "-++d-+"},  // published selectable: coding stays out
        {"A4", "WR", "+--d-+"},
    };
    for (const auto& c : cases)
        Details(c.id, [&](CdiaKRWRegelDetails& d) {
            for (const char* k = c.clicks; *k; ++k)
                Boxes(d)[std::string("AIKWR").find(*k)]->UserClick();
            std::string boxes;
            for (const CXQLCheckX* b : Boxes(d))
                boxes += std::string(b->GetCheck() ? "+" : "-") + (b->IsWindowEnabled() ? "" : "d");
            EXPECT_EQ(boxes, c.boxes) << c.id << c.clicks;
        });
}

TEST_F(KrwDetailsTest, SavingStoresApplicationStatusAndCodeOrRefusesWithItsReason) {
    int result = Details("A2", [](CdiaKRWRegelDetails& d) {
        EXPECT_EQ(d.m_labelKurz.GetCaption(), "Lunge");
        d.m_checkKodierung.UserClick();
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Par("A2"), "215");
    // A second save rewrites the row.
    Details("A2", [](CdiaKRWRegelDetails& d) {
        d.m_checkKodierung.UserClick();
        d.ClickToolbarButton(XQTB_ACCEPT);
    });
    EXPECT_EQ(Par("A2"), "213");
    // An obligate rule saved as loaded.
    EXPECT_EQ(Details("A1", [](CdiaKRWRegelDetails& d) { d.ClickToolbarButton(XQTB_ACCEPT); }), 1);
    EXPECT_EQ(Par("A1"), "111");

    const struct {
        const char* id;
        std::function<void(CdiaKRWRegelDetails&)> set;
        const char* message;
    } refused[] = {
        {"A4",
         [](CdiaKRWRegelDetails& d) {
             d.m_checkKodierung.SetCheck(true);
             d.m_checkAbr.SetCheck(false);
         },
         "Fehler|Pr\344fzeitpunkt ung\374ltig."},
        {"A1", [](CdiaKRWRegelDetails& d) { d.m_checkAktiv.SetCheck(false); },
         "Fehler|Nur fakultative Kodierregeln k\366nnen deaktiviert werden."},
    };
    for (const auto& r : refused) {
        front.shownMessages.clear();
        const CString before = Par(r.id);
        Details(r.id, [&](CdiaKRWRegelDetails& d) {
            r.set(d);
            d.ClickToolbarButton(XQTB_ACCEPT);
            EXPECT_FALSE(d.IsEnded());
        });
        EXPECT_EQ(front.shownMessages, std::vector<CString>{r.message});
        EXPECT_EQ(Par(r.id), before);
    }
}

}  // namespace
