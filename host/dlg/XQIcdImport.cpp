// Reading the KBV ICD-10-GM master file, the remedies master file and the
// dental and certificate extract into the catalogue (CQIcd::ReadFromXMLFile).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/base/CString.h"
#include "host/base/HostContext.h"
#include "host/db/Icd.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/IcdInternal.h"
#include "host/db/internal/TsvInternal.h"
#include "host/dlg/XQMessages.h"
#include "host/xml/XQSax.h"

namespace {

using namespace xq;

// A code as the files write it ("A00.0", "A00.-", "M54.1+") in stored form,
// empty when it is none: a letter, two digits and at most two more, or the
// catalogue's placeholder "UUU".
std::string StoredCode(std::string code) {
    while (!code.empty() && std::strchr("*+!- \t", code.back())) code.pop_back();
    std::string stored;
    for (char c : code)
        if (c != '.' && c != ' ')
            stored += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stored == "UUU") return stored;
    if (stored.size() < 3 || stored.size() > 5 || !std::isalpha((unsigned char)stored[0]))
        return {};
    for (size_t i = 1; i < stored.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(stored[i]))) return {};
    return stored;
}

CString Quoted(const std::string& utf8) {
    return CString("\x84") + SAXContentHandlerImpl::W2S(utf8) + "\x93";
}

// The extract: the first field of each line that is a code.
bool ReadExtract(const CString& path, std::unordered_set<std::string>& codes, CString& error) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) {
        error = "Datei nicht lesbar: " + path;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::string field;
        while (std::getline(fields, field, ';')) {
            field.erase(std::remove(field.begin(), field.end(), '"'), field.end());
            std::string code = StoredCode(field);
            if (!code.empty()) {
                codes.insert(code);
                break;
            }
        }
    }
    if (in.bad()) {
        error = "Datei nicht lesbar (Lesefehler): " + path;
        return false;
    }
    return true;
}

// The remedies file: for each code with rows, whether one of them gives a
// long-term remedy need. A row bound to a KV region counts only in the
// practice's region (region 0: the practice has none, and such rows never
// count).
class HmvReader : public SAXContentHandlerImpl {
  public:
    explicit HmvReader(int region) : m_region(region) {}

    std::unordered_map<std::string, bool> lhm;

    void startElement(const std::string&, const std::string& local, const std::string&) override {
        const char* v = Attribute("V");
        if (local == "document_type_cd" && v && std::string(v) != "SDHMA")
            Refuse(CString("Keine Heilmittel-Stammdatei (Dokumenttyp ") + Quoted(v) + ")");
        if (local == "verordnungsbedarf") {
            m_code.clear();
            m_lhm = false;
            m_elsewhere = false;
        } else if (local == "geltungsbereich_kv" && m_inRow && v) {
            m_elsewhere = std::atoi(v) != m_region || m_region == 0;
        } else if (local == "icd_code" && m_inRow && v) {
            m_code = StoredCode(v);
        } else if (local == "anlage_heilmittelvereinbarung" && v) {
            m_lhm = m_lhm || std::string(v) == "LHM";
        }
        if (local == "verordnungsbedarf") m_inRow = true;
    }
    void endElement(const std::string&, const std::string& local, const std::string&) override {
        if (local != "verordnungsbedarf") return;
        m_inRow = false;
        if (!m_code.empty() && !m_elsewhere) lhm[m_code] = lhm[m_code] || m_lhm;
    }

    // Rows of a code apply to its subordinate codes without rows of their own.
    bool Has(const std::string& code) const {
        for (size_t n = code.size(); n >= 3; --n) {
            auto found = lhm.find(code.substr(0, n));
            if (found != lhm.end()) return found->second;
        }
        return false;
    }

  private:
    int m_region;
    bool m_inRow = false;
    std::string m_code;
    bool m_lhm = false;
    bool m_elsewhere = false;
};

// The KV region of the practice the host works for into region, 0 when the
// practice is not recorded; false when the practice could not be read.
bool PraxisRegion(CXQDatabase* db, int& region) {
    CQPraxis praxis(db);
    praxis.SetReadOnly(true);
    praxis.SetForwardOnly(true);
    praxis.Id = dbPraxisId;
    const int status = praxis.GetByK1(XQ_MATCH_EQUAL);
    region = status == XQ_OK ? std::atoi(praxis.KvRegion) : 0;
    return status == XQ_OK || status == XQ_NOTFOUND;
}

