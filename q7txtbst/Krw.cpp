#include "q7txtbst/Krw.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string_view>
#include <unordered_map>

#include "host/base/HostContext.h"
#include "host/base/XQFile.h"
#include "host/base/XQGuard.h"
#include "host/db/Records.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"

namespace {

// The data path once the host gave one; empty until then.
CString& RememberedDataPath() {
    static CString path;
    return path;
}

// The tags the body reader knows. The first column of a line never counts
// (the published files indent every element), and a line is used for one
// tag only, the first of the reader's order that it holds.
enum Tag : int {
    T_BODY_END,
    T_RULE,
    T_RULE_END,
    T_ID,
    T_SERVICE_TMR,
    T_BESCHREIBUNG,
    T_KURZ,
    T_KATEGORIE,
    T_QUELLE_LISTE,
    T_QUELLE_LISTE_END,
    T_QUELLE,
    T_QUELLE_END,
    T_THEMA,
    T_THEMA_LISTE,
    T_THEMA_LISTE_END,
    T_ANWENDUNG,
    T_BEZUG,
    T_BEZUG_END,
    T_ECHTZEIT_LISTE,
    T_ECHTZEIT_LISTE_END,
    T_ECHTZEIT,
    T_QUARTALE,
    T_GRUNDLAGE_LISTE,
    T_GRUNDLAGE_LISTE_END,
    T_GRUNDLAGE,
    T_BEDINGUNG,
    T_BEDINGUNG_END,
    T_PARAMETER,
    T_OPERATOR,
    T_EXISTENZ,
    T_VALUE_LISTE,
    T_VALUE_LISTE_END,
    T_VALUE,
    T_SUBBED,
    T_SUBBED_END,
    T_PRUEFUNG,
    T_PRUEFUNG_END,
    T_SUBPRUEF,
    T_SUBPRUEF_END,
    T_PRUEF_EXISTENZ,
    T_FEHLER,
    T_FEHLER_END,
    T_HINWEIS,
    T_VORSCHLAG,
    T_KORREKTUR,
    T_KORREKTUR_END,
    T_REGEL,
    T_SUBKORR,
    T_SUBKORR_END,
    T_COUNT
};
static_assert(T_COUNT <= 64, "one bit per tag");

constexpr const char* kTagText[T_COUNT] = {
    "</body>",
    "<kodierregel ",
    "</kodierregel>",
    "<id ",
    "<service_tmr ",
    "<beschreibung ",
    "<kurz_beschreibung ",
    "<regelkategorie ",
    "<regelquelle_liste>",
    "</regelquelle_liste>",
    "<regelquelle ",
    "</regelquelle>",
    "<regelthema ",
    "<regelthema_liste>",
    "</regelthema_liste>",
    "<regelanwendung ",
    "<bezugsraum ",
    "</bezugsraum>",
    "<echtzeitpruefung_liste>",
    "</echtzeitpruefung_liste>",
    "<echtzeitpruefung ",
    "<anzahl_quartale",
    "<pruefgrundlage_liste>",
    "</pruefgrundlage_liste>",
    "<pruefgrundlage ",
    "<bedingung>",
    "</bedingung>",
    "<parameter ",
    "<operator ",
    "<existenz ",
    "<value_liste>",
    "</value_liste>",
    "<value ",
    "<subbedingung>",
    "</subbedingung>",
    "<pruefung>",
    "</pruefung>",
    "<subpruefung>",
    "</subpruefung>",
    "<pruefung_existenz ",
    "<fehlerbehandlung>",
    "</fehlerbehandlung>",
    "<hinweis ",
    "<vorschlag ",
    "<korrektur>",
    "</korrektur>",
    "<regel ",
    "<subkorrektur>",
    "</subkorrektur>",
};

// Finds the tags of a line by looking only at its '<' positions: every tag
// begins with '<', so the first '<' where a tag stands is the tag's first
// occurrence. One pass over the line instead of a substring search per tag
// is what keeps a 20 MB edition fast.
class TagFinder {
  public:
    TagFinder() {
        for (int t = 0; t < T_COUNT; ++t) {
            std::string_view text = kTagText[t];
            const char last = text.back();
            if (last != ' ' && last != '>') continue;  // matched by prefix, below
            Entry& e = m_byName[text.substr(0, text.size() - 1)];
            (last == ' ' ? e.blank : e.close) = static_cast<signed char>(t);
        }
    }

