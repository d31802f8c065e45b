// The bindings of the item views: list, grid and tree.
#include <QAbstractTableModel>
#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "host/ui/qt/XQQtBinding.h"
#include "host/ui/qt/XQQtWindow.h"

namespace {

// ---------------------------------------------------------------- list

QColor FromColorRef(COLORREF color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// Left edge of column i of a list with tab stops, in pixels from the text's
// left (0: the first column); past the last stop every 8 average characters.
int StopAt(const CXQListBoxX& list, const QFont& font, int i) {
    const std::vector<int>& stops = list.GetTabStops();
    const int n = static_cast<int>(stops.size());
    if (i <= 0) return 0;
    if (i <= n) return stops[static_cast<size_t>(i - 1)];
    return (n ? stops.back() : 0) + (i - n) * 8 * QFontMetrics(font).averageCharWidth();
}

// Draws pieces, one per column, from left within rect, as a list line does.
void DrawColumns(QPainter& painter, const CXQListBoxX& list, const QRect& rect,
                 const QStringList& pieces) {
    for (int i = 0; i < pieces.size(); ++i) {
        const int left = rect.left() + StopAt(list, painter.font(), i);
        const int right = i + 1 < pieces.size() ? rect.left() + StopAt(list, painter.font(), i + 1)
                                                : rect.right();
        painter.drawText(QRect(left, rect.top(), std::max(right - left, 0), rect.height()),
                         Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, pieces[i]);
    }
}

// Draws tab-separated columns at the list's absolute tab stops.
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
        DrawColumns(*painter, m_list, rect, text.split('\t'));
        painter->restore();
    }

  private:
    const CXQListBoxX& m_list;
};

// Where a line's text starts in the list's viewport: after the check box of
// a list the user ticks lines in.
int TextLeft(const QListWidget& view, const CXQListBoxX& list) {
    QStyleOptionViewItem opt;
    opt.initFrom(view.viewport());
    opt.rect = QRect(0, 0, std::max(view.viewport()->width(), 100), view.fontMetrics().height());
    opt.font = view.font();
    opt.fontMetrics = view.fontMetrics();
    opt.text = "x";
    opt.features = QStyleOptionViewItem::HasDisplay;
    if (list.IsCheckable()) opt.features |= QStyleOptionViewItem::HasCheckIndicator;
    opt.widget = &view;
    const int left = view.style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, &view).left();
    return left - view.horizontalScrollBar()->value();
}

// The column titles of a list, each where the list's lines show that
// column: in the list's font, from the left edge of the lines' text.
class ColumnHeader : public QLabel {
  public:
    ColumnHeader(const CXQListBoxX& list, QWidget* parent) : QLabel(parent), m_list(list) {
        setTextFormat(Qt::PlainText);
        setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
        setFocusPolicy(Qt::NoFocus);
    }

    QSize minimumSizeHint() const override {
        // The last title whole, behind the last stop and the list's frame
        // and check boxes.
        const QListWidget* view = View();
        const QFont font = view ? view->font() : this->font();
        const QStringList titles = Titles();
        const int offset = view ? view->frameWidth() + TextLeft(*view, m_list) : 30;
        const int last = static_cast<int>(titles.size()) - 1;
        const int width = offset + StopAt(m_list, font, last) +
                          QFontMetrics(font).horizontalAdvance(titles.value(last)) + 4;
        return QSize(width, QFontMetrics(font).height() + 2 * frameWidth());
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);
        const QListWidget* view = View();
        if (!view) return;
        QPainter painter(this);
        painter.setFont(view->font());
        painter.setPen(palette().color(QPalette::WindowText));
        // A heading aligned by blanks for a list the user ticks lines in
        // gives the check box two characters: those stand over the box.
        const int box = m_list.IsCheckable() && m_list.GetTabStops().empty()
                            ? 2 * QFontMetrics(view->font()).horizontalAdvance(' ')
                            : 0;
        const int left =
            view->viewport()->mapTo(window(), QPoint(TextLeft(*view, m_list) - box, 0)).x() -
            mapTo(window(), QPoint(0, 0)).x();
        DrawColumns(painter, m_list, QRect(left, 0, width() - left, height()), Titles());
    }

  private:
    // A caption without tabs separates its titles by two or more blanks; a
    // list without tab stops aligns its columns by blanks in a fixed-pitch
    // font, so its heading is drawn as it stands, blanks and all.
    QStringList Titles() const {
        if (text().contains('\t')) return text().split('\t');
        if (m_list.GetTabStops().empty()) return {text()};
        return text().trimmed().split(QRegularExpression(" {2,}"));
    }
    const QListWidget* View() const {
        return window()->findChild<QListWidget*>(QString("ctl%1").arg(m_list.GetDlgCtrlID()));
    }

    const CXQListBoxX& m_list;
};

