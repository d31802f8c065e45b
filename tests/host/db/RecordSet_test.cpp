#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "host/db/internal/XQInternal.h"
#include "tests/host/db/DbFixture.h"

namespace {

class TbModes : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // Byte order of Windows-1252: "Zahn" < "zahn" < "Ärger" < "äpfel".
        for (auto [k, g, u, d] : {std::tuple{"Zahn", "b", "", "Zahnreinigung"},
                                  {"zahn", "b", "x", "kleiner Zahn"},
                                  {"Ärger", "d", "l", "ÄRGER im Büro"},
                                  {"äpfel", "d", "", "Obst"},
                                  {"ab", "f", "f", "Abrechnung"},
                                  {"abc", "f", "l", "Abc-Schütze"},
                                  {"b", "", "", "Befund"}})
            ASSERT_EQ(AddTb(k, g, u, d), XQ_OK) << k;
    }
};

// Key 1 is group, member, Kürzel; key 2 the Kürzel. Mode 2 constrains only
// the set fields; the Kürzel search (part word, prefix with mode 4) is blind
// to case, umlauts included. "-" is a miss, which leaves the fields alone.
// Key 2 runs in byte order (downwards: the paging test).
TEST_F(TbModes, EveryKeyAndMatchMode) {
    EXPECT_EQ(CQTb(dbDatabase).SetKey(3), XQ_NODB);
    enum By { K1, K2, KZ };
    // Key, Kürzel, group, member, description, mode, hits.
    const std::tuple<By, const char*, const char*, const char*, const char*, int, const char*>
        cases[] = {
            {K2, "ab", "", "", "", XQ_MATCH_EQUAL, "ab"},
            {K2, "aa", "", "", "", XQ_MATCH_EQUAL, "-"},
            {K2, "B", "", "", "", XQ_MATCH_GE, "Zahn,ab,abc,b,zahn,Ärger,äpfel"},
            {K2, "ab", "", "", "", XQ_MATCH_GREATER, "abc,b,zahn,Ärger,äpfel"},
            {K2, "b", "", "", "", XQ_MATCH_SMALLER, "abc,ab,Zahn"},  // runs downwards
            {K2, "äpfel", "", "", "", XQ_MATCH_GREATER, "-"},
            {K1, "", "d", "", "", XQ_MATCH_FIELDS, "äpfel,Ärger"},
            {K1, "", "f", "l", "", XQ_MATCH_FIELDS, "abc"},
            {K1, "", "", "", "", XQ_MATCH_FIELDS, "b,Zahn,zahn,äpfel,Ärger,ab,abc"},
            {K1, "", "c", "", "", XQ_MATCH_GE, "äpfel,Ärger,ab,abc"},
            {K1, "", "c", "", "", 9, "-"},
            {KZ, "Ä", "", "", "", XQ_MATCH_KUERZEL, "Ärger,äpfel"},
            {KZ, "B", "", "", "", XQ_MATCH_KUERZEL, "b"},
            {KZ, "B", "", "", "", XQ_MATCH_FIELDS, "ab,abc,b"},
            {KZ, "a", "f", "", "SCHÜ", XQ_MATCH_KUERZEL, "abc"},
            {KZ, "", "", "l", "", XQ_MATCH_FIELDS, "abc,Ärger"},
        };
    for (const auto& [by, kuerzel, gruppe, untergruppe, beschreibung, mode, hits] : cases) {
        CQTb tb(dbDatabase);
        tb.Kuerzel = Utf8ToCp1252(kuerzel);
        tb.Gruppe = gruppe;
        tb.Untergruppe = untergruppe;
        tb.Beschreibung = Utf8ToCp1252(beschreibung);
        const int status = by == K1   ? tb.GetByK1(mode)
                           : by == K2 ? tb.GetByK2(mode)
                                      : tb.GetByKuerzel(mode);
        const std::string at =
            std::string(kuerzel) + gruppe + untergruppe + beschreibung + "/" + std::to_string(mode);
        if (std::string(hits) == "-") {
            EXPECT_EQ(status, XQ_NOTFOUND) << at;
            EXPECT_EQ(tb.Kuerzel, Utf8ToCp1252(kuerzel)) << at;
        } else {
            EXPECT_EQ(status, XQ_OK) << at;
            EXPECT_EQ(Walk(tb), hits) << at;
        }
    }
}

