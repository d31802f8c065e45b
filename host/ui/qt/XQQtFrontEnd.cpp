#include "host/ui/qt/XQQtFrontEnd.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/base/XQGuard.h"
#include "host/dlg/XQMessages.h"
#include "host/ui/qt/XQQtHelp.h"
#include "host/ui/qt/XQQtPrint.h"
#include "host/ui/qt/XQQtWindow.h"

struct CXQQtFrontEnd::Impl {
    std::unique_ptr<QApplication> app;  // only when this front end made it
    std::vector<XQQtWindow*> windows;   // of the running dialogs, topmost last
    bool flushQueued = false;
    // Controls that told a change since the last flush; a big list is
    // compared with its widget only when it changed.
    std::set<CWnd*> changed;
    QPointer<QProgressDialog> progress;
    std::unique_ptr<QTranslator> texts;  // the toolkit's texts in German
    // The folder last chosen in a file dialog, per kind of file (its
    // extension), for this run of the program.
    std::map<QString, QString> lastFolders;

    QWidget* Top() const { return windows.empty() ? nullptr : windows.back(); }

    void Flush(bool all) {
        flushQueued = false;
        std::set<CWnd*> controls;
        controls.swap(changed);
        const std::vector<XQQtWindow*> shown = windows;  // a flush may end a dialog
        for (XQQtWindow* window : shown) window->Flush(all ? nullptr : &controls);
    }
};

namespace {

CXQQtFrontEnd::Impl* g_impl = nullptr;

// The toolkit's own texts in the boxes and file dialogs we show, in German,
// for an installation without the toolkit's translation files: the few texts
// a user meets here are known.
class GermanToolkitTexts : public QTranslator {
  public:
    bool isEmpty() const override { return false; }
    QString translate(const char* /*context*/, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        static const std::map<std::string_view, const char*> kTexts = {
            {"Show Details...", "Details einblenden \u2026"},
            {"Hide Details...", "Details ausblenden \u2026"},
            {"Cancel", "Abbrechen"},
            {"&Yes", "&Ja"},
            {"&No", "&Nein"},
            {"Close", "Schlie\u00DFen"},
            {"Open", "\u00D6ffnen"},
            {"Save", "Speichern"},
            {"&Open", "\u00D6&ffnen"},
            {"&Save", "&Speichern"},
            {"Look in:", "Suchen in:"},
            {"File &name:", "Datei&name:"},
            {"Files of type:", "Dateityp:"},
            {"%1 already exists.\nDo you want to replace it?",
             "%1 ist schon vorhanden.\nSoll die Datei ersetzt werden?"},
            {"%1\nFile not found.\nPlease verify the correct file name was given.",
             "%1\nDie Datei gibt es nicht.\nBitte den Dateinamen pr\u00FCfen."},
            {"%1\nDirectory not found.\nPlease verify the correct directory name was given.",
             "%1\nDen Ordner gibt es nicht.\nBitte den Ordnernamen pr\u00FCfen."},
            {"'%1' is write protected.\nDo you want to delete it anyway?",
             "\u201E%1\u201C ist schreibgesch\u00FCtzt.\nTrotzdem l\u00F6schen?"},
            {"Are you sure you want to delete '%1'?", "Soll \u201E%1\u201C gel\u00F6scht werden?"},
            {"Could not delete directory.", "Der Ordner konnte nicht gel\u00F6scht werden."},
            {"&Rename", "&Umbenennen"},
            {"&Delete", "&L\u00F6schen"},
            {"Show &hidden files", "&Versteckte Dateien zeigen"},
            {"&New Folder", "&Neuer Ordner"},
            {"New Folder", "Neuer Ordner"},
            {"Recent Places", "Zuletzt besucht"},
            {"Back", "Zur\u00FCck"},
            {"Go back", "Zur\u00FCck"},
            {"Forward", "Vor"},
            {"Go forward", "Vor"},
            {"Parent Directory", "\u00DCbergeordneter Ordner"},
            {"Go to the parent directory", "Zum \u00FCbergeordneten Ordner"},
            {"Create New Folder", "Neuer Ordner"},
            {"Create a New Folder", "Einen neuen Ordner anlegen"},
            {"List View", "Liste"},
            {"Change to list view mode", "Als Liste zeigen"},
            {"Detail View", "Details"},
            {"Change to detail view mode", "Mit Details zeigen"},
            {"Size", "Gr\u00F6\u00DFe"},
            {"Type", "Typ"},
            {"Date Modified", "Ge\u00E4ndert"},
            {"My Computer", "Computer"},
        };
        const auto found = kTexts.find(source ? std::string_view(source) : std::string_view());
        return found == kTexts.end() ? QString() : QString::fromUtf8(found->second);
    }
};

// While the toolkit starts, its own messages (English) go to the host log; a
// start that fails ends the run with a German reason instead of an abort.
void StartupMessage(QtMsgType type, const QMessageLogContext& /*context*/, const QString& text) {
    XQLog("Fensteroberfl\344che starten", Utf8ToCp1252(text.simplified().toStdString()));
    if (type != QtFatalMsg) return;
    std::fputs(
        "q7host: Die Fensteroberfl\u00E4che kann nicht starten: die Anzeige ist nicht erreichbar "
        "oder wird nicht unterst\u00FCtzt; bitte --ui text verwenden.\n",
        stderr);
    std::_Exit(1);
}

QMessageBox::Icon IconOf(XQMsgKind kind, size_t buttons) {
    switch (kind) {
        case XQMsgKind::HaltE:
        case XQMsgKind::XQHaltE:
            return QMessageBox::Critical;
        case XQMsgKind::HaltI:
            return QMessageBox::Information;
        case XQMsgKind::SollIch:
        case XQMsgKind::SollIchAbbruch:
            return QMessageBox::Question;
        case XQMsgKind::XQMsgBox:
            return buttons > 1 ? QMessageBox::Question : QMessageBox::Information;
        case XQMsgKind::Halt:
        case XQMsgKind::XQHalt:
            break;
    }
    return QMessageBox::Warning;
}

// The toolkit's German texts: its own translation files when installed,
// else the few texts above.
std::unique_ptr<QTranslator> GermanTexts() {
    auto package = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (package->load("qtbase_de", folder)) return package;
    XQLog("Fensteroberfl\344che starten",
          Utf8ToCp1252("qtbase_de fehlt in " + folder.toStdString() +
                       "; nur die wichtigsten Texte sind deutsch"));
    return std::make_unique<GermanToolkitTexts>();
}

// "Beschreibung|*.ext|Alle|*.*" as the toolkit writes filters. A description
// that already names its patterns ("XML-Dateien (*.xml)") keeps its wording.
QString QtFilter(const CString& filter) {
    const QStringList parts = ToQt(filter).split('|', Qt::SkipEmptyParts);
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(';', ' ');
        if (description.endsWith("(" + patterns + ")"))
            filters << description;
        else
            filters << QString("%1 (%2)").arg(description, patterns);
    }
    return filters.join(";;");
}

