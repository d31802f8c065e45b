// The demo practice's coding rule editions: what a practice gets from
// seed-demo must be well-formed and complete enough to show every part of the
// rule view.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/xml/XQSax.h"

namespace {

const char* const kEditions[] = {"krw_1.40_74_tf+2026q3_nr1.xml", "krw_1.40_74_tf+2026q4_nr1.xml"};

std::string DemoKbv(const char* name) {
    return std::string(Q7_SOURCE_DIR "/demo/data/Kbv/") + name;
}

class RuleCounter : public SAXContentHandlerImpl {
  public:
    int rules = 0;
    std::set<std::string> names;  // local names of the rule namespace
    void startElement(const std::string& uri, const std::string& local,
                      const std::string&) override {
        if (uri.empty() || uri == "urn:ehd/001") return;
        names.insert(local);
        rules += local == "kodierregel";
    }
};

TEST(KrwDemoTest, EditionsAreWellFormedAndUseEveryElementTheReaderKnows) {
    const std::set<std::string> known = {"kodierregel",
                                         "id",
                                         "service_tmr",
                                         "beschreibung",
                                         "kurz_beschreibung",
                                         "regelkategorie",
                                         "regelquelle_liste",
                                         "regelquelle",
                                         "regelthema_liste",
                                         "regelthema",
                                         "regelanwendung",
                                         "bezugsraum",
                                         "anzahl_quartale",
                                         "echtzeitpruefung_liste",
                                         "echtzeitpruefung",
                                         "pruefgrundlage_liste",
                                         "pruefgrundlage",
                                         "bedingung",
                                         "parameter",
                                         "operator",
                                         "existenz",
                                         "value_liste",
                                         "value",
                                         "subbedingung",
                                         "pruefung",
                                         "subpruefung",
                                         "pruefung_existenz",
                                         "fehlerbehandlung",
                                         "hinweis",
                                         "vorschlag",
                                         "korrektur",
                                         "regel",
                                         "subkorrektur"};
    for (const char* name : kEditions) {
        RuleCounter counter;
        CXQSAXReader reader;
        reader.putContentHandler(&counter);
        ASSERT_TRUE(reader.parseURL(DemoKbv(name).c_str())) << reader.ErrorText().GetString();
        EXPECT_GE(counter.rules, 40) << name;
        EXPECT_EQ(counter.names, known) << name;
    }
}

}  // namespace
