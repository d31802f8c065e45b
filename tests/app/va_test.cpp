// The coding manual viewer on the demo practice, as the practice system calls
// it: the whole manual of the edition current on the day, also from the
// diagnosis search. (Which edition and which chapters of a code are the
// viewer's own tests.)
#include <gtest/gtest.h>

#include <string>

#include "tests/app/RunQ7.h"

namespace {

using VaAppTest = HomeTest;

TEST_F(VaAppTest, ShowsTheWholeCurrentManualAlsoFromTheDiagnosisSearch) {
    ASSERT_EQ(Q7({"seed-demo"}).status, 0);
    const std::string manual =
        "== Verschluesselungsanleitung Stammdatei - 01.10.2026 - 31.12.2026\n"
        "list Verschl\xC3\xBCsselungsanleitung:\n  [0] \n"
        "  [1] {#FF0F00}Allgemeine Kodierrichtlinien\n";
    ProcessRun run = Script({"--today", "20261115", "call", "Q7VAStammView", ""}, "dump\n");
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_EQ(run.out.rfind(manual, 0), 0u) << run.out;
    EXPECT_NE(run.out.find("{#FF0F00}Kombinationsschl\xC3\xBCssel: Sumpffieber-Leiden der Haut"),
              std::string::npos);
    EXPECT_TRUE(run.out.ends_with("==\nresult: 0\n")) << run.out;

    // The diagnosis search's button opens the whole manual.
    run = Script({"--today", "20261115", "call", "Q7SuchIcd", "0", "0", "1", "", ""},
                 "click #10041\ndump\n");
    EXPECT_EQ(run.out.rfind(manual, 0), 0u) << run.out;
}

}  // namespace
