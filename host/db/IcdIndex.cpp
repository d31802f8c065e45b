#include "host/db/internal/IcdIndex.h"

#include <malloc.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "host/base/Cp1252.h"
#include "host/db/XQDatabase.h"
#include "host/db/internal/CatalogueSearch.h"
#include "host/db/internal/IcdInternal.h"
#include "host/db/internal/XQInternal.h"

namespace xq {

namespace {

// ---------------------------------------------------------------- folding

// What each Windows-1252 byte becomes in a word: up to two letters, none
// for a byte that parts words.
struct FoldTable {
    char out[256][2];
    unsigned char n[256];

    FoldTable() {
        for (int b = 0; b < 256; ++b) {
            n[b] = 0;
            if (!IsWordChar(static_cast<unsigned char>(b))) continue;
            const char c = static_cast<char>(b);
            Set(b, (b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : c);
        }
        const auto two = [&](int b, const char* s) {
            out[b][0] = s[0];
            out[b][1] = s[1];
            n[b] = 2;
        };
        for (int b : {0xC4, 0xE4, 0xC6, 0xE6}) two(b, "ae");
        for (int b : {0xD6, 0xF6, 0x8C, 0x9C}) two(b, "oe");
        for (int b : {0xDC, 0xFC}) two(b, "ue");
        two(0xDF, "ss");
        two(0xDE, "th");
        two(0xFE, "th");
        const struct {
            int from, to;
            char c;
        } ranges[] = {{0xC0, 0xC3, 'a'}, {0xC5, 0xC5, 'a'}, {0xE0, 0xE3, 'a'}, {0xE5, 0xE5, 'a'},
                      {0xC7, 0xC7, 'c'}, {0xE7, 0xE7, 'c'}, {0xC8, 0xCB, 'e'}, {0xE8, 0xEB, 'e'},
                      {0xCC, 0xCF, 'i'}, {0xEC, 0xEF, 'i'}, {0xD0, 0xD0, 'd'}, {0xF0, 0xF0, 'd'},
                      {0xD1, 0xD1, 'n'}, {0xF1, 0xF1, 'n'}, {0xD2, 0xD5, 'o'}, {0xD8, 0xD8, 'o'},
                      {0xF2, 0xF5, 'o'}, {0xF8, 0xF8, 'o'}, {0xD9, 0xDB, 'u'}, {0xF9, 0xFB, 'u'},
                      {0xDD, 0xDD, 'y'}, {0xFD, 0xFD, 'y'}, {0xFF, 0xFF, 'y'}, {0x9F, 0x9F, 'y'},
                      {0x8A, 0x8A, 's'}, {0x9A, 0x9A, 's'}, {0x8E, 0x8E, 'z'}, {0x9E, 0x9E, 'z'},
                      {0x83, 0x83, 'f'}, {0xAA, 0xAA, 'a'}, {0xBA, 0xBA, 'o'}, {0xB5, 0xB5, 'u'},
                      {0xB2, 0xB2, '2'}, {0xB3, 0xB3, '3'}, {0xB9, 0xB9, '1'}};
        for (const auto& r : ranges)
            for (int b = r.from; b <= r.to; ++b) Set(b, r.c);
    }
    void Set(int b, char c) {
        out[b][0] = c;
        n[b] = 1;
    }
};

const FoldTable& Fold() {
    static const FoldTable table;
    return table;
}

// Calls word(std::string_view) for each folded word of a Windows-1252 text;
// buffer is scratch.
template <class F>
void ForEachWord(std::string_view text, std::string& buffer, F&& word) {
    const FoldTable& fold = Fold();
    buffer.clear();
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (fold.n[b] == 0) {
            if (!buffer.empty()) word(std::string_view(buffer));
            buffer.clear();
            continue;
        }
        buffer.append(fold.out[b], fold.n[b]);
    }
    if (!buffer.empty()) word(std::string_view(buffer));
}

// A typed piece that reads as an ICD code: a letter, two digits, and
// optionally a point and more digits (a trailing mark is allowed); its
// stored form, or empty.
std::string CodeOf(std::string_view piece) {
    while (!piece.empty() && std::strchr("-!*+", piece.back())) piece.remove_suffix(1);
    if (piece.size() < 3) return {};
    const auto letter = static_cast<unsigned char>(piece[0]);
    if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))) return {};
    std::string code(1, static_cast<char>(std::toupper(letter)));
    size_t digits = 0;
    bool point = false;
    for (size_t i = 1; i < piece.size(); ++i) {
        const char c = piece[i];
        if (c >= '0' && c <= '9') {
            code += c;
            ++digits;
        } else if (c == '.' && digits == 2 && !point) {
            point = true;
        } else {
            return {};
        }
        if (i == 2 && digits != 2) return {};
    }
    return digits >= 2 && digits <= 5 ? code : std::string();
}

