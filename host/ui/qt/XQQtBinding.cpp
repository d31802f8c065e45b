// The bindings of the input fields, buttons, tabs and texts; the item views
// (list, grid, tree) are in XQQtItemViews.cpp.
#include "host/ui/qt/XQQtBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>

#include "host/ui/qt/XQQtWindow.h"

namespace {

// The label without its mnemonic marks, for widgets that have no buddy.
QString Plain(const CString& label) {
    return ToQt(XQStripMnemonic(label));
}

}  // namespace

void XQQtBinding::Update() {
    // A refresh leaves a widget the user is in as it is: the toolkit skips
    // visibility and enabling that do not change, the rest (here and in
    // UpdateKind) is set only when it changed.
    box->setVisible(control->IsWindowVisible());
    box->setEnabled(control->IsWindowEnabled());
    const QString hint = ToQt(control->GetHint());
    if (input->toolTip() != hint) input->setToolTip(hint);
    if (label) {
        if (label->toolTip() != hint) label->setToolTip(hint);
        const QString text =
            label->buddy() ? Shown(control->GetLabel()) : Plain(control->GetLabel());
        if (label->text() != text) label->setText(text);
    }
    UpdateKind();
}

QString XQQtBinding::Shown(const CString& label) {
    if (!m_claimed) {
        m_letter = m_window->ClaimMnemonic(label);
        m_claimed = true;
    }
    return XQQtWithMnemonic(label, m_letter);
}

bool XQQtBinding::Updating() const {
    return m_window->Updating();
}

void XQQtBinding::LabelLeft(QWidget* widget, bool buddy) {
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    if (!control->GetLabel().IsEmpty()) {
        label = new QLabel(buddy ? Shown(control->GetLabel()) : Plain(control->GetLabel()), box);
        if (buddy) label->setBuddy(widget);
        row->addWidget(label);
    }
    row->addWidget(widget, 1);
}

void XQQtBinding::LabelTop(QWidget* widget) {
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    if (!control->GetLabel().IsEmpty()) {
        label = new QLabel(Shown(control->GetLabel()), box);
        label->setBuddy(widget);
        column->addWidget(label);
    }
    column->addWidget(widget, 1);
}

void XQQtBinding::Fill(QWidget* widget) {
    auto* single = new QVBoxLayout(box);
    single->setContentsMargins(0, 0, 0, 0);
    single->addWidget(widget);
}

namespace {

// The span a change of the model's text replaces, so that a field rewrites
// only that and the rest keeps its place in the field's undo history: from
// start, the old text's characters up to oldEnd became the new text's up to
// newEnd.
struct Span {
    int start, oldEnd, newEnd;
};

Span ChangedSpan(const QString& before, const QString& after) {
    const int shorter = static_cast<int>(std::min(before.size(), after.size()));
    int start = 0;
    while (start < shorter && before[start] == after[start]) ++start;
    int oldEnd = static_cast<int>(before.size()), newEnd = static_cast<int>(after.size());
    while (oldEnd > start && newEnd > start && before[oldEnd - 1] == after[newEnd - 1]) {
        --oldEnd;
        --newEnd;
    }
    return {start, oldEnd, newEnd};
}

// ---------------------------------------------------------------- edit

class EditBinding : public XQQtBinding {
  public:
    EditBinding(CXQLEditX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_edit = new QLineEdit(box);
        input = m_edit;
        LabelLeft(m_edit, true);
    }

    void Connect() override {
        QObject::connect(m_edit, &QLineEdit::textEdited, &Window(), [this](const QString& text) {
            if (Updating()) return;
            XQQtDeliver([&] { m_model.UserType(FromQt(text)); });
            PushSel();
        });
        QObject::connect(m_edit, &QLineEdit::cursorPositionChanged, &Window(),
                         [this] { PushSel(); });
        QObject::connect(m_edit, &QLineEdit::selectionChanged, &Window(), [this] { PushSel(); });
    }

