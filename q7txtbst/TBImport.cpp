#include "q7txtbst/TBImport.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "host/db/XQDatabase.h"
#include "host/db/XQStatus.h"

namespace {

enum : int {
    kDazoTb = 1,
    kTb,
    kId,
    kGroup,
    kMember,
    kDescription,
    kLines,
    kLine,
    kEntry,
    kText,
};

int ElementNumber(const std::string& name) {
    static const char* const names[] = {"dazo_tb",     "tb",    "id",   "group", "member",
                                        "description", "lines", "line", "entry", "text"};
    for (int i = 0; i < 10; ++i)
        if (name == names[i]) return i + 1;
    return 0;
}

// Every kept text is at most 160 characters after trimming; a larger buffer
// only guards memory against a huge element.
constexpr size_t kMaxBuffer = 1024 * 1024;

}  // namespace

void CTBImport::startDocument() {
    m_stack.clear();
    m_buffer.clear();
    m_kuerzel.Empty();
    m_lines = 0;
}

void CTBImport::endDocument() {
    for (auto& [kuerzel, block] : m_map) {
        std::vector<CQTbEntry_Fields>& lines = block.lines;
        if (lines.size() < 2) continue;
        // Line positions by number, in file order among equal numbers: of a
        // run of equal numbers all but the last are dropped, marked by an
        // empty Kürzel first.
        std::vector<uint32_t> order(lines.size());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return lines[a].LFDTBENTRY < lines[b].LFDTBENTRY;
        });
        bool dropped = false;
        for (size_t i = 0; i + 1 < order.size(); ++i)
            if (lines[order[i]].LFDTBENTRY == lines[order[i + 1]].LFDTBENTRY) {
                lines[order[i]].KYKUERZEL.Empty();
                dropped = true;
            }
        if (dropped)
            std::erase_if(lines, [](const CQTbEntry_Fields& l) { return l.KYKUERZEL.IsEmpty(); });
    }
}

STbImportBlock* CTBImport::Current() {
    auto it = m_map.find(m_kuerzel);
    return it == m_map.end() ? nullptr : &it->second;
}

void CTBImport::startElement(const std::string& uri, const std::string& localName,
                             const std::string& /*qName*/) {
    const int number = uri.empty() ? ElementNumber(localName) : 0;
    if (number) {
        m_stack.push_back(number);
        if (number == kLine) {
            if (STbImportBlock* block = Current()) {
                if (++m_lines > kTbImportMaxLines)
                    Refuse(FormatString("mehr als %d Zeilen von Textbausteinen",
                                        static_cast<int>(kTbImportMaxLines)));
                CQTbEntry_Fields line;
                line.KYKUERZEL = m_kuerzel;
                block->lines.push_back(line);
            }
        }
    }
    m_buffer.clear();
}

void CTBImport::characters(const std::string& text) {
    if (!m_stack.empty() && m_buffer.size() < kMaxBuffer) m_buffer += text;
}

void CTBImport::endElement(const std::string& uri, const std::string& localName,
                           const std::string& /*qName*/) {
    const int number = uri.empty() ? ElementNumber(localName) : 0;
    if (!number || m_stack.empty() || m_stack.back() != number) return;
    STbImportBlock* block = Current();
    switch (number) {
        case kTb:
            m_buffer.clear();
            break;
        case kId: {
            CString id = W2S(m_buffer);
            id.Trim();
            m_kuerzel = id.Left(8);
            if (m_map.size() >= kTbImportMaxBlocks && !m_map.count(m_kuerzel)) {
                Refuse(FormatString("mehr als %d Textbausteine",
                                    static_cast<int>(kTbImportMaxBlocks)));
                break;
            }
            m_map[m_kuerzel].tb.Kuerzel = m_kuerzel;
            break;
        }
        case kGroup:
            if (block) block->tb.Gruppe = W2S(m_buffer).Left(1);
            break;
        case kMember:
            if (block) block->tb.Untergruppe = W2S(m_buffer).Left(1);
            break;
        case kDescription:
            if (block) block->tb.Beschreibung = W2S(m_buffer).Left(40);
            break;
        case kEntry:
            if (block && !block->lines.empty())
                block->lines.back().LFDTBENTRY = FormatString("%3d", std::atoi(m_buffer.c_str()));
            break;
        case kText:
            if (block && !block->lines.empty())
                block->lines.back().TBENTRY = W2S(m_buffer).Left(160);
            break;
        default:
            break;
    }
    m_stack.pop_back();
}

int StoreTbImportBlock(const STbImportBlock& block) {
    const CString& kuerzel = block.tb.Kuerzel;
    // An existing block keeps what the file does not carry.
    CQTb tb(dbDatabase);
    tb.ClearAll();
    tb.Kuerzel = kuerzel;
    tb.Gruppe = block.tb.Gruppe;
    tb.Untergruppe = block.tb.Untergruppe;
    tb.Beschreibung = block.tb.Beschreibung;
    if (const int status = tb.WriteOrUpdate(); status != XQ_OK) return status;
    CQTbEntry lines(dbDatabase);
    lines.ClearAll();
    lines.KYKUERZEL = kuerzel;
    return lines.ReplaceAll(block.lines);
}
