#pragma once
// One SQLite connection of the practice database, and the process-wide
// connections the host and the module work with.
#include <memory>
#include <string>

#include "host/base/CString.h"
#include "host/base/Export.h"
#include "host/db/XQStatus.h"

// Schema version written by this build (PRAGMA user_version). A database with
// a higher number comes from a newer program and is not opened; one with a
// lower number is brought up to date (3: the editor's new message texts; 4:
// the OPS catalogue's tables; 5: the long-term remedy marker of the ICD codes).
inline constexpr int XQ_SCHEMA_VERSION = 6;

class Q7HOST_API CXQDatabase {
  public:
    CXQDatabase();
    ~CXQDatabase();
    CXQDatabase(const CXQDatabase&) = delete;
    CXQDatabase& operator=(const CXQDatabase&) = delete;

    // Opens the file. Read-write creates it if needed and brings the schema up
    // to date; read-only requires an existing file. WAL journal, 5 s busy
    // timeout. errorText (Windows-1252, German) may be null. An existing file
    // that may not be written (or in a folder that may not be written) is
    // opened for reading all the same: the connection then refuses every
    // transaction and write with "Die Praxisdatenbank ist schreibgeschützt".
    int Open(const std::string& path, bool readOnly, CString* errorText = nullptr);
    // Connects to the practice database on a server (url as CXQPgConnection
    // takes it: "postgresql://user@host/database", the password from .pgpass
    // or PGPASSWORD). The published catalogues are kept beside it in the
    // workstation's SQLite file cataloguePath (made when read-write). A
    // server database without the practice's tables is set up only with
    // create; otherwise, as one of a newer program, it is refused with the
    // German reason and left as it is; an older one is brought up to date
    // (read-write). XQ_OK or XQ_NODB.
    int OpenServer(const CString& url, const std::string& cataloguePath, bool readOnly, bool create,
                   CString* errorText = nullptr);
    void Close();
    // True from a successful Open until Close; a server connection stays
    // open while the server is away (each call then fails with its reason,
    // and the first call after its return connects again).
    bool IsOpen() const;
    bool IsReadOnly() const { return m_readOnly; }
    bool IsServer() const;
    // The file, or the server's url.
    const std::string& Path() const { return m_path; }

    // Nesting-safe: the outermost Begin starts an immediate transaction, inner
    // ones set savepoints. Commit and Rollback end the innermost level.
    //
    // When SQLite ends the transaction itself (a write failing on a full
    // disk, an I/O error, too little memory, ...), every open level counts as
    // rolled back: a further Begin, a Commit at any level and every write
    // fail with XQ_LOCKED and the reason in LastError, so that nothing
    // commits on its own; each owner's Rollback ends its level, and at depth
    // 0 the connection is fresh again. A failed Commit leaves its level for
    // the owner's Rollback as well.
    int Begin();
    int Commit();
    int Rollback();
    int TransactionDepth() const { return m_depth; }
    // The writes of the innermost level, and of the levels inside it, may
    // reach the store together (on the server: at its end or with the next
    // statement, in one round trip): a write may then answer 0, and its
    // failure comes with a later statement or the level's Commit. For a
    // level that counts only as a whole.
    void WritesTogether();

    // A read-only connection may pass writes on to a read-write one (the
    // practice's dbDatabaseRO does, so that records opened on it can still be
    // stored). Without a partner a read-only connection refuses writes.
    void SetWritePartner(CXQDatabase* partner) { m_writePartner = partner; }
    // The connection writes go to, or null (the reason in LastError) when
    // writing is refused.
    CXQDatabase* WriteTarget();

    // The reason of the connection's last failed database call, in German
    // (Windows-1252): "Die Datenbank ist gesperrt", "Der Datenträger ist
    // voll", ...; empty while nothing failed since the last ClearError. The
    // original text of the database library goes to the host log only.
    // A practice on a server reports its catalogue file's errors here too.
    const CString& LastError() const;
    void ClearError();

    // Runs SQL without values; returns the SQLite result code (the server's
    // failures as the nearest SQLite code).
    int ExecRaw(const char* sql);

