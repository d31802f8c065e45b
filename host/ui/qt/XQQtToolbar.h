#pragma once
// Inside the window front end only: a window's toolbar, one button per
// toolbar button of the model with its icon from the icon theme, and for the
// main window (the one without an owner) the same commands as a menu bar.
#include <QObject>
#include <map>

class QAction;
class QMenuBar;
class QToolBar;
class QToolButton;
class XQQtWindow;

class XQQtToolbar : public QObject {
  public:
    explicit XQQtToolbar(XQQtWindow& window);

    // nullptr when the dialog has no toolbar buttons.
    QToolBar* Bar() const { return m_bar; }
    // nullptr but for the main window.
    QMenuBar* MenuBar() const { return m_menuBar; }
    // Gives the menus their letters once the dialog's controls have theirs.
    void NameMenus();
    // Copies the buttons' texts, tips, enabling and visibility from the model.
    void Update();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildBar();
    void BuildMenu();
    // Texts beside the icons while the bar has room for them, else icons
    // alone; buttons that still do not fit go behind the bar's extension.
    void Fit();

    XQQtWindow& m_window;
    QToolBar* m_bar = nullptr;
    QMenuBar* m_menuBar = nullptr;
    std::map<int, QToolButton*> m_tools;
    std::map<int, QAction*> m_placed;         // the bar's entry of each button
    std::map<int, QAction*> m_entries;        // the menu's entry of each button
    std::map<QAction*, const char*> m_menus;  // each menu's title
    bool m_fitting = false;
    bool m_fitted = false;  // once, as the model first shows
};
