#include <arpa/inet.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "host/base/Cp1252.h"
#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/XQPg.h"
#include "host/db/internal/XQTable.h"

namespace xq {

namespace {

// Conflicts the server resolves by ending one transaction are tried again.
constexpr int kConflictTries = 5;

constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23;

bool StartsWith(const std::string& sql, const char* word) {
    size_t i = 0;
    while (i < sql.size() && sql[i] == ' ') ++i;
    return sql.compare(i, std::strlen(word), word) == 0;
}

std::atomic<uint64_t> g_changeStamp{0};

bool IsConflict(const std::string& state) {
    return state == "40001" || state == "40P01";
}

int64_t BigEndian(const char* p, int length) {
    uint64_t v = 0;
    for (int i = 0; i < length; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
    // Sign-extend shorter integers.
    if (length < 8 && length > 0 && (static_cast<unsigned char>(p[0]) & 0x80))
        v |= ~uint64_t(0) << (8 * length);
    return static_cast<int64_t>(v);
}

}  // namespace

uint64_t ServerChangeStamp() {
    return g_changeStamp.load();
}

std::string PgTranslate(const std::string& sql, int& nParams) {
    std::string out;
    out.reserve(sql.size() + 16);
    nParams = 0;
    int next = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'') {
            size_t end = i + 1;
            while (end < sql.size() &&
                   !(sql[end] == '\'' && (end + 1 >= sql.size() || sql[end + 1] != '\'')))
                end += sql[end] == '\'' ? 2 : 1;
            out.append(sql, i, end - i + 1);
            i = end;
        } else if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'' &&
                   (i == 0 ||
                    !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_'))) {
            const size_t end = sql.find('\'', i + 2);
            out += "'\\x" + sql.substr(i + 2, end - i - 2) + "'::bytea";
            i = end;
        } else if (c == '?') {
            int n = 0;
            size_t j = i + 1;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
                n = n * 10 + (sql[j++] - '0');
            if (j == i + 1) n = ++next;
            if (n > nParams) nParams = n;
            out += "$" + std::to_string(n);
            i = j - 1;
        } else {
            out += c;
        }
    }
    if (StartsWith(sql, "INSERT INTO ") && out.find(" RETURNING ") == std::string::npos)
        out += " RETURNING rowid";
    return out;
}

