#include "q7txtbst/diaSuchIcdKZBV.h"

#include "host/base/HostContext.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"

namespace {

enum : int {
    IDC_KZBV_TREE_LABEL = 1001,
    IDC_KZBV_TREE,
    IDC_KZBV_LABEL1,
    IDC_KZBV_HEADER1,
    IDC_KZBV_LIST1,
    IDC_KZBV_FRAME1,
    IDC_KZBV_CHECK1,  // seven boxes G V Z A R L B
    IDC_KZBV_LABEL2 = IDC_KZBV_CHECK1 + 7,
    IDC_KZBV_HEADER2,
    IDC_KZBV_LIST2,
    IDC_KZBV_FRAME2,
    IDC_KZBV_CHECK2,
};

const char* const kBoxLabels[] = {"&G - gesicherte Diagnose",
                                  "&V - Verdacht auf / zum Ausschlu\xDF von",
                                  "&Z - symptomloser Zustand nach",
                                  "&A - ausgeschlossene Diagnose",
                                  "&R - rechts",
                                  "&L - links",
                                  "&B - beidseitig"};

const char kListHeader[] = "Code         Beschreibung / Hinweis";
const char kMsgSicherheit[] =
    "Sie m\xFCssen eine Diagnosesicherheit ('G', 'V', 'Z' oder 'A') ausw\xE4hlen!";

// Tree item data: groups 1..n as -(group), entries as group * 65536 + entry.
constexpr long long kEntryFactor = 65536;

void AddCodeColumn(XQDialogTemplate& t, int top, int labelId, const char* label) {
    XQAddControl(t, labelId, XQKind::Label, label, 330, top, 300, 16);
    XQAddControl(t, labelId + 1, XQKind::Caption, "Spalten", 330, top + 18, 300, 16);
    XQAddControl(t, labelId + 2, XQKind::List, label, 330, top + 36, 300, 110);
    XQAddControl(t, labelId + 3, XQKind::Frame, "Zusatzkennzeichen", 640, top, 200, 180);
    for (int i = 0; i < 7; ++i)
        XQAddControl(t, labelId + 4 + i, XQKind::Check, kBoxLabels[i], 650, top + 18 + i * 22, 180,
                     20);
}

}  // namespace

