#include "q7txtbst/Module.h"

#include "host/dlg/XQDialog.h"

XQResourceModule& TbResourceModule() {
    static XQResourceModule module = [] {
        XQResourceModule m;
        m.name = kModuleName;
        for (const XQDialogTemplate& t :
             {SuchTBTemplate(), TbTemplate(), ExportTBTemplate(), ImportTBTemplate(),
              SuchIcdKZBVTemplate(), SuchIcdTemplate(), ConfigSuchIcdTemplate(), SuchOPSTemplate(),
              KRWStammViewTemplate(), KRWRegelInaktivViewTemplate(), KRWAenderungenTemplate(),
              KRWRegelDetailsTemplate(), VAStammViewTemplate()})
            m.templates[t.number] = t;
        m.classes.push_back(SuchTBRuntimeClass());
        m.classes.push_back(TbRuntimeClass());
        m.classes.push_back(SuchIcdRuntimeClass());
        m.classes.push_back(SuchOPSRuntimeClass());
        m.classes.push_back(KRWStammViewRuntimeClass());
        m.classes.push_back(KRWRegelDetailsRuntimeClass());
        m.classes.push_back(KRWAenderungenRuntimeClass());
        m.classes.push_back(VAStammViewRuntimeClass());
        return m;
    }();
    return module;
}

CTbResourceSwitch::CTbResourceSwitch(bool unconditional) : m_previous(XQGetResourceModule()) {
    XQResourceModule* self = XQFindModule(kModuleName);
    if (self || unconditional) XQSetResourceModule(self);
}

CTbResourceSwitch::~CTbResourceSwitch() {
    XQSetResourceModule(m_previous);
}

namespace {

// Loading the library joins its templates and classes to the framework's
// resource chain; unloading leaves it again.
struct ModuleRegistration {
    bool registered;
    ModuleRegistration() : registered(XQRegisterModule(&TbResourceModule())) {}
    ~ModuleRegistration() {
        if (registered) XQUnregisterModule(&TbResourceModule());
    }
};

ModuleRegistration s_registration;

}  // namespace
