// The ktb commands that change catalogs, run as a user runs them: record (folders, images, refusals,
// interruption), rm, mv and convert. Every refusal leaves the catalogs as they were and no scratch file.
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"
#include "tests/engine/discs/oldercatalog.h"
#include "tests/engine/discs/samplecatalogs.h"
#include "tests/support/discimages.h"
#include "tests/support/udfimage.h"
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

/// A file's bytes, or a mark for a folder.
std::string contentsOf(const std::string& path)
{
    return std::filesystem::is_directory(path) ? "<folder>" : readFileBytes(path);
}

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

/// The first disc record of a catalog file, read through the engine.
TKTBDisc firstDisc(const std::string& path)
{
    TKTBDisc disc {};
    KtbHandlePtr handle;
    if (ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY) == KTB_OK) {
        ktbReadDisc(handle.get(), KTB_HEADER_SIZE, disc);
    }
    return disc;
}

std::string title(const TKTBDisc& disc) { return std::string(ktbFieldText(disc.Title, sizeof disc.Title)); }

class RecordCommandTest : public KtbTest {
protected:
    void SetUp() override { ASSERT_TRUE(writeDiscTree(m_folder.file("tree"), standardDiscTree())); }

    /// An image of the tree with one byte of the record of path changed.
    void damageImage(const std::string& name, const std::string& path, std::size_t offset, std::uint8_t value)
    {
        ASSERT_TRUE(buildIsoImage(m_folder.file("tree"), m_folder.file(name)));
        ASSERT_TRUE(setIsoRecordByte(m_folder.file(name), path, offset, value));
    }
};

TEST_F(RecordCommandTest, RecordsAFolderUnderTheSerialOfItsPathAndTellsWhatItRecorded)
{
    const std::string catalog = m_folder.file("new.ktb");
    const std::string tree = m_folder.file("tree");
    ToolRun run = ktb({ "record", catalog, tree });
    ASSERT_EQ(run.status, 0) << run.err;
    VolumeFacts facts;
    ASSERT_TRUE(openPathDrive(tree)->volumeFacts(facts));
    const std::string serial = hex(__builtin_bswap32(facts.NtSerial));
    EXPECT_EQ(run.out,
        "Recorded \"tree\" (serial " + serial + ") into " + catalog
            + " at offset 256: 8 files, 7 folders, 106175 bytes used.\n");
    EXPECT_EQ(run.err, "") << "no progress unless on a terminal";
    EXPECT_TRUE(leftInTemporaryFolder().empty());
    const TKTBDisc disc = firstDisc(catalog);
    EXPECT_EQ(disc.Flags, 0U);
    EXPECT_EQ(disc.ScanTime >> 16, ktbNowLocalDos() >> 16) << "scanned today";

    // The same folder named another way is the same disc.
    const std::string before = readFileBytes(catalog);
    run = ktb({ "record", catalog, m_folder.file("./tree/") });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
        "ktb record: " + catalog + ": the disc is recorded already: \"tree\" (serial " + serial + ") at offset 256\n");
    EXPECT_EQ(readFileBytes(catalog), before);
}

