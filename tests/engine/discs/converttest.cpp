// Converting catalogs of the older format, written here byte by byte: the header's owner, name and
// creation time, discs with their records carried over and their runs completed, and every failure
// leaving no new file behind and the older file as it was.

#include "engine/ktb_comp.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_io.h"
#include "tests/engine/discs/discsfixture.h"
#include "tests/engine/discs/oldercatalog.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>

namespace {

const std::uint32_t s_songDate = CatalogBuilder::dosDateTime(2001, 7, 8, 9, 10, 12);

/// One disc with a folder and a file, as the brief example has it.
OlderCatalog oneDisc()
{
    OlderCatalog older("Anna", "Old set", dayCount(2003, 5, 1, 12, 30, 10));
    older.disc({ .serial = 0x12345678,
        .title = "CD 1",
        .second = "not carried over",
        .comment = "Holiday",
        .scanTime = dayCount(2004, 6, 7, 8, 9, 10),
        .used = 4000,
        .capacity = 681574400,
        .files = 1 });
    older.folder("Music").file("song.mp3", 4000, s_songDate, "a comment").endFolder().endDisc();
    return older;
}

class ConvertTest : public DiscsTest {
protected:
    std::string writeOlder(const std::string& bytes)
    {
        const std::string path = m_temp.file("older.ktb");
        EXPECT_TRUE(writeFileBytes(path, bytes));
        return path;
    }
    TKTBERROR convert(const std::string& older, TKTBConvertProgress progress = nullptr, void* userData = nullptr)
    {
        return ktbConvertOlder(older.c_str(), converted().c_str(), progress, userData);
    }
    std::string converted() const { return m_temp.file("new.ktb"); }

    std::string headerText(TKTBHandle* handle, int field)
    {
        char buffer[KTB_NAME_MAX + 1] = {};
        EXPECT_EQ(ktbGetHeaderField(handle, field, buffer), KTB_OK);
        return buffer;
    }
    std::uint32_t created(TKTBHandle* handle)
    {
        std::uint32_t value = 0;
        EXPECT_EQ(ktbGetHeaderField(handle, KTB_HDR_CREATED, &value), KTB_OK);
        return value;
    }
};

TEST_F(ConvertTest, AHeaderAloneBecomesAnEmptyCatalogWithTheOlderOwnerNameAndCreationTime)
{
    // A name of the full 17 bytes runs to the end of the header without a zero byte.
    const OlderCatalog older("Anna", "Seventeen chars!!", dayCount(2003, 5, 1, 12, 30, 10));
    ASSERT_EQ(older.bytes().size(), 88U);
    ASSERT_EQ(convert(writeOlder(older.bytes())), KTB_OK);
    EXPECT_EQ(readFileBytes(converted()).size(), KTB_HEADER_SIZE);
    TKTBHandle* catalog = openCatalog(converted(), KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);
    EXPECT_EQ(headerText(catalog, KTB_HDR_OWNER), "Anna");
    EXPECT_EQ(headerText(catalog, KTB_HDR_NAME), "Seventeen chars!!");
    EXPECT_EQ(created(catalog), CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10));
}

TEST_F(ConvertTest, ACreationTimeBefore1980KeepsTheConversionsOwnStamp)
{
    const auto utcNow = [] {
        const time_t now = ::time(nullptr);
        std::tm utc {};
        gmtime_r(&now, &utc);
        return CatalogBuilder::dosDateTime(
            utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    };
    const std::uint32_t before = utcNow();
    ASSERT_EQ(convert(writeOlder(OlderCatalog("Bob", "Seventies", dayCount(1975, 3, 4)).bytes())), KTB_OK);
    const std::uint32_t after = utcNow();
    TKTBHandle* catalog = openCatalog(converted(), KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);
    EXPECT_GE(created(catalog), before);
    EXPECT_LE(created(catalog), after);
    EXPECT_EQ(headerText(catalog, KTB_HDR_OWNER), "Bob");
}

TEST_F(ConvertTest, ADiscWithAFolderAndAFileIteratesAsDiscFolderFile)
{
    struct Calls {
        int count = 0;
        std::uint32_t newPosition = 0;
        std::uint32_t oldPosition = 0;
        std::string tags;
    } calls;
    const auto progress
        = [](std::uint32_t newPosition, std::uint32_t oldPosition, std::uint8_t tag, void* userData, bool& cancel) {
              auto& seen = *static_cast<Calls*>(userData);
              EXPECT_FALSE(cancel);
              seen = { seen.count + 1, newPosition, oldPosition, seen.tags + static_cast<char>('0' + tag) };
          };
    const OlderCatalog older = oneDisc();
    ASSERT_EQ(convert(writeOlder(older.bytes()), progress, &calls), KTB_OK);
    const std::string bytes = readFileBytes(converted());
    EXPECT_EQ(calls.tags, "23456") << "one call after each record";
    EXPECT_EQ(calls.oldPosition, older.bytes().size());
    EXPECT_EQ(calls.newPosition, bytes.size());

    TKTBHandle* catalog = openCatalog(converted(), KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);
    std::string kinds;
    TKTBCursor* cursor = ktbFindFirstAll(catalog, 0);
    for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
        kinds += static_cast<char>('0' + cursor->Current->Kind);
    }
    ktbFindClose(cursor);
    EXPECT_EQ(kinds, "234") << "disc, folder, file";

    TKTBDisc disc {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, disc));
    EXPECT_EQ(disc.RunLength, bytes.size() - KTB_HEADER_SIZE);
    EXPECT_EQ(disc.Flags, 0U);
    EXPECT_EQ(disc.Folders, 0U);
    // Every record byte for byte as the current format writes it.
    CatalogBuilder expected;
    expected.beginDisc({ .serial = 0x12345678,
        .title = "CD 1",
        .comment = "Holiday",
        .scanTime = CatalogBuilder::dosDateTime(2004, 6, 7, 8, 9, 10),
        .used = 4000,
        .capacity = 681574400,
        .files = 1,
        .folders = 0 });
    expected.beginFolder("Music");
    expected.addFile("song.mp3", 4000, s_songDate, "a comment");
    expected.endFolder();
    expected.endDisc();
    EXPECT_EQ(bytes.substr(KTB_HEADER_SIZE), expected.bytes().substr(KTB_HEADER_SIZE));
}

