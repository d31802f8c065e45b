#include "host/ui/qt/XQQtWindow.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTableView>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "host/base/Cp1252.h"
#include "host/base/HostContext.h"
#include "host/dlg/XQMessages.h"

QString ToQt(const CString& text) {
    return QString::fromStdString(Cp1252ToUtf8(text.str()));
}

CString FromQt(const QString& text) {
    return Utf8ToCp1252(text.toStdString());
}

void XQQtDeliver(const std::function<void()>& action, bool flush) {
    try {
        action();
    } catch (const std::exception& error) {
        HaltE("Fehler", CString("Die Aktion konnte nicht ausgef\xFChrt werden: ") +
                            Utf8ToCp1252(error.what()));
    } catch (...) {
        HaltE("Fehler", "Die Aktion konnte nicht ausgef\xFChrt werden.");
    }
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

// The label without its mnemonic marks, for widgets that have no buddy.
QString Plain(const CString& label) {
    return ToQt(XQStripMnemonic(label));
}

QColor FromColorRef(COLORREF color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// Lists that show aligned columns keep them aligned in a fixed-pitch font.
QFont FixedPitchFont() {
    if (QFontDatabase::families().contains("Roboto Mono")) return QFont("Roboto Mono");
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// Memo positions count CR LF between lines; the widget counts one break.
int MemoToQtPos(const CStrings& lines, int pos) {
    int qtPos = 0;
    for (int i = 0; i < lines.GetCount(); ++i) {
        const int length = lines.GetAt(i).GetLength();
        if (pos <= length) return qtPos + pos;
        pos -= length + 2;
        qtPos += length + 1;
        if (pos < 0) return qtPos - 1;
    }
    return qtPos;
}

int QtToMemoPos(const QPlainTextEdit& memo, int pos) {
    return pos + memo.document()->findBlock(pos).blockNumber();
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

// Draws tab-separated columns at the list's absolute tab stops (pixels from
// the text's left edge); past the last stop every 8 average characters.
class TabStopDelegate : public QStyledItemDelegate {
  public:
    TabStopDelegate(const CXQListBoxX& list, QObject* parent)
        : QStyledItemDelegate(parent), m_list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.state & QStyle::State_Selected
                            ? opt.palette.color(QPalette::HighlightedText)
                            : opt.palette.color(QPalette::Text));
        const std::vector<int>& stops = m_list.GetTabStops();
        const int step = 8 * QFontMetrics(opt.font).averageCharWidth();
        auto stopAt = [&](int i) {  // left edge of column i (0: the text's left)
            if (i == 0) return 0;
            const int n = static_cast<int>(stops.size());
            if (i <= n) return stops[static_cast<size_t>(i - 1)];
            return (n ? stops.back() : 0) + (i - n) * step;
        };
        const QStringList pieces = text.split('\t');
        for (int i = 0; i < pieces.size(); ++i) {
            const int left = rect.left() + stopAt(i);
            const int right = i + 1 < pieces.size() ? rect.left() + stopAt(i + 1) : rect.right();
            painter->drawText(QRect(left, rect.top(), std::max(right - left, 0), rect.height()),
                              Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, pieces[i]);
        }
        painter->restore();
    }

  private:
    const CXQListBoxX& m_list;
};

}  // namespace

// The grid's lines as a virtual table: it keeps nothing but the shape and
// reads the lines the grid has fetched; a line it lacks is fetched, for the
// rows the view shows, once the event loop runs again.
class XQQtGridModel : public QAbstractTableModel {
  public:
    XQQtGridModel(CXQGridX& grid, QTableView* view)
        : QAbstractTableModel(view), m_grid(grid), m_view(view) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : m_columns;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return QVariant();
        const std::vector<CString>* line = m_grid.FetchedLine(index.row());
        if (!line) {
            QueueFetch();
            return QVariant();
        }
        const size_t column = static_cast<size_t>(index.column());
        return column < line->size() ? ToQt((*line)[column]) : QString();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
        const auto& columns = m_grid.GetColumns();
        if (section < 0 || section >= static_cast<int>(columns.size())) return QVariant();
        return ToQt(columns[static_cast<size_t>(section)].title);
    }

    // Takes the grid's shape and texts after a change of the model.
    void Sync() {
        const int rows = m_grid.GetLineCount();
        const int columns = std::max(static_cast<int>(m_grid.GetColumns().size()), 1);
        if (rows != m_rows || columns != m_columns) {
            beginResetModel();
            m_rows = rows;
            m_columns = columns;
            endResetModel();
            m_triedFirst = -1;
            const auto& defs = m_grid.GetColumns();
            for (size_t i = 0; i < defs.size(); ++i)
                m_view->setColumnWidth(static_cast<int>(i), defs[i].width);
        } else if (rows > 0) {
            emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
            emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
        }
    }

    void Scrolled() { m_triedFirst = -1; }

    // Fetches the rows the view shows when one of them is missing; the same
    // rows are asked for once until the view scrolls or the list changes.
    void FetchVisible() {
        m_fetchQueued = false;
        if (m_rows <= 0) return;
        const int first = std::max(m_view->rowAt(0), 0);
        int last = m_view->rowAt(m_view->viewport()->height() - 1);
        if (last < 0) last = std::min(m_rows - 1, first + m_grid.PageLines());
        const int count = last - first + 1;
        bool missing = false;
        for (int row = first; row <= last && !missing; ++row)
            missing = m_grid.FetchedLine(row) == nullptr;
        if (!missing || (first == m_triedFirst && count == m_triedCount)) return;
        m_triedFirst = first;
        m_triedCount = count;
        XQQtDeliver([&] { m_grid.FetchLines(first, count); });
        Sync();
    }

  private:
    void QueueFetch() const {
        if (m_fetchQueued) return;
        m_fetchQueued = true;
        auto* self = const_cast<XQQtGridModel*>(this);
        QTimer::singleShot(0, m_view, [self] { self->FetchVisible(); });
    }

    CXQGridX& m_grid;
    QTableView* m_view;
    int m_rows = 0, m_columns = 0;
    mutable bool m_fetchQueued = false;
    int m_triedFirst = -1, m_triedCount = 0;
};

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
}

