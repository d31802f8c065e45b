// The diagnosis search family of the exported functions. Like the text block
// family, nothing thrown inside may reach the host, and the caller's strings
// change only when the user confirmed.
#include "q7txtbst/Module.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/diaSuchIcd.h"
#include "q7txtbst/diaSuchIcdKZBV.h"

namespace {

// Runs the search dialog the entry point has set up; on confirm hands the
// chosen code and the addition out.
bool RunIcdSearch(CdiaSuchIcd& dialog, CString* code, CString* addition) {
    if (dialog.DoModal() != 1) return false;
    if (code) *code = dialog.m_Icd.Code;
    if (addition) *addition = dialog.m_strZusatz;
    return true;
}

CString SearchCode(const CString* code) {
    CString search = code ? *code : CString();
    search.Remove('.');
    search.Remove('-');
    search.Trim();
    return search;
}

}  // namespace

extern "C" {

bool Q7SuchIcd(bool reducedView, bool codeOnly, const CString& patientId, CWnd* parent,
               CString* code, CString* addition) {
    return XQGuard("Diagnose suchen", false, [&] {
        CTbResourceSwitch resources(false);
        CdiaSuchIcd dialog(codeOnly, patientId, parent);
        dialog.m_Icd.Code = SearchCode(code);
        dialog.m_strZusatz = addition ? *addition : CString();
        dialog.m_bReduziert = reducedView;
        dialog.m_bAuszug = false;
        return RunIcdSearch(dialog, code, addition);
    });
}

bool Q7SuchIcdSekundaerCode(bool codeOnly, const CString& patientId, const CString& primaryCode,
                            CWnd* parent, CString* code, CString* addition) {
    return XQGuard("Sekund\344rcode suchen", false, [&] {
        CTbResourceSwitch resources(false);
        CdiaSuchIcd dialog(codeOnly, patientId, parent);
        CString primary = primaryCode;
        primary.Remove('.');
        dialog.m_strPrimaerCode = primary;
        return RunIcdSearch(dialog, code, addition);
    });
}

bool Q7SuchIcdZahnmedizinAU(bool codeOnly, CWnd* parent, CString* code, CString* addition) {
    return XQGuard("Diagnose suchen", false, [&] {
        CTbResourceSwitch resources(false);
        CdiaSuchIcd dialog(codeOnly, CString(), parent);
        dialog.m_Icd.Code = SearchCode(code);
        dialog.m_strZusatz = addition ? *addition : CString();
        dialog.m_bReduziert = true;
        dialog.m_bAuszug = true;
        return RunIcdSearch(dialog, code, addition);
    });
}

bool Q7SuchIcdFreitextdiagnosenKZBV(CWnd* parent, bool codeOnly, CString* code1, CString* zusatz1,
                                    CString* text1, CString* code2, CString* zusatz2,
                                    CString* text2) {
    return XQGuard("Freitextdiagnosen \374berleiten", false, [&] {
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
