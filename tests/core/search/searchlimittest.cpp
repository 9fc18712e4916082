// The result limit: which matches a search keeps when there are more than the limit, across several
// filesets walked side by side, and that the counts still include every match.
#include "tests/core/search/searchfixture.h"

#include "engine/ktb_io.h"

#include <algorithm>
#include <map>

namespace {

/// The fileset and number of a result named "hit-<fileset>-<number>".
std::pair<int, int> origin(const QString& name)
{
    const QStringList parts = name.split(QLatin1Char('-'));
    return { parts.at(1).toInt(), parts.at(2).toInt() };
}

/// A catalog of matches "hit-<tag>-<n>" spread over discs of at most perDisc files, with a file that
/// does not match after each match.
CatalogBuilder hitsCatalog(int tag, int hits, int perDisc)
{
    CatalogBuilder catalog;
    int disc = 0;
    for (int n = 0; n < hits || disc == 0; ++n) {
        if (n % perDisc == 0) {
            if (disc > 0) {
                catalog.endDisc();
            }
            catalog.beginDisc(
                { .serial = static_cast<std::uint32_t>(++disc), .title = "Disc " + std::to_string(disc) });
        }
        if (n < hits) {
            catalog.addFile("hit-" + std::to_string(tag) + "-" + std::to_string(n));
            catalog.addFile("skip-" + std::to_string(n));
        }
    }
    catalog.endDisc();
    return catalog;
}

} // namespace

struct LimitCase {
    const char* name;
    std::vector<int> order;
    std::vector<int> kept; ///< results kept per fileset 0, 1, 2
};

void PrintTo(const LimitCase& param, std::ostream* out) { *out << param.name; }

class SearchLimitTest : public SearchTest, public ::testing::WithParamInterface<LimitCase> { };

TEST_P(SearchLimitTest, KeepsTheFirstMatchesInListOrderAndCountsThemAll)
{
    const int sizes[] = { 25000, 20000, 15000 };
    for (int k = 0; k < 3; ++k) {
        addCatalog("hits" + std::to_string(k) + ".ktb", hitsCatalog(k, sizes[k], sizes[k] / 2));
    }
    search(QStringLiteral("hit"), GetParam().order);

    EXPECT_EQ(m_helper.resultLimit(), 50000);
    EXPECT_TRUE(m_helper.isLimited());
    EXPECT_EQ(m_helper.fileMatches(), 60000u);
    EXPECT_EQ(m_helper.folderMatches(), 0u);
    ASSERT_EQ(m_helper.fileResults.count(), 50000);
    expectListsAnnounced();

    std::vector<int> kept(3, 0);
    std::vector<int> highest(3, -1);
    for (const QString& name : fileNames()) {
        const auto [fileset, number] = origin(name);
        ++kept[static_cast<std::size_t>(fileset)];
        highest[static_cast<std::size_t>(fileset)] = std::max(highest[static_cast<std::size_t>(fileset)], number);
    }
    EXPECT_EQ(kept, GetParam().kept);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(highest[k], kept[k] - 1) << "fileset " << k << " did not keep its first matches";
    }

    // Every disc shows all of its matches, also those beyond the limit.
    ASSERT_EQ(m_helper.discResultCount(), 6);
    std::uint64_t counted = 0;
    for (int i = 0; i < m_helper.discResults.count(); ++i) {
        counted += m_helper.discResults.at(i)->entity->disc()->Files;
    }
    EXPECT_EQ(counted, 60000u);
}

INSTANTIATE_TEST_SUITE_P(Orders, SearchLimitTest,
    ::testing::Values(LimitCase { "RegistryOrder", { 0, 1, 2 }, { 25000, 20000, 5000 } },
        LimitCase { "OtherOrder", { 2, 0, 1 }, { 25000, 10000, 15000 } }),
    [](const auto& info) { return std::string(info.param.name); });

struct SmallLimitCase {
    int limit;
    std::vector<int> order;
};

void PrintTo(const SmallLimitCase& param, std::ostream* out)
{
    *out << "limit " << param.limit << ", order";
    for (const int index : param.order) {
        *out << ' ' << index;
    }
}