std::string PgKeyBytes(const XQValue& value) {
    if (value.kind == XQValue::Int) {
        std::string bytes(9, '\0');
        uint64_t v = static_cast<uint64_t>(value.i);
        for (int i = 8; i >= 1; --i, v >>= 8)
            bytes[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
        return bytes;
    }
    if (value.afterNumbers) return '\x01' + value.s;
    return value.s;
}

class PgStmt final : public Stmt {
  public:
    PgStmt(PgStore& store, std::string sql, std::string name)
        : m_store(store), m_name(std::move(name)) {
        m_write =
            StartsWith(sql, "INSERT ") || StartsWith(sql, "UPDATE ") || StartsWith(sql, "DELETE ");
        m_insert = StartsWith(sql, "INSERT ");
        m_sql = PgTranslate(sql, m_params);
        m_values.resize(static_cast<size_t>(m_params));
        m_lengths.assign(static_cast<size_t>(m_params), 0);
        m_formats.assign(static_cast<size_t>(m_params), 0);
    }
    ~PgStmt() override { Reset(); }

    void BindInt(int pos, int64_t value) override { Set(pos, std::to_string(value), 0); }
    void BindText(int pos, std::string_view utf8) override { Set(pos, std::string(utf8), 0); }
    void BindBlob(int pos, std::string_view bytes) override { Set(pos, std::string(bytes), 1); }
    void BindKey(int pos, const XQValue& value) override {
        if (value.kind == XQValue::Plain)
            Set(pos, std::to_string(value.i), 0);
        else if (value.kind == XQValue::Text)
            Set(pos, value.s, 0);
        else
            Set(pos, PgKeyBytes(value), 1);
    }

    int Step() override {
        if (!m_ran) {
            m_ran = true;
            m_row = -1;
            const int rc = m_store.Execute(*this);
            if (rc != SQLITE_OK) return rc;
            if (m_write) return SQLITE_DONE;
        }
        if (!m_result || ++m_row >= PQntuples(m_result)) return SQLITE_DONE;
        return SQLITE_ROW;
    }

    void Reset() override {
        if (m_result) PQclear(m_result);
        m_result = nullptr;
        m_ran = false;
        m_row = -1;
        for (std::string& v : m_values) v.clear();
    }

    int Type(int col) const override {
        if (!m_result || PQgetisnull(m_result, m_row, col)) return SQLITE_NULL;
        switch (PQftype(m_result, col)) {
            case kBool:
            case kInt2:
            case kInt4:
            case kInt8:
                return SQLITE_INTEGER;
            case kBytea:
                return SQLITE_BLOB;
            default:
                return SQLITE_TEXT;
        }
    }

    int64_t Int(int col) const override {
        if (!m_result || PQgetisnull(m_result, m_row, col)) return 0;
        const char* p = PQgetvalue(m_result, m_row, col);
        const int length = PQgetlength(m_result, m_row, col);
        switch (PQftype(m_result, col)) {
            case kBool:
            case kInt2:
            case kInt4:
            case kInt8:
                return BigEndian(p, length);
            default:
                return std::atoll(std::string(p, static_cast<size_t>(length)).c_str());
        }
    }

    std::string_view Bytes(int col) const override {
        if (!m_result || PQgetisnull(m_result, m_row, col)) return {};
        return {PQgetvalue(m_result, m_row, col),
                static_cast<size_t>(PQgetlength(m_result, m_row, col))};
    }

  private:
    friend class PgStore;

    void Set(int pos, std::string value, int format) {
        if (pos < 1 || pos > m_params) return;
        const size_t i = static_cast<size_t>(pos - 1);
        m_values[i] = std::move(value);
        m_lengths[i] = static_cast<int>(m_values[i].size());
        m_formats[i] = format;
    }

    PgStore& m_store;
    std::string m_name;
    std::string m_sql;
    int m_params = 0;
    bool m_write = false;
    bool m_insert = false;
    int m_generation = -1;  // the connection it was prepared on
    std::vector<std::string> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
    PGresult* m_result = nullptr;
    bool m_ran = false;
    int m_row = -1;
};

PgStore::PgStore(CXQDatabase& owner, bool readOnly) : m_owner(owner), m_readOnly(readOnly) {}

PgStore::~PgStore() {
    m_statements.clear();
}

int PgStore::Connect(const CString& url, CString& error) {
    m_statements.clear();
    m_releasePending = false;
    if (m_connection.Open(url) != XQ_OK) {
        error = m_connection.ErrorText();
        return XQ_NODB;
    }
    ++m_generation;
    // The server's notices ("... does not exist, skipping") are no failures
    // and no business of the terminal.
    PQsetNoticeProcessor(
        PgHandle(m_connection), [](void*, const char*) {}, nullptr);
    // A lock wait ends as SQLite's busy timeout does; a reading connection
    // cannot write by mistake.
    const char* session = m_readOnly ? "SET lock_timeout='5s'; SET default_transaction_read_only=on"
                                     : "SET lock_timeout='5s'";
    PGresult* res = PQexec(PgHandle(m_connection), session);
    const bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
    if (!ok) {
        error = De("Der Datenbankserver lehnt die Sitzung ab: ") +
                Utf8ToCp1252(PQresultErrorMessage(res));
        XQLog("Datenbankserver", error);
    }
    PQclear(res);
    if (!ok) m_connection.Close();
    return ok ? XQ_OK : XQ_NODB;
}

bool PgStore::Usable(int depth) {
    PGconn* conn = PgHandle(m_connection);
    if (conn && PQstatus(conn) == CONNECTION_OK) return true;
    // Inside a transaction a new connection would lose what it wrote: the
    // owners roll back first.
    if (!conn || depth > 0) return false;
    PQreset(conn);
    m_releasePending = false;
    if (PQstatus(conn) != CONNECTION_OK) return false;
    ++m_generation;
    PGresult* res = PQexec(conn, m_readOnly ? "SET lock_timeout='5s'; SET "
                                              "default_transaction_read_only=on; SET "
                                              "client_encoding='UTF8'"
                                            : "SET lock_timeout='5s'; SET client_encoding='UTF8'");
    const bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
    PQclear(res);
    if (ok) XQLog("Datenbankserver", De("Die Verbindung zum Datenbankserver steht wieder."));
    return ok;
}

int PgStore::Failed(PGresult* res, const char* what) {
    PGconn* conn = PgHandle(m_connection);
    const char* stateText = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    m_lastState = stateText ? stateText : "";
    std::string original = res ? PQresultErrorMessage(res) : "";
    if (original.empty() && conn) original = PQerrorMessage(conn);
    // One line in the log, however libpq breaks its text.
    for (char& c : original)
        if (c == '\n' || c == '\t') c = ' ';
    while (!original.empty() && original.back() == ' ') original.pop_back();
    const std::string& s = m_lastState;
    int rc = SQLITE_ERROR;
    CString reason;
    if (!conn || PQstatus(conn) != CONNECTION_OK || s.compare(0, 2, "08") == 0 ||
        s.compare(0, 3, "57P") == 0) {
        rc = SQLITE_IOERR;
        reason = De("Die Verbindung zum Datenbankserver ist unterbrochen");
    } else if (IsConflict(s)) {
        rc = SQLITE_BUSY;
        reason = De("Ein anderer Arbeitsplatz hat dieselben Daten gleichzeitig geändert");
    } else {
        // The server's error codes as the SQLite codes whose German reason
        // fits; a class ("23") stands for all its codes not named before it.
        static const struct {
            const char* state;
            int rc;
        } kStates[] = {{"23505", SQLITE_CONSTRAINT_UNIQUE},
                       {"23", SQLITE_CONSTRAINT},
                       {"55P03", SQLITE_BUSY},
                       {"57014", SQLITE_BUSY},
                       {"53100", SQLITE_FULL},
                       {"53200", SQLITE_NOMEM},
                       {"42501", SQLITE_PERM},
                       {"25006", SQLITE_READONLY},
                       {"25P02", SQLITE_ABORT},
                       {"54000", SQLITE_TOOBIG}};
        for (const auto& entry : kStates)
            if (!s.empty() && s.compare(0, std::strlen(entry.state), entry.state) == 0) {
                rc = entry.rc;
                break;
            }
    }
    if (reason.IsEmpty())
        reason = rc == SQLITE_ERROR ? De("Interner Fehler des Datenbankservers (") +
                                          Utf8ToCp1252(s.empty() ? "?" : s) + ")"
                                    : Reason(rc);
    NoteFailure(m_owner, reason,
                Utf8ToCp1252(std::string(what) + ": " + original +
                             (s.empty() ? "" : " (SQLSTATE " + s + ")")));
    return rc;
}

int PgStore::Simple(const char* sql) {
    if (FaultStrikes()) {
        NoteFailure(m_owner, Reason(SQLITE_IOERR), De("simulierter Fehler: ") + sql);
        return SQLITE_IOERR;
    }
    PGconn* conn = PgHandle(m_connection);
    if (!conn) return Failed(nullptr, sql);
    PGresult* res = PQexec(conn, sql);
    const ExecStatusType status = PQresultStatus(res);
    const int rc =
        status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? SQLITE_OK : Failed(res, sql);
    PQclear(res);
    return rc;
}

Stmt* PgStore::Prepared(const std::string& sql) {
    auto found = m_statements.find(sql);
    if (found != m_statements.end()) {
        found->second->Reset();
        return found->second.get();
    }
    auto stmt = std::make_unique<PgStmt>(*this, sql, "q7s" + std::to_string(++m_names));
    PgStmt* raw = stmt.get();
    m_statements.emplace(sql, std::move(stmt));
    return raw;
}

int PgStore::Execute(PgStmt& stmt) {
    const int depth = m_owner.TransactionDepth();
    // A write outside a transaction is one of its own, behind the write lock;
    // inside one it gets a savepoint, so that its failure (a key given
    // twice) undoes only itself, as on SQLite. The savepoint of a write that
    // succeeded is released with the next one's, in the same round trip:
    // a load writes rows by the thousand, and each round trip counts.
    const bool own = stmt.m_write && depth == 0;
    if (stmt.m_write) ++g_changeStamp;
    const bool savepoint =
        stmt.m_write && depth > 0 && !m_wholeWrites && !StartsWith(stmt.m_sql, "DELETE ");
    for (int attempt = 1;; ++attempt) {
        if (FaultStrikes()) {
            NoteFailure(m_owner, Reason(SQLITE_IOERR), De("simulierter Fehler: ") + stmt.m_sql);
            return SQLITE_IOERR;
        }
        if (!Usable(depth)) return Failed(nullptr, "Verbindung");
        PGconn* conn = PgHandle(m_connection);
        if (stmt.m_generation != m_generation) {
            PGresult* res =
                PQprepare(conn, stmt.m_name.c_str(), stmt.m_sql.c_str(), stmt.m_params, nullptr);
            const bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
            // A statement of that name may be left from before a failure.
            if (!ok && PQresultErrorField(res, PG_DIAG_SQLSTATE) &&
                std::string(PQresultErrorField(res, PG_DIAG_SQLSTATE)) == "42P05") {
                PQclear(res);
                stmt.m_name = "q7s" + std::to_string(++m_names);
                continue;
            }
            if (!ok) {
                const int rc = Failed(res, stmt.m_sql.c_str());
                PQclear(res);
                // A connection lost while idle is made again once (above).
                if (depth == 0 && PQstatus(conn) != CONNECTION_OK && attempt < 2) continue;
                return rc;
            }
            PQclear(res);
            stmt.m_generation = m_generation;
        }
        if (own) {
            const std::string begin = std::string("BEGIN; ") + kPgWriteLockSql;
            PGresult* res = PQexec(conn, begin.c_str());
            if (PQresultStatus(res) != PGRES_TUPLES_OK) {
                const int rc = Failed(res, "BEGIN");
                PQclear(res);
                PQclear(PQexec(conn, "ROLLBACK"));
                // Nothing was written yet: a lost connection is tried once more.
                if (PQstatus(conn) != CONNECTION_OK && attempt < 2) continue;
                return rc;
            }
            PQclear(res);
        } else if (savepoint) {
            const bool release = m_releasePending;
            m_releasePending = false;
            if (Simple(release ? "RELEASE q7stmt; SAVEPOINT q7stmt" : "SAVEPOINT q7stmt") !=
                SQLITE_OK)
                return SQLITE_ABORT;
        }
        std::vector<const char*> values(stmt.m_values.size());
        for (size_t i = 0; i < values.size(); ++i) values[i] = stmt.m_values[i].data();
        PGresult* res = PQexecPrepared(conn, stmt.m_name.c_str(), stmt.m_params, values.data(),
                                       stmt.m_lengths.data(), stmt.m_formats.data(), 1);
        const ExecStatusType status = PQresultStatus(res);
        if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK) {
            m_changes = std::atoll(PQcmdTuples(res));
            if (stmt.m_insert && PQntuples(res) > 0) {
                const int last = PQntuples(res) - 1;
                m_insertedId = BigEndian(PQgetvalue(res, last, 0), PQgetlength(res, last, 0));
            }
            if (stmt.m_write) {
                PQclear(res);
                res = nullptr;
            }
            stmt.m_result = res;
            if (savepoint) m_releasePending = true;
            if (own) {
                // The commit's answer lost: whether it took is unknown, so it
                // is not tried again.
                if (Simple("COMMIT") != SQLITE_OK) {
                    if (stmt.m_result) PQclear(stmt.m_result);
                    stmt.m_result = nullptr;
                    // Still open (the commit never reached the server):
                    // undone, so that the failure stores nothing.
                    if (PQstatus(conn) == CONNECTION_OK &&
                        PQtransactionStatus(conn) != PQTRANS_IDLE)
                        PQclear(PQexec(conn, "ROLLBACK"));
                    return SQLITE_IOERR;
                }
            }
            return SQLITE_OK;
        }
        const int rc = Failed(res, stmt.m_sql.c_str());
        PQclear(res);
        const bool lost = PQstatus(conn) != CONNECTION_OK;
        if (savepoint && !lost) {
            PGresult* back = PQexec(conn, "ROLLBACK TO q7stmt; RELEASE q7stmt");
            PQclear(back);
        }
        if (own && !lost) PQclear(PQexec(conn, "ROLLBACK"));
        if (depth == 0 && attempt < kConflictTries &&
            (IsConflict(m_lastState) || (lost && attempt < 2))) {
            if (!lost) usleep(static_cast<useconds_t>(2000 * attempt));
            continue;
        }
        return rc;
    }
}

