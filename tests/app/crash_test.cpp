// A power cut while q7host writes text blocks: the process is killed at random
// moments of an editor save, an exchange file import and a TSV load. The
// database must come back sound, every block wholly as it was or wholly as
// written, never a mix of the two.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/RunQ7.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Under AddressSanitizer (a debug build) one run is several times slower;
// smaller blocks keep it under a second there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kLines = 1000;
#else
constexpr int kLines = 3000;
#endif
constexpr int kTrials = 20;

// A block as the database holds it; no head and no lines: absent.
struct Block {
    bool head = false;
    std::string description;
    std::vector<std::string> lines;
    bool operator==(const Block&) const = default;
};
using Blocks = std::map<std::string, Block>;  // by Kürzel

// Every line names its version, block and number, so that a line of the
// other version, a lost or a doubled one shows.
Block Version(const std::string& version, const std::string& kuerzel, int lines) {
    Block block{true, version + " " + kuerzel, {}};
    for (int i = 0; i < lines; ++i)  // " 0042"
        block.lines.push_back(block.description + " " + std::to_string(10000 + i).substr(1));
    return block;
}

std::string Joined(const std::vector<std::string>& lines, const std::string& separator) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : separator) + line;
    return text;
}

std::string TbTsv(const Blocks& blocks) {
    std::string tsv = "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n";
    for (const auto& [kuerzel, block] : blocks)
        tsv += kuerzel + "\tf\t\t" + block.description + "\t\t" + Joined(block.lines, "\\n") + "\n";
    return tsv;
}

// Column 0 of every row, or the error as the only row.
std::vector<std::string> Rows(const fs::path& file, const char* sql, const std::string& arg = "") {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    std::vector<std::string> rows;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && (rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr)) == SQLITE_OK) {
        sqlite3_bind_text(stmt, 1, arg.c_str(), -1, SQLITE_TRANSIENT);  // if it has one
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    if (rc != SQLITE_DONE) rows = {sqlite3_errmsg(db)};
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

Block Read(const fs::path& file, const std::string& kuerzel) {
    const auto head = Rows(file, "SELECT beschreibung FROM tb WHERE kuerzel=?", kuerzel);
    return {!head.empty(), head.empty() ? "" : head.front(),
            Rows(file, "SELECT tbentry FROM tbentry WHERE kykuerzel=? ORDER BY k_lfdtbentry, rowid",
                 kuerzel)};
}

class CrashTest : public HomeTest {
  protected:
    // The starting database, made once: the editor's group and the old
    // blocks. Each trial starts from a copy of it.
    void Seed(const Blocks& old) {
        fs::remove_all(home);
        Load("sp", "list\tcode\ttext\ntb\tf\tRezepte\n");
        if (!old.empty()) Load("tb", TbTsv(old));
        seeded = old;
        trial = dir / "trial";
        indexes = Rows(home + "/praxis.db", kIndexes);
    }

    void Reset() {
        fs::remove_all(trial);
        fs::create_directories(trial);
        // A write-ahead log left behind holds part of the database.
        for (const char* suffix : {"", "-wal"})
            if (fs::exists(home + "/praxis.db" + suffix))
                fs::copy_file(home + "/praxis.db" + suffix,
                              trial / ("praxis.db" + std::string(suffix)));
    }

    // How many blocks hold the written version; a failure for a broken
    // database or a block that is neither old nor written.
    size_t Check(const Blocks& written, bool whole, const std::string& when) {
        const fs::path db = trial / "praxis.db";
        EXPECT_EQ(Rows(db, "PRAGMA integrity_check"), std::vector<std::string>{"ok"}) << when;
        // A load into empty tables drops their indexes and builds them anew.
        EXPECT_EQ(Rows(db, kIndexes), indexes) << when;
        size_t found = 0;
        std::string which;
        for (const auto& [kuerzel, block] : written) {
            const Block stored = Read(db, kuerzel);
            const auto old = seeded.find(kuerzel);
            if (stored == block) {
                ++found;
                which += " " + kuerzel;
            } else if (stored != (old == seeded.end() ? Block{} : old->second)) {
                ADD_FAILURE() << when << ": block " << kuerzel << " is neither old nor written ("
                              << stored.lines.size() << " lines)";
            }
        }
        if (whole && found) {
            EXPECT_EQ(found, written.size()) << when << ": only" << which;
        }
        return found;
    }

    // Measures an undisturbed run, then kills as many runs at moments spread
    // evenly over that time and checks the database each time.
    void KillRuns(const std::string& name, const std::vector<std::string>& args,
                  const Blocks& written, bool whole) {
        Reset();
        const Clock::time_point begin = Clock::now();
        ProcessRun run = RunProgram(Q7Bin(), args);
        const auto duration =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin);
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        ASSERT_EQ(Check(written, whole, name + " undisturbed"), written.size());

        std::mt19937 random(7);
        std::uniform_int_distribution<long> moment(0, duration.count());
        int before = 0, partly = 0, after = 0;
        for (int i = 0; i < kTrials; ++i) {
            Reset();
            const std::chrono::microseconds kill(moment(random));
            const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
            const Clock::time_point start = Clock::now();
            const pid_t pid = StartProgram(Q7Bin(), args, devNull, devNull, devNull);
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_until(start + kill);
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            close(devNull);
            const size_t found = Check(
                written, whole, name + " killed after " + std::to_string(kill.count()) + " us");
            ++(found == 0 ? before : found == written.size() ? after : partly);
        }
        std::cout << "[ crash    ] " << name << ": run " << duration.count() / 1000 << " ms, "
                  << kTrials << " kills: " << before << " before, " << partly << " partly, "
                  << after << " after the writing\n";
    }

    static constexpr const char* kIndexes =
        "SELECT name FROM sqlite_master WHERE type='index' ORDER BY name";
    fs::path trial;
    Blocks seeded;
    std::vector<std::string> indexes;
};

