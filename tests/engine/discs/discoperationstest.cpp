// The operations on whole discs: finding, reading, updating, deleting and copying, on catalogs written
// by hand; locked and read-only files refuse every change; damaged runs are neither deleted nor copied;
// the appender that recordings write through.

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "tests/engine/discs/discsfixture.h"
#include "tests/engine/discs/samplecatalogs.h"

#include <cstring>

namespace {

class DiscOperationsTest : public DiscsTest {
protected:
    TKTBHandle* open(const CatalogBuilder& catalog, const std::string& name, std::uint32_t flags = 0)
    {
        EXPECT_TRUE(catalog.writeTo(m_temp.file(name)));
        return openCatalog(m_temp.file(name), flags);
    }
};

TEST_F(DiscOperationsTest, DeletingTheFirstOfThreeDiscsMovesTheOthersDownByItsRunLength)
{
    const ThreeDiscs discs;
    TKTBHandle* catalog = open(discs.catalog, "three.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc second {};
    TKTBDisc third {};
    ASSERT_TRUE(ktbReadDisc(catalog, discs.second, second));
    ASSERT_TRUE(ktbReadDisc(catalog, discs.third, third));

    ASSERT_EQ(ktbDeleteDisc(catalog, discs.first), KTB_OK);
    const std::uint32_t runLength = discs.second - discs.first;
    const std::string bytes = fileBytes(catalog);
    EXPECT_EQ(bytes.size(), discs.end - runLength);
    EXPECT_EQ(bytes.substr(KTB_HEADER_SIZE), discs.run(discs.second, discs.end));
    TKTBDisc moved {};
    ASSERT_TRUE(ktbReadDisc(catalog, discs.second - runLength, moved));
    EXPECT_EQ(std::memcmp(&moved, &second, sizeof moved), 0);
    ASSERT_TRUE(ktbReadDisc(catalog, discs.third - runLength, moved));
    EXPECT_EQ(std::memcmp(&moved, &third, sizeof moved), 0);
    TKTBEntity* found = nullptr;
    ASSERT_TRUE(ktbFindDiscBySerial(catalog, 3, found));
    EXPECT_EQ(found->Offset, discs.third - runLength);
    ktbFreeEntity(found);
    EXPECT_FALSE(ktbFindDiscBySerial(catalog, 0x0A0B0C0D, found));
}

TEST_F(DiscOperationsTest, DeleteRefusesOffsetsThatHoldNoDisc)
{
    const ThreeDiscs discs;
    TKTBHandle* catalog = open(discs.catalog, "three.ktb");
    ASSERT_NE(catalog, nullptr);
    for (const std::uint32_t offset : { discs.folder, discs.file, 0u, 100u, discs.first + 1, discs.end, 1u << 30 }) {
        SCOPED_TRACE(offset);
        ktbSetLastError(KTB_OK);
        EXPECT_EQ(ktbDeleteDisc(catalog, offset), KTB_ERR_DISCNOTEXISTS);
        EXPECT_EQ(ktbLastError(), KTB_ERR_DISCNOTEXISTS);
        EXPECT_EQ(withoutModified(fileBytes(catalog)), withoutModified(discs.catalog.bytes()));
    }
}

struct DamageCase {
    const char* Name;
    std::uint32_t RunLength; ///< of the first disc, whose true run is 166 bytes (190 with its file)
    bool WithFile = false; ///< the disc holds a file whose size is 0x06060606
};

void PrintTo(const DamageCase& damage, std::ostream* out) { *out << damage.Name; }

class DamagedRunTest : public DiscOperationsTest, public testing::WithParamInterface<DamageCase> { };

TEST_P(DamagedRunTest, DeleteAndCopyRefuseARunThatDoesNotEndOnItsMark)
{
    CatalogBuilder damaged;
    const std::uint32_t disc = damaged.beginDisc({ .serial = 5, .runLength = GetParam().RunLength });
    if (GetParam().WithFile) {
        damaged.addFile("x", 0x06060606, 0);
    }
    damaged.endDisc();
    damaged.addEmptyDisc({ .serial = 6 });
    TKTBHandle* catalog = open(damaged, "damaged.ktb");
    TKTBHandle* destination = open(CatalogBuilder(), "destination.ktb");
    ASSERT_NE(catalog, nullptr);
    ASSERT_NE(destination, nullptr);

    ktbSetErrorDetail(1, 1);
    EXPECT_EQ(ktbDeleteDisc(catalog, disc), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbLastError(), KTB_ERR_BADENTITY);
    TKTBErrorDetail detail;
    ktbErrorDetail(detail);
    EXPECT_EQ(detail.Offset, disc);
    EXPECT_EQ(withoutModified(fileBytes(catalog)), withoutModified(damaged.bytes()));

    ktbSetErrorDetail(1, 1);
    std::uint32_t newOffset = 99;
    EXPECT_EQ(ktbCopyDisc(catalog, destination, disc, newOffset), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbLastError(), KTB_ERR_BADENTITY);
    ktbErrorDetail(detail);
    EXPECT_EQ(detail.Offset, disc);
    EXPECT_EQ(newOffset, 0U);
    EXPECT_EQ(fileBytes(destination).size(), KTB_HEADER_SIZE);
}

INSTANTIATE_TEST_SUITE_P(Runs, DamagedRunTest,
    testing::Values(DamageCase { "BeingWritten", 0 }, DamageCase { "TooShort", 165 },
        DamageCase { "IntoTheNextDisc", 200 }, DamageCase { "PastTheEnd", 5000 },
        // The run's last byte is a 6 inside the file's size: only parsing the records tells.
        DamageCase { "EndsOnASixThatIsNoMark", 170, true }),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.Name); });

