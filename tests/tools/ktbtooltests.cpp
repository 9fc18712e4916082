// The ktb program, run as a user runs it, on catalogs built by hand: its results on stdout, its
// messages on stderr and its exit statuses.
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

namespace {

const std::uint32_t s_date = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10);

/// Anna's music catalog: CD 1 with Music/Rock/song.mp3 and a file at the top, and a second disc
/// whose names are Windows-1252.
struct Music {
    CatalogBuilder catalog;
    std::uint32_t disc1, music, rock, song, readme, autorun, disc2;

    Music()
    {
        catalog.setOwner("Anna").setName("Caf\xE9 music").setCreated(CatalogBuilder::dosDateTime(2001, 2, 3, 4, 5, 6));
        disc1 = catalog.beginDisc(
            { .serial = 0x1234ABCD, .title = "CD 1", .scanTime = s_date, .used = 4010, .capacity = 681574400 });
        music = catalog.beginFolder("Music");
        rock = catalog.beginFolder("Rock");
        song = catalog.addFile("song.MP3", 4000, s_date);
        catalog.endFolder();
        readme = catalog.addFile("readme.txt", 10, 0);
        catalog.endFolder();
        autorun = catalog.addFile("autorun.inf", 45, s_date);
        catalog.endDisc();
        disc2 = catalog.beginDisc({ .serial = 7, .title = "F\xEAte" });
        catalog.beginFolder("\xC9t\xE9 mp3");
        catalog.endFolder();
        catalog.endDisc();
    }
};