class SearchSmallLimitTest : public SearchTest, public ::testing::WithParamInterface<SmallLimitCase> {
protected:
    static constexpr int s_hits[] = { 0, 3, 1, 10, 0, 7, 2, 5 };
};

TEST_P(SearchSmallLimitTest, ResultIsThatOfWalkingTheFilesetsOneAfterTheOther)
{
    for (int k = 0; k < 8; ++k) {
        addCatalog("set" + std::to_string(k) + ".ktb", hitsCatalog(k, s_hits[k], 3));
    }
    const SmallLimitCase& param = GetParam();
    QStringList expected;
    int total = 0;
    for (const int k : param.order) {
        for (int n = 0; n < s_hits[k]; ++n, ++total) {
            if (total < param.limit) {
                expected.append(QStringLiteral("hit-%1-%2").arg(k).arg(n));
            }
        }
    }
    std::sort(expected.begin(), expected.end());
    m_helper.setResultLimit(param.limit);
    // Worker timing differs from run to run; the outcome must not.
    for (int run = 0; run < 3; ++run) {
        search(QStringLiteral("HIT"), param.order);
        QStringList names = fileNames();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, expected);
        EXPECT_EQ(m_helper.fileMatches(), static_cast<std::uint64_t>(total));
        EXPECT_EQ(m_helper.isLimited(), total >= param.limit);
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, SearchSmallLimitTest,
    ::testing::Values(SmallLimitCase { 1, { 0, 1, 2, 3, 4, 5, 6, 7 } },
        SmallLimitCase { 4, { 0, 1, 2, 3, 4, 5, 6, 7 } }, SmallLimitCase { 13, { 0, 1, 2, 3, 4, 5, 6, 7 } },
        SmallLimitCase { 27, { 0, 1, 2, 3, 4, 5, 6, 7 } }, SmallLimitCase { 28, { 0, 1, 2, 3, 4, 5, 6, 7 } },
        SmallLimitCase { 100, { 0, 1, 2, 3, 4, 5, 6, 7 } }, SmallLimitCase { 9, { 7, 6, 5, 4, 3, 2, 1, 0 } },
        SmallLimitCase { 12, { 3, 3, 1, 5 } }, SmallLimitCase { 5, { 4, 0, 2, 6, 1 } }));

TEST_F(SearchTest, AFilesetThatLooksAsIfItFillsTheRoomButDoesNotLeavesItToTheNext)
{
    // The first fileset's matches crowd its first fifth: a walk beside it sees it on its way to keeping
    // far more than the limit, stops noting and only counts; it must still keep what follows once the
    // first fileset ends short of the limit. The third fileset is needed, or not, by the second's matches.
    constexpr int files = 100000; // long enough for the walks to overlap
    const auto spread = [](int tag, int hits, int every) {
        CatalogBuilder catalog;
        for (int n = 0; n < files; ++n) {
            if (n % 5000 == 0) {
                if (n > 0) {
                    catalog.endDisc();
                }
                catalog.beginDisc({ .serial = static_cast<std::uint32_t>(n / 5000 + 1), .title = "Part" });
            }
            catalog.addFile(n % every == 0 && n / every < hits
                    ? "hit-" + std::to_string(tag) + "-" + std::to_string(n / every)
                    : "skip-" + std::to_string(n));
        }
        catalog.endDisc();
        return catalog;
    };
    const int limit = 64;
    for (const int second : { 40, 10 }) {
        m_registry.clear();
        const std::vector<int> hits = { 40, second, 30 };
        addCatalog("crowded.ktb", spread(0, hits[0], files / 200));
        addCatalog("even" + std::to_string(second) + ".ktb", spread(1, hits[1], files / hits[1]));
        addCatalog("last" + std::to_string(second) + ".ktb", spread(2, hits[2], files / 40));
        QStringList expected;
        int total = 0;
        for (int k = 0; k < 3; ++k) {
            for (int n = 0; n < hits[static_cast<std::size_t>(k)]; ++n, ++total) {
                if (total < limit) {
                    expected.append(QStringLiteral("hit-%1-%2").arg(k).arg(n));
                }
            }
        }
        std::sort(expected.begin(), expected.end());
        m_helper.setResultLimit(limit);
        for (int run = 0; run < 6; ++run) { // the walks overlap differently each time
            searchAll(QStringLiteral("hit"));
            QStringList names = fileNames();
            std::sort(names.begin(), names.end());
            EXPECT_EQ(names, expected) << "second fileset with " << second << " matches, run " << run;
            EXPECT_EQ(m_helper.fileMatches(), static_cast<std::uint64_t>(total));
            std::uint64_t counted = 0;
            for (int i = 0; i < m_helper.discResults.count(); ++i) {
                counted += m_helper.discResults.at(i)->entity->disc()->Files;
            }
            EXPECT_EQ(counted, static_cast<std::uint64_t>(total));
            expectListsAnnounced();
        }
    }
}