    // Bit t set: tag t occurs in the line, first at a position > 0.
    uint64_t Find(const std::string& line) const {
        uint64_t seen = 0, found = 0;
        const char* const begin = line.data();
        const char* const end = begin + line.size();
        const char* p = begin;
        while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p))))) {
            const char* q = p + 1;
            if (q < end && *q == '/') ++q;
            const char* nameStart = q;
            while (q < end && ((*q >= 'a' && *q <= 'z') || *q == '_')) ++q;
            int tag = -1;
            if (q > nameStart) {
                if (nameStart == p + 1 && q - nameStart >= 15 &&
                    std::memcmp(nameStart, "anzahl_quartale", 15) == 0) {
                    tag = T_QUARTALE;
                } else if (q < end && (*q == ' ' || *q == '>')) {
                    auto it = m_byName.find(std::string_view(p, static_cast<size_t>(q - p)));
                    if (it != m_byName.end()) tag = *q == ' ' ? it->second.blank : it->second.close;
                }
            }
            if (tag >= 0) {
                const uint64_t bit = uint64_t(1) << tag;
                if (!(seen & bit)) {
                    seen |= bit;
                    if (p > begin) found |= bit;
                }
            }
            p = p + 1;
        }
        return found;
    }

  private:
    struct Entry {
        signed char blank = -1, close = -1;
    };
    std::unordered_map<std::string_view, Entry> m_byName;
};

const TagFinder& Tags() {
    static const TagFinder finder;
    return finder;
}

// The codes the check scheme holds for the values of the file.
char ParameterCode(const CString& v) {
    if (v == "ICD") return '1';
    if (v == "DS") return '2';
    if (v == "SL") return '3';
    return ' ';
}
char OperatorCode(const CString& v) {
    if (v == "AND") return '1';
    if (v == "OR") return '2';
    return ' ';
}
char ExistenzCode(const CString& v) {
    if (v == "FALSE") return '0';
    if (v == "TRUE") return '1';
    return ' ';
}
char RegelCode(const CString& v) {
    if (v == "ADD") return '1';
    if (v == "DELETE") return '2';
    if (v == "REPLACE") return '3';
    return ' ';
}

bool IsBlank(const CString& s) {
    for (char c : s.str())
        if (c != ' ') return false;
    return true;
}

size_t FindName(const std::string& line, const char* name) {
    return line.find(name);
}

void SkipBlanks(const std::string& s, size_t& pos) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void ReadDigits(const std::string& s, size_t& pos, unsigned& value) {
    while (pos < s.size() && IsDigit(s[pos]))
        value = value * 10 + static_cast<unsigned>(s[pos++] - '0');
}

// The body of one edition, line by line: the rule under construction, its
// list values (kept until the rule is stored, so a rule without an id takes
// them with it), and where in the nesting the reader stands.
class BodyReader {
  public:
    BodyReader(KrwRegelMap& regeln, KrwDetailMap& details) : m_regeln(regeln), m_details(details) {}

    // False once "</body>" was seen: the body is complete.
    // Whether the rules and values taken so far hold more than a reader
    // may keep: every value copies its rule's id, so a long id over many
    // short lines would otherwise turn a small file into gigabytes.
    bool Voll() const { return m_speicher > kMaxSpeicher; }
    static constexpr size_t kMaxSpeicher = 256u * 1024 * 1024;

    bool Line(const std::string& line) {
        const uint64_t found = Tags().Find(line);
        if (!found) return true;
        m_found = found;
        m_line = &line;
        return Dispatch();
    }