int PgStore::Run(const std::string& sql) {
    ++g_changeStamp;
    if (!Usable(m_owner.TransactionDepth())) return Failed(nullptr, sql.c_str());
    return Simple(sql.c_str());
}

int PgStore::Begin(int depth) {
    // A level's savepoint comes after the last write's, which is released
    // first: undoing the level must not reach back before it, and its
    // release must not take the level's own savepoint with it.
    const bool release = m_releasePending;
    m_releasePending = false;
    if (depth > 0)
        return Simple(
            ((release ? "RELEASE q7stmt; SAVEPOINT xq" : "SAVEPOINT xq") + std::to_string(depth))
                .c_str());
    for (int attempt = 1;; ++attempt) {
        if (!Usable(0)) return Failed(nullptr, "BEGIN");
        const std::string begin =
            m_readOnly ? std::string("BEGIN READ ONLY") : std::string("BEGIN; ") + kPgWriteLockSql;
        const int rc = Simple(begin.c_str());
        if (rc == SQLITE_OK) return rc;
        PGconn* conn = PgHandle(m_connection);
        const bool lost = !conn || PQstatus(conn) != CONNECTION_OK;
        if (!lost) PQclear(PQexec(conn, "ROLLBACK"));
        if (attempt < kConflictTries && (IsConflict(m_lastState) || (lost && attempt < 2)))
            continue;
        return rc;
    }
}

