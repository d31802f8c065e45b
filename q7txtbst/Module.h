#pragma once
// The module's resources and the switch of the framework's current resource
// module around every dialog the module shows.
#include "host/base/XQGuard.h"  // every export runs its work through XQGuard
#include "host/dlg/XQResource.h"

// The module's name in the framework's resource chain.
inline constexpr const char* kModuleName = "q7txtbst";

// Dialog template numbers.
enum : int {
    IDD_SUCHTB = 7100,
    IDD_TB = 7110,        // editor "Textbausteine"
    IDD_EXPORTTB = 7120,  // export of the exchange file
    IDD_IMPORTTB = 7130,  // import of the exchange file
    IDD_SUCHICD = 7200,
    IDD_CONFIGSUCHICD = 7205,  // its settings
    IDD_SUCHICDKZBV = 7210,    // dental free-text diagnoses
    IDD_SUCHOPS = 7300,
    // The coding rules keep the numbers the host's callers construct them with.
    IDD_KRWSTAMMVIEW = 1531,
    IDD_KRWREGELVIEW = 1532,  // rules switched off for patients
    IDD_KRWAENDERUNGEN = 1533,
    IDD_KRWREGELDETAILS = 1534,
    IDD_VASTAMMVIEW = 1512,  // the coding manual
};

// The module's resources, registered when the library is loaded.
XQResourceModule& TbResourceModule();

// Makes this module the current resource module for its lifetime and puts
// the previous one back afterwards, also when the dialog failed. With
// unconditional false the current module stays when the lookup finds none.
class CTbResourceSwitch {
  public:
    explicit CTbResourceSwitch(bool unconditional = true);
    ~CTbResourceSwitch();
    CTbResourceSwitch(const CTbResourceSwitch&) = delete;
    CTbResourceSwitch& operator=(const CTbResourceSwitch&) = delete;

  private:
    XQResourceModule* m_previous;
};

// Each dialog file contributes its template and run-time class.
XQDialogTemplate SuchTBTemplate();
XQRuntimeClass SuchTBRuntimeClass();
XQDialogTemplate TbTemplate();
XQRuntimeClass TbRuntimeClass();
XQDialogTemplate ExportTBTemplate();
XQDialogTemplate ImportTBTemplate();
XQDialogTemplate SuchIcdKZBVTemplate();
XQDialogTemplate SuchIcdTemplate();
XQRuntimeClass SuchIcdRuntimeClass();
XQDialogTemplate ConfigSuchIcdTemplate();
XQDialogTemplate SuchOPSTemplate();
XQRuntimeClass SuchOPSRuntimeClass();
XQDialogTemplate KRWStammViewTemplate();
XQRuntimeClass KRWStammViewRuntimeClass();
XQDialogTemplate KRWRegelDetailsTemplate();
XQRuntimeClass KRWRegelDetailsRuntimeClass();
XQDialogTemplate KRWAenderungenTemplate();
XQRuntimeClass KRWAenderungenRuntimeClass();
XQDialogTemplate KRWRegelInaktivViewTemplate();
XQDialogTemplate VAStammViewTemplate();
XQRuntimeClass VAStammViewRuntimeClass();
