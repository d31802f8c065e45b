// The procedure search among the exported functions. Nothing thrown inside
// may reach the host, and the caller's field set changes only when the user
// confirmed.
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaSuchOPS.h"

extern "C" {

int Q7SuchOPS(bool noSide, const CString& date, CWnd* parent, CQOps_Fields* result) {
    return XQGuard("OP-Schl\374ssel suchen", -1, [&] {
        // Unlike the diagnosis search, this entry point makes the module's
        // resources current even when the lookup finds none.
        CTbResourceSwitch resources(true);
        CdiaSuchOPS dialog(noSide, date, parent);
        const int modal = dialog.DoModal();
        if (modal == 1 && result) *result = dialog.m_Ops.GetFields();
        return modal;
    });
}
}
