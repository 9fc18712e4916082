// Entity lists: the one display order, ownership of entities and ancestor arrays.
#include "core/filesets/entitylist.h"

#include "engine/ktb_owners.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Entities made the way the engine makes them: one allocation for the entity, its data and texts.
TKTBEntity* makeNamed(std::uint8_t kind, const std::string& name)
{
    std::size_t payload = 0;
    if (kind == KTB_TAG_DISC) {
        payload = sizeof(TKTBDisc);
    } else if (kind == KTB_TAG_FOLDER) {
        payload = name.size() + 1;
    } else {
        payload = sizeof(TKTBFileData) + name.size() + 2;
    }
    auto* entity = static_cast<TKTBEntity*>(std::calloc(1, sizeof(TKTBEntity) + payload));
    entity->Kind = kind;
    entity->Data = entity + 1;
    if (kind == KTB_TAG_DISC) {
        std::memcpy(static_cast<TKTBDisc*>(entity->Data)->Title, name.data(), std::min<std::size_t>(name.size(), 63));
    } else if (kind == KTB_TAG_FOLDER) {
        std::memcpy(entity->Data, name.c_str(), name.size() + 1);
    } else {
        auto* file = static_cast<TKTBFileData*>(entity->Data);
        file->Name = reinterpret_cast<char*>(file + 1);
        std::memcpy(file->Name, name.c_str(), name.size() + 1);
        file->Comment = file->Name + name.size() + 1;
        file->NameLength = static_cast<std::uint16_t>(name.size());
    }
    return entity;
}

std::vector<std::string> sortedNames(std::vector<std::pair<std::uint8_t, std::string>> items)
{
    EntityList list;
    for (const auto& [kind, name] : items) {
        list.addEntity(makeNamed(kind, name), false);
    }
    list.sortEntities();
    std::vector<std::string> names;
    for (int i = 0; i < list.count(); ++i) {
        names.emplace_back(list.at(i)->entity->name());
    }
    return names;
}

int sign(int value) { return (value > 0) - (value < 0); }

} // namespace

TEST(EntityOrder, FoldersComeBeforeFilesEachByNameIgnoringAsciiCase)
{
    EXPECT_EQ(sortedNames({ { KTB_TAG_FILE, "B.txt" }, { KTB_TAG_FOLDER, "zeta" }, { KTB_TAG_FILE, "a.txt" } }),
        (std::vector<std::string> { "zeta", "a.txt", "B.txt" }));
    EXPECT_EQ(sortedNames({ { KTB_TAG_FILE, "x" }, { KTB_TAG_DISC, "Z disc" }, { KTB_TAG_FOLDER, "a" } }),
        (std::vector<std::string> { "Z disc", "a", "x" }));
}

struct TextOrderCase {
    const char* left;
    const char* right;
    int expected;
};

void PrintTo(const TextOrderCase& param, std::ostream* out)
{
    *out << '"' << param.left << "\" vs \"" << param.right << '"';
}

class CompareTextTest : public ::testing::TestWithParam<TextOrderCase> { };