  private:
    bool Has(int tag) const { return (m_found >> tag) & 1; }
    CString V() const {
        CString value;
        CKrw::GetAttribute(*m_line, "V=", value);
        return value;
    }
    char FirstOfV() const { return V().GetAt(0); }
    void SetSchema(int pos, char code) { m_rec.pruefschema.SetAt(pos, code); }

    void ResetCounter() {
        m_zaehler = 0;
        m_quelle = 0;
    }
    void AddDetail(char art, const CString& text) {
        ++m_zaehler;
        KrwDetailEintrag e;
        e.regelId = m_rec.id;
        if (m_zaehler < 1000) {
            char z[3] = {' ', ' ', static_cast<char>('0' + m_zaehler % 10)};
            if (m_zaehler >= 10) z[1] = static_cast<char>('0' + m_zaehler / 10 % 10);
            if (m_zaehler >= 100) z[0] = static_cast<char>('0' + m_zaehler / 100);
            e.zaehler = CString(z, 3);
        } else {
            e.zaehler = FormatString("%3u", m_zaehler);
        }
        e.quelle = m_quelle;
        e.art = art;
        e.text = text;
        m_speicher += sizeof(KrwDetailEintrag) + 2 * sizeof(CString) + e.regelId.str().size() +
                      e.text.str().size();
        m_pending.push_back(std::move(e));
    }
    void Store() {
        if (!IsBlank(m_rec.id)) {
            auto [it, neu] = m_regeln.try_emplace(m_rec.id);
            if (neu) {
                m_speicher += sizeof(CMemKrw21) + 2 * sizeof(CString) + 2 * m_rec.id.str().size() +
                              m_rec.beschreibung.str().size() +
                              m_rec.kurzBeschreibung.str().size() + m_rec.hinweis.str().size() +
                              m_rec.vorschlag.str().size() + m_rec.pruefschema.str().size();
                it->second = std::move(m_rec);
            }
            for (KrwDetailEintrag& e : m_pending) {
                CString key = e.regelId + e.art + e.zaehler;
                m_details.emplace(std::move(key), std::move(e));
            }
        }
        m_pending.clear();
    }

    bool Dispatch();
    void Bedingung();
    void Pruefung();
    void Fehlerbehandlung();

    KrwRegelMap& m_regeln;
    KrwDetailMap& m_details;
    CMemKrw21 m_rec;
    std::vector<KrwDetailEintrag> m_pending;
    unsigned m_zaehler = 0;
    char m_quelle = 0;
    size_t m_speicher = 0;  // bytes taken, roughly, with the containers' share
    uint64_t m_found = 0;
    const std::string* m_line = nullptr;
    bool m_inRule = false, m_inQuelle = false, m_inQuartal = false, m_inEchtzeit = false,
         m_inGrundlage = false, m_inBedingung = false, m_inSubBed = false, m_inPruefung = false,
         m_inSubPruef = false, m_inValueListe = false, m_inFehler = false, m_inKorrektur = false,
         m_inSubKorr = false;
};

