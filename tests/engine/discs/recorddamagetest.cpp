// Recording damaged images: damage in a directory makes the recording fail and name the folder that
// cannot be listed (never a disc recorded cut short), damage elsewhere records exactly the sound part,
// and crafted trees that claim more than the volume holds fail at once. One table over the kinds of
// damage, applied to images of both generators and to a UDF image where it makes sense.

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "tests/engine/discs/discsfixture.h"
#include "tests/support/handmadeiso.h"
#include "tests/support/udfimage.h"

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

constexpr std::uint32_t s_sector = 2048;
constexpr std::uint32_t s_sixtyMegabytes = 60U << 20;
constexpr std::uint32_t s_beyondTheImage = 0x00FFFFF0;

const char* const s_damagedRecord = "a damaged directory record";
const char* const s_beyondVolume = "it lies beyond the end of the volume";
const char* const s_overBudget = "the folders claim more directory bytes than the volume holds";

/// The standard tree, a file of a two-letter name and a folder of sixty files, whose directory fills more
/// than one sector.
std::vector<DiscTreeEntry> damageTree()
{
    std::vector<DiscTreeEntry> tree = standardDiscTree();
    tree.push_back({ "Music/ab", 2, DiscTreeTime + 98 });
    tree.push_back({ "Many/", 0, DiscTreeTime + 99 });
    for (int index = 0; index < 60; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "Many/file%02d.txt", index);
        tree.push_back({ name, static_cast<std::uint64_t>(index + 1), DiscTreeTime + index });
    }
    return tree;
}

enum class Base { Xorriso, Genisoimage, Udf, Crafted };

struct DamageCase {
    std::string Name;
    Base From = Base::Xorriso;
    /// Damages the sound image's bytes (crafted images are made here from nothing); false when the place
    /// to damage was not found.
    std::function<bool(std::string& image)> Damage;
    std::string Folder; ///< the walk path of the folder named by the failure; empty: the recording succeeds
    std::string Problem; ///< why it cannot be listed
    /// What a recording that succeeds holds, from the sound tree's listing.
    std::function<void(std::vector<ListedItem>&)> Expect = nullptr;
    std::uint64_t SparseBytes = 0; ///< the image file is extended (sparse) to this size
};

void PrintTo(const DamageCase& damage, std::ostream* out) { *out << damage.Name; }

// Changes the byte at offset into the record of path; false when there is no such record.
std::function<bool(std::string&)> recordByte(const std::string& path, std::size_t offset, std::uint8_t value)
{
    return [=](std::string& image) {
        const std::size_t record = isoRecordOffset(image, path);
        if (record == std::string::npos) {
            return false;
        }
        image[record + offset] = static_cast<char>(value);
        return true;
    };
}

std::function<bool(std::string&)> recordField(const std::string& path, std::size_t offset, std::uint32_t value)
{
    return [=](std::string& image) {
        const std::size_t record = isoRecordOffset(image, path);
        if (record == std::string::npos) {
            return false;
        }
        setIsoField32(image, record + offset, value);
        return true;
    };
}

// The last record in the first sector of Many's directory grows past the sector's end.
bool recordCrossingASectorEnd(std::string& image)
{
    const std::size_t many = isoRecordOffset(image, "Many");
    if (many == std::string::npos) {
        return false;
    }
    const std::size_t start = static_cast<std::size_t>(isoField32(image, many + 2)) * s_sector;
    std::size_t last = start;
    for (std::size_t at = start; at < start + s_sector && image[at] != 0; at += static_cast<unsigned char>(image[at])) {
        last = at;
    }
    const std::size_t grown = start + s_sector - last + 1;
    if (last == start || grown > 255) {
        return false;
    }
    image[last] = static_cast<char>(grown);
    return true;
}