TEST_F(ConvertTest, LongTextsAreCutAndScanTimesOutsideTheDosRangeBecomeZero)
{
    OlderCatalog older("Anna", "Set", dayCount(2003, 5, 1));
    older
        .disc({ .serial = 1,
            .title = std::string(70, 'T'),
            .comment = std::string(70, 'C'),
            .scanTime = dayCount(1979, 12, 31) })
        .endDisc();
    older.disc({ .serial = 2, .scanTime = dayCount(2108, 1, 1) }).endDisc();
    ASSERT_EQ(convert(writeOlder(older.bytes())), KTB_OK);
    TKTBHandle* catalog = openCatalog(converted(), KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);
    TKTBDisc first {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, first));
    EXPECT_EQ(fieldText(first.Title, sizeof first.Title), std::string(63, 'T'));
    EXPECT_EQ(fieldText(first.Comment, sizeof first.Comment), std::string(59, 'C'));
    EXPECT_EQ(first.ScanTime, 0U);
    TKTBDisc second {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE + first.RunLength, second));
    EXPECT_EQ(second.Serial, 2U);
    EXPECT_EQ(second.ScanTime, 0U);
}

TEST_F(ConvertTest, AScanTimeThatIsNoDateBecomesTheConversionTime)
{
    OlderCatalog older("Anna", "Set", dayCount(2003, 5, 1));
    older.disc({ .serial = 1, .scanTime = std::numeric_limits<double>::quiet_NaN() }).endDisc();
    ASSERT_EQ(convert(writeOlder(older.bytes())), KTB_OK);
    TKTBHandle* catalog = openCatalog(converted(), KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);
    TKTBDisc disc {};
    ASSERT_TRUE(ktbReadDisc(catalog, KTB_HEADER_SIZE, disc));
    EXPECT_EQ(disc.ScanTime >> 16, localDos(::time(nullptr)) >> 16) << "today's date";
}

struct FailureCase {
    const char* Name;
    std::string (*Older)();
    TKTBERROR Code;
};

const FailureCase s_failures[] = {
    { "StrayTag", [] { return OlderCatalog("Anna", "Set", 0).raw("\x09").bytes(); }, KTB_ERR_BADENTITY },
    { "StrayTagInsideADisc",
        [] {
            std::string bytes = oneDisc().bytes();
            return bytes.insert(bytes.size() - 2, "\x09");
        },
        KTB_ERR_BADENTITY },
    { "RecordCutShort", [] { return oneDisc().bytes().substr(0, oneDisc().bytes().size() - 8); }, KTB_ERR_BADENTITY },
    // A disc without its end mark would become a run that can be neither deleted nor copied.
    { "NoEndOfDisc",
        [] {
            const std::string bytes = oneDisc().bytes();
            return bytes.substr(0, bytes.size() - 1);
        },
        KTB_ERR_BADENTITY },
    { "DiscInsideADisc",
        [] {
            const std::string bytes = oneDisc().bytes();
            return bytes.substr(0, bytes.size() - 1) + oneDisc().bytes().substr(88);
        },
        KTB_ERR_BADENTITY },
    { "EndOfDiscOutsideADisc", [] { return oneDisc().bytes() + "\x06"; }, KTB_ERR_BADENTITY },
    // Records outside a disc and unbalanced folder marks would make a catalog that no walk reads whole.
    { "FileOutsideADisc", [] { return OlderCatalog("Anna", "Set", 0).file("loose.txt", 1, 0).bytes(); },
        KTB_ERR_BADENTITY },
    { "EndOfFolderWithoutAFolder",
        [] { return OlderCatalog("Anna", "Set", 0).disc({ .serial = 1 }).endFolder().endDisc().bytes(); },
        KTB_ERR_BADENTITY },
    { "FolderLeftOpen",
        [] { return OlderCatalog("Anna", "Set", 0).disc({ .serial = 1 }).folder("open").endDisc().bytes(); },
        KTB_ERR_BADENTITY },
    { "HeaderCutShort", [] { return oneDisc().bytes().substr(0, 87); }, KTB_ERR_INVALIDHEADER },
    { "OtherSignature",
        [] {
            std::string bytes = oneDisc().bytes();
            bytes[15] = 'x';
            return bytes;
        },
        KTB_ERR_INVALIDHEADER },
    { "CurrentCatalog", [] { return CatalogBuilder().bytes(); }, KTB_ERR_INVALIDHEADER },
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.Name; }

