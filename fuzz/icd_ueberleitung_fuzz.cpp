// The handler of the dental association's transition table from free-text
// diagnoses to ICD-10 codes.
#include <cstdlib>

#include "fuzz/FuzzXml.h"
#include "q7txtbst/IcdUeberleitung.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SIcdGruppen gruppen;
    CIcdUeberleitung handler(gruppen);
    FuzzParse(handler, data, size);
    // Touch everything the dialog would show.
    size_t total = 0;
    for (const SIcdGruppe& g : gruppen)
        for (const SIcdEintrag& e : g.eintraege)
            for (const SIcdCodeList* list : {&e.erster, &e.zweiter})
                for (const SIcdCodeItem& item : *list)
                    total += static_cast<size_t>(item.code.GetLength()) + item.beschreibung.size();
    return total == static_cast<size_t>(-1);
}