// A file dialog's kind of file: its extension, else its first pattern's.
QString FileKind(const CString& filter, const CString& defaultExtension) {
    QString kind = ToQt(defaultExtension).trimmed().toLower();
    if (kind.isEmpty()) kind = ToQt(filter).section('|', 1, 1).section(';', 0, 0).toLower();
    while (kind.startsWith('*') || kind.startsWith('.')) kind.remove(0, 1);
    return kind;
}

// While a box or dialog is open the keyboard is in it; when it closes, the
// field the user came from gets it back, in its window, activated again: the
// toolkit would leave it to whichever window the desktop picks, or to none.
class FocusReturn {
  public:
    FocusReturn()
        : m_field(QApplication::focusWidget()),
          m_window(m_field ? m_field->window() : QApplication::activeWindow()) {}
    ~FocusReturn() {
        if (!m_window || !m_window->isVisible()) return;
        m_window->activateWindow();
        if (m_field && m_field->isVisible() && m_field->isEnabled())
            m_field->setFocus(Qt::OtherFocusReason);
    }
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

  private:
    QPointer<QWidget> m_field;
    QPointer<QWidget> m_window;
};

// A field of the placeholder box holds its default selected whenever it gets
// the keyboard, so that the first key typed replaces it and Return keeps it.
class DefaultEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        selectAll();
    }
};

}  // namespace

void XQQtScheduleFlush() {
    if (!g_impl || g_impl->flushQueued) return;
    g_impl->flushQueued = true;
    QTimer::singleShot(0, qApp, [] {
        if (g_impl) g_impl->Flush(false);
    });
}