TEST_F(KtbTest, HelpForTheToolAndEveryCommand)
{
    const ToolRun help = ktb({ "--help" });
    EXPECT_EQ(help.status, 0);
    for (const char* command : { "info", "ls", "find", "stats", "check", "record", "rm", "mv", "convert" }) {
        EXPECT_NE(help.out.find(std::string("  ") + command), std::string::npos) << command;
        const ToolRun own = ktb({ command, "--help" });
        EXPECT_EQ(own.status, 0);
        EXPECT_EQ(own.out.rfind(std::string("Usage: ktb ") + command, 0), 0u) << own.out;
        EXPECT_EQ(own.err, "");
    }
    const ToolRun version = ktb({ "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("ktb (Katalox) ", 0), 0u) << version.out;
    EXPECT_EQ(version.out.find('\n'), version.out.size() - 1) << "one line";
}

TEST_F(KtbTest, WrongCommandLinesAreErrors)
{
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        { {}, "Usage: ktb" },
        { { "frobnicate" }, "ktb: unknown command 'frobnicate'" },
        { { "find", "-x", "a", "b.ktb" }, "ktb find: unknown option -x\nTry 'ktb find --help'." },
        { { "find", "pattern" }, "ktb find: no catalog file or folder given" },
        { { "record", "a.ktb" }, "ktb record: no source given" },
        { { "record", "a.ktb", "dir", "--colour", "red" }, "ktb record: unknown option --colour" },
        { { "record", "a.ktb", "dir", "--title" }, "ktb record: option --title needs a value" },
        { { "rm", "a.ktb" }, "ktb rm: no disc offset given" },
        { { "rm", "a.ktb", "5x" }, "ktb rm: '5x' is not an offset" },
        { { "mv", "a.ktb", "256" }, "ktb mv: a catalog, a disc offset and a destination catalog are needed" },
        { { "mv", "a.ktb", "x", "b.ktb" }, "ktb mv: 'x' is not an offset" },
        { { "convert", "a.ktb" }, "ktb convert: an older catalog and the new file's name are needed" },
        { { "info" }, "ktb info: no catalog file given" },
        { { "ls", "a.ktb", "12x" }, "ktb ls: '12x' is not an offset" },
        { { "check", "--verbose", "a.ktb" }, "ktb check: unknown option --verbose" },
        { { "stats", "--json" }, "ktb stats: no catalog file or folder given" },
        { { "stats", "--by", "colour", "a.ktb" }, "ktb stats: --by takes kind, ext, year, size or disc, not 'colour'" },
    };
    for (const Case& c : cases) {
        const ToolRun run = ktb(c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

TEST_F(KtbTest, InfoShowsTheHeaderAndTotals)
{
    const Music m;
    const std::string path = write(m.catalog);
    CatalogBuilder locked;
    locked.setKey("Secret").setModified(0);
    const std::string lockedPath = write(locked, "locked.ktb");
    const ToolRun run = ktb({ "info", path, lockedPath });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        path
            + "\n"
              "  Owner:     Anna\n"
              "  Name:      Caf\xC3\xA9 music\n"
              "  Created:   2001-02-03 04:05:06\n"
              "  Modified:  2001-02-03 04:05:06\n"
              "  Version:   0.5\n"
              "  Locked:    no\n"
              "  Discs:     2\n"
              "  Folders:   3\n"
              "  Files:     3\n"
              "  Bytes:     4055\n"
              "\n"
            + lockedPath
            + "\n"
              "  Owner:     \n"
              "  Name:      \n"
              "  Created:   2001-02-03 04:05:06\n"
              "  Modified:  -\n"
              "  Version:   0.5\n"
              "  Locked:    yes (protected by a key)\n"
              "  Discs:     0\n"
              "  Folders:   0\n"
              "  Files:     0\n"
              "  Bytes:     0\n");
}

TEST_F(KtbTest, InfoNamesTheFileAndTheEngineCode)
{
    const std::string bad = m_folder.file("bad.ktb");
    writeFileBytes(bad, std::string(300, 'x'));
    std::string olderBytes = "Katalox Data Set" + std::string(72, '\0');
    writeFileBytes(m_folder.file("older.ktb"), olderBytes);
    ToolRun run = ktb({ "info", bad, m_folder.file("older.ktb"), m_folder.file("missing.ktb") });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
        "ktb info: " + bad + ": not a catalog file (KTB_ERR_INVALIDHEADER)\nktb info: " + m_folder.file("older.ktb")
            + ": a catalog of another version (an older one can be converted) (KTB_ERR_WRONGVERSION)\nktb info: "
            + m_folder.file("missing.ktb") + ": cannot read the file (KTB_ERR_FILENOTAVAILABLE)\n");

    // What cannot be a catalog whatever it holds is named at once: a FIFO would block a plain open for
    // ever, and a file of 4 GiB or more passes the format's 32-bit offsets (a sparse one takes no room).
    const std::string fifo = m_folder.file("fifo.ktb");
    const std::string huge = m_folder.file("huge.ktb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    ASSERT_TRUE(writeFileBytes(huge, "KTB!"));
    ASSERT_EQ(::truncate(huge.c_str(), 5ll << 30), 0);
    for (const char* command : { "info", "rm" }) {
        std::vector<std::string> arguments { command, fifo };
        if (std::string(command) == "rm") {
            arguments.push_back("256");
        }
        run = ktb(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err,
            "ktb " + std::string(command) + ": " + fifo + ": not a plain file (a FIFO or a device?); refused\n");
    }
    run = ktb({ "info", huge });
    EXPECT_EQ(run.err, "ktb info: " + huge + ": too large for a catalog (4 GiB or more)\n");

    // A damaged body: the header is shown, the totals are not.
    CatalogBuilder damaged;
    damaged.beginDisc({ .serial = 1, .title = "x" });
    const std::uint32_t stray = damaged.rawByte(9);
    const std::string damagedPath = write(damaged, "damaged.ktb");
    run = ktb({ "info", damagedPath });
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("  Locked:    no\n"), std::string::npos);
    EXPECT_EQ(run.out.find("Discs:"), std::string::npos);
    EXPECT_EQ(run.err,
        "ktb info: " + damagedPath + ": damaged record at offset " + std::to_string(stray)
            + " (tag 9) (KTB_ERR_BADENTITY)\n");
}

TEST_F(KtbTest, LsListsDiscsAndTheContentsOfADiscOrFolder)
{
    const Music m;
    const std::string path = write(m.catalog);
    ToolRun run = ktb({ "ls", path });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "       256  1234ABCD        3        2            4010  2003-05-01 12:30:10  CD 1\n" + std::string("       ")
            + std::to_string(m.disc2)
            + "  00000007        0        1               0  -                    F\xC3\xAAte\n");

    run = ktb({ "ls", path, std::to_string(m.disc1) });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "       " + std::to_string(m.music) + "  folder               -  -                    Music\n       "
            + std::to_string(m.autorun) + "  file                45  2003-05-01 12:30:10  autorun.inf\n");

    run = ktb({ "ls", path, std::to_string(m.music) });
    EXPECT_EQ(run.out,
        "       " + std::to_string(m.rock) + "  folder               -  -                    Rock\n       "
            + std::to_string(m.readme) + "  file                10  -                    readme.txt\n");

    for (const std::uint32_t offset : { m.song, 0u, 100u, m.song + 1, 999999u }) {
        run = ktb({ "ls", path, std::to_string(offset) });
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "ktb ls: " + path + ": offset " + std::to_string(offset) + " holds no disc or folder\n");
    }
    // Offsets may be written in hexadecimal: 0x100 is the first disc.
    EXPECT_EQ(ktb({ "ls", path, "0x100" }).out, ktb({ "ls", path, "256" }).out);
}

