// Recording a drive as a new disc: the disc record filled from the medium (the serial stored
// byte-reversed, the label, the sizes), the recorded tree against the source and against a folder walk,
// byte for byte against a catalog written by hand, and what stops a recording.

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "platform/drivelayer.h"
#include "tests/engine/discs/discsfixture.h"

#include <array>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <unistd.h>

namespace {

constexpr std::int64_t s_trackFileTime = 788918400; // 1995-01-01 00:00:00 UTC
constexpr std::int64_t s_smallestCapacity = 681574400;

/// The four 8-bit sums of the descriptor's bytes at offsets 0, 1, 2 and 3 modulo 4.
std::array<std::uint8_t, 4> laneSums(const std::string& descriptor)
{
    std::array<std::uint8_t, 4> sums {};
    for (std::size_t index = 0; index < descriptor.size(); ++index) {
        sums[index % 4] = static_cast<std::uint8_t>(sums[index % 4] + static_cast<unsigned char>(descriptor[index]));
    }
    return sums;
}

/// The volume's size from the primary descriptor: blocks times the block size.
std::int64_t volumeBytes(const std::string& image)
{
    const std::string primary = readVolumeDescriptor(image, 1);
    return static_cast<std::int64_t>(isoField32(primary, 80)) * (isoField32(primary, 128) & 0xFFFF);
}

std::uint64_t treeBytes(const std::vector<DiscTreeEntry>& tree)
{
    std::uint64_t bytes = 0;
    for (const DiscTreeEntry& entry : tree) {
        bytes += entry.Size;
    }
    return bytes;
}

std::size_t countKind(const std::vector<DiscItem>& items, std::uint8_t kind)
{
    return static_cast<std::size_t>(
        std::count_if(items.begin(), items.end(), [kind](const DiscItem& item) { return item.Kind == kind; }));
}

/// The images every recording test reads, built once.
class RecordTest : public DiscsTest {
protected:
    static void SetUpTestSuite()
    {
        s_images = new TempFolder();
        ASSERT_TRUE(writeDiscTree(image("tree"), standardDiscTree()));
        ASSERT_TRUE(buildIsoImage(image("tree"), image("joliet.iso")));
        IsoImageOptions primary;
        primary.Joliet = false;
        ASSERT_TRUE(buildIsoImage(image("tree"), image("primary.iso"), primary));
        ASSERT_TRUE(writeDiscTree(image("boottree"), standardDiscTree()));
        IsoImageOptions boot;
        boot.ElTorito = true;
        boot.VolumeId = "Boot Disc";
        ASSERT_TRUE(buildIsoImage(image("boottree"), image("boot.iso"), boot));
        ASSERT_TRUE(writeCueDisc(image("data.cue"), { CueTrack::data(image("joliet.iso")) }));
        IsoImageOptions genisoimage;
        genisoimage.Generator = IsoGenerator::Genisoimage;
        ASSERT_TRUE(buildIsoImage(image("tree"), image("genisoimage.iso"), genisoimage));
        genisoimage.Joliet = false;
        ASSERT_TRUE(buildIsoImage(image("tree"), image("genisoimage-primary.iso"), genisoimage));
        // The Joliet image in every kind of CD image, some with audio tracks after it.
        const std::vector<CueTrack> data { CueTrack::data(image("joliet.iso")) };
        const std::vector<CueTrack> mixed { CueTrack::data(image("joliet.iso")), CueTrack::audio(300),
            CueTrack::audio(451) };
        for (const auto& [name, format, tracks] :
            { std::tuple { "other.cue", CdImageFormat::CueOtherBin, data },
                { "pertrack.cue", CdImageFormat::CuePerTrack, mixed }, { "cooked.cue", CdImageFormat::CueCooked, data },
                { "clone.ccd", CdImageFormat::CloneCd, mixed }, { "dao.nrg", CdImageFormat::NeroDiscAtOnce, mixed },
                { "tao.nrg", CdImageFormat::NeroTrackAtOnce, mixed }, { "disc.toc", CdImageFormat::Cdrdao, mixed },
                { "raw.bin", CdImageFormat::RawBin, data } }) {
            ASSERT_TRUE(writeCdImage(image(name), format, tracks)) << name;
        }
        ASSERT_TRUE(writeFileBytes(image("plain.img"), readFileBytes(image("joliet.iso"))));
    }
    static void TearDownTestSuite()
    {
        delete s_images;
        s_images = nullptr;
    }
    static std::string image(const std::string& name) { return s_images->file(name); }

