// Directory records that xorriso never writes, put together by hand: hidden and associated entries,
// multi-extent files, GMT offsets, long Joliet names, small logical blocks, Rock Ridge names and
// relocated folders, and damaged trees (loops, cross-links, absurd depth and sizes, malformed records).
// A damaged tree must answer "cannot be listed" or fail its listing; it must never hang, crash or read
// outside the image.

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

// Rock Ridge entries: a System Use Sharing Protocol entry of its signature, its length, version 1 and
// the bytes after.
std::string susp(const char* signature, const std::string& body)
{
    return std::string(signature, 2) + static_cast<char>(4 + body.size()) + '\x01' + body;
}

std::string nameEntry(const std::string& name, std::uint8_t flags = 0)
{
    return susp("NM", std::string(1, static_cast<char>(flags)) + name);
}

// A 32-bit number in both byte orders.
std::string both32(std::uint32_t value)
{
    std::string bytes(8, '\0');
    for (std::size_t index = 0; index < 4; ++index) {
        bytes[index] = static_cast<char>(value >> (8 * index));
        bytes[7 - index] = static_cast<char>(value >> (8 * index));
    }
    return bytes;
}

std::string continuation(std::uint32_t block, std::uint32_t offset, std::uint32_t length)
{
    return susp("CE", both32(block) + both32(offset) + both32(length));
}

Record rockRidge(Record record, const std::string& systemUse)
{
    record.SystemUse = systemUse;
    return record;
}

// Continuation areas lie in the second sector of a directory made for them: the root directory takes
// four sectors from HandMadeIso::FirstDirectorySector, that one the next four.
constexpr std::uint32_t s_continuationBlock
    = HandMadeIso::FirstDirectorySector + HandMadeIso::MinimumDirectorySectors + 1;
constexpr std::uint32_t s_continuationOffset = 100;
constexpr std::uint32_t s_nowhere = 0x00FFFFF0;

struct RockRidgeNameCase {
    const char* Name;
    std::string SystemUse; ///< of FILE.TXT;1
    std::string Continuation; ///< the bytes at s_continuationOffset of s_continuationBlock
    std::string Expected; ///< the name; empty when the listing fails with Problem
    std::string Problem;
    std::uint8_t Skip = 0; ///< bytes of every system use area before its entries
};

void PrintTo(const RockRidgeNameCase& value, std::ostream* out) { *out << value.Name; }

class RockRidgeNameTest : public HandMadeImageTest, public testing::WithParamInterface<RockRidgeNameCase> { };

TEST_P(RockRidgeNameTest, TakesTheNameEntriesOrFailsTheListing)
{
    const RockRidgeNameCase& name = GetParam();
    HandMadeIso iso;
    iso.addRockRidge(name.Skip);
    const int spare = iso.addDirectory();
    iso.addRecord(0, file("A.TXT;1", 1)); // no entries: the ISO 9660 name
    iso.addRecord(0, rockRidge(file("FILE.TXT;1", 2), name.SystemUse));
    ASSERT_EQ(iso.directorySector(spare) + 1, s_continuationBlock);
    std::string image = iso.bytes();
    image.replace(s_continuationBlock * 2048 + s_continuationOffset, name.Continuation.size(), name.Continuation);
    const std::string path = m_temp.file("rockridge.iso");
    ASSERT_TRUE(writeFileBytes(path, image));

    const std::unique_ptr<DriveFolderListing> top = openPathDrive(path)->openFolder("");
    ASSERT_NE(top, nullptr);
    std::vector<std::string> names;
    TKTBDirEntry entry {};
    while (top->next(entry)) {
        names.emplace_back(entry.Name);
    }
    EXPECT_EQ(top->failed(), name.Expected.empty());
    EXPECT_EQ(top->problem(), name.Problem);
    std::vector<std::string> expected { "A.TXT" };
    if (!name.Expected.empty()) {
        expected.push_back(name.Expected);
    }
    EXPECT_EQ(names, expected);
}

// A continuation entry naming the area of length bytes at offset of s_continuationBlock.
std::string continuationAt(std::uint32_t length, std::uint32_t offset = s_continuationOffset)
{
    return continuation(s_continuationBlock, offset, length);
}

RockRidgeNameCase named(
    const char* name, std::string systemUse, std::string continuation, std::string expected, std::uint8_t skip = 0)
{
    return { name, std::move(systemUse), std::move(continuation), std::move(expected), "", skip };
}

RockRidgeNameCase damaged(const char* name, std::string systemUse, std::string continuation = "",
    std::string problem = "a damaged directory record")
{
    return { name, std::move(systemUse), std::move(continuation), "", std::move(problem), 0 };
}