// The editor replaces three large blocks one after the other, each with
// changed lines: as many, fewer (surplus lines go) and more (lines added).
TEST_F(CrashTest, EditorSaveLeavesEachBlockOldOrNew) {
    Blocks old, written;
    std::string script;
    const int counts[] = {kLines, kLines - 100, kLines + 100};
    for (int i = 0; i < 3; ++i) {
        const std::string kuerzel = "E" + std::to_string(i + 1);
        old[kuerzel] = Version("alt", kuerzel, kLines);
        written[kuerzel] = Version("neu", kuerzel, counts[i]);
        script += std::string(i ? "click #10010\n" : "") + "type Beschreibung neu " + kuerzel +
                  "\ntype \"Text\" " + Joined(written[kuerzel].lines, "\\n") +
                  "\nclick Speichern\n";
    }
    Seed(old);
    WriteFile(dir / "script", script);
    KillRuns(
        "editor",
        {"--home", trial.string(), "--script", (dir / "script").string(), "dialog", "CdiaTB", "0"},
        written, false);
}

// Forty blocks, half of them there before; the new version is longer.
void ManyBlocks(Blocks& old, Blocks& written) {
    for (int i = 0; i < 40; ++i) {
        const std::string kuerzel = "I" + std::to_string(10 + i);
        if (i % 2 == 0) old[kuerzel] = Version("alt", kuerzel, kLines / 10);
        written[kuerzel] = Version("neu", kuerzel, kLines / 10 + 50);
    }
}

TEST_F(CrashTest, ImportLeavesEachBlockAbsentOldOrNew) {
    Blocks old, written;
    ManyBlocks(old, written);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<dazo_tb><software>q7</software>\n";
    for (const auto& [kuerzel, block] : written) {
        xml += "<tb><id>" + kuerzel + "</id><group>f</group><member></member><description>" +
               block.description + "</description><lines>\n";
        for (size_t i = 0; i < block.lines.size(); ++i)
            xml += "<line><entry>" + std::to_string(i) + "</entry><text>" + block.lines[i] +
                   "</text></line>\n";
        xml += "</lines></tb>\n";
    }
    WriteFile(dir / "tb.xml", xml + "</dazo_tb>\n");
    WriteFile(dir / "script", "key Ctrl+I\nanswer " + (dir / "tb.xml").string() +
                                  "\nkey Ctrl+S\nclick \xC3\234bernehmen\nanswer ok\n");
    Seed(old);
    KillRuns(
        "import",
        {"--home", trial.string(), "--script", (dir / "script").string(), "dialog", "CdiaTB", "0"},
        written, false);
}

// One transaction: all blocks or none, into filled tables and into empty ones.
TEST_F(CrashTest, TsvLoadLeavesAllOrNothing) {
    Blocks old, written;
    ManyBlocks(old, written);
    WriteFile(dir / "tb.tsv", TbTsv(written));
    for (const Blocks& before : {old, Blocks{}}) {
        Seed(before);
        KillRuns(before.empty() ? "load into empty tables" : "load",
                 {"--home", trial.string(), "load", "tb", (dir / "tb.tsv").string()}, written,
                 true);
    }
}

}  // namespace
