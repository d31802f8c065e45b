#include "host/db/Icd.h"

#include <gtest/gtest.h>

#include <memory>

#include "host/db/Tsv.h"
#include "tests/host/db/DbFixture.h"

namespace {

const char* const kKapitel = "chapter\ttext\n01\tErstes Kapitel\n02\tZweites Kapitel\n";
const char* const kGruppen =
    "chapter\tgroup\ttext\n01\tA00-A09\tGruppe A\n01\tB10-B19\tGruppe B\n02\tC00-C09\tGruppe C\n";
const char* const kSubgruppen =
    "chapter\tgroup\tsubgroup\ttext\n01\tA00-A09\tA00\tUntergruppe A00\n"
    "01\tB10-B19\tB10\tUntergruppe B10\n";
// Codes in key order, so that the dump gives the same bytes back.
const char* const kCodes =
    "code\ttext\tchapter\tgroup\tsubgroup\tnotation\tpartner\textract\thk\tfk\tfg\tvachapters\tlhm"
    "\n"
    "A000\t\xC3\x96sophagitis durch Reflux\t01\tA00-A09\tA00\t+\t\t1\t\t\t\tVA000100\tLHM\n"
    "A001\tHerzliche Gr\xC3\xBC\xC3\x9F\x65 aus der Praxis\t01\tA00-A09\tA00\t\t\t\t\t1\t13.\t\t\n"
    "A002\tGruesse mit Umschrift\t01\tA00-A09\tA00\t\t\t\t\t1\t4.2 \t\t\n"
    "B10\tAkute Bronchitis der Kinder\t01\tB10-B19\tB10\t\t\t\t1\t\t\t\t\n"
    "B100\tBronchitis, chronisch, der Erwachsenen\t01\tB10-B19\tB10\t\t\t\t\t1\t10  ,13.1\t\t\n"
    "C01\tFolge am Nerv\t02\tC00-C09\tC01\t*\tA000\t\t\t\t\t\t\n"
    "C02\tFolge am Auge\t02\tC00-C09\tC02\t*\tA000\t\t\t\t\t\t\n"
    "UUU\tKeine Angabe\t02\tC00-C09\tUUU\t\t\t1\t1\t1\t\t\t\n";
// Rows of one code in file order; Z99 is no code of the catalogue.
const char* const kThesaurus =
    "code\ttext\nA000\tSpeiser\xC3\xB6hrenentz\xC3\xBCndung durch Magensaft\n"
    "B10\tHusten, kindlicher\nB10\tBronchialkatarrh\nB100\tRaucherhusten\nZ99\tGeisterzeile\n";
const std::pair<const char*, const char*> kFiles[] = {
    {"icdkapitel", kKapitel}, {"icdgruppe", kGruppen}, {"icdsubgruppe", kSubgruppen},
    {"icd", kCodes},          {"icdthes", kThesaurus}, {"icdversion", "text\nDemo 1\n"}};

class IcdTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        icd = std::make_unique<CQIcd>(dbDatabaseRO);
        for (const auto& [kind, content] : kFiles) Load(kind, content);
    }
    void TearDown() override {
        dbMdId = "1";
        icd.reset();
        DbTest::TearDown();
    }
    std::string Search(const char* code, const char* text, bool hk = false, bool fk = false,
                       const char* fg = "", bool extract = false) {
        icd->ClearAll();
        icd->Code = Utf8ToCp1252(code);
        icd->Text = Utf8ToCp1252(text);
        return Hits(*icd, icd->GetForSuche(false, "", extract, hk, fk, fg));
    }
    std::string Thesaurus(const char* word) {
        icd->ClearAll();
        return Hits(*icd, icd->GetByThesaurus(Utf8ToCp1252(word), false, false, false, ""));
    }
    std::string Combined(const char* word, bool hk = false, const char* patient = "") {
        icd->ClearAll();
        return Hits(*icd, icd->GetForSucheOrThesaurus(Utf8ToCp1252(word), false, patient, false, hk,
                                                      false, ""));
    }

    std::unique_ptr<CQIcd> icd;
};

TEST_F(IcdTest, CodeIsAPrefixWithOrWithoutPointInAnyCase) {
    EXPECT_EQ(Search("b10", ""), "B10,B100");
    EXPECT_EQ(Search("B10.0", ""), "B100");
    EXPECT_EQ(Search("a00.", ""), "A000,A001,A002");
    // Neither hierarchy rows nor the version row are codes.
    EXPECT_EQ(Search("", ""), "A000,A001,A002,B10,B100,C01,C02,UUU");
    EXPECT_EQ(CQIcd::RemovePoint(" A00.0 "), "A000");
}

