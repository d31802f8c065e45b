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

// Stores one block in one transaction (a savepoint inside the caller's): the
// record new or over the one with the same Kürzel, its lines replaced whole.
// XQ_OK, or the failing status with the block left as it was.
int StoreTbImportBlock(const STbImportBlock& block);

class CTBImport : public SAXContentHandlerImpl {
  public:
    explicit CTBImport(STbImportMap& map) : m_map(map) {}

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
};
