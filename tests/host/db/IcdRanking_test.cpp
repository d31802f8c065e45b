// The diagnosis search on the real ICD-10-GM catalogue against what
// physicians type (bench/IcdQueries.h): most queries find their codes among
// the first 10 lines in every field, and the cases users reported always
// find theirs.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/IcdQueries.h"
#include "bench/RealCatalogue.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"

namespace {

class IcdRankingTest : public ::testing::Test {
  protected:
    // One load of the catalogue for all tests of the program: it takes seconds.
    static void SetUpTestSuite() {
        const std::string dir = CatalogueDir();
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) {
            missing = "ICD-Katalog nicht vorhanden: " + dir + " (Q7_ICD_DIR setzen)";
            return;
        }
        home = (std::filesystem::temp_directory_path() / "q7rank-XXXXXX").string();
        if (!mkdtemp(home.data())) {
            failed = "kein Ordner f\303\274r die Praxis";
            return;
        }
        CString error;
        if (XQOpenPracticeDatabase(home, &error) != XQ_OK) {
            failed = Cp1252ToUtf8(error.str());
            return;
        }
        failed = LoadRealCatalogue();
    }
    static void TearDownTestSuite() {
        if (home.empty()) return;
        XQClosePracticeDatabase();
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
        home.clear();
    }
    void SetUp() override {
        if (!missing.empty()) GTEST_SKIP() << missing;
        ASSERT_TRUE(failed.empty()) << failed;
    }

    // Whether every wanted code shows among the first lines; a line for a
    // failure message when not.
    static bool Holds(const IcdQuery& query, IcdField field, std::string& miss, int lines = 10) {
        CQIcd icd(dbDatabaseRO);
        icd.SetKey(2);
        const std::vector<std::string> codes = IcdSearch(icd, field, query.typed, lines);
        for (const auto& alternatives : IcdWanted(query)) {
            if (IcdLineOf(codes, alternatives) > 0) continue;
            miss += std::string("\n  ") + IcdFieldName(field) + " \"" + query.typed + "\" will " +
                    query.wanted + ", zeigt:";
            for (size_t i = 0; i < codes.size() && i < 10; ++i)
                miss += " " + Cp1252ToUtf8(CQIcd::AddPoint(Utf8ToCp1252(codes[i])).str());
            return false;
        }
        return true;
    }

    static std::string home;
    static std::string missing;
    static std::string failed;
};

std::string IcdRankingTest::home;
std::string IcdRankingTest::missing;
std::string IcdRankingTest::failed;

TEST_F(IcdRankingTest, NearlyAllQueriesFindTheirCodesInEachField) {
    for (IcdField field : kIcdFields) {
        int asked = 0;
        int passed = 0;
        std::string misses;
        for (const IcdQuery& query : kIcdQueries) {
            if (!(query.fields & field)) continue;
            ++asked;
            passed += Holds(query, field, misses);
        }
        EXPECT_GE(passed * 100, asked * 95)
            << IcdFieldName(field) << ": " << passed << " von " << asked << misses;
    }
}

// The cases users reported find every code they want; which of them reach
// the first lines is the share's business.
TEST_F(IcdRankingTest, ReportedCasesAlwaysFindTheirCodes) {
    std::string misses;
    for (const IcdQuery& query : kIcdQueries)
        for (IcdField field : kIcdFields)
            if (query.complaint && (query.fields & field)) Holds(query, field, misses, 5000);
    EXPECT_TRUE(misses.empty()) << "fehlen:" << misses;
}

}  // namespace
