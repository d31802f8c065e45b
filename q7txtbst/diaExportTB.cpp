#include "q7txtbst/diaExportTB.h"

#include "host/dlg/XQMessages.h"
#include "host/xml/XQXMLWriter.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/TBImport.h"

XQDialogTemplate ExportTBTemplate() {
    return TbExchangeTemplate(IDD_EXPORTTB, "Textbausteine exportieren", 480, false);
}

STbGroups CdiaExportTB::s_Groups;

CdiaExportTB::CdiaExportTB(CWnd* parent) : CTbExchangeDialog(IDD_EXPORTTB, s_Groups, parent) {
    SetHelpName("diaExportTB");
    m_list.SetTabStops({75});
}

CdiaExportTB::~CdiaExportTB() = default;

bool CdiaExportTB::OnInitDialog() {
    CXQDialog::OnInitDialog();
    InitCombosAndList();
    return true;
}

void CdiaExportTB::FillList(char group, char member) {
    m_fields.clear();
    CQTb tb(dbDatabaseRO);
    tb.SetReadOnly(true);
    tb.ClearAll();
    if (group != ' ') tb.Gruppe = CString(group);
    if (member != ' ') tb.Untergruppe = CString(member);
    if (tb.GetByK1(XQ_MATCH_FIELDS) != XQ_OK) return;
    do {
        m_list.AddString(tb.Kuerzel + "\t" + tb.Beschreibung);
        m_fields.push_back(tb.GetFields());
    } while (tb.Next() == XQ_OK);
}

void CdiaExportTB::OnSaveAndExit() {
    if (!CheckTicked()) return;
    CString path = kTbExchangeFile;
    if (!XQFileDialog(true, "Textbausteine exportieren", kTbExchangeFilter, kTbExchangeExtension,
                      path))
        return;

    CXQWaitCursor wait;
    CQTbEntry lines(dbDatabaseRO);
    lines.SetReadOnly(true);
    lines.SetKey(1, true);
    CXQXMLWriter xml;
    bool ok = xml.StartDocument();
    ok = xml.StartElement("dazo_tb") && ok;
    ok = xml.CharElement("software", "q7") && ok;
    int count = 0;
    for (int i = 0; i < m_list.GetCount() && i < static_cast<int>(m_fields.size()); ++i) {
        if (!m_list.GetCheck(i)) continue;
        const CQTb_Fields& f = m_fields[static_cast<size_t>(i)];
        lines.ClearKey();
        lines.KYKUERZEL = f.Kuerzel;
        if (lines.GetByK1(XQ_MATCH_FIELDS) != XQ_OK) continue;  // no lines: nothing to move
        ok = xml.StartElement("tb") && ok;
        ok = xml.CharElement("id", f.Kuerzel) && ok;
        ok = xml.CharElement("group", f.Gruppe) && ok;
        ok = xml.CharElement("member", f.Untergruppe) && ok;
        ok = xml.CharElement("description", f.Beschreibung) && ok;
        ok = xml.StartElement("lines") && ok;
        do {
            CString entry = lines.LFDTBENTRY;
            entry.Trim();
            ok = xml.StartElement("line") && ok;
            ok = xml.CharElement("entry", entry) && ok;
            ok = xml.CharElement("text", lines.TBENTRY) && ok;
            ok = xml.EndElement() && ok;
        } while (lines.Next() == XQ_OK);
        ok = xml.EndElement() && ok;  // lines
        ok = xml.EndElement() && ok;  // tb
        ++count;
    }
    ok = xml.EndElement() && ok;  // dazo_tb
    ok = xml.EndDocument() && ok;
    ok = xml.Write(path) && ok;
    if (!ok) {
        HaltEReason(6, "Fehler beim Exportieren!",
                    "Die Datei " + path + " konnte nicht geschrieben werden.");
        return;
    }
    HaltI(6, FormatString("%d", count) + " Textbausteine exportiert:\n\n" + path);
    EndDialog(1);
}