    /// Records drive T over source into a new catalog; the disc record given is the drive's.
    TKTBERROR record(const std::string& source, TKTBHandle*& catalog, TKTBDisc& given,
        TKTBWalkCallback callback = nullptr, void* userData = nullptr)
    {
        setDrive('T', source);
        catalog = createCatalog("record.ktb");
        given = TKTBDisc {};
        EXPECT_TRUE(ktbDiscFromDrive('T', given));
        return catalog == nullptr ? KTB_ERR_BADHANDLE : ktbRecordDrive(catalog, 'T', given, userData, callback);
    }

    static TempFolder* s_images;
};

TempFolder* RecordTest::s_images = nullptr;

struct SourceCase {
    const char* Name;
    const char* Source; ///< in the suite's folder
    const char* Image; ///< whose descriptor gives the serial; "" for a folder
    int DescriptorType; ///< 2 Joliet, 1 primary
    std::string (*Rename)(const std::string&);
    const char* Title;
};

void PrintTo(const SourceCase& source, std::ostream* out) { *out << source.Name; }

class RecordSourceTest : public RecordTest, public testing::WithParamInterface<SourceCase> { };

TEST_P(RecordSourceTest, RecordsTheSourceTreeAsItsWalkReportsIt)
{
    const SourceCase& source = GetParam();
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(image(source.Source), catalog, given), KTB_OK);
    const std::string bytes = fileBytes(catalog);
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));

    // The serial: the descriptor's lane sums, stored as the NT report reversed, so the file holds s0 to s3
    // in this order.
    const bool image = source.Image[0] != '\0';
    if (image) {
        const std::array<std::uint8_t, 4> sums
            = laneSums(readVolumeDescriptor(this->image(source.Image), source.DescriptorType));
        EXPECT_EQ(bytes.substr(KTB_HEADER_SIZE + CatalogBuilder::DiscSerial, 4),
            std::string(reinterpret_cast<const char*>(sums.data()), 4));
    } else {
        EXPECT_NE(stored.Serial, 0U) << "a folder's serial is a hash of its path, never 0";
        TKTBDisc again {};
        ASSERT_TRUE(ktbDiscFromDrive('T', again));
        EXPECT_EQ(again.Serial, stored.Serial) << "a rescan finds the same disc";
    }
    EXPECT_EQ(fieldText(stored.Title, sizeof stored.Title), source.Title);

    // The tree against the source, and in the order the walk reports it.
    const std::vector<DiscItem> items = discItems(catalog, KTB_HEADER_SIZE);
    std::vector<ListedItem> recorded = listing(items);
    if (std::string(source.Name) == "ElTorito") {
        const auto bootEntries = std::erase_if(
            recorded, [](const ListedItem& item) { return item.Path == "boot.img" || item.Path == "boot.catalog"; });
        EXPECT_EQ(bootEntries, 2U) << "the boot image and the boot catalog are files of the disc";
    }
    EXPECT_EQ(recorded, treeListing(standardDiscTree(), source.Rename));
    const std::vector<DiscItem> walked = walkItems("T:\\");
    EXPECT_EQ(items, walked);

    // The counts and sizes of the completed record.
    EXPECT_EQ(stored.Files, countKind(items, KTB_TAG_FILE));
    EXPECT_EQ(stored.Folders, countKind(items, KTB_TAG_FOLDER));
    EXPECT_EQ(stored.RunLength, bytes.size() - KTB_HEADER_SIZE);
    EXPECT_EQ(bytes.back(), KTB_TAG_ENDDISC);
    const std::int64_t used
        = image ? volumeBytes(this->image(source.Image)) : static_cast<std::int64_t>(treeBytes(standardDiscTree()));
    EXPECT_EQ(stored.Used, used);
    EXPECT_EQ(stored.Capacity, s_smallestCapacity);

    // Byte for byte what a catalog written by hand holds for that walk: gathering the bytes in memory
    // first changes nothing.
    TKTBDisc expected = given;
    expected.Used = used;
    expected.Capacity = s_smallestCapacity;
    EXPECT_EQ(bytes.substr(KTB_HEADER_SIZE), handBuiltDisc(expected, walked).bytes().substr(KTB_HEADER_SIZE));
}