bool BodyReader::Dispatch() {
    if (Has(T_BODY_END)) {
        Store();
        return false;
    }
    if (Has(T_RULE)) {
        m_inRule = true;
        return true;
    }
    if (Has(T_RULE_END)) {
        m_inRule = false;
        Store();
        m_rec = CMemKrw21();
        return true;
    }
    if (!m_inRule) return true;

    if (Has(T_ID)) {
        m_rec.id = V();
        return true;
    }
    if (Has(T_SERVICE_TMR)) {
        CKrw::GetAttributePeriod(*m_line, "V=", m_rec.gueltigVon, m_rec.gueltigBis);
        return true;
    }
    if (Has(T_BESCHREIBUNG)) {
        m_rec.beschreibung = V();
        return true;
    }
    if (Has(T_KURZ)) {
        m_rec.kurzBeschreibung = V();
        return true;
    }
    if (Has(T_KATEGORIE)) {
        m_rec.regelkategorie = FirstOfV();
        return true;
    }

    if (Has(T_QUELLE_LISTE)) {
        m_inQuelle = true;
        return true;
    }
    if (Has(T_QUELLE_LISTE_END)) {
        m_inQuelle = false;
        ResetCounter();
        return true;
    }
    if (m_inQuelle) {
        if (Has(T_QUELLE)) {
            m_quelle = FirstOfV();
        } else if (!Has(T_QUELLE_END) && Has(T_THEMA)) {
            CString dn;
            CKrw::GetAttribute(*m_line, "DN=", dn);
            AddDetail(KRW_THEMA, V() + "|" + dn);
        }
        return true;
    }

    if (Has(T_ANWENDUNG)) {
        m_rec.regelanwendung = FirstOfV();
        return true;
    }
    if (Has(T_BEZUG)) {
        const CString v = V();
        if (v == "7") {
            m_rec.bezugsraum = '1';
        } else if (v == "21") {
            m_rec.bezugsraum = '2';
            m_inQuartal = true;
        }
        return true;
    }
    if (Has(T_BEZUG_END)) {
        m_inQuartal = false;
        return true;
    }

    if (Has(T_ECHTZEIT_LISTE)) {
        m_inEchtzeit = true;
        return true;
    }
    if (Has(T_ECHTZEIT_LISTE_END)) {
        m_inEchtzeit = false;
        ResetCounter();
        return true;
    }
    if (m_inEchtzeit) {
        if (Has(T_ECHTZEIT)) {
            const CString v = V();
            AddDetail(KRW_ECHTZEIT, v);
            // The file's order (coding, billing, selectable) is not the
            // order of the codes kept in memory.
            const char code = v == "1" ? '1' : v == "3" ? '2' : v == "2" ? '3' : '0';
            m_rec.echtzeitpruefungDatei = code;
            m_rec.echtzeitpruefung = code;
        }
        return true;
    }

    if (m_inQuartal) {
        if (Has(T_QUARTALE)) {
            unsigned n = 0;
            CKrw::GetAttributeNumber(*m_line, "V=", n);
            m_rec.anzahlQuartale = static_cast<int>(n);
        }
        return true;
    }

    if (Has(T_GRUNDLAGE_LISTE)) {
        m_inGrundlage = true;
        return true;
    }
    if (Has(T_GRUNDLAGE_LISTE_END)) {
        m_inGrundlage = false;
        ResetCounter();
        return true;
    }
    if (m_inGrundlage) {
        if (Has(T_GRUNDLAGE)) AddDetail(KRW_PRUEFGRUNDLAGE, V());
        return true;
    }

    if (Has(T_BEDINGUNG)) {
        m_inBedingung = true;
        return true;
    }
    if (Has(T_BEDINGUNG_END)) {
        m_inBedingung = m_inSubBed = m_inValueListe = false;
        ResetCounter();
        return true;
    }
    if (m_inBedingung) {
        Bedingung();
        return true;
    }

    if (Has(T_PRUEFUNG)) {
        m_inPruefung = true;
        return true;
    }
    if (Has(T_PRUEFUNG_END)) {
        m_inPruefung = m_inSubPruef = m_inValueListe = false;
        ResetCounter();
        return true;
    }
    if (m_inPruefung) {
        Pruefung();
        return true;
    }

    if (Has(T_FEHLER)) {
        m_inFehler = true;
        return true;
    }
    if (Has(T_FEHLER_END)) {
        m_inFehler = m_inKorrektur = m_inSubKorr = false;
        ResetCounter();
        return true;
    }
    if (m_inFehler) Fehlerbehandlung();
    return true;
}