TEST_F(RecordCommandTest, ImagesGetTheSerialTheirDiscWouldHave)
{
    const std::string iso = m_folder.file("disc.iso");
    const std::string cue = m_folder.file("disc.cue");
    ASSERT_TRUE(buildIsoImage(m_folder.file("tree"), iso));
    ASSERT_TRUE(writeCueDisc(cue, { CueTrack::data(iso) }));
    const std::uint32_t serial = __builtin_bswap32(laneSumSerial(readVolumeDescriptor(iso, 2)));

    const std::string first = m_folder.file("first.ktb");
    ToolRun run = ktb({ "record", first, iso, "--title", "My disc", "--comment=Backup" });
    ASSERT_EQ(run.status, 0) << run.err;
    TKTBDisc disc = firstDisc(first);
    EXPECT_EQ(disc.Serial, serial);
    EXPECT_EQ(title(disc), "My disc");
    EXPECT_EQ(std::string(ktbFieldText(disc.Comment, sizeof disc.Comment)), "Backup");
    EXPECT_EQ(disc.Files, 8U);

    // The CUE/BIN of the same image is the same disc.
    const std::string before = readFileBytes(first);
    run = ktb({ "record", first, cue });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
        "ktb record: " + first + ": the disc is recorded already: \"My disc\" (serial " + hex(serial)
            + ") at offset 256\n");
    EXPECT_EQ(readFileBytes(first), before);
    const std::string second = m_folder.file("second.ktb");
    ASSERT_EQ(ktb({ "record", second, cue }).status, 0);
    disc = firstDisc(second);
    EXPECT_EQ(disc.Serial, serial);
    EXPECT_EQ(title(disc), "KATALOX_TEST");

    const std::string audio = m_folder.file("audio.cue");
    CueLayout layout;
    ASSERT_TRUE(writeCueDisc(audio, { CueTrack::audio(300), CueTrack::audio(600) }, &layout));
    ASSERT_EQ(ktb({ "record", second, audio }).status, 0);
    KtbHandlePtr handle;
    ASSERT_EQ(ktbOpenOwned(handle, second.c_str(), KTB_OPEN_READONLY), KTB_OK);
    KtbEntityPtr found;
    ASSERT_TRUE(ktbFindDiscBySerialOwned(handle.get(), __builtin_bswap32(audioDiscSerial(layout)), found));
    EXPECT_EQ(found->disc()->Flags, KTB_DISC_AUDIO);
    EXPECT_EQ(title(*found->disc()), "Audio CD");
    EXPECT_TRUE(leftInTemporaryFolder().empty());
}

TEST_F(RecordCommandTest, EveryKindOfImageIsRecordedAsItsDisc)
{
    const std::string iso = m_folder.file("disc.iso");
    ASSERT_TRUE(buildIsoImage(m_folder.file("tree"), iso));
    const std::uint32_t isoSerial = __builtin_bswap32(laneSumSerial(readVolumeDescriptor(iso, 2)));
    const std::vector<CueTrack> tracks { CueTrack::data(iso), CueTrack::audio(300) };
    const std::vector<std::pair<std::string, CdImageFormat>> images { { "other.cue", CdImageFormat::CueOtherBin },
        { "pertrack.cue", CdImageFormat::CuePerTrack }, { "cooked.cue", CdImageFormat::CueCooked },
        { "clone.ccd", CdImageFormat::CloneCd }, { "dao.nrg", CdImageFormat::NeroDiscAtOnce },
        { "tao.nrg", CdImageFormat::NeroTrackAtOnce }, { "disc.toc", CdImageFormat::Cdrdao } };
    for (const auto& [name, format] : images) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeCdImage(m_folder.file(name), format, tracks));
        const std::string catalog = m_folder.file(name + ".ktb");
        const ToolRun run = ktb({ "record", catalog, m_folder.file(name) });
        ASSERT_EQ(run.status, 0) << run.err;
        const TKTBDisc disc = firstDisc(catalog);
        EXPECT_EQ(disc.Serial, isoSerial);
        EXPECT_EQ(disc.Files, 8U);
        EXPECT_EQ(disc.Flags, 0U) << "track 1 holds data";
    }
    UdfImage udf(standardDiscTree());
    ASSERT_TRUE(writeFileBytes(m_folder.file("dvd.udf"), udf.bytes()));
    const ToolRun run = ktb({ "record", m_folder.file("udf.ktb"), m_folder.file("dvd.udf") });
    ASSERT_EQ(run.status, 0) << run.err;
    const TKTBDisc disc = firstDisc(m_folder.file("udf.ktb"));
    EXPECT_EQ(disc.Serial, laneSumSerial(udf.bytes().substr(udf.fileSetSector() * 2048, 2048)))
        << "the UDF report is the byte-reversed lane sums, stored reversed once more";
    EXPECT_EQ(title(disc), "Katalox UDF");
    EXPECT_EQ(disc.Files, 8U);
    EXPECT_EQ(disc.Folders, 7U);
}

/// One refused recording: how to set it up and the message it must give.
struct Refusal {
    std::string name;
    std::string catalog; ///< in the test's folder
    std::string source;
    std::function<void()> prepare;
    std::string message; ///< "{catalog}" and "{source}" stand for the full paths
    std::vector<std::string> options {};
};

