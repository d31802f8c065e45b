#include "q7txtbst/diatb.h"

#include <vector>

#include "host/base/Helpers.h"
#include "host/base/XQGuard.h"
#include "host/db/HostData.h"
#include "host/db/XQDatabase.h"
#include "host/dlg/XQMessages.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/diaExportTB.h"
#include "q7txtbst/diaImportTB.h"
#include "q7txtbst/diaSuchTB.h"

namespace {

enum : int {
    IDC_TB_KUERZEL = 1101,
    IDC_TB_BESCHREIBUNG,
    IDC_TB_GRUPPE,
    IDC_TB_UNTERGRUPPE,
    IDC_TB_KASSE,
    IDC_TB_PRIVAT,
    IDC_TB_TEXT,
    IDC_TB_MODUS,
};

// Message groups and numbers of the host's string table.
enum : int {
    kMsgGroup = 6,
    kMsgDeleteTb = 1,
    kMsgNoGroups = 10,
    kMsgDropChanges = 20,
    kMsgSaveChanges = 41,
    kMsgDropNew = 3006,
    kMsgKuerzelRefused = 3007,  // %s the Kürzel
    kMsgLineTooLong = 3008,     // %d line, %d its length, %d the limit
    kDbMsgGroup = 39,
    kDbMsgWriteFailed = 33,
    kDbMsgKuerzelTaken = 7010,
    kStrMaxLineLength = 8086,
};

// Search dialog results the editor carries out itself.
enum : int { kSearchTaken = 1, kSearchNew = 2, kSearchEdit = 3 };

// What a deleted block's references in the fee schedule become.
const char* const kBlankReference = "        ";

// Why the last write of the practice database failed (German), or empty.
CString DbReason() {
    return dbDatabase ? dbDatabase->LastError() : CString();
}

CString ModusText(int modus) {
    switch (modus) {
        case MODUS_GEAENDERT:
            return "\xC4ndern";
        case MODUS_NEU:
            return "Neuanlage";
        case MODUS_ANZEIGE:
            return "Anzeige";
        default:
            return "Leer";
    }
}

}  // namespace

XQDialogTemplate TbTemplate() {
    XQDialogTemplate t;
    t.number = IDD_TB;
    t.caption = "Textbausteine";
    t.width = 640;
    t.height = 460;
    XQAddControl(t, IDC_TB_KUERZEL, XQKind::Edit, "&K\xFCrzel", 10, 10, 150, 20,
                 "K\xFCrzel des Textbausteins; Eingabetaste: suchen")
        .mandatory = true;
    XQAddControl(t, IDC_TB_BESCHREIBUNG, XQKind::Edit, "&Beschreibung", 170, 10, 460, 20,
                 "Einzeilige Beschreibung f\xFCr Listen und Ausdrucke");
    XQAddControl(t, IDC_TB_GRUPPE, XQKind::Combo, "&Gruppe", 10, 40, 250, 20).mandatory = true;
    XQAddControl(t, IDC_TB_UNTERGRUPPE, XQKind::Combo, "&Untergruppe", 270, 40, 250, 20);
    XQAddControl(t, IDC_TB_KASSE, XQKind::Check, "K&asse", 530, 40, 100, 20, "Kassenmedikament");
    XQAddControl(t, IDC_TB_PRIVAT, XQKind::Check, "&Privat", 530, 64, 100, 20, "Privatmedikament");
    XQAddControl(t, IDC_TB_TEXT, XQKind::Memo, "&Text", 10, 90, 620, 330);
    XQAddControl(t, IDC_TB_MODUS, XQKind::Caption, "Modus", 10, 430, 200, 20);
    t.toolbar = {
        XQStandardButton(XQTB_EXIT),
        {XQTB_NEW, "Neu"},
        {XQTB_SAVE, "Speichern"},
        {XQTB_COPY, "Kopieren"},
        {XQTB_DELETE, "L\xF6schen"},
        {XQTB_UNDO,
         "R\xFC"
         "ckg\xE4ngig"},
        {XQTB_PREV, "Vorheriger Textbaustein"},
        {XQTB_NEXT,
         "N\xE4"
         "chster Textbaustein"},
        {XQTB_PRINT, "Drucken"},
        {XQTB_SEARCH, "F5 - Suchen"},
        XQStandardButton(XQTB_HELP),
    };
    return t;
}