// Words in any order, umlauts folded; a title that begins with the words
// first; parts of words, index lines and typing errors find codes too, below
// what matches better; a code among the words lists it and the codes below.
TEST_F(IcdTest, TextWordsRankWholeWordsBeginningsPartsAndTypos) {
    EXPECT_EQ(Search("", "kind bronch"), "B10");
    EXPECT_EQ(Search("", "ERW, chron"), "B100");
    EXPECT_EQ(Search("", "bronchitis"), "B100,B10");
    EXPECT_EQ(Search("", "ronch"), "B10,B100");  // inside words: B10 in title and line
    EXPECT_EQ(Search("", "ron"), "-");           // too short for a part
    EXPECT_EQ(Search("", "oesophag"), "A000");
    EXPECT_EQ(Search("", "Ösophag"), "A000");
    EXPECT_EQ(Search("", "grüße"), "A002,A001");
    EXPECT_EQ(Search("B100", "kind"), "-");
    EXPECT_EQ(Search("", "husten"), "B10,B100");  // index lines: a whole word, then a part
    EXPECT_EQ(Search("", "bronhcitis"), "B100,B10");
    EXPECT_EQ(Search("", "bronchitis erwahcsene"), "B100");
    EXPECT_EQ(Search("", "brnchts"), "-");  // two errors in a short word
    EXPECT_EQ(Search("", "b10 akut"), "B10,B100");
    EXPECT_EQ(Search("", "i10"), "-");
}

TEST_F(IcdTest, CatalogueAndPhysicianGroupFilters) {
    EXPECT_EQ(Search("", "", true), "B10,UUU");
    EXPECT_EQ(Search("", "", false, true), "A001,A002,B100,UUU");
    EXPECT_EQ(Search("", "", false, true, "13.1"), "A001,B100");  // stored umbrella covers it
    EXPECT_EQ(Search("", "", false, true, "10  "), "B100");
    EXPECT_EQ(Search("", "", false, true, "4."), "A002");
    EXPECT_EQ(Search("", "", false, true, "4.1 "), "-");
    EXPECT_EQ(Search("", "", false, false, "13.1"), "A000,A001,A002,B10,B100,C01,C02,UUU");
    EXPECT_EQ(Search("", "", true, true), "UUU");
    EXPECT_EQ(Search("", "", false, false, "", true), "A000,UUU");
}

TEST_F(IcdTest, ThesaurusFindsCodesByIndexLines) {
    EXPECT_EQ(Thesaurus("husten"), "B10,B100");                     // "Raucherhusten" below
    EXPECT_EQ(Cp1252ToUtf8(icd->Fundtext.str()), "Raucherhusten");  // the line that matched
    icd->First();
    EXPECT_EQ(icd->Fundtext, "Husten, kindlicher");
    EXPECT_EQ(Thesaurus("kindl hust"), "B10");
    EXPECT_EQ(Thesaurus("speiseroehrenentz"), "A000");
    EXPECT_EQ(Thesaurus("geister"), "-");  // its code is not in the catalogue
    EXPECT_EQ(Thesaurus(" "), "-");
    // A line of a code the catalogue no longer has counts for the code above.
    Load("icdthes", "code\ttext\nB109\tVerschollene Zeile\n");
    EXPECT_EQ(Thesaurus("verscholl"), "B10");

    // Combined: catalogue text or index line; a short key word does not filter.
    EXPECT_EQ(Combined("bronch"), "B100,B10");
    EXPECT_EQ(Combined("raucher"), "B100");
    EXPECT_EQ(Combined("ra", true), "B10,UUU");

    // The memo: a code's lines in file order, or those the key word matches.
    EXPECT_EQ(Hits(*icd, icd->GetForThesaurus("B10", "", false, false, false, ""), &CQIcd::Text),
              "Husten, kindlicher,Bronchialkatarrh");
    EXPECT_EQ(Hits(*icd, icd->GetForThesaurus("B10", "bronchialk", false, false, false, ""),
                   &CQIcd::Text),
              "Bronchialkatarrh");
    EXPECT_EQ(Hits(*icd, icd->GetForThesaurus("B10", "", false, false, true, "")), "-");
}

TEST_F(IcdTest, ExactLookup) {
    auto exact = [&](const char* code, bool hk) {
        icd->ClearAll();
        icd->Code = code;
        return Hits(*icd, icd->GetByK1FilteredByFG(XQ_MATCH_EQUAL, false, hk, false, ""));
    };
    EXPECT_EQ(exact("B10", true), "B10");
    EXPECT_EQ(exact("B100", true), "-");
    EXPECT_EQ(exact("", false), "-");  // as for a key word of two characters
}

// The search dialog's combos list the levels; here the extract mark a group
// takes from its codes.
TEST_F(IcdTest, HierarchyRowsKnowTheExtract) {
    icd->SetKey(2);
    icd->ClearAll();
    icd->Ebene = ICD_EBENE_GRUPPE;
    icd->Kapitel = "01";
    ASSERT_EQ(icd->GetByK2(XQ_MATCH_FIELDS), XQ_OK);
    EXPECT_EQ(Cp1252ToUtf8(icd->Gruppe.str()) + icd->Auszug.GetString(), "A00-A091");  // A000
    ASSERT_EQ(icd->Next(), XQ_OK);
    EXPECT_EQ(Cp1252ToUtf8(icd->Gruppe.str()) + icd->Auszug.GetString(), "B10-B19");
    EXPECT_EQ(icd->Next(), XQ_NOTFOUND);
}

