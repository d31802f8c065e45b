#pragma once
// The practice server's side of a connection (CXQDatabase): the libpq
// connection, its prepared statements, its transactions and what becomes of
// the server's failures. Internal to the record layer.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/XQPg.h is internal to the host"
#endif
#include <libpq-fe.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/base/CString.h"
#include "host/db/XQPgConnection.h"
#include "host/db/internal/XQInternal.h"

class CXQDatabase;

namespace xq {

class PgStmt;

// Takes the practice's write lock: an advisory lock of the server that every
// write transaction of every workstation takes first, so that writers follow
// one another as on a SQLite file. One lock per schema, so that practices
// (and tests) side by side in one database do not wait for each other.
inline constexpr const char* kPgWriteLockSql =
    "SELECT pg_advisory_xact_lock(29495, hashtext(current_schema()))";

// PGconn of an open CXQPgConnection (null when closed).
PGconn* PgHandle(CXQPgConnection& connection);

// SQLite's SQL as the server takes it: ? and ?N become $n, x'..' a bytea
// literal, and an INSERT gives back the row ids it made. nParams: the highest
// placeholder number.
std::string PgTranslate(const std::string& sql, int& nParams);

// The comparable form of a key value as the server keeps it: numbers as 0x00
// and eight bytes big-endian, a Number column's other values as 0x01 and
// their bytes, every other key its bytes. Byte order is then key order.
std::string PgKeyBytes(const XQValue& value);

class PgStore {
  public:
    // owner: the connection whose LastError and transaction depth this store
    // serves.
    PgStore(CXQDatabase& owner, bool readOnly);
    ~PgStore();
    PgStore(const PgStore&) = delete;
    PgStore& operator=(const PgStore&) = delete;

    // XQ_OK, or XQ_NODB with the German reason in error.
    int Connect(const CString& url, CString& error);

    Stmt* Prepared(const std::string& sql);
    // Runs statements without values: SQLITE_OK or the failure (noted).
    int Run(const std::string& sql);
    // Transaction levels (depth: the owner's depth before the call; the
    // outermost write level takes the practice's write lock, so that writers
    // follow one another as they do on a SQLite file): SQLITE_OK or failure.
    int Begin(int depth);
    int Commit(int depth);
    int Rollback(int depth);
    // Whether the server ended the open transaction (a failed statement, a
    // lost connection).
    bool TransactionLost() const;
    // From transaction level depth (the owner's depth after its Begin) on,
    // writes wait and go to the server together with the next statement or
    // when the level ends; the level's Commit fails with the first of their
    // failures.
    void DeferWrites(int depth) { m_deferFrom = depth; }

    // Whether writes inside a transaction go without a savepoint of their
    // own (xq::WholeWrites); returns the previous setting.
    bool SetWholeWrites(bool whole) {
        const bool was = m_wholeWrites;
        m_wholeWrites = whole;
        return was;
    }

    int64_t Changes() const { return m_changes; }
    int64_t InsertedId() const { return m_insertedId; }

    // Runs a prepared statement (PgStmt::Step).
    int Execute(PgStmt& stmt);

  private:
    friend class PgStmt;
    // The settings every session of this store starts with.
    std::string Session() const;
    // One command of the simple protocol, after the queued ones: SQLITE_OK
    // or the failure (noted).
    int Simple(const char* sql);
    // One round trip: the queued commands, then before, the statement (may
    // be null) and after, sent together in pipeline mode. SQLITE_OK with the
    // statement's result in *result (the caller's to clear), or the first
    // failure (noted) and in *failedAt the place of the command that failed
    // (the statement's is m_queued.size() + before.size() as it was).
    int Round(const std::vector<std::string>& before, PgStmt* stmt,
              const std::vector<std::string>& after, PGresult** result, size_t* failedAt);
    // Sends the queued writes, if any (with the commands before them):
    // SQLITE_OK or the first failure (noted).
    int SendQueuedWrites();
    // The failure of res (may be null), noted on the owner: the SQLite-like
    // code.
    int Failed(PGresult* res, const char* what);
    // A lost connection is made again while no transaction is open: true
    // when the connection is usable.
    bool Usable(int depth);

    CXQDatabase& m_owner;
    bool m_readOnly;
    CXQPgConnection m_connection;
    std::map<std::string, std::unique_ptr<PgStmt>> m_statements;
    int m_generation = 0;  // counts connections made: statements prepare again
    int m_names = 0;
    bool m_wholeWrites = false;
    int64_t m_changes = 0;
    int64_t m_insertedId = 0;
    std::string m_lastState;  // SQLSTATE of the last failure
    // The last write's savepoint (q7stmt) still stands; the next command
    // that needs it gone releases it.
    bool m_releasePending = false;
    // What waits for the next statement's round trip: savepoint commands of
    // transaction levels (a level that ends before any statement ran never
    // reaches the server) and deferred writes with their values.
    struct Queued {
        std::string sql;         // a command, or
        PgStmt* stmt = nullptr;  // a write (its SQL for the log)
        std::vector<std::string> values;
        std::vector<int> lengths;
        std::vector<int> formats;
        bool mustChange = false;  // an UPDATE that changes nothing fails
        Queued(std::string command) : sql(std::move(command)) {}
        Queued() = default;
    };
    std::vector<Queued> m_queued;
    size_t m_queuedWrites = 0;
    int m_deferFrom = 0;  // 0: no level defers its writes
    // A deferred write failed: the deferring level is undone on the server
    // already (at level 1: the transaction ended), and fails its Commit.
    bool m_deferBroken = false;
};

}  // namespace xq