INSTANTIATE_TEST_SUITE_P(Sources, RecordSourceTest,
    testing::Values(SourceCase { "Folder", "tree", "", 0, nullptr, "tree" },
        SourceCase { "Joliet", "joliet.iso", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "PrimaryOnly", "primary.iso", "primary.iso", 1, primaryName, "KATALOX_TEST" },
        SourceCase { "ElTorito", "boot.iso", "boot.iso", 2, jolietName, "Boot Disc" },
        SourceCase { "DataCue", "data.cue", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "GenisoimageJoliet", "genisoimage.iso", "genisoimage.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "GenisoimagePrimaryOnly", "genisoimage-primary.iso", "genisoimage-primary.iso", 1,
            genisoimagePrimaryName, "KATALOX_TEST" },
        SourceCase { "CueNamingAnotherBin", "other.cue", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "CueWithAFilePerTrack", "pertrack.cue", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "CueOfMode1Sectors", "cooked.cue", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "CloneCd", "clone.ccd", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "CloneCdImage", "clone.img", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "NeroDiscAtOnce", "dao.nrg", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "NeroTrackAtOnce", "tao.nrg", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "Cdrdao", "disc.toc", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "BinWithoutSheet", "raw.bin", "joliet.iso", 2, jolietName, "KATALOX_TEST" },
        SourceCase { "PlainImg", "plain.img", "joliet.iso", 2, jolietName, "KATALOX_TEST" }),
    [](const testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.Name); });

class AudioRecordTest : public RecordTest, public testing::WithParamInterface<std::vector<std::uint32_t>> { };

TEST_P(AudioRecordTest, RecordsOneTrackFilePerTrack)
{
    std::vector<CueTrack> tracks;
    for (const std::uint32_t sectors : GetParam()) {
        tracks.push_back(CueTrack::audio(sectors));
    }
    CueLayout layout;
    ASSERT_TRUE(writeCueDisc(m_temp.file("audio.cue"), tracks, &layout));
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(m_temp.file("audio.cue"), catalog, given), KTB_OK);
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));
    EXPECT_EQ(fieldText(stored.Title, sizeof stored.Title), "Audio CD");
    EXPECT_EQ(stored.Serial, __builtin_bswap32(audioDiscSerial(layout)));
    std::vector<DiscItem> expected;
    for (std::size_t track = 1; track <= tracks.size(); ++track) {
        char name[16];
        std::snprintf(name, sizeof name, "Track%02zu.cda", track);
        expected.push_back({ KTB_TAG_FILE, name, 44, localDos(s_trackFileTime) });
    }
    EXPECT_EQ(discItems(catalog, KTB_HEADER_SIZE), expected);
    EXPECT_EQ(stored.Files, tracks.size());
    EXPECT_EQ(stored.Folders, 0U);
}

INSTANTIATE_TEST_SUITE_P(Tracks, AudioRecordTest,
    testing::Values(std::vector<std::uint32_t> { 4537 }, std::vector<std::uint32_t> { 300, 4499 },
        std::vector<std::uint32_t> { 301, 4500, 74 }),
    [](const testing::TestParamInfo<std::vector<std::uint32_t>>& info) {
        return std::to_string(info.param.size()) + "Tracks";
    });

TEST_F(RecordTest, JolietNamesOfManyBytesAreRecordedWhole)
{
    // A name of 103 CJK characters is 309 bytes of UTF-8, and the two folders differ at their 101st
    // character only. No Linux file system keeps such names in UTF-8, so the tree is written in EUC-JP
    // (two bytes a character) for xorriso to read.
    const auto name = [](int count, const std::string& tail, bool eucJp) {
        std::string text;
        for (int index = 0; index < count; ++index) {
            text += eucJp ? "\xC6\xFC" : "\xE6\x97\xA5";
        }
        return text + tail;
    };
    std::vector<DiscTreeEntry> tree;
    std::vector<DiscTreeEntry> recorded;
    for (const bool eucJp : { true, false }) {
        std::vector<DiscTreeEntry>& entries = eucJp ? tree : recorded;
        entries = { { name(99, ".txt", eucJp), 7 }, { name(100, "A/", eucJp), 0 }, { name(100, "B/", eucJp), 0 },
            { name(100, "B/", eucJp) + name(102, "", eucJp), 3 } };
    }
    ASSERT_TRUE(writeDiscTree(m_temp.file("long"), tree));
    IsoImageOptions options;
    options.JolietLong = true;
    options.InputCharset = "euc-jp";
    ASSERT_TRUE(buildIsoImage(m_temp.file("long"), m_temp.file("long.iso"), options));
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(m_temp.file("long.iso"), catalog, given), KTB_OK);
    EXPECT_EQ(listing(discItems(catalog, KTB_HEADER_SIZE)), treeListing(recorded));
}

