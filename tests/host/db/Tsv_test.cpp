#include "host/db/Tsv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <tuple>

#include "host/db/HostData.h"
#include "host/db/Icd.h"
#include "host/db/internal/XQInternal.h"
#include "tests/host/db/DbFixture.h"

namespace {

class TsvTest : public DbTest {
  protected:
    int Load(const char* kind, const std::string& content, CString* error = nullptr) {
        return XQLoadTsv(kind, WriteFile(std::string(kind) + ".tsv", content), error);
    }
};

// Each kind: a file in key order loads and dumps back byte for byte.
TEST_F(TsvTest, EveryKindRoundTrips) {
    const std::pair<const char*, std::string> files[] = {
        {"tb",
         "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
         "Zahn\tb\t\tmit \\\\ und \\t\t\tZeile 1\\nZeile 2\\x07\\r\n"
         "leer\t\t\tohne Zeilen\t\t\n"
         "\xC3\x84rger\tf\tf\t\xE2\x82\xAC und \xC3\xBC\tk\t\xC3\xA4\\n\\n\n"},
        {"sp", "list\tcode\ttext\ntb\tz\tZuletzt\ntb\ta\tAnfang\ntb\tab\tMitglied\nx\t1\tEins\n"},
        {"par", "key1\tkey2\tvalue\n 29\tkK01\t1 2\n214\tsearch1\tabc\n"},
        {"pat",
         "number\tname\tfirstname\tbirthdate\n2\tM\xC3\xBCller\tJos\xC3\xA9\t19800101\n"
         "10\tSchmidt\tAnna\t19991231\n"},
        {"praxis", "id\tkvregion\tname\n1\t72\tPraxis am Markt\n"},
        {"freitext",
         "f1\tf2\tf3\tf4\tf5\tf6\tf7\tf8\tf9\tf10\n"
         "         1\t!\t251\t  0\t  1\t\tR1\t\t\t\n"},
        {"strings", "group\tnumber\ttext\n0\t5\tf\xC3\xBCnf\n6\t9999\tMeldung\\nzweizeilig\n"}};
    for (const auto& [kind, content] : files) {
        CString error;
        ASSERT_EQ(Load(kind, content, &error), XQ_OK) << kind << ": " << error.GetString();
        // The default strings are there too (below).
        EXPECT_EQ(std::string(kind) == "strings" ? content : Dump(kind), content) << kind;
    }
    const std::string strings = Dump("strings");
    EXPECT_NE(strings.find("0\t5\tf\xC3\xBCnf\n"), std::string::npos);
    EXPECT_NE(strings.find("6\t9999\tMeldung\\nzweizeilig\n"), std::string::npos);
    std::vector<std::pair<CString, CString>> sp;
    ASSERT_EQ(GetSPEntries("tb", sp), XQ_OK);
    ASSERT_EQ(sp.size(), 3u);
    EXPECT_EQ(sp[0].first, "z");  // file order, not key order
    EXPECT_EQ(GetQ7String(0, 5), Utf8ToCp1252("fünf"));
}

TEST_F(TsvTest, ReplacesExistingKeysAndAcceptsAnyColumnOrder) {
    ASSERT_EQ(Load("tb", "kuerzel\ttext\tgroup\nab\teins\\nzwei\\ndrei\tb\n"), XQ_OK);
    ASSERT_EQ(Load("tb", "extra\ttext\tkuerzel\tdescription\nx\tneu\tab\tNeu\n"), XQ_OK);
    EXPECT_EQ(Dump("tb"),
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\nab\t\t\tNeu\t\tneu\n");
    ASSERT_EQ(Load("sp", "list\tcode\ttext\ntb\ta\tA\ntb\tb\tB\n"), XQ_OK);
    ASSERT_EQ(Load("sp", "code\tlist\ttext\na\ttb\tA2\n"), XQ_OK);
    EXPECT_EQ(Dump("sp"), "list\tcode\ttext\ntb\tb\tB\ntb\ta\tA2\n");
}

// A line ends at LF, CR LF or a CR alone; blank lines are no rows, in any kind.
TEST_F(TsvTest, LinesEndAtLfOrCrAndBlankLinesAreSkipped) {
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"tb", "kuerzel\ttext\rab\teins\\nzwei\rcd\tx\r",
         "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
         "ab\t\t\t\t\teins\\nzwei\ncd\t\t\t\t\tx\n"},
        {"par", "\n \t\r\nkey1\tkey2\tvalue\r\n\r\n1\ta\tb\r\r\n   \n",
         "key1\tkey2\tvalue\n1\ta\tb\n"},
        {"icdversion", "text\nICD-10-GM 2026\n\n \r\n", "text\nICD-10-GM 2026\n"}};
    for (const auto& [kind, content, dump] : cases) {
        CString error;
        ASSERT_EQ(Load(kind, content, &error), XQ_OK) << kind << ": " << error.GetString();
        EXPECT_EQ(Dump(kind), dump);
    }
}