// The pieces of a typed text between blanks.
std::vector<std::string_view> Pieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == ',' || text[at] == ';')) ++at;
        size_t end = at;
        while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != ';') ++end;
        if (end > at) pieces.push_back(text.substr(at, end - at));
        at = end;
    }
    return pieces;
}

// ---------------------------------------------------------------- the index

// Match classes of a typed word in a word of the catalogue, best last.
enum Klasse : uint8_t { kKein = 0, kTippfehler, kTeil, kAnfang, kGanz };

struct Doc {
    uint32_t code;   // index into the codes
    uint32_t begin;  // first word in Index::docWords
    uint16_t count;  // words
    bool title;      // the code's title, else an index line
    int64_t row;     // row id of the title's code row or of the index line
};

struct Index {
    std::pair<int64_t, int64_t> stamp{-1, -1};
    // Codes in code order.
    std::vector<std::string> code;
    std::vector<int64_t> codeRow;
    std::vector<bool> terminal;
    std::vector<int32_t> standIn;  // the terminal code a non-terminal code is coded as, or -1
    std::vector<std::pair<int64_t, uint32_t>> byRow;  // row id, code; by row id
    std::vector<Doc> docs;
    std::vector<uint32_t> docWords;
    // The vocabulary in byte order, each word framed by '\0': word i starts
    // at vocabAt[i].
    std::string vocab;
    std::vector<uint32_t> vocabAt;
    std::vector<uint32_t> postAt;  // documents of word i: post[postAt[i] .. postAt[i + 1])
    std::vector<uint32_t> post;