// Fills every sector from the descriptor's path table locations on with garbage: readers that trust
// the path tables instead of the directories lose their way.
bool pathTablesDamaged(std::string& image)
{
    for (std::size_t descriptor = 16 * s_sector; descriptor + s_sector <= image.size(); descriptor += s_sector) {
        const auto type = static_cast<unsigned char>(image[descriptor]);
        if (type == 255) {
            return true;
        }
        if (type == 1 || type == 2) {
            for (const std::size_t field : { 140U, 144U }) {
                const std::size_t table = static_cast<std::size_t>(isoField32(image, descriptor + field)) * s_sector;
                std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(table), s_sector, '\xFF');
            }
        }
    }
    return false;
}

// Garbage over the data of big.dat.
bool fileContentsDamaged(std::string& image)
{
    const std::size_t record = isoRecordOffset(image, "big.dat");
    if (record == std::string::npos) {
        return false;
    }
    const std::size_t data = static_cast<std::size_t>(isoField32(image, record + 2)) * s_sector;
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(data), isoField32(image, record + 10), '\xA5');
    return true;
}

// The image cut off where the top folder's directory starts.
bool topFolderCutOff(std::string& image)
{
    const std::size_t root = isoRecordOffset(image, "");
    if (root == std::string::npos) {
        return false;
    }
    image.resize(static_cast<std::size_t>(isoField32(image, root + 2)) * s_sector);
    return true;
}

std::function<void(std::vector<ListedItem>&)> dateOf(const std::string& path, std::uint32_t dateTime)
{
    return [=](std::vector<ListedItem>& items) {
        for (ListedItem& item : items) {
            if (item.Path == path) {
                item.DateTime = dateTime;
            }
        }
    };
}

// 20,000 folders in the top folder of a sparse image, each claiming 60 MiB of directory at an extent of
// its own: without a limit a walk reads 1.2 TB.
bool manyFoldersClaimingSixtyMegabytes(std::string& image)
{
    HandMadeIso iso;
    for (std::uint32_t index = 0; index < 20000; ++index) {
        HandMadeIso::Record folder;
        char name[16];
        std::snprintf(name, sizeof name, "F%05u", index);
        folder.Identifier = name;
        folder.Flags = 2;
        folder.Extent = 3000 + index;
        folder.Size = s_sixtyMegabytes;
        iso.addRecord(0, folder);
    }
    iso.setVolumeBlocks(53760);
    image = iso.bytes();
    return true;
}

// 600 folders, each inside the one before and claiming 60 MiB: without a limit a walk holds them all.
bool nestedFoldersClaimingSixtyMegabytes(std::string& image)
{
    HandMadeIso iso;
    int parent = 0;
    for (int level = 0; level < 600; ++level) {
        const int child = iso.addDirectory();
        HandMadeIso::Record folder;
        folder.Identifier = "D";
        folder.Flags = 2;
        folder.Directory = child;
        folder.ClaimedSize = s_sixtyMegabytes;
        iso.addRecord(parent, folder);
        parent = child;
    }
    iso.setVolumeBlocks(35840);
    image = iso.bytes();
    return true;
}

std::string deepPath(int levels)
{
    std::string path = "T:\\";
    for (int level = 0; level < levels; ++level) {
        path += "D\\";
    }
    return path;
}

const UdfImage& udfImage()
{
    static const UdfImage image(damageTree());
    return image;
}

