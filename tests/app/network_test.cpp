// q7host on a practice server: a practice moved there, connections that
// cannot work, and a server that goes away while the editor is open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/app/RunQ7.h"
#include "tests/host/TestServer.h"

namespace {

class NetworkAppTest : public HomeTest {
  protected:
    void SetUp() override {
        if (!q7test::ServerAvailable()) GTEST_SKIP() << "kein Testserver";
        HomeTest::SetUp();
        std::string why;
        url = q7test::FreshServerPractice(schema, why);
        ASSERT_FALSE(url.empty()) << why;
    }
    void TearDown() override {
        q7test::DropServerPractice(schema);
        if (!dir.empty()) HomeTest::TearDown();
    }
    std::string url, schema;
};

// A seeded practice file moved to the server is read from there, and only
// into an empty database.
TEST_F(NetworkAppTest, PracticeFileMovesToTheServerOnce) {
    ASSERT_EQ(Q7({"--db", url, "init"}).status, 0);
    const std::string second = (dir / "zweite").string();
    ASSERT_EQ(RunQ7({"--home", home, "seed-demo"}).status, 0);
    ASSERT_EQ(RunQ7({"--home", second, "seed-demo"}).status, 0);
    const std::vector<std::string> call = {"call", "DoTbEntryString_NoSearch", "[ABD]"};
    const ProcessRun fromFile = Q7(call);
    ASSERT_NE(fromFile.out.find("text: Weich"), std::string::npos) << fromFile.out;

    const ProcessRun moved = Q7({"migrate", "--to", url});
    ASSERT_EQ(moved.status, 0) << moved.err;
    EXPECT_NE(moved.out.find("\ntbentry "), std::string::npos) << moved.out;
    EXPECT_NE(moved.out.find("Zeilen \xC3\xBC"
                             "bernommen; die Zeilenzahlen stimmen \xC3\xBC"
                             "berein."),
              std::string::npos)
        << moved.out;
    EXPECT_NE(ReadFile(home + "/q7host.conf").find("db " + url + "\n"), std::string::npos);
    // Without the file, what is read comes from the server.
    std::filesystem::remove(home + "/praxis.db");
    EXPECT_EQ(Q7(call).out, fromFile.out);

    const std::string before = Dump("tb");
    const ProcessRun again = RunQ7({"--home", second, "migrate", "--to", url});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("enth\xC3\xA4lt schon Praxisdaten"), std::string::npos) << again.err;
    EXPECT_FALSE(std::filesystem::exists(second + "/q7host.conf"));
    EXPECT_EQ(Dump("tb"), before);
}

// Each connection that cannot work ends the run with its cause in German
// (every cause of the connection itself: its own test).
TEST_F(NetworkAppTest, ConnectionsThatCannotWorkNameTheirCause) {
    const std::string socket = std::string("host=") + getenv("Q7_PG_HOST");
    const std::string port = std::string(" port=") + getenv("Q7_PG_PORT");
    const struct {
        std::string db;
        const char* message;
    } cases[] = {
        {socket + " port='offen", "\xE2\x80\x9C ist ung\xC3\xBCltig: "},
        {socket + port + " user=q7pw dbname=postgres",
         "Anmeldung von \xE2\x80\x9Eq7pw\xE2\x80\x9C abgelehnt: Passwort falsch"},
        {socket + port + " user=q7 dbname=fehlt",
         "Datenbank \xE2\x80\x9E"
         "fehlt\xE2\x80\x9C gibt es auf dem Datenbankserver nicht"},
        {url, "auf dem Server ist nicht eingerichtet. Bitte einmal"},
    };
    setenv("PGPASSWORD", "falsch", 1);
    for (const auto& c : cases) {
        const ProcessRun run = Q7({"--db", c.db, "dump", "tb"});
        EXPECT_EQ(run.status, 1) << c.db;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.db << "\n" << run.err;
    }
    unsetenv("PGPASSWORD");
}

