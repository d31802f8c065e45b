#pragma once
// The diagnosis search's ranking: an index of the catalogue's words held in
// memory, built from the icd table the first time a search needs it and
// again whenever the catalogue changed (icdstamp counts its changes). It
// finds whole words, word beginnings, parts of compound words, words within
// one or two typing errors and codes typed into a text, and orders the codes
// by how well they match (docs/icd-suche.md).
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/IcdIndex.h is internal to the host"
#endif
#include <cstdint>
#include <string>
#include <vector>

#include "host/base/CString.h"

class CXQDatabase;

namespace xq {

// Where the typed words are looked for.
enum class IcdFeld {
    Text,        // code titles first, then the codes' index lines (synonyms)
    Schlagwort,  // index lines only
    Beide,       // titles and index lines alike
};

struct IcdTreffer {
    int64_t code = 0;   // row id of the code
    int64_t zeile = 0;  // row id of the index line that matched best; 0: the title did
};

// Ranks the codes for typed (Windows-1252) in feld. allowed: the row ids of
// the codes the other conditions of the search let through, ascending; null
// lets every code through. hits gets the codes, best first, ties in code
// order. Returns XQ_OK (hits possibly empty), or XQ_NODB when the catalogue
// could not be read (the reason is in the database's last error).
int IcdRank(CXQDatabase& db, const CString& typed, IcdFeld feld,
            const std::vector<int64_t>* allowed, std::vector<IcdTreffer>& hits);

// Whether typed holds something IcdRank can search for: a word, or a code.
bool IcdHasSearchWords(const CString& typed);

// The folded words of a Windows-1252 text as the index keeps them: lower
// case letters and digits, umlauts and ß as two letters, other accents
// dropped.
std::vector<std::string> IcdFoldedWords(const CString& text);

// Edit distance of a and b counting a swap of neighbours as one, or limit + 1
// when it exceeds limit.
int IcdEditDistance(const std::string& a, const std::string& b, int limit);

}  // namespace xq
