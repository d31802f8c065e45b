// The print library: the data file keeps every text as written, a failed
// write is reported rather than printing half a list, and the print module
// turns a data file into a PDF whose pages and text are what the rows say.
#include "host/print/XQPrint.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "host/base/Cp1252.h"
#include "host/print/internal/XQPrintSeam.h"
#include "tests/host/dlg/FakeFrontEnd.h"

namespace {

std::string RunTool(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), n);
    return out;
}

int CountOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

class PrintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/q7print.XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override {
        XQSetPrintWriteFault(0);
        std::filesystem::remove_all(dir);
    }
    CString Path(const char* name) const { return CString((dir / name).string()); }

    // A text block list of `blocks` blocks with two text lines each.
    void WriteList(CXQPrintFile& file, int blocks) {
        Write_Variable(file, "FormularId", FormatString("%d", XQ_FORM_TEXTBAUSTEINLISTE));
        Write_Variable(file, "Ueberschrift1", "Liste der Textbausteine");
        Write_Variable(file, "Spaltenueberschrift", "K\xFCrzel   Beschreibung/Text");
        for (int i = 1; i <= blocks; ++i) {
            Write_2Columns(file, "Spalteninhalt", FormatString("TB%04d   Block %d", i, i), "Modus",
                           "Fett");
            Write_Column(file, "Spalteninhalt", "         erste Zeile");
            Write_Column(file, "Spalteninhalt", "         zweite Zeile");
        }
    }

    std::filesystem::path dir;
    FakeFrontEnd front;
};

// Created anew over an older list, which must be gone.
TEST_F(PrintTest, DataFileKeepsEveryByteOfNamesAndValues) {
    std::string every;
    for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
    CXQPrintFile file;
    ASSERT_TRUE(file.Create(Path("a.dat")));
    WriteList(file, 3);
    ASSERT_TRUE(file.Close());
    ASSERT_TRUE(file.Create(Path("a.dat")));
    EXPECT_TRUE(Write_Variable(file, "Name\tmit Tab", CString(every)));
    EXPECT_TRUE(Write_Column(file, "Spalteninhalt", "a\\b\r\nc"));
    EXPECT_TRUE(Write_2Columns(file, "Spalteninhalt", "", "Modus", "Fett"));
    ASSERT_TRUE(file.Close());

    XQPrintData data;
    ASSERT_TRUE(XQReadPrintData(Path("a.dat"), data));
    ASSERT_EQ(data.variables.size(), 1u);
    EXPECT_EQ(data.variables[0].first, "Name\tmit Tab");
    EXPECT_EQ(data.variables[0].second.str(), every);
    ASSERT_EQ(data.rows.size(), 2u);
    EXPECT_EQ(data.rows[0].value, "a\\b\r\nc");
    EXPECT_TRUE(data.rows[0].name2.IsEmpty());
    EXPECT_EQ(data.rows[1].value, "");
    EXPECT_EQ(data.rows[1].value2, "Fett");
}

TEST_F(PrintTest, WriteFailureAtAnyPointSticksAndCloseReportsIt) {
    for (int n = 1; n <= 4; ++n) {
        XQSetPrintWriteFault(n);
        CXQPrintFile file;
        ASSERT_TRUE(file.Create(Path("a.dat")));
        int accepted = 0;
        for (int i = 0; i < 4; ++i) accepted += Write_Column(file, "Spalteninhalt", "x") ? 1 : 0;
        EXPECT_EQ(accepted, n - 1) << "fault at " << n;
        EXPECT_FALSE(file.Close()) << "fault at " << n;
    }
}

TEST_F(PrintTest, UnusableFilesAreRefused) {
    CXQPrintFile file;
    EXPECT_FALSE(file.Create(Path("kein/ordner.dat")));
    EXPECT_FALSE(Write_Column(file, "Spalteninhalt", "x"));
    EXPECT_FALSE(file.Close());

    XQPrintData data;
    std::ofstream(dir / "fremd.dat") << "kein Druck\nV\ta\tb\n";
    EXPECT_FALSE(XQReadPrintData(Path("fremd.dat"), data));
}

