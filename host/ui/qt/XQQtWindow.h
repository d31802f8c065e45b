#pragma once
// Inside the window front end only: the window that shows one dialog of the
// model, one binding per control. Widgets tell the model what the user did
// (its User... calls, keys, focus, caret); the model reaches the widgets only
// through Flush, which copies its state into them.
#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "host/dlg/XQDialog.h"

class QAbstractButton;
class QLabel;
class QTimer;
class QAction;
class QToolButton;
class XQQtGridModel;

QString ToQt(const CString& text);
CString FromQt(const QString& text);

// Shows the model's changes once the event loop runs again (XQQtFrontEnd.cpp).
void XQQtScheduleFlush();

// Runs a user action on the model. Errors of dialog code stop here with a
// German message, so none passes through the toolkit's event loop. flush:
// show the model afterwards even where it told no change (focus, caret).
void XQQtDeliver(const std::function<void()>& action, bool flush = true);

// One control of the model and the widgets that show it.
struct XQQtBinding {
    CWnd* control = nullptr;
    QWidget* box = nullptr;         // placed at the template's rectangle
    QWidget* input = nullptr;       // takes the focus and the user's input
    QLabel* label = nullptr;        // the control's label, when it shows one
    QLabel* value = nullptr;        // a caption's data
    XQQtGridModel* grid = nullptr;  // a child of the grid's view
    // The selection last copied either way, so that a selection set in code
    // reaches the widget while the user's own stays where it is.
    int selStart = -1, selEnd = -1;
};

class XQQtWindow : public QDialog {
  public:
    XQQtWindow(CXQDialog& dialog, QWidget* parent);
    ~XQQtWindow() override;

    CXQDialog& Dialog() const { return m_dialog; }
    // Copies the model's state into the widgets: of the controls that told
    // a change (changed), or of all (nullptr). Title, toolbar and focus
    // always.
    void Flush(const std::set<CWnd*>* changed = nullptr);
    const std::vector<std::unique_ptr<XQQtBinding>>& Bindings() const { return m_bindings; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Build();
    void BuildToolbar(QWidget* bar);
    void BuildControl(CWnd& control);
    void Connect(XQQtBinding& binding);
    void Update(XQQtBinding& binding);
    void UpdateToolbar();
    void UpdateFocus();
    void LeaveByExit();
    XQQtBinding* BindingOf(QObject* object) const;
    void OnFocusChanged(QWidget* now);
    // A key for the model; false when the widget should have it.
    bool RouteKey(QKeyEvent* event, XQQtBinding* binding);

    CXQDialog& m_dialog;
    QWidget* m_page = nullptr;
    std::vector<std::unique_ptr<XQQtBinding>> m_bindings;
    std::map<QObject*, XQQtBinding*> m_byWidget;
    std::map<int, QToolButton*> m_toolbar;
    std::map<int, QAction*> m_menu;  // the main window's menu entries
    CWnd* m_focusShown = nullptr;
    QTimer* m_timer = nullptr;
    bool m_updating = false;
    bool m_closing = false;
};
