// q7host refuses a script it cannot read as a bad command line, before it
// touches the practice home.
#include <string>

#include "tests/app/RunQ7.h"

namespace {

using ScriptFileTest = HomeTest;

// (A missing script is a row of the wrong uses in q7host_test.)
TEST_F(ScriptFileTest, AFolderAsScriptIsABadCommandLine) {
    const ProcessRun run = Q7({"--script", dir.string(), "dialog", "CdiaSuchTB"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("ist ein Ordner, keine Skriptdatei"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(home)) << "nothing ran";
}

}  // namespace
