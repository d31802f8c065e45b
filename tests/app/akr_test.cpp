// The AKR introduction in the diagnosis search of the demo practice: asked
// once while it lasts, the answer kept for the next start; afterwards the
// coding rules open without a question.
#include <gtest/gtest.h>

#include "tests/app/RunQ7.h"

namespace {

class AkrAppTest : public HomeTest {
  protected:
    // The search on that day; how many boxes it showed.
    int Search(const char* today, const std::string& script) {
        run = Script({"--today", today, "call", "Q7SuchIcd", "0", "0", "1", "", ""}, script);
        EXPECT_EQ(run.status, 0) << run.err;
        int boxes = 0;
        for (size_t at = 0; (at = run.out.find("MESSAGE", at)) != std::string::npos; ++at) ++boxes;
        return boxes;
    }
    ProcessRun run;
};

TEST_F(AkrAppTest, SearchAsksOnceAndKeepsTheAnswer) {
    ASSERT_EQ(Q7({"seed-demo"}).status, 0);
    // "Nein, ich brauche noch Bedenkzeit", then "C".
    EXPECT_EQ(Search("20111215", "answer 2\nanswer 3\ndump\n"), 2);
    EXPECT_NE(run.out.find("MESSAGE XQMsgBox: Einf\xC3\xBChrungsphase des Ambulanten "
                           "Kodierregelwerks | Sie haben sich"),
              std::string::npos);
    EXPECT_NE(run.out.find("#10040: Kodierregelwerk-Stammdatei [disabled]\n"), std::string::npos);
    EXPECT_EQ(Search("20111216", ""), 0);

    EXPECT_EQ(Search("20120116", "click #10040\ndump\n"), 0);
    EXPECT_EQ(run.out.rfind("== Kodierregelwerk", 0), 0u) << run.out;
}

}  // namespace
