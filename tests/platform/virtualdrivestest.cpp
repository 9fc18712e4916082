// "vdrives.lst": its line rules, and the system table that reads it again when it changes, letters the
// optical drives from D and lets no virtual drive take a letter already given; lines added and removed
// for the user.

#include "platform/virtualdrives.h"
#include "platform/configfolder.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct LinesCase {
    const char* Name;
    std::string Text;
    std::vector<std::string> Lines;
};

class ListLinesTest : public testing::TestWithParam<LinesCase> { };

TEST_P(ListLinesTest, CrLfCrAndLfEachEndALine) { EXPECT_EQ(splitListLines(GetParam().Text), GetParam().Lines); }

INSTANTIATE_TEST_SUITE_P(Texts, ListLinesTest,
    testing::Values(LinesCase { "Empty", "", {} }, LinesCase { "LastLineWithoutEnd", "a\r\nb", { "a", "b" } },
        LinesCase { "AllThreeEnds", "a\r\nb\rc\nd\r\n", { "a", "b", "c", "d" } },
        LinesCase { "LfCrIsTwoEnds", "a\n\rb", { "a", "", "b" } },
        LinesCase { "EmptyLinesKept", "\r\n\r\n", { "", "" } }, LinesCase { "LoneCrAtEnd", "a\r", { "a" } },
        LinesCase { "BlanksKept", " a \n", { " a " } }),
    [](const testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.Name); });

TEST(VirtualDriveLines, OnlyLetterEqualsPathLinesCountAndTheFirstLineOfALetterWins)
{
    const std::string text = "M=/isos/disc1.iso\r\n"
                             "n = /isos/with blank.iso  \r\n"
                             "MM=/not/a/letter\n"
                             "=/no/letter\n"
                             "P=\n"
                             "1=/digit\n"
                             "# a comment\n"
                             "M=/second/for/M\n"
                             "Q=relative/folder\n"
                             "\tR\t=\t/tabs";
    const std::vector<VirtualDriveLine> drives = parseVirtualDrives(text, "/config/");
    ASSERT_EQ(drives.size(), 4U);
    EXPECT_EQ(drives[0].Letter, 'M');
    EXPECT_EQ(drives[0].Path, "/isos/disc1.iso");
    EXPECT_EQ(drives[1].Letter, 'N');
    EXPECT_EQ(drives[1].Path, "/isos/with blank.iso");
    EXPECT_EQ(drives[2].Letter, 'Q');
    EXPECT_EQ(drives[2].Path, "/config/relative/folder");
    EXPECT_EQ(drives[3].Letter, 'R');
    EXPECT_EQ(drives[3].Path, "/tabs");
}

TEST(VirtualDriveLines, AnAddedLineTakesTheFirstLetterNeitherTakenNorWrittenAndRemovingKeepsTheRest)
{
    // The user's lines stay byte for byte: their own line ends, a line the table ignores, a last line
    // without its end.
    const std::string text = "e=/isos/one.iso\n"
                             "# kept\r\n"
                             "F = /taken/by/an/optical/drive\r"
                             "M=/first M\r\n"
                             "m=/second m, ignored\n"
                             "G=/last";
    EXPECT_EQ(firstFreeVirtualLetter(text, { 'D' }), 'H') << "E, F and G are written, D is an optical drive";
    EXPECT_EQ(firstFreeVirtualLetter("", { 'd', 'H' }), 'E');
    std::vector<char> all;
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        all.push_back(letter);
    }
    EXPECT_EQ(firstFreeVirtualLetter("", all), 0);
    all.pop_back();
    EXPECT_EQ(firstFreeVirtualLetter("", all), 'Z');

    const std::string added = withVirtualDriveLine(text, 'h', "/new/disc.iso");
    EXPECT_EQ(added, text + "\r\nH=/new/disc.iso\r\n");
    EXPECT_EQ(withVirtualDriveLine("", 'D', "/a"), "D=/a\r\n");
    EXPECT_EQ(withVirtualDriveLine("X=/b\n", 'D', "/a"), "X=/b\nD=/a\r\n");
    const std::vector<VirtualDriveLine> parsed = parseVirtualDrives(added, "/");
    ASSERT_FALSE(parsed.empty());
    EXPECT_EQ(parsed.back().Letter, 'H');
    EXPECT_EQ(parsed.back().Path, "/new/disc.iso");

    EXPECT_EQ(
        withoutVirtualDriveLines(text, 'M'), "e=/isos/one.iso\n# kept\r\nF = /taken/by/an/optical/drive\rG=/last");
    EXPECT_EQ(withoutVirtualDriveLines(text, 'g'),
        "e=/isos/one.iso\n# kept\r\nF = /taken/by/an/optical/drive\r"
        "M=/first M\r\nm=/second m, ignored\n");
    EXPECT_EQ(withoutVirtualDriveLines(text, 'Q'), text);
}