TEST_F(TsvTest, MalformedFilesAreRefusedWholeWithTheLine) {
    ASSERT_EQ(Load("par", "key1\tkey2\tvalue\n1\ta\talt\n"), XQ_OK);
    const struct {
        const char* kind;
        const char* content;
        const char* message;  // part of the German message, UTF-8
    } cases[] = {
        {"par", "key1\tkey2\tvalue\n1\ta\tneu\n2\tb\n", "Zeile 3: 2 Felder statt 3"},
        {"par", "key1\tkey2\tvalue\n1\ta\tneu\n2\tb\tc\\q\n", "Zeile 3: Spalte „value“ ungültige"},
        {"par", "key1\tkey2\tvalue\n1\ta\t\xC3\n", "Zeile 2: Spalte „value“ kein gültiges UTF-8"},
        {"par", "key1\tkey2\tvalue\n1\ta\t\xCE\xA9\n", "Zeile 2: Spalte „value“ enthält ein"},
        {"par", "key2\tvalue\na\tneu\n", "Pflichtspalte „key1“ fehlt"},
        {"par", "key1\tkey1\tkey2\n", "zweimal"},
        {"par", " \n\r\n", "leer"},
        // No dialog finds a block without a Kürzel, a patient without a
        // number, a setting without its key or a list entry without its list again.
        {"tb", "kuerzel\ttext\nab\tx\n\tohne\n", "Zeile 3: Spalte „kuerzel“ ist leer"},
        {"par", "key1\tkey2\tvalue\n\t\tleer\n", "Zeile 2: Spalte „key1“ ist leer"},
        {"sp", "list\tcode\ttext\n \ta\tx\n", "Zeile 2: Spalte „list“ ist leer"},
        {"pat", "number\tname\r\r1\tA\r  \tB\r", "Zeile 4: Spalte „number“ ist leer"}};
    for (const auto& c : cases) {
        const std::string before = Dump(c.kind);
        CString error;
        EXPECT_NE(XQLoadTsv(c.kind, WriteFile("bad.tsv", c.content), &error), XQ_OK) << c.content;
        EXPECT_NE(Cp1252ToUtf8(error.str()).find(c.message), std::string::npos)
            << Cp1252ToUtf8(error.str());
        EXPECT_EQ(Dump(c.kind), before);
    }
    CString error;
    EXPECT_EQ(XQLoadTsv("unsinn", home + "/bad.tsv", &error), XQ_NODB);
    EXPECT_NE(Cp1252ToUtf8(error.str()).find("Unbekannte Datenart"), std::string::npos);
}

// For n = 1, 2, ... the n-th SQLite call of a load fails, until the load
// gets through: each failure leaves the database exactly as it was, schema
// included, and says so in German. The file names a block twice and is
// loaded into the empty table (whose indexes are built after the rows), then
// again where it replaces stored blocks; several lines each.
TEST_F(TsvTest, FailingLoadsLeaveEverythingAsItWas) {
    auto state = [&] {
        xq::Stmt* stmt = xq::Prepared(
            *dbDatabase,
            q7test::OnServer()
                ? "SELECT 'lines ' || (SELECT count(*) FROM tbentry) || chr(10) ||"
                  " string_agg(indexdef, ';' ORDER BY indexname) FROM pg_indexes"
                  " WHERE schemaname=current_schema()"
                : "SELECT 'lines ' || (SELECT count(*) FROM tbentry) || char(10) ||"
                  " group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master WHERE sql IS NOT "
                  "NULL ORDER BY name)");
        const std::string counted = stmt->Step() == SQLITE_ROW ? xq::ColumnUtf8(stmt, 0) : "?";
        stmt->Reset();  // an open read would block the load
        return Dump("tb") + counted;
    };
    const std::string schema = state().substr(state().find("\n", state().find("lines ")) + 1);
    ASSERT_NE(schema.find("tb_search"), std::string::npos);
    const std::string file = WriteFile("neu.tsv",
                                       "kuerzel\tgroup\tdescription\ttext\n"
                                       "neu1\tb\tNeu eins\tn1\\nn2\\nn3\n"
                                       "alt2\td\tZwei neu\tx\\ny\n"
                                       "neu2\th\tNeu zwei\t\xC3\x84rzte\\nz\n"
                                       "alt1\tb\tEins neu\tp\\nq\\nr\n"
                                       "neu1\tb\tNeu eins, zweimal\tm1\\nm2\n");
    const std::string loaded =
        "alt1\tb\t\tEins neu\t\tp\\nq\\nr\n"
        "alt2\td\t\tZwei neu\t\tx\\ny\n";
    const std::string added =
        "neu1\tb\t\tNeu eins, zweimal\t\tm1\\nm2\n"
        "neu2\th\t\tNeu zwei\t\t\xC3\x84rzte\\nz\n";
    const std::string header = "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n";
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            ASSERT_EQ(Load("tb",
                           "kuerzel\tgroup\tdescription\ttext\nalt1\tb\tAlt eins\ta\\nb\n"
                           "alt2\td\tAlt zwei\tc\\nd\\ne\nbleibt\tf\tBleibt\tf\n"),
                      XQ_OK);
        }
        const std::string before = state();
        int failures = 0;
        for (int n = 1; n < 2000; ++n) {
            XQFailNthCall(n);
            CString error;
            const int status = XQLoadTsv("tb", file, &error);
            const bool fired = XQFaultFired();
            XQFailNthCall(0);
            if (!fired) {
                ASSERT_EQ(status, XQ_OK) << error.GetString();
                EXPECT_EQ(state(), round == 0 ? header + loaded + added + "lines 9\n" + schema
                                              : header + loaded + "bleibt\tf\t\tBleibt\t\tf\n" +
                                                    added + "lines 10\n" + schema);
                break;
            }
            ++failures;
            EXPECT_NE(status, XQ_OK) << n;
            EXPECT_NE(Cp1252ToUtf8(error.str()).find("nichts geladen"), std::string::npos)
                << n << ": " << Cp1252ToUtf8(error.str());
            EXPECT_EQ(state(), before) << n;
            EXPECT_EQ(dbDatabase->TransactionDepth(), 0) << n;
        }
        EXPECT_GT(failures, 20);
    }
}

