// The procedure search as the practice system calls it, on a small
// catalogue: a key typed without its point is found after the typing pause
// and comes back with its side; without sides none is asked; a host that
// builds the dialog itself presets key and side; a date that is no day is a
// bad command line.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/RunQ7.h"

namespace {

class OpsAppTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        Load("ops",
             "code\tchapter\tgroup\tcategory\tsnz\tside\textended\n5\t5\t\t$0\t\t\t\n"
             "5-81\t5\t5-81\t$1\t\t\t\n5-812.5\t5\t5-81\t\t37\t1\t0\n"
             "5-811.2\t5\t5-81\t\t1\t0\t0\n");
        Load("opstext", "code\ttype\ttext\n5-812.5\t3\tMeniskusresektion\n");
    }
    static std::string Fields(const char* code) {
        return std::string("ops.code: ") + code +
               "\nops.chapter: 5\nops.group: 5-81\nops.category: \nops.snz: 37\nops.side: "
               "1\nops.extended: 0\n";
    }
};

TEST_F(OpsAppTest, AKeyComesBackWithItsSideAndABadDateIsRefused) {
    const std::string typing = "type OP-Schl\xC3\xBCssel 58125\nwait 300\n";
    ProcessRun run = Script({"call", "Q7SuchOPS", "0", "20261205"},
                            typing + "check L - links on\nclick #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\n" + Fields("5-812.5L"));

    run = Script({"call", "Q7SuchOPS", "1", "20261205"}, typing + "click #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\n" + Fields("5-812.5"));

    // The host's own dialog takes key and side.
    run = Script({"dialog", "CdiaSuchOPS", "0", "20261205", "5-812.5", "R"}, "click #10005\n");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "result: 1\n" + Fields("5-812.5R"));

    run = Script({"call", "Q7SuchOPS", "0", "20260230"}, "");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Behandlungsdatum"), std::string::npos) << run.err;
}

}  // namespace
