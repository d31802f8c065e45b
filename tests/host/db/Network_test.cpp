// A practice network: several workstation processes on one server database.
// Whatever they do at once, and however one of them ends, no change is lost
// or half stored.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host/base/Cp1252.h"
#include "host/db/Records.h"
#include "host/db/Tsv.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/XQInternal.h"
#include "tests/host/TestServer.h"

namespace {

// A block version "p<workstation>n<number>" has 1 to 4 lines, each naming
// the version, so that a block of mixed writers shows.
int LineCount(const std::string& version) {
    return 1 + std::stoi(version.substr(version.find('n') + 1)) % 4;
}
std::string Line(const std::string& version, int i) {
    return version + " Zeile " + std::to_string(i);
}
// The block's text as the tb dump prints it.
std::string DumpText(const std::string& version) {
    std::string text;
    for (int i = 0; i < LineCount(version); ++i) text += (i ? "\\n" : "") + Line(version, i);
    return text;
}

class NetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (q7test::OnServer()) GTEST_SKIP() << "läuft nur einmal";
        if (!q7test::ServerAvailable()) GTEST_SKIP() << "kein Testserver";
        dir = (std::filesystem::temp_directory_path() / "q7net-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir.data()), nullptr);
        std::string why;
        url = q7test::FreshServerPractice(schema, why);
        ASSERT_FALSE(url.empty()) << why;
        CString error;
        ASSERT_EQ(XQOpenPracticeDatabase(Home(0), url.c_str(), true, &error), XQ_OK)
            << error.GetString();
    }
    void TearDown() override {
        XQClosePracticeDatabase();
        dbLfdWorkstation = 1;
        q7test::DropServerPractice(schema);
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
    // Each workstation has a home folder of its own (its catalogue file).
    std::string Home(int workstation) const { return dir + "/ws" + std::to_string(workstation); }
    int Open(int workstation) const {
        dbLfdWorkstation = workstation;
        return XQOpenPracticeDatabase(Home(workstation), url.c_str(), false, nullptr);
    }
    // Kürzel -> (description, text) of every block.
    static std::map<std::string, std::pair<std::string, std::string>> Blocks() {
        std::ostringstream out;
        EXPECT_EQ(XQDumpTsv("tb", out, nullptr), XQ_OK);
        std::map<std::string, std::pair<std::string, std::string>> blocks;
        std::istringstream in(out.str());
        std::string row;
        std::getline(in, row);
        while (std::getline(in, row)) {
            std::vector<std::string> f;
            std::istringstream cells(row);
            for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
            f.resize(6);
            blocks[f[0]] = {f[3], f[5]};
        }
        return blocks;
    }

    std::string dir, url, schema;
};

// ---------------------------------------------------------------- one workstation's work

// Stores a block as version in one transaction: head and all its lines.
// insert writes a new head, otherwise the head is looked up and rewritten
// (made when missing unless mustExist).
int StoreBlock(const std::string& key, const std::string& version, bool insert, bool mustExist) {
    CXQTransaction tx(dbDatabase);
    if (tx.Status() != XQ_OK) return tx.Status();
    CQTb tb(dbDatabase);
    int status = XQ_NOTFOUND;
    if (!insert) {
        tb.SetKey(2);
        tb.Kuerzel = key.c_str();
        status = tb.GetByK2(XQ_MATCH_EQUAL);
        if (status != XQ_OK && (status != XQ_NOTFOUND || mustExist)) return status;
    }
    tb.Kuerzel = key.c_str();
    tb.Beschreibung = version.c_str();
    status = status == XQ_OK ? tb.Rewrite() : tb.Write();
    if (status != XQ_OK) return status;
    CQTbEntry line(dbDatabase);
    line.KYKUERZEL = key.c_str();
    if ((status = line.DeleteAll()) != XQ_OK) return status;
    for (int i = 0; i < LineCount(version); ++i) {
        line.KYKUERZEL = key.c_str();
        line.LFDTBENTRY = FormatString("%3d", i);
        line.TBENTRY = Line(version, i).c_str();
        if ((status = line.Write()) != XQ_OK) return status;
    }
    return tx.Commit();
}

// Deletes a block with its lines; a missing one is no failure unless mustExist.
int DeleteBlock(const std::string& key, bool mustExist) {
    CXQTransaction tx(dbDatabase);
    if (tx.Status() != XQ_OK) return tx.Status();
    CQTb tb(dbDatabase);
    tb.SetKey(2);
    tb.Kuerzel = key.c_str();
    int status = tb.GetByK2(XQ_MATCH_EQUAL);
    if (status == XQ_NOTFOUND && !mustExist) return tx.Commit();
    if (status != XQ_OK) return status;
    status = tb.Delete();
    if (status != XQ_OK && status != XQ_NOTFOUND) return status;
    CQTbEntry line(dbDatabase);
    line.KYKUERZEL = key.c_str();
    if ((status = line.DeleteAll()) != XQ_OK) return status;
    return tx.Commit();
}

// A parameter stored as a single write (own) or inside a transaction (shared:
// the lookup and the write must not be split by another workstation's).
int StorePar(const std::string& key, const std::string& value, bool inTransaction) {
    std::unique_ptr<CXQTransaction> tx;
    if (inTransaction) {
        tx = std::make_unique<CXQTransaction>(dbDatabase);
        if (tx->Status() != XQ_OK) return tx->Status();
    }
    CQParPool par(dbDatabase);
    par.Key1 = "300";
    par.Key2 = key.c_str();
    int status = par.GetByK1(XQ_MATCH_EQUAL);
    if (status != XQ_OK && status != XQ_NOTFOUND) return status;
    par.Key1 = "300";
    par.Key2 = key.c_str();
    par.Value = value.c_str();
    status = status == XQ_OK ? par.Rewrite() : par.Write();
    if (status != XQ_OK || !tx) return status;
    return tx->Commit();
}

constexpr int kOwnBlocks = 30, kSharedBlocks = 4, kOwnPars = 8, kSharedPars = 2;

// One workstation's ops, each logged as "op key version status reason".
void Work(int workstation, int ops, const std::string& logPath) {
    std::ofstream log(logPath);
    std::mt19937 random(static_cast<unsigned>(workstation));
    std::map<std::string, bool> exists;  // this workstation's own blocks
    const std::string me = "p" + std::to_string(workstation);
    for (int n = 0; n < ops; ++n) {
        const std::string version = me + "n" + std::to_string(n);
        const int dice = static_cast<int>(random() % 100);
        std::string op, key;
        int status;
        dbDatabase->ClearError();
        if (dice < 60) {
            key = "w" + std::to_string(workstation) + "k" + std::to_string(random() % kOwnBlocks);
            const bool there = exists[key];
            op = !there ? "insert" : dice < 45 ? "rewrite" : "delete";
            status = op == "delete" ? DeleteBlock(key, true)
                                    : StoreBlock(key, version, op == "insert", true);
            if (status == XQ_OK) exists[key] = op != "delete";
        } else if (dice < 80) {
            key = "s" + std::to_string(random() % kSharedBlocks);
            op = dice < 77 ? "store" : "delete";
            status =
                op == "delete" ? DeleteBlock(key, false) : StoreBlock(key, version, false, false);
        } else {
            const bool shared = dice < 90;
            key = shared ? "sp" + std::to_string(random() % kSharedPars)
                         : me + "par" + std::to_string(random() % kOwnPars);
            op = "par";
            status = StorePar(key, version, shared);
        }
        log << op << '\t' << key << '\t' << version << '\t' << status << '\t'
            << (status ? Cp1252ToUtf8(dbDatabase->LastError().str()) : "") << '\n'
            << std::flush;
    }
}

// Three workstations at once, each its own keys and keys all of them write:
// every operation either succeeded or failed with a German reason; the own
// keys hold what the successful ones imply, every shared block is one
// writer's whole version.
TEST_F(NetworkTest, ThreeWorkstationsAtOnceLoseNothing) {
    constexpr int kWorkstations = 3, kOps = 3334;
    XQClosePracticeDatabase();
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int ws = 1; ws <= kWorkstations; ++ws) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            if (Open(ws) != XQ_OK) _exit(10);
            char c;
            (void)!read(go[0], &c, 1);  // all begin together when the pipe closes
            Work(ws, kOps, dir + "/log" + std::to_string(ws));
            XQClosePracticeDatabase();
            _exit(0);
        }
        children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    ASSERT_EQ(Open(0), XQ_OK);
    const auto blocks = Blocks();
    std::ostringstream parDump;
    ASSERT_EQ(XQDumpTsv("par", parDump, nullptr), XQ_OK);
    std::map<std::string, std::string> pars;  // key2 -> value
    std::istringstream parRows(parDump.str());
    for (std::string row; std::getline(parRows, row);) {
        const size_t a = row.find('\t'), b = row.find('\t', a + 1);
        if (row.compare(0, a, "300") == 0) pars[row.substr(a + 1, b - a - 1)] = row.substr(b + 1);
    }

    std::map<std::string, std::string> expectBlock, expectPar;  // own keys
    std::set<std::string> storedShared;                         // versions that succeeded
    int failed = 0, ownBlocks = 0;
    for (int ws = 1; ws <= kWorkstations; ++ws) {
        std::ifstream log(dir + "/log" + std::to_string(ws));
        int count = 0;
        for (std::string row; std::getline(log, row); ++count) {
            std::vector<std::string> f;
            std::istringstream cells(row);
            for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
            f.resize(5);
            const std::string &op = f[0], &key = f[1], &version = f[2], &reason = f[4];
            if (f[3] != "0") {
                ++failed;
                EXPECT_FALSE(reason.empty()) << row;
                EXPECT_EQ(reason.find("ERROR"), std::string::npos) << row;
                continue;
            }
            const bool shared = key[0] == 's';
            if (shared && op != "delete")
                storedShared.insert(version);
            else if (op == "par")
                expectPar[key] = version;
            else if (op == "delete" && !shared)
                expectBlock.erase(key);
            else if (!shared)
                expectBlock[key] = version;
        }
        EXPECT_EQ(count, kOps) << "Arbeitsplatz " << ws;
    }
    EXPECT_LT(failed, kWorkstations * kOps / 100);
    for (const auto& [key, entry] : blocks) {
        const auto& [description, text] = entry;
        if (key[0] == 's') {
            EXPECT_TRUE(storedShared.count(description)) << key << ": " << description;
        } else {
            ++ownBlocks;
            EXPECT_EQ(description, expectBlock[key]) << key;
        }
        EXPECT_EQ(text, DumpText(description)) << key;
    }
    EXPECT_EQ(ownBlocks, static_cast<int>(expectBlock.size()));
    for (const auto& [key, value] : expectPar) EXPECT_EQ(pars[key], value) << key;
    for (int i = 0; i < kSharedPars; ++i)
        EXPECT_TRUE(storedShared.count(pars["sp" + std::to_string(i)])) << i;
}