TEST_F(SearchTest, OrderIsThatOfSortingTheMergedListOnce)
{
    // Many names that compare equal (letter case) or share their first bytes, spread over filesets.
    const std::vector<std::string> names = { "a.txt", "A.TXT", "b", "B", "prefix12", "PREFIX12_y", "prefix12_x",
        "Prefix12_X", "longer name here", "LONGER NAME HERE", "sixteen bytes in, then x", "SIXTEEN BYTES IN, THEN Y",
        "Sixteen bytes in, then x", "_under", "z" };
    for (int k = 0; k < 6; ++k) {
        CatalogBuilder catalog;
        for (int disc = 0; disc < 2; ++disc) {
            catalog.beginDisc({ .serial = static_cast<std::uint32_t>(disc + 1), .title = "D" });
            catalog.beginFolder(names[static_cast<std::size_t>((k + disc) % 4)]);
            for (std::size_t i = 0; i < names.size(); ++i) {
                catalog.addFile(
                    names[(i * 7 + static_cast<std::size_t>(k) + static_cast<std::size_t>(disc)) % names.size()]);
            }
            catalog.endFolder();
            catalog.endDisc();
        }
        addCatalog("tie" + std::to_string(k) + ".ktb", catalog);
    }
    const std::vector<int> order = { 4, 1, 5, 0, 3, 2, 1 };
    const int limit = 120;
    m_helper.setResultLimit(limit);
    search(QString(), order);

    // The sequential outcome: the first matches in list order, sorted once.
    EntityList expected;
    for (const int k : order) {
        Fileset* fileset = m_registry.at(k);
        TKTBCursor* cursor = ktbFindFirst(fileset->handle(), KTB_FIND_KEEP, 256, nullptr);
        for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
            TKTBEntity* entity = cursor->Current;
            if (entity->Kind == KTB_TAG_DISC || expected.count() >= limit) {
                ktbFreeEntity(entity);
                continue;
            }
            expected.at(expected.addEntity(entity, false))->fileset = fileset;
        }
        ktbFindClose(cursor);
    }
    expected.sortEntities();
    ASSERT_EQ(m_helper.fileResults.count(), expected.count());
    for (int i = 0; i < expected.count(); ++i) {
        const EntityEntry* got = m_helper.fileResults.at(i);
        const EntityEntry* want = expected.at(i);
        ASSERT_EQ(got->fileset, want->fileset) << "row " << i;
        ASSERT_EQ(got->entity->Offset, want->entity->Offset) << "row " << i;
    }
}

TEST_F(SearchTest, CountsBeyondTheLimitTakeInFoldersAndFilesOfEveryDisc)
{
    addCatalog("music.ktb", musicCatalog());
    m_helper.setResultLimit(1);
    searchAll(QString());
    EXPECT_EQ(fileNames(), QStringList { QStringLiteral("Music") }); // the first match in walk order
    EXPECT_TRUE(m_helper.isLimited());
    EXPECT_EQ(m_helper.fileMatches(), 6u);
    EXPECT_EQ(m_helper.folderMatches(), 3u);
    const EntityEntry* cd = discResult(QStringLiteral("CD 12"));
    const EntityEntry* holiday = discResult(QStringLiteral("Holiday 2003"));
    ASSERT_NE(cd, nullptr);
    ASSERT_NE(holiday, nullptr);
    EXPECT_EQ(cd->entity->disc()->Files, 5u);
    EXPECT_EQ(cd->entity->disc()->Folders, 3u);
    EXPECT_EQ(holiday->entity->disc()->Files, 1u);
    EXPECT_EQ(holiday->entity->disc()->Folders, 0u);
    EXPECT_EQ(discResult(QStringLiteral("Empty")), nullptr);
}

