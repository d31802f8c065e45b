#pragma once
// The dental association's transition table from free-text diagnoses to
// ICD-10 codes, as the dialog shows it, and the SAX handler that reads it.
#include <deque>
#include <vector>

#include "host/dlg/XQControls.h"
#include "host/xml/XQSax.h"

// One line of a code list: a code with its description lines, or a note
// (code and lines empty).
struct SIcdCodeItem {
    CString hinweis;
    CString code;
    std::vector<CString> beschreibung;
};
using SIcdCodeList = std::vector<SIcdCodeItem>;

struct SIcdEintrag {
    CString freitext;
    CString hinweis;
    SIcdCodeList erster, zweiter;
    HTREEITEM item = 0;
};

struct SIcdGruppe {
    CString kapitel;
    CString beschreibung;
    CString hinweis;
    std::vector<SIcdEintrag> eintraege;
    HTREEITEM item = 0;
};

using SIcdGruppen = std::vector<SIcdGruppe>;

// What one table holds at most: groups, entries, code list lines and
// description lines together. A file with more is refused (the reader fails
// with the reason), so that no file outgrows memory; the published table has
// a few hundred.
constexpr size_t kIcdUeberleitungMaxItems = 200000;

// Fills the groups it is given. Only elements without a namespace URI count;
// unknown elements, and known ones under the wrong parent, are skipped with
// their text.
class CIcdUeberleitung : public SAXContentHandlerImpl {
  public:
    explicit CIcdUeberleitung(SIcdGruppen& gruppen) : m_gruppen(gruppen) {}

    void startElement(const std::string& uri, const std::string& localName,
                      const std::string& qName) override;
    void endElement(const std::string& uri, const std::string& localName,
                    const std::string& qName) override;
    void characters(const std::string& text) override;

  private:
    enum Kind : int {
        kUnknown,
        kGruppe,
        kKapitel,
        kGruppenbeschreibung,
        kGruppeHinweis,
        kEintrag,
        kFreitext,
        kEintragHinweis,
        kErster,
        kZweiter,
        kListeHinweis,
        kIcd,
        kCode,
        kBeschreibung,
        kHinweis,  // the element name, before its parent decides which note
    };
    static Kind KindOf(const std::string& localName);
    // Counts one more item; false (and the file refused) beyond the limit.
    bool Room();
    int Top() const { return m_stack.empty() ? kUnknown : m_stack.back(); }
    SIcdEintrag* LastEintrag();
    // The list being filled; null before the first code list. Held by
    // position, because appending groups and entries moves them.
    SIcdCodeList* CurrentList();

    SIcdGruppen& m_gruppen;
    std::deque<int> m_stack;
    int m_listGruppe = -1, m_listEintrag = -1;
    bool m_listZweiter = false;
    size_t m_items = 0;
};