TEST_F(KtbTest, ControlCharactersOfNamesReachTheTerminalAsQuestionMarks)
{
    // A tab and Windows-1252's 0x9D (the control character U+009D, which starts a terminal command),
    // and U+009B (which starts an escape sequence) written as UTF-8.
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "Tab\there\x9D" });
    catalog.endDisc();
    catalog.beginDisc({ .serial = 2, .title = "CSI\xC2\x9B[31m red" });
    catalog.endDisc();
    const ToolRun run = ktb({ "ls", write(catalog) });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("  Tab?here?\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  CSI?[31m red\n"), std::string::npos) << run.out;
}

// The places of the results as the program's tree names them.
const std::string s_cd1 = "Anna\\Caf\xC3\xA9 music\\CD 1\\";
const std::string s_fete = "Anna\\Caf\xC3\xA9 music\\F\xC3\xAAte\\";

TEST_F(KtbTest, FindNamesEachResultByItsPlaceInTheTreeAndEndsWithTheSummary)
{
    const Music m;
    const std::string path = write(m.catalog);
    ToolRun run = ktb({ "find", "mp3", path });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        s_fete + "\xC3\x89t\xC3\xA9 mp3\\\t-\t-\n" + s_cd1
            + "Music\\Rock\\song.MP3\t4000\t2003-05-01 12:30:10\n"
              "2 Discs with matches. 1 File matches. 1 Folder matches. \n");
    EXPECT_EQ(run.err, "");

    // Folders first, then files, each by name ignoring letter case, whatever their disc.
    run = ktb({ "find", "*o*", path });
    EXPECT_EQ(run.out,
        s_cd1 + "Music\\Rock\\\t-\t-\n" + s_cd1 + "autorun.inf\t45\t2003-05-01 12:30:10\n" + s_cd1
            + "Music\\Rock\\song.MP3\t4000\t2003-05-01 12:30:10\n"
              "1 Discs with matches. 2 File matches. 1 Folder matches. \n");

    // A search text with a non-ASCII letter finds the Windows-1252 name too.
    run = ktb({ "find", "\xC3\x89t\xC3\xA9*", path });
    EXPECT_EQ(
        run.out, s_fete + "\xC3\x89t\xC3\xA9 mp3\\\t-\t-\n1 Discs with matches. 0 File matches. 1 Folder matches. \n");

    run = ktb({ "find", "-c", "*.txt", path });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1\n");
}

TEST_F(KtbTest, FindAnswersOneWhenNothingMatchesAndZeroForADiscTitle)
{
    const Music m;
    const std::string path = write(m.catalog);
    ToolRun run = ktb({ "find", "zebra", path });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "0 Discs with matches. 0 File matches. 0 Folder matches. \n");
    EXPECT_EQ(run.err, "");
    run = ktb({ "find", "-c", "zebra", path });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "0\n");
    // A disc whose title holds the text is a match of its own.
    run = ktb({ "find", "cd", path });
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "1 Discs with matches. 0 File matches. 0 Folder matches. \n");
}