  protected:
    void UpdateKind() override {
        // Setting the maximum length puts the caret at the end, even when
        // the length stays: only a changed length goes to the widget, and
        // before the selection.
        const int maxLength = m_model.GetMaxLength() > 0 ? m_model.GetMaxLength() : 32767;
        if (m_edit->maxLength() != maxLength) m_edit->setMaxLength(maxLength);
        if (m_edit->isReadOnly() != m_model.IsReadOnly()) m_edit->setReadOnly(m_model.IsReadOnly());
        const QString text = ToQt(m_model.GetText());
        int start, end;
        m_model.GetSel(start, end);
        if (m_edit->text() != text || start != m_selStart || end != m_selEnd) {
            if (m_edit->text() != text) Show(text);
            if (start == end)
                m_edit->setCursorPosition(end);
            else
                m_edit->setSelection(start, end - start);  // a negative length ends at start
            m_selStart = start;
            m_selEnd = end;
        }
    }

  private:
    // A text the model changes upon a key in the field (a Kürzel expanded)
    // becomes one edit of the field's own: Ctrl+Z in the field brings back
    // what was there before, which setText would forget. Other changes (the
    // next record shown) start the field's history afresh.
    void Show(const QString& text) {
        if (XQQtKeyField() != m_edit || m_edit->isReadOnly()) {
            m_edit->setText(text);
            return;
        }
        const Span span = ChangedSpan(m_edit->text(), text);
        m_edit->setSelection(span.start, span.oldEnd - span.start);
        m_edit->insert(text.mid(span.start, span.newEnd - span.start));
    }

    void PushSel() {
        if (Updating()) return;
        const int caret = m_edit->cursorPosition();
        int anchor = caret;
        if (m_edit->hasSelectedText())
            anchor = caret == m_edit->selectionStart() ? m_edit->selectionEnd()
                                                       : m_edit->selectionStart();
        XQQtDeliver([&] { m_model.SetSel(anchor, caret); });
        m_model.GetSel(m_selStart, m_selEnd);
    }

    CXQLEditX& m_model;
    QLineEdit* m_edit = nullptr;
    // The selection last copied either way, so that a selection set in code
    // reaches the widget while the user's own stays where it is.
    int m_selStart = -1, m_selEnd = -1;
};

// ---------------------------------------------------------------- memo

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

class MemoBinding : public XQQtBinding {
  public:
    MemoBinding(CXQLMemoX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_memo = new QPlainTextEdit(box);
        m_memo->setTabChangesFocus(true);
        input = m_memo;
        LabelTop(m_memo);
    }

    void Connect() override {
        QObject::connect(m_memo, &QPlainTextEdit::textChanged, &Window(), [this] {
            if (Updating()) return;
            XQQtDeliver([&] { m_model.UserType(FromQt(m_memo->toPlainText())); });
            PushSel();
        });
        QObject::connect(m_memo, &QPlainTextEdit::cursorPositionChanged, &Window(),
                         [this] { PushSel(); });
    }

  protected:
    void UpdateKind() override {
        const QString text = ToQt(m_model.GetLines().Join("\n"));
        int start, end;
        m_model.GetSel(start, end);
        const bool changed = m_memo->toPlainText() != text;
        // Lines rewritten in code leave the model's caret where it was; a
        // user who was writing at the end goes on writing at the end.
        const bool atEnd = m_memo->textCursor().atEnd();
        if (changed && atEnd && start == m_selStart && end == m_selEnd && start == end) {
            start = end = m_model.GetText().GetLength();
            m_model.SetSel(start, end);
        }
        if (changed) Show(text);
        if (changed || start != m_selStart || end != m_selEnd) {
            QTextCursor cursor = m_memo->textCursor();
            cursor.setPosition(MemoToQtPos(m_model.GetLines(), start));
            cursor.setPosition(MemoToQtPos(m_model.GetLines(), end), QTextCursor::KeepAnchor);
            m_memo->setTextCursor(cursor);
            m_selStart = start;
            m_selEnd = end;
        }
        if (m_memo->isReadOnly() != m_model.IsReadOnly()) m_memo->setReadOnly(m_model.IsReadOnly());
    }

  private:
    // As the edit's: one step of the memo's history, replacing only the
    // lines' changed span.
    void Show(const QString& text) {
        if (XQQtKeyField() != m_memo || m_memo->isReadOnly()) {
            m_memo->setPlainText(text);
            return;
        }
        const Span span = ChangedSpan(m_memo->toPlainText(), text);
        QTextCursor cursor(m_memo->document());
        cursor.beginEditBlock();
        cursor.setPosition(span.start);
        cursor.setPosition(span.oldEnd, QTextCursor::KeepAnchor);
        cursor.insertText(text.mid(span.start, span.newEnd - span.start));
        cursor.endEditBlock();
    }

