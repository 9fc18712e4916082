// Directory records that xorriso never writes, put together by hand: hidden and associated entries,
// multi-extent files, GMT offsets, long Joliet names, small logical blocks, and
// damaged trees (loops, cross-links, absurd depth and sizes, malformed records). A damaged tree must
// answer "cannot be listed" or fail its listing; it must never hang, crash or read outside the image.

#include "platform/drivelayer.h"
#include "platform/medium.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/handmadeiso.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

namespace {

using Record = HandMadeIso::Record;

Record file(const std::string& identifier, std::uint32_t size, std::uint8_t flags = 0)
{
    Record record;
    record.Identifier = identifier;
    record.Size = size;
    record.Flags = flags;
    record.Extent = 1000;
    return record;
}

Record folder(const std::string& identifier, int directory)
{
    Record record;
    record.Identifier = identifier;
    record.Flags = 2;
    record.Directory = directory;
    return record;
}

class HandMadeImageTest : public testing::Test {
protected:
    std::unique_ptr<Drive> driveOver(const HandMadeIso& iso)
    {
        const std::string path = m_temp.file("image" + std::to_string(m_count++) + ".iso");
        EXPECT_TRUE(writeFileBytes(path, iso.bytes()));
        return openPathDrive(path);
    }

    static std::vector<std::string> paths(const WalkResult& walk)
    {
        std::vector<std::string> paths;
        for (const ListedEntry& entry : walk.Entries) {
            paths.push_back(entry.Path);
        }
        return paths;
    }

    TempFolder m_temp;
    int m_count = 0;
};

TEST_F(HandMadeImageTest, HiddenEntriesAreListedAndAssociatedOnesAreNot)
{
    HandMadeIso iso;
    iso.addRecord(0, file("SECRET.TXT;1", 99, 4)); // the associated file comes before its main file
    iso.addRecord(0, file("SECRET.TXT;1", 7, 1));
    iso.addRecord(0, file("VISIBLE.TXT;1", 5));
    const WalkResult walk = walkDrive(*driveOver(iso));
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "SECRET.TXT", "VISIBLE.TXT" }));
    EXPECT_EQ(walk.Entries[0].Size, 7U);
    EXPECT_EQ(walk.HiddenCount, 1U);
}

TEST_F(HandMadeImageTest, AMultiExtentFileIsOneFileWithTheSumOfItsExtents)
{
    HandMadeIso iso;
    iso.addRecord(0, file("HUGE.BIN;1", 0xFFFFF800U, 0x80));
    iso.addRecord(0, file("HUGE.BIN;1", 0xFFFFF800U, 0x80));
    iso.addRecord(0, file("HUGE.BIN;1", 0x1000));
    iso.addRecord(0, file("NEXT.TXT;1", 3));
    const WalkResult walk = walkDrive(*driveOver(iso));
    ASSERT_EQ(paths(walk), (std::vector<std::string> { "HUGE.BIN", "NEXT.TXT" }));
    EXPECT_EQ(walk.Entries[0].Size, 2ULL * 0xFFFFF800U + 0x1000) << "the recording keeps the low 32 bits";
    EXPECT_EQ(walk.Entries[1].Size, 3U);
}

TEST_F(HandMadeImageTest, RecordTimesHonourTheirGmtOffset)
{
    HandMadeIso iso;
    Record kolkata = file("KOLKATA;1", 1);
    kolkata.Time = { 110, 1, 1, 17, 30, 0, 22 };
    Record outOfRange = file("ODD;1", 1);
    outOfRange.Time = { 110, 1, 1, 12, 0, 0, 100 };
    iso.addRecord(0, kolkata);
    iso.addRecord(0, outOfRange);
    const WalkResult walk = walkDrive(*driveOver(iso));
    ASSERT_EQ(walk.Entries.size(), 2U);
    EXPECT_EQ(walk.Entries[0].Time, 1262347200);
    EXPECT_EQ(walk.Entries[1].Time, 1262347200);
}

TEST_F(HandMadeImageTest, JolietGivesLabelAndNamesAndLongNamesStayWhole)
{
    HandMadeIso iso;
    iso.setLabel("PRIMARY");
    iso.addRecord(0, file("SHORT.TXT;1", 1));
    const int joliet = iso.addJoliet(ucs2(u"Hand Made \u65e5"));
    // 103 characters are 309 bytes of UTF-8: whole, extension and all. Two names alike up to their last
    // character stay two names.
    const std::u16string longName = std::u16string(99, u'\u65e5') + u".txt";
    iso.addRecord(joliet, file(ucs2(longName), 2));
    iso.addRecord(joliet, file(ucs2(std::u16string(100, u'\u65e5') + u"A"), 3));
    iso.addRecord(joliet, file(ucs2(std::u16string(100, u'\u65e5') + u"B"), 4));
    iso.addRecord(joliet, file(ucs2(u"Short name.txt;1"), 1));
    const auto drive = driveOver(iso);

    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "Hand Made \xE6\x97\xA5");
    std::string cjk;
    for (int index = 0; index < 100; ++index) {
        cjk += "\xE6\x97\xA5";
    }
    const WalkResult walk = walkDrive(*drive);
    EXPECT_EQ(paths(walk),
        (std::vector<std::string> { "Short name.txt", cjk.substr(0, 99 * 3) + ".txt", cjk + "A", cjk + "B" }));
}

