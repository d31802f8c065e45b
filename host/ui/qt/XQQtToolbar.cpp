#include "host/ui/qt/XQQtToolbar.h"

#include <QEvent>
#include <QIcon>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSizePolicy>
#include <QToolBar>
#include <QToolButton>
#include <vector>

#include "host/dlg/XQResource.h"
#include "host/ui/qt/XQQtWindow.h"

namespace {

// A standard button's name, key and icons (the first the theme has), for a
// button without its own hint or icon and for the tip that names the key.
struct StandardButton {
    int number;
    const char* name;
    const char* key;
    std::vector<const char*> icons;
};
const StandardButton kStandardButtons[] = {
    {XQTB_EXIT, "Abbrechen", "Esc", {"window-close", "application-exit"}},
    {XQTB_NEW, "Neu", nullptr, {"document-new"}},
    {XQTB_EDIT, "Bearbeiten", nullptr, {"document-properties", "document-open"}},
    {XQTB_SAVE, "Speichern", nullptr, {"document-save"}},
    {XQTB_ACCEPT,
     "\xDC"
     "bernehmen",
     "Strg+Eingabe",
     {"dialog-ok", "object-select", "emblem-default"}},
    {XQTB_COPY, "Kopieren", nullptr, {"edit-copy"}},
    {XQTB_DELETE, "L\xF6schen", nullptr, {"edit-delete"}},
    {XQTB_UNDO,
     "R\xFC"
     "ckg\xE4ngig",
     nullptr,
     {"edit-undo"}},
    {XQTB_PREV,
     "Zur\xFC"
     "ck",
     nullptr,
     {"go-previous"}},
    {XQTB_NEXT, "Weiter", nullptr, {"go-next"}},
    {XQTB_PRINT, "Drucken", nullptr, {"document-print"}},
    {XQTB_SEARCH, "Suchen", "F5", {"edit-find", "system-search"}},
    {XQTB_CONFIG, "Einstellungen", "F6", {"preferences-system", "preferences-other"}},
    {XQTB_HELP, "Hilfe", "F1", {"help-browser", "help-contents"}},
};

const StandardButton* Standard(int number) {
    for (const StandardButton& b : kStandardButtons)
        if (b.number == number) return &b;
    return nullptr;
}

// The button's text: its hint, else its standard name; never its number,
// which means nothing to the user.
QString ButtonText(const CXQDialog::ToolbarButton& button) {
    if (!button.hint.IsEmpty()) return ToQt(button.hint);
    const StandardButton* standard = Standard(button.number);
    return standard ? ToQt(standard->name) : QString("Aktion");
}

// A hint that starts with its key ("F1 - Hilfe"): where the name begins
// after the dash (0: no key in front).
int NameStart(const QString& text) {
    const int dash = text.indexOf(" - ");
    return dash > 0 && dash <= 5 ? dash + 3 : 0;
}

// The tool tip names what the button does and its key.
QString ButtonTip(const CXQDialog::ToolbarButton& button) {
    const QString text = ButtonText(button);
    const QString name = text.mid(NameStart(text));
    const StandardButton* standard = Standard(button.number);
    if (standard && standard->key) return QString("%1 (%2)").arg(name, standard->key);
    return name;
}

// A menu entry shows the name, its key right-aligned as menus show keys;
// the key stays the dialog's, so the entry binds none itself.
QString EntryText(const CXQDialog::ToolbarButton& button) {
    const QString text = ButtonText(button);
    const int start = NameStart(text);
    QString entry = text.mid(start);
    entry.replace("&", "&&");
    const StandardButton* standard = Standard(button.number);
    if (standard && standard->key) return entry + '\t' + standard->key;
    if (start > 0) return entry + '\t' + text.left(start - 3);
    return entry;
}

// The template's icon for the button, else its number's standard one: the
// exit button leaves the program from the main window and closes a dialog.
QIcon ButtonIcon(const CXQDialog& dialog, int number) {
    std::vector<QString> names;
    if (const XQDialogTemplate* tmpl = XQFindTemplate(dialog.TemplateNumber()))
        for (const XQToolbarTemplate& t : tmpl->toolbar)
            if (t.number == number && !t.icon.IsEmpty()) names.push_back(ToQt(t.icon));
    if (number == XQTB_EXIT && !dialog.GetParent()) names.push_back("application-exit");
    if (const StandardButton* standard = Standard(number))
        for (const char* name : standard->icons) names.push_back(name);
    for (const QString& name : names)
        if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return {};
}

}  // namespace

XQQtToolbar::XQQtToolbar(XQQtWindow& window) : QObject(&window), m_window(window) {
    if (window.Dialog().ToolbarButtons().empty()) return;
    BuildBar();
    // The main window also offers its commands as a menu, as a desktop
    // application's users expect.
    if (!window.Dialog().GetParent()) BuildMenu();
}

