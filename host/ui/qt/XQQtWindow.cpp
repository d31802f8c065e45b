#include "host/ui/qt/XQQtWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/dlg/XQMessages.h"
#include "host/ui/qt/XQQtBinding.h"
#include "host/ui/qt/XQQtFormLayout.h"
#include "host/ui/qt/XQQtToolbar.h"

QString ToQt(const CString& text) {
    return QString::fromStdString(Cp1252ToUtf8(text.str()));
}

CString FromQt(const QString& text) {
    return Utf8ToCp1252(text.toStdString());
}

namespace {
QWidget* s_keyField = nullptr;
}  // namespace

QWidget* XQQtKeyField() {
    return s_keyField;
}

void XQQtDeliverKey(QWidget* field, const std::function<void()>& action) {
    XQQtDeliver(action);
    // Set after the action: boxes and dialogs it opened took actions of their own.
    s_keyField = field;
}

void XQQtDeliver(const std::function<void()>& action, bool flush) {
    // A timer's tick (no flush asked) is no action of the user's.
    if (flush) s_keyField = nullptr;
    // The reason goes to the log; the user learns that the action failed.
    const bool done = XQGuard("Aktion im Fenster", false, [&] {
        action();
        return true;
    });
    if (!done)
        HaltE("Fehler",
              "Die Aktion konnte nicht ausgef\xFChrt werden; der Grund steht im Protokoll.");
    if (flush) XQQtScheduleFlush();
}

namespace {

// Host time follows the wall clock while windows are shown, so window timers
// fall due as the user waits.
void AdvanceClock() {
    static QElapsedTimer clock;
    static qint64 last = 0;
    if (!clock.isValid()) clock.start();
    const qint64 now = clock.elapsed();
    Q7AdvanceHostMillis(now - last);
    last = now;
}

bool Translate(const QKeyEvent& event, XQKeyEvent& key) {
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    if (mods & Qt::AltModifier) return false;  // mnemonics
    const int code = event.key();
    if (mods & Qt::ControlModifier) {
        if (code < Qt::Key_A || code > Qt::Key_Z) return false;
        key.key = XQKey::Ctrl;
        key.ctrlLetter = static_cast<char>('A' + (code - Qt::Key_A));
        return true;
    }
    if (code >= Qt::Key_F1 && code <= Qt::Key_F12) {
        key.key = static_cast<XQKey>(static_cast<int>(XQKey::F1) + (code - Qt::Key_F1));
        return true;
    }
    switch (code) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key.key = XQKey::Return;
            return true;
        case Qt::Key_Escape:
            key.key = XQKey::Escape;
            return true;
        case Qt::Key_Backspace:
            key.key = XQKey::Backspace;
            return true;
        case Qt::Key_Tab:
            key.key = XQKey::Tab;
            return true;
        case Qt::Key_Left:
            key.key = XQKey::Left;
            return true;
        case Qt::Key_Right:
            key.key = XQKey::Right;
            return true;
        case Qt::Key_Up:
            key.key = XQKey::Up;
            return true;
        case Qt::Key_Down:
            key.key = XQKey::Down;
            return true;
        case Qt::Key_PageUp:
            key.key = XQKey::PageUp;
            return true;
        case Qt::Key_PageDown:
            key.key = XQKey::PageDown;
            return true;
        case Qt::Key_Delete:
            key.key = XQKey::Delete;
            return true;
        default:
            return false;
    }
}

}  // namespace

// ---------------------------------------------------------------- window

XQQtWindow::XQQtWindow(CXQDialog& dialog, QWidget* parent) : QDialog(parent), m_dialog(dialog) {
    setModal(true);
    Build();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] {
        AdvanceClock();
        if (m_dialog.HasTimers() && !m_dialog.IsEnded())
            // What a timer changes is notified; an idle tick redraws nothing.
            XQQtDeliver([this] { m_dialog.FireDueTimers(Q7HostMillis()); }, false);
    });
    AdvanceClock();
    m_timer->start(20);
    RestoreGeometry();
}

XQQtWindow::~XQQtWindow() {
    // The widgets go before the bindings they report to.
    m_closing = true;
    m_timer->stop();
    disconnect(qApp, nullptr, this, nullptr);
    m_byWidget.clear();
    delete m_page;
    m_page = nullptr;
    delete m_status;
    m_status = nullptr;
}

