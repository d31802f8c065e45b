#pragma once
// Inside the window front end only: the window that shows one dialog of the
// model, one binding per control (XQQtBinding.h). Widgets tell the model what
// the user did (its User... calls, keys, focus, caret); the model reaches the
// widgets only through Flush, which copies its state into them.
#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "host/dlg/XQDialog.h"

class QStatusBar;
class QTimer;
class XQQtBinding;
class XQQtFormLayout;
class XQQtToolbar;

QString ToQt(const CString& text);
CString FromQt(const QString& text);
// label as the toolkit shows it, its mnemonic on letter (none: a null char).
QString XQQtWithMnemonic(const CString& label, QChar letter);

// Shows the model's changes once the event loop runs again (XQQtFrontEnd.cpp).
void XQQtScheduleFlush();

// Runs a user action on the model. Errors of dialog code stop here, logged
// and told in a German box, so none passes through the toolkit's event loop.
// flush: show the model afterwards even where it told no change (focus,
// caret).
void XQQtDeliver(const std::function<void()>& action, bool flush = true);
// As XQQtDeliver, for a key the user pressed in field (a text field, or
// nullptr): what the model then writes into that field is the user's own
// edit, which Ctrl+Z there takes back (a Kürzel expanded by its key).
void XQQtDeliverKey(QWidget* field, const std::function<void()>& action);
// The text field whose key started the user's last action (nullptr: none).
QWidget* XQQtKeyField();

class XQQtWindow : public QDialog {
  public:
    XQQtWindow(CXQDialog& dialog, QWidget* parent);
    ~XQQtWindow() override;

    CXQDialog& Dialog() const { return m_dialog; }
    // Copies the model's state into the widgets: of the controls that told
    // a change (changed), or of all (nullptr). Title, toolbar and focus
    // always.
    void Flush(const std::set<CWnd*>* changed = nullptr);
    // True while Flush copies the model into the widgets: what the widgets
    // report then is no user action.
    bool Updating() const { return m_updating; }
    // The letter Alt reaches the control of this label with, unique in the
    // window (none: a null char); asked once per control, in tab order.
    QChar ClaimMnemonic(const CString& label);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Build();
    void BuildControl(CWnd& control);
    // The size and place the window had when this workstation last closed
    // it (by the dialog's template), kept in the practice's home.
    void RestoreGeometry();
    void SaveGeometry();
    void BuildStatusBar(int id);
    void UpdateFocus();
    void LeaveByExit();
    XQQtBinding* BindingOf(QObject* object) const;
    void OnFocusChanged(QWidget* now);
    // A key for the model; false when the widget should have it.
    bool RouteKey(QKeyEvent* event, XQQtBinding* binding);
    void PressReturn(CWnd* control);

    CXQDialog& m_dialog;
    QWidget* m_page = nullptr;
    XQQtFormLayout* m_form = nullptr;  // the page's
    QStatusBar* m_status = nullptr;    // holds the status control, if the dialog has one
    std::vector<std::unique_ptr<XQQtBinding>> m_bindings;
    std::map<QObject*, XQQtBinding*> m_byWidget;
    XQQtToolbar* m_toolbar = nullptr;  // and the main window's menu
    CWnd* m_focusShown = nullptr;
    QTimer* m_timer = nullptr;
    bool m_updating = false;
    bool m_closing = false;
    QString m_mnemonics;  // the letters labels have taken
};