XQQtWindow::~XQQtWindow() {
    // The widgets go before the bindings they report to.
    m_closing = true;
    m_timer->stop();
    disconnect(qApp, nullptr, this, nullptr);
    m_byWidget.clear();
    delete m_page;
    m_page = nullptr;
}

void XQQtWindow::Build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    int width = 400, height = 300;
    if (const XQDialogTemplate* tmpl = XQFindTemplate(m_dialog.TemplateNumber())) {
        width = tmpl->width;
        height = tmpl->height;
    }
    for (CWnd* control : m_dialog.Controls()) {
        const XQControlTemplate& t = control->Template();
        width = std::max(width, t.x + t.width + 10);
        height = std::max(height, t.y + t.height + 10);
    }
    // The main window (the one without an owner) also offers its commands
    // as a menu, as a desktop application's users expect.
    if (!m_dialog.GetParent() && !m_dialog.ToolbarButtons().empty()) {
        auto* menuBar = new QMenuBar(this);
        QMenu* menu = menuBar->addMenu("&Aktionen");
        for (const CXQDialog::ToolbarButton& button : m_dialog.ToolbarButtons()) {
            QAction* action = menu->addAction(ToQt(button.hint));
            action->setObjectName(QString("menu%1").arg(button.number));
            const int number = button.number;
            connect(action, &QAction::triggered, this, [this, number] {
                XQQtDeliver([this, number] { m_dialog.ClickToolbarButton(number); });
            });
            m_menu[number] = action;
        }
        layout->setMenuBar(menuBar);
    }
    if (!m_dialog.ToolbarButtons().empty()) {
        auto* bar = new QWidget(this);
        bar->setObjectName("toolbar");
        bar->setFixedWidth(width);
        BuildToolbar(bar);
        layout->addWidget(bar);
    }
    m_page = new QWidget(this);
    m_page->setObjectName("page");
    m_page->setFixedSize(width, height);
    layout->addWidget(m_page);
    for (CWnd* control : m_dialog.Controls()) BuildControl(*control);
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

