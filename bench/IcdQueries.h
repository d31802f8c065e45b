#pragma once
// What physicians type into the diagnosis search, with the codes they look
// for: the table the search's quality is measured against (bench/icd_quality
// and the ranking test). Each query names the fields it is typed into; the
// search passes a query in a field when every wanted code shows among the
// first 10 lines.
//
// Wanted codes are in display form, separated by blanks, all of them wanted.
// A wanted code stands for itself and every code below it ("I10" is met by
// I10, I10.0 or I10.90); "J01|J32" is met by either. complaint marks the
// cases users reported as missing: those must always hold.
#include <string>
#include <vector>

#include "host/base/Cp1252.h"
#include "host/db/Icd.h"

// The fields of the search dialog a query is typed into.
enum IcdField : unsigned {
    kIcdText = 1,      // systematic tab, text field
    kIcdKeyWord = 2,   // alphabetic tab, key word field
    kIcdCombined = 4,  // combined tab, key word field
};
inline constexpr unsigned kIcdAllFields = kIcdText | kIcdKeyWord | kIcdCombined;
inline constexpr unsigned kIcdKeyWordFields = kIcdKeyWord | kIcdCombined;
inline constexpr IcdField kIcdFields[] = {kIcdText, kIcdKeyWord, kIcdCombined};

struct IcdQuery {
    const char* typed;   // UTF-8, as typed
    unsigned fields;     // IcdField bits
    const char* wanted;  // display form, see above
    bool complaint;
};

inline constexpr IcdQuery kIcdQueries[] = {
    // Reported as missing by users.
    {"hypert", kIcdAllFields, "I10", true},
    {"diabetes typ 2", kIcdAllFields, "E11.9", true},
    {"herzinsuff", kIcdAllFields, "I50", true},
    {"husten", kIcdAllFields, "R05 J41.0 A37", true},
    {"herzinsuffizienz", kIcdAllFields, "I50.9 I50.1", true},
    {"insuffizienz herz", kIcdAllFields, "I50.9 I50.1", true},
    {"radiusfraktur", kIcdAllFields, "S52", true},
    {"fraktur radius", kIcdAllFields, "S52", true},
    {"athma", kIcdAllFields, "J45", true},
    {"migrane", kIcdAllFields, "G43", true},
    {"diabtes", kIcdAllFields, "E11|E14", true},
    {"herzinsufizienz", kIcdAllFields, "I50", true},
    {"hypertonei", kIcdAllFields, "I10", true},
    {"J45", kIcdAllFields, "J45", true},
    {"i10", kIcdAllFields, "I10", true},
    {"vorhofflimmern", kIcdAllFields, "I48", true},
    {"bluthochdruck", kIcdAllFields, "I10", true},
    {"lungenentzündung", kIcdAllFields, "J18.9", true},
    {"zucker", kIcdAllFields, "E11 E14", true},
    {"kopfschmerz", kIcdAllFields, "R51", true},
    // Everyday practice.
    {"rueckensch", kIcdAllFields, "M54", false},
    {"rückenschmerzen", kIcdAllFields, "M54", false},
    {"kreuzschmerz", kIcdAllFields, "M54.5", false},
    {"lumbago", kIcdKeyWordFields, "M54.5", false},
    {"gonarthrose", kIcdAllFields, "M17", false},
    {"vorhoffl", kIcdAllFields, "I48", false},
    {"arthrose knie", kIcdAllFields, "M17", false},
    {"depression", kIcdAllFields, "F32", false},
    {"depress", kIcdAllFields, "F32", false},
    {"hypothyreose", kIcdAllFields, "E03.9", false},
    {"copd", kIcdAllFields, "J44", false},
    {"asthma", kIcdAllFields, "J45", false},
    {"harnwegsinfekt", kIcdAllFields, "N39.0", false},
    {"gastritis", kIcdAllFields, "K29", false},
    {"refluxoesophagitis", kIcdAllFields, "K21.0", false},
    {"oesophagitis reflux", kIcdAllFields, "K21.0", false},
    {"sodbrennen", kIcdAllFields, "K21|R12", false},
    {"migräne", kIcdAllFields, "G43", false},
    {"tinnitus", kIcdAllFields, "H93.1", false},
    {"otitis media", kIcdAllFields, "H65|H66", false},
    {"sinusitis", kIcdAllFields, "J01|J32", false},
    {"tonsillitis", kIcdAllFields, "J03", false},
    {"bronchitis", kIcdAllFields, "J20|J40", false},
    {"pneum", kIcdAllFields, "J18", false},
    {"pneumonie", kIcdAllFields, "J18", false},
    {"grippaler infekt", kIcdAllFields, "J06.9", false},
    {"fieber", kIcdAllFields, "R50.9", false},
    {"bauchschmerzen", kIcdAllFields, "R10", false},
    {"adipositas", kIcdAllFields, "E66", false},
    {"typ 2 diabetes", kIcdAllFields, "E11", false},
    {"e11.9", kIcdAllFields, "E11.9", false},
    {"hypercholesterinaemie", kIcdAllFields, "E78.0", false},
    {"gicht", kIcdAllFields, "M10", false},
    {"anämie", kIcdAllFields, "D64.9", false},
    {"khk", kIcdKeyWordFields, "I25", false},
    {"herzinfarkt", kIcdAllFields, "I21", false},
    {"schlaganfall", kIcdAllFields, "I63|I64", false},
    {"demenz", kIcdAllFields, "F03", false},
    {"schwindel", kIcdAllFields, "R42", false},
    {"karpaltunnelsyndrom", kIcdAllFields, "G56.0", false},
    {"bandscheibenvorfall", kIcdAllFields, "M51.2", false},
    {"bandscheibenvorf", kIcdAllFields, "M51.2", false},
    {"zystitis", kIcdAllFields, "N30", false},
    {"otitis externa", kIcdAllFields, "H60", false},
    {"konjunktivitis", kIcdAllFields, "H10", false},
    {"ekzem", kIcdAllFields, "L30.9", false},
    {"psoriasis", kIcdAllFields, "L40", false},
    {"akne", kIcdAllFields, "L70", false},
    {"prostatahyperplasie", kIcdAllFields, "N40", false},
    {"schilddrüsenknoten", kIcdAllFields, "E04.1", false},
    {"schilddruesenknoten", kIcdAllFields, "E04.1", false},
    {"osteoporose", kIcdAllFields, "M81", false},
    {"divertikulitis", kIcdAllFields, "K57", false},
    {"appendizitis", kIcdAllFields, "K35", false},
    {"cholezystolithiasis", kIcdAllFields, "K80", false},
    {"gallensteine", kIcdAllFields, "K80", false},
    {"angst", kIcdAllFields, "F41", false},
    {"schlafstörung", kIcdAllFields, "G47|F51", false},
};