TEST_F(KtbTest, FindListsAtMostTheLimitAndCountsEveryMatch)
{
    const Music m;
    const std::string path = write(m.catalog);
    // The results kept are the first ones the search meets, shown in the usual order.
    ToolRun run = ktb({ "find", "--limit", "2", "*o*", path });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        s_cd1 + "Music\\Rock\\\t-\t-\n" + s_cd1
            + "Music\\Rock\\song.MP3\t4000\t2003-05-01 12:30:10\n"
              "1 Discs with matches. 2 File matches. 1 Folder matches. \n"
              "Displaying the first 2 items. \n");
    EXPECT_EQ(ktb({ "find", "--limit=3", "*o*", path }).out.find("Displaying"), std::string::npos)
        << "every match is shown";
    for (const char* limit : { "--limit=0", "--limit=x", "--limit=-1", "--limit" }) {
        run = ktb({ "find", "*o*", path, limit });
        EXPECT_EQ(run.status, 2) << limit;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("ktb find: ", 0), 0u) << run.err;
    }
}

TEST_F(KtbTest, FindFiltersBySizeDayAndKindAndFoldsLetterCaseBeyondAscii)
{
    const Music m;
    const std::string path = write(m.catalog);
    // "*o*" finds Music\Rock, song.MP3 (4000 bytes, 2003-05-01) and autorun.inf (45 bytes, 2003-05-01).
    EXPECT_EQ(ktb({ "find", "-c", "--min-size", "45", "--max-size=4000", "*o*", path }).out, "2\n");
    EXPECT_EQ(ktb({ "find", "-c", "--min-size", "46", "*o*", path }).out, "1\n");
    EXPECT_EQ(ktb({ "find", "-c", "--max-size", "3K", "*o*", path }).out, "1\n");
    EXPECT_EQ(ktb({ "find", "-c", "--newer", "2003-05-01", "--older", "2003-05-01", "*o*", path }).out, "2\n");
    EXPECT_EQ(ktb({ "find", "-c", "--newer", "2003-05-02", "*o*", path }).status, 1);
    EXPECT_EQ(ktb({ "find", "-c", "--type", "d", "*o*", path }).out, "1\n");
    EXPECT_EQ(ktb({ "find", "-c", "--type=f", "*o*", path }).out, "2\n");
    // Letters beyond ASCII in either case, in both stored encodings of names.
    ToolRun run = ktb({ "find", "\xC3\xA9T\xC3\x89*", path });
    EXPECT_EQ(
        run.out, s_fete + "\xC3\x89t\xC3\xA9 mp3\\\t-\t-\n1 Discs with matches. 0 File matches. 1 Folder matches. \n");
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>> { { "--min-size", "ten" },
             { "--max-size", "5X" }, { "--newer", "2003-13-01" }, { "--older", "1.5.2003" }, { "--type", "x" },
             { "--type", "d", "--min-size", "1" }, { "--min-size", "2", "--max-size", "1" } }) {
        std::vector<std::string> arguments { "find" };
        arguments.insert(arguments.end(), bad.begin(), bad.end());
        arguments.insert(arguments.end(), { "*o*", path });
        run = ktb(arguments);
        EXPECT_EQ(run.status, 2) << bad[0];
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("ktb find: ", 0), 0u) << run.err;
    }
}

TEST_F(KtbTest, FindSearchesTheCatalogsDirectlyInAFolderOnce)
{
    std::filesystem::create_directories(m_folder.file("sets/sub"));
    CatalogBuilder nobody;
    nobody.beginDisc({ .serial = 1, .title = "One" });
    nobody.addFile("zeta.txt", 5);
    nobody.endDisc();
    write(nobody, "sets/a.ktb");
    CatalogBuilder bob;
    bob.setOwner("Bob").setName("Bobs");
    bob.beginDisc({ .serial = 2, .title = "Two" });
    bob.beginFolder("Alpha");
    bob.addFile("beta.txt", 7);
    bob.endFolder();
    bob.endDisc();
    write(bob, "sets/B.KTB");
    write(bob, "sets/sub/c.ktb");
    writeFileBytes(m_folder.file("sets/notes.txt"), "not a catalog");
    const ToolRun run = ktb({ "find", "", m_folder.file("sets"), m_folder.file("sets/a.ktb") });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "Bob\\Bobs\\Two\\Alpha\\\t-\t-\n"
        "Bob\\Bobs\\Two\\Alpha\\beta.txt\t7\t-\n"
        "[Nobody]\\a.ktb\\One\\zeta.txt\t5\t-\n"
        "2 Discs with matches. 2 File matches. 1 Folder matches. \n");
    EXPECT_EQ(run.err, "");
}

