#include "q7txtbst/TbStore.h"

#include <algorithm>

#include "host/db/HostData.h"
#include "host/db/Records.h"
#include "host/dlg/XQControls.h"
#include "host/dlg/XQResource.h"

namespace {

const int kAllEntriesString = 7002;

// Positions the line set on the first line of exactly that Kürzel.
bool FindFirstLine(CQTbEntry& lines, const CString& kuerzel) {
    lines.ClearKey();
    lines.SetKey(1, true);
    lines.KYKUERZEL = kuerzel;
    lines.LFDTBENTRY.Empty();
    return lines.GetByK1(XQ_MATCH_FIELDS) == 0;
}

CString JoinLines(CQTbEntry& lines, const char* separator) {
    CString text = lines.TBENTRY;
    while (lines.Next() == 0) {
        text += separator;
        text += lines.TBENTRY;
    }
    return text;
}

// The all entry sorts first; the rest by name, case-blind, in collation order.
template <class Entry>
void SortEntries(std::vector<Entry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.letter == ' ' || b.letter == ' ') return a.letter == ' ' && b.letter != ' ';
        return a.name.CollateNoCase(b.name.GetString()) < 0;
    });
}

}  // namespace

void ReadTbLines(CQTbEntry& lines, const CString& kuerzel, const CString& separator,
                 CString& result) {
    if (!FindFirstLine(lines, kuerzel)) return;
    result += JoinLines(lines, separator.GetString());
}

bool LookupTb(CQTbEntry& lines, CString& key) {
    lines.ClearKey();
    lines.SetKey(1, true);
    lines.KYKUERZEL = key;
    CString trimmed = key;
    trimmed.TrimRight();
    if (trimmed.IsEmpty()) return false;
    if (!FindFirstLine(lines, key)) return false;
    key = JoinLines(lines, "\n");
    return true;
}

bool CollectTb(CQTbEntry& lines, const CString& kuerzel, CString& result) {
    CString text = kuerzel;
    if (!LookupTb(lines, text)) return false;
    result = text + " ";
    return true;
}

bool LoadTbGroups(STbGroups& table, bool withAll) {
    table.clear();
    std::vector<std::pair<CString, CString>> entries;
    if (GetSPEntries("tb", entries) != 0) return false;
    const CString all = XQLoadString(kAllEntriesString);
    STbGroups groups;
    if (withAll) groups.push_back({' ', all, {{' ', all}}});
    for (const auto& [code, text] : entries) {
        if (code.IsEmpty()) continue;
        if (code.GetLength() == 1 || code[1] == ' ') {
            STbGroup group{code[0], text, {}};
            if (withAll) group.members.push_back({' ', all});
            groups.push_back(group);
        } else if (!groups.empty() && groups.back().letter == code[0]) {
            groups.back().members.push_back({code[1], text});
        }
    }
    SortEntries(groups);
    for (STbGroup& group : groups) SortEntries(group.members);
    table.swap(groups);
    return true;
}

char FirstLetter(const CString& text) {
    return text.IsEmpty() ? ' ' : text[0];
}

int FindTbGroup(const STbGroups& table, char letter) {
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].letter == letter) return static_cast<int>(i);
    return -1;
}

int FindTbMember(const STbGroup& group, char letter) {
    for (size_t i = 0; i < group.members.size(); ++i)
        if (group.members[i].letter == letter) return static_cast<int>(i);
    return -1;
}

CString TbGroupName(const STbGroups& table, const CString& group) {
    int g = FindTbGroup(table, FirstLetter(group));
    return g < 0 ? CString() : table[static_cast<size_t>(g)].name;
}

CString TbMemberName(const STbGroups& table, const CString& group, const CString& member) {
    int g = FindTbGroup(table, FirstLetter(group));
    if (g < 0) return CString();
    const STbGroup& entry = table[static_cast<size_t>(g)];
    int m = FindTbMember(entry, FirstLetter(member));
    return m < 0 ? CString() : entry.members[static_cast<size_t>(m)].name;
}

void FillGroupCombo(CXQLComboX& combo, const STbGroups& table) {
    combo.ResetContent();
    for (const STbGroup& group : table) combo.AddString(group.name);
}

void FillMemberCombo(CXQLComboX& combo, const STbGroups& table, int groupIndex) {
    combo.ResetContent();
    if (groupIndex < 0 || groupIndex >= static_cast<int>(table.size())) return;
    for (const STbMember& member : table[static_cast<size_t>(groupIndex)].members)
        combo.AddString(member.name);
}

bool GetTbGroupAndMember(const STbGroups& table, const CXQLComboX& groupCombo,
                         const CXQLComboX& memberCombo, char& group, char& member) {
    int g = groupCombo.GetCurSel();
    int m = memberCombo.GetCurSel();
    if (g < 0 || m < 0 || g >= static_cast<int>(table.size())) return false;
    const STbGroup& entry = table[static_cast<size_t>(g)];
    if (m >= static_cast<int>(entry.members.size())) return false;
    group = entry.letter;
    member = entry.members[static_cast<size_t>(m)].letter;
    return true;
}