TEST_F(PrintTest, PrintFileMakesAPdfWithHeadingAndPageNumberOnEveryPage) {
    CXQPrintFile file;
    ASSERT_TRUE(file.Create(Path("q7_tb.dat")));
    WriteList(file, 120);  // 360 rows: more than one page
    ASSERT_TRUE(file.Close());

    ASSERT_EQ(PrintFile(nullptr, "1", XQ_FORM_TEXTBAUSTEINLISTE, Path("q7_tb.dat"), 0, 0), 0);
    const std::string pdf = (dir / "q7_tb.pdf").string();
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_NE(std::find(front.events.begin(), front.events.end(), "print " + pdf),
              front.events.end());

    const std::string info = RunTool("pdfinfo '" + pdf + "'");
    const size_t at = info.find("Pages:");
    ASSERT_NE(at, std::string::npos) << info;
    const int pages = std::stoi(info.substr(at + 6));
    EXPECT_GE(pages, 3);
    EXPECT_NE(info.find("Liste der Textbausteine"), std::string::npos);  // the title

    const std::string text = RunTool("pdftotext -layout '" + pdf + "' -");
    EXPECT_EQ(CountOf(text, "K\xC3\xBCrzel   Beschreibung/Text"), pages);
    EXPECT_NE(text.find(FormatString("Seite %d von %d", pages, pages).str()), std::string::npos);
    EXPECT_EQ(CountOf(text, "TB0"), 120);
    EXPECT_EQ(CountOf(text, "zweite Zeile"), 120);
}

TEST_F(PrintTest, BlockRowNeverStandsAloneAtThePageFoot) {
    // Enough single-line blocks that some block row falls on the last line
    // of a page if nothing keeps it with its text.
    XQPrintData data;
    data.variables = {{"Ueberschrift1", "Liste"}};
    for (int i = 0; i < 400; ++i) {
        data.rows.push_back({"Spalteninhalt", FormatString("B%03d", i), "Modus", "Fett"});
        data.rows.push_back({"Spalteninhalt", "text", "", ""});
    }
    const int pages = XQRenderPrintData(data, Path("b.pdf"));
    ASSERT_GT(pages, 1);
    for (int p = 1; p <= pages; ++p) {
        const std::string page = RunTool(FormatString("pdftotext -f %d -l %d '", p, p).str() +
                                         (dir / "b.pdf").string() + "' -");
        EXPECT_EQ(CountOf(page, "B"), CountOf(page, "text")) << "page " << p;
    }
}

TEST_F(PrintTest, PrintModuleReportsWhatItCannotPrint) {
    EXPECT_EQ(PrintFile(nullptr, "1", XQ_FORM_TEXTBAUSTEINLISTE, Path("fehlt.dat"), 0, 0), 1);

    CXQPrintFile file;
    ASSERT_TRUE(file.Create(Path("anders.dat")));
    Write_Variable(file, "FormularId", "1");
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(PrintTable(nullptr, "1", XQ_FORM_TEXTBAUSTEINLISTE, Path("anders.dat"), "TB", "", "T",
                         1, "TBENTRY", "", "LFDTBENTRY", "T", "KYKUERZEL", "KYKUERZEL"),
              1);

    // A folder where the document should go.
    ASSERT_TRUE(file.Create(Path("q7_tb.dat")));
    WriteList(file, 1);
    ASSERT_TRUE(file.Close());
    std::filesystem::create_directory(dir / "q7_tb.pdf");
    EXPECT_EQ(PrintFile(nullptr, "1", XQ_FORM_TEXTBAUSTEINLISTE, Path("q7_tb.dat"), 0, 0), 2);

    ASSERT_EQ(front.shown.size(), 3u);
    for (const auto& box : front.shown) EXPECT_EQ(box.kind, XQMsgKind::HaltE) << box.text;
    for (const std::string& e : front.events) EXPECT_NE(e.rfind("print ", 0), 0u) << e;
}

}  // namespace