// The ICD master file, each row stored as soon as it is complete.
class IcdReader : public SAXContentHandlerImpl {
  public:
    IcdReader(CXQDatabase& db, const std::unordered_set<std::string>& extract, const HmvReader& hmv)
        : m_insert(db, XQTableIcd(), 512), m_extract(extract), m_hmv(hmv) {}

    int Finish() { return m_insert.Flush(); }
    bool Failed() const { return m_failed; }
    size_t Codes() const { return m_codes.size(); }

    void startElement(const std::string&, const std::string& local, const std::string&) override {
        const std::string parent = m_stack.empty() ? std::string() : m_stack.back();
        m_stack.push_back(local);
        const char* v = Attribute("V");
        const std::string value = v ? v : "";
        if (local == "document_type_cd") {
            if (value != "icd" && value != "ICD")
                Refuse(CString("Keine ICD-10-GM-Stammdatei (Dokumenttyp ") + Quoted(value) + ")");
        } else if (local == "service_tmr" && parent == "header") {
            m_year = value.substr(0, 4);
        } else if (local == "kapitel" && parent == "kapitel_liste") {
            m_chapter = {};
        } else if (local == "gruppe" && parent == "gruppen_liste") {
            m_group = {};
        } else if (local == "diagnose" && parent == "diagnosen_liste") {
            m_diag.emplace_back();
        } else if (parent == "kapitel") {
            if (local == "nummer") {
                const int n = std::atoi(value.c_str());
                if (n < 1 || n > 99) return Refuse("Ung\xFCltige Kapitelnummer " + Quoted(value));
                m_chapter.code = (n < 10 ? "0" : "") + std::to_string(n);
            } else if (local == "bezeichnung") {
                m_chapter.text = value;
                Store(ICD_EBENE_KAPITEL, m_chapter.code, m_chapter.text);
            }
        } else if (parent == "gruppe") {
            if (local == "von_icd_code") m_group.from = StoredCode(value);
            if (local == "bis_icd_code") m_group.to = StoredCode(value);
            if (local == "bezeichnung") {
                if (m_group.from.empty() || m_group.to.empty())
                    return Refuse("Gruppe ohne g\xFCltige Grenzen");
                m_group.code = m_group.from + "-" + m_group.to;
                Store(ICD_EBENE_GRUPPE, m_group.code, value);
            }
        } else if (parent == "diagnose" && !m_diag.empty()) {
            Diag& d = m_diag.back();
            if (local == "icd_code") {
                d.code = StoredCode(value);
                if (d.code.empty()) return Refuse("Ung\xFCltiger ICD-Code " + Quoted(value));
                if (!m_codes.insert(d.code).second)
                    return Refuse("Der ICD-Code " + Quoted(value) + " steht zweimal in der Datei");
                if (!value.empty() && (value.back() == '*' || value.back() == '+'))
                    d.notation = value.substr(value.size() - 1);
            } else if (local == "bezeichnung") {
                d.text = value;
            } else if (local == "notationskennzeichen") {
                d.notation = value;
            }
        } else if (m_diag.empty()) {
            return;
        } else if (local == "diagnosethesaurus" && parent == "diagnosethesaurus_liste") {
            m_diag.back().lines.push_back(value);
        } else if (local == "arztgruppe" && parent == "arztgruppen_liste" && !value.empty()) {
            if (value == "3")
                m_diag.back().hausarzt = true;
            else
                m_diag.back().groups.insert(value);
        } else if (local == "verschluesselungsanleitung_ref" && !value.empty()) {
            std::string id = value.substr(0, 8);
            id.resize(8, ' ');
            m_diag.back().va += id;
        }
        if (local == "diagnosen_liste" && parent == "diagnose" && m_diag.back().code.empty())
            Refuse("Diagnose ohne ICD-Code");
    }

