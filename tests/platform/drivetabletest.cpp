// The table of test drives, and the engine's use of whatever table is installed: a disc record filled
// from a drive and a walk over "E:\Music\" go through exactly the reader the system's drives use.

#include "engine/ktb_discs.h"
#include "platform/drivelayer.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class DriveTableTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_temp = new TempFolder();
        ASSERT_TRUE(writeDiscTree(s_temp->file("tree"), standardDiscTree()));
        ASSERT_TRUE(buildIsoImage(s_temp->file("tree"), s_temp->file("disc.iso")));
    }
    static void TearDownTestSuite()
    {
        delete s_temp;
        s_temp = nullptr;
    }
    void TearDown() override { setDriveTable(nullptr); }

    static TempFolder* s_temp;
};

TempFolder* DriveTableTest::s_temp = nullptr;

TEST_F(DriveTableTest, LettersComeInLetterOrderAndAReplacedDriveStaysUsable)
{
    PathDriveTable table;
    EXPECT_TRUE(table.letters().empty());
    EXPECT_TRUE(table.setDrive('g', s_temp->file("tree")));
    EXPECT_TRUE(table.setDrive('E', s_temp->file("disc.iso")));
    EXPECT_FALSE(table.setDrive('1', s_temp->file("disc.iso")));
    EXPECT_FALSE(table.setDrive('\0', s_temp->file("disc.iso")));
    EXPECT_EQ(table.letters(), (std::vector<char> { 'E', 'G' }));
    Drive* old = table.drive('G');
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(table.drive('g'), old);
    const std::uint64_t revision = table.revision();
    EXPECT_TRUE(table.setDrive('G', s_temp->file("disc.iso")));
    EXPECT_NE(table.revision(), revision);
    EXPECT_NE(table.drive('G'), old);
    EXPECT_EQ(old->source(), s_temp->file("tree"));
    EXPECT_EQ(table.drive('F'), nullptr);
}

TEST_F(DriveTableTest, TheEngineFillsADiscRecordFromAnInstalledDrive)
{
    auto table = std::make_unique<PathDriveTable>();
    table->setDrive('E', s_temp->file("disc.iso"));
    setDriveTable(std::move(table));
    TKTBDisc disc {};
    disc.Flags = 77;
    ASSERT_TRUE(ktbDiscFromDrive('E', disc));
    EXPECT_EQ(disc.Serial, __builtin_bswap32(laneSumSerial(readVolumeDescriptor(s_temp->file("disc.iso"), 2))));
    EXPECT_STREQ(disc.Title, "KATALOX_TEST");
    EXPECT_EQ(disc.Flags, 77U);
    TKTBDisc none {};
    EXPECT_FALSE(ktbDiscFromDrive('F', none)) << "no such drive";
    EXPECT_EQ(none.Serial, 0U);
}

struct Visit {
    std::uint8_t Kind;
    std::string Path;
    std::string Name;
    bool operator==(const Visit&) const = default;
};

bool collect(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* userData)
{
    static_cast<std::vector<Visit>*>(userData)->push_back({ kind, path, entry->Name });
    return true;
}

TEST_F(DriveTableTest, TheEngineWalksAFolderOfAnInstalledDriveByItsWalkPath)
{
    auto table = std::make_unique<PathDriveTable>();
    table->setDrive('E', s_temp->file("disc.iso"));
    setDriveTable(std::move(table));
    std::vector<Visit> visits;
    ASSERT_TRUE(ktbWalkFolder("e:\\music\\", "*.*", collect, &visits));
    const std::vector<Visit> expected {
        { KTB_WALK_FOLDER, "e:\\music\\", "Rock" },
        { KTB_WALK_FILE, "e:\\music\\Rock\\",
            "Gr\xC3\xBC\xC3\x9F"
            "e \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt" },
        { KTB_WALK_FILE, "e:\\music\\Rock\\", "song.mp3" },
        { KTB_WALK_ENDFOLDER, "e:\\music\\", "Rock" },
        { KTB_WALK_FILE, "e:\\music\\", "a.txt" },
    };
    EXPECT_EQ(visits, expected);
    EXPECT_FALSE(ktbWalkFolder("E:\\Jazz\\", "*.*", collect, &visits));
}

} // namespace