XQRuntimeClass TbRuntimeClass() {
    return {"CdiaTB",
            [](const std::vector<CString>& args, CWnd* parent) -> std::unique_ptr<CXQDialog> {
                if (args.size() > 1) return nullptr;
                if (!args.empty() && args[0] != "0" && args[0] != "1") return nullptr;
                return std::make_unique<CdiaTB>(!args.empty() && args[0] == "1", parent);
            }};
}

STbGroups CdiaTB::s_Groups;

CdiaTB::CdiaTB(bool neu, CWnd* parent)
    : CXQDialog(IDD_TB, parent, neu), m_Tb(dbDatabase), m_TbEntry(dbDatabase) {
    m_Tb.SetKey(2, true);
    m_TbEntry.SetKey(1, true);
    SetHelpName("diatb");

    DDX_Control(IDC_TB_KUERZEL, m_editKuerzel);
    DDX_Control(IDC_TB_BESCHREIBUNG, m_editBeschreibung);
    DDX_Control(IDC_TB_GRUPPE, m_comboGruppe);
    DDX_Control(IDC_TB_UNTERGRUPPE, m_comboUntergruppe);
    DDX_Control(IDC_TB_KASSE, m_checkKasse);
    DDX_Control(IDC_TB_PRIVAT, m_checkPrivat);
    DDX_Control(IDC_TB_TEXT, m_memoText);
    DDX_Control(IDC_TB_MODUS, m_captionModus);

    m_editKuerzel.onChange = [this] { OnOnChangeKuerzel(); };
    m_editKuerzel.onReturn = [this] { OnOnReturnKuerzel(); };
    m_editKuerzel.onKillFocus = [this] { OnOnKillFocusKuerzel(); };
    m_comboGruppe.onSelChange = [this] { OnOnSelChangeGruppe(); };
    m_comboUntergruppe.onSelChange = [this] { OnOnSelChangeUntergruppe(); };
    m_checkKasse.onClick = [this] { OnClickXqlcheckKasse(); };
    m_checkPrivat.onClick = [this] { OnClickXqlcheckPrivat(); };
    m_editBeschreibung.onChange = [this] { OnOnChangeField(); };
    m_memoText.onChange = [this] {
        ShowLineLimit();
        OnOnChangeField();
    };
}

CdiaTB::~CdiaTB() = default;

void CdiaTB::ReadRecordsToCString(CQTbEntry& lines, const CString& kuerzel,
                                  const CString& separator, CString& result) {
    ReadTbLines(lines, kuerzel, separator, result);
}

int CdiaTB::MaxLineLength(char group, char member) {
    switch (group) {
        case 'b':
            return 50;
        case 'd':
            return member == 'l' ? 50 : 160;
        case 'f':
            if (member == 'f') return 37;
            if (member == 'l') return 43;
            if (member == 'r') return 47;
            return 160;
        case 'h':
            return member == 'n' ? 30 : 160;
        case 'o':
            return 105;
        default:
            return 160;
    }
}

bool CdiaTB::HasRestriction(char group, char member) {
    return group == 'f' && member != 'l' && member != 'r';
}

// ---------------------------------------------------------------- opening

bool CdiaTB::OnInitDialog() {
    CXQDialog::OnInitDialog();
    if (s_Groups.empty() && !LoadTbGroups(s_Groups, false)) {
        Halt(kMsgGroup, kMsgNoGroups);
        EndDialog(2);
        return true;
    }
    FillGroupCombo(m_comboGruppe, s_Groups);

    if (GetFlag()) {
        StartNew();
        return true;
    }
    if (!m_Tb.Kuerzel.IsEmpty() || m_Tb.GetWsFavorit() == XQ_OK) {
        ReadByKey(m_Tb.Kuerzel);
        return true;
    }
    m_Tb.ClearAll();
    if (m_Tb.GetByK1(XQ_MATCH_FIELDS) == XQ_OK) {
        ReadByKey(m_Tb.Kuerzel);
    } else {
        ClearData();
        SetModus(MODUS_LEER);
        SetPrevNext();
    }
    return true;
}