void BodyReader::Bedingung() {
    const int base = m_inSubBed ? 3 : 0;
    if (Has(T_PARAMETER)) {
        SetSchema(base, ParameterCode(V()));
    } else if (Has(T_OPERATOR)) {
        SetSchema(base + 1, OperatorCode(V()));
    } else if (Has(T_EXISTENZ)) {
        SetSchema(base + 2, ExistenzCode(V()));
    } else if (Has(T_VALUE_LISTE)) {
        m_inValueListe = true;
    } else if (Has(T_VALUE_LISTE_END)) {
        m_inValueListe = false;
        ResetCounter();
    } else if (Has(T_VALUE)) {
        if (m_inValueListe) AddDetail(m_inSubBed ? KRW_SUBBEDINGUNG : KRW_BEDINGUNG, V());
    } else if (Has(T_SUBBED)) {
        m_inSubBed = true;
    } else if (Has(T_SUBBED_END)) {
        m_inSubBed = m_inValueListe = false;
        ResetCounter();
    }
}

void BodyReader::Pruefung() {
    const int base = m_inSubPruef ? 9 : 6;
    if (Has(T_PARAMETER)) {
        SetSchema(base, ParameterCode(V()));
    } else if (Has(T_OPERATOR)) {
        SetSchema(base + 1, OperatorCode(V()));
    } else if (Has(T_EXISTENZ)) {
        SetSchema(base + 2, ExistenzCode(V()));
    } else if (Has(T_VALUE_LISTE)) {
        m_inValueListe = true;
    } else if (Has(T_VALUE_LISTE_END)) {
        m_inValueListe = false;
        ResetCounter();
    } else if (Has(T_VALUE)) {
        if (m_inValueListe) AddDetail(m_inSubPruef ? KRW_SUBPRUEFUNG : KRW_PRUEFUNG, V());
    } else if (Has(T_SUBPRUEF)) {
        m_inSubPruef = true;
    } else if (Has(T_SUBPRUEF_END)) {
        m_inSubPruef = m_inValueListe = false;
        ResetCounter();
    } else if (Has(T_PRUEF_EXISTENZ)) {
        SetSchema(15, ExistenzCode(V()));
    }
}

void BodyReader::Fehlerbehandlung() {
    if (Has(T_HINWEIS)) {
        m_rec.hinweis = V();
    } else if (Has(T_VORSCHLAG)) {
        m_rec.vorschlag = V();
    } else if (Has(T_KORREKTUR)) {
        m_inKorrektur = true;
    } else if (Has(T_KORREKTUR_END)) {
        m_inKorrektur = m_inSubKorr = false;
        ResetCounter();
    } else if (m_inKorrektur) {
        // A value list around the corrections is allowed and means nothing:
        // the correction and its sub-correction count on through it.
        if (Has(T_PARAMETER)) {
            SetSchema(m_inSubKorr ? 14 : 12, ParameterCode(V()));
        } else if (Has(T_REGEL)) {
            SetSchema(13, RegelCode(V()));
        } else if (Has(T_VALUE)) {
            AddDetail(m_inSubKorr ? KRW_SUBKORREKTUR : KRW_KORREKTUR, V());
        } else if (Has(T_VALUE_LISTE) || Has(T_VALUE_LISTE_END)) {
        } else if (Has(T_SUBKORR)) {
            m_inSubKorr = true;
        } else if (Has(T_SUBKORR_END)) {
            m_inSubKorr = false;
            ResetCounter();
        }
    }
}

// The practice's stored settings laid over the rules: one query for all of
// them rather than one per rule, since an edition holds thousands of rules
// and a practice changes few.
void Overlay(KrwRegelMap& regeln) {
    if (!dbDatabaseRO || regeln.empty()) return;
    CQParPool par(dbDatabaseRO);
    par.SetReadOnly(true);
    par.SetForwardOnly(true);
    par.Key1 = " 29";
    if (par.GetByK1(XQ_MATCH_FIELDS) != XQ_OK) return;
    do {
        if (par.Key2.GetAt(0) != 'k') continue;
        auto it = regeln.find(par.Key2.Mid(1));
        if (it == regeln.end()) continue;
        CMemKrw21& r = it->second;
        const CString& v = par.Value;
        // A missing character reads as blank: it replaces nothing.
        const char anwendung = v.GetAt(0), status = v.GetAt(1), echtzeit = v.GetAt(2);
        if (static_cast<unsigned char>(anwendung) > ' ') r.regelanwendung = anwendung;
        if (static_cast<unsigned char>(status) > ' ') {
            r.statusGeaendert = r.status != status;
            r.status = status;
        }
        if (static_cast<unsigned char>(echtzeit) > ' ') {
            r.echtzeitpruefung = echtzeit;
            r.bezugGeaendert = r.echtzeitpruefung != r.echtzeitpruefungDatei;
        }
    } while (par.Next() == XQ_OK);
}