XQDialogTemplate SuchIcdKZBVTemplate() {
    XQDialogTemplate t;
    t.number = IDD_SUCHICDKZBV;
    t.caption =
        "Suchdialog \xDC"
        "berleitungen Diagnosefreitext \x96 ICD 10";
    t.width = 850;
    t.height = 420;
    XQAddControl(t, IDC_KZBV_TREE_LABEL, XQKind::Label,
                 "Kapitel / Gruppenbeschreibung / Freitextdiagnose", 10, 10, 310, 16);
    XQAddControl(t, IDC_KZBV_TREE, XQKind::Tree, "Freitextdiagnosen", 10, 28, 310, 370);
    AddCodeColumn(t, 10, IDC_KZBV_LABEL1, "Erster Diagnosecode");
    AddCodeColumn(t, 210, IDC_KZBV_LABEL2, "Zweiter Diagnosecode");
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        XQStandardButton(XQTB_ACCEPT),
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

CString CdiaSuchIcdKZBV::FilePath() {
    return GetQ7DataROPath() + "KZBV\\icd_ueberleitung_freitextdiagnose.xml";
}

CdiaSuchIcdKZBV::CdiaSuchIcdKZBV(int codeOnly, CWnd* parent)
    : CXQDialog(IDD_SUCHICDKZBV, parent), m_codeOnly(codeOnly) {
    SetHelpName("diaSuchIcdKZBV");
    DDX_Control(IDC_KZBV_TREE, m_tree);
    const struct {
        int first;
        CXQLabelX* header;
        CXQListBoxX* list;
        Zusatz* zusatz;
    } columns[] = {{IDC_KZBV_LABEL1, &m_header1, &m_list1, &m_zusatz1},
                   {IDC_KZBV_LABEL2, &m_header2, &m_list2, &m_zusatz2}};
    for (const auto& c : columns) {
        DDX_Control(c.first + 1, *c.header);
        DDX_Control(c.first + 2, *c.list);
        DDX_Control(c.first + 3, c.zusatz->frame);
        CXQLCheckX* boxes[] = {&c.zusatz->g, &c.zusatz->v, &c.zusatz->z, &c.zusatz->a,
                               &c.zusatz->r, &c.zusatz->l, &c.zusatz->b};
        for (int i = 0; i < 7; ++i) DDX_Control(c.first + 4 + i, *boxes[i]);
        c.list->SetTabStops({60});
        c.list->onDblClick = [this] { OnSaveAndExit(); };
    }
    m_tree.onSelChanged = [this] { OnSelChangedTree(); };
    m_tree.onInfoTip = [this](HTREEITEM item) { return OnInfoTip(item); };
}

CdiaSuchIcdKZBV::~CdiaSuchIcdKZBV() = default;

bool CdiaSuchIcdKZBV::OnInitDialog() {
    CXQDialog::OnInitDialog();
    if (m_codeOnly) {
        for (Zusatz* z : {&m_zusatz1, &m_zusatz2}) {
            z->frame.ShowWindow(false);
            for (CXQLCheckX* box : {&z->g, &z->v, &z->z, &z->a, &z->r, &z->l, &z->b})
                box->ShowWindow(false);
        }
    }
    m_header1.SetCaption(kListHeader);
    m_header2.SetCaption(kListHeader);

    CIcdUeberleitung handler(m_gruppen);
    CXQSAXReader reader;
    for (const char* feature :
         {"schema-validation", "exhaustive-errors", "http://xml.org/sax/features/namespaces",
          "http://xml.org/sax/features/namespace-prefixes"})
        reader.putFeature(feature, true);
    reader.putContentHandler(&handler);
    const CString path = FilePath();
    if (!reader.parseURL(path)) {
        HaltEReason(6, "Fehler beim Lesen der ICD-Datei:\n" + path, reader.ErrorText());
        m_gruppen.clear();
        EndDialog(2);
        return true;
    }
    for (CXQListBoxX* list : {&m_list1, &m_list2}) {
        list->ResetContent();
        list->SetHorizontalExtent(1000);
    }
    FillTree();
    return true;
}

void CdiaSuchIcdKZBV::FillTree() {
    m_tree.DeleteAllItems();
    for (size_t g = 0; g < m_gruppen.size(); ++g) {
        SIcdGruppe& gruppe = m_gruppen[g];
        const long long groupNumber = static_cast<long long>(g) + 1;
        gruppe.item =
            m_tree.InsertItem(gruppe.kapitel + ". " + gruppe.beschreibung, 0, -groupNumber);
        for (size_t e = 0; e < gruppe.eintraege.size(); ++e)
            gruppe.eintraege[e].item =
                m_tree.InsertItem(gruppe.eintraege[e].freitext, gruppe.item,
                                  groupNumber * kEntryFactor + static_cast<long long>(e));
        m_tree.Expand(gruppe.item);
    }
}

void CdiaSuchIcdKZBV::FillList(CXQListBoxX& list, const SIcdCodeList& codes) {
    for (const SIcdCodeItem& item : codes) {
        if (!item.code.IsEmpty() || item.hinweis.IsEmpty()) {
            for (const CString& line : item.beschreibung) list.AddString(item.code + "\t" + line);
        } else {
            list.AddString("\t" + item.hinweis);
        }
    }
}

void CdiaSuchIcdKZBV::OnSelChangedTree() {
    m_list1.ResetContent();
    m_list2.ResetContent();
    const HTREEITEM item = m_tree.GetSelectedItem();
    if (!item) return;
    const long long data = m_tree.GetItemData(item);
    if (data <= 0) return;  // a group
    const size_t g = static_cast<size_t>(data / kEntryFactor - 1);
    const size_t e = static_cast<size_t>(data % kEntryFactor);
    if (g >= m_gruppen.size() || e >= m_gruppen[g].eintraege.size()) return;
    FillList(m_list1, m_gruppen[g].eintraege[e].erster);
    FillList(m_list2, m_gruppen[g].eintraege[e].zweiter);
}

CString CdiaSuchIcdKZBV::OnInfoTip(HTREEITEM item) const {
    const long long data = m_tree.GetItemData(item);
    if (data < 0) {
        const size_t g = static_cast<size_t>(-data - 1);
        return g < m_gruppen.size() ? m_gruppen[g].hinweis : CString();
    }
    const size_t g = static_cast<size_t>(data / kEntryFactor - 1);
    const size_t e = static_cast<size_t>(data % kEntryFactor);
    if (g >= m_gruppen.size() || e >= m_gruppen[g].eintraege.size()) return CString();
    return m_gruppen[g].eintraege[e].hinweis;
}

bool CdiaSuchIcdKZBV::Compose(CXQListBoxX& list, const Zusatz& zusatz, CString& code,
                              CString& zusatzText, CString& text) {
    code.Empty();
    zusatzText.Empty();
    text.Empty();
    const int row = list.GetCurSel();
    if (row < 0) return true;
    const CString line = list.GetText(row);
    const int tab = line.Find('\t');
    code = tab < 0 ? line : line.Left(tab);
    code.Remove('.');
    code.TrimRight('+');
    code.TrimRight('*');
    code.TrimRight('!');
    if (code.IsEmpty()) return true;
    if (!m_codeOnly) {
        if (zusatz.g.GetCheck())
            zusatzText = "G";
        else if (zusatz.v.GetCheck())
            zusatzText = "V";
        else if (zusatz.z.GetCheck())
            zusatzText = "Z";
        else if (zusatz.a.GetCheck())
            zusatzText = "A";
        else {
            code.Empty();
            Halt(6, CString(kMsgSicherheit));
            SetFocusTo(&list);
            return false;
        }
        if (zusatz.r.GetCheck())
            zusatzText += "R";
        else if (zusatz.l.GetCheck())
            zusatzText += "L";
        else if (zusatz.b.GetCheck())
            zusatzText += "B";
    }
    text = tab < 0 ? CString() : line.Mid(tab + 1);
    return true;
}

void CdiaSuchIcdKZBV::OnSaveAndExit() {
    if (!Compose(m_list1, m_zusatz1, m_strCode1, m_strZusatz1, m_strText1)) return;
    if (!Compose(m_list2, m_zusatz2, m_strCode2, m_strZusatz2, m_strText2)) return;
    if (m_strCode1.IsEmpty()) {
        Halt(6, "Sie m\xFCssen einen ersten Diagnosecode ausw\xE4hlen!");
        SetFocusTo(&m_list1);
        return;
    }
    CXQDialog::OnSaveAndExit();
}
