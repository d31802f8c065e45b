// The AKR introduction as the practice meets it in the diagnosis search of
// the demo practice: asked once while it lasts, the answer kept for the next
// start, and after it the coding rules open without a question.
#include <gtest/gtest.h>

#include "tests/app/RunQ7.h"

namespace {

class AkrAppTest : public HomeTest {
  protected:
    ProcessRun Search(const char* today, const std::string& script) {
        return RunQ7({"--home", home, "--today", today, "--ui", "text", "--script", "-", "call",
                      "Q7SuchIcd", "0", "0", "1", "", ""},
                     script);
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

TEST_F(AkrAppTest, SearchAsksOnceAndKeepsTheAnswer) {
    ASSERT_EQ(RunQ7({"--home", home, "seed-demo"}).status, 0);
    const char kButton[] = "button #10040: Kodierregelwerk-Stammdatei";

    // "Nein, ich brauche noch Bedenkzeit", then "C In einem Monat".
    ProcessRun run = Search("20111215", "answer 2\nanswer 3\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out,
                    "MESSAGE XQMsgBox: Einf\xC3\xBChrungsphase des Ambulanten "
                    "Kodierregelwerks | "),
              2)
        << run.out;
    EXPECT_NE(run.out.find(std::string(kButton) + " [disabled]\n"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "home/data/Kbv/AkrG_Einf\xC3\xBChrung.Dat"), "20120115\r\n");

    run = Search("20111216", "dump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "MESSAGE"), 0) << run.out;

    // The introduction is over: the coding rules open.
    run = Search("20120116", "click #10040\ndump\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Count(run.out, "MESSAGE"), 0) << run.out;
    EXPECT_EQ(run.out.rfind("== Kodierregelwerk", 0), 0u) << run.out;
}

}  // namespace