TEST_P(CompareTextTest, OnlyAsciiLettersAreFolded)
{
    EXPECT_EQ(sign(compareText(GetParam().left, GetParam().right)), GetParam().expected);
    EXPECT_EQ(sign(compareText(GetParam().right, GetParam().left)), -GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Pairs, CompareTextTest,
    ::testing::Values(TextOrderCase { "abc", "ABC", 0 }, TextOrderCase { "zebra", "_alpha", -1 }, // '_' is above 'Z'
        TextOrderCase { "Zoo", "_", -1 }, TextOrderCase { "ab", "abc", -1 }, // a prefix first
        TextOrderCase { "", "a", -1 }, TextOrderCase { "a1", "a_", -1 },
        TextOrderCase { "\xc3\xa9", "\xc3\x89", 1 }, // é and É differ: no folding outside a-z
        TextOrderCase { "\xe9t\xe9", "zzz", 1 })); // bytes above 127 after the letters

TEST(EntityOrder, UnderscoreSortsAfterEveryLetter)
{
    EXPECT_EQ(sortedNames({ { KTB_TAG_FILE, "_readme" }, { KTB_TAG_FILE, "zz" }, { KTB_TAG_FILE, "Abc" } }),
        (std::vector<std::string> { "Abc", "zz", "_readme" }));
}

TEST(EntityOrder, DiscTitlesDifferingOnlyInCaseCompareEqual)
{
    const KtbEntityPtr a(makeNamed(KTB_TAG_DISC, "Holiday"));
    const KtbEntityPtr b(makeNamed(KTB_TAG_DISC, "HOLIDAY"));
    EXPECT_EQ(compareEntities(a.get(), b.get()), 0);
}

TEST(EntityOrder, DiscTitleFillingItsWholeFieldIsReadNoFurther)
{
    const KtbEntityPtr a(makeNamed(KTB_TAG_DISC, ""));
    const KtbEntityPtr b(makeNamed(KTB_TAG_DISC, ""));
    std::memset(static_cast<TKTBDisc*>(a->Data)->Title, 'x', 64);
    std::memset(static_cast<TKTBDisc*>(b->Data)->Title, 'x', 64);
    static_cast<TKTBDisc*>(b->Data)->Comment[0] = 'y'; // right after the title field
    EXPECT_EQ(compareEntities(a.get(), b.get()), 0);
}

TEST(EntityList, EntriesOwnTheirEntitiesAndAncestors)
{
    // Run under the address sanitizer, which reports anything not released.
    EntityList list;
    const int index = list.addEntity(makeNamed(KTB_TAG_FILE, "a"), true);
    ASSERT_TRUE(list.at(index)->ancestors.has_value());
    EXPECT_EQ(list.at(index)->imageIndex, -1);
    EXPECT_EQ(list.at(index)->fileset, nullptr);
    const std::uint32_t chain[] = { 256, 421 };
    list.at(index)->ancestors->Assign(chain, 2);
    list.addEntity(makeNamed(KTB_TAG_FOLDER, "b"), false);
    EXPECT_FALSE(list.at(1)->ancestors.has_value());
    list.removeAt(0);
    EXPECT_EQ(list.count(), 1);
    list.addEntity(makeNamed(KTB_TAG_DISC, "c"), true);
}

TEST(EntityList, RemoveIfKeepsTheOrderOfTheOthers)
{
    EntityList list;
    for (const char* name : { "a", "b", "c", "d", "e" }) {
        list.addEntity(makeNamed(KTB_TAG_FILE, name), true);
    }
    EXPECT_EQ(list.removeIf([](const EntityEntry& entry) {
        const char first = entry.entity->name()[0];
        return first == 'b' || first == 'd';
    }),
        2);
    ASSERT_EQ(list.count(), 3);
    EXPECT_STREQ(list.at(0)->entity->name(), "a");
    EXPECT_STREQ(list.at(1)->entity->name(), "c");
    EXPECT_STREQ(list.at(2)->entity->name(), "e");
}

KtbEntityPtr named(std::uint8_t kind, const std::string& name, std::uint32_t offset)
{
    KtbEntityPtr entity(makeNamed(kind, name));
    entity->Offset = offset;
    return entity;
}

TEST(EntityList, ArenaEntriesLiveUntilTheirListLetsGoOfThem)
{
    // Under the address sanitizer: an arena's entities are never released one by one, a chain too
    // long to be held inside its entry is, and a list mixes both kinds of entries.
    auto arena = std::make_unique<EntityArena>();
    EXPECT_TRUE(arena->isEmpty());
    EntityList list;
    std::vector<std::uint32_t> deep(70);
    for (std::uint32_t i = 0; i < deep.size(); ++i) {
        deep[i] = 256 + 10 * i;
    }
    // More entries than the first blocks hold, names longer than a byte block's start.
    const std::string longName(3000, 'x');
    for (int i = 0; i < 700; ++i) {
        const std::string name = (i % 100 == 99 ? longName : "file ") + std::to_string(i);
        EntityEntry* entry = i % 2 == 0
            ? arena->newEntry(1000u + static_cast<std::uint32_t>(i), KTB_TAG_FILE, name.data(),
                static_cast<std::uint16_t>(name.size()), 4096u + static_cast<std::uint32_t>(i), 0x5A21A000u, "note", 4)
            : arena->newEntry(*named(KTB_TAG_FOLDER, name, 1000u + static_cast<std::uint32_t>(i)));
        entry->ancestors->Assign(deep.data(), i % 7 == 0 ? 70 : 3);
        list.addArenaEntry(entry);
    }
    list.adoptArena(std::move(arena));
    list.addEntity(named(KTB_TAG_FILE, "own", 1).release(), true);

    const EntityEntry& file = *list.at(698);
    ASSERT_NE(file.entity->file(), nullptr);
    EXPECT_EQ(file.entity->Offset, 1698u);
    EXPECT_EQ(file.entity->file()->Size, 4794u);
    EXPECT_EQ(file.entity->file()->DateTime, 0x5A21A000u);
    EXPECT_STREQ(file.entity->file()->Comment, "note");
    EXPECT_EQ(file.ancestors->Count(), 3);
    EXPECT_STREQ(list.at(699)->entity->folderName(), (longName + "699").c_str());
    EXPECT_EQ(list.at(0)->ancestors->Count(), 70);
    EXPECT_EQ(list.at(0)->ancestors->Get(-1), deep[69]);
    EXPECT_STREQ(list.at(699)->entity->name(), (longName + "699").c_str());

    // Entries leave the list without their memory being touched; what stays is unchanged.
    list.removeAt(0);
    EXPECT_EQ(list.removeIf([](EntityEntry& entry) { return entry.entity->Offset % 3 == 0; }), 233);
    list.sortEntities();
    EXPECT_STREQ(list.at(0)->entity->name(), "file 1");
    EXPECT_STREQ(list.at(list.count() - 1)->entity->name(), "own");
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_THROW(EntityArena().newEntry(4, KTB_TAG_DISC, "", 0, 0, 0, nullptr, 0), std::invalid_argument);
}