std::vector<DamageCase> damageCases()
{
    std::vector<DamageCase> cases;
    for (const Base base : { Base::Xorriso, Base::Genisoimage }) {
        const auto add = [&](DamageCase damage) {
            damage.Name += base == Base::Xorriso ? "_Xorriso" : "_Genisoimage";
            damage.From = base;
            cases.push_back(std::move(damage));
        };
        add({ "SoundWithSectorsEndingInPadding", {}, [](std::string&) { return true; }, "", "" });
        add({ "RecordShorterThanItsFixedPart", {}, recordByte("Docs/Deep", 0, 20), "T:\\Docs\\", s_damagedRecord });
        add({ "TopEntryShorterThanItsFixedPart", {}, recordByte("Music", 0, 20), "T:\\", s_damagedRecord });
        add({ "NameOfLengthZero", {}, recordByte("Music/a.txt", 32, 0), "T:\\Music\\", s_damagedRecord });
        add({ "NameRunningPastItsRecord", {}, recordByte("Music/a.txt", 32, 200), "T:\\Music\\", s_damagedRecord });
        add({ "RecordCrossingASectorEnd", {}, recordCrossingASectorEnd, "T:\\Many\\", s_damagedRecord });
        // A record length of zero ends a sector's records: the bytes of a.txt after it are no padding.
        add({ "ZeroLengthBeforeMoreBytes", {}, recordByte("Music/a.txt", 0, 0), "T:\\Music\\", s_damagedRecord });
        add({ "FolderBeyondTheImage", {}, recordField("Docs/Deep", 2, s_beyondTheImage), "T:\\Docs\\Deep\\",
            s_beyondVolume });
        add({ "FolderOfImpossibleSize", {}, recordField("Docs/Deep", 10, 0xFFFFFFFF), "T:\\Docs\\Deep\\",
            "its size is impossible" });
        add({ "FolderLoopingToTheTop", {},
            [](std::string& image) {
                const std::size_t root = isoRecordOffset(image, "");
                return root != std::string::npos && recordField("Docs/Deep", 2, isoField32(image, root + 2))(image);
            },
            "T:\\Docs\\Deep\\", "it is listed already in this walk (a loop or a cross-link)" });
        add({ "TopFolderBeyondTheImage", {}, recordField("", 2, s_beyondTheImage), "T:\\", s_beyondVolume });
        add({ "TopFolderCutOff", {}, topFolderCutOff, "T:\\", s_beyondVolume });
        add({ "FileContentsDamaged", {}, fileContentsDamaged, "", "" });
        add({ "PathTablesDamaged", {}, pathTablesDamaged, "", "" });
        add({ "FileBeyondTheImage", {}, recordField("Music/Rock/song.mp3", 2, s_beyondTheImage), "", "" });
        add({ "ImpossibleDate", {},
            [](std::string& image) {
                return recordByte("Music/a.txt", 19, 2)(image) && recordByte("Music/a.txt", 20, 30)(image);
            },
            "", "", dateOf("Music/a.txt", 0) });
        // The record after README names another file: the bit joins nothing.
        add({ "MultiExtentBitBeforeAnotherName", {}, recordByte("README", 25, 0x80), "", "" });
    }
    cases.push_back({ "UdfIdentifierDamaged", Base::Udf,
        [](std::string& image) {
            image[udfImage().directoryDataSector("Music") * std::size_t(s_sector)] = 0x55;
            return true;
        },
        "T:\\Music\\", s_damagedRecord });
    cases.push_back({ "UdfFileEntryDamaged", Base::Udf,
        [](std::string& image) {
            image[udfImage().entrySector("Music/a.txt") * std::size_t(s_sector) + 1] = 0x55;
            return true;
        },
        "T:\\Music\\", "a damaged file entry" });
    // The identifier of "ab" names "..", which only the parent's may mean.
    cases.push_back({ "UdfIdentifierNamingTheParent", Base::Udf,
        [](std::string& image) {
            const std::size_t data = udfImage().directoryDataSector("Music") * std::size_t(s_sector);
            const std::size_t name = image.find(std::string("\x08"
                                                            "ab",
                                                    3),
                data);
            if (name == std::string::npos || name > data + s_sector) {
                return false;
            }
            image.replace(name + 1, 2, "..");
            image[name - 38 + 4] = static_cast<char>(udfTagChecksum(image.data() + name - 38));
            return true;
        },
        "T:\\Music\\", s_damagedRecord });
    // The directory's length and its extent run 20 bytes past its last identifier: too few for another.
    cases.push_back({ "UdfDirectoryEndingInsideAnIdentifier", Base::Udf,
        [](std::string& image) {
            const std::size_t entry = udfImage().entrySector("Music") * std::size_t(s_sector);
            const std::uint32_t length = isoField32(image, entry + 56) + 20;
            for (const std::size_t field : { 56U, 176U }) {
                for (std::size_t index = 0; index < 4; ++index) {
                    image[entry + field + index] = static_cast<char>(length >> (8 * index));
                }
            }
            image[entry + 4] = static_cast<char>(udfTagChecksum(image.data() + entry));
            return true;
        },
        "T:\\Music\\", s_damagedRecord });
    cases.push_back({ "TwentyThousandFoldersClaimingSixtyMegabytes", Base::Crafted, manyFoldersClaimingSixtyMegabytes,
        "T:\\F00001\\", s_overBudget, nullptr, 53760ULL * s_sector });
    cases.push_back(
        { "SixHundredNestedFoldersClaimingSixtyMegabytes", Base::Crafted, nestedFoldersClaimingSixtyMegabytes,
            deepPath(513), "it lies deeper than any disc's folders", nullptr, 35840ULL * s_sector });
    return cases;
}

