// The coding manual viewer as the host calls it. Nothing thrown inside may
// reach the host.
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaVAStammView.h"

extern "C" {

int Q7VAStammView(const CString& code, CWnd* parent) {
    return XQGuard("Verschl\374sselungsanleitung", 0, [&] {
        // Keeps the current resource module when the module's own is not
        // registered.
        CTbResourceSwitch resources(false);
        CdiaVAStammView dialog(code, parent);
        return dialog.DoModal() == 1 ? 1 : 0;
    });
}
}