TEST_F(DiscOperationsTest, CopyAppendsTheWholeRunAtTheDestinationsEnd)
{
    const ThreeDiscs discs;
    CatalogBuilder held;
    held.addEmptyDisc({ .serial = 77, .title = "Held" });
    TKTBHandle* source = open(discs.catalog, "source.ktb");
    TKTBHandle* destination = open(held, "destination.ktb");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(destination, nullptr);

    // Offset 0 names the first disc of the source.
    std::uint32_t newOffset = 0;
    ASSERT_EQ(ktbCopyDisc(source, destination, 0, newOffset), KTB_OK);
    EXPECT_EQ(newOffset, held.size());
    ASSERT_EQ(ktbCopyDisc(source, destination, discs.third, newOffset), KTB_OK);
    EXPECT_EQ(newOffset, held.size() + (discs.second - discs.first));
    EXPECT_EQ(withoutModified(fileBytes(destination)),
        withoutModified(held.bytes()) + discs.run(discs.first, discs.second) + discs.run(discs.third, discs.end));
    EXPECT_EQ(fileBytes(source), discs.catalog.bytes()) << "the source is only read";

    // A serial the destination holds already, and offsets that hold no disc.
    const std::size_t size = fileBytes(destination).size();
    EXPECT_EQ(ktbCopyDisc(source, destination, discs.first, newOffset), KTB_ERR_DISCEXISTS);
    EXPECT_EQ(ktbCopyDisc(source, destination, discs.folder, newOffset), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbCopyDisc(source, destination, discs.end + 10, newOffset), KTB_ERR_BADENTITY);
    EXPECT_EQ(newOffset, 0U);
    EXPECT_EQ(fileBytes(destination).size(), size);
}

TEST_F(DiscOperationsTest, DiscsWithSerialZeroAreCopiedAsOftenAsAsked)
{
    CatalogBuilder symbolic;
    symbolic.addEmptyDisc({ .serial = 0, .title = "Symbolic" });
    TKTBHandle* source = open(symbolic, "source.ktb");
    TKTBHandle* destination = open(CatalogBuilder(), "destination.ktb");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(destination, nullptr);
    std::uint32_t newOffset = 0;
    for (int time = 0; time < 3; ++time) {
        ASSERT_EQ(ktbCopyDisc(source, destination, KTB_HEADER_SIZE, newOffset), KTB_OK);
        EXPECT_EQ(newOffset, KTB_HEADER_SIZE + time * (symbolic.size() - KTB_HEADER_SIZE));
    }
}

struct ProtectionCase {
    const char* Name;
    const char* Key;
    std::uint32_t OpenFlags;
};

void PrintTo(const ProtectionCase& protection, std::ostream* out) { *out << protection.Name; }

class ProtectedFileTest : public DiscOperationsTest, public testing::WithParamInterface<ProtectionCase> { };

TEST_P(ProtectedFileTest, EveryChangeIsRefusedAndNothingIsWritten)
{
    const ThreeDiscs discs(GetParam().Key);
    TKTBHandle* catalog = open(discs.catalog, "protected.ktb", GetParam().OpenFlags);
    CatalogBuilder other;
    other.addEmptyDisc({ .serial = 99, .title = "Other" });
    TKTBHandle* source = open(other, "other.ktb");
    ASSERT_NE(catalog, nullptr);
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(writeDiscTree(m_temp.file("disc"), { { "a.txt", 1 } }));
    setDrive('T', m_temp.file("disc"));
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));

    EXPECT_EQ(ktbRecordDrive(catalog, 'T', disc, nullptr, nullptr), KTB_ERR_LOCKED);
    disc.Serial = 0;
    EXPECT_EQ(ktbRecordDrive(catalog, 'T', disc, nullptr, nullptr), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbUpdateDisc(catalog, discs.first, disc, 0xFF), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbDeleteDisc(catalog, discs.second), KTB_ERR_LOCKED);
    std::uint32_t newOffset = 0;
    EXPECT_EQ(ktbCopyDisc(source, catalog, KTB_HEADER_SIZE, newOffset), KTB_ERR_LOCKED);
    EXPECT_EQ(fileBytes(catalog), discs.catalog.bytes());

    // Reading from it still works: a protected file can be the source of a copy.
    ASSERT_EQ(ktbCopyDisc(catalog, source, discs.second, newOffset), KTB_OK);
    EXPECT_EQ(newOffset, other.size());
}