class RecordDamageTest : public DiscsTest, public testing::WithParamInterface<DamageCase> {
protected:
    static void SetUpTestSuite()
    {
        s_images = new TempFolder();
        ASSERT_TRUE(writeDiscTree(s_images->file("tree"), damageTree()));
        IsoImageOptions options;
        ASSERT_TRUE(buildIsoImage(s_images->file("tree"), s_images->file("xorriso.iso"), options));
        options.Generator = IsoGenerator::Genisoimage;
        ASSERT_TRUE(buildIsoImage(s_images->file("tree"), s_images->file("genisoimage.iso"), options));
    }
    static void TearDownTestSuite()
    {
        delete s_images;
        s_images = nullptr;
    }

    static std::string soundImage(Base base)
    {
        switch (base) {
        case Base::Xorriso:
            return readFileBytes(s_images->file("xorriso.iso"));
        case Base::Genisoimage:
            return readFileBytes(s_images->file("genisoimage.iso"));
        case Base::Udf:
            return udfImage().bytes();
        case Base::Crafted:
            break;
        }
        return {};
    }

    static TempFolder* s_images;
};

TempFolder* RecordDamageTest::s_images = nullptr;

TEST_P(RecordDamageTest, FailsNamingTheFolderOrRecordsTheSoundPart)
{
    const DamageCase& damage = GetParam();
    std::string image = soundImage(damage.From);
    ASSERT_TRUE(damage.Damage(image)) << "the place to damage was not found";
    const std::string path = m_temp.file("damaged.img");
    ASSERT_TRUE(writeFileBytes(path, image));
    if (damage.SparseBytes != 0) {
        std::filesystem::resize_file(path, damage.SparseBytes);
    }
    setDrive('T', path);
    TKTBHandle* catalog = createCatalog("record.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));
    const TKTBERROR result = ktbRecordDrive(catalog, 'T', disc, nullptr, nullptr);
    if (!damage.Folder.empty()) {
        EXPECT_EQ(result, KTB_ERR_INTERRUPTED);
        EXPECT_EQ(ktbLastWalkFailure(), damage.Folder);
        EXPECT_EQ(ktbLastWalkProblem(), damage.Problem);
        EXPECT_FALSE(ktbLastWalkFoundNothing());
        return;
    }
    ASSERT_EQ(result, KTB_OK) << ktbLastWalkFailure() << ": " << ktbLastWalkProblem();
    std::vector<ListedItem> expected = treeListing(damageTree(), damage.From == Base::Udf ? nullptr : jolietName);
    if (damage.Expect) {
        damage.Expect(expected);
    }
    EXPECT_EQ(listing(discItems(catalog, KTB_HEADER_SIZE)), expected);
}

INSTANTIATE_TEST_SUITE_P(DamageKinds, RecordDamageTest, testing::ValuesIn(damageCases()),
    [](const testing::TestParamInfo<DamageCase>& info) { return info.param.Name; });

} // namespace
