#pragma once
// The module's exports. The library is built with -fvisibility=hidden; the
// plain functions carry Q7TB_API and C linkage, so the host finds them by
// their plain names; dialog classes are exported whole with Q7TB_API.
#include "host/base/CString.h"

#define Q7TB_API __attribute__((visibility("default")))

class CWnd;
class CXQLMemoX;
class CXQLEditX;
class CQTbEntry;
struct CQOps_Fields;

extern "C" {
// Text block family. The searching variants expand silently first and open
// the search dialog only when nothing expanded; a cancelled search leaves the
// target unchanged.
Q7TB_API void DoTbEntryXQL(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines, CString group,
                           CString member);
Q7TB_API void DoTbEntryXQ(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines, CString group,
                          CString member);
Q7TB_API void DoTbEntryXQL2(CWnd* parent, CXQLEditX* edit, CQTbEntry* lines, CString group,
                            CString member);
Q7TB_API void DoTbEntryString(CWnd* parent, CString* text, CQTbEntry* lines, CString group,
                              CString member);
// Silent variants: 1 when anything was expanded, else 0.
Q7TB_API int DoTbEntryXQL_NoSearch(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines);
Q7TB_API int DoTbEntryXQ_NoSearch(CWnd* parent, CXQLMemoX* memo, CQTbEntry* lines);
Q7TB_API int DoTbEntryString_NoSearch(CWnd* parent, CString* text, CQTbEntry* lines);

// Text block search: the modal result (1 accepted, 2 cancelled, -1 the dialog
// could not be created); the Kürzel or description of the record the dialog
// ended on is copied out whatever the result.
Q7TB_API int Q7SuchTB(CString* kuerzel, CString group, CString member, CWnd* parent);
Q7TB_API int Q7SuchTBBeschreibung(CString* description, CString group, CString member,
                                  CWnd* parent);

// Diagnosis search family: true when the user confirmed; the out-parameters
// change only then. Codes go in and come out in stored form (without point);
// the addition is the certainty letter and an optional side letter.
Q7TB_API bool Q7SuchIcd(bool reducedView, bool codeOnly, const CString& patientId, CWnd* parent,
                        CString* code, CString* addition);
// The codes that name the primary code as their partner.
Q7TB_API bool Q7SuchIcdSekundaerCode(bool codeOnly, const CString& patientId,
                                     const CString& primaryCode, CWnd* parent, CString* code,
                                     CString* addition);
// The Zahnmedizin/AU extract of the catalogue, in the reduced view.
Q7TB_API bool Q7SuchIcdZahnmedizinAU(bool codeOnly, CWnd* parent, CString* code, CString* addition);
// The dental free-text transition: first code, its certainty-and-side and
// text, then the same of the second code (empty when none was chosen).
Q7TB_API bool Q7SuchIcdFreitextdiagnosenKZBV(CWnd* parent, bool codeOnly, CString* code1,
                                             CString* zusatz1, CString* text1, CString* code2,
                                             CString* zusatz2, CString* text2);

// Procedure search: the modal result (1 accepted, 2 cancelled, -1 the dialog
// could not be created). noSide: no side is asked or appended; date: the
// treatment date yyyymmdd, which chooses the fee schedule's edition. On
// accept only, *result gets the field set of the chosen catalogue row, its
// code with the side letter appended.
Q7TB_API int Q7SuchOPS(bool noSide, const CString& date, CWnd* parent, CQOps_Fields* result);

// The coding manual for code (empty: the whole manual): 1 when the viewer
// was closed with accept, else 0.
Q7TB_API int Q7VAStammView(const CString& code, CWnd* parent);
}