// The buttons in rows as wide as the dialog: every one stays in sight.
void XQQtWindow::BuildToolbar(QWidget* bar) {
    auto* rows = new QVBoxLayout(bar);
    rows->setContentsMargins(4, 2, 4, 2);
    rows->setSpacing(0);
    QHBoxLayout* row = nullptr;
    int used = 0;
    for (const CXQDialog::ToolbarButton& button : m_dialog.ToolbarButtons()) {
        auto* tool = new QToolButton(bar);
        tool->setObjectName(QString("tb%1").arg(button.number));
        tool->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tool->setAutoRaise(true);
        tool->setText(button.hint.IsEmpty() ? QString::number(button.number) : ToQt(button.hint));
        const int wide = tool->sizeHint().width() + 2;
        if (!row || used + wide > bar->width() - 8) {
            if (row) row->addStretch(1);
            row = new QHBoxLayout;
            row->setSpacing(2);
            rows->addLayout(row);
            used = 0;
        }
        used += wide;
        // A click on the toolbar leaves the focus in the dialog's control.
        tool->setFocusPolicy(Qt::NoFocus);
        const int number = button.number;
        connect(tool, &QToolButton::clicked, this, [this, number] {
            XQQtDeliver([this, number] { m_dialog.ClickToolbarButton(number); });
        });
        row->addWidget(tool);
        m_toolbar[number] = tool;
    }
    if (row) row->addStretch(1);
}

void XQQtWindow::BuildControl(CWnd& control) {
    auto owned = std::make_unique<XQQtBinding>();
    XQQtBinding& b = *owned;
    b.control = &control;
    const XQControlTemplate& t = control.Template();
    const QString name = QString("ctl%1").arg(control.GetDlgCtrlID());
    QWidget* box = new QWidget(m_page);
    box->setGeometry(t.x, t.y, t.width, t.height);
    box->setObjectName("box" + name.mid(3));
    b.box = box;
    const bool labelled = !control.GetLabel().IsEmpty();

    auto labelLeft = [&](QWidget* input, bool buddy) {
        auto* row = new QHBoxLayout(box);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        if (labelled) {
            b.label = new QLabel(buddy ? ToQt(control.GetLabel()) : Plain(control.GetLabel()), box);
            if (buddy) b.label->setBuddy(input);
            row->addWidget(b.label);
        }
        row->addWidget(input, 1);
    };
    auto labelTop = [&](QWidget* input) {
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(2);
        if (labelled) {
            b.label = new QLabel(ToQt(control.GetLabel()), box);
            b.label->setBuddy(input);
            column->addWidget(b.label);
        }
        column->addWidget(input, 1);
    };
    auto fill = [&](QWidget* widget) {
        auto* single = new QVBoxLayout(box);
        single->setContentsMargins(0, 0, 0, 0);
        single->addWidget(widget);
    };

    switch (control.Kind()) {
        case XQKind::Edit: {
            auto* edit = new QLineEdit(box);
            b.input = edit;
            labelLeft(edit, true);
            break;
        }
        case XQKind::Combo: {
            auto* combo = new QComboBox(box);
            b.input = combo;
            labelLeft(combo, true);
            break;
        }
        case XQKind::Caption: {
            b.value = new QLabel(box);
            b.value->setTextFormat(Qt::PlainText);
            b.value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            b.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            b.value->setFocusPolicy(Qt::NoFocus);
            b.input = b.value;
            labelLeft(b.value, false);
            break;
        }
        case XQKind::Check: {
            auto* check = new QCheckBox(ToQt(control.GetLabel()), box);
            b.input = check;
            fill(check);
            break;
        }
        case XQKind::Button: {
            auto* button = new QPushButton(ToQt(control.GetLabel()), box);
            button->setAutoDefault(false);
            b.input = button;
            fill(button);
            break;
        }
        case XQKind::Memo: {
            auto* memo = new QPlainTextEdit(box);
            memo->setTabChangesFocus(true);
            b.input = memo;
            labelTop(memo);
            break;
        }
        case XQKind::List: {
            auto* list = new QListWidget(box);
            list->setItemDelegate(new TabStopDelegate(static_cast<CXQListBoxX&>(control), list));
            list->setUniformItemSizes(true);
            b.input = list;
            labelTop(list);
            break;
        }
        case XQKind::Grid: {
            auto* view = new QTableView(box);
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            view->setEditTriggers(QAbstractItemView::NoEditTriggers);
            view->setWordWrap(false);
            view->verticalHeader()->hide();
            view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
            view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
            view->horizontalHeader()->setStretchLastSection(true);
            view->horizontalHeader()->setSectionsClickable(false);
            b.grid = new XQQtGridModel(static_cast<CXQGridX&>(control), view);
            view->setModel(b.grid);
            b.input = view;
            labelTop(view);
            break;
        }
        case XQKind::Tree: {
            auto* tree = new QTreeWidget(box);
            tree->setHeaderHidden(true);
            b.input = tree;
            labelTop(tree);
            break;
        }
        case XQKind::Tab: {
            auto* tabs = new QTabBar(box);
            tabs->setExpanding(false);
            b.input = tabs;
            fill(tabs);
            break;
        }
        case XQKind::Label: {
            auto* label = new QLabel(Plain(control.GetLabel()), box);
            label->setWordWrap(true);
            label->setFocusPolicy(Qt::NoFocus);
            b.input = label;
            fill(label);
            break;
        }
        case XQKind::Frame: {
            auto* frame = new QGroupBox(Plain(control.GetLabel()), box);
            frame->setFocusPolicy(Qt::NoFocus);
            b.input = frame;
            fill(frame);
            break;
        }
    }
    b.input->setObjectName(name);
    m_byWidget[b.input] = &b;
    m_byWidget[box] = &b;
    if (b.label) m_byWidget[b.label] = &b;
    if (b.input->focusPolicy() != Qt::NoFocus) b.input->installEventFilter(this);
    Connect(b);
    m_bindings.push_back(std::move(owned));
}