std::string expand(std::string text, const std::string& catalog, const std::string& source)
{
    for (const auto& [key, value] : { std::pair { "{catalog}", catalog }, std::pair { "{source}", source } }) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size())) {
            text.replace(at, std::strlen(key), value);
        }
    }
    return text;
}

TEST_F(RecordCommandTest, RefusalsLeaveTheCatalogAsItWasAndNoScratchFile)
{
    const ThreeDiscs three;
    const ThreeDiscs locked("Secret");
    std::string deep = "deep";
    for (int level = 0; level < 513; ++level) {
        deep += "/d";
    }
    const std::vector<Refusal> refusals = {
        { "empty folder", "c.ktb", "empty", [this] { std::filesystem::create_directory(m_folder.file("empty")); },
            "ktb record: {source}: nothing to record: the medium holds no files or folders\n" },
        { "folder that cannot be listed", "c.ktb", "deep",
            [this, deep] { std::filesystem::create_directories(m_folder.file(deep)); },
            "ktb record: {source}/" + deep.substr(5) + "/: the folder cannot be listed; the recording stopped\n" },
        { "missing source", "c.ktb", "missing", nullptr, "ktb record: {source}: no such folder, image or drive\n" },
        { "drive letter without a drive", "c.ktb", "", nullptr, "ktb record: no drive Q:\n" },
        { "text file", "c.ktb", "notes.txt", [this] { writeFileBytes(m_folder.file("notes.txt"), "hello"); },
            "ktb record: {source}: no readable disc in this image (an ISO 9660 or UDF image, or a CD image: .cue, "
            ".ccd, .nrg or .toc, is needed)\n" },
        { "damaged folder in an image", "c.ktb", "damaged.iso",
            [this] { damageImage("damaged.iso", "Docs/Deep", 0, 20); },
            "ktb record: {source}/Docs/: the folder cannot be listed (a damaged directory record); the recording "
            "stopped\n" },
        { "top folder of an image beyond its end", "c.ktb", "cut.iso", [this] { damageImage("cut.iso", "", 5, 0x7F); },
            "ktb record: {source}: the top folder cannot be read (it lies beyond the end of the volume); the "
            "recording stopped\n" },
        { "cue sheet naming a missing BIN", "c.ktb", "lonely.cue",
            [this] {
                writeFileBytes(
                    m_folder.file("lonely.cue"), "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
            },
            "ktb record: {source}: no readable disc in this image: gone.bin, named by the sheet, is missing\n" },
        { "pipe", "c.ktb", "pipe", [this] { ::mkfifo(m_folder.file("pipe").c_str(), 0600); },
            "ktb record: {source}: neither a folder nor a disc image\n" },
        { "catalog is a folder", "folder.ktb", "tree",
            [this] { std::filesystem::create_directory(m_folder.file("folder.ktb")); },
            "ktb record: {catalog}: cannot be written: Is a directory (KTB_ERR_FILENOTAVAILABLE)\n" },
        { "catalog in a missing folder", "nowhere/c.ktb", "tree", nullptr,
            "ktb record: {catalog}: cannot be written: No such file or directory (KTB_ERR_FILEEXISTS)\n" },
        { "not a catalog", "bad.ktb", "tree",
            [this] { writeFileBytes(m_folder.file("bad.ktb"), std::string(300, 'x')); },
            "ktb record: {catalog}: not a catalog file (KTB_ERR_INVALIDHEADER)\n" },
        { "locked catalog", "locked.ktb", "tree", [this, &locked] { write(locked.catalog, "locked.ktb"); },
            "ktb record: {catalog}: protected by a key: nothing may be changed (KTB_ERR_LOCKED)\n" },
        { "title too long", "c.ktb", "tree", nullptr,
            "ktb record: --title takes at most 63 bytes, not 64\nTry 'ktb record --help'.\n",
            { "--title", std::string(64, 't') } },
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        write(three.catalog, "c.ktb");
        if (refusal.prepare) {
            refusal.prepare();
        }
        const std::string catalog = m_folder.file(refusal.catalog);
        const std::string source = refusal.source.empty() ? "q" : m_folder.file(refusal.source);
        const std::string before = contentsOf(catalog);
        std::vector<std::string> arguments = { "record", catalog, source };
        arguments.insert(arguments.end(), refusal.options.begin(), refusal.options.end());
        const ToolRun run = ktb(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, expand(refusal.message, catalog, source));
        EXPECT_EQ(contentsOf(catalog), before);
        EXPECT_TRUE(leftInTemporaryFolder().empty());
    }
    EXPECT_FALSE(pathExists(m_folder.file("nowhere")));
}

TEST_F(RecordCommandTest, ACatalogTheProgramHoldsIsRefused)
{
    const std::string catalog = write(ThreeDiscs().catalog);
    KtbHandlePtr program;
    ASSERT_EQ(ktbOpenOwned(program, catalog.c_str(), 0), KTB_OK);
    const ToolRun run = ktb({ "record", catalog, m_folder.file("tree") });
    program.reset(); // the program lets go of the file
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
        "ktb record: " + catalog
            + ": in use by another program (Katalox?); close it there first (KTB_ERR_FILENOTAVAILABLE)\n");
    EXPECT_EQ(readFileBytes(catalog), ThreeDiscs().catalog.bytes());
}