int PgStore::Commit(int depth) {
    ++g_changeStamp;
    // Ending a level or the transaction releases the last write's savepoint
    // with it.
    m_releasePending = false;
    if (depth > 1) return Simple(("RELEASE SAVEPOINT xq" + std::to_string(depth - 1)).c_str());
    PGconn* conn = PgHandle(m_connection);
    // COMMIT of a transaction the server has ended answers ROLLBACK.
    if (!conn || PQtransactionStatus(conn) != PQTRANS_INTRANS) {
        Failed(nullptr, "COMMIT");
        if (conn && PQtransactionStatus(conn) == PQTRANS_INERROR) PQclear(PQexec(conn, "ROLLBACK"));
        return SQLITE_ABORT;
    }
    return Simple("COMMIT");
}

int PgStore::Rollback(int depth) {
    ++g_changeStamp;
    m_releasePending = false;
    PGconn* conn = PgHandle(m_connection);
    if (!conn || PQstatus(conn) != CONNECTION_OK) return SQLITE_OK;  // nothing left to undo
    if (depth > 1) {
        const std::string name = "xq" + std::to_string(depth - 1);
        return Simple(("ROLLBACK TO SAVEPOINT " + name + "; RELEASE SAVEPOINT " + name).c_str());
    }
    PQclear(PQexec(conn, "ROLLBACK"));
    return SQLITE_OK;
}

bool PgStore::TransactionLost() const {
    PGconn* conn = PgHandle(const_cast<CXQPgConnection&>(m_connection));
    if (!conn || PQstatus(conn) != CONNECTION_OK) return true;
    return PQtransactionStatus(conn) != PQTRANS_INTRANS;
}

}  // namespace xq