void XQQtWindow::Connect(XQQtBinding& b) {
    XQQtBinding* binding = &b;
    switch (b.control->Kind()) {
        case XQKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(b.input);
            auto* model = static_cast<CXQLEditX*>(b.control);
            auto pushSel = [this, edit, model, binding] {
                if (m_updating) return;
                const int caret = edit->cursorPosition();
                int anchor = caret;
                if (edit->hasSelectedText())
                    anchor = caret == edit->selectionStart() ? edit->selectionEnd()
                                                             : edit->selectionStart();
                XQQtDeliver([&] { model->SetSel(anchor, caret); });
                model->GetSel(binding->selStart, binding->selEnd);
            };
            connect(edit, &QLineEdit::textEdited, this,
                    [this, model, pushSel](const QString& text) {
                        if (m_updating) return;
                        XQQtDeliver([&] { model->UserType(FromQt(text)); });
                        pushSel();
                    });
            connect(edit, &QLineEdit::cursorPositionChanged, this, pushSel);
            connect(edit, &QLineEdit::selectionChanged, this, pushSel);
            break;
        }
        case XQKind::Combo: {
            auto* combo = static_cast<QComboBox*>(b.input);
            auto* model = static_cast<CXQLComboX*>(b.control);
            connect(combo, &QComboBox::activated, this, [this, model](int index) {
                if (!m_updating) XQQtDeliver([&] { model->UserSelect(index); });
            });
            break;
        }
        case XQKind::Check: {
            auto* model = static_cast<CXQLCheckX*>(b.control);
            connect(static_cast<QCheckBox*>(b.input), &QCheckBox::clicked, this, [this, model] {
                if (!m_updating) XQQtDeliver([&] { model->UserClick(); });
            });
            break;
        }
        case XQKind::Button: {
            auto* model = static_cast<CXQButtonX*>(b.control);
            connect(static_cast<QPushButton*>(b.input), &QPushButton::clicked, this, [this, model] {
                if (!m_updating) XQQtDeliver([&] { model->UserClick(); });
            });
            break;
        }
        case XQKind::Memo: {
            auto* memo = static_cast<QPlainTextEdit*>(b.input);
            auto* model = static_cast<CXQLMemoX*>(b.control);
            auto pushSel = [this, memo, model, binding] {
                if (m_updating) return;
                const QTextCursor cursor = memo->textCursor();
                const int anchor = QtToMemoPos(*memo, cursor.anchor());
                const int caret = QtToMemoPos(*memo, cursor.position());
                XQQtDeliver([&] { model->SetSel(anchor, caret); });
                model->GetSel(binding->selStart, binding->selEnd);
            };
            connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, model, pushSel] {
                if (m_updating) return;
                XQQtDeliver([&] { model->UserType(FromQt(memo->toPlainText())); });
                pushSel();
            });
            connect(memo, &QPlainTextEdit::cursorPositionChanged, this, pushSel);
            break;
        }
        case XQKind::List: {
            auto* list = static_cast<QListWidget*>(b.input);
            auto* model = static_cast<CXQListBoxX*>(b.control);
            connect(list, &QListWidget::currentRowChanged, this, [this, model](int row) {
                if (!m_updating && row >= 0 && row != model->GetCurSel())
                    XQQtDeliver([&] { model->UserSelect(row); });
            });
            connect(list, &QListWidget::itemDoubleClicked, this,
                    [this, list, model](QListWidgetItem* item) {
                        if (!m_updating) XQQtDeliver([&] { model->UserDblClick(list->row(item)); });
                    });
            connect(list, &QListWidget::itemChanged, this,
                    [this, list, model](QListWidgetItem* item) {
                        if (m_updating || !model->IsCheckable()) return;
                        const int row = list->row(item);
                        const bool checked = item->checkState() == Qt::Checked;
                        if (checked != model->GetCheck(row))
                            XQQtDeliver([&] { model->UserTick(row, checked); });
                    });
            break;
        }
        case XQKind::Grid: {
            auto* view = static_cast<QTableView*>(b.input);
            auto* model = static_cast<CXQGridX*>(b.control);
            XQQtGridModel* table = b.grid;
            connect(
                view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, model](const QModelIndex& current, const QModelIndex&) {
                    if (m_updating || !current.isValid() || current.row() == model->GetCurLine())
                        return;
                    XQQtDeliver([&] { model->UserSelectLine(current.row()); });
                });
            connect(view, &QTableView::doubleClicked, this,
                    [this, model](const QModelIndex& index) {
                        if (!m_updating && index.isValid())
                            XQQtDeliver([&] { model->UserDblClick(index.row()); });
                    });
            connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
                    [table] { table->Scrolled(); });
            view->viewport()->installEventFilter(this);
            break;
        }
        case XQKind::Tree: {
            auto* tree = static_cast<QTreeWidget*>(b.input);
            auto* model = static_cast<CXQTreeX*>(b.control);
            auto handle = [](QTreeWidgetItem* item) {
                return item ? static_cast<HTREEITEM>(item->data(0, Qt::UserRole).toLongLong()) : 0;
            };
            connect(tree, &QTreeWidget::itemExpanded, this,
                    [this, model, handle](QTreeWidgetItem* item) {
                        if (!m_updating) XQQtDeliver([&] { model->Expand(handle(item), true); });
                    });
            connect(tree, &QTreeWidget::itemCollapsed, this,
                    [this, model, handle](QTreeWidgetItem* item) {
                        if (!m_updating) XQQtDeliver([&] { model->Expand(handle(item), false); });
                    });
            connect(tree, &QTreeWidget::currentItemChanged, this,
                    [this, model, handle](QTreeWidgetItem* item, QTreeWidgetItem*) {
                        if (!m_updating && item && handle(item) != model->GetSelectedItem())
                            XQQtDeliver([&] { model->SelectItem(handle(item)); });
                    });
            connect(tree, &QTreeWidget::itemDoubleClicked, this,
                    [this, model, handle](QTreeWidgetItem* item, int) {
                        if (m_updating) return;
                        const auto items = model->Items(true);
                        for (size_t line = 0; line < items.size(); ++line)
                            if (items[line].first == handle(item))
                                XQQtDeliver([&] { model->UserDblClick(static_cast<int>(line)); });
                    });
            break;
        }
        case XQKind::Tab: {
            auto* model = static_cast<CXQTabX*>(b.control);
            connect(static_cast<QTabBar*>(b.input), &QTabBar::currentChanged, this,
                    [this, model](int index) {
                        if (!m_updating && index >= 0 && index != model->GetCurSel())
                            XQQtDeliver([&] { model->UserSelect(index); });
                    });
            break;
        }
        case XQKind::Caption:
        case XQKind::Label:
        case XQKind::Frame:
            break;
    }
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
        if (!changed || changed->count(binding->control)) Update(*binding);
    UpdateToolbar();
    UpdateFocus();
    m_updating = false;
}