TEST_F(RecordTest, OneFolderWithOneFileIsWrittenAsItsFourRecords)
{
    ASSERT_TRUE(writeDiscTree(m_temp.file("disc"), { { "A/", 0 }, { "A/five.txt", 5 } }));
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(m_temp.file("disc"), catalog, given), KTB_OK);
    TKTBDisc expected = given;
    expected.Used = 5; // a folder reports no size of its own: the recorded bytes count
    expected.Capacity = s_smallestCapacity;
    const std::vector<DiscItem> items = { { KTB_TAG_FOLDER, "A", 0, 0 },
        { KTB_TAG_FILE, "five.txt", 5, localDos(DiscTreeTime) }, { KTB_TAG_ENDFOLDER, "", 0, 0 } };
    const CatalogBuilder byHand = handBuiltDisc(expected, items);
    EXPECT_EQ(fileBytes(catalog).substr(KTB_HEADER_SIZE), byHand.bytes().substr(KTB_HEADER_SIZE));
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));
    EXPECT_EQ(stored.Files, 1U);
    EXPECT_EQ(stored.Folders, 1U);
    EXPECT_EQ(stored.RunLength, byHand.size() - KTB_HEADER_SIZE);
}

/// A drive whose medium is made up as it is listed: folders of files with long names, so that a
/// recording of many megabytes needs no file system.
class GeneratedDrive final : public Drive, public DriveTable {
public:
    GeneratedDrive(int folders, int filesPerFolder)
        : m_folders(folders)
        , m_files(filesPerFolder)
    {
    }
    bool volumeFacts(VolumeFacts& facts) override
    {
        facts = { "Generated", 0x01020304, 0, {}, {} };
        return true;
    }
    bool isAudio(bool& audio) override { return !(audio = false); }
    void setDoor(bool) override { }
    std::unique_ptr<DriveFolderListing> openFolder(const std::string& relativePath) override
    {
        return relativePath.empty() ? std::make_unique<Listing>(m_folders, m_files, true) : nullptr;
    }
    bool isDevice() const override { return false; }
    std::string source() const override { return "generated"; }
    std::vector<char> letters() override { return { 'G' }; }
    Drive* drive(char letter) override { return letter == 'G' ? this : nullptr; }

private:
    class Listing final : public DriveFolderListing {
    public:
        Listing(int folders, int files, bool top)
            : m_folders(folders)
            , m_files(files)
            , m_top(top)
        {
        }
        bool next(TKTBDirEntry& entry) override
        {
            if (m_next == (m_top ? m_folders : m_files)) {
                return false;
            }
            const std::string name
                = m_top ? "folder" + std::to_string(m_next) : std::to_string(m_next) + std::string(236, 'n');
            std::snprintf(entry.Name, sizeof entry.Name, "%s", name.c_str());
            entry.Attributes = m_top ? KTB_ATTR_DIRECTORY : KTB_ATTR_ARCHIVE;
            entry.Size = m_top ? 0 : static_cast<std::uint64_t>(m_next % 7);
            entry.LastWriteTime = DiscTreeTime + m_next;
            ++m_next;
            return true;
        }
        std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry&) override
        {
            return m_top ? std::make_unique<Listing>(m_folders, m_files, false) : nullptr;
        }

    private:
        int m_folders;
        int m_files;
        bool m_top;
        int m_next = 0;
    };

    int m_folders;
    int m_files;
};

