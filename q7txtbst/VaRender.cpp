#include "q7txtbst/VaRender.h"

#include <algorithm>
#include <string>
#include <utility>

#include "q7txtbst/KrwText.h"

namespace {

const char* const kAufzaehlung = " \x95 ";
constexpr int kGroesse = 18;

// The pieces of text at width, each a line of its own; a wrapped list item
// keeps its bullet on every piece, outside the width.
void Emit(std::vector<line>& lines, const CString& text, const CString& prefix, unsigned int colour,
          int level, int width) {
    const std::string& s = text.str();
    ForEachCutPiece(s, width, [&](size_t pos, size_t n) {
        lines.push_back(line{CString(s.substr(pos, n)), prefix, colour, kGroesse, level});
    });
}

// The text of a cell that renders as its own text cut at the width (a td,
// th or p without elements inside); nullptr for any other cell.
const std::string* Zellentext(const CXQXMLElement& cell) {
    if (!cell.children.empty()) return nullptr;
    const std::string& name = cell.name.str();
    return name == "td" || name == "th" || name == "p" ? &cell.text.str() : nullptr;
}

void Leerzeile(std::vector<line>& lines, int level) {
    lines.push_back(line{CString(), CString(), kVaSchwarz, kGroesse, level});
}

// count blanks (none for count <= 0), then the three that part the columns.
void Blanks(std::string& out, int count) {
    out.append(static_cast<size_t>(count > 0 ? count : 0) + 3, ' ');
}

void Kinder(const CXQXMLElement& element, std::vector<line>& lines, int level) {
    for (const CXQXMLElement& child : element.children) addLine(child, lines, level, kVaBreite);
}

}  // namespace

void addLine(const CXQXMLElement& element, std::vector<line>& lines, int level, int width) {
    const std::string& name = element.name.str();
    if (name == "titel") {
        Leerzeile(lines, 0);
        Emit(lines, element.GetAttribute("V"), CString(), kVaTitel, level, width);
        Kinder(element, lines, level + 1);
    } else if (name == "ul") {
        Leerzeile(lines, level);
        Kinder(element, lines, level + 1);
    } else if (name == "li") {
        Emit(lines, element.text, kAufzaehlung, kVaSchwarz, level, width);
        Kinder(element, lines, level + 1);
    } else if (name == "p" || name == "th" || (name == "div" && !element.text.IsEmpty())) {
        Emit(lines, element.text, CString(), kVaSchwarz, level, width);
        Kinder(element, lines, level + 1);
    } else if (name == "table") {
        Leerzeile(lines, 0);
        renderTable(element, lines, level + 1);
        Leerzeile(lines, 0);
    } else if (name == "td" && element.children.empty()) {
        Emit(lines, element.text, CString(), kVaZelle, level, width);
    } else {
        // A div without text, a td holding elements and every unknown element
        // only group their children.
        Kinder(element, lines, level);
    }
}

