// Names as the disc holds them, on discs burnt the way Linux burning programs make them: Rock Ridge
// discs without Joliet, a UDF disc alone and one under an empty ISO 9660 volume are read with the names
// of the folder they were made from, byte for byte (HTML in a name, a composed letter, names that
// differ only in case, "\", ";", a tab, 200 characters, folders deeper than ISO 9660 allows). A bridge
// disc is read through its UDF tree and keeps the label and serial of its ISO 9660 volume.

#include "platform/discvolume.h"
#include "platform/drivelayer.h"
#include "platform/sectorsource.h"
#include "platform/udfvolume.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/tempfolder.h"
#include "tests/support/udfimage.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

std::vector<DiscTreeEntry> namesTree()
{
    std::vector<DiscTreeEntry> tree {
        { "<img src=x onerror=alert(1)>.txt", 1, DiscTreeTime + 1 },
        { "caf\xC3\xA9.png", 2, DiscTreeTime + 2 },
        { "Index.html", 3, DiscTreeTime + 3 },
        { "index.html", 4, DiscTreeTime + 4 },
        { "back\\slash.txt", 5, DiscTreeTime + 5 },
        { "semi;colon.txt", 6, DiscTreeTime + 6 },
        { "tab\there.txt", 7, DiscTreeTime + 7 },
        { std::string(196, 'n') + ".txt", 8, DiscTreeTime + 8 },
        { "pics/", 0, DiscTreeTime + 9 },
        { "pics/caf\xC3\xA9.png", 2500, DiscTreeTime + 10 },
    };
    // Folders nine and more levels down, which an ISO 9660 tree holds in "rr_moved".
    std::string deep = "Deep/";
    tree.push_back({ deep, 0, DiscTreeTime + 20 });
    for (int level = 1; level <= 10; ++level) {
        deep += "Level " + std::to_string(level) + "/";
        tree.push_back({ deep, 0, DiscTreeTime + 20 + level });
    }
    tree.push_back({ deep + "bottom.txt", 11, DiscTreeTime + 40 });
    return tree;
}

enum class Maker { Genisoimage, Xorriso, UdfWriter };

struct NamesCase {
    const char* Name;
    Maker From;
    bool EmptyIsoVolume = false; ///< the UDF writer: an empty ISO 9660 volume before the UDF one
};

void PrintTo(const NamesCase& value, std::ostream* out) { *out << value.Name; }

class DiscNames : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_temp = new TempFolder();
        ASSERT_TRUE(writeDiscTree(s_temp->file("tree"), namesTree()));
    }
    static void TearDownTestSuite()
    {
        delete s_temp;
        s_temp = nullptr;
    }

    static std::string path(const std::string& name) { return s_temp->file(name); }

    // The image of a Rock Ridge or UDF disc made from the tree.
    static std::string image(const NamesCase& names)
    {
        const std::string image = path(std::string(names.Name) + ".iso");
        if (names.From == Maker::UdfWriter) {
            UdfImageOptions options;
            options.EmptyIsoVolume = names.EmptyIsoVolume;
            EXPECT_TRUE(writeFileBytes(image, UdfImage(namesTree(), options).bytes()));
            return image;
        }
        IsoImageOptions options;
        options.Generator = names.From == Maker::Xorriso ? IsoGenerator::Xorriso : IsoGenerator::Genisoimage;
        options.Joliet = false;
        options.RockRidge = true;
        EXPECT_TRUE(buildIsoImage(path("tree"), image, options));
        return image;
    }

    static TempFolder* s_temp;
};

TempFolder* DiscNames::s_temp = nullptr;

class DiscNamesTest : public DiscNames, public testing::WithParamInterface<NamesCase> { };

TEST_P(DiscNamesTest, ListsTheNamesOfTheSourceFolderAndKeepsTheFactsOfItsIsoVolume)
{
    const NamesCase& names = GetParam();
    const std::string image = this->image(names);
    const std::unique_ptr<Drive> drive = openPathDrive(image);
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(namesTree()));
    EXPECT_EQ(walk.Entries, walkDrive(*openPathDrive(path("tree"))).Entries) << "as the folder lists them";

    // The label and serial the disc was known by before its Rock Ridge or UDF names were read.
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts)) << facts.Problem;
    const bool udfOnly = names.From == Maker::UdfWriter && !names.EmptyIsoVolume;
    EXPECT_EQ(facts.Label, udfOnly ? "Katalox UDF" : names.From == Maker::UdfWriter ? "KATALOX_PVD" : "KATALOX_TEST");
    std::uint32_t udfSerial = 0;
    EXPECT_EQ(udfSerialReport(*openSectorImage(image), udfSerial), names.From == Maker::UdfWriter);
    EXPECT_EQ(facts.NtSerial, udfOnly ? udfSerial : laneSumSerial(readVolumeDescriptor(image, 1)));
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscNamesTest,
    testing::Values(NamesCase { "GenisoimageRockRidge", Maker::Genisoimage },
        NamesCase { "XorrisoRockRidge", Maker::Xorriso }, NamesCase { "UdfAlone", Maker::UdfWriter },
        NamesCase { "UdfUnderAnEmptyIsoVolume", Maker::UdfWriter, true }),
    [](const testing::TestParamInfo<NamesCase>& info) { return std::string(info.param.Name); });

TEST_F(DiscNames, ABridgeDiscIsReadThroughItsUdfTreeAndKnownByItsJolietDescriptor)
{
    // genisoimage writes into its UDF tree the names its Joliet tree holds (cut to 103 characters, "\",
    // ";" and tabs replaced), but keeps a trailing dot that the Joliet reading drops.
    std::vector<DiscTreeEntry> tree = namesTree();
    tree.push_back({ "NOEXT.", 4, DiscTreeTime + 50 });
    ASSERT_TRUE(writeDiscTree(path("bridge"), tree));
    IsoImageOptions options;
    options.Generator = IsoGenerator::Genisoimage;
    options.JolietLong = true;
    options.RockRidge = true;
    options.Udf = true;
    ASSERT_TRUE(buildIsoImage(path("bridge"), path("bridge.iso"), options));
    const std::shared_ptr<SectorSource> source = openSectorImage(path("bridge.iso"));
    ASSERT_TRUE(hasUdfRecognition(*source));
    const std::shared_ptr<UdfVolume> udf = UdfVolume::open(source);
    ASSERT_NE(udf, nullptr);

    const std::unique_ptr<Drive> drive = openPathDrive(path("bridge.iso"));
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, walkFolder(udf->openFolder("")).Entries);
    EXPECT_TRUE(std::any_of(walk.Entries.begin(), walk.Entries.end(),
        [](const ListedEntry& entry) { return entry.Path == "NOEXT." && entry.Size == 4; }));

    // Catalogs made before know the disc by its Joliet descriptor; Windows, reading the disc through UDF,
    // reports the serial of the UDF File Set Descriptor instead.
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "KATALOX_TEST");
    EXPECT_EQ(facts.NtSerial, laneSumSerial(readVolumeDescriptor(path("bridge.iso"), 2)));
    EXPECT_NE(facts.NtSerial, udf->facts().NtSerial);
}

} // namespace