// ---------------------------------------------------------------- reading

void CdiaTB::ReadByKey(const CString& kuerzel) {
    m_Tb.Kuerzel = kuerzel;
    if (!kuerzel.IsEmpty() && m_Tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) {
        ReadData();
        SetModus(MODUS_ANZEIGE);
    } else {
        ClearData();
        SetModus(MODUS_LEER);
    }
    SetPrevNext();
    FocusKuerzel();
}

void CdiaTB::ReadData() {
    m_reading = true;
    m_editKuerzel.SetText(m_Tb.Kuerzel);
    m_editBeschreibung.SetText(m_Tb.Beschreibung);
    SelectGroupMember(FirstLetter(m_Tb.Gruppe), FirstLetter(m_Tb.Untergruppe));
    m_lastMember = SelectedMember();
    if (HasRestriction(FirstLetter(m_Tb.Gruppe), FirstLetter(m_Tb.Untergruppe))) {
        m_checkKasse.SetCheck(m_Tb.Einschraenkung != "p");
        m_checkPrivat.SetCheck(m_Tb.Einschraenkung != "k");
    } else {
        m_checkKasse.SetCheck(true);
        m_checkPrivat.SetCheck(true);
    }
    CString text;
    ReadRecordsToCString(m_TbEntry, m_Tb.Kuerzel, "\r\n", text);
    m_memoText.SetText(text);
    m_strLoadedKuerzel = m_Tb.Kuerzel;
    DoMaxLineLength();
    m_reading = false;
    CheckAllFields(1);
}

void CdiaTB::ClearData() {
    m_reading = true;
    m_editKuerzel.SetText(CString());
    m_editBeschreibung.SetText(CString());
    m_memoText.SetText(CString());
    m_comboGruppe.SetCurSel(-1);
    m_comboUntergruppe.ResetContent();
    m_lastMember = ' ';
    m_checkKasse.SetCheck(true);
    m_checkPrivat.SetCheck(true);
    m_Tb.ClearAll();
    DoMaxLineLength();
    m_reading = false;
    CheckAllFields(1);
}

void CdiaTB::StartNew(const CString& kuerzel) {
    ClearData();
    if (!kuerzel.IsEmpty()) m_editKuerzel.SetText(kuerzel);
    FocusKuerzel();
    SetModus(MODUS_NEU);
    SetPrevNext();
}

char CdiaTB::SelectedGroup() const {
    const int g = m_comboGruppe.GetCurSel();
    return g >= 0 && g < static_cast<int>(s_Groups.size()) ? s_Groups[static_cast<size_t>(g)].letter
                                                           : ' ';
}

char CdiaTB::SelectedMember() const {
    const int g = m_comboGruppe.GetCurSel();
    const int m = m_comboUntergruppe.GetCurSel();
    if (g < 0 || g >= static_cast<int>(s_Groups.size()) || m < 0) return ' ';
    const STbGroup& group = s_Groups[static_cast<size_t>(g)];
    return m < static_cast<int>(group.members.size()) ? group.members[static_cast<size_t>(m)].letter
                                                      : ' ';
}

void CdiaTB::SelectGroupMember(char group, char member) {
    const int g = FindTbGroup(s_Groups, group);
    m_comboGruppe.SetCurSel(g);
    FillMemberCombo(m_comboUntergruppe, s_Groups, g);
    if (g >= 0)
        m_comboUntergruppe.SetCurSel(FindTbMember(s_Groups[static_cast<size_t>(g)], member));
}

std::vector<int> CdiaTB::LongLines() const {
    std::vector<int> lines;
    const CStrings& memo = m_memoText.GetLines();
    const int max = m_memoText.GetMaxLineLength();
    for (int i = 0; max > 0 && i < memo.GetCount(); ++i)
        if (memo.GetAt(i).GetLength() > max) lines.push_back(i);
    return lines;
}

