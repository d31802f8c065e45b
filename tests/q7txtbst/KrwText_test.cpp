// The texts built from coding rules: the splitters' break positions, the
// listing line's fields, the detail text in full (catalogue lookup of the
// correction codes included) and the coloured line list.
#include "q7txtbst/KrwText.h"

#include <string>
#include <tuple>

#include "host/base/Helpers.h"
#include "tests/host/db/DbFixture.h"

namespace {

CMemKrw21 Regel(const char* id) {
    CMemKrw21 r;
    r.id = id;
    r.gueltigVon = "20240101";
    r.gueltigBis = "20241231";
    return r;
}

void Wert(KrwDetailMap& details, const char* id, char art, unsigned zaehler, const char* text,
          char quelle = 0) {
    KrwDetailEintrag e;
    e.regelId = id;
    e.zaehler = FormatString("%3u", zaehler);
    e.art = art;
    e.quelle = quelle;
    e.text = text;
    details[e.regelId + e.art + e.zaehler] = e;
}

std::string Joined(const std::vector<CString>& parts) {
    std::string out;
    for (const CString& p : parts) out += "[" + p.str() + "]";
    return out;
}

TEST(KrwTextTest, SplittersBreakWhereTheyMust) {
    EXPECT_EQ(Joined(cut("ab.cd,ef-gh?ij!kl", 4)), "[ab.][cd,][ef-][gh?][ij!][kl]");
    EXPECT_EQ(Joined(cut("ab c", 4)) + Joined(cut("", 9)) + Joined(cut("a b", 0)), "[ab c][][a b]");
    EXPECT_EQ(Joined(split("a\n\nb\n", "\n")) + Joined(split("", "\n")), "[a][][b][][]");

    // text|width -> line|rest; a blank at position 0 is no break.
    for (const char* c : {"abc defgh|6|abc| defgh", " abcdefgh|6|abcde|fgh", "ab cd|5|ab cd|"}) {
        const std::vector<CString> f = split(c, "|");
        CString text = f[0], line;
        SplitAndDeleteLine(text, line, CardToInt(f[1]));
        EXPECT_EQ(line + "|" + text, f[2] + "|" + f[3]) << c;
    }
}

TEST(KrwTextTest, ListingLineHasSixFieldsWithTheCheckInFourteenCharacters) {
    // status, application, check, reference, quarters -> line
    const std::pair<const char*, const char*> cases[] = {
        {"11121", "K1\tx\to\tbei Kodierung \t1 Quartal\tKurz"},
        {"02224", "K1\t \tf\tw\344hlbar       \t4 Quartale\tKurz"},
        {"11414", "K1\tx\to\tw\344hlbar + Abr.\t\tKurz"},
        {"11020", "K1\tx\to\t\t\tKurz"},
    };
    for (const auto& [f, line] : cases) {
        CMemKrw21 r = Regel("K1");
        r.status = f[0];
        r.regelanwendung = f[1];
        r.echtzeitpruefung = f[2];
        r.bezugsraum = f[3];
        r.anzahlQuartale = f[4] - '0';
        r.kurzBeschreibung = "Kurz";
        EXPECT_EQ(memKrw21ToString(r), line);
    }
}

class KrwDetailTest : public DbTest {};

TEST_F(KrwDetailTest, DetailTextListsTopicsConditionsHintsAndCorrectionsWithCatalogueTexts) {
    const std::string langerText = std::string(100, 'w') + " " + std::string(30, 'z');
    Load("icd", "code\ttext\nE119\t" + langerText + "\n");
    KrwRegelMap regeln;
    KrwDetailMap details;
    CMemKrw21 r = Regel("K001");
    r.status = '0';
    r.statusGeaendert = true;
    r.bezugsraum = '2';
    r.anzahlQuartale = 1;
    r.regelanwendung = '2';
    r.kurzBeschreibung = "Kurz";
    r.beschreibung = "Lang";
    r.hinweis = std::string(300, 'h') + " ";  // the blank rest makes no line
    r.vorschlag = std::string(140, 'v') + " " + std::string(20, 'x');
    regeln["K001"] = r;
    Wert(details, "K001", KRW_THEMA, 1, "A|Erstes", '1');
    Wert(details, "K001", KRW_THEMA, 2, "B|Zweites", '1');
    Wert(details, "K001", KRW_THEMA, 3, "Drittes", '2');
    Wert(details, "K001", KRW_BEDINGUNG, 1, "E11.9");
    Wert(details, "K001", KRW_SUBBEDINGUNG, 1, "G");
    Wert(details, "K001", KRW_SUBBEDINGUNG, 2, "V");
    Wert(details, "K001", KRW_PRUEFUNG, 1, "Z00");
    Wert(details, "K001", KRW_KORREKTUR, 1, "E11.9");
    Wert(details, "K001", KRW_KORREKTUR, 2, "E11");
    Wert(details, "K001", KRW_SUBKORREKTUR, 1, "E13");

    const std::string expected =
        "Kodierregel K001 - inaktiv\nDer Status der Kodierregel ist von Ihnen ge\344ndert worden.\n"
        "Bezug: Quartal\n"
        "G\374ltigkeit: von 01.01.2024 bis 31.12.2024\n"
        "Kurz\nLang\n"
        "Quelle: Kodiervorgaben nach \247 295 SGB V\nThema: Erstes\nThema: Zweites\n"
        "Quelle: ICD-10-GM\nThema: Drittes\n"
        "Fakultative Regel\n"
        "Pr\374fzeitraum: 1 Quartale\n"
        "Bedingung: Existenz der Diagnose E11.9\n"
        "mit Zusatzbedingung: Diagnosensicherheit aus folgender Liste ( G, V )\n"
        "Fehlerbehandlung:\n" +
        std::string(150, 'h') + "\n" + std::string(150, 'h') +
        "\n"
        "Vorschlag:\n" +
        std::string(140, 'v') + "\n" + std::string(20, 'x') + "\nE11.9   " + std::string(100, 'w') +
        "\n\xB7       " + std::string(30, 'z') +
        "\n"
        "E11     ICD-Kode nicht lesbar?!\n";
    EXPECT_EQ(ZeigeKRWByKey(regeln, details, "K001").str(), expected);
    EXPECT_EQ(ZeigeKRWByKey(regeln, details, "K002"), "");
}

// Only the part of the detail text that the case varies is compared.
TEST(KrwTextTest, DetailTextValidityReferenceAndConditions) {
    // from, to, reference, condition values -> expected part
    const std::tuple<const char*, const char*, char, const char*> cases[] = {
        {"19800101", "99991231", '1', "G\374ltigkeit: ab 01.01.1980\n"},
        {"19800101", "20251231", '1', "G\374ltigkeit: bis 31.12.2025\n"},
        {"20240701", "20240701", '1', "G\374ltigkeit: 01.07.2024\n"},
        {"20240101", "20241231", '1', "Bezug: Behandlungsfall\n"},
        {"20240101", "20241231", 0, "Bezug: w\344hlbar\n"},
        {"20240101", "20241231", '2',
         "\nBedingung: Existenz einer Diagnose aus folgender Liste ( A01, B02 )\nFehler"},
    };
    for (const auto& [von, bis, bezugsraum, expected] : cases) {
        KrwRegelMap regeln;
        KrwDetailMap details;
        CMemKrw21& r = regeln["K1"] = Regel("K1");
        r.gueltigVon = von;
        r.gueltigBis = bis;
        r.bezugsraum = bezugsraum;
        r.bezugGeaendert = bezugsraum == 0;
        if (bezugsraum == '2') {
            Wert(details, "K1", KRW_BEDINGUNG, 1, "A01");
            Wert(details, "K1", KRW_BEDINGUNG, 2, "B02");
        }
        const CString text = ZeigeKRWByKey(regeln, details, "K1");
        EXPECT_GE(text.Find(expected), 0) << expected << "\n---\n" << text.GetString();
        EXPECT_EQ(text.Find("Der Bezug der Kodierregel ist von Ihnen ge\344ndert worden.\n") > 0,
                  r.bezugGeaendert);
    }
}

TEST(KrwTextTest, LineListCutsTrimsAndColoursEachRuleThenTwoEmptyLines) {
    KrwRegelMap regeln;
    KrwDetailMap details;
    CMemKrw21 inaktiv = Regel("K00");
    inaktiv.status = '0';
    inaktiv.gueltigBis = "99991231";
    inaktiv.beschreibung = std::string(117, 'a') + " " + std::string(12, 'b');
    regeln["K00"] = inaktiv;
    regeln["K001"] = Regel("K001");
    // Sorts right after "K00" + the topic kind: it must not join K00's topics.
    Wert(details, "K001", KRW_THEMA, 1, "|Eins", '2');

    std::string out;
    for (const krline& l : renderLines(regeln, details))
        out += std::to_string(l.farbe) + ":" + l.text.str() + "\n";
    EXPECT_EQ(out,
              "255:Kodierregel K00 - inaktiv\n255:Bezug: w\344hlbar\n"
              "255:G\374ltigkeit: ab 01.01.2024\n255:" +
                  std::string(117, 'a') + "\n255:" + std::string(12, 'b') +
                  "\n255:Bedingung: Fehlerbehandlung:\n255:Vorschlag:\n0:\n0:\n"
                  "0:Kodierregel K001\n0:Bezug: w\344hlbar\n"
                  "0:G\374ltigkeit: von 01.01.2024 bis 31.12.2024\n"
                  "0:Quelle: ICD-10-GM\n0:Thema: Eins\n0:Bedingung: Fehlerbehandlung:\n"
                  "0:Vorschlag:\n0:\n0:\n");
}

}  // namespace
