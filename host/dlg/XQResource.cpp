#include "host/dlg/XQResource.h"

#include <algorithm>

#include "host/db/HostData.h"

namespace {

struct Registry {
    std::vector<XQResourceModule*> modules;  // in registration order
    XQResourceModule* current = nullptr;
};

Registry& Reg() {
    static Registry registry;
    return registry;
}

// The current resource module first, then every other in registration order.
std::vector<XQResourceModule*> SearchOrder() {
    Registry& reg = Reg();
    std::vector<XQResourceModule*> order;
    order.reserve(reg.modules.size() + 1);
    if (reg.current) order.push_back(reg.current);
    for (XQResourceModule* module : reg.modules)
        if (module != reg.current) order.push_back(module);
    return order;
}

}  // namespace

bool XQRegisterModule(XQResourceModule* module) {
    if (!module) return false;
    Registry& reg = Reg();
    for (XQResourceModule* known : reg.modules)
        if (known == module || known->name == module->name) return false;
    reg.modules.push_back(module);
    return true;
}

void XQUnregisterModule(XQResourceModule* module) {
    Registry& reg = Reg();
    reg.modules.erase(std::remove(reg.modules.begin(), reg.modules.end(), module),
                      reg.modules.end());
    if (reg.current == module) reg.current = nullptr;
}

XQResourceModule* XQFindModule(const CString& name) {
    for (XQResourceModule* module : Reg().modules)
        if (module->name == name) return module;
    return nullptr;
}

XQResourceModule* XQGetResourceModule() {
    return Reg().current;
}

void XQSetResourceModule(XQResourceModule* module) {
    Reg().current = module;
}

const XQDialogTemplate* XQFindTemplate(int number) {
    for (XQResourceModule* module : SearchOrder()) {
        auto it = module->templates.find(number);
        if (it != module->templates.end()) return &it->second;
    }
    return nullptr;
}

const XQRuntimeClass* XQFindRuntimeClass(const CString& name) {
    for (XQResourceModule* module : SearchOrder())
        for (const XQRuntimeClass& cls : module->classes)
            if (cls.name == name) return &cls;
    return nullptr;
}

XQControlTemplate& XQAddControl(XQDialogTemplate& dialog, int id, XQKind kind, const CString& label,
                                int x, int y, int width, int height, const CString& hint) {
    XQControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.label = label;
    c.x = x;
    c.y = y;
    c.width = width;
    c.height = height;
    c.hint = hint;
    dialog.controls.push_back(c);
    return dialog.controls.back();
}

CString XQLoadString(int number) {
    for (XQResourceModule* module : SearchOrder()) {
        auto it = module->strings.find(number);
        if (it != module->strings.end()) return it->second;
    }
    return LoadQ7String(number);
}
