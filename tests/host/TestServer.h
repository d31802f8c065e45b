#pragma once
// The practice database of a test on the throwaway server of scripts/pg.sh
// (Q7_PG_HOST, Q7_PG_PORT, Q7_PG_USER). With Q7_TEST_STORE=server the
// fixtures open every test's practice there, in a schema of its own in the
// database q7test, so that tests running side by side never meet; otherwise
// they open the practice file as before.
#include <libpq-fe.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>

namespace q7test {

inline bool ServerAvailable() {
    const char* host = getenv("Q7_PG_HOST");
    return host && *host && getenv("Q7_PG_PORT");
}

// Whether the tests of this run use the server store.
inline bool OnServer() {
    const char* store = getenv("Q7_TEST_STORE");
    return store && std::string(store) == "server";
}

// libpq's key=value connection string to database on the test server, with
// search_path set to schema when given.
inline std::string ServerInfo(const std::string& database, const std::string& schema = "",
                              const char* user = nullptr) {
    std::string info = std::string("host=") + getenv("Q7_PG_HOST") +
                       " port=" + getenv("Q7_PG_PORT") + " user=" +
                       (user                   ? user
                        : getenv("Q7_PG_USER") ? getenv("Q7_PG_USER")
                                               : "q7") +
                       " dbname=" + database;
    // The schema names the test's connections too, so that a test can end
    // its own sessions on the server and no other test's.
    if (!schema.empty())
        info += " application_name=" + schema + " options='-c search_path=" + schema + "'";
    return info;
}

// Runs sql as the test server's superuser in database; the error text, or
// empty.
inline std::string ServerExec(const std::string& database, const std::string& sql) {
    PGconn* conn = PQconnectdb(ServerInfo(database).c_str());
    std::string error;
    if (PQstatus(conn) != CONNECTION_OK) {
        error = PQerrorMessage(conn);
    } else {
        PQclear(PQexec(conn, "SET client_min_messages=warning"));
        PGresult* res = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(res);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = PQresultErrorMessage(res);
        PQclear(res);
    }
    PQfinish(conn);
    return error;
}

// A fresh, empty schema in database (made on first use; the benchmarks have
// one of their own), named from prefix and the process: the connection
// string that works in it, or empty with why in error.
inline std::string FreshServerPractice(std::string& schema, std::string& error,
                                       const std::string& database = "q7test",
                                       const std::string& prefix = "t") {
    static std::atomic<int> counter{0};
    if (!ServerAvailable()) {
        error = "kein Testserver: scripts/pg.sh starten";
        return {};
    }
    // Several test processes may make the database at once: one wins.
    const std::string made = ServerExec("postgres", "CREATE DATABASE " + database);
    if (!made.empty() && made.find("already exists") == std::string::npos &&
        made.find("duplicate key") == std::string::npos) {
        error = made;
        return {};
    }
    schema = prefix + std::to_string(getpid()) + "_" + std::to_string(++counter);
    error = ServerExec(database,
                       "DROP SCHEMA IF EXISTS " + schema + " CASCADE; CREATE SCHEMA " + schema);
    if (!error.empty()) return {};
    return ServerInfo(database, schema);
}

// Ends every server session of the test's practice, as a restarted server
// or a cut network would; the error text, or empty.
inline std::string CutServerSessions(const std::string& schema) {
    return ServerExec("q7test",
                      "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                      "application_name='" +
                          schema + "'");
}

inline void DropServerPractice(const std::string& schema, const std::string& database = "q7test") {
    if (!schema.empty()) ServerExec(database, "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
}

}  // namespace q7test
