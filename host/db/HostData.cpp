#include "host/db/HostData.h"

#include "host/base/XQGuard.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

// Text of (group, number); false when missing or unreadable.
bool FindString(int group, int number, CString& text) {
    CXQDatabase* db = xq::ReadDb();
    if (!db) return false;
    xq::Stmt* stmt = xq::Prepared(*db, "SELECT text FROM strings WHERE k_grp=? AND k_number=?");
    if (!stmt) return false;
    xq::StmtUse use(stmt);
    xq::Bind(stmt, 1, XQNumberKey(group));
    xq::Bind(stmt, 2, XQNumberKey(number));
    if (xq::Step(stmt) != SQLITE_ROW) return false;
    text = xq::ColumnCp(stmt, 0);
    return true;
}

struct DefaultString {
    int group;
    int number;
    const char* text;  // UTF-8 here, stored as such
};

const DefaultString kDefaults[] = {
    {6, 0, "Hinweis"},
    {39, 0, "Hinweis"},
    {6, 9000, "Bitte f\xC3\xBCllen Sie alle Pflichtfelder aus."},
    {6, 1, "Soll der Textbaustein wirklich gelöscht werden?"},
    {6, 10, "Die Systemparameterliste konnte nicht gelesen werden."},
    {6, 20, "Sollen die Änderungen verworfen werden?"},
    {6, 41, "Der Datensatz wurde geändert. Sollen die Änderungen gespeichert werden?"},
    {6, 3006, "Soll der neue Textbaustein verworfen werden?"},
    {6, 3007, "Das Kürzel „%s“ ist bereits vergeben. Bitte wählen Sie ein anderes."},
    {6, 3008,
     "Zeile %d ist %d Zeichen lang; in dieser Gruppe passen höchstens %d Zeichen in eine "
     "Zeile. Bitte kürzen Sie die Zeile."},
    {39, 33, "Der Datensatz konnte nicht gespeichert oder gelöscht werden."},
    {39, 7010,
     "Dieses Kürzel ist bereits vergeben. Soll der vorhandene Textbaustein angezeigt werden?"},
    {0, 7002, "(alle)"},
    {0, 7086, "für %s"},
    {0, 7089, "Die Textbausteinliste wird erstellt..."},
    {0, 7094, "Liste der Textbausteine"},
    {0, 8086, "Maximal %d Zeichen pro Zeile"},
};

}  // namespace

int GetSPEntries(const CString& list, std::vector<std::pair<CString, CString>>& entries) {
    return XQGuard("Systemparameter lesen", XQ_NODB, [&] {
        entries.clear();
        CXQDatabase* db = xq::ReadDb();
        if (!db) return XQ_NODB;
        xq::Stmt* stmt =
            xq::Prepared(*db, "SELECT code, text FROM sp WHERE k_list=? ORDER BY rowid");
        if (!stmt) return XQ_NODB;
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, XQKeyValue(XQKeyForm::Text, list));
        std::vector<std::pair<CString, CString>> found;
        int rc;
        while ((rc = xq::Step(stmt)) == SQLITE_ROW)
            found.emplace_back(xq::ColumnCp(stmt, 0), xq::ColumnCp(stmt, 1));
        if (rc != SQLITE_DONE) return XQ_NODB;
        entries.swap(found);
        return XQ_OK;
    });
}

CString LoadQ7String(int number) {
    return XQGuard("Text lesen", CString(), [&] {
        CString text;
        FindString(0, number, text);
        return text;
    });
}

CString GetQ7String(int group, int number) {
    return XQGuard("Meldungstext lesen", CString(), [&] {
        CString text;
        if (FindString(group, number, text)) return text;
        // The table unreadable (a server gone away): the text the practice
        // was set up with still says what went wrong.
        if (xq::ReadDb())
            for (const DefaultString& entry : kDefaults)
                if (entry.group == group && entry.number == number) return Utf8ToCp1252(entry.text);
        // Never blank: the user can at least quote the message number.
        return FormatString("Meldung %d/%d", group, number);
    });
}

CString GetQ7Text(const CString& textOrNumber) {
    return XQGuard("Text lesen", textOrNumber, [&] {
        const std::string& s = textOrNumber.str();
        bool number = !s.empty() && s.size() <= 9;
        for (char c : s) number = number && c >= '0' && c <= '9';
        if (!number) return textOrNumber;
        CString text;
        if (FindString(0, std::stoi(s), text)) return text;
        return textOrNumber;
    });
}

namespace xq {

int InstallDefaultStrings(CXQDatabase& db, bool onlyMissing) {
    CXQTransaction transaction(&db);
    if (transaction.Status() != XQ_OK) return XQ_LOCKED;
    const XQTableDef& table = XQTableStrings();
    for (const DefaultString& entry : kDefaults) {
        const char* sql = onlyMissing ? "SELECT count(*) FROM strings WHERE k_grp=? AND k_number=?"
                                      : "DELETE FROM strings WHERE k_grp=? AND k_number=?";
        Stmt* stmt = Prepared(db, sql);
        if (!stmt) return XQ_LOCKED;
        {
            StmtUse use(stmt);
            Bind(stmt, 1, XQNumberKey(entry.group));
            Bind(stmt, 2, XQNumberKey(entry.number));
            const int rc = Step(stmt);
            if (rc != (onlyMissing ? SQLITE_ROW : SQLITE_DONE)) return XQ_LOCKED;
            // A text the practice has already (perhaps its own wording) stays.
            if (onlyMissing && stmt->Int(0) > 0) continue;
        }
        CString group = FormatString("%d", entry.group);
        CString number = FormatString("%d", entry.number);
        CString text = Utf8ToCp1252(entry.text);
        if (XQInsertRow(db, table, {&group, &number, &text}) != XQ_OK) return XQ_LOCKED;
    }
    return transaction.Commit();
}

}  // namespace xq

int XQInstallDefaultStrings() {
    return XQGuard("Standardtexte schreiben", XQ_LOCKED, [] {
        if (!dbDatabase || !dbDatabase->IsOpen()) return XQ_NODB;
        return xq::InstallDefaultStrings(*dbDatabase);
    });
}