    uint32_t Words() const { return static_cast<uint32_t>(vocabAt.size()); }
    std::string_view Word(uint32_t i) const {
        const uint32_t end =
            i + 1 < Words() ? vocabAt[i + 1] - 1 : static_cast<uint32_t>(vocab.size()) - 1;
        return std::string_view(vocab).substr(vocabAt[i], end - vocabAt[i]);
    }
    uint32_t Df(uint32_t i) const { return postAt[i + 1] - postAt[i]; }
    // First word not less than w.
    uint32_t LowerBound(std::string_view w) const {
        uint32_t lo = 0, hi = Words();
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (Word(mid) < w)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    // The index of a code in stored form, or -1.
    int32_t Find(std::string_view c) const {
        auto it = std::lower_bound(code.begin(), code.end(), c);
        return it != code.end() && *it == c ? static_cast<int32_t>(it - code.begin()) : -1;
    }
};

// Reads the catalogue's codes and index lines into a new index; null with
// the reason in the database's last error when the table cannot be read.
std::unique_ptr<Index> Build(CXQDatabase& db, std::pair<int64_t, int64_t> stamp) {
    auto index = std::make_unique<Index>();
    Index& x = *index;
    x.stamp = stamp;
    struct Text {
        uint32_t code;
        bool title;
        int64_t row;
        std::string text;  // Windows-1252
    };
    std::vector<Text> texts;
    {
        sqlite3_stmt* stmt = Statement(db,
                                       "SELECT rowid, code, text FROM icd WHERE ebene='' AND "
                                       "code<>'$vers' ORDER BY k_code");
        if (!stmt) return nullptr;
        StmtUse use(stmt);
        int rc;
        while ((rc = Step(stmt)) == SQLITE_ROW) {
            const auto id = static_cast<uint32_t>(x.code.size());
            x.codeRow.push_back(sqlite3_column_int64(stmt, 0));
            x.code.push_back(ColumnCp(stmt, 1).str());
            texts.push_back({id, true, x.codeRow.back(), ColumnCp(stmt, 2).str()});
        }
        if (rc != SQLITE_DONE) return nullptr;
    }
    // Codes sort by their comparable form; the index looks them up by bytes.
    if (!std::is_sorted(x.code.begin(), x.code.end())) {
        std::vector<uint32_t> order(x.code.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](uint32_t a, uint32_t b) { return x.code[a] < x.code[b]; });
        std::vector<std::string> code;
        std::vector<int64_t> row;
        std::vector<Text> sorted;
        for (uint32_t i : order) {
            code.push_back(x.code[i]);
            row.push_back(x.codeRow[i]);
            sorted.push_back(std::move(texts[i]));
            sorted.back().code = static_cast<uint32_t>(code.size() - 1);
        }
        x.code.swap(code);
        x.codeRow.swap(row);
        texts.swap(sorted);
    }
    for (uint32_t i = 0; i < x.code.size(); ++i) x.byRow.emplace_back(x.codeRow[i], i);
    std::sort(x.byRow.begin(), x.byRow.end());
    const size_t codes = x.code.size();
    {
        sqlite3_stmt* stmt = Statement(
            db, "SELECT rowid, code, text FROM icd WHERE k_ebene=x'54' ORDER BY k_code, k_lfd");
        if (!stmt) return nullptr;
        StmtUse use(stmt);
        int rc;
        std::string last;
        int32_t lastCode = -1;
        while ((rc = Step(stmt)) == SQLITE_ROW) {
            std::string c = ColumnCp(stmt, 1).str();
            if (c != last) {
                // A line of a code the catalogue no longer has counts for
                // the nearest code above it.
                last = c;
                lastCode = -1;
                for (size_t n = c.size(); n >= 3 && lastCode < 0; --n)
                    lastCode = x.Find(std::string_view(c).substr(0, n));
            }
            if (lastCode < 0) continue;
            texts.push_back({static_cast<uint32_t>(lastCode), false, sqlite3_column_int64(stmt, 0),
                             ColumnCp(stmt, 2).str()});
        }
        if (rc != SQLITE_DONE) return nullptr;
    }

