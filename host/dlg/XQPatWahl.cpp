#include "host/dlg/XQPatWahl.h"

#include <algorithm>
#include <vector>

#include "host/base/HostContext.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQFrontEnd.h"
#include "host/dlg/XQMessages.h"
#include "host/dlg/XQResource.h"

namespace {

// The host's own dialogs form a resource module of their own, with template
// numbers no module uses.
constexpr const char* kHostDialogs = "q7hostdlg";
enum { IDD_PATWAHL = 9400, IDC_PAT_SUCHE = 1, IDC_PAT_GRID = 2 };

XQDialogTemplate PatWahlTemplate() {
    XQDialogTemplate t{IDD_PATWAHL, "Patientenauswahl", 460, 380};
    XQAddControl(t, IDC_PAT_SUCHE, XQKind::Edit, "&Suche", 10, 10, 300, 20,
                 "Patientennummer oder Anfang des Namens");
    XQAddControl(t, IDC_PAT_GRID, XQKind::Grid, "Patienten", 10, 40, 440, 330);
    t.toolbar = {XQStandardButton(XQTB_EXIT), XQStandardButton(XQTB_ACCEPT)};
    return t;
}

XQResourceModule& HostDialogs() {
    static XQResourceModule module = [] {
        XQResourceModule m;
        m.name = kHostDialogs;
        m.templates[IDD_PATWAHL] = PatWahlTemplate();
        return m;
    }();
    return module;
}

// The host library brings its dialogs' templates along when it is loaded.
struct HostDialogsRegistration {
    bool registered;
    HostDialogsRegistration() : registered(XQRegisterModule(&HostDialogs())) {}
    ~HostDialogsRegistration() {
        if (registered) XQUnregisterModule(&HostDialogs());
    }
};

HostDialogsRegistration s_registration;

// A patient number without blanks and leading zeros: "  0471" and "471" are
// the same patient.
CString NumberDigits(const CString& number) {
    CString n = number;
    n.Trim();
    n.TrimLeft('0');
    return n;
}

bool AllDigits(const CString& text) {
    if (text.IsEmpty()) return false;
    for (int i = 0; i < text.GetLength(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

bool StartsNoCase(const CString& text, const CString& start) {
    return text.GetLength() >= start.GetLength() &&
           text.Left(start.GetLength()).CompareNoCase(start) == 0;
}

}  // namespace

struct CdiaPatWahl::Impl {
    struct Patient {
        CString nummer, name, vorname, geburtsdatum;
    };
    CXQLEditX suche;
    CXQGridX grid;
    std::vector<Patient> all;  // every patient, in number order
    std::vector<size_t> hits;  // indexes into all, in number order
    int row = 0;               // the hit the grid's record set stands on
    bool fresh = false;        // a new list stands on its first hit already

    // Reads every patient; false with a box when the database could not.
    bool Load(CQPat& pat) {
        pat.SetKey(1);
        int rc = pat.GetAll();
        while (rc == XQ_OK) {
            all.push_back({pat.Nummer, pat.Name, pat.Vorname, pat.Geburtsdatum});
            rc = pat.Next();
        }
        // The fields speak of the chosen patient only.
        pat.ClearAll();
        if (rc == XQ_NOTFOUND) return true;
        CXQDatabase* db = pat.Database();
        HaltEReason(0, "Die Patienten k\xF6nnen nicht gelesen werden.",
                    db ? db->LastError()
                       : CString("keine Datenbank ge\xF6"
                                 "ffnet"));
        return false;
    }

    // A text of digits is a patient number or its start; anything else the
    // start of a name, case-blind. "Name, Vorname" narrows by both.
    bool Matches(const Patient& p, const CString& text) const {
        if (text.IsEmpty()) return true;
        if (AllDigits(text)) return StartsNoCase(NumberDigits(p.nummer), NumberDigits(text));
        const int comma = text.Find(',');
        if (comma < 0) return StartsNoCase(p.name, text);
        CString name = text.Left(comma), vorname = text.Mid(comma + 1);
        name.Trim();
        vorname.Trim();
        return StartsNoCase(p.name, name) && StartsNoCase(p.vorname, vorname);
    }

    void Filter() {
        CString text = suche.GetText();
        text.Trim();
        hits.clear();
        for (size_t i = 0; i < all.size(); ++i)
            if (Matches(all[i], text)) hits.push_back(i);
        row = 0;
        fresh = !hits.empty();
        grid.Clear();
        grid.InitDown(static_cast<int>(hits.size()));
    }

    const Patient* Current() const {
        const int line = grid.GetCurLine();
        if (line < 0 || line >= static_cast<int>(hits.size())) return nullptr;
        return &all[hits[static_cast<size_t>(line)]];
    }
};

CdiaPatWahl::CdiaPatWahl(CWnd* parent, int /*function*/)
    : CXQDialog(IDD_PATWAHL, parent),
      m_Pat(dbDatabaseRO ? dbDatabaseRO : dbDatabase),
      m_impl(std::make_unique<Impl>()) {
    SetHelpName("patientenauswahl");
    DDX_Control(IDC_PAT_SUCHE, m_impl->suche);
    DDX_Control(IDC_PAT_GRID, m_impl->grid);
}

CdiaPatWahl::~CdiaPatWahl() = default;

bool CdiaPatWahl::OnInitDialog() {
    Impl& d = *m_impl;
    d.grid.SetColumns({{"Nr", 60}, {"Name", 140}, {"Vorname", 120}, {"Geb.", 80}});
    d.grid.onFillLine = [&d] {
        const Impl::Patient& p = d.all[d.hits[static_cast<size_t>(d.row)]];
        CString nummer = p.nummer;
        nummer.Trim();
        d.grid.SetText(0, nummer);
        d.grid.SetText(1, p.name);
        d.grid.SetText(2, p.vorname);
        d.grid.SetText(3, Db2Date(p.geburtsdatum));
    };
    d.grid.onWantLineDown = [&d] {
        if (d.fresh) {
            d.fresh = false;
        } else if (d.row + 1 < static_cast<int>(d.hits.size())) {
            ++d.row;
        } else {
            return;
        }
        d.grid.LineDown();
    };
    d.grid.onWantLineUp = [&d] {
        d.fresh = false;
        if (d.row <= 0) return;
        --d.row;
        d.grid.LineUp();
    };
    d.grid.onSkipLines = [&d](int count) {
        d.fresh = false;
        d.row = std::clamp(d.row + count, 0, std::max(0, static_cast<int>(d.hits.size()) - 1));
    };
    d.grid.onDblClick = [this] { ClickToolbarButton(XQTB_ACCEPT); };
    d.grid.onKeyDown = [this](const XQKeyEvent& key) {
        if (key.key != XQKey::Return) return false;
        ClickToolbarButton(XQTB_ACCEPT);
        return true;
    };
    d.suche.onChange = [&d] { d.Filter(); };
    d.suche.onReturn = [this] { ClickToolbarButton(XQTB_ACCEPT); };
    if (!d.Load(m_Pat)) return false;
    d.Filter();
    return CXQDialog::OnInitDialog();
}

void CdiaPatWahl::OnSaveAndExit() {
    const Impl::Patient* p = m_impl->Current();
    if (!p) return Q7Beep(0);
    m_Pat.Nummer = p->nummer;
    m_Pat.Name = p->name;
    m_Pat.Vorname = p->vorname;
    m_Pat.Geburtsdatum = p->geburtsdatum;
    EndDialog(1);
}

void SearchInLListbox(CXQListBoxX& list, CXQDialog& /*dialog*/) {
    std::vector<XQParamField> fields{{"Suchen", CString()}};
    if (!XQFrontEnd().ParamBox("Suchen", fields)) return;
    const CString& wanted = fields[0].value;
    if (wanted.IsEmpty()) return;
    // Folded as CompareNoCase folds.
    CString lower = wanted;
    lower.MakeLower();
    for (int i = list.GetCurSel() + 1; i < list.GetCount(); ++i) {
        CString text = list.GetText(i);
        text.MakeLower();
        if (text.Find(lower) >= 0) return list.UserSelect(i);
    }
    Q7Beep(0);
}
