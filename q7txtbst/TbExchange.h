#pragma once
// What the export and the import dialog share: the same window with a
// checkable list of blocks under the group and member combos, and the same
// ticking commands.
#include "host/dlg/XQControls.h"
#include "host/dlg/XQDialog.h"
#include "host/dlg/XQResource.h"

enum : int {
    IDC_TBX_GRUPPE = 1001,
    IDC_TBX_UNTERGRUPPE,
    IDC_TBX_HEADER,  // the import's column caption
    IDC_TBX_LIST,
};

// Toolbar button that ticks or unticks all (also Ctrl+S).
inline constexpr int kTbSelectAll = 10030;

// The dialog's template; withHeader adds the column caption above the list.
XQDialogTemplate TbExchangeTemplate(int number, const char* caption, int width, bool withHeader);

// Ticks every line, or unticks them all when every line is ticked already.
void ToggleAllTicks(CXQListBoxX& list);
bool AnyTicked(const CXQListBoxX& list);