TEST_F(KtbTest, FindShowsWhatComesBeforeADamagedRecordAndReportsTheDamage)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "One" });
    catalog.addFile("alpha.txt", 5);
    const std::uint32_t bad = catalog.rawByte(9);
    catalog.addFile("beta.txt", 6);
    const std::string path = write(catalog, "damaged.ktb");
    const ToolRun run = ktb({ "find", ".txt", path });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out,
        "[Nobody]\\damaged.ktb\\One\\alpha.txt\t5\t-\n"
        "1 Discs with matches. 1 File matches. 0 Folder matches. \n");
    EXPECT_NE(run.err.find(path + ": damaged record at offset " + std::to_string(bad)), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("KTB_ERR_BADENTITY"), std::string::npos) << run.err;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    std::sort(result.begin(), result.end());
    return result;
}

TEST_F(KtbTest, FindReportsEveryCatalogItCannotReadAndSearchesTheOthers)
{
    const Music m;
    std::filesystem::create_directories(m_folder.file("sets"));
    write(m.catalog, "sets/good.ktb");
    const std::string bad = m_folder.file("sets/bad.ktb");
    const std::string older = m_folder.file("sets/older.ktb");
    const std::string empty = m_folder.file("sets/empty.ktb");
    writeFileBytes(bad, std::string(300, 'x'));
    writeFileBytes(older, "Katalox Data Set" + std::string(72, '\0'));
    writeFileBytes(empty, "");
    const std::string missing = m_folder.file("missing.ktb");
    const ToolRun run = ktb({ "find", "readme", m_folder.file("sets"), missing });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out,
        "Anna\\Caf\xC3\xA9 music\\CD 1\\Music\\readme.txt\t10\t-\n"
        "1 Discs with matches. 1 File matches. 0 Folder matches. \n");
    EXPECT_EQ(lines(run.err),
        lines("ktb find: " + bad + ": not a catalog file (KTB_ERR_INVALIDHEADER)\nktb find: " + older
            + ": a catalog of another version (an older one can be converted) (KTB_ERR_WRONGVERSION)\nktb find: "
            + empty + ": empty file, not a catalog (KTB_ERR_MAPPINGFAILED)\nktb find: " + missing
            + ": no such file or folder\n"));
}

TEST_F(KtbTest, FindKeepsWhatItFoundBeforeADamagedRecord)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "D" });
    catalog.addFile("a.txt", 1);
    catalog.addFile("b.txt", 2);
    catalog.truncate(catalog.size() - 3);
    const std::string path = write(catalog);
    const ToolRun run = ktb({ "find", ".txt", path });
    EXPECT_EQ(run.out, "[Nobody]\\c.ktb\\D\\a.txt\t1\t-\n1 Discs with matches. 1 File matches. 0 Folder matches. \n");
    // A record cut short is damage too: reported, with the error status.
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("KTB_ERR_BADENTITY"), std::string::npos) << run.err;
}

TEST_F(KtbTest, ReadsWhileTheProgramHoldsTheFile)
{
    const Music m;
    const std::string path = write(m.catalog);
    KtbHandlePtr writer;
    ASSERT_EQ(ktbOpenOwned(writer, path.c_str(), 0), KTB_OK);
    const ToolRun run = ktb({ "find", "-c", "", path });
    const ToolRun info = ktb({ "info", path });
    writer.reset(); // the program lets go of the file
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "6\n");
    EXPECT_EQ(info.status, 0) << info.err;
}

// ---------------------------------------------------------------------------------------------
// ktb check: one damaged catalog per row, each with its first fault and the offset named.