class SystemTableTest : public testing::Test {
protected:
    void SetUp() override { setConfigFolder(m_temp.path()); }
    void TearDown() override { setConfigFolder(""); }

    // Writes the list and moves its time on, so that even a rewrite within one clock tick is seen.
    void writeList(const std::string& text)
    {
        ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), text));
        const timespec times[2] = { { 0, UTIME_OMIT }, { 1000000000 + ++m_writes, 0 } };
        ASSERT_EQ(::utimensat(AT_FDCWD, m_temp.file("vdrives.lst").c_str(), times, 0), 0);
    }

    TempFolder m_temp;
    int m_writes = 0;
};

TEST_F(SystemTableTest, OpticalDrivesComeFromDAndVirtualDrivesTakeOnlyFreeLetters)
{
    std::filesystem::create_directory(m_temp.file("folder"));
    writeList("D=" + m_temp.file("folder") + "\nF=" + m_temp.file("folder") + "\nA=" + m_temp.file("folder") + "\n");
    SystemDriveTable table([] { return std::vector<std::string> { "/dev/test-sr0", "/dev/test-sr1" }; }, nullptr);
    EXPECT_EQ(table.letters(), (std::vector<char> { 'A', 'D', 'E', 'F' }));
    ASSERT_NE(table.drive('D'), nullptr);
    EXPECT_TRUE(table.drive('D')->isDevice());
    EXPECT_EQ(table.drive('D')->source(), "/dev/test-sr0");
    EXPECT_EQ(table.drive('E')->source(), "/dev/test-sr1");
    EXPECT_FALSE(table.drive('F')->isDevice());
    EXPECT_EQ(table.drive('a'), table.drive('A'));
    EXPECT_EQ(table.drive('G'), nullptr);

    // An optical drive without a readable disc answers like an empty drive, quietly.
    VolumeFacts facts;
    EXPECT_FALSE(table.drive('D')->volumeFacts(facts));
    EXPECT_FALSE(table.drive('D')->mediumPresent());
    bool audio = true;
    EXPECT_FALSE(table.drive('D')->isAudio(audio));
    EXPECT_FALSE(audio);
    EXPECT_EQ(table.drive('D')->openFolder(""), nullptr);
}

TEST_F(SystemTableTest, AChangedListAddsAndRemovesDrivesAndOldDrivesStayValid)
{
    std::filesystem::create_directory(m_temp.file("one"));
    std::filesystem::create_directory(m_temp.file("two"));
    SystemDriveTable table([] { return std::vector<std::string>(); }, nullptr);
    EXPECT_TRUE(table.letters().empty()) << "no list file";
    const std::uint64_t empty = table.revision();

    writeList("M=" + m_temp.file("one"));
    EXPECT_EQ(table.letters(), std::vector<char> { 'M' });
    Drive* first = table.drive('M');
    ASSERT_NE(first, nullptr);
    const std::uint64_t withM = table.revision();
    EXPECT_NE(withM, empty);

    writeList("M=" + m_temp.file("one") + "\r\nN=" + m_temp.file("two") + "\r\n");
    EXPECT_EQ(table.drive('M'), first) << "an unchanged line keeps its drive";
    EXPECT_EQ(table.letters(), (std::vector<char> { 'M', 'N' }));
    EXPECT_NE(table.revision(), withM);

    writeList("N=" + m_temp.file("two"));
    EXPECT_EQ(table.drive('M'), nullptr);
    EXPECT_EQ(first->source(), m_temp.file("one")) << "a drive handed out stays usable";
    VolumeFacts facts;
    EXPECT_TRUE(first->volumeFacts(facts));

    const std::uint64_t beforeRemoval = table.revision();
    std::filesystem::remove(m_temp.file("vdrives.lst"));
    EXPECT_TRUE(table.letters().empty());
    EXPECT_NE(table.revision(), beforeRemoval);
    const std::uint64_t settled = table.revision();
    EXPECT_EQ(table.revision(), settled) << "nothing changed, nothing to refill";
}

