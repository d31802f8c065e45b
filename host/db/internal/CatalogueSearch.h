#pragma once
// What the catalogue searches (ICD, OPS) share: the word matcher over their
// FTS5 word indexes, the fold the indexes apply before the tokenizer, a
// code prefix as a key range, the WHERE clause they build up and the values
// it binds.
#ifndef Q7HOST_INTERNAL
#error "host/db/internal/CatalogueSearch.h is internal to the host"
#endif
#include <string>
#include <utility>
#include <vector>

#include "host/base/CString.h"
#include "host/base/Cp1252.h"
#include "host/db/internal/XQTable.h"

namespace xq {

// A text key column's value (its comparable form), and a text as stored.
inline XQValue TextKey(const CString& value) {
    return XQKeyValue(XQKeyForm::Text, value);
}
inline XQValue Utf8Text(const std::string& utf8) {
    XQValue v;
    v.kind = XQValue::Text;
    v.s = utf8;
    return v;
}

// Letters and digits of Windows-1252: what a word of a search is made of.
inline bool IsWordChar(unsigned char b) {
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) return true;
    if (b >= 0xC0) return b != 0xD7 && b != 0xF7;  // letters but × and ÷
    switch (b) {
        case 0x83:  // ƒ
        case 0x8A:  // Š
        case 0x8C:  // Œ
        case 0x8E:  // Ž
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:  // Ÿ
        case 0xAA:  // ª
        case 0xB2:  // ²
        case 0xB3:
        case 0xB5:  // µ
        case 0xB9:
        case 0xBA:  // º
            return true;
        default:
            return false;
    }
}

// FTS5 expression for "every typed word begins a word": each word a quoted
// prefix phrase. The umlauts are folded as the word indexes fold them; case
// and other accents are the tokenizer's. Empty when the text has no word.
// Only word characters get in, so the expression cannot hold a quote.
inline std::string WordQuery(const CString& text) {
    std::string query;
    std::string word;
    auto flush = [&] {
        if (word.empty()) return;
        if (!query.empty()) query += ' ';
        query += '"' + Cp1252ToUtf8(word) + "\"*";
        word.clear();
    };
    for (char c : text.str()) {
        auto b = static_cast<unsigned char>(c);
        if (!IsWordChar(b)) {
            flush();
            continue;
        }
        switch (b) {
            case 0xC4:
            case 0xE4:
                word += "ae";
                break;
            case 0xD6:
            case 0xF6:
                word += "oe";
                break;
            case 0xDC:
            case 0xFC:
                word += "ue";
                break;
            case 0xDF:
                word += "ss";
                break;
            default:
                word += c;
        }
    }
    flush();
    return query;
}

// The SQL expression an indexed text goes through before the tokenizer,
// which folds case and the other accents: the umlauts and ß become two
// letters, so "oesophag" and "ösophag" find the same words.
inline std::string WordFoldSql(const std::string& text) {
    return "replace(replace(replace(replace(replace(replace(replace(" + text +
           ",'ä','ae'),'ö','oe'),'ü','ue'),'Ä','Ae'),'Ö','Oe'),'Ü','Ue'),'ß','ss')";
}

// CREATE statement of a word index (rows by the row id of the table they
// index). A contentless one forgets a row by its old words; one that keeps
// its words forgets a row by its id.
inline std::string WordIndexSql(const std::string& name, bool contentless = true) {
    return "CREATE VIRTUAL TABLE IF NOT EXISTS " + name + " USING fts5(words, " +
           (contentless ? "content='', " : "") +
           "prefix='1 2 3', tokenize='unicode61 remove_diacritics 2')";
}

// WHERE clause and its values, in the order of their placeholders.
struct Where {
    std::string sql;
    std::vector<XQValue> values;

    void Add(const std::string& condition) {
        sql += sql.empty() ? "" : " AND ";
        sql += condition;
    }
    void Add(const std::string& condition, XQValue value) {
        Add(condition);
        values.push_back(std::move(value));
    }
    void Add(const std::string& condition, XQValue a, XQValue b) {
        Add(condition, std::move(a));
        values.push_back(std::move(b));
    }
    void Add(const Where& other, const std::string& before, const std::string& after) {
        Add(before + other.sql + after);
        values.insert(values.end(), other.values.begin(), other.values.end());
    }
};

// A prefix as a range over an ordered column: [prefix, prefix with its last
// byte raised); column >= prefix alone when every byte is 0xFF. Nothing for
// an empty prefix.
inline void PrefixRange(Where& w, const std::string& column, XQValue low) {
    if (low.s.empty()) return;
    XQValue high = low;
    while (!high.s.empty() && static_cast<unsigned char>(high.s.back()) == 0xFF) high.s.pop_back();
    if (high.s.empty()) {
        w.Add(column + ">=?", low);
        return;
    }
    high.s.back() = static_cast<char>(high.s.back() + 1);
    w.Add(column + ">=? AND " + column + "<?", low, high);
}

}  // namespace xq
