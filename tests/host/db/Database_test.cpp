#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "host/db/Tsv.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQPg.h"
#include "tests/host/db/DbFixture.h"

namespace {

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int CountTb(CXQDatabase* db) {
    CQTb tb(db);
    int status = tb.GetAll();
    return status == XQ_OK ? tb.AnzHits() : status == XQ_NOTFOUND ? 0 : -1;
}

TEST_F(DbTest, NewerSchemaIsRefusedAndLeftUntouched) {
    XQClosePracticeDatabase();
    if (q7test::OnServer()) {
        // Also by init, which sets up only a database without the tables.
        ASSERT_EQ(q7test::ServerExec("q7test", "UPDATE " + schema + ".q7schema SET version=99"),
                  "");
        for (bool create : {false, true}) {
            CString error;
            EXPECT_EQ(XQOpenPracticeDatabase(home, serverUrl.c_str(), create, &error), XQ_NODB);
            EXPECT_NE(error.Find("neueren Programmversion"), -1) << error.GetString();
            EXPECT_EQ(dbDatabase, nullptr);
        }
        // Still 99: a division by zero otherwise.
        EXPECT_EQ(q7test::ServerExec("q7test", "SELECT 1/(SELECT count(*) FROM " + schema +
                                                   ".q7schema WHERE version=99)"),
                  "");
        return;
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA user_version=99", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);
    std::string before = FileBytes(DbPath());
    CString error;
    EXPECT_EQ(XQOpenPracticeDatabase(home, &error), XQ_NODB);
    EXPECT_NE(error.Find("neueren Programmversion"), -1) << error.GetString();
    EXPECT_EQ(dbDatabase, nullptr);
    EXPECT_EQ(FileBytes(DbPath()), before);
}

TEST_F(DbTest, NestedTransactionsRollBackOnlyTheirLevel) {
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    ASSERT_EQ(AddTb("aussen"), XQ_OK);
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    ASSERT_EQ(AddTb("innen"), XQ_OK);
    ASSERT_EQ(dbDatabase->Rollback(), XQ_OK);
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    ASSERT_EQ(AddTb("innen2"), XQ_OK);
    ASSERT_EQ(dbDatabase->Commit(), XQ_OK);
    EXPECT_EQ(CountTb(dbDatabaseRO), 0);  // not committed yet
    ASSERT_EQ(dbDatabase->Commit(), XQ_OK);
    EXPECT_EQ(dbDatabase->TransactionDepth(), 0);
    CQTb tb(dbDatabaseRO);
    tb.SetKey(2);
    ASSERT_EQ(tb.GetAll(), XQ_OK);
    EXPECT_EQ(Walk(tb), "aussen,innen2");
    EXPECT_EQ(dbDatabase->Commit(), XQ_NOTFOUND);
}

// A full disk makes SQLite end the whole transaction: every open level counts
// as rolled back, nothing after it commits on its own, and once the owners
// have rolled back their levels the connection is fresh.
TEST_F(DbTest, AFullDiskEndsEveryLevelAndNothingCommitsAlone) {
    Q7_FILE_STORE_ONLY();
    // Free pages the writes may use; the limit is the file's size.
    ASSERT_EQ(dbDatabase->ExecRaw("CREATE TABLE fueller(x); INSERT INTO fueller "
                                  "VALUES(zeroblob(40000)); DROP TABLE fueller"),
              SQLITE_OK);
    ASSERT_EQ(dbDatabase->ExecRaw("PRAGMA max_page_count=1"), SQLITE_OK);
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    ASSERT_EQ(AddTb("vorher"), XQ_OK);
    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    int status = XQ_OK;
    const std::string text(300, 'x');
    for (int i = 0; i < 1000 && status == XQ_OK; ++i)
        status = AddTb(FormatString("k%04d", i).GetString(), "a", "", text.c_str());
    ASSERT_NE(status, XQ_OK);
    EXPECT_EQ(dbDatabase->LastError(), Utf8ToCp1252("Der Datenträger ist voll"));
    EXPECT_EQ(dbDatabase->Begin(), XQ_LOCKED);
    EXPECT_NE(AddTb("danach"), XQ_OK);
    EXPECT_EQ(dbDatabase->Commit(), XQ_LOCKED);
    EXPECT_EQ(dbDatabase->Rollback(), XQ_OK);
    {
        CXQTransaction inner(dbDatabase);
        EXPECT_EQ(inner.Status(), XQ_LOCKED);
    }
    EXPECT_EQ(dbDatabase->Commit(), XQ_LOCKED);
    EXPECT_EQ(dbDatabase->Rollback(), XQ_OK);
    EXPECT_EQ(dbDatabase->TransactionDepth(), 0);
    EXPECT_EQ(CountTb(dbDatabaseRO), 0);

    ASSERT_EQ(dbDatabase->ExecRaw("PRAGMA max_page_count=1000000"), SQLITE_OK);
    CXQTransaction again(dbDatabase);
    ASSERT_EQ(again.Status(), XQ_OK);
    ASSERT_EQ(AddTb("frisch"), XQ_OK);
    EXPECT_EQ(again.Commit(), XQ_OK);
    EXPECT_EQ(CountTb(dbDatabaseRO), 1);
}

// Another workstation holds the write lock past the wait: the transaction
// is not begun, a single write is refused, both with the reason.
TEST_F(DbTest, ALockedDatabaseRefusesWithItsReason) {
    sqlite3* other = nullptr;
    PGconn* otherServer = nullptr;
    if (q7test::OnServer()) {
        otherServer = PQconnectdb(serverUrl.c_str());
        const std::string take = std::string("BEGIN; ") + xq::kPgWriteLockSql;
        PGresult* res = PQexec(otherServer, take.c_str());
        ASSERT_EQ(PQresultStatus(res), PGRES_TUPLES_OK) << PQerrorMessage(otherServer);
        PQclear(res);
        ASSERT_EQ(dbDatabase->ExecRaw("SET lock_timeout='50ms'"), SQLITE_OK);
    } else {
        ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_busy_timeout(xq::Handle(*dbDatabase), 50);
    }
    EXPECT_EQ(dbDatabase->Begin(), XQ_LOCKED);
    EXPECT_EQ(dbDatabase->LastError(), "Die Datenbank ist gesperrt");
    dbDatabase->ClearError();
    EXPECT_EQ(AddTb("einzeln"), XQ_LOCKED);
    EXPECT_EQ(dbDatabase->LastError(), "Die Datenbank ist gesperrt");
    sqlite3_close(other);
    PQfinish(otherServer);
    EXPECT_EQ(dbDatabase->TransactionDepth(), 0);
    EXPECT_EQ(AddTb("einzeln"), XQ_OK);
}

// For n = 1, 2, ... the n-th SQLite call of a query, a move and a single
// write fails until they get through: each failure is a clean status. (A
// failing load is the TSV tests' concern.)
TEST_F(DbTest, EveryFailingSqliteCallGivesACleanStatus) {
    for (int n = 1; n < 100; ++n) {
        CQTb tb(dbDatabase);
        XQFailNthCall(n);
        int query = tb.GetAll();
        int next = tb.Next();
        tb.Kuerzel = FormatString("neu%d", n);
        int write = tb.Write();
        bool fired = XQFaultFired();
        XQFailNthCall(0);
        if (!fired) {
            EXPECT_EQ(query | next | write, XQ_OK);
            break;
        }
        EXPECT_TRUE(query == XQ_OK || query == XQ_NODB || query == XQ_READERR) << query;
        EXPECT_TRUE(next == XQ_OK || next == XQ_READERR || next == XQ_NOTFOUND) << next;
        EXPECT_TRUE(write == XQ_OK || write == XQ_LOCKED) << write;
    }
}

// A second workstation (process) writes blocks while this one holds a query,
// reads and writes too; one side holds the write lock for a while, which
// the other must wait out.
TEST_F(DbTest, TwoWorkstationsShareTheDatabase) {
    constexpr int kEach = 150;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(AddTb(FormatString("alt%03d", i).GetString()), XQ_OK);
    XQClosePracticeDatabase();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        int rc = 0;
        if (Reopen() != XQ_OK) _exit(10);
        // Hold the write lock for 300 ms, then write block by block.
        if (dbDatabase->Begin() != XQ_OK) _exit(11);
        if (AddTb("ws2-first") != XQ_OK) _exit(12);
        if (write(ready[1], "x", 1) != 1) _exit(13);
        usleep(300 * 1000);
        if (dbDatabase->Commit() != XQ_OK) _exit(14);
        for (int i = 0; i < kEach && rc == 0; ++i) {
            if (AddTb(FormatString("ws2-%03d", i).GetString()) != XQ_OK) rc = 20;
        }
        XQClosePracticeDatabase();
        _exit(rc);
    }
    close(ready[1]);
    ASSERT_EQ(Reopen(), XQ_OK);
    CQTb reader(dbDatabaseRO);
    reader.SetKey(2);
    ASSERT_EQ(reader.GetAll(), XQ_OK);
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AddTb("ws1-waited"), XQ_OK);  // waits for the other's lock
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    int seen = 1;
    for (int i = 0; i < kEach; ++i) {
        ASSERT_EQ(AddTb(FormatString("ws1-%03d", i).GetString()), XQ_OK);
        if (reader.Next() == XQ_OK) ++seen;
    }
    EXPECT_EQ(seen, 50);  // the held query still yields its 50 hits
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(CountTb(dbDatabaseRO), 50 + 2 + 2 * kEach);
}

