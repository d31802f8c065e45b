#include "host/db/XQDatabase.h"

#include <filesystem>
#include <map>
#include <memory>

#include "host/base/XQGuard.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

CXQDatabase* dbDatabase = nullptr;
CXQDatabase* dbDatabaseRO = nullptr;
CString dbMdId = "1";
int dbLfdWorkstation = 1;
CString dbPraxisId = "1";

namespace {

int g_failCountdown = 0;
bool g_faultFired = false;

// True when the armed fault strikes this call.
bool FaultNow() {
    if (g_failCountdown <= 0) return false;
    if (--g_failCountdown > 0) return false;
    g_faultFired = true;
    return true;
}

std::unique_ptr<CXQDatabase> g_rw;
std::unique_ptr<CXQDatabase> g_ro;

CString SqliteMessage(sqlite3* db, int rc) {
    const char* text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return Utf8ToCp1252(text ? text : "");
}

}  // namespace

void XQFailNthCall(int n) {
    g_failCountdown = n > 0 ? n : 0;
    g_faultFired = false;
}

bool XQFaultFired() {
    return g_faultFired;
}

namespace xq {

int Prepare(sqlite3* db, const std::string& sql, sqlite3_stmt** stmt) {
    *stmt = nullptr;
    if (FaultNow()) return SQLITE_IOERR;
    return sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), stmt, nullptr);
}

int Step(sqlite3_stmt* stmt) {
    if (FaultNow()) return SQLITE_IOERR;
    return sqlite3_step(stmt);
}

