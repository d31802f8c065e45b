#pragma once
// Runs the real q7host binary as a user would: its command line, a script on
// standard input, and what it prints.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ProcessRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Starts a program with args, its standard streams on the given descriptors;
// the caller waits for it (or kills it).
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          int inFd, int outFd, int errFd) {
    const pid_t pid = fork();
    if (pid == 0) {
        // Without a display q7host keeps to the text front end, whatever
        // desktop the tests are started from.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("QT_QPA_PLATFORM");
        dup2(inFd, 0);
        dup2(outFd, 1);
        dup2(errFd, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

// Runs a program with args, feeding input on standard input. Output and
// errors are read by temporary files, so neither pipe can fill up and block.
inline ProcessRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& input = "") {
    char outName[] = "/tmp/q7out.XXXXXX";
    char errName[] = "/tmp/q7err.XXXXXX";
    const int outFd = mkstemp(outName);
    const int errFd = mkstemp(errName);
    int in[2];
    // The child must not keep the pipe's write end, or it never sees the end
    // of its input.
    if (outFd < 0 || errFd < 0 || pipe2(in, O_CLOEXEC) != 0) return {};
    const pid_t pid = StartProgram(program, args, in[0], outFd, errFd);
    close(in[0]);
    // Scripts are small, well inside the pipe's buffer; a failed write shows
    // as a misfit of the run.
    if (!input.empty()) (void)!write(in[1], input.data(), input.size());
    close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    ProcessRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    close(outFd);
    close(errFd);
    run.out = ReadFile(outName);
    run.err = ReadFile(errName);
    unlink(outName);
    unlink(errName);
    return run;
}

inline std::string Q7Bin() {
    return std::string(Q7_BIN_DIR) + "/q7host";
}

inline ProcessRun RunQ7(const std::vector<std::string>& args, const std::string& input = "") {
    return RunProgram(Q7Bin(), args, input);
}

inline void WriteFile(const std::filesystem::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A fresh folder for each test, with the practice home inside it.
class HomeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/q7apptest.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        home = (dir / "home").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // q7host on this home; Script runs script on standard input.
    ProcessRun Q7(std::vector<std::string> args, const std::string& input = "") const {
        args.insert(args.begin(), {"--home", home});
        return RunQ7(args, input);
    }
    ProcessRun Script(std::vector<std::string> args, const std::string& script) const {
        args.insert(args.begin(), {"--script", "-"});
        return Q7(args, script);
    }
    std::string Dump(const char* kind) const { return Q7({"dump", kind}).out; }
    // Loads a TSV of kind from the text rows.
    void Load(const char* kind, const std::string& rows) {
        WriteFile(dir / kind, rows);
        const ProcessRun run = Q7({"load", kind, (dir / kind).string()});
        ASSERT_EQ(run.status, 0) << run.err;
    }

    std::filesystem::path dir;
    std::string home;
};
