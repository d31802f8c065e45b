#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
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

// Deferred writes sent at most together.
constexpr size_t kMaxQueuedWrites = 64;

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

// A statement's bound values as libpq takes them.
std::vector<const char*> Pointers(const std::vector<std::string>& values) {
    std::vector<const char*> pointers(values.size());
    for (size_t i = 0; i < values.size(); ++i) pointers[i] = values[i].data();
    return pointers;
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

std::string PgStore::Session() const {
    // A lock wait ends as SQLite's busy timeout does; a reading connection
    // cannot write by mistake. Compiling a plan pays only for queries that
    // run for seconds, never for a workstation's: the costs of a big table's
    // plan would have it compile on every query.
    return std::string("SET lock_timeout='5s'; SET jit=off") +
           (m_readOnly ? "; SET default_transaction_read_only=on" : "");
}

int PgStore::Connect(const CString& url, CString& error) {
    m_statements.clear();
    m_releasePending = false;
    m_queued.clear();
    m_queuedWrites = 0;
    m_deferFrom = 0;
    m_deferBroken = false;
    if (m_connection.Open(url) != XQ_OK) {
        error = m_connection.ErrorText();
        return XQ_NODB;
    }
    ++m_generation;
    // The server's notices ("... does not exist, skipping") are no failures
    // and no business of the terminal.
    PQsetNoticeProcessor(
        PgHandle(m_connection), [](void*, const char*) {}, nullptr);
    PGresult* res = PQexec(PgHandle(m_connection), Session().c_str());
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
    m_queued.clear();
    m_queuedWrites = 0;
    m_deferFrom = 0;
    m_deferBroken = false;
    if (PQstatus(conn) != CONNECTION_OK) return false;
    ++m_generation;
    PGresult* res = PQexec(conn, (Session() + "; SET client_encoding='UTF8'").c_str());
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
    if (const int rc = SendQueuedWrites(); rc != SQLITE_OK) return rc;
    std::string text;
    for (const Queued& command : m_queued) text += command.sql + "; ";
    m_queued.clear();
    text += sql;
    PGresult* res = PQexec(conn, text.c_str());
    const ExecStatusType status = PQresultStatus(res);
    const int rc =
        status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK ? SQLITE_OK : Failed(res, sql);
    PQclear(res);
    return rc;
}

int PgStore::Round(const std::vector<std::string>& before, PgStmt* stmt,
                   const std::vector<std::string>& after, PGresult** result, size_t* failedAt) {
    *result = nullptr;
    *failedAt = static_cast<size_t>(-1);
    PGconn* conn = PgHandle(m_connection);
    if (!conn) return Failed(nullptr, "Verbindung");
    std::vector<Queued> commands;
    commands.swap(m_queued);
    m_queuedWrites = 0;
    for (const std::string& command : before) commands.emplace_back(command);
    const size_t stmtAt = stmt ? commands.size() : static_cast<size_t>(-1);
    const bool deferred = std::any_of(commands.begin(), commands.end(),
                                      [](const Queued& q) { return q.stmt != nullptr; });
    const auto what = [&](size_t k) -> const std::string& {
        if (k == stmtAt) return stmt->m_sql;
        if (k < commands.size())
            return commands[k].stmt ? commands[k].stmt->m_sql : commands[k].sql;
        return after[k - commands.size() - (stmt ? 1 : 0)];
    };
    const size_t count = commands.size() + (stmt ? 1 : 0) + after.size();
    // What was sent is read back in any case, so that the connection leaves
    // pipeline mode with nothing pending.
    size_t sent = 0;
    bool ok = PQenterPipelineMode(conn) == 1;
    const auto sendPrepared = [&](const PgStmt& s, const std::vector<std::string>& values,
                                  const std::vector<int>& lengths,
                                  const std::vector<int>& formats) {
        return PQsendQueryPrepared(conn, s.m_name.c_str(), s.m_params, Pointers(values).data(),
                                   lengths.data(), formats.data(), 1) == 1;
    };
    for (size_t k = 0; ok && k < count; ++k) {
        if (k == stmtAt)
            ok = sendPrepared(*stmt, stmt->m_values, stmt->m_lengths, stmt->m_formats);
        else if (k < commands.size() && commands[k].stmt)
            ok = sendPrepared(*commands[k].stmt, commands[k].values, commands[k].lengths,
                              commands[k].formats);
        else
            ok = PQsendQueryParams(conn, what(k).c_str(), 0, nullptr, nullptr, nullptr, nullptr,
                                   0) == 1;
        if (ok) ++sent;
    }
    const bool synced = ok && PQpipelineSync(conn) == 1;
    // The first failure is noted once the connection is out of pipeline
    // mode and the deferring level, if any, is taken back: noting it looks
    // at the transaction's state.
    PGresult* failure = nullptr;
    bool unchanged = false;  // a rewrite found no row
    for (size_t k = 0; k < sent; ++k) {
        PGresult* res = PQgetResult(conn);
        if (!res) break;  // the connection is gone
        const ExecStatusType status = PQresultStatus(res);
        const bool first = !failure && !unchanged;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            if (k == stmtAt) {
                std::swap(*result, res);
            } else if (first && k < commands.size() && commands[k].mustChange &&
                       std::atoll(PQcmdTuples(res)) == 0) {
                unchanged = true;
                *failedAt = k;
            }
        } else if (status != PGRES_PIPELINE_ABORTED && first) {
            std::swap(failure, res);
            *failedAt = k;
        }
        PQclear(res);
        while ((res = PQgetResult(conn)) != nullptr) PQclear(res);
    }
    if (synced) {
        PGresult* res = PQgetResult(conn);
        if (PQresultStatus(res) != PGRES_PIPELINE_SYNC) ok = false;
        PQclear(res);
    }
    PQexitPipelineMode(conn);
    const bool broken = !ok || !synced || PQstatus(conn) != CONNECTION_OK;
    if ((failure || unchanged || broken) && deferred && m_deferFrom > 0) {
        // Only the deferring level is lost, as with a write refused at once:
        // its savepoint takes back the failure the server holds.
        m_deferBroken = true;
        if (m_deferFrom > 1 && PQstatus(conn) == CONNECTION_OK &&
            PQtransactionStatus(conn) == PQTRANS_INERROR)
            PQclear(PQexec(conn,
                           ("ROLLBACK TO SAVEPOINT xq" + std::to_string(m_deferFrom - 1)).c_str()));
    }
    int rc = SQLITE_OK;
    if (failure) {
        rc = Failed(failure, what(*failedAt).c_str());
        PQclear(failure);
    } else if (unchanged) {
        // A row rewritten that another workstation deleted meanwhile.
        rc = SQLITE_NOTFOUND;
        NoteFailure(m_owner, De("Ein anderer Arbeitsplatz hat den Datensatz inzwischen gelöscht"),
                    Utf8ToCp1252(what(*failedAt)));
    } else if (broken) {
        rc = Failed(nullptr, sent < count ? what(sent).c_str() : "Synchronisation");
        *failedAt = std::min(sent, count - 1);
    }
    if (rc != SQLITE_OK && *result) {
        PQclear(*result);
        *result = nullptr;
    }
    return rc;
}

