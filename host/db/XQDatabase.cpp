#include "host/db/XQDatabase.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "host/base/XQGuard.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQPg.h"
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

// The open connections, so that a failing call on a handle reaches its
// connection; and how many of them have had their transaction ended by
// SQLite (while none has, a write needs no further look).
std::vector<CXQDatabase*> g_connections;
int g_abortedConnections = 0;

// True when sql holds a statement that changes the database.
bool ChangesDatabase(sqlite3* db, const char* sql) {
    const char* rest = sql;
    while (rest && *rest) {
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, rest, -1, &stmt, &tail) != SQLITE_OK) return true;
        const bool writes = stmt && !sqlite3_stmt_readonly(stmt);
        sqlite3_finalize(stmt);
        if (writes) return true;
        rest = tail;
    }
    return false;
}

// "file:" URI of a path for sqlite3_open_v2 with SQLITE_OPEN_URI.
std::string FileUri(const std::string& path) {
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        }
    }
    return uri;
}

bool MayWrite(const std::string& path) {
    return access(path.c_str(), W_OK) == 0;
}

}  // namespace

void XQFailNthCall(int n) {
    g_failCountdown = n > 0 ? n : 0;
    g_faultFired = false;
}

bool XQFaultFired() {
    return g_faultFired;
}

bool xq::FaultStrikes() {
    return FaultNow();
}