    void PushSel() {
        if (Updating()) return;
        const QTextCursor cursor = m_memo->textCursor();
        const int anchor = QtToMemoPos(*m_memo, cursor.anchor());
        const int caret = QtToMemoPos(*m_memo, cursor.position());
        XQQtDeliver([&] { m_model.SetSel(anchor, caret); });
        m_model.GetSel(m_selStart, m_selEnd);
    }

    CXQLMemoX& m_model;
    QPlainTextEdit* m_memo = nullptr;
    int m_selStart = -1, m_selEnd = -1;  // as the edit's
};

// ---------------------------------------------------------------- combo box

class ComboBinding : public XQQtBinding {
  public:
    ComboBinding(CXQLComboX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_combo = new QComboBox(box);
        input = m_combo;
        LabelLeft(m_combo, true);
    }

    void Connect() override {
        QObject::connect(m_combo, &QComboBox::activated, &Window(), [this](int index) {
            if (!Updating()) XQQtDeliver([&] { m_model.UserSelect(index); });
        });
    }

  protected:
    void UpdateKind() override {
        bool same = m_combo->count() == m_model.GetCount();
        for (int i = 0; same && i < m_model.GetCount(); ++i)
            same = m_combo->itemText(i) == ToQt(m_model.GetLBText(i));
        if (!same) {
            m_combo->clear();
            bool aligned = false;
            for (int i = 0; i < m_model.GetCount(); ++i) {
                m_combo->addItem(ToQt(m_model.GetLBText(i)));
                aligned |= m_combo->itemText(i).trimmed().contains("  ");
            }
            if (aligned != m_combo->property("fixedPitch").toBool()) {
                m_combo->setFont(aligned ? XQQtFixedPitchFont() : QFont());
                m_combo->setProperty("fixedPitch", aligned);
            }
        }
        // Only a changed choice goes to the widget: setting it again would
        // reset the text being edited.
        if (m_combo->currentIndex() != m_model.GetCurSel())
            m_combo->setCurrentIndex(m_model.GetCurSel());
    }

  private:
    CXQLComboX& m_model;
    QComboBox* m_combo = nullptr;
};

// ---------------------------------------------------------------- check box

class CheckBinding : public XQQtBinding {
  public:
    CheckBinding(CXQLCheckX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_check = new QCheckBox(Shown(m_model.GetLabel()), box);
        input = m_check;
        Fill(m_check);
    }

    void Connect() override {
        QObject::connect(m_check, &QCheckBox::clicked, &Window(), [this] {
            if (!Updating()) XQQtDeliver([&] { m_model.UserClick(); });
        });
    }

  protected:
    void UpdateKind() override {
        m_check->setText(Shown(m_model.GetLabel()));
        m_check->setChecked(m_model.GetCheck());
    }

  private:
    CXQLCheckX& m_model;
    QCheckBox* m_check = nullptr;
};

// ---------------------------------------------------------------- button

class ButtonBinding : public XQQtBinding {
  public:
    ButtonBinding(CXQButtonX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_button = new QPushButton(Shown(m_model.GetLabel()), box);
        m_button->setAutoDefault(false);
        input = m_button;
        Fill(m_button);
    }

    void Connect() override {
        QObject::connect(m_button, &QPushButton::clicked, &Window(), [this] {
            if (!Updating()) XQQtDeliver([&] { m_model.UserClick(); });
        });
    }

  protected:
    void UpdateKind() override { m_button->setText(Shown(m_model.GetLabel())); }

  private:
    CXQButtonX& m_model;
    QPushButton* m_button = nullptr;
};

// ---------------------------------------------------------------- tabs

class TabBinding : public XQQtBinding {
  public:
    TabBinding(CXQTabX& model, XQQtWindow& window) : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        m_tabs = new QTabBar(box);
        m_tabs->setExpanding(false);
        // Whole titles side by side: the window is as wide as they need.
        m_tabs->setUsesScrollButtons(false);
        m_tabs->setElideMode(Qt::ElideNone);
        input = m_tabs;
        Fill(m_tabs);
    }

    void Connect() override {
        QObject::connect(m_tabs, &QTabBar::currentChanged, &Window(), [this](int index) {
            if (!Updating() && index >= 0 && index != m_model.GetCurSel())
                XQQtDeliver([&] { m_model.UserSelect(index); });
        });
    }

