#pragma once
// "Textbausteine": the editor in which the practice creates, changes,
// copies, deletes, browses, prints, exports and imports its text blocks.
// Whoever opens it may preset m_Tb (a Kürzel, or the whole record) before
// DoModal; it then shows that block.
#include <vector>

#include "host/db/Records.h"
#include "host/dlg/XQDialog.h"
#include "q7txtbst/Q7TbExport.h"
#include "q7txtbst/TbStore.h"

class Q7TB_API CdiaTB : public CXQDialog {
  public:
    // neu true opens the editor in mode new.
    CdiaTB(bool neu, CWnd* parent);
    ~CdiaTB() override;

    static STbGroups s_Groups;  // without the all entries; filled on first use

    // Prints the text blocks as a list (all of them, or those the search
    // dialog's filters find) through the host's print library.
    static void DoPrint(CWnd* owner, CQTbEntry& lines, bool all, const CString& kuerzel,
                        const CString& description, const CString& group, const CString& member,
                        bool partWord);

    // Appends the lines of the block `kuerzel`, separated by separator.
    static void ReadRecordsToCString(CQTbEntry& lines, const CString& kuerzel,
                                     const CString& separator, CString& result);

    // The memo's line limit for a group and member letter.
    static int MaxLineLength(char group, char member);

    CQTb m_Tb;                   // the current block (key 2 ascending)
    CQTbEntry m_TbEntry;         // its lines
    CString m_strLoadedKuerzel;  // block last read or saved, for Undo

    bool OnInitDialog() override;
    void OnExit() override;
    void OnSave() override;
    void OnNeuanlage() override;
    void OnCopy() override;
    void OnUndo() override;
    void OnDelete() override;
    void OnNext() override;
    void OnPrev() override;
    void OnSearch() override;
    void OnPrint() override;
    void OnCTRL_E() override;
    void OnCTRL_I() override;
    // Mode 4 (just saved) passes at once into 5.
    void SetModus(int modus) override;

    CXQLEditX m_editKuerzel, m_editBeschreibung;
    CXQLComboX m_comboGruppe, m_comboUntergruppe;
    CXQLCheckX m_checkKasse, m_checkPrivat;
    CXQLMemoX m_memoText;
    CXQLabelX m_captionModus;

  private:
    void ReadData();
    // Checks the input and stores head, lines and the renamed references in
    // one transaction; on failure nothing is stored, the mode and the input
    // stay, and the box tells why (a line that could not be written only
    // goes to the host log). 1 written, 0 not.
    int WriteData();
    // The writes of WriteData; XQ_OK or the failing status.
    int StoreBlock(const CString& oldKuerzel, bool neu);
    int StoreLines(const CString& kuerzel);
    // A line record's write failed with status: noted, and returned.
    int LineFailed(int status);
    // Head, lines and blanked references of the block in one transaction.
    int DeleteBlock(const CString& kuerzel, const CString& group);
    void ClearData();
    // An empty new block, the Kürzel field holding kuerzel.
    void StartNew(const CString& kuerzel = CString());
    bool LeaveRecord();
    bool Save();
    void SetPrevNext();
    void ReadByKey(const CString& kuerzel);
    void DoSearch();
    // Runs the search dialog preset with kuerzel; its result, and the chosen
    // Kürzel in chosen.
    int RunSearch(const CString& kuerzel, CString& chosen);
    void DoMaxLineLength();
    // Memo lines (from 0) longer than the current group's limit.
    std::vector<int> LongLines() const;
    // The memo's hint: its limit and the lines past it.
    void ShowLineLimit();
    // Rewrites the services whose references of the group name oldKuerzel,
    // inside the caller's transaction; XQ_OK or the failing status.
    int RenameTb(const CString& oldKuerzel, const CString& newKuerzel, const CString& group);
    void Step(bool next);
    void FocusKuerzel(bool selectAll = false);

    // The selected letters; ' ' where nothing is selected.
    char SelectedGroup() const;
    char SelectedMember() const;
    // Selects group and member by letter without firing change events.
    void SelectGroupMember(char group, char member);
    static bool HasRestriction(char group, char member);

    void OnOnChangeKuerzel();
    void OnOnReturnKuerzel();
    void OnOnKillFocusKuerzel();
    void OnOnSelChangeGruppe();
    void OnOnSelChangeUntergruppe();
    void OnClickXqlcheckKasse();
    void OnClickXqlcheckPrivat();
    void OnOnChangeField();

    bool m_lineFailed = false;  // the failed save stopped at a line record
    bool m_searching = false;   // the editor's own search dialog is open
    bool m_reading = false;     // the editor fills its controls itself
    char m_lastMember = ' ';    // kept when the group changes
};
