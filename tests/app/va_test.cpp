// The coding manual viewer on the demo practice, as the practice system calls
// it: the whole manual of the edition current on the day, or the chapters of
// one code, also from the diagnosis search.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/RunQ7.h"

namespace {

class VaAppTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        ASSERT_EQ(RunQ7({"--home", home, "seed-demo"}).status, 0);
    }
    ProcessRun View(const char* today, const char* code) {
        return RunQ7({"--home", home, "--today", today, "--ui", "text", "--script", "-", "call",
                      "Q7VAStammView", code},
                     "dump\n");
    }
};

TEST_F(VaAppTest, ShowsTheWholeCurrentManualOrTheChaptersOfACode) {
    const std::string title = "{#FF0F00}Kombinationsschl\xC3\xBCssel: Sumpffieber-Leiden der Haut";
    ProcessRun run = View("20261115", "");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out.rfind("== Verschluesselungsanleitung Stammdatei - 01.10.2026 - 31.12.2026\n"
                            "list Verschl\xC3\xBCsselungsanleitung:\n  [0] \n"
                            "  [1] {#FF0F00}Allgemeine Kodierrichtlinien\n",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find(title), std::string::npos);
    EXPECT_TRUE(run.out.ends_with("==\nresult: 0\n")) << run.out;

    run = View("20261115", "A41.0");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(
        run.out.rfind("== Verschluesselungsanleitung Stammdatei - 01.10.2026 - 31.12.2026 - "
                      "ICD-Code A41.0\nlist Verschl\xC3\xBCsselungsanleitung:\n  [0] \n  [1] " +
                          title,
                      0),
        0u)
        << run.out;
    EXPECT_EQ(run.out.find("Allgemeine Kodierrichtlinien"), std::string::npos);

    // The diagnosis search's button opens the whole manual.
    run = RunQ7({"--home", home, "--today", "20261115", "--ui", "text", "--script", "-", "call",
                 "Q7SuchIcd", "0", "0", "1", "", ""},
                "click #10041\ndump\n");
    EXPECT_EQ(run.out.rfind("== Verschluesselungsanleitung Stammdatei - 01.10.2026 - 31.12.2026\n"
                            "list Verschl\xC3\xBCsselungsanleitung:\n  [0] \n  [1] {#FF0F00}Allg",
                            0),
              0u)
        << run.out;

    // Before the fourth quarter its edition is not yet current.
    run = View("20260930", "");
    EXPECT_EQ(
        run.out.rfind("== Verschluesselungsanleitung Stammdatei - 01.07.2026 - 30.09.2026\n", 0),
        0u)
        << run.out;
}

}  // namespace
