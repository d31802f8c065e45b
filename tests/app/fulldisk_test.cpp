// q7host on a small disk of its own: filled up, an import and an editor
// save keep the work before and name the reason; made read-only, the
// practice is still read and every write is refused with its reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/app/RunQ7.h"

namespace {

const char* const kFull = "Der Datentr\xC3\xA4ger ist voll";
const char* const kReadOnly = "Die Praxisdatenbank ist schreibgesch\xC3\xBCtzt";
const char* const kWriteFailed =
    "MESSAGE Halt: Hinweis | Der Datensatz konnte nicht gespeichert oder gel\xC3\xB6scht werden.";

class FullDiskTest : public HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        disk = (dir / "disk").string();
        std::filesystem::create_directories(disk);
        // The seeded demo practice, database log included, takes about 2 MB.
        if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=3m") != 0)
            GTEST_SKIP() << "a small file system needs mount(2), which failed here ("
                         << std::strerror(errno) << "; the test must run as root)";
        mounted = true;
        home = disk + "/home";
        ASSERT_EQ(Q7({"seed-demo"}).status, 0);
    }
    void TearDown() override {
        if (mounted) umount2(disk.c_str(), MNT_DETACH);
        HomeTest::TearDown();
    }

    // Fills the disk, then frees keep bytes again.
    void Fill(off_t keep) {
        const int fd = open((disk + "/filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const std::string chunk(65536, 'f');
        off_t size = 0;
        for (ssize_t n; (n = write(fd, chunk.data(), chunk.size())) > 0;) size += n;
        ASSERT_EQ(ftruncate(fd, size > keep ? size - keep : 0), 0);
        close(fd);
    }
    void Free() { std::filesystem::remove(disk + "/filler"); }

    ProcessRun Editor(const std::string& script) {
        return Script({"dialog", "CdiaTB", "0"}, script);
    }

    std::string disk;
    bool mounted = false;
};

TEST_F(FullDiskTest, WorkBeforeIsKeptAndEveryFailureNamesItsReason) {
    const std::string file = dir.string() + "/tb.xml";
    {
        std::ofstream out(file, std::ios::binary);
        out << "<dazo_tb>";
        for (int i = 0; i < 1000; ++i)
            out << "<tb><id>v" << 1000 + i << "</id><group>a</group><description>d</description>"
                << "<lines><line><entry>0</entry><text>" << std::string(150, 'z')
                << "</text></line></lines></tb>";
        out << "</dazo_tb>";
    }
    const std::string before = Dump("tb");

    // Room for the index file of the database and a few batches of the import.
    Fill(240 * 1024);
    ProcessRun import = Editor("key Ctrl+I\nanswer " + file +
                               "\nkey Ctrl+S\nclick \xC3\x9C"
                               "bernehmen\nanswer ok\nkey Escape\n");
    EXPECT_NE(import.out.find("MESSAGE HaltE: Hinweis | Fehler beim Importieren!"),
              std::string::npos)
        << import.out << import.err;
    const size_t counted = import.err.find(" von 1000 Textbausteinen wurden importiert.");
    ASSERT_NE(counted, std::string::npos) << import.err;
    EXPECT_NE(import.err.find(kFull), std::string::npos) << import.err;
    const size_t number = import.err.rfind(' ', counted - 1) + 1;
    const int kept = std::stoi(import.err.substr(number, counted - number));
    Free();
    std::string after = Dump("tb");
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, 1000);
    EXPECT_NE(after.find("\nv" + std::to_string(999 + kept) + "\t"), std::string::npos);
    EXPECT_EQ(after.find("\nv" + std::to_string(1000 + kept) + "\t"), std::string::npos);

    // A save that does not fit: the old block stays, the mode and the box.
    Fill(40 * 1024);
    std::string text;
    for (int i = 0; i < 300; ++i) text += std::string(150, 'n') + "\\n";
    ProcessRun save =
        Editor("type Text " + text + "\nclick Speichern\nanswer ok\ndump\nkey Escape\nanswer no\n");
    EXPECT_NE(save.out.find(kWriteFailed), std::string::npos) << save.out;
    EXPECT_NE(save.out.find("caption Modus: \xC3\x84ndern"), std::string::npos);
    EXPECT_NE(save.err.find(kFull), std::string::npos) << save.err;
    Free();
    EXPECT_EQ(Dump("tb"), after);

    // Read-only: the practice is read, writes are refused with the reason.
    ASSERT_EQ(mount("tmpfs", disk.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=3m"), 0)
        << std::strerror(errno);
    EXPECT_EQ(Dump("tb"), after);
    ProcessRun refused = Editor(
        "type Beschreibung neu\nclick Speichern\nanswer ok\n"
        "key Escape\nanswer no\n");
    EXPECT_NE(refused.out.find(kWriteFailed), std::string::npos) << refused.out << refused.err;
    EXPECT_NE(refused.err.find(kReadOnly), std::string::npos) << refused.err;
    WriteFile(dir / "tb.tsv",
              "kuerzel\tgroup\tmember\tdescription\trestriction\ttext\nX\ta\t\t\t\t\n");
    ProcessRun load = Q7({"load", "tb", (dir / "tb.tsv").string()});
    EXPECT_EQ(load.status, 1);
    EXPECT_NE(load.err.find(kReadOnly), std::string::npos) << load.err;
}

}  // namespace