CXQQtFrontEnd::CXQQtFrontEnd() : m_impl(new Impl) {
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "q7host";
        static char* argv[] = {name, nullptr};
        const QtMessageHandler previous = qInstallMessageHandler(StartupMessage);
        m_impl->app = std::make_unique<QApplication>(argc, argv);
        qInstallMessageHandler(previous);
    }
    // Windows come and go with the modal runs; none of them ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    m_impl->texts = GermanTexts();
    QCoreApplication::installTranslator(m_impl->texts.get());
    // A desktop names its icon theme and where themes lie; without one (a
    // bare display, the offscreen platform) the toolbars take the theme the
    // host installs from the system's folders, and show their texts alone
    // where that is missing too.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QStringList folders = QIcon::themeSearchPaths();
        for (const QString& folder : QStandardPaths::locateAll(
                 QStandardPaths::GenericDataLocation, "icons", QStandardPaths::LocateDirectory))
            if (!folders.contains(folder)) folders << folder;
        QIcon::setThemeSearchPaths(folders);
        QIcon::setThemeName("Adwaita");
    }
    g_impl = m_impl;
}

CXQQtFrontEnd::~CXQQtFrontEnd() {
    if (g_impl == m_impl) g_impl = nullptr;
    delete m_impl->progress;
    delete m_impl;
}

bool CXQQtFrontEnd::CanShowWindows(std::string& reasonUtf8) {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    reasonUtf8 =
        "Für die Fensteroberfläche fehlt eine Anzeige (weder DISPLAY noch WAYLAND_DISPLAY ist "
        "gesetzt); bitte --ui text verwenden.";
    return false;
}

void CXQQtFrontEnd::RunModal(CXQDialog& dialog) {
    const FocusReturn focus;  // after the window has gone
    auto window = std::make_unique<XQQtWindow>(dialog, m_impl->Top());
    m_impl->windows.push_back(window.get());
    struct Pop {
        std::vector<XQQtWindow*>& windows;
        ~Pop() { windows.pop_back(); }
    } pop{m_impl->windows};
    window->Flush();
    if (dialog.IsEnded()) return;
    // The new window takes the keyboard, with the model's focus in it.
    QTimer::singleShot(0, window.get(), [shown = window.get()] {
        shown->activateWindow();
        shown->Flush();
    });
    window->exec();
}

void CXQQtFrontEnd::ControlChanged(CWnd& control) {
    m_impl->changed.insert(&control);
    XQQtScheduleFlush();
}

int CXQQtFrontEnd::MessageBox(XQMsgKind kind, const CString& title, const CString& text,
                              const std::vector<CString>& buttons) {
    return MessageBoxWithDetails(kind, title, text, CString(), buttons);
}

// The reason stays behind the box's details button: the box reads as the
// message has it, and whoever needs the cause opens it.
int CXQQtFrontEnd::MessageBoxWithDetails(XQMsgKind kind, const CString& title, const CString& text,
                                         const CString& details,
                                         const std::vector<CString>& buttons) {
    const FocusReturn focus;
    QMessageBox box(m_impl->Top());
    box.setWindowTitle(ToQt(CXQBoxSubject::Titled(title)));
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQt(text));
    if (!details.IsEmpty()) box.setDetailedText(ToQt(details));
    box.setIcon(IconOf(kind, buttons.size()));
    // One role for all keeps the caller's order of the buttons.
    std::vector<QPushButton*> made;
    for (const CString& caption : buttons)
        made.push_back(box.addButton(ToQt(caption), QMessageBox::ActionRole));
    if (made.empty()) made.push_back(box.addButton("OK", QMessageBox::ActionRole));
    box.setDefaultButton(made.front());
    box.setEscapeButton(made.back());
    box.exec();
    for (size_t i = 0; i < made.size(); ++i)
        if (box.clickedButton() == made[i]) return static_cast<int>(i);
    return static_cast<int>(made.size()) - 1;
}

bool CXQQtFrontEnd::ParamBox(const CString& caption, std::vector<XQParamField>& fields) {
    const FocusReturn focus;
    QDialog box(m_impl->Top());
    box.setObjectName("parambox");
    box.setWindowTitle(ToQt(CXQBoxSubject::Titled(caption)));
    auto* form = new QFormLayout(&box);
    std::vector<QLineEdit*> edits;
    for (size_t i = 0; i < fields.size(); ++i) {
        auto* edit = new DefaultEdit(ToQt(fields[i].value), &box);
        edit->setObjectName(QString("param%1").arg(i));
        edit->setMinimumWidth(240);
        auto* label = new QLabel(ToQt(fields[i].label) + ":", &box);
        label->setTextFormat(Qt::PlainText);
        form->addRow(label, edit);
        edits.push_back(edit);
    }
    auto* buttons = new QDialogButtonBox(&box);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole);
    ok->setObjectName("ok");
    cancel->setObjectName("cancel");
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    form->addRow(buttons);
    if (box.exec() != QDialog::Accepted) return false;
    for (size_t i = 0; i < fields.size(); ++i) fields[i].value = FromQt(edits[i]->text());
    return true;
}