INSTANTIATE_TEST_SUITE_P(Protections, ProtectedFileTest,
    testing::Values(
        ProtectionCase { "LockedByKey", "Secret", 0 }, ProtectionCase { "OpenedReadOnly", "", KTB_OPEN_READONLY }),
    [](const testing::TestParamInfo<ProtectionCase>& info) { return std::string(info.param.Name); });

struct UpdateField {
    std::uint32_t Mask;
    std::size_t Offset; ///< in the 164-byte record
    std::size_t Width;
};

// Serial (0, 4 bytes) and RunLength (160, 4 bytes) have no mask bit.
const UpdateField s_updateFields[] = {
    { KTB_DISC_TITLE, 4, 64 },
    { KTB_DISC_COMMENT, 68, 60 },
    { KTB_DISC_FLAGS, 128, 4 },
    { KTB_DISC_SCANTIME, 132, 4 },
    { KTB_DISC_USED, 136, 8 },
    { KTB_DISC_CAPACITY, 144, 8 },
    { KTB_DISC_FILES, 152, 4 },
    { KTB_DISC_FOLDERS, 156, 4 },
};

class UpdateDiscTest : public DiscOperationsTest, public testing::WithParamInterface<std::uint32_t> { };

TEST_P(UpdateDiscTest, CopiesExactlyTheFieldsTheMaskSelects)
{
    const ThreeDiscs discs;
    TKTBHandle* catalog = open(discs.catalog, "three.ktb");
    ASSERT_NE(catalog, nullptr);
    TKTBDisc before {};
    ASSERT_TRUE(ktbReadDisc(catalog, discs.second, before));
    TKTBDisc given {};
    std::memset(&given, 0x5A, sizeof given);
    ktbStoreText(given.Title, sizeof given.Title, "New title");
    ktbStoreText(given.Comment, sizeof given.Comment, "New comment");
    ktbSeek(catalog, 300, 0);

    const std::uint32_t mask = GetParam();
    ASSERT_EQ(ktbUpdateDisc(catalog, discs.second, given, mask), KTB_OK);
    EXPECT_EQ(ktbPosition(catalog), 300U) << "the position is restored";
    TKTBDisc after {};
    ASSERT_TRUE(ktbReadDisc(catalog, discs.second, after));
    const auto* was = reinterpret_cast<const char*>(&before);
    const auto* now = reinterpret_cast<const char*>(&after);
    const auto* wanted = reinterpret_cast<const char*>(&given);
    for (const UpdateField& field : s_updateFields) {
        SCOPED_TRACE(field.Mask);
        const char* expected = (mask & field.Mask) != 0 ? wanted : was;
        EXPECT_EQ(std::memcmp(now + field.Offset, expected + field.Offset, field.Width), 0);
    }
    EXPECT_EQ(after.Serial, before.Serial);
    EXPECT_EQ(after.RunLength, before.RunLength);
    // Nothing else of the file moves.
    std::string bytes = fileBytes(catalog);
    std::string expectedBytes = discs.catalog.bytes();
    expectedBytes.replace(discs.second + 1, sizeof after, reinterpret_cast<const char*>(&after), sizeof after);
    EXPECT_EQ(withoutModified(bytes), withoutModified(expectedBytes));
}

INSTANTIATE_TEST_SUITE_P(Masks, UpdateDiscTest,
    testing::Values(KTB_DISC_TITLE, KTB_DISC_COMMENT, KTB_DISC_SCANTIME, KTB_DISC_USED, KTB_DISC_CAPACITY,
        KTB_DISC_FILES, KTB_DISC_FOLDERS, KTB_DISC_FLAGS, 144u, 147u, 0u, 0xFFFFFFFFu));