// A list's own label that names its columns: titles separated by a tab or
// by two blanks or more.
bool IsColumnHeading(const CString& label) {
    return QRegularExpression("\\S( {2,}|\\t)\\S").match(ToQt(label)).hasMatch();
}

// The caption that heads list: named "Spalten", just above it.
bool Heads(const CWnd& caption, const CWnd& list) {
    const XQControlTemplate& c = caption.Template();
    const XQControlTemplate& l = list.Template();
    return caption.Kind() == XQKind::Caption && list.Kind() == XQKind::List &&
           c.label == "Spalten" && std::abs(c.x - l.x) <= 10 && l.y >= c.y + c.height &&
           l.y <= c.y + c.height + 10;
}

class ListBinding : public XQQtBinding {
  public:
    ListBinding(CXQListBoxX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_list = new QListWidget(box);
        m_list->setItemDelegate(new TabStopDelegate(m_model, m_list));
        m_list->setUniformItemSizes(true);
        input = m_list;
        // Under its column titles the list's name would stand between the
        // titles and their columns; it stays the name screen readers tell.
        for (const CWnd* other : Window().Dialog().Controls())
            if (Heads(*other, m_model)) {
                m_list->setAccessibleName(ToQt(XQStripMnemonic(m_model.GetLabel())));
                Fill(m_list);
                return;
            }
        if (IsColumnHeading(m_model.GetLabel())) {
            // The heading stands above the columns it names, in their font.
            auto* column = new QVBoxLayout(box);
            column->setContentsMargins(0, 0, 0, 0);
            column->setSpacing(0);
            label = XQQtColumnHeader(m_model, box);
            m_list->setAccessibleName(ToQt(XQStripMnemonic(m_model.GetLabel())).simplified());
            column->addWidget(label);
            column->addWidget(m_list, 1);
            return;
        }
        LabelTop(m_list);
    }

    void Connect() override {
        QObject::connect(m_list, &QListWidget::currentRowChanged, &Window(), [this](int row) {
            if (!Updating() && row >= 0 && row != m_model.GetCurSel())
                XQQtDeliver([&] { m_model.UserSelect(row); });
        });
        // A mouse click on a line is a click (the press already made it
        // current); the arrow keys only move the current line.
        QObject::connect(m_list, &QListWidget::itemClicked, &Window(),
                         [this](QListWidgetItem* item) {
                             if (!Updating())
                                 XQQtDeliver([&] { m_model.UserClick(m_list->row(item)); });
                         });
        QObject::connect(m_list, &QListWidget::itemDoubleClicked, &Window(),
                         [this](QListWidgetItem* item) {
                             if (!Updating())
                                 XQQtDeliver([&] { m_model.UserDblClick(m_list->row(item)); });
                         });
        QObject::connect(m_list, &QListWidget::itemChanged, &Window(),
                         [this](QListWidgetItem* item) {
                             if (Updating() || !m_model.IsCheckable()) return;
                             const int row = m_list->row(item);
                             const bool checked = item->checkState() == Qt::Checked;
                             if (checked != m_model.GetCheck(row))
                                 XQQtDeliver([&] { m_model.UserTick(row, checked); });
                         });
    }

  protected:
    void UpdateKind() override {
        if (m_model.IsFixedPitch() != (m_list->property("fixedPitch").toBool())) {
            m_list->setFont(m_model.IsFixedPitch() ? XQQtFixedPitchFont() : QFont());
            m_list->setProperty("fixedPitch", m_model.IsFixedPitch());
        }
        while (m_list->count() > m_model.GetCount()) delete m_list->takeItem(m_list->count() - 1);
        for (int i = 0; i < m_model.GetCount(); ++i) {
            QListWidgetItem* item = m_list->item(i);
            if (!item) item = new QListWidgetItem(m_list);
            UpdateItem(*item, i);
        }
        // As the grid's: the current line keeps its highlight through a refresh.
        const int row = m_model.GetCurSel();
        if (m_list->currentRow() != row ||
            (row >= 0 && row < m_list->count() && !m_list->item(row)->isSelected()))
            m_list->setCurrentRow(row);
    }