// The server goes away between two actions: a read or a new transaction
// connects again on its own; a transaction it broke is reported with the
// reason, counts as rolled back, and the next one works.
TEST_F(DbTest, ALostServerConnectionIsMadeAgainOutsideATransaction) {
    if (!q7test::OnServer()) GTEST_SKIP() << "nur auf dem Praxisserver";
    ASSERT_EQ(AddTb("vorher"), XQ_OK);
    ASSERT_EQ(q7test::CutServerSessions(schema), "");
    EXPECT_EQ(CountTb(dbDatabaseRO), 1);
    EXPECT_EQ(AddTb("danach"), XQ_OK);

    ASSERT_EQ(dbDatabase->Begin(), XQ_OK);
    ASSERT_EQ(AddTb("verloren"), XQ_OK);
    ASSERT_EQ(q7test::CutServerSessions(schema), "");
    EXPECT_NE(AddTb("auch verloren"), XQ_OK);
    EXPECT_EQ(dbDatabase->LastError(),
              Utf8ToCp1252("Die Verbindung zum Datenbankserver ist unterbrochen"));
    EXPECT_EQ(dbDatabase->Commit(), XQ_LOCKED);
    EXPECT_EQ(dbDatabase->Rollback(), XQ_OK);
    EXPECT_EQ(dbDatabase->TransactionDepth(), 0);
    EXPECT_EQ(AddTb("wieder"), XQ_OK);
    EXPECT_EQ(CountTb(dbDatabaseRO), 3);
}

}  // namespace
