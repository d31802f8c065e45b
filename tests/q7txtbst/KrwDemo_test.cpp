// The demo practice's coding rule editions: what a practice gets from
// seed-demo must be well-formed and complete enough to show every part of the
// rule view.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/base/HostContext.h"
#include "host/db/Icd.h"
#include "host/xml/XQSax.h"
#include "q7txtbst/Krw.h"
#include "tests/q7txtbst/TbFixture.h"

namespace {

const char* const kEditions[] = {"krw_1.40_74_tf+2026q3_nr1.xml", "krw_1.40_74_tf+2026q4_nr1.xml"};

std::string DemoKbv(const char* name) {
    return std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name;
}

class RuleCounter : public SAXContentHandlerImpl {
  public:
    int rules = 0;
    std::set<std::string> names;  // local names of the rule namespace
    void startElement(const std::string& uri, const std::string& local,
                      const std::string&) override {
        if (uri.empty() || uri == "urn:ehd/001") return;
        names.insert(local);
        rules += local == "kodierregel";
    }
};

TEST(KrwDemoTest, EditionsAreWellFormedAndUseEveryElementTheReaderKnows) {
    const std::set<std::string> known = {"kodierregel",
                                         "id",
                                         "service_tmr",
                                         "beschreibung",
                                         "kurz_beschreibung",
                                         "regelkategorie",
                                         "regelquelle_liste",
                                         "regelquelle",
                                         "regelthema_liste",
                                         "regelthema",
                                         "regelanwendung",
                                         "bezugsraum",
                                         "anzahl_quartale",
                                         "echtzeitpruefung_liste",
                                         "echtzeitpruefung",
                                         "pruefgrundlage_liste",
                                         "pruefgrundlage",
                                         "bedingung",
                                         "parameter",
                                         "operator",
                                         "existenz",
                                         "value_liste",
                                         "value",
                                         "subbedingung",
                                         "pruefung",
                                         "subpruefung",
                                         "pruefung_existenz",
                                         "fehlerbehandlung",
                                         "hinweis",
                                         "vorschlag",
                                         "korrektur",
                                         "regel",
                                         "subkorrektur"};
    for (const char* name : kEditions) {
        RuleCounter counter;
        CXQSAXReader reader;
        reader.putContentHandler(&counter);
        ASSERT_TRUE(reader.parseURL(DemoKbv(name).c_str())) << reader.ErrorText().GetString();
        EXPECT_GE(counter.rules, 40) << name;
        EXPECT_EQ(counter.names, known) << name;
    }
}

class KrwDemoReadTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        Q7SetHome(home);
        CKrw::ForgetKbvPath();
        const auto kbv = std::filesystem::path(home) / "data" / "Kbv";
        std::filesystem::create_directories(kbv);
        for (const char* name : kEditions) std::filesystem::copy_file(DemoKbv(name), kbv / name);
        std::ifstream par(Q7_SOURCE_DIR "/demo/par.tsv", std::ios::binary);
        std::stringstream rows;
        rows << par.rdbuf();
        Load("par", rows.str());
    }
    void TearDown() override {
        Q7SetHome("");
        CKrw::ForgetKbvPath();
        TbTest::TearDown();
    }
};

TEST_F(KrwDemoReadTest, BothEditionsReadToTheEndAndDifferBothWays) {
    std::set<std::string> catalogue;
    std::ifstream icd(Q7_SOURCE_DIR "/demo/icd.tsv");
    for (std::string line; std::getline(icd, line);)
        catalogue.insert(line.substr(0, line.find('\t')));

    CKrw krw;
    KrwRegelMap rules[2];
    KrwDetailMap details[2];
    for (int i = 0; i < 2; ++i) {
        krw.regeln = &rules[i];
        krw.details = &details[i];
        EXPECT_TRUE(krw.ReadKrw(i == 0)) << i;
        EXPECT_GE(rules[i].size(), 40u) << i;
        // The details dialog shows each correction with its catalogue text.
        for (const auto& [key, entry] : details[i]) {
            if (entry.art == KRW_KORREKTUR) {
                EXPECT_TRUE(catalogue.count(CQIcd::RemovePoint(entry.text).str())) << key.str();
            }
        }
        // The practice's stored settings reach the rules.
        EXPECT_EQ(rules[i]["AKR002"].status, '0') << i;
        EXPECT_EQ(rules[i]["AKR002"].echtzeitpruefung, '4') << i;
    }
    KrwRegelMap added, expired;
    KrwDetailMap addedDetails, expiredDetails;
    krw.DiffKrw(added, addedDetails, expired, expiredDetails);
    EXPECT_FALSE(added.empty());
    EXPECT_FALSE(expired.empty());
    EXPECT_FALSE(addedDetails.empty());
}

}  // namespace
