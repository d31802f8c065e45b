#include "host/db/Records.h"

#include "host/base/XQGuard.h"
#include "host/db/internal/TsvInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

// ---------------------------------------------------------------- CQTb

CQTb::CQTb(CXQDatabase* db)
    : CXQRSet(db, XQTableTb(),
              {&Kuerzel, &Gruppe, &Untergruppe, &Beschreibung, &Einschraenkung, &Frei}) {}

CQTb_Fields CQTb::GetFields() const {
    return CQTb_Fields{Kuerzel, Gruppe, Untergruppe, Beschreibung, Einschraenkung, Frei};
}

void CQTb::SetFields(const CQTb_Fields& f) {
    Kuerzel = f.Kuerzel;
    Gruppe = f.Gruppe;
    Untergruppe = f.Untergruppe;
    Beschreibung = f.Beschreibung;
    Einschraenkung = f.Einschraenkung;
    Frei = f.Frei;
}

int CQTb::GetByKuerzel(int matchMode) {
    return XQGuard("Textbaustein suchen", XQ_NODB, [&] {
        if (matchMode != XQ_MATCH_FIELDS && matchMode != XQ_MATCH_KUERZEL) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        // Only which filters are set shapes the statement; their values are
        // bound, so each shape is prepared once.
        std::string where;
        std::vector<XQValue> values;
        const bool server = Database() && xq::IsServer(*Database());
        auto add = [&](const char* condition, XQValue value) {
            where += where.empty() ? " WHERE " : " AND ";
            where += condition;
            values.push_back(std::move(value));
        };
        if (!Kuerzel.IsEmpty()) {
            XQValue folded = XQFoldValue(Kuerzel);
            if (matchMode == XQ_MATCH_FIELDS) {
                add(server ? "position(? in f_kuerzel)>0" : "instr(f_kuerzel,?)>0", folded);
            } else {
                // Begins with: a range over the folded index, [prefix, prefix
                // with its last byte raised), then sorted by Kürzel.
                XQValue upper = folded;
                while (!upper.s.empty() && static_cast<unsigned char>(upper.s.back()) == 0xFF)
                    upper.s.pop_back();
                add("f_kuerzel>=?", folded);
                if (!upper.s.empty()) {
                    upper.s.back() = static_cast<char>(upper.s.back() + 1);
                    add("f_kuerzel<?", upper);
                }
            }
        }
        if (!Beschreibung.IsEmpty())
            add(server ? "position(? in f_beschreibung)>0" : "instr(f_beschreibung,?)>0",
                XQFoldValue(Beschreibung));
        // Unary + keeps the group index out of SQLite's plan: walking the
        // covering search index is faster than fetching every row of a group.
        if (!Gruppe.IsEmpty())
            add(server ? "k_gruppe=?" : "+k_gruppe=?", XQKeyValue(XQKeyForm::Text, Gruppe));
        if (!Untergruppe.IsEmpty())
            add(server ? "k_untergruppe=?" : "+k_untergruppe=?",
                XQKeyValue(XQKeyForm::Text, Untergruppe));
        std::string order = IsAscending(2) ? " ORDER BY k_kuerzel ASC" : " ORDER BY k_kuerzel DESC";
        return QueryIds("SELECT rowid FROM tb" + where + order, values);
    });
}

int CQTb::HasPrevNext(bool& hasPrev, bool& hasNext) {
    return XQGuard("Nachbarn des Textbausteins suchen", XQ_NODB, [&] {
        hasPrev = hasNext = false;
        CXQDatabase* db = Database();
        if (!db || !db->IsOpen()) return XQ_NODB;
        XQValue key = XQKeyValue(XQKeyForm::Text, Kuerzel);
        xq::Stmt* stmt = xq::Prepared(*db,
                                      "SELECT EXISTS(SELECT 1 FROM tb WHERE k_kuerzel<?1),"
                                      " EXISTS(SELECT 1 FROM tb WHERE k_kuerzel>?1)");
        if (!stmt) return XQ_NODB;
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, key);
        if (stmt->Step() != SQLITE_ROW) return XQ_NODB;
        hasPrev = stmt->Int(0) != 0;
        hasNext = stmt->Int(1) != 0;
        return XQ_OK;
    });
}

namespace {
const char* const kFavoritKind = "tb";
}

int CQTb::GetWsFavorit() {
    return XQGuard("Textbaustein-Favorit lesen", XQ_NODB, [&] {
        CQ7RSetEx favorit(Database());
        favorit.Workstation = FormatString("%d", dbLfdWorkstation);
        favorit.Kind = kFavoritKind;
        int status = favorit.GetByK1(XQ_MATCH_EQUAL);
        if (status != XQ_OK) return status;
        if (favorit.Value.IsEmpty()) return XQ_NOTFOUND;
        CQTb_Fields before = GetFields();
        Kuerzel = favorit.Value;
        status = GetByK2(XQ_MATCH_EQUAL);
        if (status != XQ_OK) SetFields(before);
        return status;
    });
}

int CQTb::PutWsFavorit() {
    return XQGuard("Textbaustein-Favorit speichern", XQ_LOCKED, [&] {
        CQ7RSetEx favorit(Database());
        favorit.Workstation = FormatString("%d", dbLfdWorkstation);
        favorit.Kind = kFavoritKind;
        int status = favorit.GetByK1(XQ_MATCH_EQUAL);
        if (status != XQ_OK && status != XQ_NOTFOUND) return status;
        favorit.Workstation = FormatString("%d", dbLfdWorkstation);
        favorit.Kind = kFavoritKind;
        favorit.Value = Kuerzel;
        return status == XQ_OK ? favorit.Rewrite() : favorit.Write();
    });
}