void LogStop(const CString& name, long long zeile, const CString& reason) {
    XQLog("Kodierregeln lesen", "Die Kodierregel-Stammdatei \x84" + name + "\x93 ist ab Zeile " +
                                    FormatString("%lld", zeile) + " unvollst\344ndig: " + reason);
}

}  // namespace

bool CKrw::GetKbvPath(CString& folder) {
    CString& path = RememberedDataPath();
    if (path.IsEmpty()) path = GetQ7DataROPath();
    if (path.IsEmpty()) return false;
    folder = path + "Kbv\\";
    return true;
}

void CKrw::ForgetKbvPath() {
    RememberedDataPath().Empty();
}

void CKrw::FindKrwFiles(const CString& folder, CString& pattern) {
    dateien.clear();
    unsigned best[5] = {0, 0, 0, 0, 0};  // major, minor, year, quarter, number
    CString bestName;
    for (const CString& name : XQListFiles(folder, pattern)) {
        unsigned n[5] = {0, 0, 0, 0, 0};
        int pos = 4;
        const int skip[5] = {0, 1, 7, 1, 3};
        bool ok = true;
        for (int i = 0; i < 5 && ok; ++i) {
            pos += skip[i];
            ok = ParseNumber(name, pos, n[i]);
        }
        if (!ok) continue;
        dateien[FormatString("%02u%01u%02u%03u%02u", n[2], n[3], n[0], n[1], n[4])] = name;
        bool better = false;
        for (int i = 0; i < 5; ++i) {
            if (n[i] != best[i]) {
                better = n[i] > best[i];
                break;
            }
            if (i == 4) better = true;  // all equal: the later found name wins
        }
        if (better) {
            std::copy(n, n + 5, best);
            bestName = name;
        }
    }
    pattern = folder + (best[2] != 0 ? bestName : pattern);
}

bool CKrw::ReadKrw(bool newest) {
    kopfText.Empty();
    CString folder;
    bool kopf = false, body = false;
    if (GetKbvPath(folder)) {
        CString path = kMuster;
        FindKrwFiles(folder, path);
        CString name;
        if (newest) {
            name = path.Mid(folder.GetLength());
        } else {
            if (dateien.size() < 2) return false;
            auto last = dateien.rbegin();
            auto before = std::next(last);
            if (last->first.Mid(5, 5) != before->first.Mid(5, 5)) return false;
            name = before->second;
            path = folder + name;
        }
        if (path.Find("_1.40_") < 0) return false;

        CXQFile file;
        if (!file.Open(path)) {
            XQLog("Kodierregeln lesen", file.ErrorText());
        } else if (regeln && details) {
            long long zeile = 0;
            CString line;
            bool zuLang = false;
            CString reason;
            long long stop = 0;  // the line where reading stopped
            while (!kopf) {
                if (!ReadLine(file, line, &zuLang)) break;
                ++zeile;
                kopfText += line;
                if (kopfText.GetLength() > kMaxZeile) {
                    reason = "der Kopf ist l\344nger als 1 MiB";
                    stop = zeile;
                    break;
                }
                StripNamespacePrefix(line);
                const size_t at = line.str().find("</header>");
                kopf = at != std::string::npos && at > 0;
            }
            if (kopf) {
                BodyReader reader(*regeln, *details);
                while (!body) {
                    if (!ReadLine(file, line, &zuLang)) break;
                    ++zeile;
                    StripNamespacePrefix(line);
                    RemoveBlankAfterComma(line);
                    body = !reader.Line(line.str());
                    if (!body && reader.Voll()) {
                        reason = "die Regeln belegen mehr als 256 MiB Speicher";
                        stop = zeile;
                        break;
                    }
                }
            }
            if (!body) {
                if (!reason.IsEmpty()) {
                } else if (zuLang) {
                    reason = "die Zeile ist l\344nger als 1 MiB";
                } else if (file.Failed()) {
                    reason = file.ErrorText();
                } else {
                    reason = kopf ? "die Datei endet vor dem Ende der Regeln (</body>)"
                                  : "die Datei endet vor dem Ende des Kopfes (</header>)";
                }
                LogStop(name, stop ? stop : zeile + 1, reason);
            }
        }
    }
    if (regeln) Overlay(*regeln);
    return kopf && body;
}