// A line that no longer fits after a change of group or member stays as it
// is: the hint names the limit and the lines past it, and saving asks the
// user to shorten them rather than cutting off what was typed.
void CdiaTB::ShowLineLimit() {
    CString hint =
        FormatString(XQLoadString(kStrMaxLineLength).GetString(), m_memoText.GetMaxLineLength());
    const std::vector<int> tooLong = LongLines();
    for (size_t i = 0; i < tooLong.size(); ++i)
        hint += FormatString(i == 0 ? " \x96 zu lang: Zeile %d" : ", %d", tooLong[i] + 1);
    m_memoText.SetHint(hint);
    m_memoText.Invalidate();
}

void CdiaTB::DoMaxLineLength() {
    const char group = SelectedGroup();
    const char member = SelectedMember();
    const int max = MaxLineLength(group, member);
    m_memoText.SetMaxLineLength(max);
    ShowLineLimit();
    const bool restricted = HasRestriction(group, member);
    m_checkKasse.ShowWindow(restricted);
    m_checkPrivat.ShowWindow(restricted);
}

void CdiaTB::SetModus(int modus) {
    CXQDialog::SetModus(modus == MODUS_GESPEICHERT ? MODUS_ANZEIGE : modus);
    m_captionModus.SetCaption(ModusText(GetModus()));
}

void CdiaTB::SetPrevNext() {
    bool hasPrev = false, hasNext = false;
    if (m_Tb.HasPrevNext(hasPrev, hasNext) != XQ_OK) hasPrev = hasNext = false;
    EnableToolbarButton(XQTB_PREV, hasPrev);
    EnableToolbarButton(XQTB_NEXT, hasNext);
}

void CdiaTB::FocusKuerzel(bool selectAll) {
    m_editKuerzel.SetFocus();
    if (selectAll) m_editKuerzel.SetSel(0, -1);
}

// ---------------------------------------------------------------- writing

int CdiaTB::WriteData() {
    CWnd* missing = nullptr;
    if (const int message = CheckMussFelder(&missing)) {
        Halt(kMsgGroup, message);
        if (missing) missing->SetFocus();
        return 0;
    }
    if (const std::vector<int> tooLong = LongLines(); !tooLong.empty()) {
        const int line = tooLong.front();
        Halt(kMsgGroup, FormatString(GetQ7String(kMsgGroup, kMsgLineTooLong).GetString(), line + 1,
                                     m_memoText.GetLines().GetAt(line).GetLength(),
                                     m_memoText.GetMaxLineLength()));
        m_memoText.SetFocus();
        return 0;
    }
    const bool neu = GetModus() == MODUS_NEU;
    const char group = SelectedGroup();
    const char member = SelectedMember();
    CString kuerzel = m_editKuerzel.GetText();
    kuerzel.Trim();
    // A new block has no old Kürzel, even when the record still holds the
    // block shown before.
    const CString oldKuerzel = neu ? CString() : m_Tb.Kuerzel;

    // The lines are written under the new Kürzel; were it another block's,
    // they would overwrite that block's text. Asked before anything is
    // written, so that the user can simply pick another one; should the
    // lookup fail, the unique key still refuses the write.
    if (neu || kuerzel != oldKuerzel) {
        CQTb other(dbDatabase);
        other.Kuerzel = kuerzel;
        if (other.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) {
            Halt(kMsgGroup, FormatString(GetQ7String(kMsgGroup, kMsgKuerzelRefused).GetString(),
                                         kuerzel.GetString()));
            FocusKuerzel(true);
            return 0;
        }
    }

    const CQTb_Fields before = m_Tb.GetFields();
    m_Tb.Kuerzel = kuerzel;
    m_Tb.Beschreibung = m_editBeschreibung.GetText();
    m_Tb.Gruppe = group == ' ' ? CString() : CString(group);
    m_Tb.Untergruppe = member == ' ' ? CString() : CString(member);
    m_Tb.Frei = "0";
    if (!HasRestriction(group, member) || (m_checkKasse.GetCheck() && m_checkPrivat.GetCheck()))
        m_Tb.Einschraenkung.Empty();
    else
        m_Tb.Einschraenkung = m_checkKasse.GetCheck() ? "k" : "p";

    if (dbDatabase) dbDatabase->ClearError();
    m_lineFailed = false;
    if (StoreBlock(oldKuerzel, neu) != XQ_OK) {
        // Nothing was stored: the record goes back to the stored block, the
        // controls keep what the user typed. A line that could not be
        // written ends the save without a box, as it always has; its
        // reason goes to the host log.
        m_Tb.SetFields(before);
        if (m_lineFailed)
            XQLog("Textbaustein speichern",
                  DbReason().IsEmpty() ? CString("Zeile nicht geschrieben") : DbReason());
        else
            HaltReason(kDbMsgGroup, kDbMsgWriteFailed, DbReason());
        return 0;
    }
    return 1;
}