// The dialog opens where the practice keeps this kind of file: the folder of
// the proposed path, else the one last chosen for the kind in this run, else
// the practice's home.
bool CXQQtFrontEnd::FileDialog(bool save, const CString& title, const CString& filter,
                               const CString& defaultExtension, CString& path) {
    const QString home = QString::fromStdString(Q7GetHome());
    const QString proposed = QString::fromStdString(NativePath(path));
    const QString kind = FileKind(filter, defaultExtension);
    QString folder = home.isEmpty() ? QDir::currentPath() : home;
    if (const auto last = m_impl->lastFolders.find(kind); last != m_impl->lastFolders.end())
        folder = last->second;
    QString file = proposed;
    if (proposed.contains('/')) {
        const QFileInfo info(QDir(home.isEmpty() ? QDir::currentPath() : home), proposed);
        folder = info.absolutePath();
        file = info.fileName();
    }
    const FocusReturn focus;
    QFileDialog box(m_impl->Top(), ToQt(title), folder, QtFilter(filter));
    box.setObjectName("filedialog");
    // The toolkit's own dialog: the same on every desktop, and in German.
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QString extension = ToQt(defaultExtension);
    while (extension.startsWith('.')) extension.remove(0, 1);
    if (!extension.isEmpty()) box.setDefaultSuffix(extension);
    if (!file.isEmpty()) box.selectFile(file);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
    const QString chosen = box.selectedFiles().front();
    m_impl->lastFolders[kind] = QFileInfo(chosen).absolutePath();
    path = FromQt(chosen);
    return true;
}

void CXQQtFrontEnd::ProgressOpen(const CString& text, int maximum) {
    delete m_impl->progress;
    auto* progress =
        new QProgressDialog(ToQt(text), "Abbrechen", 0, std::max(maximum, 0), m_impl->Top());
    progress->setObjectName("progress");
    progress->setWindowTitle("Bitte warten");
    progress->setWindowModality(Qt::ApplicationModal);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->show();
    m_impl->progress = progress;
    QCoreApplication::processEvents();
}

bool CXQQtFrontEnd::ProgressUpdate(int value, const CString& text) {
    QProgressDialog* progress = m_impl->progress;
    if (!progress) return true;
    if (!text.IsEmpty()) progress->setLabelText(ToQt(text));
    progress->setValue(value);
    // The cancel button is clicked between two updates.
    QCoreApplication::processEvents();
    return !progress->wasCanceled();
}

void CXQQtFrontEnd::ProgressClose() {
    delete m_impl->progress;
}

void CXQQtFrontEnd::Open(const CString& url) {
    if (url.Left(5) == "help:") {
        XQQtShowHelp(ToQt(url.Mid(5)));
        return;
    }
    const QUrl target = QUrl::fromUserInput(ToQt(url), QDir::currentPath(), QUrl::AssumeLocalFile);
    if (QDesktopServices::openUrl(target)) return;
    // Without a viewer the desktop has nothing to start: the user is told
    // what is missing, not that the document failed.
    if (target.isLocalFile() && QFileInfo(target.toLocalFile()).suffix().toLower() == "pdf") {
        XQLog("Open", url + ": kein Anzeigeprogramm f\xFCr PDF");
        MessageBox(XQMsgKind::HaltE, "Fehler",
                   "Es ist kein Programm zum Anzeigen von PDF-Dateien eingerichtet.",
                   {CString("OK")});
        return;
    }
    MessageBox(XQMsgKind::HaltE, "Fehler",
               url +
                   " konnte nicht ge\xF6"
                   "ffnet werden.",
               {CString("OK")});
}

void CXQQtFrontEnd::Print(const CString& path) {
    QString reason;
    if (XQQtPrintPdf(m_impl->Top(), ToQt(path), reason) || reason.isEmpty()) return;
    XQLog("Print", path + ": " + FromQt(reason));
    MessageBox(XQMsgKind::HaltE, "Fehler",
               "Das Druckdokument " + path + " wurde nicht gedruckt: " + FromQt(reason),
               {CString("OK")});
}

void CXQQtFrontEnd::Beep() {
    QApplication::beep();
}

void CXQQtFrontEnd::WaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CXQQtFrontEnd::Refresh() {
    m_impl->Flush(true);
}

QWidget* CXQQtFrontEnd::Window(const CXQDialog& dialog) const {
    for (XQQtWindow* window : m_impl->windows)
        if (&window->Dialog() == &dialog) return window;
    return nullptr;
}