struct InterruptCase {
    const char* Name;
    int Signal;
    bool CatalogExists;
};

void PrintTo(const InterruptCase& value, std::ostream* out) { *out << value.Name; }

class RecordInterruptTest : public RecordCommandTest, public testing::WithParamInterface<InterruptCase> { };

TEST_P(RecordInterruptTest, LeavesTheCatalogAsItWasAndNoScratchFile)
{
    const ThreeDiscs three;
    const std::string catalog = m_folder.file("c.ktb");
    if (GetParam().CatalogExists) {
        write(three.catalog, "c.ktb");
    }
    // The terminal's output is held, so the recording waits at its first line of progress, with its
    // scratch catalog made; the signal comes while it waits.
    TerminalRun run({ "record", catalog, m_folder.file("tree") }, temporaryFolder(), m_folder.file("out.txt"), true);
    ASSERT_TRUE(run.started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (leftInTemporaryFolder().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(leftInTemporaryFolder().empty()) << "the recording did not start";
    run.signal(GetParam().Signal);
    run.releaseOutput();
    EXPECT_EQ(run.wait(), 128 + GetParam().Signal);
    EXPECT_NE(run.terminalOutput().find("ktb record: " + m_folder.file("tree") + ": "), std::string::npos)
        << run.terminalOutput();
    EXPECT_NE(run.terminalOutput().find(" files, "), std::string::npos) << "the progress line";
    EXPECT_NE(run.terminalOutput().find("ktb record: interrupted; " + catalog + " is unchanged"), std::string::npos);
    EXPECT_EQ(readFileBytes(m_folder.file("out.txt")), "");
    if (GetParam().CatalogExists) {
        EXPECT_EQ(readFileBytes(catalog), three.catalog.bytes());
    } else {
        EXPECT_FALSE(pathExists(catalog)) << "a catalog made for the recording goes with it";
    }
    EXPECT_TRUE(leftInTemporaryFolder().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, RecordInterruptTest,
    testing::Values(InterruptCase { "CtrlC", SIGINT, true }, InterruptCase { "Terminate", SIGTERM, false }),
    [](const testing::TestParamInfo<InterruptCase>& info) { return std::string(info.param.Name); });

// ---------------------------------------------------------------------------------------------
// rm and mv

TEST_F(KtbTest, RmRemovesADiscAndTheLaterOnesMoveDown)
{
    const ThreeDiscs three;
    const std::string path = write(three.catalog);
    const ToolRun run = ktb({ "rm", path, std::to_string(three.second) });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Removed \"Second\" (serial 00000002) from " + path + ".\n");
    EXPECT_EQ(withoutModified(readFileBytes(path)), withoutModified(three.without(three.second, three.third)));
}

TEST_F(KtbTest, RmRefusesAndChangesNothing)
{
    CatalogBuilder damaged;
    damaged.beginDisc({ .serial = 5, .runLength = 170 });
    damaged.endDisc();
    const ThreeDiscs three;
    const std::string path = write(three.catalog);
    const std::string damagedPath = write(damaged, "damaged.ktb");
    const std::string lockedPath = write(ThreeDiscs("Secret").catalog, "locked.ktb");
    struct Case {
        std::string file;
        std::uint32_t offset;
        std::string message;
    };
    const Case cases[] = {
        { path, three.folder, path + ": offset " + std::to_string(three.folder) + " holds no disc" },
        { path, 0, path + ": offset 0 holds no disc" },
        { path, three.end, path + ": offset " + std::to_string(three.end) + " holds no disc" },
        { damagedPath, 256,
            damagedPath
                + ": the disc at offset 256 is damaged: its run does not end on its end-of-disc mark ('ktb check' "
                  "tells more) (KTB_ERR_BADENTITY)" },
        { lockedPath, 256, lockedPath + ": protected by a key: nothing may be changed (KTB_ERR_LOCKED)" },
        { m_folder.file("missing.ktb"), 256, m_folder.file("missing.ktb") + ": no such file" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string before = readFileBytes(c.file);
        const ToolRun run = ktb({ "rm", c.file, std::to_string(c.offset) });
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "ktb rm: " + c.message + "\n");
        EXPECT_EQ(withoutModified(readFileBytes(c.file)), withoutModified(before));
    }
    EXPECT_FALSE(pathExists(m_folder.file("missing.ktb")));
}

TEST_F(KtbTest, MvMovesADiscToTheEndOfAnotherCatalog)
{
    const ThreeDiscs three;
    const std::string source = write(three.catalog, "source.ktb");
    CatalogBuilder held;
    held.addEmptyDisc({ .serial = 77, .title = "Held" });
    const std::string destination = write(held, "destination.ktb");
    ToolRun run = ktb({ "mv", source, std::to_string(three.first), destination });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "Moved \"First\" (serial 0A0B0C0D) from " + source + " to " + destination + " at offset "
            + std::to_string(held.size()) + ".\n");
    EXPECT_EQ(withoutModified(readFileBytes(source)), withoutModified(three.without(three.first, three.second)));
    EXPECT_EQ(withoutModified(readFileBytes(destination)),
        withoutModified(held.bytes()) + three.run(three.first, three.second));

    // A destination that does not exist is made.
    const std::string fresh = m_folder.file("fresh.ktb");
    run = ktb({ "mv", source, "256", fresh });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFileBytes(fresh).substr(KTB_HEADER_SIZE), three.run(three.second, three.third));
}