int CQTb::WriteOrUpdate() {
    return XQGuard("Textbaustein speichern", XQ_LOCKED, [&] {
        EndQuery();
        CXQDatabase* db = Database();
        if (!db || !db->IsOpen()) return XQ_NODB;
        CXQDatabase* writer = Writer();
        if (!writer) return XQ_LOCKED;
        return XQUpsertRow(*writer, XQTableTb(),
                           {&Kuerzel, &Gruppe, &Untergruppe, &Beschreibung, &Einschraenkung, &Frei},
                           2, {1, 2, 3});
    });
}

// ---------------------------------------------------------------- CQTbEntry

CQTbEntry::CQTbEntry(CXQDatabase* db)
    : CXQRSet(db, XQTableTbEntry(), {&KYKUERZEL, &LFDTBENTRY, &TBENTRY}) {}

CQTbEntry_Fields CQTbEntry::GetFields() const {
    return CQTbEntry_Fields{KYKUERZEL, LFDTBENTRY, TBENTRY};
}

void CQTbEntry::SetFields(const CQTbEntry_Fields& f) {
    KYKUERZEL = f.KYKUERZEL;
    LFDTBENTRY = f.LFDTBENTRY;
    TBENTRY = f.TBENTRY;
}

int CQTbEntry::DeleteAll() {
    return XQGuard("Textbausteinzeilen l\366schen", XQ_LOCKED, [&] {
        EndQuery();
        CXQDatabase* db = Database();
        if (!db || !db->IsOpen()) return XQ_NODB;
        CXQDatabase* writer = Writer();
        if (!writer) return XQ_LOCKED;
        xq::Stmt* stmt = xq::Prepared(*writer, "DELETE FROM tbentry WHERE k_kykuerzel=?");
        if (!stmt) return XQ_LOCKED;
        xq::StmtUse use(stmt);
        xq::Bind(stmt, 1, XQKeyValue(XQKeyForm::Text, KYKUERZEL));
        return stmt->Step() == SQLITE_DONE ? XQ_OK : XQ_LOCKED;
    });
}

int CQTbEntry::ReplaceAll(const std::vector<CQTbEntry_Fields>& lines) {
    return XQGuard("Textbausteinzeilen speichern", XQ_LOCKED, [&] {
        EndQuery();
        CXQDatabase* db = Database();
        if (!db || !db->IsOpen()) return XQ_NODB;
        CXQDatabase* writer = Writer();
        if (!writer) return XQ_LOCKED;
        // Whole or not at all; the lines go in one statement, as on the
        // server each statement is a round trip.
        CXQTransaction transaction(writer);
        if (transaction.Status() != XQ_OK) return XQ_LOCKED;
        if (const int status = DeleteAll(); status != XQ_OK) return status;
        if (!lines.empty()) {
            xq::TsvInserter inserter(*writer, XQTableTbEntry(), static_cast<int>(lines.size()));
            std::vector<xq::TsvValue> values(3);
            values[0].Set(KYKUERZEL);
            for (const CQTbEntry_Fields& line : lines) {
                values[1].Set(line.LFDTBENTRY);
                values[2].Set(line.TBENTRY);
                if (inserter.Insert(values) != XQ_OK) return XQ_LOCKED;
            }
            if (inserter.Flush() != XQ_OK) return XQ_LOCKED;
        }
        return transaction.Commit() == XQ_OK ? XQ_OK : XQ_LOCKED;
    });
}

// ---------------------------------------------------------------- the others

CQParPool::CQParPool(CXQDatabase* db) : CXQRSet(db, XQTableParPool(), {&Key1, &Key2, &Value}) {}

CQ7RSetEx::CQ7RSetEx(CXQDatabase* db)
    : CXQRSet(db, XQTableRSetEx(), {&Workstation, &Kind, &Value}) {}

CQGO::CQGO(CXQDatabase* db)
    : CXQRSet(db, XQTableGo(),
              {&Ausgabe, &Nummer, &Text, &TbKasse1, &TbKasse2, &TbPrivat1, &TbPrivat2}) {}

CQPat::CQPat(CXQDatabase* db)
    : CXQRSet(db, XQTablePat(), {&Nummer, &Name, &Vorname, &Geburtsdatum}) {}

CQFreiText::CQFreiText(CXQDatabase* db)
    : CXQRSet(db, XQTableFreiText(), {&F1, &F2, &F3, &F4, &F5, &F6, &F7, &F8, &F9, &F10}) {}

CQPraxis::CQPraxis(CXQDatabase* db) : CXQRSet(db, XQTablePraxis(), {&Id, &KvRegion, &Name}) {}

CQMandantAdr::CQMandantAdr(CXQDatabase* db)
    : CXQRSet(db, XQTableMandantAdr(), {&MdId, &Name, &Strasse, &Ort, &Fachgruppe}) {}

bool RenameTbVorschlag(CString& ref1, CString& ref2, const CString& oldKuerzel,
                       const CString& newKuerzel) {
    CString old = oldKuerzel;
    old.Trim();
    // An empty old Kürzel would match every unused reference.
    if (old.IsEmpty()) return false;
    bool changed = false;
    for (CString* ref : {&ref1, &ref2}) {
        CString value = *ref;
        value.Trim();
        if (value == old && *ref != newKuerzel) {
            *ref = newKuerzel;
            changed = true;
        }
    }
    return changed;
}