  private:
    void UpdateItem(QListWidgetItem& item, int i) {
        const QString text = ToQt(m_model.GetText(i));
        if (item.text() != text) item.setText(text);
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (m_model.IsCheckable()) flags |= Qt::ItemIsUserCheckable;
        if (item.flags() != flags) item.setFlags(flags);
        if (m_model.IsCheckable())
            item.setCheckState(m_model.GetCheck(i) ? Qt::Checked : Qt::Unchecked);
        else
            item.setData(Qt::CheckStateRole, QVariant());
        // A light colour marks the line (as its background, the text stays
        // readable); a darker one is the colour of its text.
        const COLORREF color = m_model.GetItemColor(i);
        const QColor shown = FromColorRef(color);
        const bool light = qGray(shown.rgb()) > 160;
        item.setData(Qt::ForegroundRole, color && !light ? QVariant(QBrush(shown)) : QVariant());
        item.setData(Qt::BackgroundRole, color && light ? QVariant(QBrush(shown)) : QVariant());
    }

    CXQListBoxX& m_model;
    QListWidget* m_list = nullptr;
};

// ---------------------------------------------------------------- grid

// The grid's lines as a virtual table: it keeps nothing but the shape and
// reads the lines the grid has fetched; a line it lacks is fetched, for the
// rows the view shows, once the event loop runs again.
class GridTable : public QAbstractTableModel {
  public:
    GridTable(CXQGridX& grid, QTableView* view)
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
            // A column is at least as wide as its title.
            const auto& defs = m_grid.GetColumns();
            for (int i = 0; i < static_cast<int>(defs.size()); ++i)
                m_view->setColumnWidth(i, std::max(defs[static_cast<size_t>(i)].width,
                                                   m_view->horizontalHeader()->sectionSizeHint(i)));
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
        auto* self = const_cast<GridTable*>(this);
        QTimer::singleShot(0, m_view, [self] { self->FetchVisible(); });
    }

    CXQGridX& m_grid;
    QTableView* m_view;
    int m_rows = 0, m_columns = 0;
    mutable bool m_fetchQueued = false;
    int m_triedFirst = -1, m_triedCount = 0;
};

class GridBinding : public XQQtBinding {
  public:
    GridBinding(CXQGridX& model, XQQtWindow& window) : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_view = new QTableView(box);
        m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_view->setSelectionMode(QAbstractItemView::SingleSelection);
        m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_view->setWordWrap(false);
        m_view->verticalHeader()->hide();
        m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
        m_view->horizontalHeader()->setStretchLastSection(true);
        m_view->horizontalHeader()->setSectionsClickable(false);
        m_table = new GridTable(m_model, m_view);
        m_view->setModel(m_table);
        input = m_view;
        LabelTop(m_view);
    }

    void Connect() override {
        QObject::connect(
            m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, &Window(),
            [this](const QModelIndex& current, const QModelIndex&) {
                if (Updating() || !current.isValid() || current.row() == m_model.GetCurLine())
                    return;
                XQQtDeliver([&] { m_model.UserSelectLine(current.row()); });
            });
        QObject::connect(m_view, &QTableView::doubleClicked, &Window(),
                         [this](const QModelIndex& index) {
                             if (!Updating() && index.isValid())
                                 XQQtDeliver([&] { m_model.UserDblClick(index.row()); });
                         });
        QObject::connect(m_view->verticalScrollBar(), &QScrollBar::valueChanged, &Window(),
                         [table = m_table] { table->Scrolled(); });
        // A grid pages by the lines that fit its view.
        m_view->viewport()->installEventFilter(&Window());
    }

    void Resized(QObject* watched) override {
        if (watched != m_view->viewport()) return;
        QScrollBar* bar = m_view->horizontalScrollBar();
        const int height = m_view->viewport()->height();
        const int line = m_view->verticalHeader()->defaultSectionSize();
        if (m_model.ClientHeight() != height || m_model.LineHeight() != line)
            XQQtDeliver(
                [&] { m_model.SetGeometry(height, line, bar->isVisible(), bar->height()); });
    }

  protected:
    void UpdateKind() override {
        m_table->Sync();
        const int line = m_model.GetCurLine();
        QItemSelectionModel* selection = m_view->selectionModel();
        // The current line stays current and highlighted: it is set, and
        // scrolled to, only when it moved or lost its highlight.
        if (line >= 0) {
            const QModelIndex index = m_table->index(line, 0);
            if (selection->currentIndex().row() != line || !selection->isRowSelected(line)) {
                selection->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                m_view->scrollTo(index);
            }
        } else if (selection->hasSelection() || selection->currentIndex().isValid()) {
            selection->clear();
        }
    }

  private:
    CXQGridX& m_model;
    QTableView* m_view = nullptr;
    GridTable* m_table = nullptr;  // a child of the view
};

