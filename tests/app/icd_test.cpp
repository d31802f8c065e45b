// The diagnosis search as the practice system calls it, on the demo
// practice: a code found by text typed without umlauts comes back with its
// certainty and side, the secondary-code search lists a code's partners, and
// the dental transition hands back two codes. The same demo brings the
// procedure catalogue and its fee schedule. The KBV master files read by
// import-icd give the search its physician group filters.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

class IcdAppTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        ASSERT_EQ(Q7({"seed-demo"}).status, 0);
    }
    ProcessRun Call(std::vector<std::string> call, const std::string& script) {
        call.insert(call.begin(), "call");
        return Script(call, script);
    }
};

TEST_F(IcdAppTest, CodeFoundByTextComesBackWithCertaintyAndSide) {
    ProcessRun run = Call({"Q7SuchIcd", "0", "0", "1", "", ""},
                          "select Kapitel (alle)\ntype Text zuckerverwertungsstoerung kindes\n"
                          "line grid 3\ncheck G - gesicherte Diagnose on\ncheck R - rechts on\n"
                          "click \xC3\234bernehmen\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\ncode: E101\naddition: GR\n");
}

TEST_F(IcdAppTest, SecondaryCodeSearchListsThePartners) {
    ProcessRun run = Call({"Q7SuchIcdSekundaerCode", "1", "", "A10.0"}, "dump\nclick #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("> [0] G10.0 |"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("result: 1\ncode: G100\n"), std::string::npos) << run.out;
}

TEST_F(IcdAppTest, DentalTransitionHandsBackTwoCodes) {
    ProcessRun run = Call({"Q7SuchIcdFreitextdiagnosenKZBV", "0"},
                          "line tree 3\nline Erster Diagnosecode 0\n"
                          "check G - gesicherte Diagnose#1 on\nline Zweiter Diagnosecode 2\n"
                          "check V - Verdacht auf / zum Ausschlu\xC3\x9F von#2 on\n"
                          "click #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "result: 1\ncode1: K021\naddition1: G\ntext1: Karies des Dentins\n"
              "code2: K041\naddition2: V\ntext2: Nekrose der Pulpa\n");
}

// Enough procedures and chapters to search in, and every edition of the fee
// schedule, so that the treatment date shows in the dialog.
TEST_F(IcdAppTest, DemoBringsAProcedureCatalogueAndFeeSchedule) {
    // Column n (from 0) of every row below the header.
    auto column = [this](const char* kind, int n) {
        std::istringstream rows(Dump(kind));
        std::multiset<std::string> values;
        std::string row, value;
        for (std::getline(rows, row); std::getline(rows, row); values.insert(value)) {
            std::istringstream fields(row);
            for (int i = 0; i <= n; ++i) std::getline(fields, value, '\t');
        }
        return values;
    };
    const std::multiset<std::string> categories = column("ops", 3), editions = column("go", 0);
    EXPECT_GE(categories.count("$0"), 6u) << "chapters";
    EXPECT_GE(categories.size() - categories.count("$0") - categories.count("$1"), 200u);
    EXPECT_EQ(std::set<std::string>(editions.begin(), editions.end()),
              (std::set<std::string>{"b", "e", "f", "h"}));
}

// The invented master files replace the catalogue; the Hausarzt filter then
// keeps the codes whose index texts the Hausarzt group holds. A file that
// is not there changes nothing and ends with status 1.
TEST_F(IcdAppTest, ImportedMasterFilesGiveThePhysicianGroupFilters) {
    const std::string kbv = std::string(Q7_SOURCE_DIR) + "/demo/kbv/";
    ProcessRun run =
        Q7({"import-icd", kbv + "ICD_2.3_74_tf+2026q1.xml", kbv + "sdhma_1.30_74_tf+2026q1.xml",
            kbv + "ICD-10_Auswahl Zahnmedizin_AU-Besch._Demo.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Der ICD-Katalog wurde eingelesen."), std::string::npos) << run.out;

    run = Call({"Q7SuchIcd", "0", "0", "1", "", ""},
               "select Kapitel (alle)\ntype Text wanderkeim\nwait 300\n"
               "check Hausarzt-Katalog on\nwait 300\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string lines;
    std::istringstream out(run.out);
    for (std::string line; std::getline(out, line);)
        if (line.find("] A1") != std::string::npos) lines += line.substr(line.find(']') + 2, 5);
    EXPECT_EQ(lines, "A10.0A11.9A12.9");

    const std::string before = Dump("icd");
    run = Q7({"import-icd", home + "/fehlt.xml"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Datei nicht lesbar"), std::string::npos) << run.err;
    EXPECT_EQ(Dump("icd"), before);
}

}  // namespace
