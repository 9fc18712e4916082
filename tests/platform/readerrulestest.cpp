// The small rules the reader applies to single fields: record times, names, UCS-2, audio addresses,
// walk paths and name cutting. Tables of inputs, each with the answer the origin gives.

#include "platform/audiomedium.h"
#include "platform/isovolume.h"
#include "platform/medium.h"
#include "tests/support/handmadeiso.h"

#include <gtest/gtest.h>

namespace {

struct TimeCase {
    const char* Name;
    std::array<std::uint8_t, 7> Bytes;
    std::int64_t Utc;
};

class RecordTimeTest : public testing::TestWithParam<TimeCase> { };

TEST_P(RecordTimeTest, GivesUtcSeconds) { EXPECT_EQ(isoRecordTime(GetParam().Bytes.data()), GetParam().Utc); }

// 2010-01-01 12:00:00 UTC is 1262347200.
INSTANTIATE_TEST_SUITE_P(Times, RecordTimeTest,
    testing::Values(TimeCase { "Utc", { 110, 1, 1, 12, 0, 0, 0 }, 1262347200 },
        TimeCase { "KolkataPlus22Quarters", { 110, 1, 1, 17, 30, 0, 22 }, 1262347200 },
        TimeCase { "NewYorkMinus20Quarters", { 110, 1, 1, 7, 0, 0, static_cast<std::uint8_t>(-20) }, 1262347200 },
        TimeCase { "EasternmostPlus52", { 110, 1, 2, 1, 0, 0, 52 }, 1262347200 },
        TimeCase { "WesternmostMinus48", { 110, 1, 1, 0, 0, 0, static_cast<std::uint8_t>(-48) }, 1262347200 },
        TimeCase { "OffsetAbove52IsIgnored", { 110, 1, 1, 12, 0, 0, 53 }, 1262347200 },
        TimeCase { "OffsetBelowMinus48IsIgnored", { 110, 1, 1, 12, 0, 0, static_cast<std::uint8_t>(-49) }, 1262347200 },
        TimeCase { "LeapDay2000", { 100, 2, 29, 0, 0, 0, 0 }, 951782400 },
        TimeCase { "Before1970", { 60, 7, 4, 0, 0, 1, 0 }, -299635199 },
        TimeCase { "LastYearTheFieldHolds", { 255, 12, 31, 23, 59, 59, 0 }, 5869583999 },
        TimeCase { "AllZeroIsNoTime", { 0, 0, 0, 0, 0, 0, 0 }, 0 },
        TimeCase { "MonthThirteenIsNoTime", { 110, 13, 1, 0, 0, 0, 0 }, 0 },
        TimeCase { "HourTwentyFourIsNoTime", { 110, 1, 1, 24, 0, 0, 0 }, 0 },
        TimeCase { "ThirtiethOfFebruaryIsNoTime", { 110, 2, 30, 12, 0, 0, 0 }, 0 },
        TimeCase { "LeapDayOfACenturyWithoutOneIsNoTime", { 0, 2, 29, 12, 0, 0, 0 }, 0 },
        TimeCase { "ThirtyFirstOfAprilIsNoTime", { 110, 4, 31, 0, 0, 0, 0 }, 0 }),
    [](const testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.Name); });

struct NameCase {
    const char* Name;
    std::string Identifier;
    bool Joliet;
    std::string Expected;
};

class RecordNameTest : public testing::TestWithParam<NameCase> { };

