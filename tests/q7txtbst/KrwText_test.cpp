// The texts built from coding rules: the splitters' break positions, the
// listing line's fields, the detail text in full (catalogue lookup of the
// correction codes included) and the coloured line list.
#include "q7txtbst/KrwText.h"

#include <string>

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

TEST(KrwTextTest, CutBreaksAfterTheLastBreakCharacterWithinTheWidth) {
    const std::string a117(117, 'a');
    const std::string w150(150, 'w');
    struct Case {
        std::string text;
        int width;
        std::string pieces;
    } cases[] = {
        // Blank at the 118th position of a 130-character paragraph.
        {a117 + " " + std::string(12, 'b'), 120, "[" + a117 + " ][" + std::string(12, 'b') + "]"},
        {w150, 120, "[" + std::string(120, 'w') + "][" + std::string(30, 'w') + "]"},
        {"ab.cd,ef-gh?ij!kl", 4, "[ab.][cd,][ef-][gh?][ij!][kl]"},
        {"ab c", 4, "[ab c]"},
        {"", 120, "[]"},
        {"abc def", 0, "[abc def]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Joined(cut(c.text.c_str(), c.width)), c.pieces) << c.text << " " << c.width;
}

TEST(KrwTextTest, SplitKeepsEmptyPartsAndLinesBreakAtTheLastBlankBeforeTheWidth) {
    EXPECT_EQ(Joined(split("a\n\nb\n", "\n")), "[a][][b][]");
    EXPECT_EQ(Joined(split("", "\n")), "[]");
    EXPECT_EQ(Joined(split("a--b", "--")), "[a][b]");

    // The blank at position 0 is no break: the line is cut at the width.
    struct Case {
        const char* text;
        int width;
        const char* line;
        const char* rest;
    } cases[] = {
        {"abc defgh", 6, "abc", " defgh"},
        {" abcdefgh", 6, "abcde", "fgh"},
        {"  ab", 6, "ab", ""},
        {"ab cd", 5, "ab cd", ""},
    };
    for (const Case& c : cases) {
        CString text = c.text, line;
        SplitAndDeleteLine(text, line, c.width);
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_EQ(text, c.rest) << c.text;
    }
}

TEST(KrwTextTest, ListingLineHasSixFieldsWithTheCheckInFourteenCharacters) {
    struct Case {
        char status, anwendung, echtzeit, bezugsraum;
        int quartale;
        const char* line;
    } cases[] = {
        {'1', '1', '1', '2', 1, "K1\tx\to\tbei Kodierung \t1 Quartal\tKurz"},
        {'0', '2', '2', '2', 4, "K1\t \tf\tw\344hlbar       \t4 Quartale\tKurz"},
        {'1', '1', '3', '2', 0, "K1\tx\to\tzur Abrechnung\t\tKurz"},
        {'1', '1', '4', '1', 4, "K1\tx\to\tw\344hlbar + Abr.\t\tKurz"},
        {'1', '1', '5', 0, 0, "K1\tx\to\tKod. + Abr.   \t\tKurz"},
        {'1', '1', '6', 0, 0, "K1\tx\to\timmer         \t\tKurz"},
        {'1', '1', '0', 0, 0, "K1\tx\to\t\t\tKurz"},
    };
    for (const Case& c : cases) {
        CMemKrw21 r = Regel("K1");
        r.status = c.status;
        r.regelanwendung = c.anwendung;
        r.echtzeitpruefung = c.echtzeit;
        r.bezugsraum = c.bezugsraum;
        r.anzahlQuartale = c.quartale;
        r.kurzBeschreibung = "Kurz";
        EXPECT_EQ(memKrw21ToString(r), c.line);
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

// Only the line of the detail text that the case varies is compared.
TEST(KrwTextTest, DetailTextValidityConditionsAndReference) {
    struct Case {
        const char* von;
        const char* bis;
        char bezugsraum;
        std::vector<const char*> bedingungen;
        const char* expected;
    } cases[] = {
        {"19800101", "99991231", '1', {}, "G\374ltigkeit: ab 01.01.1980\n"},
        {"19800101", "20251231", '1', {}, "G\374ltigkeit: bis 31.12.2025\n"},
        {"20240701", "20240701", '1', {}, "G\374ltigkeit: 01.07.2024\n"},
        {"20240101", "20241231", '1', {}, "Bezug: Behandlungsfall\n"},
        {"20240101", "20241231", 0, {}, "Bezug: w\344hlbar\n"},
        {"20240101", "20241231", '1', {}, "\nBedingung: Fehlerbehandlung:\n"},
        {"20240101",
         "20241231",
         '1',
         {"A01", "B02"},
         "\nBedingung: Existenz einer Diagnose aus folgender Liste ( A01, B02 "
         ")\nFehlerbehandlung:"},
    };
    for (const Case& c : cases) {
        KrwRegelMap regeln;
        KrwDetailMap details;
        CMemKrw21 r = Regel("K1");
        r.gueltigVon = c.von;
        r.gueltigBis = c.bis;
        r.bezugsraum = c.bezugsraum;
        r.bezugGeaendert = c.bezugsraum == 0;
        regeln["K1"] = r;
        unsigned n = 0;
        for (const char* b : c.bedingungen) Wert(details, "K1", KRW_BEDINGUNG, ++n, b);
        const CString text = ZeigeKRWByKey(regeln, details, "K1");
        EXPECT_GE(text.Find(c.expected), 0) << c.expected << "\n---\n" << text.GetString();
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