TEST_F(IcdTest, FavouritesBelongToThePhysicianAndPatientFileFilters) {
    EXPECT_EQ(CQIcd::AddToFavoriten("B10.0"), XQ_OK);
    EXPECT_EQ(CQIcd::AddToFavoriten("B100"), XQ_OK);  // already one
    EXPECT_EQ(CQIcd::AddToFavoriten("A000"), XQ_OK);
    EXPECT_EQ(Dump("icdfav"), "code\nA000\nB100\n");

    dbMdId = "2";
    EXPECT_FALSE(CQIcd::HasFavoriten());
    icd->ClearAll();
    EXPECT_EQ(Hits(*icd, icd->GetForSuche(true, "", false, false, false, "")), "-");
    dbMdId = "1";
    EXPECT_EQ(CQIcd::DelFromFavoriten("A00.0"), XQ_OK);
    EXPECT_EQ(CQIcd::DelFromFavoriten("A000"), XQ_NOTFOUND);

    Load("diag", "patient\tcode\n7\tB10\n7\tUUU\n8\tA000\n");
    icd->ClearAll();
    EXPECT_EQ(Hits(*icd, icd->GetForSuche(false, "  7", false, false, false, "")), "B10,UUU");
    EXPECT_EQ(Combined("hust", false, "7"), "B10");
}

TEST_F(IcdTest, EveryKindDumpsWhatItLoaded) {
    // Index lines grouped by code, each code's lines in file order.
    for (const auto& [kind, content] : kFiles) EXPECT_EQ(Dump(kind), content) << kind;
    Load("diag", "patient\tcode\n2\tB10\n10\tA000\n");
    EXPECT_EQ(Dump("diag"), "patient\tcode\n2\tB10\n10\tA000\n");

    // Loading again replaces a code's index lines as a whole.
    Load("icdthes", "code\ttext\nB10\tNeue Zeile\n");
    EXPECT_EQ(Thesaurus("bronchialk"), "-");
    EXPECT_EQ(Thesaurus("neue"), "B10");
}

// The kinds of messages are the loader's test; here the catalogue's own checks.
TEST_F(IcdTest, DamagedFileIsRefusedWithAGermanMessageAndLoadsNothing) {
    for (const auto& [kind, content] : {std::pair{"icd", "code\ttext\nX01\tGut\n\tohne Code\n"},
                                        {"icdgruppe", "chapter\ttext\n01\tohne Gruppe\n"}}) {
        CString error;
        EXPECT_NE(XQLoadTsvText(kind, content, kind, &error), XQ_OK) << kind;
        EXPECT_NE(Cp1252ToUtf8(error.str()).find("Zeile"), std::string::npos);
    }
    EXPECT_EQ(Search("X", ""), "-");
}

// Every failing SQLite call of a query or a load becomes a status; a load is
// stored whole or not at all.
TEST_F(IcdTest, SqliteFailuresBecomeStatusesAndLoadsStayWhole) {
    XQFailNthCall(1);
    EXPECT_EQ(Search("B", ""), "status 14");
    XQFailNthCall(1);
    EXPECT_EQ(Thesaurus("husten"), "status 14");
    // B10 is replaced, X01 and X02 are new: after a failure the rows and the
    // word index are as before.
    const std::string before = Dump("icd");
    int failures = 0;
    for (int n = 1; n < 1000; ++n) {
        XQFailNthCall(n);
        CString error;
        int status = XQLoadTsvText("icd", "code\ttext\nB10\tNeue Bronchitis\nX01\ta\nX02\tb\n",
                                   "icd", &error);
        bool fired = XQFaultFired();
        XQFailNthCall(0);
        if (!fired) {
            EXPECT_EQ(status, XQ_OK);
            EXPECT_EQ(Search("X", ""), "X01,X02");
            EXPECT_EQ(Search("", "neue bronch"), "B10");
            EXPECT_EQ(Search("", "akute"), "-");  // the replaced row's words are gone
            break;
        }
        ++failures;
        EXPECT_NE(status, XQ_OK) << n;
        EXPECT_NE(Cp1252ToUtf8(error.str()).find("nichts geladen"), std::string::npos)
            << n << ": " << Cp1252ToUtf8(error.str());
        EXPECT_EQ(Dump("icd"), before) << n;
        EXPECT_EQ(Search("", "neue"), "-") << n;
        EXPECT_EQ(Search("", "akute bronch"), "B10") << n;
        EXPECT_EQ(dbDatabase->TransactionDepth(), 0) << n;
    }
    EXPECT_GT(failures, 5);
}

}  // namespace
