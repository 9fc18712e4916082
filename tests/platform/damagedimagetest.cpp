// Images that were cut short or damaged: every answer must come from inside the image, and the walk must
// end. The sanitizer build turns any read outside a buffer into a failure.

#include "platform/drivelayer.h"
#include "platform/isovolume.h"
#include "platform/sectorsource.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

// An image held in memory; a last partial sector cannot be read, as with a file.
class MemorySectors final : public SectorSource {
public:
    explicit MemorySectors(std::string bytes)
        : m_bytes(std::move(bytes))
    {
    }
    bool read(std::uint32_t lsn, std::uint32_t count, std::uint8_t* buffer) override
    {
        const std::uint64_t end = (static_cast<std::uint64_t>(lsn) + count) * SectorSize;
        if (end > m_bytes.size()) {
            return false;
        }
        std::memcpy(buffer, m_bytes.data() + static_cast<std::size_t>(lsn) * SectorSize,
            static_cast<std::size_t>(count) * SectorSize);
        return true;
    }

private:
    std::string m_bytes;
};

// Everything a recording asks of a medium; the walk is capped so that a fault shows as a failure, not a hang.
std::size_t readEverything(const std::string& bytes, std::uint32_t sessionStart = 0)
{
    const std::shared_ptr<IsoVolume> volume = IsoVolume::open(std::make_shared<MemorySectors>(bytes), sessionStart);
    if (volume == nullptr) {
        return 0;
    }
    const VolumeFacts facts = volume->facts();
    EXPECT_LE(facts.Label.size(), 96U);
    std::unique_ptr<DriveFolderListing> top = volume->openFolder("");
    if (top == nullptr) {
        return 0;
    }
    std::size_t entries = 0;
    std::vector<std::unique_ptr<DriveFolderListing>> stack;
    stack.push_back(std::move(top));
    TKTBDirEntry entry {};
    while (!stack.empty() && entries < 100000) {
        if (!stack.back()->next(entry)) {
            stack.pop_back();
            continue;
        }
        ++entries;
        EXPECT_LT(strnlen(entry.Name, sizeof entry.Name), sizeof entry.Name);
        if ((entry.Attributes & KTB_ATTR_DIRECTORY) != 0) {
            if (auto sub = stack.back()->openSubfolder(entry)) {
                stack.push_back(std::move(sub));
            }
        }
    }
    EXPECT_LT(entries, 100000U) << "the walk did not end";
    return entries;
}

class DamagedImageTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TempFolder temp;
        ASSERT_TRUE(writeDiscTree(temp.file("tree"), standardDiscTree()));
        ASSERT_TRUE(buildIsoImage(temp.file("tree"), temp.file("disc.iso")));
        s_image = new std::string(readFileBytes(temp.file("disc.iso")));
    }
    static void TearDownTestSuite()
    {
        delete s_image;
        s_image = nullptr;
    }

    static std::string* s_image;
};

std::string* DamagedImageTest::s_image = nullptr;

TEST_F(DamagedImageTest, TheWholeImageListsEveryEntry)
{
    EXPECT_EQ(readEverything(*s_image), standardDiscTree().size());
}

TEST_F(DamagedImageTest, AnImageCutAnywhereNeverReadsPastItsEnd)
{
    const std::size_t sector = 2048;
    for (const std::size_t length : { std::size_t(0), std::size_t(100), 16 * sector, 16 * sector + 1000, 17 * sector,
             18 * sector, 19 * sector + 7, 24 * sector, s_image->size() / 2, s_image->size() - sector }) {
        SCOPED_TRACE(length);
        const std::string cut = s_image->substr(0, length);
        const std::size_t entries = readEverything(cut);
        if (length < 17 * sector) {
            EXPECT_EQ(IsoVolume::open(std::make_shared<MemorySectors>(cut), 0), nullptr);
        }
        EXPECT_LE(entries, standardDiscTree().size());
    }
}

TEST_F(DamagedImageTest, AShortImageFileHasNoMediumButThePathStaysPresent)
{
    TempFolder temp;
    ASSERT_TRUE(writeFileBytes(temp.file("short.iso"), s_image->substr(0, 16 * 2048 + 100)));
    const auto drive = openPathDrive(temp.file("short.iso"));
    VolumeFacts facts;
    EXPECT_FALSE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.NtSerial, 0U);
    EXPECT_TRUE(drive->mediumPresent());
    EXPECT_EQ(drive->openFolder(""), nullptr);
}

TEST_F(DamagedImageTest, GarbageDescriptorsAreNoVolume)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string image = *s_image;
        for (std::size_t at = 16 * 2048; at < 19 * 2048; ++at) {
            image[at] = static_cast<char>(random());
        }
        // Keep the signatures now and then, so the fields behind them get read.
        if (round % 2 == 0) {
            image[16 * 2048] = 1;
            image.replace(16 * 2048 + 1, 5, "CD001");
            image[17 * 2048] = 2;
            image.replace(17 * 2048 + 1, 5, "CD001");
            image.replace(17 * 2048 + 88, 3, "%/E");
        }
        readEverything(image);
    }
}

TEST_F(DamagedImageTest, RandomDamageToDescriptorsAndDirectoriesIsSurvived)
{
    // The descriptors and every directory of the image lie in its first 40 sectors.
    std::mt19937 random(20240607);
    for (int round = 0; round < 300; ++round) {
        std::string image = *s_image;
        const int flips = 1 + static_cast<int>(random() % 24);
        for (int flip = 0; flip < flips; ++flip) {
            const std::size_t at = 16 * 2048 + random() % (24 * 2048);
            image[at] = static_cast<char>(random());
        }
        readEverything(image, round % 10 == 0 ? static_cast<std::uint32_t>(random()) : 0);
    }
}

} // namespace
