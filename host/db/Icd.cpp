#include "host/db/Icd.h"

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/internal/CatalogueSearch.h"
#include "host/db/internal/Favourites.h"
#include "host/db/internal/IcdIndex.h"
#include "host/db/internal/IcdInternal.h"
#include "host/db/internal/XQInternal.h"
#include "host/db/internal/XQTable.h"

namespace {

using xq::TextKey;
using xq::Utf8Text;

std::vector<CString*> IcdFields(CQIcd& r) {
    return {&r.Code,        &r.Ebene,    &r.Lfd,         &r.Kapitel,   &r.Gruppe,
            &r.Untergruppe, &r.Text,     &r.Notation,    &r.Partner,   &r.Auszug,
            &r.Hausarzt,    &r.Facharzt, &r.Arztgruppen, &r.VAKapitel, &r.Heilmittel};
}

using xq::IcdSearchCode;

using xq::WordQuery;

bool LongKeyWord(const CString& schlagwort) {
    return Trim(schlagwort).GetLength() >= ICD_SCHLAGWORT_MIN;
}

using xq::Where;

// Code rows of alias i; the version row is no code.
void CodeRows(Where& w) {
    w.Add("i.k_ebene=x''");
    w.Add("i.k_code<>?", TextKey(ICD_CODE_VERSION));
}

// The physician group: the stored list, blanks removed and framed by commas,
// holds the group code, or its umbrella ("13." for "13.1"); an umbrella
// filter holds every code of its subgroups.
void GroupFilter(Where& w, const CString& arztgruppe) {
    CString code = arztgruppe;
    code.Remove(' ');
    if (code.IsEmpty()) return;
    const std::string list = "(','||replace(i.arztgruppen,' ','')||',')";
    const std::string g = Cp1252ToUtf8(code.str());
    const size_t point = g.find('.');
    if (point == g.size() - 1) {
        w.Add("instr(" + list + ",?)>0", Utf8Text("," + g));
    } else if (point != std::string::npos) {
        w.Add("(instr(" + list + ",?)>0 OR instr(" + list + ",?)>0)", Utf8Text("," + g + ","),
              Utf8Text("," + g.substr(0, point + 1) + ","));
    } else {
        w.Add("instr(" + list + ",?)>0", Utf8Text("," + g + ","));
    }
}

// XQ_OK, or XQ_NODB when the practice's favourites or the patient's
// diagnoses could not be read for a catalogue kept apart from them.
int Filters(Where& w, CXQDatabase* db, bool favoriten, const CString& patientId, bool auszug,
            bool hausarzt, bool facharzt, const CString& arztgruppe) {
    if (favoriten) {
        const XQValue md = XQKeyValue(XQKeyForm::Number, dbMdId);
        if (!db || xq::MirrorForCatalogue(*db, XQTableIcdFav(), "k_mdid", md) != XQ_OK)
            return XQ_NODB;
        w.Add("i.k_code IN (SELECT k_code FROM icdfav WHERE k_mdid=?)", md);
    }
    if (!Trim(patientId).IsEmpty()) {
        const XQValue patient = XQKeyValue(XQKeyForm::Number, patientId);
        if (!db || xq::MirrorForCatalogue(*db, XQTableDiag(), "k_patient", patient) != XQ_OK)
            return XQ_NODB;
        w.Add("i.k_code IN (SELECT k_code FROM diag WHERE k_patient=?)", patient);
    }
    if (auszug) w.Add("i.auszug='1'");
    if (hausarzt) w.Add("i.hausarzt='1'");
    if (facharzt) {
        w.Add("i.facharzt='1'");
        GroupFilter(w, arztgruppe);
    }
    return XQ_OK;
}

// Code prefix as a range over the comparable form.
void CodePrefix(Where& w, const CString& code) {
    xq::PrefixRange(w, "i.k_code", TextKey(IcdSearchCode(code)));
}

void Places(Where& w, const CQIcd& r) {
    if (!r.Kapitel.IsEmpty()) w.Add("i.k_kapitel=?", TextKey(r.Kapitel));
    if (!r.Gruppe.IsEmpty()) w.Add("i.k_gruppe=?", TextKey(r.Gruppe));
    if (!r.Untergruppe.IsEmpty()) w.Add("i.k_untergruppe=?", TextKey(r.Untergruppe));
}

}  // namespace

// ---------------------------------------------------------------- CQIcd

CQIcd::CQIcd(CXQDatabase* db) : CXQRSet(db, XQTableIcd(), IcdFields(*this)) {}

