// How well the diagnosis search finds what physicians type: loads the real
// ICD-10-GM catalogue (shared/icd10gm or $Q7_ICD_DIR) into a fresh practice,
// runs every query of bench/IcdQueries.h in each field it is typed into and
// prints one line per query and field: TREFFER or FEHLT (every wanted code
// among the first 10 lines or not), the line of each wanted code among the
// first 100 ("-" for none), the first 10 codes. Then the share of passing
// queries per field and overall, and the median time of a search through its
// first 10 lines. A measuring tool: it exits 0 whatever it measures, 1 only
// when the catalogue cannot be loaded.
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/IcdQueries.h"
#include "host/db/Icd.h"
#include "host/db/XQDatabase.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Display(const std::string& stored) {
    return Cp1252ToUtf8(CQIcd::AddPoint(Utf8ToCp1252(stored)).str());
}

}  // namespace

int main() {
    BenchPractice practice("q7icdq");
    const std::string error = LoadRealCatalogue();
    if (!error.empty()) {
        fprintf(stderr, "icd_quality: Katalog nicht geladen: %s\n", error.c_str());
        return 1;
    }
    CQIcd icd(dbDatabaseRO);
    icd.SetKey(2);
    int passed[3] = {};
    int asked[3] = {};
    std::vector<double> millis;
    for (const IcdQuery& query : kIcdQueries) {
        const auto wanted = IcdWanted(query);
        for (int f = 0; f < 3; ++f) {
            const IcdField field = kIcdFields[f];
            if (!(query.fields & field)) continue;
            const Clock::time_point start = Clock::now();
            const std::vector<std::string> first = IcdSearch(icd, field, query.typed, 10);
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            const std::vector<std::string> lines = IcdSearch(icd, field, query.typed, 100);
            std::string positions;
            bool hit = true;
            for (const auto& alternatives : wanted) {
                const int line = IcdLineOf(lines, alternatives);
                hit = hit && line >= 1 && line <= 10;
                positions += (positions.empty() ? "" : " ") +
                             (line ? std::to_string(line) : std::string("-"));
            }
            std::string codes;
            for (const std::string& code : first)
                codes += (codes.empty() ? "" : " ") + Display(code);
            ++asked[f];
            passed[f] += hit;
            printf("%-7s %-10s %-24s %-16s an %-10s| %s\n", hit ? "TREFFER" : "FEHLT",
                   IcdFieldName(field), query.typed, query.wanted, positions.c_str(),
                   codes.c_str());
        }
    }
    int allPassed = 0;
    int allAsked = 0;
    for (int f = 0; f < 3; ++f) {
        printf("Anteil %-10s %3d von %3d = %5.1f %%\n", IcdFieldName(kIcdFields[f]), passed[f],
               asked[f], asked[f] ? 100.0 * passed[f] / asked[f] : 0.0);
        allPassed += passed[f];
        allAsked += asked[f];
    }
    printf("Anteil %-10s %3d von %3d = %5.1f %%\n", "gesamt", allPassed, allAsked,
           allAsked ? 100.0 * allPassed / allAsked : 0.0);
    std::sort(millis.begin(), millis.end());
    printf("Median einer Suche (erste 10 Zeilen): %.2f ms\n",
           millis.empty() ? 0.0 : millis[millis.size() / 2]);
    return 0;
}