// ---------------------------------------------------------------- a workstation killed

// The server process of dbDatabase.
int BackendPid() {
    xq::Stmt* stmt = xq::Prepared(*dbDatabase, "SELECT pg_backend_pid()");
    if (!stmt) return 0;
    xq::StmtUse use(stmt);
    return stmt->Step() == SQLITE_ROW ? static_cast<int>(stmt->Int(0)) : 0;
}

// Whether the server process pid holds the practice's write lock.
bool HoldsWriteLock(int pid) {
    PGconn* conn = PQconnectdb(q7test::ServerInfo("q7test").c_str());
    const std::string sql =
        "SELECT 1 FROM pg_locks WHERE locktype='advisory' AND granted AND "
        "pid=" +
        std::to_string(pid);
    PGresult* res = PQexec(conn, sql.c_str());
    const bool held = PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) > 0;
    PQclear(res);
    PQfinish(conn);
    return held;
}

// A workstation killed in the middle of an import that replaces every block:
// each block is then whole, old or new, and the next writer gets the lock
// at once.
TEST_F(NetworkTest, KilledImportLeavesEveryBlockWhole) {
    constexpr int kBlocks = 5000;
    std::string before = "kuerzel\tdescription\ttext\n", after = before;
    for (int i = 0; i < kBlocks; ++i) {
        const std::string key = "imp" + std::to_string(i) + "\t";
        before += key + "p1n0\t" + DumpText("p1n0") + "\n";
        after += key + "p2n3\t" + DumpText("p2n3") + "\n";
    }
    CString error;
    ASSERT_EQ(XQLoadTsvText("tb", before, "alt", &error), XQ_OK) << error.GetString();
    const std::string file = dir + "/neu.tsv";
    std::ofstream(file) << after;
    XQClosePracticeDatabase();
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (Open(2) != XQ_OK) _exit(10);
        const int pid = BackendPid();
        if (write(report[1], &pid, sizeof pid) != sizeof pid) _exit(11);
        _exit(XQLoadTsv("tb", file, nullptr) == XQ_OK ? 0 : 12);
    }
    close(report[1]);
    int backend = 0;
    ASSERT_EQ(read(report[0], &backend, sizeof backend), static_cast<ssize_t>(sizeof backend));
    close(report[0]);
    ASSERT_NE(backend, 0);
    while (!HoldsWriteLock(backend) && waitpid(child, nullptr, WNOHANG) == 0) usleep(2000);
    usleep(30 * 1000);
    const bool running = waitpid(child, nullptr, WNOHANG) == 0;
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(running) << "die Einfuhr war vor dem Abbruch fertig";

    ASSERT_EQ(Open(1), XQ_OK);
    const auto start = std::chrono::steady_clock::now();
    {
        CXQTransaction tx(dbDatabase);
        ASSERT_EQ(tx.Status(), XQ_OK) << dbDatabase->LastError().GetString();
        ASSERT_EQ(StoreBlock("danach", "p1n1", true, false), XQ_OK);
        ASSERT_EQ(tx.Commit(), XQ_OK);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    const auto blocks = Blocks();
    EXPECT_EQ(blocks.size(), kBlocks + 1u);
    std::map<std::string, int> versions;
    for (const auto& [key, entry] : blocks) {
        ++versions[entry.first];
        EXPECT_EQ(entry.second, DumpText(entry.first)) << key;
    }
    // One transaction: all old (or, killed just after its commit, all new).
    EXPECT_TRUE(versions["p1n0"] == kBlocks || versions["p2n3"] == kBlocks) << versions.size();
}

}  // namespace
