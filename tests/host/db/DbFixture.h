#pragma once
// A practice database in a fresh temporary folder for each test.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host/base/Cp1252.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"
#include "tests/host/FaultSeams.h"
#include "tests/host/TestServer.h"

class DbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = (std::filesystem::temp_directory_path() / "q7db-XXXXXX").string();
        ASSERT_NE(mkdtemp(home.data()), nullptr);
        CString error;
        if (q7test::OnServer()) {
            if (!q7test::ServerAvailable()) GTEST_SKIP() << "kein Testserver: scripts/pg.sh";
            std::string why;
            serverUrl = q7test::FreshServerPractice(schema, why);
            ASSERT_FALSE(serverUrl.empty()) << why;
        }
        ASSERT_EQ(Reopen(&error), XQ_OK) << error.GetString();
    }
    void TearDown() override {
        XQFailNthCall(0);
        XQClosePracticeDatabase();
        q7test::DropServerPractice(schema);
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    }
    // Opens the test's practice (again), on the store of the run.
    int Reopen(CString* error = nullptr) const {
        if (serverUrl.empty()) return XQOpenPracticeDatabase(home, error);
        return XQOpenPracticeDatabase(home, serverUrl.c_str(), true, error);
    }
    // A kind's rows as the export writes them.
    static std::string Dump(const char* kind) {
        std::ostringstream out;
        EXPECT_EQ(XQDumpTsv(kind, out, nullptr), XQ_OK);
        return out.str();
    }
    std::string DbPath() const { return home + "/praxis.db"; }
    // A file in the home folder; its path.
    std::string WriteFile(const std::string& name, const std::string& content) const {
        const std::string path = home + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static void Load(const char* kind, const std::string& content) {
        CString error;
        ASSERT_EQ(XQLoadTsvText(kind, content, kind, &error), XQ_OK) << error.GetString();
    }
    // A field of the hits (the code unless told) from the first on; "-" for none.
    template <class R>
    static std::string Hits(R& r, int status, CString R::*field = &R::Code) {
        if (status == XQ_NOTFOUND) return "-";
        if (status != XQ_OK) return "status " + std::to_string(status);
        std::string out;
        do out += (out.empty() ? "" : ",") + Cp1252ToUtf8((r.*field).str());
        while (r.Next() == XQ_OK);
        return out;
    }

    static int AddTb(const char* kuerzel, const char* gruppe = "", const char* untergruppe = "",
                     const char* beschreibung = "") {
        CQTb tb(dbDatabase);
        tb.Kuerzel = Utf8ToCp1252(kuerzel);
        tb.Gruppe = gruppe;
        tb.Untergruppe = untergruppe;
        tb.Beschreibung = Utf8ToCp1252(beschreibung);
        return tb.Write();
    }

    static int AddLine(const char* kuerzel, int number, const char* text) {
        CQTbEntry line(dbDatabase);
        line.KYKUERZEL = Utf8ToCp1252(kuerzel);
        line.LFDTBENTRY = FormatString("%3d", number);
        line.TBENTRY = Utf8ToCp1252(text);
        return line.Write();
    }

    // Kürzel of all hits from the current position on, as UTF-8.
    static std::string Walk(CQTb& tb) {
        std::string out;
        if (tb.CurrentIndex() < 0) return out;
        do {
            out += (out.empty() ? "" : ",") + Cp1252ToUtf8(tb.Kuerzel.str());
        } while (tb.Next() == XQ_OK);
        return out;
    }

    std::string home;
    std::string serverUrl;  // empty: the practice file
    std::string schema;
};

// For a test of the SQLite file itself (its locks, its journal, damage to
// it): skipped on the server store.
#define Q7_FILE_STORE_ONLY()                                               \
    do {                                                                   \
        if (q7test::OnServer()) GTEST_SKIP() << "nur für die Praxisdatei"; \
    } while (0)
