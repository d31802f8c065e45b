// The text block list: one bold row per block (Kürzel, description, group,
// member) and its text below, wrapped and indented under the description.
#include "host/base/Helpers.h"
#include "host/base/HostContext.h"
#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"
#include "host/dlg/XQMessages.h"
#include "host/dlg/XQResource.h"
#include "host/print/XQPrint.h"
#include "q7txtbst/diatb.h"

namespace {

constexpr int kStrUeberschrift = 7094;
constexpr int kStrFuerMandant = 7086;
constexpr int kStrFortschritt = 7089;

constexpr int kTextWidth = 96;
const CString kTextIndent(' ', 9);  // the text starts under the description

CString Row(const CString& kuerzel, const CString& beschreibung, const CString& gruppe,
            const CString& untergruppe) {
    return LeftFix(kuerzel, 8) + " " + LeftFix(beschreibung, 40) + " " + LeftFix(gruppe, 13) + " " +
           LeftFix(untergruppe, 40);
}

}  // namespace

void CdiaTB::DoPrint(CWnd* owner, CQTbEntry& lines, bool all, const CString& kuerzel,
                     const CString& description, const CString& group, const CString& member,
                     bool partWord) {
    const CString datPath = GetDatFilePath("q7_tb.dat");

    CQTb tb(dbDatabaseRO);
    tb.SetKey(2);
    int status;
    if (all) {
        status = tb.GetAll();
    } else {
        tb.Kuerzel = kuerzel;
        tb.Beschreibung = description;
        tb.Gruppe = group;
        tb.Untergruppe = member;
        status = tb.GetByKuerzel(partWord ? XQ_MATCH_FIELDS : XQ_MATCH_KUERZEL);
    }
    if (status != XQ_OK || tb.AnzHits() == 0) return;

    CXQPrintFile file;
    if (!file.Create(datPath)) return;
    const int total = tb.AnzHits();
    Q7OpenProgressBox(XQLoadString(kStrFortschritt), total);

    const XQFormular* form = XQFindFormular("TBLISTE");
    const int formularId = form ? form->id : XQ_FORM_TEXTBAUSTEINLISTE;
    Write_Variable(file, "FormularId", FormatString("%d", formularId));
    Write_Variable(file, "Ueberschrift1", XQLoadString(kStrUeberschrift));
    CQMandantAdr mandant(dbDatabaseRO);
    mandant.MdId = dbMdId;
    if (mandant.GetByK1(XQ_MATCH_EQUAL) == XQ_OK)
        Write_Variable(
            file, "Ueberschrift2",
            FormatString(XQLoadString(kStrFuerMandant).GetString(), mandant.Name.GetString()));
    Write_Variable(file, "Spaltenueberschrift",
                   Row("K\xFCrzel", "Beschreibung/Text", "Gruppe", "Untergruppe"));

    for (int i = 1; i <= total; ++i) {
        Write_2Columns(file, "Spalteninhalt",
                       Row(tb.Kuerzel, tb.Beschreibung, TbGroupName(s_Groups, tb.Gruppe),
                           TbMemberName(s_Groups, tb.Gruppe, tb.Untergruppe)),
                       "Modus", "Fett");
        CString text;
        ReadRecordsToCString(lines, tb.Kuerzel, " ", text);
        ReplaceCharWith(text, '\r', ' ');
        ReplaceCharWith(text, '\n', ' ');
        while (!text.IsEmpty())
            Write_Column(file, "Spalteninhalt", kTextIndent + LineBreak(text, kTextWidth));

        if (!Q7UpdateProgressBox(i)) {
            Q7CloseProgressBox();
            file.Close();
            return;
        }
        if (i < total && tb.Next() != XQ_OK) {
            Q7CloseProgressBox();
            file.Close();
            HaltE("Drucken", "Die Textbausteine k\xF6nnen nicht vollst\xE4ndig gelesen werden.");
            return;
        }
    }
    Q7CloseProgressBox();
    // A data file that did not reach the disk whole prints nothing rather
    // than a list with blocks missing.
    if (!file.Close()) return;

    if (all)
        PrintTable(owner, dbMdId, formularId, datPath, "TB", CString(), "T", 1, "TBENTRY",
                   CString(), "LFDTBENTRY", "T", "KYKUERZEL", "KYKUERZEL");
    else
        PrintFile(owner, dbMdId, formularId, datPath, 0, 0);
}
