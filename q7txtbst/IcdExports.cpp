// The diagnosis search family of the exported functions. Like the text block
// family, nothing thrown inside may reach the host, and the caller's strings
// change only when the user confirmed.
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaSuchIcdKZBV.h"

extern "C" {

bool Q7SuchIcdFreitextdiagnosenKZBV(CWnd* parent, bool codeOnly, CString* code1, CString* zusatz1,
                                    CString* text1, CString* code2, CString* zusatz2,
                                    CString* text2) {
    return Guarded(false, [&] {
        // These entry points keep the current resource module when the
        // module's own is not registered.
        CTbResourceSwitch resources(false);
        CdiaSuchIcdKZBV dialog(codeOnly ? 1 : 0, parent);
        if (dialog.DoModal() != 1) return false;
        const struct {
            CString* out;
            const CString& value;
        } results[] = {{code1, dialog.m_strCode1},     {zusatz1, dialog.m_strZusatz1},
                       {text1, dialog.m_strText1},     {code2, dialog.m_strCode2},
                       {zusatz2, dialog.m_strZusatz2}, {text2, dialog.m_strText2}};
        for (const auto& r : results)
            if (r.out) *r.out = r.value;
        return true;
    });
}

}  // extern "C"
