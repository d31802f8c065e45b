// The text block family of the exported functions. Nothing thrown inside the
// module may reach the host: every export ends its work in a catch-all and
// leaves the caller's target as the steps had left it.
#include "host/db/Records.h"
#include "host/dlg/XQControls.h"
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbInsert.h"
#include "q7txtbst/TbStore.h"
#include "q7txtbst/diaSuchTB.h"

namespace {

// Runs the search dialog preset to group, member and Kürzel; hands back the
// modal result and the Kürzel and description the dialog ended on.
int RunSearch(CWnd* parent, const CString& kuerzel, const CString& group, const CString& member,
              CString* chosenKuerzel, CString* chosenDescription) {
    CTbResourceSwitch resources;
    CdiaSuchTB dialog(parent);
    dialog.m_Tb.Kuerzel = kuerzel;
    dialog.m_Tb.Gruppe = group;
    dialog.m_Tb.Untergruppe = member;
    const int result = dialog.DoModal();
    if (chosenKuerzel) *chosenKuerzel = dialog.m_Tb.Kuerzel;
    if (chosenDescription) *chosenDescription = dialog.m_Tb.Beschreibung;
    return result;
}

// The searching memo variants share everything but the memo's class.
void EntryMemo(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines, const CString& group,
               const CString& member) {
    if (!memo || !lines) return;
    if (ExpandTbMemo(*lines, memo->GetLines())) return;
    CString kuerzel;
    if (RunSearch(parent, CString(), group, member, &kuerzel, nullptr) != 1) return;
    CString text;
    CollectTb(*lines, kuerzel, text);
    InsertTbIntoMemo(*memo, text);
}

int ExpandMemoSilently(CXQLMemoX* memo, CQTbEntry* lines) {
    if (!memo || !lines) return 0;
    return ExpandTbMemo(*lines, memo->GetLines()) ? 1 : 0;
}

}  // namespace

extern "C" {

void DoTbEntryXQL(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines, CString group, CString member) {
    XQGuard("Textbaustein einsetzen", 0, [&] {
        EntryMemo(parent, memo, lines, group, member);
        return 0;
    });
}

void DoTbEntryXQ(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines, CString group, CString member) {
    XQGuard("Textbaustein einsetzen", 0, [&] {
        EntryMemo(parent, memo, lines, group, member);
        return 0;
    });
}

void DoTbEntryXQL2(CWnd* parent, CXQLEditX* edit, CQTbEntry* lines, CString group, CString member) {
    XQGuard("Textbaustein einsetzen", 0, [&] {
        if (!edit || !lines) return 0;
        CString text = edit->GetText();
        if (ExpandTbString(*lines, text)) {
            edit->SetText(text);
            return 0;
        }
        CString kuerzel;
        if (RunSearch(parent, CString(), group, member, &kuerzel, nullptr) != 1) return 0;
        CString collected;
        CollectTb(*lines, kuerzel, collected);
        InsertTbIntoEdit(*edit, collected);
        return 0;
    });
}

void DoTbEntryString(CWnd* parent, CString* text, CQTbEntry* lines, CString group, CString member) {
    XQGuard("Textbaustein einsetzen", 0, [&] {
        if (!text || !lines) return 0;
        if (ExpandTbString(*lines, *text)) return 0;
        CString kuerzel;
        if (RunSearch(parent, CString(), group, member, &kuerzel, nullptr) != 1) return 0;
        CString collected;
        // A block that vanished meanwhile leaves the caller's string as it was.
        if (!CollectTb(*lines, kuerzel, collected)) return 0;
        *text = collected;
        TbLineBreaksToBlanks(*text);
        return 0;
    });
}

int DoTbEntryXQL_NoSearch(CWnd*, CXQLMemoX* memo, CQTbEntry* lines) {
    return XQGuard("Textbaustein einsetzen", 0, [&] { return ExpandMemoSilently(memo, lines); });
}

int DoTbEntryXQ_NoSearch(CWnd*, CXQLMemoX* memo, CQTbEntry* lines) {
    return XQGuard("Textbaustein einsetzen", 0, [&] { return ExpandMemoSilently(memo, lines); });
}

int DoTbEntryString_NoSearch(CWnd*, CString* text, CQTbEntry* lines) {
    return XQGuard("Textbaustein einsetzen", 0, [&] {
        if (!text || !lines) return 0;
        const int expanded = ExpandTbString(*lines, *text) ? 1 : 0;
        TbLineBreaksToBlanks(*text);
        return expanded;
    });
}

int Q7SuchTB(CString* kuerzel, CString group, CString member, CWnd* parent) {
    return XQGuard("Textbaustein suchen", -1, [&] {
        CString preset = kuerzel ? *kuerzel : CString();
        return RunSearch(parent, preset, group, member, kuerzel, nullptr);
    });
}

int Q7SuchTBBeschreibung(CString* description, CString group, CString member, CWnd* parent) {
    return XQGuard("Textbaustein suchen", -1, [&] {
        return RunSearch(parent, CString(), group, member, nullptr, description);
    });
}

}  // extern "C"