    // Words: numbered as they come, then renumbered in byte order.
    std::unordered_map<std::string, uint32_t> ids;
    std::vector<std::string> words;
    std::string buffer;
    x.docs.reserve(texts.size());
    for (const Text& t : texts) {
        Doc d{t.code, static_cast<uint32_t>(x.docWords.size()), 0, t.title, t.row};
        ForEachWord(t.text, buffer, [&](std::string_view w) {
            auto [it, added] = ids.emplace(std::string(w), static_cast<uint32_t>(words.size()));
            if (added) words.push_back(it->first);
            x.docWords.push_back(it->second);
        });
        d.count = static_cast<uint16_t>(std::min<size_t>(x.docWords.size() - d.begin, 0xFFFF));
        x.docs.push_back(d);
    }
    std::vector<uint32_t> order(words.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return words[a] < words[b]; });
    std::vector<uint32_t> rank(words.size());
    x.vocab.assign(1, '\0');
    for (uint32_t r = 0; r < order.size(); ++r) {
        rank[order[r]] = r;
        x.vocabAt.push_back(static_cast<uint32_t>(x.vocab.size()));
        x.vocab += words[order[r]];
        x.vocab += '\0';
    }
    for (uint32_t& w : x.docWords) w = rank[w];

    // Postings: each document once per word.
    std::vector<uint32_t> df(words.size() + 1, 0);
    std::vector<uint32_t> seen(words.size(), UINT32_MAX);
    for (uint32_t d = 0; d < x.docs.size(); ++d)
        for (uint32_t i = 0; i < x.docs[d].count; ++i) {
            const uint32_t w = x.docWords[x.docs[d].begin + i];
            if (seen[w] != d) {
                seen[w] = d;
                ++df[w];
            }
        }
    x.postAt.assign(words.size() + 1, 0);
    for (size_t w = 0; w < words.size(); ++w) x.postAt[w + 1] = x.postAt[w] + df[w];
    x.post.resize(x.postAt.back());
    std::vector<uint32_t> fill(x.postAt.begin(), x.postAt.end() - 1);
    std::fill(seen.begin(), seen.end(), UINT32_MAX);
    for (uint32_t d = 0; d < x.docs.size(); ++d)
        for (uint32_t i = 0; i < x.docs[d].count; ++i) {
            const uint32_t w = x.docWords[x.docs[d].begin + i];
            if (seen[w] != d) {
                seen[w] = d;
                x.post[fill[w]++] = d;
            }
        }

    // A code with codes below it is coded as one of them: the one "nicht
    // näher bezeichnet", else the one ending in 9, else the first.
    x.terminal.assign(codes, true);
    x.standIn.assign(codes, -1);
    std::vector<bool> unspecified(codes, false);
    const std::vector<std::string> nnb = IcdFoldedWords("nicht n\xE4her bezeichnet");
    for (const Text& t : texts) {
        if (!t.title) continue;
        std::vector<std::string> w = IcdFoldedWords(CString(t.text));
        unspecified[t.code] = std::search(w.begin(), w.end(), nnb.begin(), nnb.end()) != w.end();
    }
    for (size_t i = 0; i + 1 < codes; ++i)
        x.terminal[i] = x.code[i + 1].compare(0, x.code[i].size(), x.code[i]) != 0;
    for (size_t i = codes; i-- > 0;) {
        if (x.terminal[i]) continue;
        int32_t choice = -1, nine = -1, first = -1;
        for (size_t j = i + 1; j < codes && x.code[j].compare(0, x.code[i].size(), x.code[i]) == 0;
             ++j) {
            if (x.code[j].size() != x.code[i].size() + 1) continue;
            if (first < 0) first = static_cast<int32_t>(j);
            if (x.code[j].back() == '9') nine = static_cast<int32_t>(j);
            if (choice < 0 && unspecified[j]) choice = static_cast<int32_t>(j);
        }
        if (choice < 0) choice = nine >= 0 ? nine : first;
        if (choice >= 0 && !x.terminal[static_cast<size_t>(choice)])
            choice = x.standIn[static_cast<size_t>(choice)];
        x.standIn[i] = choice;
    }
    return index;
}

// ---------------------------------------------------------------- matching

// A typed word's matches: vocabulary words and their class.
struct Wort {
    std::string text;
    std::vector<std::pair<uint32_t, Klasse>> matches;
    size_t postings = 0;
};