void XQQtToolbar::BuildBar() {
    CXQDialog& dialog = m_window.Dialog();
    m_bar = new QToolBar(&m_window);
    m_bar->setObjectName("toolbar");
    m_bar->setMovable(false);
    m_bar->setFloatable(false);
    // The bar takes the window's width and never widens it: what does not
    // fit goes behind its extension button.
    m_bar->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
        auto* tool = new QToolButton(m_bar);
        tool->setObjectName(QString("tb%1").arg(button.number));
        tool->setAutoRaise(true);
        tool->setIcon(ButtonIcon(dialog, button.number));
        tool->setText(ButtonText(button));
        tool->setToolButtonStyle(tool->icon().isNull() ? Qt::ToolButtonTextOnly
                                                       : Qt::ToolButtonTextBesideIcon);
        // A click on the toolbar leaves the focus in the dialog's control;
        // Tab reaches the buttons for those who work without a mouse.
        tool->setFocusPolicy(Qt::TabFocus);
        const int number = button.number;
        connect(tool, &QToolButton::clicked, this, [this, number] {
            XQQtDeliver([this, number] { m_window.Dialog().ClickToolbarButton(number); });
        });
        m_placed[number] = m_bar->addWidget(tool);
        m_tools[number] = tool;
    }
    m_bar->installEventFilter(this);
}

void XQQtToolbar::BuildMenu() {
    CXQDialog& dialog = m_window.Dialog();
    m_menuBar = new QMenuBar(&m_window);
    // Leaving and help where users look for them; the dialog's own commands
    // between.
    QMenu* file = m_menuBar->addMenu("Datei");
    QMenu* actions = nullptr;
    QMenu* help = nullptr;
    m_menus[file->menuAction()] = "&Datei";
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
        QMenu* menu = file;
        if (button.number == XQTB_HELP) {
            if (!help) help = new QMenu("Hilfe", m_menuBar);
            menu = help;
        } else if (button.number != XQTB_EXIT) {
            if (!actions) {
                actions = m_menuBar->addMenu("Aktionen");
                m_menus[actions->menuAction()] = "&Aktionen";
            }
            menu = actions;
        }
        QAction* entry = menu->addAction(EntryText(button));
        entry->setIcon(ButtonIcon(dialog, button.number));
        entry->setObjectName(QString("menu%1").arg(button.number));
        const int number = button.number;
        connect(entry, &QAction::triggered, this, [this, number] {
            XQQtDeliver([this, number] { m_window.Dialog().ClickToolbarButton(number); });
        });
        m_entries[number] = entry;
    }
    if (file->isEmpty()) {
        m_menus.erase(file->menuAction());
        m_menuBar->removeAction(file->menuAction());
    }
    if (help) {
        m_menuBar->addMenu(help);
        m_menus[help->menuAction()] = "&Hilfe";
    }
}

void XQQtToolbar::NameMenus() {
    if (!m_menuBar) return;
    for (QAction* menu : m_menuBar->actions())
        if (auto title = m_menus.find(menu); title != m_menus.end())
            menu->setText(XQQtWithMnemonic(title->second, m_window.ClaimMnemonic(title->second)));
}

void XQQtToolbar::Update() {
    // The room the buttons need changes with their texts and visibility only.
    bool resized = !m_fitted;
    for (const CXQDialog::ToolbarButton& button : m_window.Dialog().ToolbarButtons()) {
        if (auto it = m_tools.find(button.number); it != m_tools.end()) {
            QToolButton* tool = it->second;
            QAction* placed = m_placed[button.number];
            resized |= tool->text() != ButtonText(button) || placed->isVisible() != button.visible;
            if (tool->text() != ButtonText(button)) tool->setText(ButtonText(button));
            if (tool->toolTip() != ButtonTip(button)) tool->setToolTip(ButtonTip(button));
            tool->setEnabled(button.enabled);
            placed->setVisible(button.visible);
        }
        if (auto item = m_entries.find(button.number); item != m_entries.end()) {
            item->second->setEnabled(button.enabled);
            item->second->setVisible(button.visible);
        }
    }
    if (resized) Fit();
}

bool XQQtToolbar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_bar && event->type() == QEvent::Resize) Fit();
    return QObject::eventFilter(watched, event);
}

void XQQtToolbar::Fit() {
    if (!m_bar || m_fitting) return;
    m_fitting = true;
    // The width the buttons take with their texts beside the icons.
    int wide = 0;
    for (const auto& [number, tool] : m_tools) {
        if (!m_placed[number]->isVisible()) continue;
        const Qt::ToolButtonStyle shown = tool->toolButtonStyle();
        if (!tool->icon().isNull()) tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        wide += tool->sizeHint().width() + m_bar->layout()->spacing();
        tool->setToolButtonStyle(shown);
    }
    const QMargins margins = m_bar->contentsMargins() + m_bar->layout()->contentsMargins();
    const bool room = wide <= m_bar->width() - margins.left() - margins.right();
    for (const auto& [number, tool] : m_tools)
        if (!tool->icon().isNull())
            tool->setToolButtonStyle(room ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
    m_fitting = false;
    m_fitted = true;
}