TEST_F(SystemTableTest, AVirtualDriveHasAMediumWhileItsPathExists)
{
    writeList("V=" + m_temp.file("disc.iso"));
    SystemDriveTable table([] { return std::vector<std::string>(); }, nullptr);
    Drive* drive = table.drive('V');
    ASSERT_NE(drive, nullptr);
    VolumeFacts facts;
    EXPECT_FALSE(drive->mediumPresent());
    EXPECT_FALSE(drive->volumeFacts(facts));

    ASSERT_TRUE(writeDiscTree(m_temp.file("tree"), standardDiscTree()));
    ASSERT_TRUE(buildIsoImage(m_temp.file("tree"), m_temp.file("disc.iso")));
    EXPECT_TRUE(drive->mediumPresent());
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.NtSerial, laneSumSerial(readVolumeDescriptor(m_temp.file("disc.iso"), 2)));
    drive->setDoor(true); // nothing to move
}

TEST_F(SystemTableTest, DrivesAddedAndRemovedForTheUserReachTheTableAndRefusedOnesChangeNothing)
{
    std::filesystem::create_directory(m_temp.file("folder"));
    writeList("D=/user/line\n");
    SystemDriveTable table([] { return std::vector<std::string> { "/dev/test-sr0" }; }, nullptr);
    char letter = 0;
    ASSERT_EQ(addVirtualDrive(m_temp.file("folder"), table.letters(), letter), VirtualDriveChange::Done);
    EXPECT_EQ(letter, 'E');
    EXPECT_EQ(table.letters(), (std::vector<char> { 'D', 'E' }));
    ASSERT_NE(table.drive('E'), nullptr);
    EXPECT_EQ(table.drive('E')->source(), m_temp.file("folder"));
    ASSERT_EQ(readVirtualDrives().size(), 2U);
    EXPECT_EQ(readVirtualDrives()[1].Letter, 'E');
    EXPECT_EQ(readVirtualDrives()[1].Path, m_temp.file("folder"));

    const std::string before = readFileBytes(m_temp.file("vdrives.lst"));
    EXPECT_EQ(addVirtualDrive("relative/path", table.letters(), letter), VirtualDriveChange::BadPath);
    EXPECT_EQ(addVirtualDrive(m_temp.file("two\nlines"), table.letters(), letter), VirtualDriveChange::BadPath);
    std::vector<char> everyLetter;
    for (char taken = 'A'; taken <= 'Z'; ++taken) {
        everyLetter.push_back(taken);
    }
    EXPECT_EQ(addVirtualDrive(m_temp.file("folder"), everyLetter, letter), VirtualDriveChange::NoFreeLetter);
    EXPECT_EQ(letter, 0);
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), before);

    ASSERT_EQ(removeVirtualDrive('e'), VirtualDriveChange::Done);
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), "D=/user/line\n");
    EXPECT_EQ(table.drive('E'), nullptr);
    EXPECT_EQ(removeVirtualDrive('Q'), VirtualDriveChange::Done) << "nothing to remove";

    // A list that cannot be replaced (a folder where its new copy goes) stays as it was.
    std::filesystem::create_directory(m_temp.file("vdrives.lst.new"));
    EXPECT_EQ(addVirtualDrive(m_temp.file("folder"), {}, letter), VirtualDriveChange::NotWritten);
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), "D=/user/line\n");
}

TEST_F(SystemTableTest, TheListIsReadFromTheConfigFolderInUse)
{
    writeList("M=/somewhere");
    SystemDriveTable table([] { return std::vector<std::string>(); }, nullptr);
    EXPECT_EQ(table.letters(), std::vector<char> { 'M' });
    TempFolder other;
    setConfigFolder(other.path());
    EXPECT_TRUE(table.letters().empty());
}

} // namespace