namespace {

// A cached SQLite statement seen through the store-neutral interface.
class LiteStmt final : public xq::Stmt {
  public:
    explicit LiteStmt(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    void BindInt(int pos, int64_t value) override { sqlite3_bind_int64(m_stmt, pos, value); }
    void BindText(int pos, std::string_view utf8) override {
        sqlite3_bind_text(m_stmt, pos, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
    }
    void BindBlob(int pos, std::string_view bytes) override {
        // Never null, so that an empty value is an empty BLOB, not NULL.
        sqlite3_bind_blob(m_stmt, pos, bytes.data() ? bytes.data() : "",
                          static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    }
    void BindKey(int pos, const XQValue& value) override { xq::Bind(m_stmt, pos, value); }
    int Step() override { return xq::Step(m_stmt); }
    void Reset() override {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    int Type(int col) const override { return sqlite3_column_type(m_stmt, col); }
    int64_t Int(int col) const override { return sqlite3_column_int64(m_stmt, col); }
    std::string_view Bytes(int col) const override {
        const void* data = sqlite3_column_blob(m_stmt, col);
        if (!data) return {};
        return {static_cast<const char*>(data),
                static_cast<size_t>(sqlite3_column_bytes(m_stmt, col))};
    }

  private:
    sqlite3_stmt* m_stmt;
};

}  // namespace

struct CXQDatabase::Impl {
    sqlite3* db = nullptr;
    std::map<std::string, sqlite3_stmt*> statements;
    std::unordered_map<sqlite3_stmt*, std::unique_ptr<LiteStmt>> neutral;
    // A practice on a server: its store, and the catalogue file beside it.
    std::unique_ptr<xq::PgStore> pg;
    std::unique_ptr<CXQDatabase> catalogue;
    // A catalogue file: the practice it serves, and only catalogue tables.
    CXQDatabase* practice = nullptr;
    // The catalogue file's change count when the outermost level began.
    int64_t changesAtBegin = 0;

    void FinalizeAll() {
        neutral.clear();
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

// The internal accessors' way to the connection's handle and state.
struct CXQDatabaseAccess {
    static CXQDatabase::Impl& Of(const CXQDatabase& db) { return *db.m_impl; }
    static bool Aborted(CXQDatabase& db) { return db.m_aborted; }
    static void Failed(CXQDatabase& db, int rc, const char* original) { db.Failed(rc, original); }
    static void SetError(CXQDatabase& db, const CString& reason) { db.m_lastError = reason; }
    static void Noted(CXQDatabase& db) { db.Aborted(); }
};

namespace {

CXQDatabase* ConnectionOf(sqlite3* handle) {
    for (CXQDatabase* connection : g_connections)
        if (CXQDatabaseAccess::Of(*connection).db == handle) return connection;
    return nullptr;
}

// The failure of a call on handle, noted on its connection.
int Noted(sqlite3* handle, int rc, bool simulated = false) {
    CXQDatabase* connection = handle ? ConnectionOf(handle) : nullptr;
    if (connection) {
        const char* text = simulated ? sqlite3_errstr(rc) : sqlite3_errmsg(handle);
        CXQDatabaseAccess::Failed(*connection, rc, text);
    }
    return rc;
}

}  // namespace

namespace xq {

CString Reason(int sqliteRc) {
    switch (sqliteRc) {
        case SQLITE_IOERR_NOMEM:
            return De("zu wenig Speicher");
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return De("Der Schlüssel ist schon vergeben");
        default:
            break;
    }
    switch (sqliteRc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_PROTOCOL:
            return De("Die Datenbank ist gesperrt");
        case SQLITE_READONLY:
            return De("Die Praxisdatenbank ist schreibgeschützt");
        case SQLITE_FULL:
            return De("Der Datenträger ist voll");
        case SQLITE_IOERR:
            return De("Lese- oder Schreibfehler der Datenbank");
        case SQLITE_NOMEM:
            return De("zu wenig Speicher");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return De("Die Datenbank ist beschädigt");
        case SQLITE_CONSTRAINT:
            return De("Der Datensatz verletzt eine Regel der Datenbank");
        case SQLITE_CANTOPEN:
            return De("Die Datenbankdatei kann nicht geöffnet oder angelegt werden");
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return De("Keine Berechtigung für die Datenbank");
        case SQLITE_INTERRUPT:
        case SQLITE_ABORT:
            return De("Der Datenbankzugriff wurde abgebrochen; die Änderungen sind verworfen");
        case SQLITE_TOOBIG:
            return De("Der Datensatz ist zu groß");
        case SQLITE_SCHEMA:
            return De("Der Aufbau der Datenbank hat sich geändert");
        default:
            return De("Interner Fehler der Datenbank (Code ") + FormatString("%d", sqliteRc) + ")";
    }
}

int Prepare(sqlite3* db, const std::string& sql, sqlite3_stmt** stmt) {
    *stmt = nullptr;
    if (FaultNow()) return Noted(db, SQLITE_IOERR, true);
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), stmt, nullptr);
    return rc == SQLITE_OK ? rc : Noted(db, rc);
}

int Step(sqlite3_stmt* stmt) {
    sqlite3* db = sqlite3_db_handle(stmt);
    if (FaultNow()) return Noted(db, SQLITE_IOERR, true);
    // After SQLite ended the transaction a write would commit on its own.
    if (g_abortedConnections > 0 && !sqlite3_stmt_readonly(stmt)) {
        CXQDatabase* connection = ConnectionOf(db);
        if (connection && CXQDatabaseAccess::Aborted(*connection)) return SQLITE_ABORT;
    }
    const int rc = sqlite3_step(stmt);
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? rc : Noted(db, rc);
}

int Exec(sqlite3* db, const char* sql) {
    if (FaultNow()) return Noted(db, SQLITE_IOERR, true);
    if (g_abortedConnections > 0) {
        CXQDatabase* connection = ConnectionOf(db);
        if (connection && CXQDatabaseAccess::Aborted(*connection) && ChangesDatabase(db, sql))
            return SQLITE_ABORT;
    }
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? rc : Noted(db, rc);
}

CString LastReason(CXQDatabase& db) {
    if (!db.LastError().IsEmpty() || !Handle(db)) return db.LastError();
    return Reason(sqlite3_extended_errcode(Handle(db)));
}

void Refused(CXQDatabase& db, int sqliteRc) {
    CXQDatabaseAccess::SetError(db, Reason(sqliteRc));
}

void NoteFailure(CXQDatabase& db, const CString& reason, const CString& original) {
    CXQDatabaseAccess::SetError(db, reason);
    XQLog(reason.GetString(), original);
    CXQDatabaseAccess::Noted(db);
}

bool IsServer(const CXQDatabase& db) {
    return CXQDatabaseAccess::Of(db).pg != nullptr;
}

CXQDatabase* CatalogueOf(CXQDatabase* db) {
    if (!db) return nullptr;
    CXQDatabase* catalogue = CXQDatabaseAccess::Of(*db).catalogue.get();
    return catalogue ? catalogue : db;
}

Stmt* Prepared(CXQDatabase& db, const std::string& sql) {
    auto& impl = CXQDatabaseAccess::Of(db);
    if (impl.pg) return impl.pg->Prepared(sql);
    sqlite3_stmt* stmt = impl.Statement(sql, nullptr);
    if (!stmt) return nullptr;
    std::unique_ptr<LiteStmt>& wrapper = impl.neutral[stmt];
    if (!wrapper) wrapper = std::make_unique<LiteStmt>(stmt);
    return wrapper.get();
}

int Run(CXQDatabase& db, const std::string& sql) {
    return db.ExecRaw(sql.c_str());
}

int64_t Changes(CXQDatabase& db) {
    auto& impl = CXQDatabaseAccess::Of(db);
    if (impl.pg) return impl.pg->Changes();
    return impl.db ? sqlite3_changes64(impl.db) : 0;
}

int64_t InsertedId(CXQDatabase& db) {
    auto& impl = CXQDatabaseAccess::Of(db);
    if (impl.pg) return impl.pg->InsertedId();
    return impl.db ? sqlite3_last_insert_rowid(impl.db) : 0;
}

WholeWrites::WholeWrites(CXQDatabase& db) : m_db(db), m_was(false) {
    auto& impl = CXQDatabaseAccess::Of(db);
    if (impl.pg) m_was = impl.pg->SetWholeWrites(true);
}

WholeWrites::~WholeWrites() {
    auto& impl = CXQDatabaseAccess::Of(m_db);
    if (impl.pg) impl.pg->SetWholeWrites(m_was);
}

void Bind(Stmt* stmt, int pos, const XQValue& value) {
    stmt->BindKey(pos, value);
}

int MirrorForCatalogue(CXQDatabase& catalogue, const XQTableDef& table, const char* keyColumn,
                       const XQValue& key) {
    CXQDatabase* practice = CXQDatabaseAccess::Of(catalogue).practice;
    if (!practice) return XQ_OK;
    std::string columns, keys, params;
    std::vector<const XQColumnDef*> keyed;
    for (const XQColumnDef& column : table.columns) {
        if (column.key == XQKeyForm::None) continue;
        columns += std::string(keyed.empty() ? "" : ",") + column.name;
        keys += (keyed.empty() ? "" : ",") + XQKeyColumn(column);
        params += keyed.empty() ? "?" : ",?";
        keyed.push_back(&column);
    }
    std::vector<std::vector<CString>> rows;
    {
        Stmt* read = Prepared(
            *practice, "SELECT " + columns + " FROM " + table.name + " WHERE " + keyColumn + "=?");
        if (!read) return XQ_READERR;
        StmtUse use(read);
        read->BindKey(1, key);
        int rc;
        while ((rc = read->Step()) == SQLITE_ROW) {
            rows.emplace_back();
            for (size_t i = 0; i < keyed.size(); ++i)
                rows.back().push_back(ColumnCp(read, static_cast<int>(i)));
        }
        if (rc != SQLITE_DONE) return XQ_READERR;
    }
    const std::string temp = std::string("temp.") + table.name;
    if (catalogue.ExecRaw(("CREATE TEMP TABLE IF NOT EXISTS " + std::string(table.name) + "(" +
                           keys + "); DELETE FROM " + temp)
                              .c_str()) != SQLITE_OK)
        return XQ_READERR;
    Stmt* insert =
        Prepared(catalogue, "INSERT INTO " + temp + "(" + keys + ") VALUES(" + params + ")");
    if (!insert) return XQ_READERR;
    for (const std::vector<CString>& row : rows) {
        StmtUse use(insert);
        for (size_t i = 0; i < keyed.size(); ++i)
            insert->BindKey(static_cast<int>(i + 1), XQKeyValue(keyed[i]->key, row[i]));
        if (insert->Step() != SQLITE_DONE) return XQ_READERR;
    }
    return XQ_OK;
}

}  // namespace xq

CXQDatabase::CXQDatabase() : m_impl(std::make_unique<Impl>()) {}

CXQDatabase::~CXQDatabase() {
    Close();
}

bool CXQDatabase::IsOpen() const {
    return m_impl->db != nullptr || m_impl->pg != nullptr;
}

bool CXQDatabase::IsServer() const {
    return m_impl->pg != nullptr;
}

const CString& CXQDatabase::LastError() const {
    if (m_lastError.IsEmpty() && m_impl->catalogue) return m_impl->catalogue->LastError();
    return m_lastError;
}

void CXQDatabase::ClearError() {
    m_lastError.Empty();
    if (m_impl->catalogue) m_impl->catalogue->ClearError();
}

void CXQDatabase::Close() {
    m_impl->pg.reset();
    m_impl->catalogue.reset();
    m_impl->FinalizeAll();
    if (m_impl->db) {
        std::erase(g_connections, this);
        sqlite3_close_v2(m_impl->db);
    }
    m_impl->db = nullptr;
    m_depth = 0;
    SetAborted(false);
    m_refusesWrites = false;
}

CXQDatabase* CXQDatabase::WriteTarget() {
    if (!IsOpen()) return nullptr;
    if (!m_readOnly) return this;
    CXQDatabase* target =
        m_writePartner && m_writePartner->IsOpen() ? m_writePartner->WriteTarget() : nullptr;
    if (!target) m_lastError = xq::Reason(SQLITE_READONLY);
    return target;
}

int CXQDatabase::ExecRaw(const char* sql) {
    if (m_impl->pg) {
        if (m_aborted) return SQLITE_ABORT;
        return m_impl->pg->Run(sql);
    }
    if (!m_impl->db) return SQLITE_MISUSE;
    return xq::Exec(m_impl->db, sql);
}

void CXQDatabase::Failed(int sqliteRc, const char* original) {
    m_lastError = xq::Reason(sqliteRc);
    XQLog(m_lastError.GetString(),
          Utf8ToCp1252(original ? original : "") + FormatString(" (SQLite %d)", sqliteRc));
    Aborted();
}

bool CXQDatabase::Aborted() {
    const bool ended = m_impl->pg ? m_impl->pg->TransactionLost()
                                  : m_impl->db && sqlite3_get_autocommit(m_impl->db);
    if (!m_aborted && m_depth > 0 && ended) {
        SetAborted(true);
        if (m_lastError.IsEmpty())
            m_lastError = xq::De("Die Datenbank hat die Änderungen verworfen");
    }
    return m_aborted;
}

void CXQDatabase::SetAborted(bool aborted) {
    if (aborted == m_aborted) return;
    m_aborted = aborted;
    g_abortedConnections += aborted ? 1 : -1;
}

int CXQDatabase::Open(const std::string& path, bool readOnly, CString* errorText) {
    return XQGuard("Datenbank \366ffnen", XQ_NODB, [&] {
        Close();
        m_path = path;
        m_readOnly = readOnly;
        // A file or folder that may not be written is read all the same, and
        // the connection refuses to write. Reading a WAL database needs its
        // index file beside it; where none can be made (a read-only folder
        // without a log of unfinished changes), the file is read as one that
        // nobody changes.
        namespace fs = std::filesystem;
        std::error_code ec;
        const std::string folder = fs::absolute(path, ec).parent_path().string();
        const bool exists = fs::exists(path, ec);
        const bool folderWritable = MayWrite(folder);
        if (!readOnly && exists && (!MayWrite(path) || !folderWritable)) {
            m_readOnly = true;
            m_refusesWrites = true;
        }
        int flags = m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        std::string name = path;
        if (m_readOnly && !folderWritable) {
            flags |= SQLITE_OPEN_URI;
            name = FileUri(path) + (fs::exists(path + "-wal", ec) ? "?mode=ro" : "?immutable=1");
        }
        const int rc = sqlite3_open_v2(name.c_str(), &m_impl->db, flags, nullptr);
        if (rc != SQLITE_OK) {
            m_lastError = xq::Reason(rc);
            XQLog(m_lastError.GetString(),
                  Utf8ToCp1252(m_impl->db ? sqlite3_errmsg(m_impl->db) : sqlite3_errstr(rc)));
            if (errorText)
                *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(path) +
                             xq::De(" konnte nicht geöffnet werden: ") + m_lastError + ".";
            Close();
            return XQ_NODB;
        }
        g_connections.push_back(this);
        const int status = Setup(m_readOnly, errorText);
        if (status != XQ_OK) Close();
        return status;
    });
}

int CXQDatabase::Setup(bool readOnly, CString* errorText) {
    auto fail = [&](const char* what) {
        if (errorText)
            *errorText = xq::De("Die Datenbank ") + Utf8ToCp1252(m_path) + xq::De(what) +
                         xq::LastReason(*this) + ".";
        return XQ_NODB;
    };
    m_lastError.Empty();
    sqlite3_extended_result_codes(m_impl->db, 1);
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
                *errorText =
                    xq::De("Die Datenbank ") + Utf8ToCp1252(m_path) +
                    xq::De(m_refusesWrites ? " ist schreibgeschützt und nicht eingerichtet."
                                           : " ist nicht eingerichtet.");
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
    bool stored = true;
    // Schema 5 added the long-term remedy marker to the ICD catalogue, which
    // came with schema 2.
    if (version >= 2 && version < 5) {
        bool has = false;
        if (sqlite3_stmt* stmt = m_impl->Statement(
                "SELECT 1 FROM pragma_table_info('icd') WHERE name='heilmittel'", nullptr)) {
            xq::StmtUse use(stmt);
            has = xq::Step(stmt) == SQLITE_ROW;
        }
        if (!has)
            stored = xq::Exec(m_impl->db,
                              "ALTER TABLE icd ADD COLUMN heilmittel TEXT NOT NULL "
                              "DEFAULT ''") == SQLITE_OK;
    }
    // Schema 6 has the catalogue's triggers count its changes: the old ones
    // make way for them.
    if (version >= 2 && version < 6)
        for (const char* trigger : {"icd_ai", "icd_ad", "icd_au"})
            stored =
                stored &&
                xq::Exec(m_impl->db, ("DROP TRIGGER IF EXISTS " + std::string(trigger)).c_str()) ==
                    SQLITE_OK;
    // A catalogue file beside a server practice holds the catalogues only.
    const bool catalogueOnly = m_impl->practice != nullptr;
    for (const XQTableDef* table : XQAllTables())
        if (!catalogueOnly || xq::IsCatalogue(*table))
            for (const std::string& sql : XQCreateSql(*table))
                stored = stored && xq::Exec(m_impl->db, sql.c_str()) == SQLITE_OK;
    // A database of an older program gets the texts this one added, and
    // keeps the ones it has.
    if (!catalogueOnly) stored = stored && xq::InstallDefaultStrings(*this, version > 0) == XQ_OK;
    const std::string setVersion = "PRAGMA user_version=" + std::to_string(XQ_SCHEMA_VERSION);
    stored = stored && xq::Exec(m_impl->db, setVersion.c_str()) == SQLITE_OK;
    if (!stored || Commit() != XQ_OK) {
        const int status = fail(" konnte nicht eingerichtet werden: ");
        Rollback();
        return status;
    }
    return XQ_OK;
}

int CXQDatabase::OpenServer(const CString& url, const std::string& cataloguePath, bool readOnly,
                            bool create, CString* errorText) {
    return XQGuard("Datenbankserver verbinden", XQ_NODB, [&] {
        Close();
        m_path = Cp1252ToUtf8(url.str());
        m_readOnly = readOnly;
        m_lastError.Empty();
        auto catalogue = std::make_unique<CXQDatabase>();
        catalogue->m_impl->practice = this;
        if (catalogue->Open(cataloguePath, readOnly, errorText) != XQ_OK) return XQ_NODB;
        auto pg = std::make_unique<xq::PgStore>(*this, readOnly);
        CString reason;
        if (pg->Connect(url, reason) != XQ_OK) {
            m_lastError = reason;
            if (errorText) *errorText = reason;
            return XQ_NODB;
        }
        m_impl->pg = std::move(pg);
        m_impl->catalogue = std::move(catalogue);
        const int status = SetupServer(create, errorText);
        if (status != XQ_OK) Close();
        return status;
    });
}

// The server keeps the schema version in a table of its own; the practice's
// write lock (Begin) keeps two workstations from setting up at once.
int CXQDatabase::SetupServer(bool create, CString* errorText) {
    const CString name = xq::De("Die Praxisdatenbank auf dem Server");
    auto fail = [&](const char* what) {
        if (errorText) *errorText = name + xq::De(what) + xq::LastReason(*this) + ".";
        return XQ_NODB;
    };
    auto refuse = [&](const CString& text) {
        if (errorText) *errorText = text;
        m_lastError = text;
        return XQ_NODB;
    };
    // 0: no practice tables; -1: unreadable.
    auto readVersion = [&] {
        int version = 0;
        for (const char* sql : {"SELECT to_regclass('q7schema') IS NOT NULL",
                                "SELECT coalesce(max(version), 0) FROM q7schema"}) {
            xq::Stmt* stmt = xq::Prepared(*this, sql);
            if (!stmt) return -1;
            xq::StmtUse use(stmt);
            if (stmt->Step() != SQLITE_ROW) return -1;
            version = static_cast<int>(stmt->Int(0));
            if (version == 0) break;
        }
        return version;
    };
    // Read without the write lock, so that a workstation starts while
    // another one writes; only setting up waits for it, and reads again.
    int version = readVersion();
    if (version < 0) return fail(" ist nicht lesbar: ");
    std::optional<CXQTransaction> tx;
    if (version != XQ_SCHEMA_VERSION && version <= XQ_SCHEMA_VERSION && (version > 0 || create) &&
        !m_readOnly) {
        tx.emplace(this);
        if (tx->Status() != XQ_OK) return fail(" kann gerade nicht eingerichtet werden: ");
        version = readVersion();
        if (version < 0) return fail(" ist nicht lesbar: ");
    }
    if (version > XQ_SCHEMA_VERSION)
        return refuse(name + xq::De(" stammt von einer neueren Programmversion (Schema ") +
                      FormatString("%d", version) + xq::De(", dieses Programm kennt bis ") +
                      FormatString("%d", XQ_SCHEMA_VERSION) +
                      xq::De("). Bitte das Programm aktualisieren."));
    if (version == 0 && !create)
        return refuse(name + xq::De(" ist nicht eingerichtet. Bitte einmal „q7host --db ") +
                      Utf8ToCp1252(m_path) + xq::De(" init“ aufrufen."));
    if (version == XQ_SCHEMA_VERSION)
        return tx && tx->Commit() != XQ_OK ? fail(" ist nicht lesbar: ") : XQ_OK;
    if (m_readOnly || !tx) return refuse(name + xq::De(" ist nicht eingerichtet."));
    if (version == 0) {
        // Texts travel as UTF-8; a database of another encoding would refuse
        // or alter the practice's characters.
        xq::Stmt* stmt = xq::Prepared(*this,
                                      "SELECT pg_encoding_to_char(encoding) FROM "
                                      "pg_database WHERE datname=current_database()");
        std::string encoding;
        if (stmt) {
            xq::StmtUse use(stmt);
            if (stmt->Step() == SQLITE_ROW) encoding = xq::ColumnUtf8(stmt, 0);
        }
        if (encoding.empty()) return fail(" ist nicht lesbar: ");
        if (encoding != "UTF8")
            return refuse(name + xq::De(" hat die Zeichenkodierung ") + Utf8ToCp1252(encoding) +
                          xq::De("; die Praxis braucht eine Datenbank mit UTF8 (createdb -E UTF8 "
                                 "-T template0 …)."));
    }
    bool stored = true;
    for (const XQTableDef* table : XQAllTables())
        if (!xq::IsCatalogue(*table))
            for (const std::string& sql : XQCreateSql(*table, true))
                stored = stored && m_impl->pg->Run(sql) == SQLITE_OK;
    stored = stored && m_impl->pg->Run(
                           "CREATE TABLE IF NOT EXISTS q7schema(version integer NOT "
                           "NULL); DELETE FROM q7schema; INSERT INTO q7schema "
                           "VALUES(" +
                           std::to_string(XQ_SCHEMA_VERSION) + ")") == SQLITE_OK;
    stored = stored && xq::InstallDefaultStrings(*this, version > 0) == XQ_OK;
    if (!stored || tx->Commit() != XQ_OK) return fail(" konnte nicht eingerichtet werden: ");
    return XQ_OK;
}

int CXQDatabase::Begin() {
    if (m_impl->pg) {
        if (Aborted()) return XQ_LOCKED;
        // The catalogue file keeps step with the practice's levels, so that
        // an import into it is one transaction as well.
        if (m_impl->catalogue->Begin() != XQ_OK) return XQ_LOCKED;
        if (m_depth == 0 && m_impl->catalogue->m_impl->db)
            m_impl->changesAtBegin = sqlite3_total_changes64(m_impl->catalogue->m_impl->db);
        if (m_impl->pg->Begin(m_depth) != SQLITE_OK) {
            m_impl->catalogue->Rollback();
            return XQ_LOCKED;
        }
        ++m_depth;
        return XQ_OK;
    }
    if (!m_impl->db) return XQ_NODB;
    if (m_refusesWrites) {
        xq::Refused(*this, SQLITE_READONLY);
        return XQ_LOCKED;
    }
    // A further level of a transaction SQLite has ended would start one of
    // its own, and commit what the outer levels take for rolled back.
    if (Aborted()) return XQ_LOCKED;
    std::string sql;
    if (m_depth == 0)
        // Immediate: the write lock is taken (waiting out the busy timeout)
        // before anything is read, so a later write cannot fail on a stale
        // snapshot. A read-only connection gets a read transaction.
        sql = m_readOnly ? "BEGIN" : "BEGIN IMMEDIATE";
    else
        sql = "SAVEPOINT xq" + std::to_string(m_depth);
    if (xq::Exec(m_impl->db, sql.c_str()) != SQLITE_OK) return XQ_LOCKED;
    ++m_depth;
    return XQ_OK;
}

void CXQDatabase::WritesTogether() {
    if (m_impl->pg && m_depth > 0) m_impl->pg->DeferWrites(m_depth);
}

int CXQDatabase::Commit() {
    if (m_impl->pg) {
        if (m_depth == 0) return XQ_NOTFOUND;
        if (Aborted()) return XQ_LOCKED;
        // A transaction writes to one of the two stores: the catalogue when
        // it imports one, else the practice. The other is committed first,
        // so that its failure stores nothing at all: both levels then wait
        // for the owner's Rollback.
        sqlite3* catalogue = m_impl->catalogue->m_impl->db;
        const bool catalogueWrote = m_depth == 1 && catalogue &&
                                    sqlite3_total_changes64(catalogue) != m_impl->changesAtBegin;
        if (!catalogueWrote && m_impl->catalogue->Commit() != XQ_OK) return XQ_LOCKED;
        if (m_impl->pg->Commit(m_depth) != SQLITE_OK) {
            Aborted();
            return XQ_LOCKED;
        }
        --m_depth;
        if (catalogueWrote && m_impl->catalogue->Commit() != XQ_OK) {
            m_impl->catalogue->Rollback();
            return XQ_LOCKED;
        }
        return XQ_OK;
    }
    if (!m_impl->db) return XQ_NODB;
    if (m_depth == 0) return XQ_NOTFOUND;
    if (Aborted()) return XQ_LOCKED;
    if (m_depth > 1) {
        std::string sql = "RELEASE xq" + std::to_string(m_depth - 1);
        if (xq::Exec(m_impl->db, sql.c_str()) != SQLITE_OK) return XQ_LOCKED;
        --m_depth;
        return XQ_OK;
    }
    if (xq::Exec(m_impl->db, "COMMIT") != SQLITE_OK) {
        // A failed commit may leave the transaction open: it is dropped, so
        // that the caller sees all or nothing, and the level waits for its
        // owner's Rollback like every level of an ended transaction.
        if (!sqlite3_get_autocommit(m_impl->db))
            sqlite3_exec(m_impl->db, "ROLLBACK", nullptr, nullptr, nullptr);
        Aborted();
        return XQ_LOCKED;
    }
    m_depth = 0;
    return XQ_OK;
}

int CXQDatabase::Rollback() {
    if (m_impl->pg) {
        if (m_depth == 0) return XQ_NOTFOUND;
        if (Aborted()) {
            if (--m_depth == 0) {
                m_impl->pg->Rollback(1);
                SetAborted(false);
            }
        } else {
            m_impl->pg->Rollback(m_depth);
            --m_depth;
        }
        if (m_impl->catalogue->TransactionDepth() > m_depth) m_impl->catalogue->Rollback();
        return XQ_OK;
    }
    if (!m_impl->db) return XQ_NODB;
    if (m_depth == 0) return XQ_NOTFOUND;
    if (Aborted()) {
        // Nothing is left to undo: the level only ends, and the last one
        // makes the connection fresh.
        if (--m_depth == 0) {
            if (!sqlite3_get_autocommit(m_impl->db))
                sqlite3_exec(m_impl->db, "ROLLBACK", nullptr, nullptr, nullptr);
            SetAborted(false);
        }
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

CXQTransaction::CXQTransaction(CXQDatabase* db, XQWrites writes)
    : m_db(db), m_status(db ? db->Begin() : XQ_NODB) {
    m_open = m_status == XQ_OK;
    if (m_open && writes == XQWrites::Together) m_db->WritesTogether();
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
    return XQOpenPracticeDatabase(homeDir, CString(), false, errorText);
}

int XQOpenPracticeDatabase(const std::string& homeDir, const CString& serverUrl, bool create,
                           CString* errorText) {
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
        const bool server = !serverUrl.IsEmpty();
        const std::string path =
            (std::filesystem::path(homeDir) / (server ? XQ_CATALOGUE_FILE : "praxis.db")).string();
        auto open = [&](CXQDatabase& db, bool readOnly) {
            return server ? db.OpenServer(serverUrl, path, readOnly, create && !readOnly, errorText)
                          : db.Open(path, readOnly, errorText);
        };
        auto rw = std::make_unique<CXQDatabase>();
        int status = open(*rw, false);
        if (status != XQ_OK) return status;
        auto ro = std::make_unique<CXQDatabase>();
        status = open(*ro, true);
        if (status != XQ_OK) return status;
        ro->SetWritePartner(rw.get());
        if (server) xq::CatalogueOf(ro.get())->SetWritePartner(xq::CatalogueOf(rw.get()));
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