// ---------------------------------------------------------------- tree

HTREEITEM Handle(const QTreeWidgetItem* item) {
    return item ? static_cast<HTREEITEM>(item->data(0, Qt::UserRole).toLongLong()) : 0;
}

class TreeBinding : public XQQtBinding {
  public:
    TreeBinding(CXQTreeX& model, XQQtWindow& window) : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_tree = new QTreeWidget(box);
        m_tree->setHeaderHidden(true);
        input = m_tree;
        LabelTop(m_tree);
    }

    void Connect() override {
        QObject::connect(m_tree, &QTreeWidget::itemExpanded, &Window(),
                         [this](QTreeWidgetItem* item) {
                             if (!Updating())
                                 XQQtDeliver([&] { m_model.Expand(Handle(item), true); });
                         });
        QObject::connect(m_tree, &QTreeWidget::itemCollapsed, &Window(),
                         [this](QTreeWidgetItem* item) {
                             if (!Updating())
                                 XQQtDeliver([&] { m_model.Expand(Handle(item), false); });
                         });
        QObject::connect(m_tree, &QTreeWidget::currentItemChanged, &Window(),
                         [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
                             if (!Updating() && item && Handle(item) != m_model.GetSelectedItem())
                                 XQQtDeliver([&] { m_model.SelectItem(Handle(item)); });
                         });
        QObject::connect(
            m_tree, &QTreeWidget::itemDoubleClicked, &Window(), [this](QTreeWidgetItem* item, int) {
                if (Updating()) return;
                const auto items = m_model.Items(true);
                for (size_t line = 0; line < items.size(); ++line)
                    if (items[line].first == Handle(item))
                        XQQtDeliver([&] { m_model.UserDblClick(static_cast<int>(line)); });
            });
    }

  protected:
    void UpdateKind() override {
        // Rebuilt only when items, texts or expansion changed.
        QString signature;
        const auto items = m_model.Items(false);
        for (const auto& [item, depth] : items)
            signature += QString("%1/%2/%3/%4\n")
                             .arg(item)
                             .arg(depth)
                             .arg(m_model.IsExpanded(item))
                             .arg(ToQt(m_model.GetItemText(item)));
        if (m_tree->property("signature").toString() != signature) {
            Rebuild(items);
            m_tree->setProperty("signature", signature);
        }
        QTreeWidgetItem* current = nullptr;
        for (QTreeWidgetItemIterator it(m_tree); *it && !current; ++it)
            if (Handle(*it) == m_model.GetSelectedItem()) current = *it;
        if (m_tree->currentItem() != current) m_tree->setCurrentItem(current);
    }

  private:
    void Rebuild(const std::vector<std::pair<HTREEITEM, int>>& items) {
        m_tree->clear();
        std::map<HTREEITEM, QTreeWidgetItem*> made;
        for (const auto& [item, depth] : items) {
            (void)depth;
            const HTREEITEM parent = m_model.GetParentItem(item);
            auto* node = parent && made.count(parent) ? new QTreeWidgetItem(made[parent])
                                                      : new QTreeWidgetItem(m_tree);
            node->setText(0, ToQt(m_model.GetItemText(item)));
            node->setData(0, Qt::UserRole, static_cast<qlonglong>(item));
            made[item] = node;
        }
        for (const auto& [item, node] : made) node->setExpanded(m_model.IsExpanded(item));
    }

    CXQTreeX& m_model;
    QTreeWidget* m_tree = nullptr;
};

}  // namespace

QFont XQQtFixedPitchFont() {
    if (QFontDatabase::families().contains("Roboto Mono")) return QFont("Roboto Mono");
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

CXQListBoxX* XQQtHeadedList(const CWnd& caption, const std::vector<CWnd*>& controls) {
    for (CWnd* control : controls)
        if (Heads(caption, *control)) return static_cast<CXQListBoxX*>(control);
    return nullptr;
}

QLabel* XQQtColumnHeader(const CXQListBoxX& list, QWidget* parent) {
    return new ColumnHeader(list, parent);
}

std::unique_ptr<XQQtBinding> XQQtListBinding(CXQListBoxX& list, XQQtWindow& window) {
    return std::make_unique<ListBinding>(list, window);
}

std::unique_ptr<XQQtBinding> XQQtGridBinding(CXQGridX& grid, XQQtWindow& window) {
    return std::make_unique<GridBinding>(grid, window);
}

std::unique_ptr<XQQtBinding> XQQtTreeBinding(CXQTreeX& tree, XQQtWindow& window) {
    return std::make_unique<TreeBinding>(tree, window);
}