TEST_F(HandMadeImageTest, SmallLogicalBlocksAddressDirectoriesAndSizeTheVolume)
{
    HandMadeIso iso;
    iso.setBlockSize(512);
    const int sub = iso.addDirectory();
    iso.addRecord(0, folder("SUB", sub));
    iso.addRecord(sub, file("INSIDE.TXT;1", 4));
    const auto drive = driveOver(iso);
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.TotalBytes, static_cast<std::int64_t>(iso.bytes().size()));
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "SUB", "SUB/INSIDE.TXT" }));
}

TEST_F(HandMadeImageTest, FoldersPointingBackAtThemselvesOrAnAncestorCannotBeListed)
{
    HandMadeIso iso;
    const int a = iso.addDirectory();
    iso.addRecord(0, folder("A", a));
    iso.addRecord(a, folder("BACK", 0));
    iso.addRecord(a, folder("SELF", a));
    iso.addRecord(a, file("FILE.TXT;1", 1));
    const WalkResult walk = walkDrive(*driveOver(iso));
    EXPECT_FALSE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "A", "A/BACK", "A/FILE.TXT", "A/SELF" }));
}

TEST_F(HandMadeImageTest, ACrossLinkedFolderIsListedOnce)
{
    // Two names for one folder, repeated at every level, would list 2^n copies.
    HandMadeIso iso;
    int parent = 0;
    for (int level = 0; level < 30; ++level) {
        const int child = iso.addDirectory();
        iso.addRecord(parent, folder("X", child));
        iso.addRecord(parent, folder("Y", child));
        parent = child;
    }
    const WalkResult walk = walkDrive(*driveOver(iso), "", 10000);
    EXPECT_FALSE(walk.Complete);
    EXPECT_LT(walk.Entries.size(), 100U);
}

TEST_F(HandMadeImageTest, AnAbsurdlyDeepTreeStopsAtTheDepthLimit)
{
    HandMadeIso iso;
    int parent = 0;
    for (int level = 0; level < MaxFolderDepth + 8; ++level) {
        const int child = iso.addDirectory();
        iso.addRecord(parent, folder("D", child));
        parent = child;
    }
    const WalkResult walk = walkDrive(*driveOver(iso), "", 100000);
    EXPECT_FALSE(walk.Complete);
    EXPECT_EQ(walk.Entries.size(), static_cast<std::size_t>(MaxFolderDepth + 1));
}

TEST_F(HandMadeImageTest, AMalformedRecordFailsItsListing)
{
    std::string tooShort(20, '\0');
    tooShort[0] = 20;
    std::string nameOverflows(40, '\0');
    nameOverflows[0] = 40;
    nameOverflows[32] = 30; // 33 + 30 bytes of name in a 40-byte record
    std::string noName(34, '\0');
    noName[0] = 34;
    for (const std::string& bad : { tooShort, nameOverflows, noName }) {
        HandMadeIso iso;
        iso.addRecord(0, file("A.TXT;1", 1));
        Record raw;
        raw.RawRecord = bad;
        iso.addRecord(0, raw);
        iso.addRecord(0, file("C.TXT;1", 1));
        const WalkResult walk = walkDrive(*driveOver(iso));
        EXPECT_FALSE(walk.Complete) << "a listing cut short by damage is no whole folder";
        EXPECT_EQ(paths(walk), (std::vector<std::string> { "A.TXT" }));
    }
}

TEST_F(HandMadeImageTest, FoldersWithImpossibleExtentsOrSizesCannotBeListed)
{
    HandMadeIso iso;
    Record beyond = folder("BEYOND", -1);
    beyond.Extent = 0x7FFFFFF0;
    beyond.Size = 2048;
    Record huge = folder("HUGE", -1);
    huge.Extent = HandMadeIso::FirstDirectorySector;
    huge.Size = 0xFFFFFFFF;
    iso.addRecord(0, beyond);
    iso.addRecord(0, huge);
    const WalkResult walk = walkDrive(*driveOver(iso));
    EXPECT_FALSE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "BEYOND", "HUGE" }));
}

} // namespace