TEST_F(RecordTest, ARecordingLargerThanItsBufferIsTheSameAsOneWrittenByHand)
{
    // About 9 MiB of records: the new disc's bytes reach the file in more than one flush, and its record
    // is completed after the first part of it is in the file already.
    setDriveTable(std::make_unique<GeneratedDrive>(34, 1000));
    TKTBHandle* catalog = createCatalog("large.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc given {};
    ASSERT_TRUE(ktbDiscFromDrive('G', given));
    ASSERT_EQ(ktbRecordDrive(catalog, 'G', given, nullptr, nullptr), KTB_OK);
    const std::string bytes = fileBytes(catalog);
    ASSERT_GT(bytes.size(), 8u << 20);
    const std::vector<DiscItem> walked = walkItems("G:\\");
    TKTBDisc expected = given;
    expected.Used = 0;
    for (const DiscItem& item : walked) {
        expected.Used += item.Size;
    }
    expected.Capacity = s_smallestCapacity;
    EXPECT_TRUE(bytes.substr(KTB_HEADER_SIZE) == handBuiltDisc(expected, walked).bytes().substr(KTB_HEADER_SIZE));
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));
    EXPECT_EQ(stored.Files, 34000U);
    EXPECT_EQ(stored.Folders, 34U);
    EXPECT_EQ(stored.RunLength, bytes.size() - KTB_HEADER_SIZE);
}

TEST_F(RecordTest, TheWalkHandsEachEntryThePathOfTheFolderBeingListed)
{
    setDrive('T', image("joliet.iso"));
    std::vector<std::string> steps;
    const auto collect = [](std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* userData) {
        static_cast<std::vector<std::string>*>(userData)->push_back(std::to_string(kind) + " " + path + entry->Name);
        return true;
    };
    ASSERT_TRUE(ktbWalkFolder("T:\\Music\\", "*.*", collect, &steps));
    std::sort(steps.begin(), steps.end());
    EXPECT_EQ(steps,
        (std::vector<std::string> { "3 T:\\Music\\Rock",
            "4 T:\\Music\\Rock\\Gr\xC3\xBC\xC3\x9F"
            "e \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt",
            "4 T:\\Music\\Rock\\song.mp3", "4 T:\\Music\\a.txt", "5 T:\\Music\\Rock" }));
    EXPECT_EQ(ktbLastWalkFailure(), "");
}

TEST_F(RecordTest, SymbolicLinksAreRecordedAsFilesOfTheirOwnSize)
{
    const std::string top = m_temp.file("links");
    ASSERT_TRUE(writeDiscTree(top, { { "target/", 0 }, { "target/x.txt", 3 } }));
    ASSERT_EQ(::symlink(".", (top + "/loop").c_str()), 0);
    ASSERT_EQ(::symlink("target", (top + "/folderlink").c_str()), 0);
    ASSERT_EQ(::symlink("target/x.txt", (top + "/filelink").c_str()), 0);
    ASSERT_EQ(::symlink("no/such/thing", (top + "/dangling").c_str()), 0);
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(top, catalog, given), KTB_OK);
    std::vector<ListedItem> recorded = listing(discItems(catalog, KTB_HEADER_SIZE));
    for (ListedItem& item : recorded) {
        item.DateTime = 0; // the links' own times are the test's run time
    }
    EXPECT_EQ(recorded,
        (std::vector<ListedItem> { { "dangling", 13, 0 }, { "filelink", 12, 0 }, { "folderlink", 6, 0 },
            { "loop", 1, 0 }, { "target/", 0, 0 }, { "target/x.txt", 3, 0 } }));
}

TEST_F(RecordTest, ADiscWhoseSerialIsInTheFileIsRefusedAndNothingIsWritten)
{
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(image("joliet.iso"), catalog, given), KTB_OK);
    const std::string before = fileBytes(catalog);
    EXPECT_EQ(ktbRecordDrive(catalog, 'T', given, nullptr, nullptr), KTB_ERR_DISCEXISTS);
    const std::string after = fileBytes(catalog);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(KTB_HEADER_SIZE), before.substr(KTB_HEADER_SIZE));
}