void CKrw::DiffKrw(KrwRegelMap& neueRegeln, KrwDetailMap& neueDetails, KrwRegelMap& alteRegeln,
                   KrwDetailMap& alteDetails) {
    KrwRegelMap* const ownerRegeln = regeln;
    KrwDetailMap* const ownerDetails = details;
    KrwRegelMap regelnA, regelnB;
    KrwDetailMap detailsA, detailsB;
    regeln = &regelnA;
    details = &detailsA;
    bool ok = ReadKrw(true);
    if (ok) {
        regeln = &regelnB;
        details = &detailsB;
        ok = ReadKrw(false);
    }
    regeln = ownerRegeln;
    details = ownerDetails;
    if (!ok) return;

    // The rules of one edition that the other lacks, with their values. An
    // entry belongs to a rule by its rule id, so rule "A1" does not take the
    // values of rule "A12" that follow its own in key order.
    const auto copyMissing = [](const KrwRegelMap& von, const KrwDetailMap& vonDetails,
                                const KrwRegelMap& gegen, KrwRegelMap& zielRegeln,
                                KrwDetailMap& zielDetails) {
        for (const auto& [id, regel] : von) {
            if (gegen.count(id)) continue;
            zielRegeln.emplace(id, regel);
            for (auto it = vonDetails.lower_bound(id);
                 it != vonDetails.end() && it->first.str().starts_with(id.str()); ++it)
                if (it->second.regelId == id) zielDetails.emplace(it->first, it->second);
        }
    };
    copyMissing(regelnA, detailsA, regelnB, neueRegeln, neueDetails);
    copyMissing(regelnB, detailsB, regelnA, alteRegeln, alteDetails);
}

void CKrw::GetAttribute(const CString& line, const char* name, CString& value) {
    value.Empty();
    const std::string& s = line.str();
    size_t pos = FindName(s, name);
    if (pos == std::string::npos) return;
    pos += std::strlen(name);
    SkipBlanks(s, pos);
    if (pos >= s.size() || s[pos] != '"') return;
    ++pos;
    const size_t end = s.find('"', pos);
    value.str().assign(s, pos, end == std::string::npos ? std::string::npos : end - pos);
    DecodeXmlEntities(value);
}

void CKrw::GetAttributeNumber(const CString& line, const char* name, unsigned& value) {
    value = 0;
    const std::string& s = line.str();
    size_t pos = FindName(s, name);
    if (pos == std::string::npos) return;
    pos += std::strlen(name);
    SkipBlanks(s, pos);
    if (pos >= s.size() || s[pos] != '"') return;
    ++pos;
    ReadDigits(s, pos, value);
}

void CKrw::GetAttributeDate(const CString& line, const char* name, unsigned& value,
                            bool ohneAnfuehrungszeichen) {
    value = 0;
    const std::string& s = line.str();
    size_t pos = FindName(s, name);
    if (pos == std::string::npos) return;
    pos += std::strlen(name);
    SkipBlanks(s, pos);
    if (!ohneAnfuehrungszeichen) {
        if (pos >= s.size() || s[pos] != '"') return;
        ++pos;
    }
    // 2011-07-01 and 20110701 give the same number.
    ReadDigits(s, pos, value);
    for (int i = 0; i < 2; ++i) {
        if (pos < s.size() && s[pos] == '-') ++pos;
        ReadDigits(s, pos, value);
    }
}