int CdiaTB::StoreBlock(const CString& oldKuerzel, bool neu) {
    CXQTransaction transaction(dbDatabase);
    if (transaction.Status() != XQ_OK) return transaction.Status();
    const CString kuerzel = m_Tb.Kuerzel;
    const bool renamed = !oldKuerzel.IsEmpty() && oldKuerzel != kuerzel;
    if (renamed) {
        m_TbEntry.ClearKey();
        m_TbEntry.KYKUERZEL = oldKuerzel;
        if (const int status = m_TbEntry.DeleteAll(); status != XQ_OK) return status;
    }
    if (const int status = StoreLines(kuerzel); status != XQ_OK) return status;
    int status = neu ? m_Tb.Write() : m_Tb.Rewrite();
    if (status == XQ_OK && neu) status = m_Tb.GetByK1(XQ_MATCH_EQUAL);
    if (status != XQ_OK) return status;
    if (renamed && (m_Tb.Gruppe == "b" || m_Tb.Gruppe == "d")) {
        status = RenameTb(oldKuerzel, kuerzel, m_Tb.Gruppe);
        if (status != XQ_OK) return status;
    }
    return transaction.Commit();
}

// Stored lines are reused in place; surplus ones go, missing ones are added.
int CdiaTB::StoreLines(const CString& kuerzel) {
    const CStrings& lines = m_memoText.GetLines();
    const int count = lines.GetCount();
    std::vector<bool> done(static_cast<size_t>(count), false);
    m_TbEntry.ClearKey();
    m_TbEntry.SetKey(1, true);
    m_TbEntry.KYKUERZEL = kuerzel;
    m_TbEntry.LFDTBENTRY.Empty();
    int status = m_TbEntry.GetByK1(XQ_MATCH_FIELDS);
    while (status == XQ_OK) {
        const int number = CardToInt(m_TbEntry.LFDTBENTRY);
        if (number < 0 || number >= count || done[static_cast<size_t>(number)]) {
            status = m_TbEntry.Delete();  // moves on to the next line
            continue;
        }
        m_TbEntry.TBENTRY = lines.GetAt(number);
        if (const int written = m_TbEntry.Rewrite(); written != XQ_OK) return LineFailed(written);
        done[static_cast<size_t>(number)] = true;
        status = m_TbEntry.Next();
    }
    // Only the end of the lines ends the walk; a read error would leave
    // surplus lines behind.
    if (status != XQ_NOTFOUND) return status;
    for (int i = 0; i < count; ++i) {
        if (done[static_cast<size_t>(i)]) continue;
        m_TbEntry.KYKUERZEL = kuerzel;
        m_TbEntry.LFDTBENTRY = FormatString("%*I64u", 3, static_cast<unsigned long long>(i));
        m_TbEntry.TBENTRY = lines.GetAt(i);
        if (const int written = m_TbEntry.Write(); written != XQ_OK) return LineFailed(written);
    }
    return XQ_OK;
}

int CdiaTB::LineFailed(int status) {
    m_lineFailed = true;
    return status;
}

bool CdiaTB::Save() {
    const int modus = GetModus();
    if (modus != MODUS_GEAENDERT && modus != MODUS_NEU && modus != MODUS_ANZEIGE) return false;
    if (!WriteData()) return false;
    CheckAllFields(1);
    FocusKuerzel();
    SetModus(MODUS_GESPEICHERT);
    SetPrevNext();
    m_strLoadedKuerzel = m_Tb.Kuerzel;
    return true;
}

void CdiaTB::OnSave() {
    Save();
}