TEST_F(TbModes, InjectionLikeKuerzelIsJustAKuerzel) {
    const char* evil = "x' OR '1'='1";
    ASSERT_EQ(AddTb(evil, "b"), XQ_OK);
    CQTb tb(dbDatabase);
    tb.Kuerzel = evil;
    EXPECT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(tb.AnzHits(), 1);
    tb.Kuerzel = "' OR 1=1 --";
    EXPECT_EQ(tb.GetByKuerzel(XQ_MATCH_FIELDS), XQ_NOTFOUND);
    tb.ClearAll();
    tb.Kuerzel = "'";
    EXPECT_EQ(tb.GetByKuerzel(XQ_MATCH_FIELDS), XQ_OK);
    EXPECT_EQ(Walk(tb), evil);
}

TEST_F(TbModes, PrevNextAndTheWorkstationsFavourite) {
    CQTb tb(dbDatabase);
    for (auto [kuerzel, hasPrev, hasNext] :
         {std::tuple{"Zahn", false, true}, {"äpfel", true, false}}) {
        bool prev = !hasPrev, next = !hasNext;
        tb.Kuerzel = Utf8ToCp1252(kuerzel);
        EXPECT_EQ(tb.HasPrevNext(prev, next), XQ_OK);
        EXPECT_EQ(std::pair(prev, next), std::pair(hasPrev, hasNext)) << kuerzel;
    }

    EXPECT_EQ(tb.GetWsFavorit(), XQ_NOTFOUND);
    tb.Kuerzel = "abc";
    EXPECT_EQ(tb.PutWsFavorit(), XQ_OK);
    tb.Kuerzel = "ab";
    EXPECT_EQ(tb.PutWsFavorit(), XQ_OK);  // replaces, no duplicate key
    dbLfdWorkstation = 2;
    CQTb other(dbDatabaseRO);
    EXPECT_EQ(other.GetWsFavorit(), XQ_NOTFOUND);
    dbLfdWorkstation = 1;
    EXPECT_EQ(other.GetWsFavorit(), XQ_OK);
    EXPECT_EQ(other.Kuerzel, "ab");
    EXPECT_EQ(other.Beschreibung, "Abrechnung");
}

