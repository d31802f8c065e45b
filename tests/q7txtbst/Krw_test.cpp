// The coding rule editions as the reader finds and reads them in a practice's
// KBV folder: which edition it picks, what it makes of damaged files, the
// practice's stored settings over the rules, the rules two editions do not
// share, and the demo practice's editions.
#include "q7txtbst/Krw.h"

#include <algorithm>
#include <set>

#include "host/db/Icd.h"
#include "tests/q7txtbst/KrwFixture.h"

namespace {

const char* const kQ3 = "krw_1.40_74_tf+2011q3_nr1.xml";
const char* const kQ4 = "krw_1.40_74_tf+2011q4_nr1.xml";
const std::string kGrundlage =
    KrwLines("pruefgrundlage_liste>|pruefgrundlage V=\"x\"/>|/pruefgrundlage_liste>");

class KrwTest : public KrwHomeTest {
  protected:
    void SetUp() override {
        KrwHomeTest::SetUp();
        krw.regeln = &regeln;
        krw.details = &details;
    }
    // Reads into fresh maps; log gets what went to the host log.
    bool Read(bool newest, std::string* log = nullptr) {
        regeln.clear();
        details.clear();
        testing::internal::CaptureStderr();
        const bool ok = krw.ReadKrw(newest);
        const std::string written = testing::internal::GetCapturedStderr();
        if (log) *log = written;
        return ok;
    }
    // "id=description/quarters" of every rule.
    std::string Rules() const {
        std::string out;
        for (const auto& [id, r] : regeln)
            out += (out.empty() ? "" : ";") + id.str() + "=" + r.beschreibung.str() + "/" +
                   std::to_string(r.anzahlQuartale);
        return out;
    }