TEST_F(RecordTest, SerialZeroIsNeverRefusedAndGetsNoContents)
{
    setDrive('T', image("joliet.iso"));
    TKTBHandle* catalog = createCatalog("zero.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));
    disc.Serial = 0;
    for (int time = 0; time < 2; ++time) {
        ASSERT_EQ(ktbRecordDrive(catalog, 'T', disc, nullptr, nullptr), KTB_OK);
    }
    const std::string bytes = fileBytes(catalog);
    ASSERT_EQ(bytes.size(), KTB_HEADER_SIZE + 2 * (CatalogBuilder::DiscRecordBytes + 1));
    for (const std::uint32_t offset : { KTB_HEADER_SIZE, KTB_HEADER_SIZE + CatalogBuilder::DiscRecordBytes + 1 }) {
        TKTBDisc stored {};
        ASSERT_TRUE(ktbReadDisc(catalog, offset, stored));
        EXPECT_EQ(stored.Files, 0U);
        EXPECT_EQ(stored.Folders, 0U);
        EXPECT_EQ(stored.RunLength, CatalogBuilder::DiscRecordBytes + 1);
        EXPECT_EQ(bytes[offset + CatalogBuilder::DiscRecordBytes], KTB_TAG_ENDDISC);
    }
}

TEST_F(RecordTest, ACallbackThatStopsAtTheFirstFileInterruptsTheRecording)
{
    struct Stop {
        std::string file;
        std::uint64_t size = 0;
        std::int64_t time = 0;
    } stop;
    const auto stopAtFirstFile = [](std::uint8_t kind, const char*, const TKTBDirEntry* entry, void* userData) {
        if (kind != KTB_WALK_FILE) {
            return true;
        }
        auto& seen = *static_cast<Stop*>(userData);
        seen = { entry->Name, entry->Size, entry->LastWriteTime };
        return false;
    };
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    ASSERT_EQ(record(image("tree"), catalog, given, stopAtFirstFile, &stop), KTB_ERR_INTERRUPTED);
    EXPECT_EQ(ktbLastWalkFailure(), "") << "a stop is no listing failure";
    const std::string bytes = fileBytes(catalog);
    ASSERT_EQ(bytes.back(), KTB_TAG_ENDDISC);
    // The file the callback was asked about is written first: its record comes right before the end mark.
    CatalogBuilder file;
    file.addFile(stop.file, static_cast<std::uint32_t>(stop.size), localDos(stop.time));
    const std::string fileRecord = file.bytes().substr(KTB_HEADER_SIZE);
    EXPECT_EQ(bytes.substr(bytes.size() - 1 - fileRecord.size(), fileRecord.size()), fileRecord);
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));
    EXPECT_EQ(stored.Files, 1U);
    EXPECT_EQ(stored.RunLength, bytes.size() - KTB_HEADER_SIZE);
}

TEST_F(RecordTest, AFolderThatCannotBeListedBelowTheTopStopsTheRecording)
{
    const std::string top = m_temp.file("tree");
    ASSERT_TRUE(writeDiscTree(top, standardDiscTree()));
    // The folder goes between the walk's listing of its parent and its own listing.
    const auto removeMusic = [](std::uint8_t kind, const char*, const TKTBDirEntry* entry, void* userData) {
        if (kind == KTB_WALK_FOLDER && std::string(entry->Name) == "Music") {
            std::filesystem::remove_all(*static_cast<const std::string*>(userData) + "/Music");
        }
        return true;
    };
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    EXPECT_EQ(record(top, catalog, given, removeMusic, const_cast<std::string*>(&top)), KTB_ERR_INTERRUPTED);
    EXPECT_EQ(ktbLastWalkFailure(), "T:\\Music\\");
    const std::string bytes = fileBytes(catalog);
    EXPECT_EQ(bytes.back(), KTB_TAG_ENDDISC);
    const std::vector<DiscItem> items = discItems(catalog, KTB_HEADER_SIZE);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.back(), (DiscItem { KTB_TAG_FOLDER, "Music", 0, 0 }));
}

/// Points the extent of the Joliet tree's directory record of path past the image's end.
bool breakJolietFolder(const std::string& imagePath, const std::string& path)
{
    std::string image = readFileBytes(imagePath);
    const std::size_t record = isoRecordOffset(image, path);
    if (record == std::string::npos) {
        return false;
    }
    setIsoField32(image, record + 2, 0x00FFFFF0);
    return writeFileBytes(imagePath, image);
}

TEST_F(RecordTest, AnImageFolderWhoseSectorsCannotBeReadStopsTheRecording)
{
    std::filesystem::copy_file(image("joliet.iso"), m_temp.file("broken.iso"));
    ASSERT_TRUE(breakJolietFolder(m_temp.file("broken.iso"), "Docs"));
    TKTBHandle* catalog = nullptr;
    TKTBDisc given {};
    EXPECT_EQ(record(m_temp.file("broken.iso"), catalog, given), KTB_ERR_INTERRUPTED);
    EXPECT_EQ(ktbLastWalkFailure(), "T:\\Docs\\");
    EXPECT_EQ(fileBytes(catalog).back(), KTB_TAG_ENDDISC);
}