TEST_P(RecordNameTest, DropsTheVersionThenOneTrailingDot)
{
    const std::string& identifier = GetParam().Identifier;
    EXPECT_EQ(
        isoRecordName(reinterpret_cast<const std::uint8_t*>(identifier.data()), identifier.size(), GetParam().Joliet),
        GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Names, RecordNameTest,
    testing::Values(NameCase { "Plain", "FILE.TXT;1", false, "FILE.TXT" },
        NameCase { "NoExtension", "NOEXT.;1", false, "NOEXT" },
        NameCase { "OnlyOneDotGoes", "NAME..;1", false, "NAME." }, NameCase { "NoVersion", "FOLDER", false, "FOLDER" },
        NameCase { "DotInsideStays", "A.B.C;1", false, "A.B.C" },
        NameCase { "LaterSemicolonsGoToo", "A;B;1", false, "A" },
        NameCase { "BytesAboveAsciiStay", "CAF\xC9.TXT;1", false, "CAF\xC9.TXT" },
        NameCase { "ZeroByteEndsTheName", std::string("AB\0CD", 5), false, "AB" },
        NameCase { "JolietMixedCase", ucs2(u"Read Me.txt;1"), true, "Read Me.txt" },
        NameCase { "JolietNonAscii", ucs2(u"Gr\u00fc\u00dfe.txt"), true,
            "Gr\xC3\xBC\xC3\x9F"
            "e.txt" },
        NameCase { "JolietCjk", ucs2(u"\u65e5\u672c\u8a9e"), true, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E" },
        NameCase { "JolietTrailingDot", ucs2(u"noext.;1"), true, "noext" },
        NameCase { "JolietOddByteIgnored", ucs2(u"ab") + "x", true, "ab" }),
    [](const testing::TestParamInfo<NameCase>& info) { return std::string(info.param.Name); });

TEST(Ucs2, SurrogatePairsBecomeOneCharacterAndLoneOnesTheReplacementCharacter)
{
    const std::string pair = ucs2(u"\U0001F4BF"); // an optical disc
    EXPECT_EQ(ucs2BigEndianToUtf8(reinterpret_cast<const std::uint8_t*>(pair.data()), pair.size()), "\xF0\x9F\x92\xBF");
    const std::string lone = ucs2(std::u16string(1, char16_t(0xD83D)) + u"x" + std::u16string(1, char16_t(0xDCBF)));
    EXPECT_EQ(ucs2BigEndianToUtf8(reinterpret_cast<const std::uint8_t*>(lone.data()), lone.size()),
        "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

TEST(LaneSums, EachLaneKeepsEightBitsAndTheFirstLaneIsTheHighByte)
{
    std::array<std::uint8_t, 2048> sector {};
    sector[0] = 0x12;
    sector[4] = 0xF0;
    sector[8] = 0x20; // lane 0: 0x122 keeps 0x22
    sector[1] = 0x34;
    sector[2] = 0x56;
    sector[2047] = 0x78; // lane 3
    EXPECT_EQ(laneSumReport(sector.data()), 0x22345678U);
}

struct MsfCase {
    std::uint32_t Lsn;
    std::uint32_t Msf;
};

class MsfTest : public testing::TestWithParam<MsfCase> { };

TEST_P(MsfTest, CountsFromTwoSecondsBeforeTheFirstSector) { EXPECT_EQ(msfValue(GetParam().Lsn), GetParam().Msf); }

INSTANTIATE_TEST_SUITE_P(Addresses, MsfTest,
    testing::Values(MsfCase { 0, 0x000200 }, MsfCase { 74, 0x00024A }, MsfCase { 4350, 0x010000 },
        MsfCase { 4349, 0x003B4A }, MsfCase { 332850, 0x4A0000 }));

TEST(AudioSerial, ThreeOrMoreTracksSumTheirStartsWithWrapAround)
{
    DiscToc toc;
    toc.LeadOut = 1000;
    toc.Tracks = { { 1, true, 0 }, { 2, true, 100 } };
    EXPECT_EQ(audioSerialReport(toc), msfValue(1000));
    toc.Tracks.push_back({ 3, true, 200 });
    EXPECT_EQ(audioSerialReport(toc), msfValue(0) + msfValue(100) + msfValue(200));
    toc.Tracks.assign(99, DiscTrack { 1, true, 0x7FFFFFFF });
    EXPECT_EQ(audioSerialReport(toc), static_cast<std::uint32_t>(99ULL * msfValue(0x7FFFFFFF)));
}

struct DrivePathCase {
    const char* Path;
    bool Valid;
    char Letter;
    const char* Relative;
};

class DrivePathTest : public testing::TestWithParam<DrivePathCase> { };

TEST_P(DrivePathTest, SplitsLetterAndRelativePath)
{
    char letter = 0;
    std::string relative = "unchanged";
    ASSERT_EQ(splitDrivePath(GetParam().Path, letter, relative), GetParam().Valid);
    if (GetParam().Valid) {
        EXPECT_EQ(letter, GetParam().Letter);
        EXPECT_EQ(relative, GetParam().Relative);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, DrivePathTest,
    testing::Values(DrivePathCase { "D:\\", true, 'D', "" }, DrivePathCase { "D:\\Music\\", true, 'D', "Music" },
        DrivePathCase { "e:\\Music\\Rock\\", true, 'E', "Music/Rock" },
        DrivePathCase { "Z:\\a b\\c", true, 'Z', "a b/c" }, DrivePathCase { "D:", false, 0, "" },
        DrivePathCase { "D:/Music", false, 0, "" }, DrivePathCase { "1:\\", false, 0, "" },
        DrivePathCase { "", false, 0, "" }, DrivePathCase { "\\\\server\\share\\", false, 0, "" }));

TEST(CutName, KeepsTwoHundredFiftyNineCharactersAndNeverSplitsASequence)
{
    const auto repeat = [](const std::string& text, int count) {
        std::string out;
        for (int index = 0; index < count; ++index) {
            out += text;
        }
        return out;
    };
    const std::string cjk = "\xE6\x97\xA5"; // three bytes, one character
    const std::string disc = "\xF0\x9F\x92\xBF"; // four bytes, two UTF-16 code units
    EXPECT_EQ(cutName(repeat(cjk, 259)), repeat(cjk, 259)) << "777 bytes are 259 characters";
    EXPECT_EQ(cutName(repeat(cjk, 260)), repeat(cjk, 259));
    EXPECT_EQ(cutName(repeat("a", 258) + disc), repeat("a", 258)) << "a pair of code units does not fit in one";
    EXPECT_EQ(cutName(repeat("a", 257) + disc), repeat("a", 257) + disc);
    EXPECT_EQ(cutName(repeat("\xC9", 300)), repeat("\xC9", 259)) << "bytes of another code page count one each";
    EXPECT_EQ(cutName(repeat(cjk, 257) + "\xE6\x97"), repeat(cjk, 257) + "\xE6\x97") << "a broken sequence: two bytes";
}

TEST(RelativePath, EmptyPartsAreSkipped)
{
    EXPECT_EQ(splitRelativePath(""), std::vector<std::string>());
    EXPECT_EQ(splitRelativePath("/a//b/"), (std::vector<std::string> { "a", "b" }));
}

} // namespace
