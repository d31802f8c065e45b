// Moving a single-workstation practice onto the practice server.
#include <filesystem>

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::De;

int64_t CountRows(CXQDatabase& db, const char* table) {
    xq::Stmt* stmt = xq::Prepared(db, std::string("SELECT count(*) FROM ") + table);
    if (!stmt) return -1;
    xq::StmtUse use(stmt);
    return stmt->Step() == SQLITE_ROW ? stmt->Int(0) : -1;
}

// Copies every row of table from source to target in row id order (a
// list's entries keep their stored order), the comparable forms made anew
// for the target. The rows copied, or -1.
int64_t CopyRows(CXQDatabase& source, CXQDatabase& target, const XQTableDef& table) {
    std::string columns;
    for (size_t i = 0; i < table.columns.size(); ++i)
        columns += std::string(i ? "," : "") + table.columns[i].name;
    xq::Stmt* read =
        xq::Prepared(source, "SELECT " + columns + " FROM " + table.name + " ORDER BY rowid");
    if (!read) return -1;
    xq::StmtUse use(read);
    xq::TsvInserter insert(target, table, 256);
    std::vector<xq::TsvValue> row(table.columns.size());
    int64_t copied = 0;
    int rc;
    while ((rc = read->Step()) == SQLITE_ROW) {
        for (size_t i = 0; i < row.size(); ++i) {
            row[i].utf8 = read->Bytes(static_cast<int>(i));
            row[i].cp = Utf8ToCp1252(row[i].utf8);
        }
        if (insert.Insert(row) != XQ_OK) return -1;
        ++copied;
    }
    if (rc != SQLITE_DONE || insert.Flush() != XQ_OK) return -1;
    return copied;
}

}  // namespace

int XQMigrateToServer(const std::string& homeDir, const CString& url, CString* report,
                      CString* errorText) {
    CString dummy;
    CString& error = errorText ? *errorText : dummy;
    return XQGuard("Praxis auf den Server \374bernehmen", XQ_NODB, [&] {
        namespace fs = std::filesystem;
        const std::string file = (fs::path(homeDir) / "praxis.db").string();
        std::error_code ec;
        if (!fs::exists(file, ec)) {
            error = De("Die Praxisdatei ") + Utf8ToCp1252(file) + De(" gibt es nicht.");
            return XQ_NODB;
        }
        CXQDatabase source;
        if (source.Open(file, true, &error) != XQ_OK) return XQ_NODB;
        CXQDatabase target;
        const std::string catalogue = (fs::path(homeDir) / XQ_CATALOGUE_FILE).string();
        if (target.OpenServer(url, catalogue, false, true, &error) != XQ_OK) return XQ_NODB;
        CXQDatabase& targetCatalogue = *xq::CatalogueOf(&target);

        // Only into an empty practice: the message texts a new database
        // gets are the one exception, and give way to the practice's own.
        for (const XQTableDef* table : XQAllTables()) {
            if (xq::IsCatalogue(*table) || table == &XQTableStrings()) continue;
            const int64_t rows = CountRows(target, table->name);
            if (rows != 0) {
                error = rows < 0 ? De("Die Datenbank auf dem Server ist nicht lesbar: ") +
                                       xq::LastReason(target) + "."
                                 : De("Die Datenbank auf dem Server enthält schon Praxisdaten "
                                      "(Tabelle ") +
                                       table->name +
                                       De("). Übernommen wird nur in eine leere Datenbank.");
                return XQ_NODB;
            }
        }
        CXQTransaction tx(&target);
        // A row that cannot be stored fails the whole migration.
        xq::WholeWrites whole(target);
        if (tx.Status() != XQ_OK) {
            error = De("Die Übernahme konnte nicht beginnen: ") + xq::LastReason(target) + ".";
            return XQ_LOCKED;
        }
        CString lines;
        int64_t total = 0;
        for (const XQTableDef* table : XQAllTables()) {
            const bool isCatalogue = xq::IsCatalogue(*table);
            CXQDatabase& to = isCatalogue ? targetCatalogue : target;
            const bool replace = isCatalogue || table == &XQTableStrings();
            if (replace &&
                to.ExecRaw((std::string("DELETE FROM ") + table->name).c_str()) != SQLITE_OK) {
                error = De("Die Übernahme ist fehlgeschlagen: ") + xq::LastReason(to) +
                        De("; es wurden keine Praxisdaten übernommen.");
                return XQ_LOCKED;
            }
            const int64_t copied = CopyRows(source, to, *table);
            const int64_t stored = copied < 0 ? -1 : CountRows(to, table->name);
            const int64_t expected = CountRows(source, table->name);
            if (copied < 0 || stored != expected || copied != expected) {
                error = De("Die Übernahme der Tabelle ") + table->name +
                        De(" ist fehlgeschlagen: ") +
                        (copied < 0 ? xq::LastReason(to.LastError().IsEmpty() ? source : to)
                                    : FormatString("%lld Zeilen gelesen, %lld gespeichert",
                                                   static_cast<long long>(expected),
                                                   static_cast<long long>(stored))) +
                        De("; es wurden keine Praxisdaten übernommen.");
                return XQ_LOCKED;
            }
            total += copied;
            lines += FormatString("%-12s %8lld", table->name, static_cast<long long>(copied)) +
                     (isCatalogue ? De("  (Katalogdatei des Arbeitsplatzes)") : CString()) + "\n";
        }
        if (tx.Commit() != XQ_OK) {
            error = De("Die Übernahme konnte nicht abgeschlossen werden: ") +
                    xq::LastReason(target) + De("; es wurden keine Praxisdaten übernommen.");
            return XQ_LOCKED;
        }
        // The server plans its queries by what it knows of the tables; a
        // practice copied whole is worth telling it at once. Its failure
        // loses nothing: the server learns it by itself later.
        if (xq::Run(target, "ANALYZE") != SQLITE_OK)
            XQLog("Praxisserver", De("Statistik nach der Übernahme: ") + xq::LastReason(target));
        if (report)
            *report = lines + FormatString("%lld", static_cast<long long>(total)) +
                      De(" Zeilen übernommen; die Zeilenzahlen stimmen überein.\n");
        return XQ_OK;
    });
}