void CKrw::GetAttributePeriod(const CString& line, const char* name, CString& von, CString& bis) {
    unsigned start = 0, end = 0;
    GetAttributeDate(line, name, start, false);
    if (start == 0) start = 19800101;
    if (line.str().find("..") != std::string::npos) {
        GetAttributeDate(line, "..", end, true);
        if (end == 0) end = 99991231;
    } else {
        end = start;
    }
    von = FormatString("%8u", start);
    bis = FormatString("%8u", end);
}

void CKrw::DecodeXmlEntities(CString& text) {
    std::string& s = text.str();
    if (s.find('&') == std::string::npos) return;
    // "&amp;" to "&" until none is left, in one pass: the text written so far
    // never holds "&amp;", so only its end can become one ("&amp;amp;" turns
    // into "&"). Replacing again and again over the whole text would take
    // quadratic time on a hostile line.
    size_t out = 0;
    for (size_t in = 0; in < s.size(); ++in) {
        s[out++] = s[in];
        if (out >= 5 && s[out - 1] == ';' && s.compare(out - 5, 5, "&amp;") == 0) out -= 4;
    }
    s.resize(out);
    // Neither replacement can make another of its kind.
    text.Replace("&quot;", "\"");
    text.Replace("&#xA;", " ");
}

void CKrw::StripNamespacePrefix(CString& line) {
    std::string& s = line.str();
    const size_t lt = s.find('<');
    if (lt == std::string::npos || s.size() < 2) return;
    const size_t colon = s.find(':', 1);
    if (colon == std::string::npos || lt >= colon) return;
    size_t start = lt + 1;
    if (start < colon && s[start] == '/') ++start;
    for (size_t i = start; i < colon; ++i) {
        const char c = s[i];
        if (c == ' ' || c == '/' || c == '>' || c == '=') return;
    }
    s.erase(start, colon + 1 - start);
}

void CKrw::RemoveBlankAfterComma(CString& line) {
    std::string& s = line.str();
    const size_t at = s.find(", ");
    if (at == std::string::npos) return;
    size_t out = at;
    char before = 0;
    for (size_t in = at; in < s.size(); ++in) {
        const char c = s[in];
        if (!(c == ' ' && before == ',')) s[out++] = c;
        before = c;
    }
    s.resize(out);
}

bool CKrw::ReadLine(CXQFile& file, CString& line, bool* zuLang) {
    std::string& s = line.str();
    s.clear();
    if (zuLang) *zuLang = false;
    // Bytes gather in a small block first: appending them one by one costs
    // more than taking them from the file.
    char block[256];
    size_t n = 0;
    const auto flush = [&] {
        if (s.size() + n > static_cast<size_t>(kMaxZeile)) {
            if (zuLang) *zuLang = true;
            return false;
        }
        s.append(block, n);
        n = 0;
        return true;
    };
    char c;
    while (file.GetByte(c)) {
        if (c == '\r' || c == '\n') {
            if (c == '\r') file.GetByte(c);  // the byte after a CR, whatever it is
            return flush();
        }
        block[n++] = c;
        if (n == sizeof block && !flush()) return false;
    }
    flush();
    return false;
}

bool CKrw::WriteLine(CXQFile& file, const CString& text) {
    return file.Write(text) && file.Write("\r\n", 2);
}

bool CKrw::ParseNumber(const CString& text, int& pos, unsigned& value) {
    const std::string& s = text.str();
    if (pos < 0) return false;
    size_t p = static_cast<size_t>(pos);
    SkipBlanks(s, p);
    if (p < s.size() && s[p] == '+') ++p;
    const size_t first = p;
    value = 0;
    ReadDigits(s, p, value);
    if (p == first) return false;
    pos = static_cast<int>(p);
    return true;
}