void XQQtWindow::Build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    int width = 400, height = 300, status = 0;
    if (const XQDialogTemplate* tmpl = XQFindTemplate(m_dialog.TemplateNumber())) {
        width = tmpl->width;
        height = tmpl->height;
        status = tmpl->statusControl;
    }
    // The status control goes to the status line: the page ends below the
    // last control it keeps.
    if (status) height = 0;
    for (CWnd* control : m_dialog.Controls()) {
        const XQControlTemplate& t = control->Template();
        if (control->GetDlgCtrlID() == status) continue;
        width = std::max(width, t.x + t.width + 10);
        height = std::max(height, t.y + t.height + 10);
    }
    m_toolbar = new XQQtToolbar(*this);
    if (QMenuBar* menuBar = m_toolbar->MenuBar()) layout->setMenuBar(menuBar);
    if (QToolBar* bar = m_toolbar->Bar()) layout->addWidget(bar);
    m_page = new QWidget(this);
    m_page->setObjectName("page");
    m_form = new XQQtFormLayout(m_page, QSize(width, height));
    layout->addWidget(m_page, 1);
    for (CWnd* control : m_dialog.Controls()) BuildControl(*control);
    m_toolbar->NameMenus();
    BuildStatusBar(status);
    // Frames lie behind the controls they hold; tab order is the model's.
    QWidget* previous = nullptr;
    for (auto& binding : m_bindings) {
        if (binding->control->Kind() == XQKind::Frame) binding->box->lower();
        if (binding->input && binding->input->focusPolicy() != Qt::NoFocus) {
            if (previous) QWidget::setTabOrder(previous, binding->input);
            previous = binding->input;
        }
    }
}

// Alt+letter reaches one control only: a label whose letter an earlier one
// has taken (in tab order) gets the next free letter of its own text, or
// none.
namespace {

// The place of the marked letter in the label's plain text (-1: none).
int MarkedAt(const QString& shown) {
    for (int i = 0; i + 1 < shown.size(); ++i) {
        if (shown[i] != '&') continue;
        if (shown[i + 1] != '&') return static_cast<int>(shown.left(i).replace("&&", "&").size());
        ++i;
    }
    return -1;
}

}  // namespace

QChar XQQtWindow::ClaimMnemonic(const CString& label) {
    const QString plain = ToQt(XQStripMnemonic(label));
    const int at = MarkedAt(ToQt(label));
    if (at < 0) return {};
    for (int n = 0; n < plain.size(); ++n) {
        const QChar letter = plain[(at + n) % plain.size()].toLower();
        if (letter.isLetterOrNumber() && !m_mnemonics.contains(letter)) {
            m_mnemonics += letter;
            return letter;
        }
    }
    return {};
}

QString XQQtWithMnemonic(const CString& label, QChar letter) {
    // The label's own letter stays where the label marks it.
    const QString shown = ToQt(label);
    const int at = MarkedAt(shown);
    if (!letter.isNull() && at >= 0 && ToQt(XQStripMnemonic(label))[at].toLower() == letter)
        return shown;
    QString out;
    bool placed = letter.isNull();
    for (QChar ch : ToQt(XQStripMnemonic(label))) {
        if (ch == '&') {
            out += "&&";
            continue;
        }
        if (!placed && ch.toLower() == letter) {
            out += '&';
            placed = true;
        }
        out += ch;
    }
    return out;
}

// The status control leaves the page for the window's status line, its
// text alone: the status line says what it is.
void XQQtWindow::BuildStatusBar(int id) {
    if (id == 0) return;
    for (auto& binding : m_bindings) {
        if (binding->control->GetDlgCtrlID() != id) continue;
        m_status = new QStatusBar(this);
        m_status->setSizeGripEnabled(false);
        if (binding->label) binding->label->hide();
        if (auto* text = qobject_cast<QLabel*>(binding->input))
            text->setFrameStyle(QFrame::NoFrame);
        m_status->addWidget(binding->box, 1);
        layout()->addWidget(m_status);
        return;
    }
}