TEST_F(RecordTest, AMediumWithNothingOnItCannotBeRecorded)
{
    ASSERT_TRUE(writeDiscTree(m_temp.file("empty"), {}));
    ASSERT_TRUE(buildIsoImage(m_temp.file("empty"), m_temp.file("empty.iso")));
    for (const char* source : { "empty", "empty.iso" }) {
        SCOPED_TRACE(source);
        TKTBHandle* catalog = nullptr;
        TKTBDisc given {};
        EXPECT_EQ(record(m_temp.file(source), catalog, given), KTB_ERR_INTERRUPTED);
        EXPECT_EQ(ktbLastWalkFailure(), "T:\\");
        closeCatalog(catalog);
        std::filesystem::remove(m_temp.file("record.ktb"));
    }
}

TEST_F(RecordTest, ADriveWithoutATopFolderStopsTheRecordingAtOnce)
{
    TKTBHandle* catalog = createCatalog("nodrive.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc disc {};
    disc.Serial = 0x11223344;
    EXPECT_EQ(ktbRecordDrive(catalog, 'Q', disc, nullptr, nullptr), KTB_ERR_INTERRUPTED);
    EXPECT_EQ(ktbLastWalkFailure(), "Q:\\");
    TKTBDisc stored {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, stored));
    EXPECT_EQ(stored.Files, 0U);
    EXPECT_EQ(stored.RunLength, CatalogBuilder::DiscRecordBytes + 1);
}

TEST_F(RecordTest, NoMediumGivesSerialZeroAndKeepsFlagsAndFolders)
{
    setDrive('T', m_temp.file("not-there.iso"));
    for (const char letter : { 'T', 'Q' }) {
        TKTBDisc disc {};
        disc.Serial = 0x55;
        disc.Flags = KTB_DISC_AUDIO;
        disc.Folders = 9;
        EXPECT_FALSE(ktbDiscFromDrive(letter, disc)) << letter;
        EXPECT_EQ(disc.Serial, 0U);
        EXPECT_EQ(disc.Flags, KTB_DISC_AUDIO);
        EXPECT_EQ(disc.Folders, 9U);
    }
    // A medium fills the rest and still keeps the two.
    setDrive('T', image("joliet.iso"));
    TKTBDisc disc {};
    disc.Flags = KTB_DISC_AUDIO;
    disc.Folders = 9;
    disc.Files = 4;
    disc.RunLength = 77;
    disc.Comment[0] = 'x';
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));
    EXPECT_EQ(disc.Flags, KTB_DISC_AUDIO);
    EXPECT_EQ(disc.Folders, 9U);
    EXPECT_EQ(disc.Files, 0U);
    EXPECT_EQ(disc.RunLength, 0U);
    EXPECT_EQ(disc.Comment[0], '\0');
    EXPECT_EQ(disc.Used, volumeBytes(image("joliet.iso")));
    EXPECT_EQ(disc.Capacity, s_smallestCapacity);
}

struct CapacityCase {
    std::int64_t Bytes;
    std::int64_t Capacity;
};

void PrintTo(const CapacityCase& value, std::ostream* out) { *out << value.Bytes; }

class RoundCapacityTest : public testing::TestWithParam<CapacityCase> { };

TEST_P(RoundCapacityTest, TakesTheSmallestStandardCapacityAboveTheBytes)
{
    EXPECT_EQ(ktbRoundCapacity(GetParam().Bytes), GetParam().Capacity);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, RoundCapacityTest,
    testing::Values(CapacityCase { INT64_MIN, 681574400 }, CapacityCase { -1, 681574400 },
        CapacityCase { 0, 681574400 }, CapacityCase { 681574399, 681574400 }, CapacityCase { 681574400, 713031680 },
        CapacityCase { 713031679, 713031680 }, CapacityCase { 713031680, 734003200 },
        CapacityCase { 734003199, 734003200 }, CapacityCase { 734003200, 734003200 },
        CapacityCase { 800000000, 800000000 }, CapacityCase { INT64_MAX, INT64_MAX }));

} // namespace
