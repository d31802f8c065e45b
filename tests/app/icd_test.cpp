// The diagnosis search as the practice system calls it, on the demo
// practice: a code found by text typed without umlauts comes back with its
// certainty and side, the secondary-code search lists a code's partners, and
// the dental transition hands back two codes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

class IcdAppTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        char name[] = "/tmp/q7icdtest.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        ASSERT_EQ(RunQ7({"--home", dir, "seed-demo"}).status, 0);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(dir); }
    static ProcessRun Call(const std::vector<std::string>& call, const std::string& script) {
        std::vector<std::string> args{"--home", dir, "--ui", "text", "--script", "-", "call"};
        args.insert(args.end(), call.begin(), call.end());
        return RunQ7(args, script);
    }
    static std::string dir;
};

std::string IcdAppTest::dir;

TEST_F(IcdAppTest, CodeFoundByTextComesBackWithCertaintyAndSide) {
    ProcessRun run = Call({"Q7SuchIcd", "0", "0", "1", "", ""},
                          "select Kapitel (alle)\n"
                          "type Text zuckerverwertungsstoerung kindes\n"
                          "line grid 2\n"
                          "check G - gesicherte Diagnose on\n"
                          "check R - rechts on\n"
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
                          "line tree 3\n"
                          "line Erster Diagnosecode 0\n"
                          "check G - gesicherte Diagnose#1 on\n"
                          "line Zweiter Diagnosecode 2\n"
                          "check V - Verdacht auf / zum Ausschlu\xC3\x9F von#2 on\n"
                          "click #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "result: 1\ncode1: K021\naddition1: G\ntext1: Karies des Dentins\n"
              "code2: K041\naddition2: V\ntext2: Nekrose der Pulpa\n");
}

}  // namespace