void renderTable(const CXQXMLElement& table, std::vector<line>& lines, int /*level*/) {
    // The cells of every column, rows in document order.
    std::vector<std::vector<const CXQXMLElement*>> spalten;
    for (const CXQXMLElement& row : table.children) {
        if (spalten.size() < row.children.size()) spalten.resize(row.children.size());
        for (size_t j = 0; j < row.children.size(); ++j) spalten[j].push_back(&row.children[j]);
    }
    const size_t n = spalten.size();
    if (n == 0) return;

    // How much text each column holds: the average and the longest of its
    // lines at full width.
    std::vector<double> mittel(n, 0.0);
    std::vector<int> laengste(n, 0);
    std::vector<line> tmp;
    for (size_t j = 0; j < n; ++j) {
        long long summe = 0;
        size_t anzahl = 0;
        const auto zaehle = [&](size_t laenge) {
            summe += static_cast<long long>(laenge);
            laengste[j] = std::max(laengste[j], static_cast<int>(laenge));
            ++anzahl;
        };
        for (const CXQXMLElement* cell : spalten[j]) {
            // Plain cells, nearly all of them, are measured without
            // building their lines.
            if (const std::string* text = Zellentext(*cell)) {
                ForEachCutPiece(*text, kVaBreite, [&](size_t, size_t n) { zaehle(n); });
                continue;
            }
            tmp.clear();
            addLine(*cell, tmp, 0, kVaBreite);
            for (const line& l : tmp) zaehle(l.text.str().size());
        }
        if (anzahl) mittel[j] = static_cast<double>(summe) / static_cast<double>(anzahl);
    }
    // The running total drops its fraction after every column.
    long long gesamt = 0;
    for (double m : mittel) gesamt = static_cast<long long>(static_cast<double>(gesamt) + m);

    std::vector<int> breite(n, 0);
    if (gesamt != 0)
        for (size_t j = 0; j < n; ++j) {
            const double anteil = mittel[j] / static_cast<double>(gesamt) * 100.0;
            const double b = anteil * 1.2 - 3.0;
            breite[j] = b > 0.0 ? static_cast<int>(b) : 0;
        }

    // A column wider than its longest line gives the rest to the columns
    // whose lines would not fit, one character per column and pass.
    int frei = 0;
    std::vector<size_t> knapp;
    for (size_t j = 0; j < n; ++j) {
        if (breite[j] > laengste[j]) {
            frei += breite[j] - laengste[j];
            breite[j] = laengste[j];
        } else {
            knapp.push_back(j);
        }
    }
    for (bool geaendert = true; frei > 0 && !knapp.empty() && geaendert;) {
        geaendert = false;
        for (size_t j : knapp)
            if (frei > 0 && breite[j] < laengste[j]) {
                ++breite[j];
                --frei;
                geaendert = true;
            }
    }

    // Every row starts below the tallest cell of the row before; cell j of
    // output line i is ausgabe[i * n + j].
    std::vector<CString> ausgabe;
    size_t zeilen = 0;
    for (const CXQXMLElement& row : table.children) {
        const size_t start = zeilen;
        for (size_t j = 0; j < row.children.size(); ++j) {
            const auto zelle = [&](size_t k) -> CString& {
                if (start + k >= zeilen) {
                    zeilen = start + k + 1;
                    ausgabe.resize(zeilen * n);
                }
                return ausgabe[(start + k) * n + j];
            };
            if (const std::string* text = Zellentext(row.children[j])) {
                size_t k = 0;
                ForEachCutPiece(*text, breite[j], [&](size_t pos, size_t len) {
                    zelle(k++).str().assign(*text, pos, len);
                });
                continue;
            }
            tmp.clear();
            addLine(row.children[j], tmp, 0, breite[j]);
            for (size_t k = 0; k < tmp.size(); ++k) zelle(k) = std::move(tmp[k].text);
        }
    }
    size_t breit = 0;
    for (int b : breite) breit += static_cast<size_t>(b) + 3;
    for (size_t i = 0; i < zeilen; ++i) {
        std::string text;
        text.reserve(breit);
        for (size_t j = 0; j < n; ++j) {
            const std::string& zelle = ausgabe[i * n + j].str();
            text += zelle;
            Blanks(text, breite[j] - static_cast<int>(zelle.size()));
        }
        lines.push_back(line{CString(std::move(text)), CString(), kVaSchwarz, kGroesse, 0});
    }
}

CString charCountToBlanks(int count, bool /*lastColumn*/) {
    std::string blanks;
    Blanks(blanks, count);
    return CString(std::move(blanks));
}

const CXQXMLElement* findKapitel(const CXQXMLElement& element, const CString& id) {
    if ((element.name == "kapitel" || element.name == "hauptkapitel") &&
        element.GetAttribute("V") == id)
        return &element;
    for (const CXQXMLElement& child : element.children)
        if (const CXQXMLElement* found = findKapitel(child, id)) return found;
    return nullptr;
}
