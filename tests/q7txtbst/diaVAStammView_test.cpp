// The coding manual viewer: which edition in the KBV folder it reads, the
// boxes for a file or code it cannot show, and what it lists.
#include "q7txtbst/diaVAStammView.h"

#include "q7txtbst/Module.h"
#include "tests/q7txtbst/KrwFixture.h"

namespace {

const CString kMuster = CdiaVAStammView::kMuster;
const char kQ1[] = "VA_1.0_74_tf+2024q1_nr+1.xml";
const char kQ2[] = "VA_1.0_74_tf+2024q2_nr+1.xml";

// A manual of one main chapter with a sub-chapter, head first, CR LF.
const char kManual[] =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-15\"?>\r\n"
    "<va:root xmlns:va=\"urn:va\">\r\n"
    "  <va:header><va:service_tmr V=\"2024-01-01..2024-03-31\"/></va:header>\r\n"
    "  <va:body>\r\n"
    "    <va:hauptkapitel V=\"VA000001\"><va:titel V=\"Allgemeines\"/><va:p>Erster "
    "Absatz</va:p>\r\n"
    "      <va:kapitel V=\"VA000002\"><va:titel V=\"Diabetes\"/>\r\n"
    "        <va:ul><va:li>Punkt</va:li></va:ul></va:kapitel>\r\n"
    "    </va:hauptkapitel>\r\n"
    "  </va:body>\r\n"
    "</va:root>\r\n";

class VaViewTest : public KrwHomeTest {
  protected:
    // Runs the viewer on code; check sees it after its start.
    void Run(const char* code, std::function<void(CdiaVAStammView&)> check) {
        Play(std::move(check), code);
    }
};

TEST_F(VaViewTest, ChoosesTheNewestEditionThatIsNotInTheFuture) {
    const struct {
        std::vector<const char*> files;
        const char* today;
        const char* chosen;  // "" none
    } cases[] = {
        {{kQ1, kQ2}, "20240331", kQ1},
        {{kQ1, kQ2}, "20240401", kQ2},
        {{"VA_1.1_74_tf+2024q1_nr+1.xml", kQ2}, "20240601", "VA_1.1_74_tf+2024q1_nr+1.xml"},
        {{"VA_2.0_74_tf+2024q3_nr+1.xml", kQ2}, "20240601", kQ2},
        {{"VA_9.9_74_tf+2025q1_nr+1.xml", kQ1}, "20241231", kQ1},
        // Equal fields: the first name listed stays.
        {{kQ1, "VA_1.0_74_tf+2024q1_nr+1.XML"}, "20240601", "VA_1.0_74_tf+2024q1_nr+1.XML"},
        {{"VA_x.0_74_tf+2024q1_nr+1.xml"}, "20240601", ""},
        {{"VA_1.0_74_tf+2024q3_nr+1.xml"}, "20240601", ""},
        {{}, "20240601", ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(kbv);
        std::filesystem::create_directories(kbv);
        for (const char* name : c.files) Put(name, "");
        Q7SetToday(c.today);
        CdiaVAStammView view("", nullptr);
        CString path = kMuster;
        view.GetCurrentXml(kbv, path);
        EXPECT_EQ(path, kbv + (*c.chosen ? CString(c.chosen) : kMuster)) << c.today;
    }
}

// The whole manual: the end-to-end test; an unknown chapter is left out.
TEST_F(VaViewTest, ListsTheChaptersOfACode) {
    Q7SetToday("20240215");
    Put(kQ1, kManual);
    Load("icd", "code\ttext\tvachapters\nE119\tDiabetes\tVA999999VA000002\n");
    Run("E11.9", [](CdiaVAStammView& v) {
        EXPECT_EQ(v.GetCaption(),
                  "Verschluesselungsanleitung Stammdatei - 01.01.2024 - 31.03.2024 - ICD-Code "
                  "E11.9");
        EXPECT_EQ(Lines(v.m_list), "{0}\nDiabetes{4095}\n{0}\n \x95 Punkt{0}\n");
    });
    EXPECT_TRUE(front.shownMessages.empty());
}

TEST_F(VaViewTest, NamesWhatItCannotShow) {
    Q7SetToday("20240215");
    Load("icd", "code\ttext\tvachapters\nE119\tDiabetes\t\n");
    const char* const kNotFound =
        "Achtung|Verschluesselungsanleitung Stammdatei konnte nicht gefunden werden.";
    const char* const kInvalid =
        "Achtung|Die Verschluesselungsanleitung Stammdatei ist ung\374ltig.";
    const struct {
        const char* file;  // nullptr: none
        const char* code;
        const char* message;
        int captionSet;
    } cases[] = {
        {nullptr, "", kNotFound, 0},
        {"<a><b/></a>", "", kInvalid, 0},
        {"<a><b/><c/><d/></a>", "", kInvalid, 0},
        {"<a><b/><c/>", "", kInvalid, 0},  // cut off
        {kManual, "X99", "Achtung|ICD-Code konnte nicht gefunden werden.", 1},
        {kManual, "E119", "Achtung|Zu diesem ICD-Code konnten keine Informationen gefunden werden.",
         1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(kbv);
        std::filesystem::create_directories(kbv);
        if (c.file) Put(kQ1, c.file);
        front.shownMessages.clear();
        Run(c.code, [&](CdiaVAStammView& v) {
            EXPECT_EQ(v.m_list.GetCount(), 0) << c.message;
            EXPECT_EQ(v.GetCaption().Find(" - ") > 0, c.captionSet == 1) << c.message;
        });
        EXPECT_EQ(front.shownMessages, std::vector<CString>{c.message});
    }
}

}  // namespace