TEST_F(SearchTest, EveryKeptResultHoldsItsRecordAndItsPlaceWhicheverWorkerKeptIt)
{
    // Five filesets walked side by side: the first keeps its results at once, the others until they
    // know how many they may keep. Folders and files at several depths, with sizes, dates and comments;
    // a limit that cuts into the fourth fileset.
    struct Place {
        std::vector<std::uint32_t> chain;
        std::string name, comment;
        std::uint32_t size = 0, dateTime = 0;
    };
    std::map<std::pair<int, std::uint32_t>, Place> places; // (fileset, offset): what a plain walk sees
    for (int k = 0; k < 5; ++k) {
        CatalogBuilder catalog;
        for (int disc = 1; disc <= 3; ++disc) {
            catalog.beginDisc({ .serial = static_cast<std::uint32_t>(disc), .title = "Disc" });
            for (int folder = 0; folder < 4; ++folder) {
                catalog.beginFolder(folder % 2 == 0 ? "hit folder " + std::to_string(folder) : "plain");
                catalog.beginFolder("deeper");
                for (int file = 0; file < 6; ++file) {
                    const std::string tail = std::to_string(k) + "-" + std::to_string(disc) + std::to_string(file);
                    catalog.addFile("HIT " + tail, 1000u * static_cast<std::uint32_t>(file),
                        CatalogBuilder::dosDateTime(2000 + file, 1 + disc, 1 + folder),
                        file % 3 == 0 ? "note " + tail : "");
                    catalog.addFile("miss " + tail);
                }
                catalog.endFolder();
                catalog.endFolder();
            }
            catalog.endDisc();
        }
        const int index = addCatalog("set" + std::to_string(k) + ".ktb", catalog);
        TKTBCursor* cursor = ktbFindFirstAll(m_registry.at(index)->handle(), 0);
        for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
            const TKTBEntity& entity = *cursor->Current;
            Place& place = places[{ k, entity.Offset }];
            place.chain.assign(cursor->Chain, cursor->Chain + cursor->ChainLength);
            place.name = entity.name();
            if (const TKTBFileData* file = entity.file()) {
                place.comment = file->Comment;
                place.size = file->Size;
                place.dateTime = file->DateTime;
            }
        }
        ktbFindClose(cursor);
    }
    for (const int limit : { CatalogSearch::DefaultResultLimit, 3 * 80 + 20 }) {
        m_helper.setResultLimit(limit);
        for (int run = 0; run < 3; ++run) {
            searchAll(QStringLiteral("hit"));
            ASSERT_EQ(m_helper.fileResults.count(), std::min(limit, 5 * 3 * (2 + 24)));
            std::vector<int> perFileset(5, 0);
            for (int i = 0; i < m_helper.fileResults.count(); ++i) {
                const EntityEntry& entry = *m_helper.fileResults.at(i);
                const int k = m_registry.indexOf(entry.fileset);
                ++perFileset[static_cast<std::size_t>(k)];
                const auto found = places.find({ k, entry.entity->Offset });
                ASSERT_NE(found, places.end());
                const Place& place = found->second;
                EXPECT_EQ(entry.entity->name(), place.name);
                ASSERT_TRUE(entry.ancestors.has_value());
                EXPECT_EQ(entry.ancestors->Values(), place.chain) << place.name;
                if (const TKTBFileData* file = entry.entity->file()) {
                    EXPECT_EQ(file->Comment, place.comment) << place.name;
                    EXPECT_EQ(file->Size, place.size) << place.name;
                    EXPECT_EQ(file->DateTime, place.dateTime) << place.name;
                }
            }
            if (limit < CatalogSearch::DefaultResultLimit) {
                EXPECT_EQ(perFileset, (std::vector<int> { 78, 78, 78, 26, 0 })) << "run " << run;
            }
        }
    }
}