  private:
    // The connection's handle and its prepared statements: the record layer
    // reaches them through its internal accessors only (xq::Handle,
    // xq::Statement), so this header stays free of the database library.
    struct Impl;
    friend struct CXQDatabaseAccess;
    int Setup(bool readOnly, CString* errorText);
    int SetupServer(bool create, CString* errorText);
    // A failed SQLite call of this connection: the German reason, the
    // original text to the host log, and whether SQLite ended the transaction.
    void Failed(int sqliteRc, const char* original);
    // True (and every level rolled back) when SQLite has ended the open
    // transaction.
    bool Aborted();
    void SetAborted(bool aborted);

    std::unique_ptr<Impl> m_impl;
    bool m_readOnly = false;
    bool m_refusesWrites = false;  // opened read-write on a file that may not be written
    bool m_aborted = false;
    int m_depth = 0;
    std::string m_path;
    CXQDatabase* m_writePartner = nullptr;
    CString m_lastError;
};

// One level of transaction on a connection for the length of a scope: begun
// by the constructor, rolled back by the destructor unless Commit succeeded.
// Nests (an inner one is a savepoint). A null connection gives XQ_NODB.
//
//     CXQTransaction tx(dbDatabase);
//     if (tx.Status() != XQ_OK) return tx.Status();
//     ... writes, returning early on failure ...
//     return tx.Commit();
enum class XQWrites { OneByOne, Together };

class Q7HOST_API CXQTransaction {
  public:
    // Together: CXQDatabase::WritesTogether for the level.
    explicit CXQTransaction(CXQDatabase* db, XQWrites writes = XQWrites::OneByOne);
    ~CXQTransaction();
    CXQTransaction(const CXQTransaction&) = delete;
    CXQTransaction& operator=(const CXQTransaction&) = delete;

    // XQ_OK once begun, else the status of the failed Begin.
    int Status() const { return m_status; }
    // Ends the level with its changes kept; on failure the level is rolled
    // back and the status returned. Without a begun level the Begin status.
    int Commit();
    // Ends the level without its changes (what the destructor does too).
    void Rollback();

  private:
    CXQDatabase* m_db;
    int m_status;
    bool m_open = false;
};

// Read-write and read-only connection to the practice database.
extern Q7HOST_API CXQDatabase* dbDatabase;
extern Q7HOST_API CXQDatabase* dbDatabaseRO;
// Current physician, workstation number and practice.
extern Q7HOST_API CString dbMdId;
extern Q7HOST_API int dbLfdWorkstation;
extern Q7HOST_API CString dbPraxisId;

// Opens or creates homeDir/praxis.db (creating homeDir), both connections,
// and sets dbDatabase and dbDatabaseRO. A new database gets the default
// string table. Status 14 with a German errorText on failure, e.g. for a
// database of a newer program, which is left untouched.
Q7HOST_API int XQOpenPracticeDatabase(const std::string& homeDir, CString* errorText);
// The same for a practice on a server (serverUrl not empty): both
// connections to the server, the catalogues in homeDir/katalog.db. create
// sets up a server database that has no practice tables yet.
Q7HOST_API int XQOpenPracticeDatabase(const std::string& homeDir, const CString& serverUrl,
                                      bool create, CString* errorText);
// The file a practice on a server keeps its catalogues in, in the home folder.
inline constexpr const char* XQ_CATALOGUE_FILE = "katalog.db";
Q7HOST_API void XQClosePracticeDatabase();

// Copies the practice file homeDir/praxis.db into the empty practice
// database on the server at url, in one transaction, and its catalogues into
// homeDir/katalog.db; then compares the row counts of every table. report
// (Windows-1252, German) lists the tables and their rows. XQ_OK, or a status
// with the German reason in errorText and the server's database unchanged:
// XQ_NODB when either cannot be opened or the server already holds practice
// data, XQ_LOCKED when the copy failed.
Q7HOST_API int XQMigrateToServer(const std::string& homeDir, const CString& url, CString* report,
                                 CString* errorText);