int Exec(sqlite3* db, const char* sql) {
    if (FaultNow()) return SQLITE_IOERR;
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace xq

struct CXQDatabase::Impl {
    sqlite3* db = nullptr;
    std::map<std::string, sqlite3_stmt*> statements;

    void FinalizeAll() {
        for (auto& entry : statements) sqlite3_finalize(entry.second);
        statements.clear();
    }

    // A cached prepared statement, reset and unbound; null on failure, then
    // *sqliteRc holds the SQLite code. Statements stay owned by the
    // connection.
    sqlite3_stmt* Statement(const std::string& sql, int* sqliteRc) {
        if (sqliteRc) *sqliteRc = SQLITE_OK;
        if (!db) {
            if (sqliteRc) *sqliteRc = SQLITE_MISUSE;
            return nullptr;
        }
        auto found = statements.find(sql);
        if (found != statements.end()) {
            sqlite3_reset(found->second);
            sqlite3_clear_bindings(found->second);
            return found->second;
        }
        sqlite3_stmt* stmt = nullptr;
        int rc = xq::Prepare(db, sql, &stmt);
        // Finalized here unless the cache took it.
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(stmt, sqlite3_finalize);
        if (rc != SQLITE_OK || !stmt) {
            if (sqliteRc) *sqliteRc = rc != SQLITE_OK ? rc : SQLITE_ERROR;
            return nullptr;
        }
        statements.emplace(sql, stmt);
        return owned.release();
    }
};

// The internal accessors' way to the connection's handle.
struct CXQDatabaseAccess {
    static CXQDatabase::Impl& Of(const CXQDatabase& db) { return *db.m_impl; }
};

CXQDatabase::CXQDatabase() : m_impl(std::make_unique<Impl>()) {}

CXQDatabase::~CXQDatabase() {
    Close();
}

bool CXQDatabase::IsOpen() const {
    return m_impl->db != nullptr;
}

void CXQDatabase::Close() {
    m_impl->FinalizeAll();
    if (m_impl->db) sqlite3_close_v2(m_impl->db);
    m_impl->db = nullptr;
    m_depth = 0;
}

CXQDatabase* CXQDatabase::WriteTarget() {
    if (!IsOpen()) return nullptr;
    if (!m_readOnly) return this;
    if (m_writePartner && m_writePartner->IsOpen() && !m_writePartner->IsReadOnly())
        return m_writePartner;
    return nullptr;
}

int CXQDatabase::ExecRaw(const char* sql) {
    if (!m_impl->db) return SQLITE_MISUSE;
    return xq::Exec(m_impl->db, sql);
}

int CXQDatabase::Open(const std::string& path, bool readOnly, CString* errorText) {
    return XQGuard("Datenbank \366ffnen", XQ_NODB, [&] {
        Close();
        m_path = path;
        m_readOnly = readOnly;
        int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        int rc = sqlite3_open_v2(path.c_str(), &m_impl->db, flags, nullptr);
        if (rc != SQLITE_OK) {
            if (errorText)
                *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(path) +
                             xq::De(" konnte nicht geöffnet werden: ") +
                             SqliteMessage(m_impl->db, rc);
            Close();
            return XQ_NODB;
        }
        int status = Setup(readOnly, errorText);
        if (status != XQ_OK) Close();
        return status;
    });
}

int CXQDatabase::Setup(bool readOnly, CString* errorText) {
    auto fail = [&](const char* what) {
        if (errorText)
            *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(m_path) + xq::De(what) +
                         SqliteMessage(m_impl->db, SQLITE_ERROR);
        return XQ_NODB;
    };
    sqlite3_busy_timeout(m_impl->db, 5000);

    // The version is read before anything may change the file: a database of
    // a newer program must stay exactly as it is.
    int version = -1;
    {
        sqlite3_stmt* stmt = m_impl->Statement("PRAGMA user_version", nullptr);
        if (!stmt) return fail(" ist nicht lesbar oder keine Datenbank: ");
        xq::StmtUse use(stmt);
        if (xq::Step(stmt) != SQLITE_ROW) return fail(" ist nicht lesbar oder keine Datenbank: ");
        version = sqlite3_column_int(stmt, 0);
    }
    if (version > XQ_SCHEMA_VERSION) {
        if (errorText)
            *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(m_path) +
                         xq::De(" stammt von einer neueren Programmversion (Schema ") +
                         FormatString("%d", version) + xq::De(", dieses Programm kennt bis ") +
                         FormatString("%d", XQ_SCHEMA_VERSION) +
                         xq::De("). Bitte das Programm aktualisieren.");
        return XQ_NODB;
    }
    if (readOnly) {
        if (version < XQ_SCHEMA_VERSION) {
            if (errorText)
                *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(m_path) +
                             xq::De(" ist nicht eingerichtet.");
            return XQ_NODB;
        }
        return XQ_OK;
    }

    // WAL lets a reader keep reading while another workstation writes.
    if (xq::Exec(m_impl->db, "PRAGMA journal_mode=WAL") != SQLITE_OK ||
        xq::Exec(m_impl->db, "PRAGMA synchronous=FULL") != SQLITE_OK)
        return fail(" konnte nicht eingerichtet werden: ");
    if (version == XQ_SCHEMA_VERSION) return XQ_OK;

    if (Begin() != XQ_OK) return fail(" konnte nicht eingerichtet werden: ");
    for (const XQTableDef* table : XQAllTables()) {
        for (const std::string& sql : XQCreateSql(*table)) {
            if (xq::Exec(m_impl->db, sql.c_str()) != SQLITE_OK) {
                int status = fail(" konnte nicht eingerichtet werden: ");
                Rollback();
                return status;
            }
        }
    }
    // A database of an older program gets the texts this one added, and
    // keeps the ones it has.
    if (xq::InstallDefaultStrings(*this, version > 0) != XQ_OK) {
        int status = fail(" konnte nicht eingerichtet werden: ");
        Rollback();
        return status;
    }
    std::string setVersion = "PRAGMA user_version=" + std::to_string(XQ_SCHEMA_VERSION);
    if (xq::Exec(m_impl->db, setVersion.c_str()) != SQLITE_OK) {
        int status = fail(" konnte nicht eingerichtet werden: ");
        Rollback();
        return status;
    }
    if (Commit() != XQ_OK) return fail(" konnte nicht eingerichtet werden: ");
    return XQ_OK;
}

int CXQDatabase::Begin() {
    if (!m_impl->db) return XQ_NODB;
    if (m_depth > 0 && sqlite3_get_autocommit(m_impl->db)) m_depth = 0;  // rolled back by SQLite
    std::string sql;
    if (m_depth == 0)
        // Immediate: the write lock is taken (waiting out the busy timeout)
        // before anything is read, so a later write cannot fail on a stale
        // snapshot. A read-only connection gets a read transaction.
        sql = m_readOnly ? "BEGIN" : "BEGIN IMMEDIATE";
    else
        sql = "SAVEPOINT xq" + std::to_string(m_depth);
    int rc = xq::Exec(m_impl->db, sql.c_str());
    if (rc != SQLITE_OK) return XQ_LOCKED;
    ++m_depth;
    return XQ_OK;
}

int CXQDatabase::Commit() {
    if (!m_impl->db) return XQ_NODB;
    if (m_depth == 0) return XQ_NOTFOUND;
    if (sqlite3_get_autocommit(m_impl->db)) {
        // SQLite ended the transaction itself after an error: nothing stored.
        m_depth = 0;
        return XQ_LOCKED;
    }
    if (m_depth > 1) {
        std::string sql = "RELEASE xq" + std::to_string(m_depth - 1);
        if (xq::Exec(m_impl->db, sql.c_str()) != SQLITE_OK) return XQ_LOCKED;
        --m_depth;
        return XQ_OK;
    }
    if (xq::Exec(m_impl->db, "COMMIT") != SQLITE_OK) {
        // A failed commit leaves the transaction open; drop it so that the
        // connection is usable and the caller sees all-or-nothing.
        sqlite3_exec(m_impl->db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_depth = 0;
        return XQ_LOCKED;
    }
    m_depth = 0;
    return XQ_OK;
}

int CXQDatabase::Rollback() {
    if (!m_impl->db) return XQ_NODB;
    if (m_depth == 0) return XQ_NOTFOUND;
    if (sqlite3_get_autocommit(m_impl->db)) {
        m_depth = 0;
        return XQ_OK;
    }
    // Rolling back must not fail half-way, so a failure of the seamed call is
    // retried directly.
    if (m_depth > 1) {
        std::string name = "xq" + std::to_string(m_depth - 1);
        std::string sql = "ROLLBACK TO " + name + "; RELEASE " + name;
        if (xq::Exec(m_impl->db, sql.c_str()) != SQLITE_OK)
            sqlite3_exec(m_impl->db, sql.c_str(), nullptr, nullptr, nullptr);
        --m_depth;
        return XQ_OK;
    }
    if (xq::Exec(m_impl->db, "ROLLBACK") != SQLITE_OK)
        sqlite3_exec(m_impl->db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_depth = 0;
    return XQ_OK;
}

CXQTransaction::CXQTransaction(CXQDatabase* db) : m_db(db), m_status(db ? db->Begin() : XQ_NODB) {
    m_open = m_status == XQ_OK;
}

CXQTransaction::~CXQTransaction() {
    Rollback();
}

int CXQTransaction::Commit() {
    if (!m_open) return m_status == XQ_OK ? XQ_NOTFOUND : m_status;
    m_open = false;
    const int status = m_db->Commit();
    // A failed commit of a savepoint leaves the level open: take it back so
    // the caller's outer level sees all or nothing.
    if (status != XQ_OK && m_db->TransactionDepth() > 0) m_db->Rollback();
    return status;
}

void CXQTransaction::Rollback() {
    if (!m_open) return;
    m_open = false;
    m_db->Rollback();
}

sqlite3* xq::Handle(const CXQDatabase& db) {
    return CXQDatabaseAccess::Of(db).db;
}

sqlite3_stmt* xq::Statement(CXQDatabase& db, const std::string& sql, int* sqliteRc) {
    return CXQDatabaseAccess::Of(db).Statement(sql, sqliteRc);
}

int xq::CacheSize::Set(int size) {
    if (!m_set) {
        sqlite3_stmt* stmt = Statement(m_db, "PRAGMA cache_size");
        if (!stmt) return XQ_LOCKED;
        StmtUse use(stmt);
        if (Step(stmt) != SQLITE_ROW) return XQ_LOCKED;
        m_saved = sqlite3_column_int(stmt, 0);
    }
    const std::string sql = "PRAGMA cache_size=" + std::to_string(size);
    if (m_db.ExecRaw(sql.c_str()) != SQLITE_OK) return XQ_LOCKED;
    m_set = true;
    return XQ_OK;
}

int xq::CacheSize::Restore() {
    if (!m_set) return XQ_OK;
    m_set = false;
    const std::string sql = "PRAGMA cache_size=" + std::to_string(m_saved);
    return m_db.ExecRaw(sql.c_str()) == SQLITE_OK ? XQ_OK : XQ_LOCKED;
}

int XQOpenPracticeDatabase(const std::string& homeDir, CString* errorText) {
    return XQGuard("Praxisdatenbank \366ffnen", XQ_NODB, [&] {
        XQClosePracticeDatabase();
        std::error_code ec;
        std::filesystem::create_directories(homeDir, ec);
        if (ec || !std::filesystem::is_directory(homeDir, ec)) {
            if (errorText)
                *errorText = xq::De("Das Verzeichnis ") + Utf8ToCp1252(homeDir) +
                             xq::De(" konnte nicht angelegt werden.");
            return XQ_NODB;
        }
        std::string path = (std::filesystem::path(homeDir) / "praxis.db").string();
        auto rw = std::make_unique<CXQDatabase>();
        int status = rw->Open(path, false, errorText);
        if (status != XQ_OK) return status;
        auto ro = std::make_unique<CXQDatabase>();
        status = ro->Open(path, true, errorText);
        if (status != XQ_OK) return status;
        ro->SetWritePartner(rw.get());
        g_rw = std::move(rw);
        g_ro = std::move(ro);
        dbDatabase = g_rw.get();
        dbDatabaseRO = g_ro.get();
        return XQ_OK;
    });
}

void XQClosePracticeDatabase() {
    dbDatabase = nullptr;
    dbDatabaseRO = nullptr;
    g_ro.reset();
    g_rw.reset();
}