int CdiaTB::RenameTb(const CString& oldKuerzel, const CString& newKuerzel, const CString& group) {
    const bool kasse = group == "b";
    Q7OpenProgressBox(
        "\xDC"
        "berpr\xFC"
        "fe Leistungen...");
    CQGO go(dbDatabase);
    int status = go.GetAll();
    if (status == XQ_OK) {
        Q7UpdateProgressBox(0);
        const int count = go.AnzHits();
        for (int index = 1; status == XQ_OK; ++index) {
            const bool changed =
                kasse ? RenameTbVorschlag(go.TbKasse1, go.TbKasse2, oldKuerzel, newKuerzel)
                      : RenameTbVorschlag(go.TbPrivat1, go.TbPrivat2, oldKuerzel, newKuerzel);
            // A service another workstation deleted meanwhile needs no change.
            if (const int written = changed ? go.Rewrite() : XQ_OK;
                written != XQ_OK && written != XQ_NOTFOUND) {
                status = written;
                break;
            }
            Q7UpdateProgressBox(count > 0 ? index * 100 / count : 100);
            status = go.Next();
        }
    }
    Q7CloseProgressBox();
    return status == XQ_NOTFOUND ? XQ_OK : status;
}

// ---------------------------------------------------------------- commands

bool CdiaTB::LeaveRecord() {
    const int modus = GetModus();
    if (modus != MODUS_GEAENDERT && modus != MODUS_NEU) return true;
    if (CheckAllFields(0) == 0) return true;
    switch (SollIchAbbruch(kMsgGroup, kMsgSaveChanges)) {
        case XQ_IDYES:
            return Save();
        case XQ_IDNO:
            return true;
        default:
            return false;
    }
}

void CdiaTB::OnDelete() {
    if (m_Tb.Kuerzel.IsEmpty() || m_Tb.Gruppe.IsEmpty()) return;
    {
        const CXQBoxSubject subject(m_Tb.Kuerzel);
        if (SollIch(kMsgGroup, kMsgDeleteTb) != XQ_IDYES) return;
    }
    const CString kuerzel = m_Tb.Kuerzel;
    if (dbDatabase) dbDatabase->ClearError();
    if (DeleteBlock(kuerzel, m_Tb.Gruppe) != XQ_OK) {
        // Nothing was deleted: the record stands on the block again.
        const CString reason = DbReason();
        m_Tb.Kuerzel = kuerzel;
        m_Tb.GetByK2(XQ_MATCH_EQUAL);
        HaltReason(kDbMsgGroup, kDbMsgWriteFailed, reason);
        return;
    }

    m_Tb.Kuerzel = kuerzel;
    if (m_Tb.GetByK2(XQ_MATCH_GREATER) == XQ_OK) {
        ReadData();
        SetModus(MODUS_ANZEIGE);
    } else {
        m_Tb.SetKey(2, false);
        m_Tb.Kuerzel = kuerzel;
        if (m_Tb.GetByK2(XQ_MATCH_SMALLER) == XQ_OK) {
            ReadData();
            SetModus(MODUS_ANZEIGE);
        } else {
            ClearData();
            SetModus(MODUS_LEER);
        }
        m_Tb.SetKey(2, true);
    }
    FocusKuerzel();
    SetPrevNext();
}

int CdiaTB::DeleteBlock(const CString& kuerzel, const CString& group) {
    CXQTransaction transaction(dbDatabase);
    if (transaction.Status() != XQ_OK) return transaction.Status();
    // The record must stand on the block itself before it is deleted; one
    // another workstation deleted meanwhile leaves its lines to delete.
    int status = m_Tb.GetByK2(XQ_MATCH_EQUAL);
    if (status == XQ_OK) status = m_Tb.Delete();
    if (status != XQ_OK && status != XQ_NOTFOUND) return status;
    // References to it in services are blanked.
    if (group == "b" || group == "d") {
        status = RenameTb(kuerzel, kBlankReference, group);
        if (status != XQ_OK) return status;
    }
    m_TbEntry.ClearKey();
    m_TbEntry.KYKUERZEL = kuerzel;
    if (status = m_TbEntry.DeleteAll(); status != XQ_OK) return status;
    return transaction.Commit();
}