TEST_F(DbTest, StringResourcesAndSystemParameters) {
    EXPECT_EQ(
        GetQ7String(39, 7010).Left(6) + "|" + GetQ7String(6, 12345) + "|" + LoadQ7String(12345),
        "Dieses|Meldung 6/12345|");
    EXPECT_EQ(GetQ7Text("7002") + "|" + GetQ7Text("Freitext 7002") + "|" + GetQ7Text("12345"),
              "(alle)|Freitext 7002|12345");
    std::vector<std::pair<CString, CString>> entries{{"x", "y"}};
    EXPECT_EQ(GetSPEntries("gibtsnicht", entries), XQ_OK);
    EXPECT_TRUE(entries.empty());
    XQClosePracticeDatabase();
    EXPECT_EQ(GetSPEntries("tb", entries), XQ_NODB);
    EXPECT_EQ(GetQ7String(6, 10), "Meldung 6/10");
}

// A practice database of the previous program version lacks texts this one
// added; opening it adds them and keeps the practice's own wording.
TEST_F(DbTest, OlderDatabaseGetsTheNewTextsAndKeepsItsOwn) {
    Q7_FILE_STORE_ONLY();
    ASSERT_EQ(xq::Exec(xq::Handle(*dbDatabase),
                       "DELETE FROM strings WHERE k_grp=6 AND k_number=3007;"
                       "UPDATE strings SET text='eigen' WHERE k_grp=6 AND k_number=1;"
                       "PRAGMA user_version=2"),
              SQLITE_OK);
    XQClosePracticeDatabase();
    CString error;
    ASSERT_EQ(XQOpenPracticeDatabase(home, &error), XQ_OK) << error.GetString();
    EXPECT_EQ(GetQ7String(6, 3007).Left(10), "Das K\xFCrzel");
    EXPECT_EQ(GetQ7String(6, 1), "eigen");
}

// A catalogue of schema 4 lacks the remedies column and the change counter
// its search needs: opening adds the column empty, keeps the codes, and
// makes the triggers count.
TEST_F(DbTest, CatalogueOfSchema4GetsTheRemediesColumnAndTheChangeCounter) {
    Q7_FILE_STORE_ONLY();
    Load("icd", "code\ttext\nA10\tDarmbefall\n");
    ASSERT_EQ(xq::Exec(xq::Handle(*dbDatabase),
                       "ALTER TABLE icd DROP COLUMN heilmittel; DROP TABLE icdstamp;"
                       "DROP TRIGGER icd_ai; CREATE TRIGGER icd_ai AFTER INSERT ON icd BEGIN "
                       "SELECT 1; END; PRAGMA user_version=4"),
              SQLITE_OK);
    XQClosePracticeDatabase();
    CString error;
    ASSERT_EQ(XQOpenPracticeDatabase(home, &error), XQ_OK) << error.GetString();
    EXPECT_EQ(Dump("icd"),
              "code\ttext\tchapter\tgroup\tsubgroup\tnotation\tpartner\textract\thk\tfk\tfg\t"
              "vachapters\tlhm\nA10\tDarmbefall\t\t\t\t\t\t\t\t\t\t\t\n");
    CQIcd icd(dbDatabase);
    icd.Text = "hautbefall";
    EXPECT_EQ(Hits(icd, icd.GetForSuche(false, "", false, false, false, "")), "-");
    ASSERT_EQ(xq::Exec(xq::Handle(*dbDatabase),
                       "INSERT INTO icd(code, k_code, ebene, k_ebene, lfd, k_lfd, text) "
                       "SELECT 'A11', k_code, ebene, k_ebene, lfd, k_lfd+1, 'Hautbefall' "
                       "FROM icd WHERE code='A10'"),
              SQLITE_OK);
    EXPECT_EQ(Hits(icd, icd.GetForSuche(false, "", false, false, false, "")), "A11");
}

}  // namespace