    CKrw krw;
    KrwRegelMap regeln;
    KrwDetailMap details;
};

TEST_F(KrwTest, ChoosesTheNewestEditionOfTheHighestFormatAndTheOneBeforeIt) {
    struct Case {
        std::vector<const char*> names;
        const char* newest;  // rule read, "-" for a failed read
        const char* before;
    } cases[] = {
        {{kQ3, kQ4}, kQ4, kQ3},
        {{kQ4, "krw_1.40_74_tf+2011q4_nr2.xml"}, "krw_1.40_74_tf+2011q4_nr2.xml", kQ4},
        // Equal keys: the later listed name is kept and wins.
        {{kQ4, "krw_1.40_74_tf+2011q4_nr01.xml"}, kQ4, "-"},
        // A newer format is not read, and an older edition does not stand in.
        {{kQ3, kQ4, "krw_1.50_74_tf+2011q4_nr1.xml"}, "-", "-"},
        // The format counts before the date; the last two dates differ in format.
        {{kQ4, "krw_1.39_74_tf+2012q1_nr1.xml"}, kQ4, "-"},
        {{kQ4, "krw_x.40_74_tf+2012q1_nr1.xml", "krw_1.40_74_tf+2012q1_nrx.xml", "krw_1.40.xml"},
         kQ4,
         "-"},
        {{}, "-", "-"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(kbv);
        std::filesystem::create_directories(kbv);
        for (const char* name : c.names) Put(name, KrwEdition(KrwRule(name)));
        std::string got[2];
        for (int i = 0; i < 2; ++i)
            got[i] = Read(i == 0) ? Rules().substr(0, Rules().find('=')) : "-";
        EXPECT_EQ(got[0], c.newest) << c.names.size() << " " << (c.names.empty() ? "" : c.names[0]);
        EXPECT_EQ(got[1], c.before) << c.names.size() << " " << (c.names.empty() ? "" : c.names[0]);
    }
}

TEST_F(KrwTest, ReadsEveryFieldAndListValueOfARule) {
    const std::string inner = KrwLines(
        "service_tmr V=\"2011-07-01..\"/>|"
        "beschreibung V=\"Diabetes: Typ &amp;quot;2&amp;quot;,  ohne&#xA;Koma\"/>|"
        "kurz_beschreibung V=\"kurz\"/>|regelkategorie V=\"Plausi\"/>|regelquelle_liste>|"
        "regelquelle V=\"1\">|regelthema_liste>|regelthema V=\"T1\" DN=\"Thema, eins\"/>|"
        "/regelthema_liste>|/regelquelle>|/regelquelle_liste>|regelanwendung V=\"2\"/>|"
        "bezugsraum V=\"21\">|anzahl_quartale V=\"4\"/>|/bezugsraum>|echtzeitpruefung_liste>|"
        "echtzeitpruefung V=\"3\"/>|/echtzeitpruefung_liste>|pruefgrundlage_liste>|"
        "pruefgrundlage V=\"G\"/>|/pruefgrundlage_liste>|bedingung>|parameter V=\"ICD\"/>|"
        "operator V=\"OR\"/>|existenz V=\"TRUE\"/>|value_liste>|value V=\"E10\"/>|"
        "value V=\"E11\"/>|/value_liste>|value V=\"outside\"/>|subbedingung>|"
        "parameter V=\"DS\"/>|existenz V=\"FALSE\"/>|value_liste>|value V=\"S1\"/>|/value_liste>|"
        "/subbedingung>|/bedingung>|pruefung>|parameter V=\"SL\"/>|operator V=\"AND\"/>|"
        "value_liste>|value V=\"P1\"/>|/value_liste>|subpruefung>|operator V=\"XOR\"/>|"
        "value_liste>|value V=\"P2\"/>|/value_liste>|/subpruefung>|"
        "pruefung_existenz V=\"TRUE\"/>|/pruefung>|fehlerbehandlung>|hinweis V=\"H\"/>|"
        "vorschlag V=\"V\"/>|korrektur>|parameter V=\"ICD\"/>|regel V=\"ADD\"/>|value_liste>|"
        "value V=\"K1\"/>|/value_liste>|value V=\"K2\"/>|subkorrektur>|parameter V=\"DS\"/>|"
        "regel V=\"DELETE\"/>|value V=\"K3\"/>|/subkorrektur>|/korrektur>|/fehlerbehandlung>");
    Put(kQ4, KrwEdition(KrwRule("R1", inner)));
    ASSERT_TRUE(Read(true));
    EXPECT_EQ(krw.kopfText.str().find("<?xml"), 0u);
    EXPECT_NE(krw.kopfText.str().find("<kbv:service_tmr V=\"2011-10-01..2011-12-31\"/>  </kbv"),
              std::string::npos);
    ASSERT_EQ(regeln.size(), 1u);
    const CMemKrw21& r = regeln.begin()->second;
    EXPECT_EQ(r.gueltigVon + r.gueltigBis + "|" + r.beschreibung + "|" + r.kurzBeschreibung,
              "2011070199991231|Diabetes: Typ \"2\", ohne Koma|kurz");
    EXPECT_EQ(std::string() + r.regelkategorie + r.regelanwendung + r.status + r.bezugsraum +
                  r.echtzeitpruefungDatei + r.echtzeitpruefung,
              "P21222");
    EXPECT_EQ(r.anzahlQuartale, 4);
    EXPECT_EQ(r.pruefschema.str(), "1212 031    1221" + std::string(64, ' '));
    EXPECT_EQ(r.hinweis + r.vorschlag, "HV");
    std::string got;
    for (const auto& [key, e] : details)
        got += key.str() + "=" + (e.quelle ? e.quelle : '-') + e.regelId.str() + e.art +
               e.zaehler.str() + e.text.str() + ";";
    EXPECT_EQ(got,
              "R11  1=1R11  1T1|Thema,eins;R12  1=-R12  13;R13  1=-R13  1G;"
              "R14  1=-R14  1E10;R14  2=-R14  2E11;R15  1=-R15  1S1;R16  1=-R16  1P1;"
              "R17  1=-R17  1P2;R18  1=-R18  1K1;R18  2=-R18  2K2;R19  3=-R19  3K3;");
}

TEST_F(KrwTest, DamagedEditionsStopCleanlyAndNameTheLine) {
    const std::string ok = KrwEdition(KrwRule("R1"));
    std::string utf16;
    for (char c : ok) utf16 += std::string(1, c) + '\0';
    std::string lf = ok;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    std::string cr = lf;  // the byte after each CR is dropped: a blank of the indent
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    const auto beschreibung = [](const std::string& v) {
        return "      <kbv:beschreibung V=" + v + "/>\r\n";
    };
    struct Case {
        const char* what;
        std::string bytes;
        bool ok;
        const char* rules;
        int stopLine;  // 0: nothing logged
    } cases[] = {
        {"CR LF", ok, true, "R1=/0", 0},
        {"LF", lf, true, "R1=/0", 0},
        {"CR alone", cr, true, "R1=/0", 0},
        {"BOM", "\xEF\xBB\xBF" + ok, true, "R1=/0", 0},
        {"head cut off", KrwHead().substr(0, KrwHead().find("  </kbv:header>")), false, "", 6},
        {"body cut off", KrwHead() + KrwRule("R1"), false, "R1=/0", 11},
        {"last line without break", ok.substr(0, ok.size() - 14), false, "R1=/0", 11},
        {"UTF-16", utf16, false, "", -1},
        {"2 MiB line", KrwHead() + "  " + std::string(2 << 20, 'x') + "\r\n" + KrwRule("R1"), false,
         "", 8},
        {"NUL bytes, unknown tags",
         KrwEdition(std::string("\0\0\r\n", 4) + KrwRule("R1", "      <kbv:foo V=\"x\"/>\r\n")),
         true, "R1=/0", 0},
        {"id in column 0, blank id",
         KrwEdition(
             "    <kbv:kodierregel V=\"1\">\r\n<id V=\"R0\"/>\r\n    </kbv:kodierregel>\r\n" +
             KrwRule(" ", kGrundlage)),
         true, "", 0},
        {"duplicate id keeps the first",
         KrwEdition(KrwRule("R1", beschreibung("\"a\"")) + KrwRule("R1", beschreibung("\"b\""))),
         true, "R1=a/0", 0},
        {"unclosed quote", KrwEdition(KrwRule("R1", beschreibung("\"a b"))), true, "R1=a b/>/0", 0},
        {"missing quote", KrwEdition(KrwRule("R1", beschreibung("a"))), true, "R1=/0", 0},
        {"colon in an unprefixed value",
         KrwEdition(KrwRule("R1", "      <beschreibung V=\"Hinweis: x:y\"/>\r\n")), true,
         "R1=Hinweis: x:y/0", 0},
        {"quarters only under 21",
         KrwEdition(KrwRule("R1", KrwLines("bezugsraum V=\"7\">|anzahl_quartale V=\"4\"/>|"
                                           "/bezugsraum>"))),
         true, "R1=/0", 0},
    };
    for (const Case& c : cases) {
        Put(kQ4, c.bytes);
        std::string log;
        EXPECT_EQ(Read(true, &log), c.ok) << c.what;
        EXPECT_EQ(Rules(), c.rules) << c.what;
        if (c.stopLine == 0) {
            EXPECT_EQ(log, "") << c.what;
        } else {
            const std::string zeile = c.stopLine < 0 ? "" : std::to_string(c.stopLine) + " ";
            EXPECT_NE(log.find(std::string(kQ4) + "\xE2\x80\x9C ist ab Zeile " + zeile +
                               (c.stopLine < 0 ? "" : "unvollst")),
                      std::string::npos)
                << c.what << ": " << log;
            EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << c.what;
        }
        EXPECT_TRUE(details.empty()) << c.what;
    }
}

TEST_F(KrwTest, StoredSettingsLieOverTheRulesAlsoAfterAFailedRead) {
    Load("par", "key1\tkey2\tvalue\n 29\tkR1\t204\n 29\tkR2\t 0 \n 29\tkR3\t31\n 29\tkR9\t222\n");
    const std::string echtzeit = KrwLines(
        "regelanwendung V=\"1\"/>|echtzeitpruefung_liste>|echtzeitpruefung V=\"1\"/>|"
        "/echtzeitpruefung_liste>");
    const std::string rules =
        KrwRule("R1", echtzeit) + KrwRule("R2", echtzeit) + KrwRule("R3", echtzeit);
    for (const std::string& file : {KrwEdition(rules), KrwHead() + rules}) {
        Put(kQ4, file);
        const bool ok = Read(true);
        EXPECT_EQ(ok, file.size() > (KrwHead() + rules).size());
        std::string got;  // application, status, changed, real-time check, changed
        for (const auto& [id, r] : regeln)
            got += id.str() + ":" + r.regelanwendung + r.status + (r.statusGeaendert ? '*' : '-') +
                   r.echtzeitpruefung + (r.bezugGeaendert ? '*' : '-') + " ";
        EXPECT_EQ(got, "R1:20*4* R2:10*1- R3:31-1- ");
    }
}

TEST_F(KrwTest, ChangesAreTheRulesOneEditionLacksWithTheirValues) {
    Put(kQ3, KrwEdition(KrwRule("A12", kGrundlage) + KrwRule("R2") + KrwRule("R9", kGrundlage)));
    KrwRegelMap neu, alt;
    KrwDetailMap neuDetails, altDetails;
    const auto diff = [&] {
        for (auto* m : {&neu, &alt}) m->clear();
        for (auto* m : {&neuDetails, &altDetails}) m->clear();
        krw.DiffKrw(neu, neuDetails, alt, altDetails);
        EXPECT_EQ(krw.regeln, &regeln);
        EXPECT_EQ(krw.details, &details);
        std::string out;
        for (const auto* m : {&neu, &alt})
            for (const auto& [id, r] : *m) out += id.str() + " ";
        for (const auto* m : {&neuDetails, &altDetails})
            for (const auto& [key, e] : *m) out += key.str() + " ";
        return out;
    };
    EXPECT_EQ(diff(), "");  // one edition
    Put(kQ4, KrwEdition(KrwRule("A1", kGrundlage) + KrwRule("A12", kGrundlage) + KrwRule("R2")));
    EXPECT_EQ(diff(), "A1 R9 A13  1 R93  1 ");
    Put(kQ3, KrwHead());  // the edition before cannot be read to the end
    EXPECT_EQ(diff(), "");
}

TEST_F(KrwTest, AFileThatCannotBeOpenedOrReadIsNamedInTheLog) {
    Put(kQ4, KrwEdition(KrwRule("R1")));
    for (int n : {1, 2}) {
        XQSetFileFault(n);
        std::string log;
        EXPECT_FALSE(Read(true, &log)) << n;
        XQSetFileFault(0);
        EXPECT_NE(log.find(kQ4), std::string::npos) << log;
        EXPECT_EQ(n == 2, log.find("ab Zeile 1 unvollst") != std::string::npos) << log;
    }
}

TEST_F(KrwTest, AValidityOfOneDayIsThatDay) {
    CString von, bis;  // a day, not a period
    CKrw::GetAttributePeriod("<x V=\"20110701\"/>", "V=", von, bis);
    EXPECT_EQ(von + bis, "2011070120110701");
}

// The demo practice's editions read to the end, and the details dialog must
// find every correction code in the demo catalogue.
TEST_F(KrwTest, TheDemoEditionsReadToTheEndWithTheirCorrectionsInTheCatalogue) {
    for (const char* name : {"krw_1.40_74_tf+2026q3_nr1.xml", "krw_1.40_74_tf+2026q4_nr1.xml"})
        std::filesystem::copy_file(std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name, kbv + name);
    std::set<std::string> catalogue;
    std::ifstream icd(Q7_SOURCE_DIR "/demo/icd.tsv");
    for (std::string line; std::getline(icd, line);)
        catalogue.insert(line.substr(0, line.find('\t')));
    for (bool newest : {true, false}) {
        EXPECT_TRUE(Read(newest)) << newest;
        for (const auto& [key, entry] : details)
            EXPECT_TRUE(entry.art != KRW_KORREKTUR ||
                        catalogue.count(CQIcd::RemovePoint(entry.text).str()))
                << key.str();
    }
}

}  // namespace