TEST_F(DiscOperationsTest, UpdateRefusesOffsetsThatHoldNoDisc)
{
    const ThreeDiscs discs;
    TKTBHandle* catalog = open(discs.catalog, "three.ktb");
    ASSERT_NE(catalog, nullptr);
    const TKTBDisc given {};
    EXPECT_EQ(ktbUpdateDisc(catalog, discs.folder, given, 0xFF), KTB_ERR_DISCNOTEXISTS);
    EXPECT_EQ(ktbUpdateDisc(catalog, discs.file, given, 0xFF), KTB_ERR_DISCNOTEXISTS);
    EXPECT_EQ(ktbUpdateDisc(catalog, discs.end, given, 0xFF), KTB_ERR_BADENTITY);
    EXPECT_EQ(withoutModified(fileBytes(catalog)), withoutModified(discs.catalog.bytes()));
}

TEST_F(DiscOperationsTest, FindReadAndSerialAnswerForDiscsOnly)
{
    ThreeDiscs discs;
    const std::uint32_t symbolic = discs.catalog.addEmptyDisc({ .serial = 0, .title = "Symbolic" });
    TKTBHandle* catalog = open(discs.catalog, "three.ktb", KTB_OPEN_READONLY);
    ASSERT_NE(catalog, nullptr);

    TKTBEntity* found = nullptr;
    ASSERT_TRUE(ktbFindDiscBySerial(catalog, 2, found));
    EXPECT_EQ(found->Offset, discs.second);
    EXPECT_EQ(fieldText(found->disc()->Title, 64), "Second");
    ktbFreeEntity(found);
    EXPECT_FALSE(ktbFindDiscBySerial(catalog, 0, found)) << "serial 0 is never looked up";
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(ktbFindDiscBySerial(catalog, 0x0D0C0B0A, found));

    std::uint32_t serial = 0;
    EXPECT_EQ(ktbGetDiscSerial(catalog, discs.first, serial), KTB_OK);
    EXPECT_EQ(serial, 0x0A0B0C0DU);
    EXPECT_EQ(ktbGetDiscSerial(catalog, symbolic, serial), KTB_OK);
    EXPECT_EQ(serial, 0U);
    for (const std::uint32_t offset : { discs.folder, discs.file, discs.end + 200, 1u << 31 }) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(ktbGetDiscSerial(catalog, offset, serial), KTB_ERR_BADENTITY);
        TKTBDisc disc {};
        EXPECT_FALSE(ktbReadDisc(catalog, offset, disc));
    }
}

// ---------------------------------------------------------------------------------------------
// The appender: whatever its buffer's size, the file ends up with exactly the bytes appended, patches
// included, whether they land in the file already or in the buffer.

class AppenderTest : public DiscsTest, public testing::WithParamInterface<std::size_t> { };

TEST_P(AppenderTest, WritesTheBytesAppendedAndPatchedWhateverItsBuffer)
{
    TKTBHandle* catalog = createCatalog("append.ktb");
    ASSERT_NE(catalog, nullptr);
    std::string expected(KTB_HEADER_SIZE, '\0');
    TKTBAppender out(catalog, GetParam());
    EXPECT_EQ(out.position(), KTB_HEADER_SIZE);
    std::uint32_t seed = 1;
    for (int chunk = 0; chunk < 300; ++chunk) {
        seed = seed * 1103515245 + 12345;
        const std::string bytes(seed >> 24 & 31, static_cast<char>('a' + chunk % 26));
        if (chunk % 3 == 0) {
            out.appendByte(static_cast<std::uint8_t>(chunk));
            expected += static_cast<char>(chunk);
        } else if (chunk % 3 == 1) {
            ASSERT_TRUE(out.appendString(bytes));
            const auto length = static_cast<std::uint16_t>(bytes.size());
            expected.append(reinterpret_cast<const char*>(&length), 2) += bytes;
        } else {
            out.append(bytes.data(), bytes.size());
            expected += bytes;
        }
        ASSERT_EQ(out.position(), expected.size());
        // Patch a range reaching back from the end: it spans the file and the buffer once flushes began.
        if (chunk % 17 == 0 && expected.size() > KTB_HEADER_SIZE + 40) {
            const std::size_t at = expected.size() - 40;
            const std::string patch(37, static_cast<char>('A' + chunk % 26));
            ASSERT_TRUE(out.patch(at, patch.data(), patch.size()));
            expected.replace(at, patch.size(), patch);
        }
    }
    EXPECT_FALSE(out.patch(expected.size() - 2, "abc", 3)) << "a patch may not reach past what was appended";
    ASSERT_TRUE(out.patch(KTB_HEADER_SIZE, "first", 5));
    expected.replace(KTB_HEADER_SIZE, 5, "first");
    ASSERT_TRUE(out.flush());
    EXPECT_TRUE(out.ok());
    EXPECT_EQ(fileBytes(catalog).substr(KTB_HEADER_SIZE), expected.substr(KTB_HEADER_SIZE));
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, AppenderTest, testing::Values(1, 7, 64, 1000, 8u << 20));

} // namespace