void XQQtWindow::BuildControl(CWnd& control) {
    std::unique_ptr<XQQtBinding> owned = XQQtMakeBinding(control, *this);
    XQQtBinding& b = *owned;
    const XQControlTemplate& t = control.Template();
    const QString name = QString("ctl%1").arg(control.GetDlgCtrlID());
    b.box = new QWidget(m_page);
    XQQtFormLayout::Kind kind = XQQtFormLayout::Kind::Fixed;
    switch (control.Kind()) {
        case XQKind::Memo:
        case XQKind::List:
        case XQKind::Grid:
        case XQKind::Tree:
            kind = XQQtFormLayout::Kind::Grows;
            break;
        case XQKind::Frame:
            kind = XQQtFormLayout::Kind::Frame;
            break;
        default:
            break;
    }
    m_form->AddBox(b.box, QRect(t.x, t.y, t.width, t.height), kind);
    b.box->setObjectName("box" + name.mid(3));
    b.Build();
    b.input->setObjectName(name);
    m_byWidget[b.input] = &b;
    m_byWidget[b.box] = &b;
    if (b.label) m_byWidget[b.label] = &b;
    if (b.input->focusPolicy() != Qt::NoFocus) b.input->installEventFilter(this);
    b.Connect();
    m_bindings.push_back(std::move(owned));
}

// ---------------------------------------------------------------- model -> widgets

void XQQtWindow::Flush(const std::set<CWnd*>* changed) {
    if (m_dialog.IsEnded()) {
        done(m_dialog.GetResult());
        return;
    }
    m_updating = true;
    setWindowTitle(ToQt(m_dialog.GetCaption()));
    for (auto& binding : m_bindings)
        if (!changed || changed->count(binding->control)) binding->Update();
    m_toolbar->Update();
    UpdateFocus();
    m_updating = false;
}

namespace {

// One small file per workstation: workstations differ in their screens.
QString GeometryFile() {
    if (Q7GetHome().empty()) return {};
    return QString::fromStdString(Q7GetHome()) +
           QString("/fenster-arbeitsplatz%1.ini").arg(Q7GetWorkstation());
}

QString GeometryKey(int templateNumber) {
    return QString("Fenster%1/Lage").arg(templateNumber);
}

}  // namespace

void XQQtWindow::RestoreGeometry() {
    const QString file = GeometryFile();
    if (file.isEmpty()) return;
    const QRect saved = QSettings(file, QSettings::IniFormat)
                            .value(GeometryKey(m_dialog.TemplateNumber()))
                            .toRect();
    if (!saved.isValid()) return;
    // A screen that has become smaller, or is gone, still shows the whole window.
    QScreen* screen = QGuiApplication::screenAt(saved.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : saved;
    const QSize size = saved.size().boundedTo(room.size()).expandedTo(minimumSizeHint());
    const int x =
        std::clamp(saved.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width()));
    const int y =
        std::clamp(saved.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    setGeometry(QRect(QPoint(x, y), size));
}

void XQQtWindow::SaveGeometry() {
    const QString file = GeometryFile();
    if (file.isEmpty()) return;
    // The size is a convenience: a home the user cannot write loses it
    // without a box, the log tells why. A home that is gone is not made anew.
    QString reason;
    if (!QFileInfo(QString::fromStdString(Q7GetHome())).isDir()) {
        reason = "der Praxisordner fehlt";
    } else {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(GeometryKey(m_dialog.TemplateNumber()), geometry());
        settings.sync();
        if (settings.status() != QSettings::NoError) reason = "die Datei ist nicht beschreibbar";
    }
    if (!reason.isEmpty())
        XQLog(
            "Fenstergr\xF6\xDF"
            "e",
            "nicht gespeichert in " + FromQt(file) + ", " + FromQt(reason) + ".");
}

void XQQtWindow::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) SaveGeometry();
    QDialog::hideEvent(event);
}

void XQQtWindow::UpdateFocus() {
    // The widgets follow the model's focus; a window that has just become
    // active gets it too, unless the user has tabbed to a toolbar button.
    CWnd* focus = m_dialog.GetFocus();
    const bool onToolbar = qobject_cast<QToolButton*>(focusWidget()) != nullptr;
    for (auto& binding : m_bindings)
        if (binding->control == focus && binding->input->focusPolicy() != Qt::NoFocus) {
            if (focus != m_focusShown ||
                (isActiveWindow() && !onToolbar && !binding->input->hasFocus()))
                binding->input->setFocus(Qt::OtherFocusReason);
            break;
        }
    m_focusShown = focus;
}

// ---------------------------------------------------------------- widgets -> model

XQQtBinding* XQQtWindow::BindingOf(QObject* object) const {
    for (; object && object != this; object = object->parent()) {
        auto it = m_byWidget.find(object);
        if (it != m_byWidget.end()) return it->second;
    }
    return nullptr;
}