struct Fault {
    const char* what;
    void (*build)(CatalogBuilder& catalog, std::uint32_t& offset);
    const char* message;
};

std::ostream& operator<<(std::ostream& out, const Fault& fault) { return out << fault.what; }

const Fault s_faults[] = {
    { "unknown tag",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            offset = c.rawByte(7);
        },
        "unknown record tag 7" },
    { "file record cut short",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            offset = c.addFile("name", 1);
            c.truncate(c.size() - 1);
        },
        "a file record runs past the end of the file" },
    { "disc record cut short",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            offset = c.beginDisc({ .serial = 1 });
            c.truncate(300);
        },
        "a disc record runs past the end of the file" },
    { "folder name cut short",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            offset = c.beginFolder("Music");
            c.truncate(c.size() - 2);
        },
        "a folder record runs past the end of the file" },
    { "RunLength too short",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            offset = c.beginDisc({ .serial = 1, .runLength = 170 });
            c.addFile("x", 1);
            c.endDisc();
        },
        "the disc's RunLength is 170 but its end-of-disc mark is at offset 435 (RunLength 180)" },
    { "RunLength of a disc being written",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.addEmptyDisc({ .serial = 1 });
            offset = c.beginDisc({ .serial = 2, .runLength = 0 });
            c.endDisc();
        },
        "the disc's RunLength is 0 but its end-of-disc mark is at offset 587 (RunLength 166)" },
    { "end of folder without a folder",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            c.beginFolder("a");
            c.endFolder();
            offset = c.endFolder();
            c.endDisc();
        },
        "an end-of-folder mark without an open folder" },
    { "end of disc with a folder open",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            c.beginFolder("a");
            c.beginFolder("b");
            c.endFolder();
            offset = c.endDisc();
        },
        "an end-of-disc mark while 1 folder(s) are open, the innermost at offset 421" },
    { "end of disc outside a disc",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.addEmptyDisc({ .serial = 1 });
            offset = c.rawByte(6);
        },
        "an end-of-disc mark outside any disc" },
    { "disc inside a disc",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            offset = c.beginDisc({ .serial = 2 });
        },
        "a disc starts inside the disc at offset 256 (no end-of-disc mark)" },
    { "file outside a disc", [](CatalogBuilder& c, std::uint32_t& offset) { offset = c.addFile("loose", 1); },
        "a file outside any disc" },
    { "folder outside a disc",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.addEmptyDisc({ .serial = 1 });
            offset = c.beginFolder("loose");
        },
        "a folder outside any disc" },
    { "file ends inside a disc",
        [](CatalogBuilder& c, std::uint32_t& offset) {
            c.beginDisc({ .serial = 1 });
            c.addFile("x", 1);
            offset = c.size();
        },
        "the file ends inside the disc at offset 256 (no end-of-disc mark)" },
};

class CheckFaultTest : public KtbTest, public ::testing::WithParamInterface<Fault> { };

TEST_P(CheckFaultTest, NamesTheFirstFaultAndItsOffset)
{
    CatalogBuilder catalog;
    std::uint32_t offset = 0;
    GetParam().build(catalog, offset);
    const std::string path = write(catalog);
    const ToolRun run = ktb({ "check", path });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, path + ": offset " + std::to_string(offset) + ": " + GetParam().message + "\n");
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, CheckFaultTest, ::testing::ValuesIn(s_faults));

TEST_F(KtbTest, CheckPassesSoundCatalogs)
{
    const Music m;
    const std::string path = write(m.catalog);
    const std::string empty = write(CatalogBuilder(), "empty.ktb");
    const std::string bad = m_folder.file("bad.ktb");
    writeFileBytes(bad, "KTB!");
    ToolRun run = ktb({ "check", path, empty });
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out,
        path + ": sound: 2 discs, 3 folders, 3 files, 4055 bytes\n" + empty
            + ": sound: 0 discs, 0 folders, 0 files, 0 bytes\n");
    run = ktb({ "check", path, bad });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ktb check: " + bad + ": not a catalog file (KTB_ERR_INVALIDHEADER)\n");
}

} // namespace
