// q7host refuses a script it cannot read as a bad command line, before it
// touches the practice home.
#include <string>
#include <utility>

#include "tests/app/RunQ7.h"

namespace {

using ScriptFileTest = HomeTest;

TEST_F(ScriptFileTest, AFolderOrAMissingScriptIsABadCommandLine) {
    const std::pair<std::string, const char*> cases[] = {
        {dir.string(), "ist ein Ordner"}, {(dir / "fehlt.txt").string(), "gibt es nicht"}};
    for (const auto& [path, reason] : cases) {
        const ProcessRun run = RunQ7({"--home", home, "--script", path, "dialog", "CdiaSuchTB"});
        EXPECT_EQ(run.status, 2) << path;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(home)) << "nothing ran";
    }
}

}  // namespace