  protected:
    void UpdateKind() override {
        while (m_tabs->count() > m_model.GetCount()) m_tabs->removeTab(m_tabs->count() - 1);
        for (int i = 0; i < m_model.GetCount(); ++i) {
            if (i >= m_tabs->count()) m_tabs->addTab(QString());
            m_tabs->setTabText(i, ToQt(m_model.GetTabText(i)));
        }
        m_tabs->setCurrentIndex(m_model.GetCurSel());
    }

  private:
    CXQTabX& m_model;
    QTabBar* m_tabs = nullptr;
};

// ---------------------------------------------------------------- caption

// Data shown behind its label, selectable but never focused.
class CaptionBinding : public XQQtBinding {
  public:
    CaptionBinding(CXQLabelX& model, XQQtWindow& window)
        : XQQtBinding(model, window), m_model(model) {}

    void Build() override {
        if (const CXQListBoxX* list = XQQtHeadedList(*control, Window().Dialog().Controls())) {
            m_value = XQQtColumnHeader(*list, box);
            input = m_value;
            Fill(m_value);
            return;
        }
        m_value = new QLabel(box);
        m_value->setTextFormat(Qt::PlainText);
        // Long values (a chapter's name under its code) wrap within the box.
        m_value->setWordWrap(true);
        m_value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_value->setFocusPolicy(Qt::NoFocus);
        input = m_value;
        LabelLeft(m_value, false);
    }

  protected:
    void UpdateKind() override { m_value->setText(ToQt(m_model.GetCaption())); }

  private:
    CXQLabelX& m_model;
    QLabel* m_value = nullptr;
};

// ---------------------------------------------------------------- label

class LabelBinding : public XQQtBinding {
  public:
    using XQQtBinding::XQQtBinding;

    void Build() override {
        m_text = new QLabel(Plain(control->GetLabel()), box);
        m_text->setWordWrap(true);
        m_text->setFocusPolicy(Qt::NoFocus);
        input = m_text;
        Fill(m_text);
    }

  protected:
    void UpdateKind() override { m_text->setText(Plain(control->GetLabel())); }

  private:
    QLabel* m_text = nullptr;
};

// ---------------------------------------------------------------- frame

class FrameBinding : public XQQtBinding {
  public:
    using XQQtBinding::XQQtBinding;

    void Build() override {
        m_frame = new QGroupBox(Plain(control->GetLabel()), box);
        m_frame->setFocusPolicy(Qt::NoFocus);
        input = m_frame;
        Fill(m_frame);
    }

  protected:
    void UpdateKind() override { m_frame->setTitle(Plain(control->GetLabel())); }

  private:
    QGroupBox* m_frame = nullptr;
};

}  // namespace

std::unique_ptr<XQQtBinding> XQQtMakeBinding(CWnd& control, XQQtWindow& window) {
    switch (control.Kind()) {
        case XQKind::Edit:
            return std::make_unique<EditBinding>(static_cast<CXQLEditX&>(control), window);
        case XQKind::Memo:
            return std::make_unique<MemoBinding>(static_cast<CXQLMemoX&>(control), window);
        case XQKind::Combo:
            return std::make_unique<ComboBinding>(static_cast<CXQLComboX&>(control), window);
        case XQKind::Check:
            return std::make_unique<CheckBinding>(static_cast<CXQLCheckX&>(control), window);
        case XQKind::Button:
            return std::make_unique<ButtonBinding>(static_cast<CXQButtonX&>(control), window);
        case XQKind::Tab:
            return std::make_unique<TabBinding>(static_cast<CXQTabX&>(control), window);
        case XQKind::Caption:
            return std::make_unique<CaptionBinding>(static_cast<CXQLabelX&>(control), window);
        case XQKind::Label:
            return std::make_unique<LabelBinding>(control, window);
        case XQKind::Frame:
            return std::make_unique<FrameBinding>(control, window);
        case XQKind::List:
            return XQQtListBinding(static_cast<CXQListBoxX&>(control), window);
        case XQKind::Grid:
            return XQQtGridBinding(static_cast<CXQGridX&>(control), window);
        case XQKind::Tree:
            return XQQtTreeBinding(static_cast<CXQTreeX&>(control), window);
    }
    return std::make_unique<FrameBinding>(control, window);  // every kind is named above
}