void MatchWord(const Index& x, Wort& q) {
    const std::string& w = q.text;
    const uint32_t from = x.LowerBound(w);
    std::string upper = w;
    upper += '\xFF';
    const uint32_t to = x.LowerBound(upper);
    for (uint32_t i = from; i < to; ++i)
        q.matches.emplace_back(i, x.Word(i) == w ? kGanz : kAnfang);
    if (w.size() >= 4) {
        // Parts of words: every place the typed word stands inside a word.
        const char* begin = x.vocab.data();
        const char* end = begin + x.vocab.size();
        for (const char* at = begin; (at = static_cast<const char*>(memmem(
                                          at, static_cast<size_t>(end - at), w.data(), w.size())));
             ++at) {
            const auto offset = static_cast<uint32_t>(at - begin);
            const auto it = std::upper_bound(x.vocabAt.begin(), x.vocabAt.end(), offset);
            const auto word = static_cast<uint32_t>(it - x.vocabAt.begin()) - 1;
            if (x.vocabAt[word] == offset) continue;  // a beginning, found above
            if (q.matches.empty() || q.matches.back().first != word)
                q.matches.emplace_back(word, kTeil);
        }
    }
    if (q.matches.empty() && w.size() >= 5) {
        // Nothing matches: words within one typing error (two from eight
        // letters) stand in for it.
        const int limit = w.size() >= 8 ? 2 : 1;
        for (uint32_t i = 0; i < x.Words(); ++i) {
            const std::string_view v = x.Word(i);
            if (v.size() + static_cast<size_t>(limit) < w.size() ||
                v.size() > w.size() + static_cast<size_t>(limit))
                continue;
            if (IcdEditDistance(w, std::string(v), limit) <= limit)
                q.matches.emplace_back(i, kTippfehler);
        }
    }
    for (const auto& [word, klasse] : q.matches) q.postings += x.Df(word);
}

// Per query: which documents matched every typed word so far, with their
// scores. Kept between searches so that its arrays are not made anew.
struct Scratch {
    std::vector<uint32_t> mark;  // round * 64 + words matched
    std::vector<float> sum;
    std::vector<float> best;
    std::vector<uint32_t> touched;
    uint32_t round = 0;
    std::vector<uint8_t> klasse;  // typed word k, vocabulary word w: klasse[k * words + w]
};

struct Cache {
    std::mutex mutex;
    std::unique_ptr<Index> index;
    Scratch scratch;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

constexpr float kKlassenWert[] = {0, 6, 10, 20, 30};
// The weights of the ranking, tuned on the real catalogue against what
// physicians type (bench/icd_quality).
constexpr float kHaeufig = 10;    // the most common word a typed word stands for
constexpr float kGleich = 40;     // the text is the typed words
constexpr float kBeginnt = 15;    // the text begins with them
constexpr float kMehrwort = 2.5;  // each word of the text beyond the typed ones
constexpr float kTitelText = 12;  // the code's own title, in the text field
constexpr float kTitel = 5;       // the code's own title, in the combined field
constexpr float kBelege = 6;      // per e-fold of the code's texts that match

struct CodeScore {
    uint32_t code;
    float score;
    int64_t zeile;
};

}  // namespace

std::vector<std::string> IcdFoldedWords(const CString& text) {
    std::vector<std::string> words;
    std::string buffer;
    ForEachWord(text.str(), buffer, [&](std::string_view w) { words.emplace_back(w); });
    return words;
}