void XQQtWindow::OnFocusChanged(QWidget* now) {
    if (m_updating || !now || now->window() != this || m_dialog.IsEnded()) return;
    XQQtBinding* binding = BindingOf(now);
    if (!binding || binding->control == m_dialog.GetFocus()) return;
    m_focusShown = binding->control;
    XQQtDeliver([&] { m_dialog.SetFocusTo(binding->control); });
}

// Return as desktop dialogs have it: the control's own handling first (its
// key handler, an edit's Return, a list's double click), else the dialog's
// default button, its accept button where it has one.
void XQQtWindow::PressReturn(CWnd* control) {
    const XQKeyEvent key{XQKey::Return, 0};
    if (control && control->onKeyDown && control->onKeyDown(key)) return;
    if (auto* edit = dynamic_cast<CXQLEditX*>(control); edit && edit->onReturn)
        return edit->onReturn();
    if (auto* grid = dynamic_cast<CXQGridX*>(control); grid && grid->onDblClick)
        return grid->UserDblClick(-1);
    if (auto* list = dynamic_cast<CXQListBoxX*>(control); list && list->onDblClick)
        return list->UserDblClick(-1);
    if (auto* tree = dynamic_cast<CXQTreeX*>(control); tree && tree->onDblClick)
        return tree->UserDblClick(-1);
    if (m_dialog.HasToolbarButton(XQTB_ACCEPT)) m_dialog.ClickToolbarButton(XQTB_ACCEPT);
}

bool XQQtWindow::RouteKey(QKeyEvent* event, XQQtBinding* binding) {
    const int code = event->key();
    const bool enter = code == Qt::Key_Return || code == Qt::Key_Enter;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    // Ctrl+Return accepts from every control, the memo included.
    if (enter && mods == Qt::ControlModifier) {
        if (m_dialog.HasToolbarButton(XQTB_ACCEPT))
            XQQtDeliver([this] { m_dialog.ClickToolbarButton(XQTB_ACCEPT); });
        return true;
    }
    XQKeyEvent key;
    if (!Translate(*event, key)) return false;
    CWnd* control = binding ? binding->control : nullptr;
    const XQKind kind = control ? control->Kind() : XQKind::Frame;
    const bool text = kind == XQKind::Edit || kind == XQKind::Memo;
    // A memo keeps Return as its line break, a button as its click.
    if (key.key == XQKey::Return && control && kind != XQKind::Memo && kind != XQKind::Button &&
        kind != XQKind::Tab) {
        XQQtDeliver([&] { PressReturn(control); });
        return true;
    }
    // The editing keys stay with a text field.
    if (key.key == XQKey::Ctrl && text && QString("ACVXYZ").contains(QChar(key.ctrlLetter)))
        return false;
    const bool dialogKey = key.key == XQKey::Escape || key.key == XQKey::Ctrl ||
                           (key.key >= XQKey::F1 && key.key <= XQKey::F12);
    QWidget* field = text ? binding->input : nullptr;
    if (dialogKey) {
        XQQtDeliverKey(field, [&] { m_dialog.PressKey(key, control); });
        return true;
    }
    if (!control || !control->onKeyDown) return false;
    bool swallowed = false;
    XQQtDeliverKey(field, [&] { swallowed = control->onKeyDown(key); });
    return swallowed;
}

bool XQQtWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_closing) return false;
    if (event->type() == QEvent::KeyPress) {
        XQQtBinding* binding = BindingOf(watched);
        if (binding && RouteKey(static_cast<QKeyEvent*>(event), binding)) return true;
    } else if (event->type() == QEvent::Resize) {
        for (auto& binding : m_bindings) binding->Resized(watched);
    }
    return QDialog::eventFilter(watched, event);
}

void XQQtWindow::keyPressEvent(QKeyEvent* event) {
    // Return on a toolbar button the user tabbed to clicks it.
    auto* tool = qobject_cast<QToolButton*>(focusWidget());
    if (tool && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        tool->click();
        return;
    }
    if (!RouteKey(event, nullptr)) event->ignore();
}

void XQQtWindow::LeaveByExit() {
    if (m_dialog.IsEnded()) return;
    XQQtDeliver([this] { m_dialog.ClickToolbarButton(XQTB_EXIT); });
}

void XQQtWindow::reject() {
    LeaveByExit();
}

void XQQtWindow::closeEvent(QCloseEvent* event) {
    if (m_dialog.IsEnded()) {
        event->accept();
        return;
    }
    event->ignore();
    LeaveByExit();
}