// q7host driven line by line: each step waits for what it prints.
class Session {
  public:
    Session(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        m_pid = StartProgram(Q7Bin(), args, in[0], out[1], out[1]);
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~Session() {
        if (m_in >= 0) close(m_in);
        if (m_pid > 0) waitpid(m_pid, nullptr, 0);
        if (m_out >= 0) close(m_out);
    }
    // Sends lines, then reads until what it printed since holds until (false
    // after 30 s or at its end).
    bool Step(const std::string& lines, const std::string& until) {
        if (write(m_in, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
            return false;
        const size_t from = output.size();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (output.find(until, from) == std::string::npos) {
            pollfd p{m_out, POLLIN, 0};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            char buffer[4096];
            const ssize_t got = read(m_out, buffer, sizeof buffer);
            if (got <= 0) return false;
            output.append(buffer, static_cast<size_t>(got));
        }
        return true;
    }
    // Ends the script; the exit status.
    int Finish() {
        close(m_in);
        m_in = -1;
        char buffer[4096];
        for (ssize_t got; (got = read(m_out, buffer, sizeof buffer)) > 0;)
            output.append(buffer, static_cast<size_t>(got));
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output;

  private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
};

// The server stops while the editor is open: saving fails with the reason,
// and once the server is back the same editor saves again; nothing committed
// is lost.
TEST_F(NetworkAppTest, EditorSavesAgainWhenTheServerIsBack) {
    const char* host = getenv("Q7_PG_SPARE_HOST");
    const char* ctl = getenv("Q7_PG_SPARE_CTL");
    if (!host || !ctl || !getenv("Q7_PG_SPARE_PORT")) GTEST_SKIP() << "kein Ersatzserver";
    const std::string spare = std::string("host=") + host + " port=" + getenv("Q7_PG_SPARE_PORT") +
                              " user=q7 dbname=postgres";
    {
        PGconn* conn = PQconnectdb(spare.c_str());
        PQclear(PQexec(conn, ("SET client_min_messages=warning; DROP SCHEMA IF EXISTS " + schema +
                              " CASCADE; CREATE SCHEMA " + schema)
                                 .c_str()));
        PQfinish(conn);
    }
    const std::string db = spare + " options='-c search_path=" + schema + "'";
    ASSERT_EQ(Q7({"--db", db, "init"}).status, 0);
    WriteFile(home + "/q7host.conf", "db " + db + "\n");
    Load("sp", "list\tcode\ttext\ntb\tf\tRezepte\n");
    Load("tb", "kuerzel\tgroup\tdescription\ttext\nALT\tf\tvorher\tschon da\n");
    const std::string stop = std::string(ctl) + " stop", start = std::string(ctl) + " start";
    const std::string save = "click #10004\ndump\n", dumped = "\n==\n";
    {
        Session editor({"--home", home, "--script", "-", "dialog", "CdiaTB", "1"});
        ASSERT_TRUE(
            editor.Step("type K\xC3\xBCrzel NETZ\ntype Beschreibung Netz\nselect Gruppe "
                        "Rezepte\ntype Text erste Fassung\n" +
                            save,
                        dumped))
            << editor.output;
        ASSERT_EQ(system(stop.c_str()), 0);
        const bool refused =
            editor.Step("type Text zweite Fassung\nclick #10004\n",
                        "\nDetails: Die Verbindung zum Datenbankserver ist unterbrochen\n");
        EXPECT_EQ(system(start.c_str()), 0);
        ASSERT_TRUE(refused) << editor.output;
        EXPECT_NE(editor.output.find("MESSAGE Halt: Hinweis | Der Datensatz konnte nicht "
                                     "gespeichert oder gel\xC3\xB6scht werden.\n"),
                  std::string::npos)
            << editor.output;
        ASSERT_TRUE(editor.Step("answer ok\ndump\n", dumped)) << editor.output;
        const size_t before = editor.output.size();
        ASSERT_TRUE(editor.Step("type Text dritte Fassung\n" + save, dumped)) << editor.output;
        EXPECT_EQ(editor.output.find("MESSAGE", before), std::string::npos) << editor.output;
        EXPECT_EQ(editor.Finish(), 0) << editor.output;
    }
    EXPECT_EQ(Dump("tb"),
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\n"
              "ALT\tf\t\tvorher\t\tschon da\n"
              "NETZ\tf\t\tNetz\t\tdritte Fassung\n");
}

}  // namespace
