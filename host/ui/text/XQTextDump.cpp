#include "host/ui/text/XQTextDump.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>

#include "host/base/Cp1252.h"
#include "host/base/Escape.h"
#include "host/dlg/XQDialog.h"
#include "host/ui/text/XQControlNames.h"
#include "host/ui/text/XQScript.h"

using xqtext::Out;

namespace {

// The value after the control's header; "" for none.
std::string Value(CWnd& control) {
    switch (control.Kind()) {
        case XQKind::Edit:
            return Out(static_cast<CXQLEditX&>(control).GetText());
        case XQKind::Combo: {
            auto& combo = static_cast<CXQLComboX&>(control);
            return combo.GetCurSel() >= 0 ? Out(combo.GetLBText(combo.GetCurSel())) : "";
        }
        case XQKind::Check:
            return static_cast<CXQLCheckX&>(control).GetCheck() ? "on" : "off";
        case XQKind::Tab: {
            auto& tab = static_cast<CXQTabX&>(control);
            return tab.GetCurSel() >= 0 ? Out(tab.GetTabText(tab.GetCurSel())) : "";
        }
        case XQKind::Caption:
            return Out(static_cast<CXQLabelX&>(control).GetCaption());
        case XQKind::Button:
            return Out(control.GetHint());
        default:
            return "";
    }
}

// "  [N] text", "  [N*] text" for a ticked line, a colour other than black
// right before the text.
std::vector<std::string> ListLines(const CXQListBoxX& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.GetCount(); ++i) {
        std::string line = "  [" + std::to_string(i);
        if (list.IsCheckable() && list.GetCheck(i)) line += "*";
        line += "] ";
        const COLORREF color = list.GetItemColor(i) & 0xFFFFFF;
        if (color != 0) {
            char rgb[16];
            std::snprintf(rgb, sizeof rgb, "{#%02X%02X%02X}", color & 0xFF, (color >> 8) & 0xFF,
                          (color >> 16) & 0xFF);
            line += rgb;
        }
        lines.push_back(line + Out(list.GetText(i)));
    }
    return lines;
}

// The items shown, two blanks more per level.
std::vector<std::string> TreeLines(const CXQTreeX& tree) {
    std::vector<std::string> lines;
    for (const auto& [item, depth] : tree.Items(true))
        lines.push_back(std::string(2 + 2 * static_cast<size_t>(depth), ' ') +
                        Out(tree.GetItemText(item)));
    return lines;
}

std::vector<std::string> MemoLines(const CXQLMemoX& memo) {
    std::vector<std::string> lines;
    const CStrings& texts = memo.GetLines();
    for (int i = 0; i < texts.GetCount(); ++i) lines.push_back("  " + Out(texts.GetAt(i)));
    return lines;
}

}  // namespace

namespace xqtext {

std::string Out(const CString& text) {
    return Cp1252ToUtf8(XQEscapeField(text.str()));
}

}  // namespace xqtext

void CXQTextDump::Print(const std::string& line) {
    if (m_script.HasMisfit()) return;
    m_out << line << '\n';
    m_out.flush();
}

void CXQTextDump::Dialog(const CXQDialog& dialog) {
    Print("== " + Out(dialog.GetCaption()));
    for (CWnd* control : dialog.Controls())
        if (control->IsWindowVisible() && xqtext::Dumped(control->Kind())) Control(*control);
    for (const CXQDialog::ToolbarButton& button : dialog.ToolbarButtons()) {
        if (!button.visible) continue;
        std::string line = "button #" + std::to_string(button.number) + ":";
        if (!button.hint.IsEmpty()) line += " " + Out(button.hint);
        if (!button.enabled) line += " [disabled]";
        Print(line);
    }
    Print("==");
}

void CXQTextDump::Control(CWnd& control) {
    const CString label = xqtext::ShownLabel(control.GetLabel());
    std::string head = xqtext::KindName(control.Kind());
    if (!label.IsEmpty()) head += " " + Out(label);
    head += ":";
    const std::string value = Value(control);
    if (!value.empty()) head += " " + value;
    if (!control.IsWindowEnabled()) head += " [disabled]";
    std::vector<std::string> lines;
    if (control.Kind() == XQKind::Memo) lines = MemoLines(static_cast<CXQLMemoX&>(control));
    if (control.Kind() == XQKind::List) lines = ListLines(static_cast<CXQListBoxX&>(control));
    if (control.Kind() == XQKind::Grid) lines = GridLines(static_cast<CXQGridX&>(control));
    if (control.Kind() == XQKind::Tree) lines = TreeLines(static_cast<CXQTreeX&>(control));
    Print(head);
    for (const std::string& line : lines) Print(line);
}

std::vector<std::string> CXQTextDump::GridLines(CXQGridX& grid) {
    std::map<int, std::vector<CString>> texts;
    auto keep = [&] {
        for (int line = grid.FirstFetched(); line < grid.FirstFetched() + grid.FetchedCount();
             ++line)
            if (const std::vector<CString>* columns = grid.FetchedLine(line))
                texts[line] = *columns;
    };
    keep();
    const int first = std::min(grid.GetLineCount(), 20);
    bool haveFirst = true;
    for (int line = 0; line < first; ++line) haveFirst = haveFirst && texts.count(line);
    if (!haveFirst) {
        grid.FetchLines(0, first);
        keep();
    }
    const int cursor = grid.GetCurLine();
    if (cursor >= 0 && !texts.count(cursor)) {
        grid.FetchLines(grid.TopLine(), grid.PageLines());
        keep();
    }
    std::vector<std::string> lines;
    for (const auto& [line, columns] : texts) {
        if (line >= grid.GetLineCount()) break;
        std::string text = (line == grid.GetCurLine() ? "> [" : "  [") + std::to_string(line) + "]";
        for (size_t c = 0; c < columns.size(); ++c)
            text += (c == 0 ? " " : " | ") + Out(columns[c]);
        lines.push_back(text);
    }
    return lines;
}