class ConvertFailureTest : public ConvertTest, public testing::WithParamInterface<FailureCase> { };

TEST_P(ConvertFailureTest, LeavesNoNewFileAndTheOlderOneAsItWas)
{
    const std::string bytes = GetParam().Older();
    const std::string older = writeOlder(bytes);
    EXPECT_EQ(convert(older), GetParam().Code);
    EXPECT_FALSE(pathExists(converted()));
    EXPECT_FALSE(pathExists(converted() + "-building"));
    EXPECT_EQ(readFileBytes(older), bytes);
}

INSTANTIATE_TEST_SUITE_P(Failures, ConvertFailureTest, testing::ValuesIn(s_failures),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.Name); });

TEST_F(ConvertTest, AMissingOlderFileIsNotAvailable)
{
    EXPECT_EQ(convert(m_temp.file("missing.ktb")), KTB_ERR_FILENOTAVAILABLE);
    EXPECT_FALSE(pathExists(converted()));
}

TEST_F(ConvertTest, CancelThroughTheCallbackLeavesNoNewFile)
{
    OlderCatalog older = oneDisc();
    older.disc({ .serial = 2, .title = "CD 2" }).file("x", 1, 0).endDisc();
    const std::string path = writeOlder(older.bytes());
    int calls = 0;
    const auto cancelAtThird = [](std::uint32_t, std::uint32_t, std::uint8_t, void* userData, bool& cancel) {
        cancel = ++*static_cast<int*>(userData) == 3;
    };
    EXPECT_EQ(convert(path, cancelAtThird, &calls), KTB_ERR_INTERRUPTED);
    EXPECT_EQ(calls, 3) << "the conversion stops after the record being copied";
    EXPECT_FALSE(pathExists(converted()));
    EXPECT_EQ(readFileBytes(path), older.bytes());
}

TEST_F(ConvertTest, AnExistingNewFileIsNeitherOverwrittenNorRemoved)
{
    const std::string path = writeOlder(oneDisc().bytes());
    ASSERT_TRUE(writeFileBytes(converted(), "precious"));
    EXPECT_EQ(convert(path), KTB_ERR_FILEEXISTS);
    EXPECT_EQ(readFileBytes(converted()), "precious");
}

/// Makes the n-th write into the new catalog (or its journal) fail, as a full or failing disk would.
struct FailingWrite {
    std::string target;
    std::size_t failing = 0;
    std::size_t seen = 0;
    static bool hook(TKTBIoCall call, const char* path, const char*, void* data)
    {
        auto& self = *static_cast<FailingWrite*>(data);
        return call != TKTBIoCall::Write || std::string_view(path).rfind(self.target, 0) != 0
            || ++self.seen != self.failing;
    }
};

TEST_F(ConvertTest, AWriteThatFailsAnywhereLeavesNoNewFile)
{
    // The first disc is larger than the converter's buffer, so its record is completed in the file.
    OlderCatalog older("Anna", "Big", dayCount(2003, 5, 1));
    older.disc({ .serial = 1, .title = "Big" });
    const std::string name(200, 'n');
    for (std::uint32_t file = 0; file < 45000; ++file) {
        older.file(name + std::to_string(file), file, s_songDate);
    }
    older.endDisc().disc({ .serial = 2, .title = "Small" }).endDisc();
    const std::string path = writeOlder(older.bytes());
    FailingWrite counting { converted() };
    ktbSetIoHook(&FailingWrite::hook, &counting);
    ASSERT_EQ(convert(path), KTB_OK);
    ktbSetIoHook(nullptr, nullptr);
    ASSERT_TRUE(std::filesystem::remove(converted()));
    for (std::size_t failing = 1; failing <= counting.seen; ++failing) {
        SCOPED_TRACE(failing);
        FailingWrite failure { converted(), failing };
        ktbSetIoHook(&FailingWrite::hook, &failure);
        const TKTBERROR code = convert(path);
        ktbSetIoHook(nullptr, nullptr);
        EXPECT_NE(code, KTB_OK);
        EXPECT_FALSE(pathExists(converted()));
        std::filesystem::remove(converted());
    }
}

} // namespace
