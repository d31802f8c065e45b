#pragma once
// Content handler that reads an exchange file ("dazo_tb") into a map of
// blocks by Kürzel. Only elements without a namespace URI count.
#include <map>
#include <vector>

#include "host/db/Records.h"
#include "host/xml/XQSax.h"

struct STbImportBlock {
    CQTb_Fields tb;
    std::vector<CQTbEntry_Fields> lines;  // in file order
};

using STbImportMap = std::map<CString, STbImportBlock>;

// Stores one block inside the caller's transaction: the record new or over
// the one with the same Kürzel, its lines replaced whole. XQ_OK, or the
// failing status with the block perhaps half stored: the caller rolls back.
int StoreTbImportBlock(const STbImportBlock& block);

// What one import holds at most. A file with more is refused (the reader
// fails with the reason), so that no file, whatever its size, makes the map
// outgrow memory; real exchange files stay far below.
constexpr size_t kTbImportMaxBlocks = 100000;
constexpr size_t kTbImportMaxLines = 1000000;  // of all blocks together

// Fills the map from an exchange file. Lines of a block that share a line
// number could never be stored side by side: the last of them is kept (a
// second tb with the same id adds its lines, so its line 0 replaces the
// first one's line 0).
class CTBImport : public SAXContentHandlerImpl {
  public:
    explicit CTBImport(STbImportMap& map) : m_map(map) {}

    void startDocument() override;
    void endDocument() override;
    void startElement(const std::string& uri, const std::string& localName,
                      const std::string& qName) override;
    void endElement(const std::string& uri, const std::string& localName,
                    const std::string& qName) override;
    void characters(const std::string& text) override;

  private:
    STbImportBlock* Current();
    STbImportMap& m_map;
    std::vector<int> m_stack;
    std::string m_buffer;  // UTF-8 as the reader reports it
    CString m_kuerzel;
    size_t m_lines = 0;
};