TEST_F(KtbTest, MvRefusesAndLeavesBothCatalogsAsTheyWere)
{
    const ThreeDiscs three;
    const std::string source = write(three.catalog, "source.ktb");
    const std::string locked = write(ThreeDiscs("Secret").catalog, "locked.ktb");
    CatalogBuilder holdsSecond;
    holdsSecond.addEmptyDisc({ .serial = 2, .title = "Second too" });
    const std::string destination = write(holdsSecond, "destination.ktb");
    CatalogBuilder damaged;
    damaged.beginDisc({ .serial = 5, .runLength = 170 });
    damaged.endDisc();
    const std::string damagedPath = write(damaged, "damaged.ktb");
    const std::string fresh = m_folder.file("fresh.ktb");
    struct Case {
        std::string source;
        std::uint32_t offset;
        std::string destination;
        std::string message;
    };
    const Case cases[] = {
        { source, three.second, destination,
            destination + ": it holds a disc with the same serial number already (KTB_ERR_DISCEXISTS)" },
        // Nothing is copied when the disc cannot leave its catalog.
        { locked, three.second, fresh, locked + ": protected by a key: nothing may be changed (KTB_ERR_LOCKED)" },
        { locked, three.third, destination, locked + ": protected by a key: nothing may be changed (KTB_ERR_LOCKED)" },
        { source, three.first, locked, locked + ": protected by a key: nothing may be changed (KTB_ERR_LOCKED)" },
        { source, three.folder, destination, source + ": offset " + std::to_string(three.folder) + " holds no disc" },
        { damagedPath, 256, fresh,
            damagedPath
                + ": the disc at offset 256 is damaged: its run does not end on its end-of-disc mark ('ktb check' "
                  "tells more) (KTB_ERR_BADENTITY)" },
        { source, three.first, m_folder.file("./source.ktb"),
            "the disc is in " + m_folder.file("./source.ktb") + " already\nTry 'ktb mv --help'." },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string sourceBefore = readFileBytes(c.source);
        const std::string destinationBefore = readFileBytes(c.destination);
        const ToolRun run = ktb({ "mv", c.source, std::to_string(c.offset), c.destination });
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "ktb mv: " + c.message + "\n");
        EXPECT_EQ(withoutModified(readFileBytes(c.source)), withoutModified(sourceBefore));
        EXPECT_EQ(withoutModified(readFileBytes(c.destination)), withoutModified(destinationBefore));
        EXPECT_FALSE(pathExists(fresh)) << "a destination made for the move goes when it fails";
    }
}

