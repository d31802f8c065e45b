#include "q7txtbst/TbExchange.h"

XQDialogTemplate TbExchangeTemplate(int number, const char* caption, int width, bool withHeader) {
    XQDialogTemplate t;
    t.number = number;
    t.caption = caption;
    t.width = width;
    t.height = 420;
    const int listWidth = width - 30;
    XQAddControl(t, IDC_TBX_GRUPPE, XQKind::Combo, "&Gruppe", 10, 10, 220, 20);
    XQAddControl(t, IDC_TBX_UNTERGRUPPE, XQKind::Combo, "&Untergruppe", 240, 10, 220, 20);
    if (withHeader) {
        XQAddControl(t, IDC_TBX_HEADER, XQKind::Caption, "Spalten", 10, 40, listWidth, 16);
        XQAddControl(t, IDC_TBX_LIST, XQKind::List, "Textbausteine", 10, 60, listWidth, 340);
    } else {
        XQAddControl(t, IDC_TBX_LIST, XQKind::List, "Textbausteine", 10, 40, listWidth, 360);
    }
    t.toolbar = {
        {XQTB_EXIT, "ESC - Abbrechen"},
        {XQTB_ACCEPT,
         "\xDC"
         "bernehmen"},
        {kTbSelectAll, "Strg+S - Alle Textbausteine an- bzw. abw\xE4hlen."},
        {XQTB_HELP, "F1 - Hilfe"},
    };
    return t;
}

void ToggleAllTicks(CXQListBoxX& list) {
    bool all = true;
    for (int i = 0; i < list.GetCount() && all; ++i) all = list.GetCheck(i);
    for (int i = 0; i < list.GetCount(); ++i) list.SetCheck(i, !all);
}

bool AnyTicked(const CXQListBoxX& list) {
    for (int i = 0; i < list.GetCount(); ++i)
        if (list.GetCheck(i)) return true;
    return false;
}