void CdiaTB::Step(bool next) {
    if (!LeaveRecord()) return;
    const CString current = m_Tb.Kuerzel;
    bool found;
    if (next) {
        found = m_Tb.GetByK2(XQ_MATCH_GREATER) == XQ_OK;
    } else {
        m_Tb.SetKey(2, false);
        found = m_Tb.GetByK2(XQ_MATCH_SMALLER) == XQ_OK;
        m_Tb.SetKey(2, true);
    }
    if (!found) {
        m_Tb.Kuerzel = current;
        found = !current.IsEmpty() && m_Tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK;
    }
    if (found) {
        ReadData();
        SetModus(MODUS_ANZEIGE);
    } else {
        ClearData();
        SetModus(MODUS_LEER);
    }
    FocusKuerzel(true);
    SetPrevNext();
}

void CdiaTB::OnNext() {
    Step(true);
}

void CdiaTB::OnPrev() {
    Step(false);
}

void CdiaTB::OnNeuanlage() {
    if (LeaveRecord()) StartNew();
}

void CdiaTB::OnCopy() {
    if (!LeaveRecord()) return;
    m_editKuerzel.SetText(CString());
    m_Tb.Kuerzel.Empty();
    FocusKuerzel();
    SetModus(MODUS_NEU);
    SetPrevNext();
}

void CdiaTB::OnUndo() {
    if (GetModus() == MODUS_NEU) {
        if (SollIch(kMsgGroup, kMsgDropNew) != XQ_IDYES) return;
        CQTb loaded(dbDatabase);
        loaded.Kuerzel = m_strLoadedKuerzel;
        if (!m_strLoadedKuerzel.IsEmpty() && loaded.GetByK2(XQ_MATCH_EQUAL) == XQ_OK)
            ReadByKey(m_strLoadedKuerzel);
    } else if (GetModus() == MODUS_GEAENDERT) {
        if (CheckAllFields(0) == 0 || SollIch(kMsgGroup, kMsgDropChanges) != XQ_IDYES) return;
        ReadByKey(m_strLoadedKuerzel);
    }
}

int CdiaTB::RunSearch(const CString& kuerzel, CString& chosen) {
    CTbResourceSwitch resources;
    CdiaSuchTB search(this);
    search.m_Tb.Kuerzel = kuerzel;
    m_searching = true;
    const int result = search.DoModal();
    m_searching = false;
    chosen = search.m_Tb.Kuerzel;
    return result;
}

void CdiaTB::DoSearch() {
    CString chosen;
    const int result = RunSearch(m_editKuerzel.GetText(), chosen);
    const bool read =
        (result == kSearchTaken || result == kSearchEdit) && chosen != m_editKuerzel.GetText();
    if (!read && result != kSearchNew) return;
    // Only a changed block asks; a new one the user leaves for another is
    // dropped as with Return in the Kürzel field.
    if (GetModus() == MODUS_GEAENDERT && !LeaveRecord()) return;
    if (read)
        ReadByKey(chosen);
    else
        StartNew();
}

void CdiaTB::OnSearch() {
    if (!IsToolbarButtonEnabled(XQTB_SEARCH)) return;
    DoSearch();
}

void CdiaTB::OnPrint() {
    DoPrint(this, m_TbEntry, true, CString(), CString(), CString(), CString(), false);
}

void CdiaTB::OnCTRL_E() {
    if (!LeaveRecord()) return;
    CdiaExportTB dlg(this);
    dlg.DoModal();
}

void CdiaTB::OnCTRL_I() {
    if (!LeaveRecord()) return;
    CdiaImportTB dlg(this);
    // The import may have replaced the block on show.
    if (dlg.DoModal() == 1) ReadByKey(m_editKuerzel.GetText());
}

void CdiaTB::OnExit() {
    if (!LeaveRecord()) return;
    // Only a stored block is remembered, so that the next opening finds it;
    // should that fail, the editor opens on the first block instead.
    if (!m_Tb.Kuerzel.IsEmpty()) {
        CXQTransaction transaction(dbDatabase);
        if (transaction.Status() == XQ_OK && m_Tb.PutWsFavorit() == XQ_OK) transaction.Commit();
    }
    if (GetModus() == MODUS_NEU) m_Tb.ClearKey();
    SetModus(MODUS_LEER);
    EndDialog(1);
}