// ---------------------------------------------------------------------------------------------
// Changes a failing disk cannot confirm, files in the way of a change

/// What ktb's environment gets to play a disk whose folder syncs fail once a change has committed.
std::vector<std::string> folderSyncsFailing()
{
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    return { std::string("LD_PRELOAD=") + FAIL_FOLDER_SYNC_LIBRARY,
        std::string("ASAN_OPTIONS=") + (sanitizer != nullptr ? sanitizer : "") + ":verify_asan_link_order=0" };
}

std::string notYetSafe(const std::string& command, const std::string& path)
{
    return "ktb " + command + ": " + path
        + ": done, but not yet safe on disk: the disk did not confirm it, and a power cut or system crash now may "
          "still take the change back\n";
}

TEST_F(KtbTest, AChangeTheDiskDoesNotConfirmStandsAndEndsWithStatus3)
{
    const ThreeDiscs three;
    const std::string path = write(three.catalog);
    const ToolRun run = ktb({ "rm", path, std::to_string(three.second) }, folderSyncsFailing());
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "Removed \"Second\" (serial 00000002) from " + path + ".\n");
    EXPECT_EQ(run.err, notYetSafe("rm", path));
    EXPECT_EQ(withoutModified(readFileBytes(path)), withoutModified(three.without(three.second, three.third)));
}

TEST_F(KtbTest, ALinkOfAnotherUserInTheWayOfANewCatalogIsNamedAndNeverFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user's file can only be made as root";
    }
    ASSERT_TRUE(writeDiscTree(m_folder.file("tree"), standardDiscTree()));
    // A link planted where a new catalog is built is what is in the way, not another program.
    const std::string created = m_folder.file("new.ktb");
    ASSERT_EQ(::symlink(m_folder.file("elsewhere").c_str(), (created + "-building").c_str()), 0);
    ASSERT_EQ(::lchown((created + "-building").c_str(), 12345, 12345), 0);
    const ToolRun run = ktb({ "record", created, m_folder.file("tree") });
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("ktb record: " + created + "-building: a symbolic link of user ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("it is never followed nor removed"), std::string::npos) << run.err;
    EXPECT_FALSE(pathExists(created));
    EXPECT_FALSE(pathExists(m_folder.file("elsewhere")));
}

// ---------------------------------------------------------------------------------------------
// convert

OlderCatalog olderCatalog()
{
    OlderCatalog older("Anna", "Old set", dayCount(2003, 5, 1, 12, 30, 10));
    older.disc({ .serial = 0x12345678, .title = "CD 1", .scanTime = dayCount(2004, 6, 7, 8, 9, 10), .files = 1 })
        .folder("Music")
        .file("song.mp3", 4000, CatalogBuilder::dosDateTime(2001, 7, 8, 9, 10, 12))
        .endFolder()
        .endDisc();
    return older;
}

TEST_F(KtbTest, ConvertWritesACatalogOfTheCurrentFormat)
{
    const std::string older = m_folder.file("older.ktb");
    const std::string converted = m_folder.file("new.ktb");
    ASSERT_TRUE(writeFileBytes(older, olderCatalog().bytes()));
    const ToolRun run = ktb({ "convert", older, converted });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Converted " + older + " into " + converted + ".\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFileBytes(older), olderCatalog().bytes());
    const ToolRun found = ktb({ "find", "song", converted });
    EXPECT_EQ(found.out,
        "Anna\\Old set\\CD 1\\Music\\song.mp3\t4000\t2001-07-08 09:10:12\n"
        "1 Discs with matches. 1 File matches. 0 Folder matches. \n");
}

