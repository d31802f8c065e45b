// A practice home with a KBV folder for the coding rule reader, and editions
// written in the published layout: prefixed elements, CR LF, every element
// but the first two lines indented (the reader skips unindented lines).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "host/base/HostContext.h"
#include "host/base/XQFile.h"
#include "q7txtbst/Krw.h"
#include "tests/q7txtbst/TbFixture.h"

inline std::string KrwHead(const char* period = "2011-10-01..2011-12-31") {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
               "<kbv:ehd xmlns:kbv=\"urn:ehd/krw/001\">\r\n"
               "  <kbv:header>\r\n"
               "    <kbv:origination_dttm V=\"2011-07-01\"/>\r\n"
               "    <kbv:service_tmr V=\"") +
           period + "\"/>\r\n  </kbv:header>\r\n  <kbv:body>\r\n";
}
// Elements separated by '|', each on its own indented line.
inline std::string KrwLines(const std::string& elements) {
    std::string out = "      <";
    for (char c : elements) out += c == '|' ? std::string("\r\n      <") : std::string(1, c);
    return out + "\r\n";
}
inline std::string KrwRule(const std::string& id, const std::string& inner = "") {
    return "    <kbv:kodierregel V=\"1\">\r\n      <kbv:id V=\"" + id + "\"/>\r\n" + inner +
           "    </kbv:kodierregel>\r\n";
}
inline std::string KrwEdition(const std::string& rules,
                              const char* period = "2011-10-01..2011-12-31") {
    return KrwHead(period) + rules + "  </kbv:body>\r\n</kbv:ehd>\r\n";
}

// The reader remembers the folder it found: forgotten before and after.
class KrwHomeTest : public TbTest {
  protected:
    void SetUp() override {
        TbTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        Q7SetHome(home);
        CKrw::ForgetKbvPath();
        kbv = home + "/data/Kbv/";
        std::filesystem::create_directories(kbv);
    }
    void TearDown() override {
        XQSetFileFault(0);
        Q7SetToday("");
        Q7SetHome("");
        CKrw::ForgetKbvPath();
        TbTest::TearDown();
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(kbv + name, std::ios::binary) << bytes;
    }

    std::string kbv;
};
