// Where does it fit: the media with room for an amount are those whose capacity less used holds it, as
// the sums over generated disc records (done here) tell; a plan onto new media places every entry once,
// never over a medium's size; amounts are read as people write them.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/fitfinder.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>

namespace {

struct PlantedDisc {
    std::uint32_t serial;
    std::uint32_t scanTime;
    std::int64_t capacity;
    std::int64_t used;
};

TEST(MediaRoom, TheMediaThatHoldAnAmountAreThoseWithTheRoomSmallestFirst)
{
    TempFolder folder;
    std::mt19937 random(3);
    const auto pick
        = [&random](std::int64_t count) { return std::uniform_int_distribution<std::int64_t>(0, count - 1)(random); };
    std::vector<PlantedDisc> planted;
    for (int fileset = 0; fileset < 2; ++fileset) {
        CatalogBuilder catalog;
        for (int disc = 0; disc < 20; ++disc) {
            // Serials repeat across the filesets (a medium scanned twice), one disc is symbolic.
            const auto serial = static_cast<std::uint32_t>(disc == 0 ? 0 : 1 + pick(25));
            PlantedDisc one { serial, CatalogBuilder::dosDateTime(2015 + static_cast<int>(pick(5)), 1, 1 + disc),
                1000 * (1 + pick(10)), 1000 * pick(11) };
            catalog.beginDisc({ .serial = one.serial,
                .title = "Disc " + std::to_string(disc),
                .scanTime = one.scanTime,
                .used = one.used,
                .capacity = one.capacity });
            catalog.addFile("f", 1);
            catalog.endDisc();
            planted.push_back(one);
        }
        ASSERT_TRUE(catalog.writeTo(folder.file("set" + std::to_string(fileset) + ".ktb")));
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromStdString(folder.path()));
    QStringList faults;
    const std::vector<MediumRoom> media = readMediaRoom(catalogs, catalogs.wholeTargets(), faults);
    EXPECT_TRUE(faults.isEmpty());

    // One medium a non-zero serial, with the room of its latest scan.
    std::map<std::uint32_t, PlantedDisc> latest;
    for (const PlantedDisc& disc : planted) {
        if (disc.serial != 0 && (latest.count(disc.serial) == 0 || latest[disc.serial].scanTime < disc.scanTime)) {
            latest[disc.serial] = disc;
        }
    }
    ASSERT_EQ(media.size(), latest.size());
    // Chosen discs are read alone.
    const std::vector<CatalogDiscEntry> discs = catalogs.discs(0);
    const std::vector<MediumRoom> chosen
        = readMediaRoom(catalogs, { { 0, catalogs.at(0).fileset, { discs[3].offset, discs[5].offset } } }, faults);
    ASSERT_FALSE(chosen.empty());
    for (const MediumRoom& medium : chosen) {
        const CatalogDiscEntry& disc = medium.offset == discs[3].offset ? discs[3] : discs[5];
        EXPECT_TRUE(medium.offset == discs[3].offset || medium.offset == discs[5].offset);
        EXPECT_EQ(medium.capacity, disc.capacity);
        EXPECT_EQ(medium.used, disc.used);
    }
    for (const std::uint64_t needed : { 0ull, 1ull, 999ull, 1000ull, 4500ull, 9000ull, 10000ull, 10001ull }) {
        const std::vector<MediumRoom> holding = mediaThatHold(media, needed);
        std::multiset<std::uint64_t> expected;
        for (const auto& [serial, disc] : latest) {
            const auto free = static_cast<std::uint64_t>(std::max<std::int64_t>(disc.capacity - disc.used, 0));
            if (free >= needed) {
                expected.insert(free);
            }
        }
        std::multiset<std::uint64_t> found;
        for (std::size_t index = 0; index < holding.size(); ++index) {
            const MediumRoom& medium = holding[index];
            const PlantedDisc& disc = latest.at(medium.serial);
            EXPECT_EQ(medium.capacity, disc.capacity);
            EXPECT_EQ(medium.used, disc.used);
            EXPECT_EQ(medium.free(), static_cast<std::uint64_t>(std::max<std::int64_t>(disc.capacity - disc.used, 0)))
                << "an overfull medium has no room";
            EXPECT_GE(medium.free(), needed);
            if (index > 0) {
                EXPECT_LE(holding[index - 1].free(), medium.free()) << "smallest sufficient room first";
            }
            found.insert(medium.free());
        }
        EXPECT_EQ(found, expected) << needed << " bytes";
    }
}

TEST(NewMediaPlan, EveryEntryGoesOnceOntoAMediumWithRoomOrIsNamedTooLarge)
{
    std::mt19937 random(9);
    for (int round = 0; round < 20; ++round) {
        std::vector<FolderEntryBytes> entries;
        const int count = std::uniform_int_distribution<int>(0, 40)(random);
        for (int index = 0; index < count; ++index) {
            entries.push_back({ "e" + std::to_string(index), index % 2 == 0,
                std::uniform_int_distribution<std::uint64_t>(0, 1300)(random), 1 });
        }
        const std::uint64_t size = 1000;
        const MediaPlan plan = planNewMedia(entries, size);
        std::multiset<std::size_t> placed;
        int halfEmpty = 0;
        for (const PlannedMedium& medium : plan.media) {
            std::uint64_t sum = 0;
            for (std::size_t at = 0; at < medium.entries.size(); ++at) {
                sum += entries[medium.entries[at]].bytes;
                placed.insert(medium.entries[at]);
                if (at > 0) {
                    EXPECT_GE(entries[medium.entries[at - 1]].bytes, entries[medium.entries[at]].bytes);
                }
            }
            EXPECT_EQ(sum, medium.bytes);
            EXPECT_LE(sum, size);
            halfEmpty += 2 * sum <= size ? 1 : 0;
        }
        // First fit leaves at most one medium half full: what a later one holds fitted an earlier one.
        EXPECT_LE(halfEmpty, 1);
        for (const std::size_t index : plan.tooLarge) {
            EXPECT_GT(entries[index].bytes, size);
            placed.insert(index);
        }
        for (std::size_t index = 0; index < entries.size(); ++index) {
            EXPECT_EQ(placed.count(index), 1u) << "entry " << index;
        }
    }
    const std::vector<FolderEntryBytes> known = { { "a", false, 7, 1 }, { "b", false, 5, 1 }, { "c", false, 4, 1 },
        { "d", false, 3, 1 }, { "e", false, 1, 1 } };
    const MediaPlan plan = planNewMedia(known, 10);
    ASSERT_EQ(plan.media.size(), 2u);
    EXPECT_EQ(plan.media[0].entries, (std::vector<std::size_t> { 0, 3 }));
    EXPECT_EQ(plan.media[1].entries, (std::vector<std::size_t> { 1, 2, 4 }));
}

TEST(FolderMeasure, AddsUpTheFilesOfEachTopLevelEntryInFull)
{
    TempFolder folder;
    const std::string top = folder.file("top/");
    std::filesystem::create_directories(top + "Music/Rock");
    std::filesystem::create_directories(top + "Empty");
    ASSERT_TRUE(writeFileBytes(top + "Music/a.mp3", std::string(300, 'a')));
    ASSERT_TRUE(writeFileBytes(top + "Music/Rock/b.mp3", std::string(500, 'b')));
    ASSERT_TRUE(writeFileBytes(top + "notes.txt", std::string(20, 'n')));
    std::filesystem::resize_file(top + "notes.txt", 5000000000ull); // beyond 32 bits, sparse
    const FolderMeasure measure = measureFolder(QString::fromStdString(top));
    ASSERT_TRUE(measure.complete) << measure.failure.toStdString();
    std::map<std::string, std::pair<bool, std::uint64_t>> entries;
    for (const FolderEntryBytes& entry : measure.entries) {
        entries[entry.name] = { entry.folder, entry.bytes };
    }
    EXPECT_EQ(entries,
        (std::map<std::string, std::pair<bool, std::uint64_t>> {
            { "Empty", { true, 0 } }, { "Music", { true, 800 } }, { "notes.txt", { false, 5000000000ull } } }));
    EXPECT_EQ(measure.bytes, 5000000800ull);
    EXPECT_EQ(measure.files, 3u);

    const FolderMeasure missing = measureFolder(QString::fromStdString(folder.file("nowhere")));
    EXPECT_FALSE(missing.complete);
    EXPECT_FALSE(missing.failure.isEmpty());
}

struct AmountCase {
    const char* text;
    bool valid;
    std::uint64_t bytes;
};

class ByteAmount : public testing::TestWithParam<AmountCase> { };

TEST_P(ByteAmount, IsReadAsPeopleWriteIt)
{
    std::uint64_t bytes = 0;
    EXPECT_EQ(parseByteAmount(QString::fromUtf8(GetParam().text), bytes), GetParam().valid) << GetParam().text;
    if (GetParam().valid) {
        EXPECT_EQ(bytes, GetParam().bytes) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ByteAmount,
    testing::Values(AmountCase { "123456", true, 123456 }, AmountCase { "700M", true, 734003200 },
        AmountCase { "700MiB", true, 734003200 }, AmountCase { "4.7GB", true, 4700000000ull },
        AmountCase { "4.7gb", true, 4700000000ull }, AmountCase { "25G", true, 26843545600ull },
        AmountCase { "1.5K", true, 1536 }, AmountCase { " 2T ", true, 2199023255552ull },
        AmountCase { "dvd", true, 4707319808ull }, AmountCase { "BD", true, 25025314816ull },
        AmountCase { "cd", true, 734003200 }, AmountCase { "0", false, 0 }, AmountCase { "", false, 0 },
        AmountCase { "G", false, 0 }, AmountCase { "-5", false, 0 }, AmountCase { "12X", false, 0 },
        AmountCase { "1.2.3", false, 0 }, AmountCase { "99999999999T", false, 0 }));

} // namespace