TEST_F(KtbTest, ConvertRefusesAndWritesNothing)
{
    const std::string older = m_folder.file("older.ktb");
    const std::string current = write(ThreeDiscs().catalog, "current.ktb");
    const std::string garbage = m_folder.file("garbage.ktb");
    const std::string damaged = m_folder.file("damaged.ktb");
    const std::string existing = m_folder.file("existing.ktb");
    ASSERT_TRUE(writeFileBytes(older, olderCatalog().bytes()));
    ASSERT_TRUE(writeFileBytes(garbage, std::string(100, 'g')));
    ASSERT_TRUE(writeFileBytes(damaged, olderCatalog().raw("\x09").bytes()));
    ASSERT_TRUE(writeFileBytes(existing, "precious"));
    const std::string converted = m_folder.file("new.ktb");
    const std::string nowhere = m_folder.file("nowhere/new.ktb");
    struct Case {
        std::string older;
        std::string converted;
        std::string message;
    };
    const Case cases[] = {
        { older, existing, existing + ": the file exists already; name a new file" },
        { current, converted,
            current + ": a catalog of the current format already; nothing to convert (KTB_ERR_INVALIDHEADER); "
                + converted + " was not written" },
        { garbage, converted,
            garbage + ": not a catalog of the older format (KTB_ERR_INVALIDHEADER); " + converted
                + " was not written" },
        { damaged, converted,
            damaged + ": damaged: a record could not be read (KTB_ERR_BADENTITY); " + converted + " was not written" },
        { m_folder.file("missing.ktb"), converted, m_folder.file("missing.ktb") + ": no such file" },
        { older, nowhere,
            nowhere + ": cannot be created: No such file or directory (KTB_ERR_FILEEXISTS); " + nowhere
                + " was not written" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolRun run = ktb({ "convert", c.older, c.converted });
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "ktb convert: " + c.message + "\n");
        EXPECT_FALSE(pathExists(converted));
    }
    EXPECT_EQ(readFileBytes(existing), "precious");
    EXPECT_EQ(readFileBytes(older), olderCatalog().bytes());
}

TEST_F(KtbTest, ConvertRetriedAfterAKillRemovesWhatTheKilledOneLeft)
{
    const std::string older = m_folder.file("older.ktb");
    const std::string converted = m_folder.file("new.ktb");
    ASSERT_TRUE(writeFileBytes(older, olderCatalog().bytes()));
    // What a conversion killed while it wrote leaves: its file under a name of its own, and its journal.
    ASSERT_TRUE(writeFileBytes(converted + "-building", "KTB!half"));
    ASSERT_TRUE(writeFileBytes(converted + "-building-journal", "half"));
    const ToolRun run = ktb({ "convert", older, converted });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(pathExists(converted + "-building"));
    EXPECT_FALSE(pathExists(converted + "-building-journal"));
    EXPECT_EQ(ktb({ "check", converted }).status, 0);
}

TEST_F(KtbTest, RepairCopiesTheWholeDiscsIntoANewFileAndNamesWhatItLeftOut)
{
    ThreeDiscs three;
    // The second disc's file record is cut into: its name's length runs past the disc.
    three.catalog.patchByte(three.second + CatalogBuilder::DiscRecordBytes + 1, 0xFF);
    const std::string damaged = write(three.catalog, "damaged.ktb");
    const std::string repaired = m_folder.file("repaired.ktb");
    EXPECT_EQ(ktb({ "check", damaged }).status, 1);

    const ToolRun run = ktb({ "repair", damaged, repaired });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "Left out " + std::to_string(three.third - three.second) + " bytes at offset " + std::to_string(three.second)
            + ": no whole disc there.\nCopied 2 discs of " + damaged + " into " + repaired + ".\n");
    EXPECT_EQ(readFileBytes(damaged), three.catalog.bytes()) << "the damaged file is only read";
    EXPECT_EQ(ktb({ "check", repaired }).status, 0);
    EXPECT_EQ(readFileBytes(repaired), three.without(three.second, three.third));

    // A new file is never written over.
    const ToolRun again = ktb({ "repair", damaged, repaired });
    EXPECT_EQ(again.status, 2);
    EXPECT_EQ(again.err, "ktb repair: " + repaired + ": the file exists already; name a new file\n");
}

} // namespace