INSTANTIATE_TEST_SUITE_P(Entries, RockRidgeNameTest,
    testing::Values(named("NameAsItIs", nameEntry("semi;colon.txt;1."), "", "semi;colon.txt;1."),
        named("NameInTwoEntries", nameEntry("Long ", 1) + nameEntry("name"), "", "Long name"),
        named("NameGoingOnInAContinuationArea", nameEntry("Long ", 1) + continuationAt(9), nameEntry("name"),
            "Long name"),
        named("ContinuationAreaLeadingToAnother", continuationAt(28),
            continuationAt(11, s_continuationOffset + 28) + nameEntry("second"), "second"),
        named("NameCutAfterItsTwoHundredFiftyNinthCharacter", nameEntry(std::string(150, 'a'), 1) + continuationAt(155),
            nameEntry(std::string(150, 'b')), std::string(150, 'a') + std::string(109, 'b')),
        named("NoNameEntryKeepsTheIsoName", susp("PX", std::string(32, '\0')), "", "FILE.TXT"),
        named("SkippedBytesBeforeTheEntries", "xyz" + nameEntry("skipped"), "", "skipped", 3),
        named("LaterNameEntriesDoNotCount", nameEntry("first") + nameEntry("second"), "", "first"),
        named("StopEntryEndsTheArea", susp("ST", "") + nameEntry("after"), "", "FILE.TXT"),
        named("ZeroPaddingAfterTheEntries", nameEntry("padded") + std::string(5, '\0'), "", "padded"),
        damaged("NameWithoutItsRest", nameEntry("half", 1)), damaged("NameOfTheFolderItself", nameEntry("", 2)),
        damaged("NameOfTheParent", nameEntry("", 4)), damaged("EmptyName", nameEntry("")),
        damaged("DotDot", nameEntry("..")), damaged("NameWithASlash", nameEntry("a/b")),
        damaged("NameWithAZeroByte", nameEntry(std::string("a\0b", 3))),
        damaged("EntryShorterThanItsHeader", std::string("NM\x02\x01", 4)),
        damaged("EntryRunningPastTheArea", std::string("NM\x40\x01\x00", 5) + "abc"),
        damaged("ContinuationBeyondTheVolume", nameEntry("a", 1) + continuation(s_nowhere, 0, 10), "",
            "it lies beyond the end of the volume"),
        damaged("ContinuationPastItsBlock", continuationAt(100, 2000)),
        damaged("ContinuationNamingItself", continuationAt(28), continuationAt(28))),
    [](const testing::TestParamInfo<RockRidgeNameCase>& info) { return std::string(info.param.Name); });

// A folder nine levels down lives in "rr_moved"; a child link stands where it belongs.
struct Relocation {
    HandMadeIso Iso;
    int Moved = 0;
    int MovedHome = 0;

    Relocation()
    {
        Iso.addRockRidge();
        const int deep = Iso.addDirectory();
        MovedHome = Iso.addDirectory();
        Moved = Iso.addDirectory();
        Iso.addRecord(0, rockRidge(folder("DEEP", deep), nameEntry("deep")));
        Iso.addRecord(0, rockRidge(folder("RR_MOVED", MovedHome), nameEntry("rr_moved")));
        Iso.addRecord(MovedHome, rockRidge(folder("MOVED", Moved), nameEntry("moved") + susp("RE", "")));
        Iso.addRecord(Moved, rockRidge(file("INSIDE.TXT;1", 3), nameEntry("inside.txt")));
        Iso.addRecord(
            deep, rockRidge(file("MOVED", 0), nameEntry("moved") + susp("CL", both32(Iso.directorySector(Moved)))));
    }
};

TEST_F(HandMadeImageTest, AFolderMovedForItsDepthIsListedWhereItBelongs)
{
    Relocation relocation;
    WalkResult walk = walkDrive(*driveOver(relocation.Iso));
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "deep", "deep/moved", "deep/moved/inside.txt" }));

    // A "rr_moved" holding anything else is a folder of the user's.
    relocation.Iso.addRecord(relocation.MovedHome, rockRidge(file("KEEP.TXT;1", 1), nameEntry("keep.txt")));
    walk = walkDrive(*driveOver(relocation.Iso));
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(paths(walk),
        (std::vector<std::string> { "deep", "deep/moved", "deep/moved/inside.txt", "rr_moved", "rr_moved/keep.txt" }));
}

TEST_F(HandMadeImageTest, AChildLinkToNoFolderCannotBeListed)
{
    HandMadeIso iso;
    iso.addRockRidge();
    const int empty = iso.addDirectory();
    iso.addRecord(
        0, rockRidge(file("LOST", 0), nameEntry("lost") + susp("CL", both32(iso.directorySector(empty) + 1))));
    iso.addRecord(0, rockRidge(file("FAR", 0), nameEntry("far") + susp("CL", both32(s_nowhere))));
    iso.addRecord(0, rockRidge(file("LOOP", 0), nameEntry("loop") + susp("CL", both32(iso.directorySector(0)))));
    const WalkResult walk = walkDrive(*driveOver(iso));
    EXPECT_FALSE(walk.Complete);
    EXPECT_EQ(paths(walk), (std::vector<std::string> { "far", "loop", "lost" }));
}

} // namespace
