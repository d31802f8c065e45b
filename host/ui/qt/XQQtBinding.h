#pragma once
// Inside the window front end only: one control of the model and the widgets
// that show it. Each kind of control has one binding class that builds its
// widgets, tells the model what the user does in them, and copies the model's
// state back into them; XQQtMakeBinding chooses it once, by the kind.
#include <QChar>
#include <QString>
#include <memory>
#include <vector>

#include "host/dlg/XQControls.h"

class QFont;
class QLabel;
class QObject;
class QWidget;
class XQQtWindow;

class XQQtBinding {
  public:
    XQQtBinding(CWnd& control, XQQtWindow& window) : control(&control), m_window(&window) {}
    virtual ~XQQtBinding() = default;
    XQQtBinding(const XQQtBinding&) = delete;
    XQQtBinding& operator=(const XQQtBinding&) = delete;

    // Makes the kind's widgets in box: input, and label where one shows.
    virtual void Build() = 0;
    // Passes the user's actions in the widgets on to the model; a change the
    // window makes itself while it copies the model is no user action.
    virtual void Connect() {}
    // Copies the model's state into the widgets: what every kind shows
    // (visible, enabled, hint, label), then the kind's own state.
    void Update();
    // watched, a widget the binding watches through the window, has resized.
    virtual void Resized(QObject* watched) { (void)watched; }

    CWnd* control;
    QWidget* box = nullptr;    // placed at the template's rectangle
    QWidget* input = nullptr;  // takes the focus and the user's input
    QLabel* label = nullptr;   // the control's label, when it shows one

  protected:
    virtual void UpdateKind() = 0;
    // True while the window copies the model into the widgets.
    bool Updating() const;
    XQQtWindow& Window() const { return *m_window; }
    // label with the mnemonic the window gave this control (unique there).
    QString Shown(const CString& label);

    // Layouts of box: the label left of input (as its buddy, or as plain
    // text), the label above input, or input alone filling the box.
    void LabelLeft(QWidget* widget, bool buddy);
    void LabelTop(QWidget* widget);
    void Fill(QWidget* widget);

  private:
    XQQtWindow* m_window;
    bool m_claimed = false;
    QChar m_letter;
};

// The binding of control's kind. The window gives it its box, then has it
// Build and Connect.
std::unique_ptr<XQQtBinding> XQQtMakeBinding(CWnd& control, XQQtWindow& window);

// The item views' bindings (XQQtItemViews.cpp), made by XQQtMakeBinding.
std::unique_ptr<XQQtBinding> XQQtListBinding(CXQListBoxX& list, XQQtWindow& window);
std::unique_ptr<XQQtBinding> XQQtGridBinding(CXQGridX& grid, XQQtWindow& window);
std::unique_ptr<XQQtBinding> XQQtTreeBinding(CXQTreeX& tree, XQQtWindow& window);

// Lists that show columns aligned with blanks keep them aligned in this
// fixed-pitch font.
QFont XQQtFixedPitchFont();

// A caption named "Spalten" right above a list holds the list's column
// titles: the list it heads (nullptr: none), and the widget that shows the
// titles at the list's tab stops (XQQtItemViews.cpp).
CXQListBoxX* XQQtHeadedList(const CWnd& caption, const std::vector<CWnd*>& controls);
QLabel* XQQtColumnHeader(const CXQListBoxX& list, QWidget* parent);
