#pragma once
// Text blocks as the module reads them: a block's lines joined into one text,
// the lookup of a Kürzel for insertion, and the group table that every text
// block dialog shows in its group and member combos.
#include <vector>

#include "host/base/CString.h"

class CQTbEntry;
class CXQLComboX;

struct STbMember {
    char letter = ' ';  // ' ' stands for all members
    CString name;
};

struct STbGroup {
    char letter = ' ';  // ' ' stands for all groups
    CString name;
    std::vector<STbMember> members;
};

using STbGroups = std::vector<STbGroup>;

// Appends the lines of the block `kuerzel` to result, separated by separator.
// Leaves result untouched when the block has no lines.
void ReadTbLines(CQTbEntry& lines, const CString& kuerzel, const CString& separator,
                 CString& result);

// Replaces key by the block's text (lines joined by LF) and returns true; a
// blank key or a Kürzel without lines returns false and leaves key as it was.
bool LookupTb(CQTbEntry& lines, CString& key);

// The text of a chosen block for insertion: lines joined by LF and one blank
// after the last. false, and result untouched, when the block has no lines.
bool CollectTb(CQTbEntry& lines, const CString& kuerzel, CString& result);

// Fills table from the system parameter list "tb"; with withAll the table
// starts with the all group and every group with the all member. Returns
// false (table left empty) when the list cannot be read.
bool LoadTbGroups(STbGroups& table, bool withAll);

// Index of the group / member with that letter (' ' or an empty text for
// all), -1 when there is none.
int FindTbGroup(const STbGroups& table, char letter);
int FindTbMember(const STbGroup& group, char letter);
char FirstLetter(const CString& text);  // ' ' for an empty text

// Group and member names shown for a block's letters ("" when unknown).
CString TbGroupName(const STbGroups& table, const CString& group);
CString TbMemberName(const STbGroups& table, const CString& group, const CString& member);

void FillGroupCombo(CXQLComboX& combo, const STbGroups& table);
// Refills the member combo with the members of group index groupIndex (empty
// when the index lies outside the table); nothing selected.
void FillMemberCombo(CXQLComboX& combo, const STbGroups& table, int groupIndex);

// The letters selected in a group and member combo pair; false when either
// has no selection or its index lies outside the table.
bool GetTbGroupAndMember(const STbGroups& table, const CXQLComboX& groupCombo,
                         const CXQLComboX& memberCombo, char& group, char& member);
