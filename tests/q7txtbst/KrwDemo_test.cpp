// The demo practice's coding rule editions: both must read to the end, and the
// details dialog must find every correction code in the demo catalogue. What
// the view makes of them: the end-to-end tests on the demo practice.
#include <set>

#include "host/db/Icd.h"
#include "tests/q7txtbst/KrwFixture.h"

namespace {

class KrwDemoTest : public KrwHomeTest {};

TEST_F(KrwDemoTest, BothEditionsReadToTheEndWithTheirCorrectionsInTheCatalogue) {
    for (const char* name : {"krw_1.40_74_tf+2026q3_nr1.xml", "krw_1.40_74_tf+2026q4_nr1.xml"})
        std::filesystem::copy_file(std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name, kbv + name);
    std::set<std::string> catalogue;
    std::ifstream icd(Q7_SOURCE_DIR "/demo/icd.tsv");
    for (std::string line; std::getline(icd, line);)
        catalogue.insert(line.substr(0, line.find('\t')));

    CKrw krw;
    KrwRegelMap rules;
    KrwDetailMap details;
    krw.regeln = &rules;
    krw.details = &details;
    for (bool newest : {true, false}) {
        EXPECT_TRUE(krw.ReadKrw(newest)) << newest;
        for (const auto& [key, entry] : details)
            EXPECT_TRUE(entry.art != KRW_KORREKTUR ||
                        catalogue.count(CQIcd::RemovePoint(entry.text).str()))
                << key.str();
    }
}

}  // namespace
