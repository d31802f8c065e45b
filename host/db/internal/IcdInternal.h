#pragma once
// Internals of the ICD catalogue shared by its queries (Icd.cpp) and its load
// and dump (IcdData.cpp).
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/IcdInternal.h is internal to the host"
#endif
#include "host/base/CString.h"

class CXQDatabase;

namespace xq {

// Column indexes of the icd table (field order of CQIcd).
enum IcdColumn {
    kIcdCode,
    kIcdEbene,
    kIcdLfd,
    kIcdKapitel,
    kIcdGruppe,
    kIcdUntergruppe,
    kIcdText,
    kIcdNotation,
    kIcdPartner,
    kIcdAuszug,
    kIcdHausarzt,
    kIcdFacharzt,
    kIcdArztgruppen,
    kIcdVAKapitel,
    kIcdHeilmittel,
    kIcdColumns
};

// A code as typed or stored elsewhere, in the catalogue's form: without
// point, hyphen and blanks, upper case.
CString IcdSearchCode(const CString& code);

// Sets the extract marker of the chapter, group and subgroup rows from the
// codes below them; 0 or XQ_LOCKED. Every load of codes or hierarchy rows
// ends with it.
int IcdMarkExtractRows(CXQDatabase& db);

}  // namespace xq
