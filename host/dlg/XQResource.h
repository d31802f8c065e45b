#pragma once
// Dialog templates are resources of a module. A module registers its table of
// templates when it is loaded and deregisters it when it is unloaded; a dialog
// finds its template through the framework's current resource module first
// and then through every other registered module, in registration order.
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "host/base/CString.h"

enum class XQKind {
    Edit,     // labelled single-line edit (CXQLEditX)
    Combo,    // labelled combo box (CXQLComboX)
    Check,    // labelled check box (CXQLCheckX)
    Memo,     // multi-line memo (CXQLMemoX, CXQMemoX)
    List,     // list box with columns (CXQListBoxX)
    Tab,      // tab strip (CXQTabX)
    Caption,  // label bevel or label that shows data (CXQLabelX)
    Label,    // static text that shows no data; never dumped
    Frame,    // group frame around other controls; never dumped
    Button,   // push button (CXQButtonX)
    Grid,     // virtual grid (CXQGridX)
    Tree,     // tree (CXQTreeX)
};

struct Q7HOST_API XQControlTemplate {
    int id = 0;
    XQKind kind = XQKind::Edit;
    CString label;  // as shown, "&" marks the mnemonic ("&Code", "Gru&ppe:")
    int x = 0, y = 0, width = 100, height = 20;  // dialog units, for the window front end
    CString hint;                                // tool tip
    bool mandatory = false;                      // checked by CheckMussFelder
    bool readOnly = false;
    bool visible = true;
    bool enabled = true;
    int tabOrder = 0;  // 0: in the order of the table
};

struct Q7HOST_API XQToolbarTemplate {
    int number = 0;  // 10001 exit, 10005 accept, 10015 search, 10025 help, ...
    CString hint;    // "ESC - Abbrechen"
    bool visible = true;
    bool enabled = true;
    // The icon theme's name for a window front end ("edit-find"); empty: the
    // standard one of its number, or none.
    CString icon;
};

struct Q7HOST_API XQDialogTemplate {
    int number = 0;
    CString caption;
    int width = 400, height = 300;
    std::vector<XQControlTemplate> controls;
    std::vector<XQToolbarTemplate> toolbar;
    // The control a window front end shows as the window's status line
    // instead of on the page (0: none); a text front end shows it as usual.
    int statusControl = 0;
};

class CXQDialog;
class CWnd;

// A dialog class a module exports whole, creatable by name as the host may:
// the factory parses the host's text arguments into the class's constructor
// arguments and returns nullptr when they do not fit.
struct Q7HOST_API XQRuntimeClass {
    CString name;  // "CdiaSuchTB"
    std::function<std::unique_ptr<CXQDialog>(const std::vector<CString>& args, CWnd* parent)>
        create;
    // Optional: the named values a host that ran the dialog may report
    // after it ended with that modal result, in their order (name, value).
    std::function<std::vector<std::pair<CString, CString>>(CXQDialog& dialog, int result)> results;
};

// A module's resources: its dialog templates, its plain string resources
// (looked up before the host's string table while the module is current) and
// its run-time classes.
struct Q7HOST_API XQResourceModule {
    CString name;  // "q7txtbst"
    std::map<int, XQDialogTemplate> templates;
    std::map<int, CString> strings;
    std::vector<XQRuntimeClass> classes;
};

// Appends a control to a template and returns it for further settings (the
// reference stays valid until the next control is added).
Q7HOST_API XQControlTemplate& XQAddControl(XQDialogTemplate& dialog, int id, XQKind kind,
                                           const CString& label, int x, int y, int width,
                                           int height, const CString& hint = CString());

// Registration returns false when a module of that name is registered already.
Q7HOST_API bool XQRegisterModule(XQResourceModule* module);
Q7HOST_API void XQUnregisterModule(XQResourceModule* module);
// nullptr when no module of that name is registered.
Q7HOST_API XQResourceModule* XQFindModule(const CString& name);
Q7HOST_API XQResourceModule* XQGetResourceModule();
Q7HOST_API void XQSetResourceModule(XQResourceModule* module);
// The template of that number: current resource module first, then the chain.
Q7HOST_API const XQDialogTemplate* XQFindTemplate(int number);
// The run-time class of that name in any registered module; nullptr if none.
Q7HOST_API const XQRuntimeClass* XQFindRuntimeClass(const CString& name);
// A plain string resource: current resource module first, then the chain,
// then the host's string table (LoadQ7String); "" when none has it.
Q7HOST_API CString XQLoadString(int number);