    void endElement(const std::string&, const std::string& local, const std::string&) override {
        if (!m_stack.empty()) m_stack.pop_back();
        if (local != "diagnose" || m_diag.empty()) return;
        Diag d = std::move(m_diag.back());
        m_diag.pop_back();
        if (d.code.empty()) return Refuse("Diagnose ohne ICD-Code");
        if (m_group.code.empty())
            return Refuse(
                "Diagnose au\xDF"
                "erhalb einer Gruppe");
        const std::string sub = d.code.substr(0, 3);
        if (m_diag.empty() && d.code.size() == 3) Store(ICD_EBENE_UNTERGRUPPE, sub, d.text);
        Clear();
        Set(kIcdCode, d.code);
        Set(kIcdKapitel, m_chapter.code);
        Set(kIcdGruppe, m_group.code);
        Set(kIcdUntergruppe, sub);
        Set(kIcdText, d.text);
        Set(kIcdNotation, d.notation);
        if (m_extract.count(d.code)) Set(kIcdAuszug, "1");
        if (d.hausarzt) Set(kIcdHausarzt, "1");
        std::string groups;
        for (const std::string& g : d.groups) groups += (groups.empty() ? "" : ",") + g;
        if (!groups.empty()) Set(kIcdFacharzt, "1");
        Set(kIcdArztgruppen, groups);
        Set(kIcdVAKapitel, d.va);
        if (m_hmv.Has(d.code)) Set(kIcdHeilmittel, "LHM");
        Write();
        int lfd = 0;
        for (const std::string& line : d.lines) {
            Clear();
            Set(kIcdCode, d.code);
            Set(kIcdEbene, ICD_EBENE_THESAURUS);
            m_row[kIcdLfd].Set(FormatString("%3d", lfd++));
            Set(kIcdText, line);
            Write();
        }
        if (m_codes.size() % 500 == 0 &&
            !Q7UpdateProgressBox(20 + static_cast<int>(std::min<size_t>(75, m_codes.size() / 250))))
            Refuse("Vom Benutzer abgebrochen");
    }

    void endDocument() override {
        Clear();
        Set(kIcdCode, ICD_CODE_VERSION);
        Set(kIcdText, m_year.empty() ? "ICD-10-GM" : "ICD-10-GM " + m_year);
        Write();
    }

  private:
    struct Level {
        std::string code, from, to, text;
    };
    struct Diag {
        std::string code, text, notation, va;
        std::vector<std::string> lines;
        bool hausarzt = false;
        std::set<std::string> groups;
    };

    void Clear() {
        for (TsvValue& v : m_row) {
            v.cp.Empty();
            v.utf8.clear();
        }
    }
    // Values come from the parser in UTF-8, which is what the table keeps.
    void Set(int column, const std::string& utf8) {
        TsvValue& v = m_row[static_cast<size_t>(column)];
        v.utf8 = utf8;
        v.cp = SAXContentHandlerImpl::W2S(utf8);
    }
    void Store(const char* ebene, const std::string& code, const std::string& text) {
        if (m_chapter.code.empty()) return Refuse("Eintrag ohne Kapitelnummer");
        Clear();
        Set(kIcdCode, code);
        Set(kIcdEbene, ebene);
        Set(kIcdKapitel, m_chapter.code);
        if (*ebene != *ICD_EBENE_KAPITEL) Set(kIcdGruppe, m_group.code);
        if (*ebene == *ICD_EBENE_UNTERGRUPPE) Set(kIcdUntergruppe, code);
        Set(kIcdText, text);
        Write();
    }
    void Write() {
        if (!m_failed && m_insert.Insert(m_row) != XQ_OK) {
            m_failed = true;
            Refuse("Die Zeile kann nicht gespeichert werden");
        }
    }

    TsvInserter m_insert;
    const std::unordered_set<std::string>& m_extract;
    const HmvReader& m_hmv;
    std::vector<TsvValue> m_row = std::vector<TsvValue>(kIcdColumns);
    std::vector<std::string> m_stack;
    std::vector<Diag> m_diag;
    Level m_chapter, m_group;
    std::unordered_set<std::string> m_codes;
    std::string m_year;
    bool m_failed = false;
};

