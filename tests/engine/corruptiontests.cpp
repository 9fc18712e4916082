// Damaged catalogs: sound files with bytes flipped, cut, inserted and removed (seeded, so a failure
// names a variant that can be rebuilt), each walked every way (CatalogExercise.h). The engine must
// answer a code for each; under the sanitizer build a read outside the file fails the test too.
#include "tests/engine/catalogexercise.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::vector<std::string> soundCatalogs()
{
    const std::uint32_t date = CatalogBuilder::dosDateTime(2004, 2, 29, 23, 59, 58);
    std::vector<std::string> result;

    CatalogBuilder music;
    music.setOwner("Anna").setName("Music");
    music.beginDisc({ .serial = 0xCAFE, .title = "CD 1", .comment = "rock", .used = 5000, .capacity = 681574400 });
    music.beginFolder("Music");
    music.beginFolder("Rock");
    music.addFile("song.mp3", 4000, date);
    music.addFile("cover.jpg", 300, date, "front");
    music.endFolder();
    music.addFile("README.TXT", 10, date);
    music.beginFolder("Empty");
    music.endFolder();
    music.endFolder();
    music.addFile("autorun.inf", 45, date);
    music.endDisc();
    music.beginDisc({ .serial = 7, .title = "Caf\xE9" });
    music.beginFolder("\xC3\xA9t\xC3\xA9");
    music.addFile("\xE9t\xE9.txt", 1, date);
    music.endFolder();
    music.endDisc();
    music.addEmptyDisc({ .serial = 0, .title = "empty" });
    result.push_back(music.bytes());

    CatalogBuilder deep;
    deep.beginDisc({ .serial = 9, .title = "deep" });
    for (int level = 0; level < 66; ++level) {
        deep.beginFolder(std::string(1, static_cast<char>('a' + level % 26)));
    }
    deep.addFile("x", 1);
    for (int level = 0; level < 66; ++level) {
        deep.endFolder();
    }
    deep.endDisc();
    result.push_back(deep.bytes());

    CatalogBuilder wide;
    for (int disc = 0; disc < 6; ++disc) {
        wide.beginDisc({ .serial = 100u + disc, .title = "disc " + std::to_string(disc) });
        for (int file = 0; file < 8; ++file) {
            wide.addFile("file" + std::to_string(file) + ".dat", 100u * file, date);
        }
        wide.endDisc();
    }
    result.push_back(wide.bytes());
    return result;
}

/// Damages bytes in one of several ways; most damage lands in the body, some in the header.
void damage(std::string& bytes, std::mt19937& random)
{
    auto pick = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    const std::size_t low = pick(0, 9) == 0 ? 0 : std::min<std::size_t>(256, bytes.size());
    if (bytes.size() <= low) {
        bytes += static_cast<char>(pick(0, 255));
        return;
    }
    const std::size_t at = pick(low, bytes.size() - 1);
    switch (pick(0, 6)) {
    case 0: // one bit
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << pick(0, 7)));
        break;
    case 1: // a byte that is a tag, or the first invalid one
        bytes[at] = static_cast<char>(pick(2, 7));
        break;
    case 2: // any byte
        bytes[at] = static_cast<char>(pick(0, 255));
        break;
    case 3: // cut the file short
        bytes.resize(at);
        break;
    case 4: // insert bytes
        for (std::size_t count = pick(1, 6); count > 0; --count) {
            bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(pick(0, 255)));
        }
        break;
    case 5: // remove bytes
        bytes.erase(at, pick(1, 12));
        break;
    default: // a large length or RunLength
        bytes[at] = static_cast<char>(0xFF);
        if (at + 1 < bytes.size()) {
            bytes[at + 1] = static_cast<char>(pick(0, 1) == 0 ? 0xFF : 0x7F);
        }
        break;
    }
}

TEST(CorruptionTest, EveryDamagedCatalogAnswersACode)
{
    TempFolder folder;
    const std::string path = folder.file("damaged.ktb");
    const std::vector<std::string> sound = soundCatalogs();
    constexpr int Variants = 3000;
    for (int variant = 0; variant < Variants; ++variant) {
        std::mt19937 random(static_cast<std::mt19937::result_type>(variant));
        std::string bytes = sound[static_cast<std::size_t>(variant) % sound.size()];
        const int damages = 1 + variant % 4;
        for (int i = 0; i < damages; ++i) {
            damage(bytes, random);
        }
        ASSERT_TRUE(writeFileBytes(path, bytes));
        const std::string failure = exerciseCatalog(path);
        ASSERT_EQ(failure, "") << "variant " << variant;
    }
}

TEST(CorruptionTest, SoundCatalogsPassTheExercise)
{
    TempFolder folder;
    for (const std::string& bytes : soundCatalogs()) {
        const std::string path = folder.file("sound.ktb");
        ASSERT_TRUE(writeFileBytes(path, bytes));
        EXPECT_EQ(exerciseCatalog(path), "");
    }
}

} // namespace