// ---------------------------------------------------------------- events

void CdiaTB::OnOnChangeKuerzel() {
    if (m_reading) return;
    if (GetModus() == MODUS_ANZEIGE) SetModus(MODUS_GEAENDERT);
}

// A change to any other field of a shown block makes it a changed one, so
// that leaving it asks before the change is lost.
void CdiaTB::OnOnChangeField() {
    if (m_reading) return;
    if (GetModus() == MODUS_ANZEIGE) SetModus(MODUS_GEAENDERT);
}

void CdiaTB::OnOnKillFocusKuerzel() {
    static bool s_asking = false;
    if (m_searching || m_reading || s_asking || IsEnded()) return;
    if (GetModus() == MODUS_ANZEIGE) {
        SetModus(MODUS_GEAENDERT);
        return;
    }
    if (GetModus() != MODUS_NEU) return;
    CString kuerzel = m_editKuerzel.GetText();
    kuerzel.Trim();
    if (kuerzel.IsEmpty()) return;
    CQTb existing(dbDatabase);
    existing.Kuerzel = kuerzel;
    if (existing.GetByK2(XQ_MATCH_EQUAL) != XQ_OK) return;
    s_asking = true;
    const int answer = SollIch(kDbMsgGroup, kDbMsgKuerzelTaken);
    s_asking = false;
    if (answer == XQ_IDYES) {
        ReadByKey(kuerzel);
        SetModus(MODUS_GEAENDERT);
    } else {
        FocusKuerzel(true);
    }
}

void CdiaTB::OnOnReturnKuerzel() {
    if (m_searching) return;
    const int modus = GetModus();
    if (modus == MODUS_LEER) {
        SetModus(MODUS_NEU);
        return;
    }
    if (modus == MODUS_GEAENDERT && CheckAllFields(0) != 0) {
        const std::vector<CWnd*> changed = ChangedFields();
        const bool onlyKuerzel = changed.size() == 1 && changed[0] == &m_editKuerzel;
        if (!onlyKuerzel && !LeaveRecord()) return;
    }
    CString kuerzel = m_editKuerzel.GetText();
    kuerzel.Trim();
    if (!kuerzel.IsEmpty()) {
        CQTb from(dbDatabase);
        from.SetKey(2, true);
        from.Kuerzel = kuerzel;
        if (from.GetByK2(XQ_MATCH_GE) != XQ_OK) {
            StartNew(kuerzel);
            return;
        }
        if (from.Kuerzel == kuerzel) {
            // The block is read; the mode stays what it was.
            m_Tb.Kuerzel = kuerzel;
            if (m_Tb.GetByK2(XQ_MATCH_EQUAL) == XQ_OK) ReadData();
            SetPrevNext();
            return;
        }
    }
    CString chosen;
    const int result = RunSearch(kuerzel, chosen);
    if ((result == kSearchTaken || result == kSearchEdit) && chosen != m_editKuerzel.GetText()) {
        ReadByKey(chosen);
    } else if (result == kSearchNew) {
        StartNew();
    } else {
        FocusKuerzel();
    }
}

void CdiaTB::OnOnSelChangeGruppe() {
    if (m_reading) return;
    const char member = m_lastMember;
    SelectGroupMember(SelectedGroup(), member);
    OnOnSelChangeUntergruppe();
}

void CdiaTB::OnOnSelChangeUntergruppe() {
    if (m_reading) return;
    m_lastMember = SelectedMember();
    DoMaxLineLength();
    OnOnChangeField();
}

void CdiaTB::OnClickXqlcheckKasse() {
    if (!m_checkKasse.GetCheck() && !m_checkPrivat.GetCheck()) m_checkPrivat.SetCheck(true);
    OnOnChangeField();
}

void CdiaTB::OnClickXqlcheckPrivat() {
    if (!m_checkKasse.GetCheck() && !m_checkPrivat.GetCheck()) m_checkKasse.SetCheck(true);
    OnOnChangeField();
}