// Empties the catalogue. Row by row, the delete trigger would take each
// row's words out of the word indexes one at a time; they are emptied
// whole instead, and the trigger made anew with the table's other objects.
bool ClearCatalogue(CXQDatabase& db) {
    if (db.ExecRaw("DROP TRIGGER IF EXISTS icd_ad") != SQLITE_OK ||
        db.ExecRaw("DELETE FROM icd") != SQLITE_OK ||
        db.ExecRaw("UPDATE icdstamp SET n=n+1") != SQLITE_OK ||
        db.ExecRaw("INSERT INTO icd_text(icd_text) VALUES('delete-all')") != SQLITE_OK ||
        db.ExecRaw("INSERT INTO icd_thes(icd_thes) VALUES('delete-all')") != SQLITE_OK)
        return false;
    for (const std::string& sql : XQCreateSql(XQTableIcd()))
        if (db.ExecRaw(sql.c_str()) != SQLITE_OK) return false;
    return true;
}

int Fail(const CString& path, const CString& reason) {
    Q7CloseProgressBox();
    HaltEReason(0, "Die ICD-10-Stammdatei konnte nicht eingelesen werden:\n" + path, reason);
    return XQ_READERR;
}

}  // namespace

int CQIcd::ReadFromXMLFile(CXQDatabase* db, CWnd* /*parent*/, const CString& icdPath,
                           const CString& hmvPath, const CString& extractPath) {
    if (!db)
        return Fail(icdPath,
                    "Keine Datenbank ge\xF6"
                    "ffnet");
    Q7OpenProgressBox("ICD-10-Stammdatei wird eingelesen ...", 100);
    std::unordered_set<std::string> extract;
    CString error;
    if (!extractPath.IsEmpty() && !ReadExtract(extractPath, extract, error))
        return Fail(extractPath, error);
    Q7UpdateProgressBox(10);
    int region = 0;
    if (!hmvPath.IsEmpty() && !PraxisRegion(db, region)) return Fail(hmvPath, db->LastError());
    HmvReader hmv(region);
    if (!hmvPath.IsEmpty()) {
        CXQSAXReader reader;
        reader.putContentHandler(&hmv);
        if (!reader.parseURL(hmvPath)) return Fail(hmvPath, reader.ErrorText());
    }
    Q7UpdateProgressBox(20);
    // The catalogue's own transaction: a practice on a server keeps its
    // catalogue in the workstation's file, and the other workstations go on
    // writing meanwhile.
    CXQDatabase* practice = db;
    db = xq::CatalogueOf(practice);
    CXQTransaction tx(db);
    // The master file has no partner codes of dagger and asterisk codes: a
    // code that stays keeps the partner it had, so the secondary-code search
    // still finds it.
    if (tx.Status() != XQ_OK ||
        db->ExecRaw("DROP TABLE IF EXISTS temp.icd_partner_alt") != SQLITE_OK ||
        db->ExecRaw("CREATE TEMP TABLE icd_partner_alt AS SELECT code, partner FROM icd "
                    "WHERE ebene = '' AND partner <> ''") != SQLITE_OK ||
        !ClearCatalogue(*db))
        return Fail(icdPath, db->LastError());
    IcdReader icd(*db, extract, hmv);
    CXQSAXReader reader;
    reader.putContentHandler(&icd);
    const bool read = reader.parseURL(icdPath);
    if (icd.Failed() || (read && icd.Finish() != XQ_OK))
        return Fail(icdPath, reader.ErrorText() + ": " + db->LastError());
    if (!read) return Fail(icdPath, reader.ErrorText());
    if (icd.Codes() == 0) return Fail(icdPath, "Die Datei enth\xE4lt keinen ICD-Code");
    if (db->ExecRaw("UPDATE icd SET partner = (SELECT p.partner FROM icd_partner_alt p "
                    "WHERE p.code = icd.code) WHERE ebene = '' AND code IN "
                    "(SELECT code FROM icd_partner_alt)") != SQLITE_OK ||
        db->ExecRaw("DROP TABLE temp.icd_partner_alt") != SQLITE_OK)
        return Fail(icdPath, db->LastError());
    if (IcdMarkExtractRows(*db) != XQ_OK || tx.Commit() != XQ_OK)
        return Fail(icdPath, practice->LastError());
    Q7UpdateProgressBox(100);
    Q7CloseProgressBox();
    return XQ_OK;
}