int IcdEditDistance(const std::string& a, const std::string& b, int limit) {
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > static_cast<size_t>(limit)) return limit + 1;
    std::vector<int> prev2(m + 1), prev(m + 1), cur(m + 1);
    for (size_t j = 0; j <= m; ++j) prev[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        cur[0] = static_cast<int>(i);
        int rowMin = cur[0];
        for (size_t j = 1; j <= m; ++j) {
            int d = std::min(
                {prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d = std::min(d, prev2[j - 2] + 1);
            cur[j] = d;
            rowMin = std::min(rowMin, d);
        }
        if (rowMin > limit) return limit + 1;
        prev2.swap(prev);
        prev.swap(cur);
    }
    return std::min(prev[m], limit + 1);
}

bool IcdHasSearchWords(const CString& typed) {
    return !IcdFoldedWords(typed).empty();
}

int IcdRank(CXQDatabase& db, const CString& typed, IcdFeld feld,
            const std::vector<int64_t>* allowed, std::vector<IcdTreffer>& hits) {
    hits.clear();
    Cache& cache = TheCache();
    std::lock_guard lock(cache.mutex);
    std::pair<int64_t, int64_t> stamp{0, 0};
    {
        sqlite3_stmt* stmt = Statement(db, "SELECT n, db FROM icdstamp");
        if (!stmt) return XQ_NODB;
        StmtUse use(stmt);
        const int rc = Step(stmt);
        if (rc == SQLITE_ROW)
            stamp = {sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1)};
        else if (rc != SQLITE_DONE)
            return XQ_NODB;
    }
    if (!cache.index || cache.index->stamp != stamp) {
        cache.index.reset();
        cache.index = Build(db, stamp);
        if (!cache.index) return XQ_NODB;
        // The build's texts and word maps are gone; their pages go back to
        // the system rather than stay with the process all day.
        malloc_trim(0);
    }
    const Index& x = *cache.index;
    Scratch& s = cache.scratch;

    std::vector<bool> pass;
    if (allowed) {
        pass.assign(x.code.size(), false);
        for (int64_t row : *allowed) {
            auto it = std::lower_bound(x.byRow.begin(), x.byRow.end(),
                                       std::pair<int64_t, uint32_t>(row, 0));
            if (it != x.byRow.end() && it->first == row) pass[it->second] = true;
        }
    }
    const auto passes = [&](uint32_t c) { return !allowed || pass[c]; };

    // Codes typed among the words come first, each with the codes below it.
    std::vector<bool> listed(x.code.size(), false);
    std::vector<Wort> words;
    std::string buffer;
    for (std::string_view piece : Pieces(typed.str())) {
        // A piece that names no code of the catalogue ("B12" of a vitamin)
        // stays a word.
        const std::string code = CodeOf(piece);
        auto it = std::lower_bound(x.code.begin(), x.code.end(), code);
        if (!code.empty() && it != x.code.end() && it->compare(0, code.size(), code) == 0) {
            for (; it != x.code.end() && it->compare(0, code.size(), code) == 0; ++it) {
                const auto c = static_cast<uint32_t>(it - x.code.begin());
                if (passes(c) && !listed[c]) {
                    listed[c] = true;
                    hits.push_back({x.codeRow[c], 0});
                }
            }
            continue;
        }
        ForEachWord(piece, buffer, [&](std::string_view w) {
            words.push_back({std::string(w), {}, 0});
        });
    }
    if (words.empty()) return XQ_OK;
    for (Wort& w : words) MatchWord(x, w);

    // Documents that hold every typed word, the rarest word first.
    const size_t nq = words.size();
    std::vector<size_t> order(nq);
    for (size_t i = 0; i < nq; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return words[a].postings < words[b].postings; });
    const size_t nd = x.docs.size();
    if (s.mark.size() != nd) {
        s.mark.assign(nd, 0);
        s.sum.assign(nd, 0);
        s.best.assign(nd, 0);
        s.round = 0;
    }
    if (++s.round >= (UINT32_MAX >> 6)) {
        std::fill(s.mark.begin(), s.mark.end(), 0);
        s.round = 1;
    }
    const uint32_t base = s.round << 6;
    const size_t nw = x.Words();
    s.klasse.assign(nq * nw, kKein);
    // How common a word that completes or holds a typed word is, against the
    // most common such word: what was typed most likely means the common one.
    std::vector<double> logMax(nq, 1.0);
    for (size_t k = 0; k < nq; ++k)
        for (const auto& [word, klasse] : words[k].matches)
            logMax[k] = std::max(logMax[k], std::log(1.0 + x.Df(word)));
    const auto popularity = [&](size_t k, uint32_t word) {
        return static_cast<float>(std::log(1.0 + x.Df(word)) / logMax[k]);
    };
    std::vector<uint32_t> candidates;
    for (size_t step = 0; step < nq && step < 63; ++step) {
        const size_t k = order[step];
        s.touched.clear();
        for (const auto& [word, klasse] : words[k].matches) {
            s.klasse[k * nw + word] = klasse;
            const float value =
                kKlassenWert[klasse] + kHaeufig * (klasse == kGanz ? 1.0f : popularity(k, word));
            for (uint32_t p = x.postAt[word]; p < x.postAt[word + 1]; ++p) {
                const uint32_t d = x.post[p];
                const uint32_t m = s.mark[d];
                if (step == 0 ? (m >> 6) == s.round : m != base + step) {
                    if (m == base + step + 1 && value > s.best[d]) s.best[d] = value;
                    continue;
                }
                if (step == 0) s.sum[d] = 0;
                s.mark[d] = base + static_cast<uint32_t>(step) + 1;
                s.best[d] = value;
                s.touched.push_back(d);
            }
        }
        for (uint32_t d : s.touched) s.sum[d] += s.best[d];
        if (s.touched.empty()) break;
        if (step + 1 == std::min<size_t>(nq, 63)) candidates = s.touched;
    }

    // Each code scores with its best document.
    std::vector<int32_t> slot(x.code.size(), -1);
    std::vector<uint32_t> evidence(x.code.size(), 0);
    std::vector<CodeScore> scored;
    for (uint32_t d : candidates) {
        const Doc& doc = x.docs[d];
        if (!passes(doc.code) || listed[doc.code]) continue;
        if (feld == IcdFeld::Schlagwort && doc.title) continue;
        // Exactness: the document is the typed words, or begins with them.
        bool ganz = doc.count == nq, anfang = doc.count >= nq;
        float beginnt = 1.0f;
        for (size_t i = 0; i < nq && (ganz || anfang); ++i) {
            const uint32_t word = i < doc.count ? x.docWords[doc.begin + i] : 0;
            const uint8_t k = i < doc.count ? s.klasse[i * nw + word] : uint8_t{kKein};
            if (k != kGanz) ganz = false;
            if (k < kAnfang) anfang = false;
            if (k == kAnfang) beginnt = std::min(beginnt, popularity(i, word));
        }
        const int extra = std::max(0, static_cast<int>(doc.count) - static_cast<int>(nq));
        float score = s.sum[d] +
                      (ganz     ? kGleich
                       : anfang ? kBeginnt * beginnt
                                : 0.0f) -
                      kMehrwort * static_cast<float>(std::min(extra, 12));
        if (doc.title) score += feld == IcdFeld::Text ? kTitelText : kTitel;
        ++evidence[doc.code];
        int32_t& at = slot[doc.code];
        if (at < 0) {
            at = static_cast<int32_t>(scored.size());
            scored.push_back({doc.code, score, doc.title ? 0 : doc.row});
        } else {
            CodeScore& c = scored[static_cast<size_t>(at)];
            if (score > c.score) {
                c.score = score;
                c.zeile = doc.title ? 0 : doc.row;
            }
        }
    }
    // A code many of whose texts match is what the words usually mean;
    // terminal codes are the ones coded.
    for (CodeScore& c : scored) {
        c.score += kBelege * static_cast<float>(std::log(1.0 + evidence[c.code]));
        if (x.terminal[c.code]) c.score += 1.0f;
    }
    std::sort(scored.begin(), scored.end(), [](const CodeScore& a, const CodeScore& b) {
        if (a.score != b.score) return a.score > b.score;
        return a.code < b.code;
    });
    // The code a category or parent is coded as follows it at once.
    std::vector<bool> placed(x.code.size(), false);
    std::vector<int32_t> rank(x.code.size(), -1);
    for (size_t i = 0; i < scored.size(); ++i) rank[scored[i].code] = static_cast<int32_t>(i);
    const auto put = [&](const CodeScore& c) {
        placed[c.code] = true;
        hits.push_back({x.codeRow[c.code], feld == IcdFeld::Text ? 0 : c.zeile});
    };
    for (const CodeScore& c : scored) {
        if (placed[c.code]) continue;
        put(c);
        const int32_t stand = x.standIn[c.code];
        if (stand >= 0 && rank[static_cast<size_t>(stand)] >= 0 &&
            !placed[static_cast<size_t>(stand)])
            put(scored[static_cast<size_t>(rank[static_cast<size_t>(stand)])]);
    }
    return XQ_OK;
}

}  // namespace xq