// Name of a field for reports.
inline const char* IcdFieldName(IcdField field) {
    switch (field) {
        case kIcdText:
            return "Text";
        case kIcdKeyWord:
            return "Schlagwort";
        default:
            return "Kombiniert";
    }
}

// The search the dialog starts for text typed into a field: the first
// count codes of its lines, stored form, UTF-8.
inline std::vector<std::string> IcdSearch(CQIcd& icd, IcdField field, const char* typed,
                                          int count) {
    const CString text = Utf8ToCp1252(typed);
    icd.ClearAll();
    int status;
    if (field == kIcdText) {
        icd.Text = text;
        status = icd.GetForSuche(false, "", false, false, false, "");
    } else if (field == kIcdKeyWord) {
        status = icd.GetByThesaurus(text, false, false, false, "");
    } else {
        status = icd.GetForSucheOrThesaurus(text, false, "", false, false, false, "");
    }
    std::vector<std::string> codes;
    if (status != XQ_OK) return codes;
    do codes.push_back(Cp1252ToUtf8(icd.Code.str()));
    while (static_cast<int>(codes.size()) < count && icd.Next() == XQ_OK);
    return codes;
}

// The wanted codes of a query: for each, its alternatives in stored form.
inline std::vector<std::vector<std::string>> IcdWanted(const IcdQuery& query) {
    std::vector<std::vector<std::string>> wanted;
    std::string code;
    bool alternative = false;
    for (const char* p = query.wanted;; ++p) {
        if (*p == '.') continue;
        if (*p && *p != ' ' && *p != '|') {
            code += *p;
            continue;
        }
        if (!code.empty()) {
            if (!alternative || wanted.empty()) wanted.emplace_back();
            wanted.back().push_back(code);
            code.clear();
        }
        alternative = *p == '|';
        if (!*p) break;
    }
    return wanted;
}

// 1-based line of the first code at or below one of the alternatives; 0
// when none of the codes is.
inline int IcdLineOf(const std::vector<std::string>& codes,
                     const std::vector<std::string>& alternatives) {
    for (size_t line = 0; line < codes.size(); ++line)
        for (const std::string& code : alternatives)
            if (codes[line].compare(0, code.size(), code) == 0) return static_cast<int>(line) + 1;
    return 0;
}
