#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "host/base/HostContext.h"
#include "host/db/HostData.h"
#include "host/dlg/XQMessages.h"
#include "tests/host/db/DbFixture.h"
#include "tests/host/dlg/FakeFrontEnd.h"

namespace {

class MessagesTest : public DbTest {
  protected:
    void SetUp() override {
        DbTest::SetUp();
        ASSERT_EQ(XQInstallDefaultStrings(), 0);
    }
    FakeFrontEnd fe;
};

TEST_F(MessagesTest, TitlesAndTextsComeFromTheStringTable) {
    EXPECT_EQ(Halt(6, 10), 1);
    EXPECT_EQ(fe.shown.back().title + "|" + fe.shown.back().text,
              "Hinweis|Die Systemparameterliste konnte nicht gelesen werden.");
    EXPECT_EQ(fe.shown.back().kind, XQMsgKind::Halt);
    HaltI(77, 1);  // a group without a title of its own
    EXPECT_EQ(fe.shown.back().title, "Hinweis");
    EXPECT_EQ(fe.shown.back().kind, XQMsgKind::HaltI);

    XQMsgBox("7094", "7002", {"A", "B"});
    EXPECT_EQ(fe.shown.back().title + "|" + fe.shown.back().text, "Liste der Textbausteine|(alle)");
    XQHalt("7094", "Klartext");
    EXPECT_EQ(fe.shown.back().kind, XQMsgKind::XQHalt);
}

TEST_F(MessagesTest, ButtonsMapToTheFrameworkCodes) {
    // The index chosen (-1 closes the box), then what each box returns.
    const std::array<int, 4> cases[] = {
        {0, 10, 10, 10}, {1, 11, 11, 11}, {2, 11, 2, 12}, {-1, 11, 2, 12}, {9, 11, 2, 12}};
    for (auto [answer, sollIch, abbruch, msgBox] : cases) {
        fe.buttonAnswers = {answer, answer, answer};
        EXPECT_EQ(SollIch(6, 20), sollIch) << answer;
        EXPECT_EQ(SollIchAbbruch("T", "X"), abbruch) << answer;
        EXPECT_EQ(XQMsgBox("T", "X", {"Eins", "Zwei", "Drei"}), msgBox) << answer;
    }
    EXPECT_EQ(XQMsgBox("T", "X", {}), 10);  // no buttons: one "OK"
}

TEST(ParamBox, PlaceholdersAreParsedAndReplaced) {
    FakeFrontEnd fe;
    Q7SetToday("20240315");
    // The text, the fields offered (label=value|...), the answer, the result.
    const std::tuple<const char*, const char*, std::vector<std::string>, const char*> cases[] = {
        {"Hallo <<Name>>!", "Name=", {"Max"}, "Hallo Max!"},
        {"<<A>>-<<B=x>>-<<A=y>>", "A=y|B=x", {"1", "2"}, "1-2-1"},
        {"am <<Datum>> um <<Zeit=8:00>>",
         "Datum=15.03.2024|Zeit=8:00",
         {"16.03.2024", "9"},
         "am 16.03.2024 um 9"},
        {"<<Datum=01.01.2000>>", "Datum=01.01.2000", {"heute"}, "heute"},
        {"<<a <<b>> <<>> <<=v>>", "b=", {"B"}, "<<a B <<>> <<=v>>"},
        {"<<x>> offen <<y", "x=", {"1"}, "1 offen <<y"},
        {"<<Wert=a=b>>", "Wert=a=b", {"z"}, "z"},
        {"ein <<Zei\nlen>> <<ok>>", "ok=", {"k"}, "ein <<Zei\nlen>> k"}};
    for (const auto& [in, fields, answer, result] : cases) {
        fe.paramAnswers = {answer};
        CString text = in;
        EXPECT_TRUE(XQParamBox(text)) << in;
        EXPECT_EQ(text, result) << in;
        ASSERT_FALSE(fe.offered.empty());
        std::string offered;
        for (const XQParamField& f : fe.offered.back())
            offered += (offered.empty() ? "" : "|") + f.label.str() + "=" + f.value.str();
        EXPECT_EQ(offered, fields) << in;
    }

    // No placeholder: no box, text unchanged.
    const size_t boxes = fe.offered.size();
    CString plain = "nur <<offen <<>>";
    EXPECT_TRUE(XQParamBox(plain));
    EXPECT_EQ(plain, "nur <<offen <<>>");
    EXPECT_EQ(fe.offered.size(), boxes);

    CString text = "Hallo <<Name>>";  // cancelled
    EXPECT_FALSE(XQParamBox(text));
    EXPECT_EQ(text, "Hallo <<Name>>");
    Q7SetToday("");
}

TEST(HostBoxes, FilesProgressDocumentsAndBeep) {
    FakeFrontEnd fe;
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"C:\\tmp\\brief", "xml", "C:\\tmp\\brief.xml"},
        {"/tmp/brief", ".xml", "/tmp/brief.xml"},
        {"brief.txt", "xml", "brief.txt"},
        {"C:\\a.b\\brief", "xml", "C:\\a.b\\brief.xml"},
        {"brief", "", "brief"}};
    for (auto [chosen, ext, expected] : cases) {
        fe.fileAnswers = {chosen};
        CString path = "vorschlag";
        EXPECT_TRUE(XQFileDialog(true, "Export", "XML|*.xml", ext, path));
        EXPECT_EQ(path, expected);
    }
    CString path = "vorschlag";
    EXPECT_FALSE(XQFileDialog(false, "Import", "XML|*.xml", "xml", path));
    EXPECT_EQ(path, "vorschlag");

    fe.events.clear();
    fe.cancelProgressAt = 2;
    EXPECT_TRUE(Q7UpdateProgressBox(5));  // none open
    Q7OpenProgressBox("Liste", 3);
    EXPECT_TRUE(Q7UpdateProgressBox(1));
    EXPECT_FALSE(Q7UpdateProgressBox(2));
    Q7CloseProgressBox();
    Q7CloseProgressBox();
    {
        CXQWaitCursor outer;
        CXQWaitCursor inner;
    }
    XQOpenDocument("https://example.invalid/x");
    std::vector<std::string> expected = {"open Liste",
                                         "update 1",
                                         "update 2",
                                         "close",
                                         "wait on",
                                         "wait off",
                                         "open https://example.invalid/x"};
    EXPECT_EQ(fe.events, expected);

    Q7Beep(0);
    EXPECT_EQ(fe.beeps, 1);
}

TEST(HostBoxes, WithoutFrontEndEveryBoxIsCancelled) {
    XQSetFrontEnd(nullptr);
    EXPECT_EQ(SollIch("T", "X"), 11);
    EXPECT_EQ(SollIchAbbruch("T", "X"), 2);
    EXPECT_EQ(XQMsgBox("T", "X", {"a", "b", "c"}), 12);
    CString text = "<<Name>>";
    EXPECT_FALSE(XQParamBox(text));
    CString path = "x";
    EXPECT_FALSE(XQFileDialog(true, "T", "", "xml", path));
    EXPECT_EQ(path, "x");
    Q7Beep(0);  // silent
}

}  // namespace
