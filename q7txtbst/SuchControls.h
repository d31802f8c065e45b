#pragma once
// Control wiring the module's search dialogs share.
#include <initializer_list>

#include "host/db/XQRSet.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQControls.h"

// Connects want-line-down/up and skip-lines of grid to the record set of its
// hits. Right after a search that set stands on the first hit already, which
// the dialog marks in freshHits: the first step then moves the grid alone,
// any later step moves the set first and the grid only when the set could
// move. grid, hits and freshHits belong to the dialog and live as long as the
// grid.
inline void BindSuchGrid(CXQGridX& grid, CXQRSet& hits, bool& freshHits) {
    CXQGridX* const g = &grid;
    CXQRSet* const set = &hits;
    bool* const fresh = &freshHits;
    grid.onWantLineDown = [g, set, fresh] {
        if (*fresh)
            *fresh = false;
        else if (set->Next() != XQ_OK)
            return;
        g->LineDown();
    };
    grid.onWantLineUp = [g, set, fresh] {
        if (*fresh)
            *fresh = false;
        else if (set->Prev() != XQ_OK)
            return;
        g->LineUp();
    };
    grid.onSkipLines = [set, fresh](int count) {
        *fresh = false;
        set->Jump(count);
    };
}

// Boxes of one choice that allows one answer at most: clears every box of
// group but keep.
inline void CheckAlone(const CXQLCheckX& keep, std::initializer_list<CXQLCheckX*> group) {
    for (CXQLCheckX* box : group)
        if (box != &keep) box->SetCheck(false);
}