TEST_F(DbTest, LineSetFindsExactlyOneKuerzelsLinesInLineOrder) {
    // "ab" must not pick up the lines of "abc"; line 1000 comes after 999.
    for (int n : {2, 0, 1000, 1, 999}) ASSERT_EQ(AddLine("ab", n, "x"), XQ_OK);
    ASSERT_EQ(AddLine("abc", 0, "y"), XQ_OK);
    ASSERT_EQ(AddLine("a", 0, "z"), XQ_OK);
    EXPECT_EQ(AddLine("ab", 2, "dup"), XQ_LOCKED);
    CQTbEntry lines(dbDatabase);
    lines.ClearKey();
    lines.SetKey(1, true);
    lines.KYKUERZEL = "ab";
    ASSERT_EQ(lines.GetByK1(XQ_MATCH_FIELDS), XQ_OK);
    std::string order;
    do order += lines.LFDTBENTRY.str() + "|";
    while (lines.Next() == XQ_OK);
    EXPECT_EQ(order, "  0|  1|  2|999|1000|");
    // The number compares by value: "1" is line "  1".
    lines.LFDTBENTRY = "1";
    ASSERT_EQ(lines.GetByK1(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(lines.LFDTBENTRY, "  1");
    lines.LFDTBENTRY = "  3";
    ASSERT_EQ(lines.GetByK1(XQ_MATCH_GREATER), XQ_OK);
    EXPECT_EQ(lines.LFDTBENTRY, "999");
    lines.LFDTBENTRY = "  1";
    ASSERT_EQ(lines.GetByK1(XQ_MATCH_SMALLER), XQ_OK);
    EXPECT_EQ(lines.LFDTBENTRY, "  0");

    // Deleting a block's lines leaves those of "abc".
    lines.ClearKey();
    lines.KYKUERZEL = "ab";
    EXPECT_EQ(lines.DeleteAll(), XQ_OK);
    EXPECT_EQ(lines.GetByK1(XQ_MATCH_FIELDS), XQ_NOTFOUND);
    lines.ClearKey();
    lines.KYKUERZEL = "abc";
    EXPECT_EQ(lines.GetByK1(XQ_MATCH_FIELDS), XQ_OK);
}

// What an import stores a block with: one statement for the block, which
// keeps the fields the file does not carry, and one level for its lines,
// which are old or new whichever call fails. A level whose writes go
// together answers a refused write at the latest at its commit, and keeps
// nothing of it; the outer level goes on.
TEST_F(DbTest, BlocksStoredWholeByKuerzelAndWritesTogetherFailTheirLevel) {
    CQTb tb(dbDatabase);
    tb.Kuerzel = "ab";
    tb.Gruppe = "b";
    tb.Beschreibung = "alt";
    tb.Einschraenkung = "E";
    tb.Frei = "F";
    ASSERT_EQ(tb.Write(), XQ_OK);
    tb.ClearAll();
    tb.Kuerzel = "ab";
    tb.Gruppe = "d";
    tb.Beschreibung = "neu";
    ASSERT_EQ(tb.WriteOrUpdate(), XQ_OK);
    tb.Kuerzel = "cd";
    ASSERT_EQ(tb.WriteOrUpdate(), XQ_OK);
    tb.ClearAll();
    tb.Kuerzel = "ab";
    ASSERT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(tb.Gruppe + tb.Beschreibung + tb.Einschraenkung + tb.Frei, "dneuEF");
    tb.Kuerzel = "cd";
    ASSERT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(tb.Gruppe + tb.Beschreibung + tb.Einschraenkung, "dneu");

    const auto lines = [](const char* kuerzel) {
        CQTbEntry set(dbDatabase);
        set.KYKUERZEL = kuerzel;
        std::string all;
        if (set.GetByK1(XQ_MATCH_FIELDS) == XQ_OK) do
                all += set.LFDTBENTRY.str() + "=" + set.TBENTRY.str() + "|";
            while (set.Next() == XQ_OK);
        return all;
    };
    for (int n = 0; n < 3; ++n) ASSERT_EQ(AddLine("ab", n, "alt"), XQ_OK);
    ASSERT_EQ(AddLine("abc", 0, "bleibt"), XQ_OK);
    const std::vector<CQTbEntry_Fields> fresh = {{"", "  0", "eins"}, {"", "  1", "zwei"}};
    const std::string before = lines("ab");
    int failed = 0;
    for (int n = 1;; ++n) {
        CQTbEntry set(dbDatabase);
        set.KYKUERZEL = "ab";
        XQFailNthCall(n);
        const int status = set.ReplaceAll(fresh);
        const bool fired = XQFaultFired();
        XQFailNthCall(0);
        if (!fired) {
            EXPECT_EQ(status, XQ_OK);
            break;
        }
        EXPECT_NE(status, XQ_OK) << n;
        EXPECT_EQ(lines("ab"), before) << n;
        ++failed;
    }
    EXPECT_GT(failed, 1);
    EXPECT_EQ(lines("ab"), "  0=eins|  1=zwei|");
    EXPECT_EQ(lines("abc"), "  0=bleibt|");
    CQTbEntry none(dbDatabase);
    none.KYKUERZEL = "ab";
    EXPECT_EQ(none.ReplaceAll({}), XQ_OK);
    EXPECT_EQ(lines("ab"), "");

    CXQTransaction outer(dbDatabase);
    ASSERT_EQ(outer.Status(), XQ_OK);
    {
        CXQTransaction together(dbDatabase, XQWrites::Together);
        ASSERT_EQ(together.Status(), XQ_OK);
        EXPECT_EQ(AddTb("ef"), XQ_OK);
        const int duplicate = AddTb("cd");
        EXPECT_NE(duplicate == XQ_OK ? together.Commit() : duplicate, XQ_OK);
    }
    EXPECT_EQ(AddTb("gh"), XQ_OK);
    ASSERT_EQ(outer.Commit(), XQ_OK) << dbDatabase->LastError().str();
    for (const auto& [kuerzel, stored] : {std::pair{"ef", false}, {"gh", true}, {"cd", true}}) {
        tb.ClearAll();
        tb.Kuerzel = kuerzel;
        EXPECT_EQ(tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK, stored) << kuerzel;
    }
}

TEST_F(DbTest, KeysetPagingOverThousandsOfRows) {
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(AddTb(FormatString("k%05d", i).GetString(), "b"), XQ_OK);
    ASSERT_EQ(dbDatabase->Commit(), XQ_OK);
    CQTb tb(dbDatabaseRO);
    tb.SetKey(2);
    ASSERT_EQ(tb.GetAll(), XQ_OK);
    EXPECT_EQ(tb.Prev(), XQ_NOTFOUND);
    EXPECT_EQ(tb.Jump(2500), XQ_OK);
    EXPECT_EQ(tb.Kuerzel, "k02500");
    EXPECT_EQ(tb.Jump(500), XQ_NOTFOUND);  // outside: stays put
    EXPECT_EQ(tb.Kuerzel, "k02500");
    EXPECT_EQ(tb.Jump(499), XQ_OK);
    EXPECT_EQ(tb.Next(), XQ_NOTFOUND);
    EXPECT_EQ(tb.CurrentIndex(), 2999);
    EXPECT_EQ(tb.SeekIndex(1234), XQ_OK);
    EXPECT_EQ(tb.Kuerzel, "k01234");
    EXPECT_EQ(tb.SeekIndex(3000), XQ_NOTFOUND);
    EXPECT_EQ(tb.First(), XQ_OK);

    // Rows deleted meanwhile by another connection are skipped.
    CQTb writer(dbDatabase);
    for (const char* k : {"k00001", "k00002", "k00004"}) {
        writer.Kuerzel = k;
        ASSERT_EQ(writer.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
        ASSERT_EQ(writer.Delete(), XQ_NOTFOUND);  // its only hit
    }
    EXPECT_EQ(tb.Next(), XQ_OK);
    EXPECT_EQ(tb.Kuerzel, "k00003");
    EXPECT_EQ(tb.Next(), XQ_OK);
    EXPECT_EQ(tb.Kuerzel, "k00005");
    EXPECT_EQ(tb.AnzHits(), 2997);
}

// The ids come a page at a time (here downwards): the count and the walk
// must be those of the query, whatever this set writes meanwhile.
TEST_F(DbTest, LaterPagesKeepTheHitsOfTheQuery) {
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(AddTb(FormatString("k%03d", i).GetString(), "b"), XQ_OK);
    ASSERT_EQ(dbDatabase->Commit(), XQ_OK);
    CQTb tb(dbDatabase);
    tb.SetKey(2, false);
    ASSERT_EQ(tb.GetAll(), XQ_OK);
    EXPECT_EQ(tb.Delete(), XQ_OK);  // k299
    tb.Kuerzel = "k0005";           // a new row where no page was read yet
    ASSERT_EQ(tb.Write(), XQ_OK);
    EXPECT_EQ(tb.AnzHits(), 299);
    ASSERT_EQ(tb.SeekIndex(63), XQ_OK);
    EXPECT_EQ(tb.Kuerzel, "k235");
    // Reading the next page fails: a read error, and the set stays put.
    XQFailNthCall(1);
    EXPECT_EQ(tb.Next(), XQ_READERR);
    XQFailNthCall(0);
    EXPECT_EQ(tb.CurrentIndex(), 63);
    EXPECT_EQ(tb.Kuerzel, "k235");
    std::string walk = Walk(tb);
    EXPECT_EQ(walk.size(), 236u * 5 - 1);
    EXPECT_EQ(walk.substr(walk.size() - 9), "k001,k000");
    // An order without the row id: a page starts at the last key read.
    tb.ClearAll();
    ASSERT_EQ(tb.GetByKuerzel(XQ_MATCH_FIELDS), XQ_OK);
    std::string expected;
    for (int i = 298; i > 0; --i) expected += FormatString("k%03d,", i).GetString();
    expected += "k0005,k000";
    EXPECT_EQ(Walk(tb), expected);
}

// Rows another connection changes or deletes after the walk's page was read
// show as they are now when the walk reaches them.
TEST_F(DbTest, RowsChangedAfterThePageWasReadShowAsTheyAreNow) {
    for (const char* k : {"a", "b", "c"}) ASSERT_EQ(AddTb(k, "", "", "alt"), XQ_OK);
    CQTb reader(dbDatabaseRO);
    reader.SetKey(2);
    ASSERT_EQ(reader.GetAll(), XQ_OK);
    CQTb writer(dbDatabase);
    writer.SetKey(2);
    ASSERT_EQ(writer.GetAll(), XQ_OK);
    ASSERT_EQ(writer.Next(), XQ_OK);
    writer.Beschreibung = "neu";
    ASSERT_EQ(writer.Rewrite(), XQ_OK);
    ASSERT_EQ(writer.Next(), XQ_OK);
    ASSERT_EQ(writer.Delete(), XQ_NOTFOUND);
    ASSERT_EQ(reader.Next(), XQ_OK);
    EXPECT_EQ(reader.Beschreibung, "neu");
    EXPECT_EQ(reader.Next(), XQ_NOTFOUND);
}

TEST_F(DbTest, ReadOnlyConnectionsAndSetsRefuseWrites) {
    ASSERT_EQ(AddTb("a"), XQ_OK);
    CXQDatabase ro;
    ASSERT_EQ(serverUrl.empty()
                  ? ro.Open(DbPath(), true)
                  : ro.OpenServer(serverUrl.c_str(), home + "/katalog.db", true, false),
              XQ_OK);
    CQTb tb(&ro);
    tb.Kuerzel = "a";
    ASSERT_EQ(tb.GetByK2(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(tb.Rewrite(), XQ_LOCKED);
    EXPECT_EQ(tb.Delete(), XQ_LOCKED);
    tb.Kuerzel = "b";
    EXPECT_EQ(tb.Write(), XQ_LOCKED);
    EXPECT_EQ(CQTbEntry(&ro).DeleteAll(), XQ_LOCKED);

    CQTb rw(dbDatabase);
    rw.SetReadOnly(true);
    rw.Kuerzel = "c";
    EXPECT_EQ(rw.Write(), XQ_LOCKED);

    // The practice's read-only connection hands writes on to the read-write
    // one, as the text block import needs.
    CQTb viaRo(dbDatabaseRO);
    viaRo.Kuerzel = "d";
    EXPECT_EQ(viaRo.Write(), XQ_OK);
    EXPECT_EQ(viaRo.GetByK2(XQ_MATCH_EQUAL), XQ_OK);

    CQTb closed(nullptr);
    EXPECT_EQ(closed.GetAll(), XQ_NODB);
    EXPECT_EQ(closed.Write(), XQ_NODB);
}

TEST_F(DbTest, PatientNumbersCompareByValueFreeTextsByEveryKeyField) {
    CQPat pat(dbDatabase);
    pat.Nummer = "12";
    pat.Name = "Muster";
    ASSERT_EQ(pat.Write(), XQ_OK);
    CQPat find(dbDatabaseRO);
    find.Nummer = "        12";  // as the free-text records carry it
    ASSERT_EQ(find.GetByK1(XQ_MATCH_EQUAL), XQ_OK);
    EXPECT_EQ(find.Name, "Muster");
    find.Nummer = " 12";
    find.Name = "Doppelt";
    EXPECT_EQ(find.Write(), XQ_LOCKED);

    // Free-text records differ in the patient only; mode 2 finds a kind.
    CQFreiText ft(dbDatabase);
    for (auto [patient, kind] : {std::pair{"1", "!"}, {"2", "!"}, {"3", "?"}}) {
        ft.ClearAll();
        ft.F1 = patient;
        ft.F2 = kind;
        ASSERT_EQ(ft.Write(), XQ_OK);
    }
    ft.ClearAll();
    ft.F2 = "!";
    ASSERT_EQ(ft.GetByK1(XQ_MATCH_FIELDS), XQ_OK);
    EXPECT_EQ(ft.AnzHits(), 2);
}

// Renaming and blanking the services' references is driven by the editor's
// tests; a blank Kürzel, which no block has, names no reference.
TEST(RenameTbVorschlag, ABlankKuerzelMatchesNoBlankReference) {
    CString blank1 = "", blank2 = "  ";
    EXPECT_FALSE(RenameTbVorschlag(blank1, blank2, "  ", "x"));
    EXPECT_EQ(blank1 + "|" + blank2, "|  ");
}

}  // namespace