void XQQtWindow::UpdateToolbar() {
    for (const CXQDialog::ToolbarButton& button : m_dialog.ToolbarButtons()) {
        auto it = m_toolbar.find(button.number);
        if (it == m_toolbar.end()) continue;
        QToolButton* tool = it->second;
        const QString hint = ToQt(button.hint);
        tool->setText(hint.isEmpty() ? QString::number(button.number) : hint);
        tool->setToolTip(QString("%1 (%2)").arg(hint).arg(button.number));
        tool->setEnabled(button.enabled);
        tool->setVisible(button.visible);
        if (auto item = m_menu.find(button.number); item != m_menu.end()) {
            item->second->setEnabled(button.enabled);
            item->second->setVisible(button.visible);
        }
    }
}

void XQQtWindow::UpdateFocus() {
    // The widgets follow the model's focus; a window that has just become
    // active gets it too.
    CWnd* focus = m_dialog.GetFocus();
    for (auto& binding : m_bindings)
        if (binding->control == focus && binding->input->focusPolicy() != Qt::NoFocus) {
            if (focus != m_focusShown || (isActiveWindow() && !binding->input->hasFocus()))
                binding->input->setFocus(Qt::OtherFocusReason);
            break;
        }
    m_focusShown = focus;
}

void XQQtWindow::Update(XQQtBinding& b) {
    CWnd& control = *b.control;
    b.box->setVisible(control.IsWindowVisible());
    b.box->setEnabled(control.IsWindowEnabled());
    const QString hint = ToQt(control.GetHint());
    b.input->setToolTip(hint);
    if (b.label) {
        b.label->setToolTip(hint);
        b.label->setText(b.label->buddy() ? ToQt(control.GetLabel()) : Plain(control.GetLabel()));
    }
    switch (control.Kind()) {
        case XQKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(b.input);
            auto& model = static_cast<CXQLEditX&>(control);
            const QString text = ToQt(model.GetText());
            int start, end;
            model.GetSel(start, end);
            if (edit->text() != text || start != b.selStart || end != b.selEnd) {
                if (edit->text() != text) edit->setText(text);
                if (start == end)
                    edit->setCursorPosition(end);
                else
                    edit->setSelection(start, end - start);  // a negative length ends at start
                b.selStart = start;
                b.selEnd = end;
            }
            edit->setReadOnly(model.IsReadOnly());
            edit->setMaxLength(model.GetMaxLength() > 0 ? model.GetMaxLength() : 32767);
            break;
        }
        case XQKind::Combo: {
            auto* combo = static_cast<QComboBox*>(b.input);
            auto& model = static_cast<CXQLComboX&>(control);
            bool same = combo->count() == model.GetCount();
            for (int i = 0; same && i < model.GetCount(); ++i)
                same = combo->itemText(i) == ToQt(model.GetLBText(i));
            if (!same) {
                combo->clear();
                for (int i = 0; i < model.GetCount(); ++i) combo->addItem(ToQt(model.GetLBText(i)));
            }
            combo->setCurrentIndex(model.GetCurSel());
            break;
        }
        case XQKind::Caption:
            b.value->setText(ToQt(static_cast<CXQLabelX&>(control).GetCaption()));
            break;
        case XQKind::Check: {
            auto* check = static_cast<QCheckBox*>(b.input);
            check->setText(ToQt(control.GetLabel()));
            check->setChecked(static_cast<CXQLCheckX&>(control).GetCheck());
            break;
        }
        case XQKind::Button:
            static_cast<QPushButton*>(b.input)->setText(ToQt(control.GetLabel()));
            break;
        case XQKind::Memo: {
            auto* memo = static_cast<QPlainTextEdit*>(b.input);
            auto& model = static_cast<CXQLMemoX&>(control);
            const QString text = ToQt(model.GetLines().Join("\n"));
            int start, end;
            model.GetSel(start, end);
            const bool changed = memo->toPlainText() != text;
            // Lines rewritten in code leave the model's caret where it was;
            // a user who was writing at the end goes on writing at the end.
            const bool atEnd = memo->textCursor().atEnd();
            if (changed && atEnd && start == b.selStart && end == b.selEnd && start == end) {
                start = end = model.GetText().GetLength();
                model.SetSel(start, end);
            }
            if (changed) memo->setPlainText(text);
            if (changed || start != b.selStart || end != b.selEnd) {
                QTextCursor cursor = memo->textCursor();
                cursor.setPosition(MemoToQtPos(model.GetLines(), start));
                cursor.setPosition(MemoToQtPos(model.GetLines(), end), QTextCursor::KeepAnchor);
                memo->setTextCursor(cursor);
                b.selStart = start;
                b.selEnd = end;
            }
            memo->setReadOnly(model.IsReadOnly());
            break;
        }
        case XQKind::List: {
            auto* list = static_cast<QListWidget*>(b.input);
            auto& model = static_cast<CXQListBoxX&>(control);
            if (model.IsFixedPitch() != (list->property("fixedPitch").toBool())) {
                list->setFont(model.IsFixedPitch() ? FixedPitchFont() : QFont());
                list->setProperty("fixedPitch", model.IsFixedPitch());
            }
            while (list->count() > model.GetCount()) delete list->takeItem(list->count() - 1);
            for (int i = 0; i < model.GetCount(); ++i) {
                QListWidgetItem* item = list->item(i);
                if (!item) {
                    item = new QListWidgetItem(list);
                }
                const QString text = ToQt(model.GetText(i));
                if (item->text() != text) item->setText(text);
                Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
                if (model.IsCheckable()) flags |= Qt::ItemIsUserCheckable;
                if (item->flags() != flags) item->setFlags(flags);
                if (model.IsCheckable())
                    item->setCheckState(model.GetCheck(i) ? Qt::Checked : Qt::Unchecked);
                else
                    item->setData(Qt::CheckStateRole, QVariant());
                // A light colour marks the line (as its background, the text
                // stays readable); a darker one is the colour of its text.
                const COLORREF color = model.GetItemColor(i);
                const QColor shown = FromColorRef(color);
                const bool light = qGray(shown.rgb()) > 160;
                item->setData(Qt::ForegroundRole,
                              color && !light ? QVariant(QBrush(shown)) : QVariant());
                item->setData(Qt::BackgroundRole,
                              color && light ? QVariant(QBrush(shown)) : QVariant());
            }
            if (list->currentRow() != model.GetCurSel()) list->setCurrentRow(model.GetCurSel());
            break;
        }
        case XQKind::Grid: {
            auto* view = static_cast<QTableView*>(b.input);
            auto& model = static_cast<CXQGridX&>(control);
            b.grid->Sync();
            const int line = model.GetCurLine();
            QItemSelectionModel* selection = view->selectionModel();
            if (line >= 0) {
                const QModelIndex index = b.grid->index(line, 0);
                if (selection->currentIndex().row() != line) {
                    selection->setCurrentIndex(
                        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                    view->scrollTo(index);
                }
            } else {
                selection->clear();
            }
            break;
        }
        case XQKind::Tree: {
            auto* tree = static_cast<QTreeWidget*>(b.input);
            auto& model = static_cast<CXQTreeX&>(control);
            // Rebuilt only when items, texts or expansion changed.
            QString signature;
            const auto items = model.Items(false);
            for (const auto& [item, depth] : items)
                signature += QString("%1/%2/%3/%4\n")
                                 .arg(item)
                                 .arg(depth)
                                 .arg(model.IsExpanded(item))
                                 .arg(ToQt(model.GetItemText(item)));
            if (tree->property("signature").toString() != signature) {
                tree->clear();
                std::map<HTREEITEM, QTreeWidgetItem*> made;
                for (const auto& [item, depth] : items) {
                    (void)depth;
                    const HTREEITEM parent = model.GetParentItem(item);
                    auto* node = parent && made.count(parent) ? new QTreeWidgetItem(made[parent])
                                                              : new QTreeWidgetItem(tree);
                    node->setText(0, ToQt(model.GetItemText(item)));
                    node->setData(0, Qt::UserRole, static_cast<qlonglong>(item));
                    made[item] = node;
                }
                for (const auto& [item, node] : made) node->setExpanded(model.IsExpanded(item));
                tree->setProperty("signature", signature);
            }
            QTreeWidgetItem* current = nullptr;
            for (QTreeWidgetItemIterator it(tree); *it && !current; ++it)
                if ((*it)->data(0, Qt::UserRole).toLongLong() == model.GetSelectedItem())
                    current = *it;
            if (tree->currentItem() != current) tree->setCurrentItem(current);
            break;
        }
        case XQKind::Tab: {
            auto* tabs = static_cast<QTabBar*>(b.input);
            auto& model = static_cast<CXQTabX&>(control);
            while (tabs->count() > model.GetCount()) tabs->removeTab(tabs->count() - 1);
            for (int i = 0; i < model.GetCount(); ++i) {
                if (i >= tabs->count()) tabs->addTab(QString());
                tabs->setTabText(i, ToQt(model.GetTabText(i)));
            }
            tabs->setCurrentIndex(model.GetCurSel());
            break;
        }
        case XQKind::Label:
            static_cast<QLabel*>(b.input)->setText(Plain(control.GetLabel()));
            break;
        case XQKind::Frame:
            static_cast<QGroupBox*>(b.input)->setTitle(Plain(control.GetLabel()));
            break;
    }
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

bool XQQtWindow::RouteKey(QKeyEvent* event, XQQtBinding* binding) {
    XQKeyEvent key;
    if (!Translate(*event, key)) return false;
    CWnd* control = binding ? binding->control : nullptr;
    const XQKind kind = control ? control->Kind() : XQKind::Frame;
    const bool text = kind == XQKind::Edit || kind == XQKind::Memo;
    // The editing keys stay with a text field.
    if (key.key == XQKey::Ctrl && text && QString("ACVXYZ").contains(QChar(key.ctrlLetter)))
        return false;
    const bool dialogKey = key.key == XQKey::Escape || key.key == XQKey::Ctrl ||
                           (key.key >= XQKey::F1 && key.key <= XQKey::F12) ||
                           (key.key == XQKey::Return && kind == XQKind::Edit);
    if (dialogKey) {
        XQQtDeliver([&] { m_dialog.PressKey(key, control); });
        return true;
    }
    if (!control || !control->onKeyDown) return false;
    bool swallowed = false;
    XQQtDeliver([&] { swallowed = control->onKeyDown(key); });
    return swallowed;
}

bool XQQtWindow::eventFilter(QObject* watched, QEvent* event) {
    if (m_closing) return false;
    if (event->type() == QEvent::KeyPress) {
        XQQtBinding* binding = BindingOf(watched);
        if (binding && RouteKey(static_cast<QKeyEvent*>(event), binding)) return true;
    } else if (event->type() == QEvent::Resize) {
        // A grid pages by the lines that fit its view.
        for (auto& binding : m_bindings)
            if (binding->grid && static_cast<QTableView*>(binding->input)->viewport() == watched) {
                auto* view = static_cast<QTableView*>(binding->input);
                QScrollBar* bar = view->horizontalScrollBar();
                const int height = view->viewport()->height();
                const int line = view->verticalHeader()->defaultSectionSize();
                auto& grid = static_cast<CXQGridX&>(*binding->control);
                if (grid.ClientHeight() != height || grid.LineHeight() != line)
                    XQQtDeliver(
                        [&] { grid.SetGeometry(height, line, bar->isVisible(), bar->height()); });
            }
    }
    return QDialog::eventFilter(watched, event);
}

void XQQtWindow::keyPressEvent(QKeyEvent* event) {
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