int PgStore::SendQueuedWrites() {
    if (m_queuedWrites == 0) return SQLITE_OK;
    PGresult* res = nullptr;
    size_t failedAt = 0;
    return Round({}, nullptr, {}, &res, &failedAt);
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
    // twice) undoes only itself, as on SQLite. Each round trip counts (a
    // load or an import writes rows by the thousand): the savepoint goes in
    // the statement's round trip, and the savepoint of a write that
    // succeeded is released in the next one's.
    const bool own = stmt.m_write && depth == 0;
    if (stmt.m_write) ++g_changeStamp;
    // A deferred write needs no savepoint: its failure fails its level.
    const bool defer = stmt.m_write && m_deferFrom > 0 && depth >= m_deferFrom;
    const bool savepoint =
        stmt.m_write && depth > 0 && !m_wholeWrites && !defer && !StartsWith(stmt.m_sql, "DELETE ");
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
        if (defer) {
            Queued write;
            write.stmt = &stmt;
            write.values = stmt.m_values;
            write.lengths = stmt.m_lengths;
            write.formats = stmt.m_formats;
            write.mustChange = StartsWith(stmt.m_sql, "UPDATE ");
            m_queued.push_back(std::move(write));
            // Taken as done; a rewrite's row found, an insert's id unknown.
            m_changes = 1;
            m_insertedId = 0;
            // So many, and the answers could fill the socket while the
            // statements are still being sent.
            return ++m_queuedWrites < kMaxQueuedWrites ? SQLITE_OK : SendQueuedWrites();
        }
        std::vector<std::string> before;
        if (own) {
            before = {"BEGIN", kPgWriteLockSql};
        } else if (savepoint) {
            if (m_releasePending) before.push_back("RELEASE q7stmt");
            m_releasePending = false;
            before.push_back("SAVEPOINT q7stmt");
        }
        const size_t stmtAt = m_queued.size() + before.size();
        PGresult* res = nullptr;
        size_t failedAt = stmtAt;
        int rc;
        if (stmtAt == 0) {
            res = PQexecPrepared(conn, stmt.m_name.c_str(), stmt.m_params,
                                 Pointers(stmt.m_values).data(), stmt.m_lengths.data(),
                                 stmt.m_formats.data(), 1);
            const ExecStatusType status = PQresultStatus(res);
            rc = status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK
                     ? SQLITE_OK
                     : Failed(res, stmt.m_sql.c_str());
            if (rc != SQLITE_OK) {
                PQclear(res);
                res = nullptr;
            }
        } else {
            rc = Round(before, &stmt, {}, &res, &failedAt);
        }
        if (rc == SQLITE_OK) {
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
                // The commit has a round trip of its own: a connection lost
                // before it leaves nothing stored, so the write may be tried
                // again. The commit's answer lost: whether it took is
                // unknown, so it is not tried again.
                if (Simple("COMMIT") != SQLITE_OK) {
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
        const bool lost = PQstatus(conn) != CONNECTION_OK;
        // Only the statement's own failure is undone by its savepoint; a
        // failed level savepoint before it has ended the transaction.
        if (savepoint && !lost && failedAt == stmtAt)
            PQclear(PQexec(conn, "ROLLBACK TO q7stmt; RELEASE q7stmt"));
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
    if (depth > 0) {
        // A level's savepoint waits for the next statement. It comes after
        // the last write's, which is released first: undoing the level must
        // not reach back before it, and its release must not take the
        // level's own savepoint with it.
        if (FaultStrikes()) {
            NoteFailure(m_owner, Reason(SQLITE_IOERR), De("simulierter Fehler: SAVEPOINT"));
            return SQLITE_IOERR;
        }
        PGconn* conn = PgHandle(m_connection);
        if (!conn || PQstatus(conn) != CONNECTION_OK) return Failed(nullptr, "SAVEPOINT");
        if (m_releasePending) m_queued.emplace_back("RELEASE q7stmt");
        m_releasePending = false;
        m_queued.emplace_back("SAVEPOINT xq" + std::to_string(depth));
        return SQLITE_OK;
    }
    m_releasePending = false;
    m_queued.clear();
    m_queuedWrites = 0;
    m_deferFrom = 0;
    m_deferBroken = false;
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
    // The level that deferred its writes ends with their answers; the levels
    // inside one whose write failed are gone with it.
    if (m_deferBroken && depth > m_deferFrom) return SQLITE_ABORT;
    if (depth <= m_deferFrom) {
        const int rc = m_deferBroken ? SQLITE_ABORT : SendQueuedWrites();
        if (rc != SQLITE_OK) return rc;
        m_deferFrom = 0;
    }
    if (depth > 1) {
        if (FaultStrikes()) {
            NoteFailure(m_owner, Reason(SQLITE_IOERR), De("simulierter Fehler: RELEASE"));
            return SQLITE_IOERR;
        }
        // The release goes with the next statement; a level in which no
        // statement ran is dropped unsent.
        const std::string level = "xq" + std::to_string(depth - 1);
        if (!m_queued.empty() && m_queued.back().sql == "SAVEPOINT " + level)
            m_queued.pop_back();
        else
            m_queued.emplace_back("RELEASE SAVEPOINT " + level);
        return SQLITE_OK;
    }
    if (const int rc = SendQueuedWrites(); rc != SQLITE_OK) return rc;
    m_queued.clear();
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
    const bool gone = m_deferBroken && depth > m_deferFrom;
    if (depth <= m_deferFrom) {
        m_deferFrom = 0;
        m_deferBroken = false;
    }
    const auto drop = [this](std::vector<Queued>::iterator from) {
        for (auto it = from; it != m_queued.end(); ++it) m_queuedWrites -= it->stmt ? 1 : 0;
        m_queued.erase(from, m_queued.end());
    };
    if (depth > 1) {
        // A level whose savepoint was not sent yet has nothing on the server.
        const std::string name = "SAVEPOINT xq" + std::to_string(depth - 1);
        const auto unsent = std::find_if(m_queued.begin(), m_queued.end(),
                                         [&](const Queued& q) { return q.sql == name; });
        if (unsent != m_queued.end()) {
            drop(unsent);
            return SQLITE_OK;
        }
    }
    // What is queued lies inside the level undone.
    drop(m_queued.begin());
    if (gone) return SQLITE_OK;
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