namespace {

std::string CodeQuery(const Where& w) {
    return "SELECT i.rowid FROM icd i WHERE " + w.sql + " ORDER BY i.k_code";
}

}  // namespace

// The conditions besides the codes themselves, for a ranked search; empty
// when w holds no more than CodeRows.
std::string Restriction(const Where& w) {
    Where codes;
    CodeRows(codes);
    return w.sql == codes.sql ? std::string() : w.sql;
}

int CQIcd::GetForSuche(bool favoriten, const CString& patientId, bool auszug, bool hausarzt,
                       bool facharzt, const CString& arztgruppe) {
    return XQGuard("ICD-Suche", XQ_NODB, [&] {
        m_zeilen.clear();
        Where w;
        CodeRows(w);
        CodePrefix(w, Code);
        Places(w, *this);
        if (Filters(w, Database(), favoriten, patientId, auszug, hausarzt, facharzt, arztgruppe) !=
            XQ_OK) {
            EndQuery();
            return XQ_NODB;
        }
        if (xq::IcdHasSearchWords(Text))
            return Ranked(Text, static_cast<int>(xq::IcdFeld::Text), Restriction(w), w.values);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetForSucheOrThesaurus(const CString& schlagwort, bool favoriten,
                                  const CString& patientId, bool auszug, bool hausarzt,
                                  bool facharzt, const CString& arztgruppe) {
    return XQGuard("ICD-Suche", XQ_NODB, [&] {
        m_zeilen.clear();
        Where w;
        CodeRows(w);
        CodePrefix(w, Code);
        Places(w, *this);
        if (Filters(w, Database(), favoriten, patientId, auszug, hausarzt, facharzt, arztgruppe) !=
            XQ_OK) {
            EndQuery();
            return XQ_NODB;
        }
        if (LongKeyWord(schlagwort) && xq::IcdHasSearchWords(schlagwort))
            return Ranked(schlagwort, static_cast<int>(xq::IcdFeld::Beide), Restriction(w),
                          w.values);
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetByThesaurus(const CString& schlagwort, bool auszug, bool hausarzt, bool facharzt,
                          const CString& arztgruppe) {
    return XQGuard("ICD-Suche", XQ_NODB, [&] {
        m_zeilen.clear();
        if (!xq::IcdHasSearchWords(schlagwort)) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        CodeRows(w);
        if (Filters(w, Database(), false, "", auszug, hausarzt, facharzt, arztgruppe) != XQ_OK) {
            EndQuery();
            return XQ_NODB;
        }
        return Ranked(schlagwort, static_cast<int>(xq::IcdFeld::Schlagwort), Restriction(w),
                      w.values);
    });
}

int CQIcd::Ranked(const CString& typed, int feld, const std::string& filterSql,
                  const std::vector<XQValue>& values) {
    CXQDatabase* db = Database();
    if (!db || !db->IsOpen()) {
        EndQuery();
        return XQ_NODB;
    }
    std::vector<int64_t> allowed;
    if (!filterSql.empty()) {
        sqlite3_stmt* stmt = xq::Statement(
            *db, "SELECT i.rowid FROM icd i WHERE " + filterSql + " ORDER BY i.rowid");
        if (!stmt) {
            EndQuery();
            return XQ_NODB;
        }
        xq::StmtUse use(stmt);
        for (size_t i = 0; i < values.size(); ++i)
            xq::Bind(stmt, static_cast<int>(i) + 1, values[i]);
        int rc;
        while ((rc = xq::Step(stmt)) == SQLITE_ROW)
            allowed.push_back(sqlite3_column_int64(stmt, 0));
        if (rc != SQLITE_DONE) {
            EndQuery();
            return XQ_NODB;
        }
    }
    std::vector<xq::IcdTreffer> hits;
    if (xq::IcdRank(*db, typed, static_cast<xq::IcdFeld>(feld),
                    filterSql.empty() ? nullptr : &allowed, hits) != XQ_OK) {
        XQLog("ICD-Suche", xq::LastReason(*db));
        EndQuery();
        return XQ_NODB;
    }
    std::vector<int64_t> ids;
    ids.reserve(hits.size());
    for (const xq::IcdTreffer& h : hits) {
        ids.push_back(h.code);
        if (h.zeile) m_zeilen[h.code] = h.zeile;
    }
    return SetHits(std::move(ids));
}

void CQIcd::RowLoaded(int64_t id) {
    Fundtext.Empty();
    const auto it = m_zeilen.find(id);
    if (it == m_zeilen.end()) return;
    if (sqlite3_stmt* stmt = xq::Statement(*Database(), "SELECT text FROM icd WHERE rowid=?")) {
        xq::StmtUse use(stmt);
        sqlite3_bind_int64(stmt, 1, it->second);
        if (xq::Step(stmt) == SQLITE_ROW) Fundtext = xq::ColumnCp(stmt, 0);
    }
}

int CQIcd::GetByK1FilteredByFG(int matchMode, bool auszug, bool hausarzt, bool facharzt,
                               const CString& arztgruppe) {
    return XQGuard("ICD-Suche", XQ_NODB, [&] {
        if (matchMode != XQ_MATCH_EQUAL || Code.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("i.k_code=?", TextKey(Code));
        w.Add("i.k_ebene=?", TextKey(Ebene));
        w.Add("i.k_lfd=?", XQKeyValue(XQKeyForm::Number, Lfd));
        if (Filters(w, Database(), false, "", auszug, hausarzt, facharzt, arztgruppe) != XQ_OK) {
            EndQuery();
            return XQ_NODB;
        }
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetBySekundaerCode(const CString& primaerCode, bool auszug, bool hausarzt, bool facharzt,
                              const CString& arztgruppe) {
    return XQGuard("ICD-Suche", XQ_NODB, [&] {
        CString primary = IcdSearchCode(primaerCode);
        if (primary.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("i.partner=? AND i.ebene=''", Utf8Text(Cp1252ToUtf8(primary.str())));
        if (Filters(w, Database(), false, "", auszug, hausarzt, facharzt, arztgruppe) != XQ_OK) {
            EndQuery();
            return XQ_NODB;
        }
        return QueryIds(CodeQuery(w), w.values);
    });
}

int CQIcd::GetForThesaurus(const CString& code, const CString& schlagwort, bool auszug,
                           bool hausarzt, bool facharzt, const CString& arztgruppe) {
    return XQGuard("ICD-Thesaurus lesen", XQ_NODB, [&] {
        CString stored = IcdSearchCode(code);
        if (stored.IsEmpty()) {
            EndQuery();
            return XQ_NOTFOUND;
        }
        Where w;
        w.Add("t.k_code=? AND t.k_ebene=?", TextKey(stored), TextKey(ICD_EBENE_THESAURUS));
        std::string words = LongKeyWord(schlagwort) ? WordQuery(schlagwort) : std::string();
        if (!words.empty())
            w.Add("t.rowid IN (SELECT rowid FROM icd_thes WHERE icd_thes MATCH ?)",
                  Utf8Text(words));
        Where code;
        code.Add("i.k_code=t.k_code AND i.k_ebene=x''");
        // Without favourites or a patient nothing is read from the practice.
        Filters(code, nullptr, false, "", auszug, hausarzt, facharzt, arztgruppe);
        w.Add(code, "EXISTS(SELECT 1 FROM icd i WHERE ", ")");
        return QueryIds("SELECT t.rowid FROM icd t WHERE " + w.sql + " ORDER BY t.k_lfd, t.rowid",
                        w.values);
    });
}

CString CQIcd::AddPoint(const CString& code) {
    if (code.GetLength() <= 3 || code.Find('.') >= 0 || code.GetAt(0) == '$') return code;
    return code.Left(3) + "." + code.Mid(3);
}

CString CQIcd::RemovePoint(const CString& code) {
    CString stored = code;
    stored.Remove('.');
    stored.Trim();
    return stored;
}

bool CQIcd::HasFavoriten() {
    return XQGuard("ICD-Favoriten lesen", false, [] { return xq::HasFavourites("icdfav"); });
}

int CQIcd::AddToFavoriten(const CString& code) {
    return XQGuard("ICD-Favorit speichern", XQ_LOCKED,
                   [&] { return xq::AddFavourite<CQIcdFav>(IcdSearchCode(code)); });
}

int CQIcd::DelFromFavoriten(const CString& code) {
    return XQGuard("ICD-Favorit entfernen", XQ_LOCKED,
                   [&] { return xq::DelFavourite("icdfav", IcdSearchCode(code)); });
}

// ---------------------------------------------------------------- others

CQIcdFav::CQIcdFav(CXQDatabase* db) : CXQRSet(db, XQTableIcdFav(), {&MdId, &Code}) {}

CQDiag::CQDiag(CXQDatabase* db) : CXQRSet(db, XQTableDiag(), {&Patient, &Code}) {}

namespace xq {

CString IcdSearchCode(const CString& code) {
    CString c = code;
    c.Remove('.');
    c.Remove('-');
    c.Remove(' ');
    c.MakeUpper();
    return c;
}

}  // namespace xq
