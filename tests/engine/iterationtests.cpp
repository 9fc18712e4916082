// The record stream: what each flag set reports from each start, the Chain and the counters,
// nesting beyond the Chain, damaged records, and reading one record at its offset.
#include "tests/engine/enginefixture.h"

#include <algorithm>
#include <cstring>

using Names = std::vector<std::string>;

namespace {

const std::uint32_t s_date = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10);

/// Two discs:
///   CD 1: Music/ (Rock/ (song.mp3 4000, cover.jpg 300), readme.txt 10), autorun.inf 45
///   CD 2: Empty/, notes.txt 7
struct TwoDiscs {
    CatalogBuilder catalog;
    std::uint32_t disc1, music, rock, song, cover, rockEnd, readme, musicEnd, autorun, disc1End;
    std::uint32_t disc2, empty, notes;

    TwoDiscs()
    {
        disc1 = catalog.beginDisc({ .serial = 0x11, .title = "CD 1" });
        music = catalog.beginFolder("Music");
        rock = catalog.beginFolder("Rock");
        song = catalog.addFile("song.mp3", 4000, s_date);
        cover = catalog.addFile("cover.jpg", 300, s_date);
        rockEnd = catalog.endFolder();
        readme = catalog.addFile("readme.txt", 10, s_date);
        musicEnd = catalog.endFolder();
        autorun = catalog.addFile("autorun.inf", 45, s_date);
        disc1End = catalog.endDisc();
        disc2 = catalog.beginDisc({ .serial = 0x22, .title = "CD 2" });
        empty = catalog.beginFolder("Empty");
        catalog.endFolder();
        notes = catalog.addFile("notes.txt", 7, s_date);
        catalog.endDisc();
    }
};

} // namespace

using IterationTest = EngineTest;

TEST_F(IterationTest, EmptyFilesetReportsNothing)
{
    TKTBHandle* handle = open(CatalogBuilder());
    ASSERT_NE(handle, nullptr);
    ktbSetLastError(KTB_ERR_INTERRUPTED);
    EXPECT_EQ(ktbFindFirstAll(handle, 0), nullptr);
    EXPECT_EQ(ktbLastError(), KTB_ERR_INTERRUPTED) << "a start at the end leaves the last error";
    EXPECT_EQ(ktbFindFirst(handle, 0, 0, nullptr), nullptr);
    EXPECT_EQ(ktbLastError(), KTB_NOENTITIES) << "a start below 256 is not compared with the size";
    EXPECT_EQ(ktbFindFirst(nullptr, 0, 256, nullptr), nullptr);
    EXPECT_EQ(ktbLastError(), KTB_ERR_BADHANDLE);
}

TEST_F(IterationTest, DiscWithAnEmptyFolderAndAFile)
{
    CatalogBuilder catalog;
    const std::uint32_t disc = catalog.beginDisc({ .serial = 1, .title = "D" });
    const std::uint32_t folder = catalog.beginFolder("A");
    catalog.endFolder();
    catalog.addFile("B", 10, s_date);
    catalog.endDisc();
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);

    const Iteration all = iterate(handle, 0);
    EXPECT_EQ(all.names(), Names({ "2:D", "3:A", "4:B" }));
    EXPECT_EQ(all.end, KTB_NOENTITIES);
    EXPECT_EQ(all.discs, 1u);
    EXPECT_EQ(all.folders, 1u);
    EXPECT_EQ(all.files, 1u);
    EXPECT_EQ(all.bytes, 10u);

    EXPECT_EQ(iterate(handle, KTB_FIND_ENDMARKS).names(), Names({ "2:D", "3:A", "5:", "4:B", "6:" }));
    EXPECT_EQ(iterate(handle, 13, disc).names(), Names({ "3:A" }));
    EXPECT_EQ(iterate(handle, 41, disc).names(), Names({ "3:A", "4:B" }));
    const Iteration inside = iterate(handle, 41, folder);
    EXPECT_TRUE(inside.reported.empty());
    EXPECT_EQ(inside.end, KTB_NOENTITIES);
}

TEST_F(IterationTest, EveryRecordWithItsChainAndDepth)
{
    const TwoDiscs t;
    TKTBHandle* handle = open(t.catalog);
    ASSERT_NE(handle, nullptr);
    const Iteration all = iterate(handle, KTB_FIND_ENDMARKS);
    using C = std::vector<std::uint32_t>;
    const std::vector<Reported> expected = {
        { 2, t.disc1, "CD 1", C { t.disc1 }, 0 },
        { 3, t.music, "Music", C { t.disc1, t.music }, 1 },
        { 3, t.rock, "Rock", C { t.disc1, t.music, t.rock }, 2 },
        { 4, t.song, "song.mp3", C { t.disc1, t.music, t.rock }, 2 },
        { 4, t.cover, "cover.jpg", C { t.disc1, t.music, t.rock }, 2 },
        { 5, t.rockEnd, "", C { t.disc1, t.music }, 1 },
        { 4, t.readme, "readme.txt", C { t.disc1, t.music }, 1 },
        { 5, t.musicEnd, "", C { t.disc1 }, 0 },
        { 4, t.autorun, "autorun.inf", C { t.disc1 }, 0 },
        { 6, t.disc1End, "", C { t.disc1 }, -1 },
        { 2, t.disc2, "CD 2", C { t.disc2 }, 0 },
        { 3, t.empty, "Empty", C { t.disc2, t.empty }, 1 },
        { 5, t.empty + 8, "", C { t.disc2 }, 0 },
        { 4, t.notes, "notes.txt", C { t.disc2 }, 0 },
        { 6, t.notes + 3 + 9 + 10, "", C { t.disc2 }, -1 },
    };
    EXPECT_EQ(all.reported, expected);
    EXPECT_EQ(all.discs, 2u);
    EXPECT_EQ(all.folders, 3u);
    EXPECT_EQ(all.files, 5u);
    EXPECT_EQ(all.bytes, 4000u + 300 + 10 + 45 + 7);
}

// What each flag set reports from each start; counters follow what passed the filters.
struct ScopeCase {
    const char* what;
    std::uint32_t flags;
    std::uint32_t TwoDiscs::*start; // null: 256
    Names expected;
};

std::ostream& operator<<(std::ostream& out, const ScopeCase& c) { return out << c.what; }

class ScopeTest : public EngineTest, public ::testing::WithParamInterface<ScopeCase> { };

TEST_P(ScopeTest, ReportsExactlyItsScope)
{
    const ScopeCase& c = GetParam();
    const TwoDiscs t;
    TKTBHandle* handle = open(t.catalog);
    ASSERT_NE(handle, nullptr);
    const std::uint32_t start = c.start != nullptr ? t.*c.start : 256;
    const Iteration result = iterate(handle, c.flags, start);
    EXPECT_EQ(result.names(), c.expected);
    EXPECT_EQ(result.end, KTB_NOENTITIES);
    std::uint32_t discs = 0;
    std::uint32_t folders = 0;
    std::uint64_t files = 0;
    for (const Reported& entity : result.reported) {
        discs += entity.kind == KTB_TAG_DISC;
        folders += entity.kind == KTB_TAG_FOLDER;
        files += entity.kind == KTB_TAG_FILE;
    }
    EXPECT_EQ(result.discs, discs);
    EXPECT_EQ(result.folders, folders);
    EXPECT_EQ(result.files, files);
}

INSTANTIATE_TEST_SUITE_P(Flags, ScopeTest,
    ::testing::Values(ScopeCase { "everything", 0, nullptr,
                          { "2:CD 1", "3:Music", "3:Rock", "4:song.mp3", "4:cover.jpg", "4:readme.txt", "4:autorun.inf",
                              "2:CD 2", "3:Empty", "4:notes.txt" } },
        ScopeCase { "discs only (6)", 6, nullptr, { "2:CD 1", "2:CD 2" } },
        ScopeCase { "discs only, kept (38)", 38, nullptr, { "2:CD 1", "2:CD 2" } },
        ScopeCase { "search walk (32)", 32, nullptr,
            { "2:CD 1", "3:Music", "3:Rock", "4:song.mp3", "4:cover.jpg", "4:readme.txt", "4:autorun.inf", "2:CD 2",
                "3:Empty", "4:notes.txt" } },
        ScopeCase { "statistics (64)", 64, nullptr,
            { "2:CD 1", "3:Music", "3:Rock", "4:song.mp3", "4:cover.jpg", "5:", "4:readme.txt", "5:", "4:autorun.inf",
                "6:", "2:CD 2", "3:Empty", "5:", "4:notes.txt", "6:" } },
        ScopeCase { "folders only", 5, nullptr, { "3:Music", "3:Rock", "3:Empty" } },
        ScopeCase {
            "files only", 3, nullptr, { "4:song.mp3", "4:cover.jpg", "4:readme.txt", "4:autorun.inf", "4:notes.txt" } },
        ScopeCase { "marks without folders report no end-of-folder", 66, nullptr,
            { "2:CD 1", "4:song.mp3", "4:cover.jpg", "4:readme.txt", "4:autorun.inf", "6:", "2:CD 2", "4:notes.txt",
                "6:" } },
        ScopeCase { "discs only jump over their end marks", 70, nullptr, { "2:CD 1", "2:CD 2" } },
        ScopeCase { "marks without discs report no end-of-disc", 65, nullptr,
            { "3:Music", "3:Rock", "4:song.mp3", "4:cover.jpg", "5:", "4:readme.txt", "5:", "4:autorun.inf", "3:Empty",
                "5:", "4:notes.txt" } },
        ScopeCase { "tree from a disc (13)", 13, &TwoDiscs::disc1, { "3:Music" } },
        ScopeCase { "tree from a folder (13)", 13, &TwoDiscs::music, { "3:Rock" } },
        ScopeCase { "tree from a leaf folder (13)", 13, &TwoDiscs::rock, {} },
        ScopeCase { "list from a disc (41)", 41, &TwoDiscs::disc1, { "3:Music", "4:autorun.inf" } },
        ScopeCase { "list from a folder (41)", 41, &TwoDiscs::music, { "3:Rock", "4:readme.txt" } },
        ScopeCase { "list from a leaf folder (41)", 41, &TwoDiscs::rock, { "4:song.mp3", "4:cover.jpg" } },
        ScopeCase { "list from the last disc (41)", 41, &TwoDiscs::disc2, { "3:Empty", "4:notes.txt" } },
        ScopeCase { "children with the disc itself", 8, &TwoDiscs::disc1, { "2:CD 1", "3:Music", "4:autorun.inf" } },
        ScopeCase { "a folder and its whole contents", 0, &TwoDiscs::music,
            { "3:Music", "3:Rock", "4:song.mp3", "4:cover.jpg", "4:readme.txt" } },
        ScopeCase { "a folder's own end mark ends the scope unreported", 64, &TwoDiscs::rock,
            { "3:Rock", "4:song.mp3", "4:cover.jpg" } },
        ScopeCase { "from a disc to the end of the file", 0, &TwoDiscs::disc2, { "2:CD 2", "3:Empty", "4:notes.txt" } },
        ScopeCase { "discs from the second one", 6, &TwoDiscs::disc2, { "2:CD 2" } }),
    [](const ::testing::TestParamInfo<ScopeCase>& info) { return "case" + std::to_string(info.index); });

TEST_F(IterationTest, DiscsOnlyJumpsOverContentsByRunLength)
{
    // The contents of each disc hold a bad tag; a discs-only walk never reads them.
    CatalogBuilder catalog;
    std::vector<std::uint32_t> discs;
    for (int i = 0; i < 3; ++i) {
        discs.push_back(catalog.beginDisc({ .serial = 10u + i, .title = "Disc " + std::to_string(i) }));
        catalog.beginFolder("F");
        catalog.rawByte(9);
        catalog.endFolder();
        catalog.endDisc();
    }
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    for (const std::uint32_t flags : { 6u, 38u }) {
        const Iteration result = iterate(handle, flags);
        ASSERT_EQ(result.reported.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(result.reported[i].offset, discs[i]);
        }
        EXPECT_EQ(result.end, KTB_NOENTITIES);
    }
    // Any walk that reads contents meets the bad tag.
    const Iteration everything = iterate(handle, 0);
    EXPECT_EQ(everything.end, KTB_ERR_BADENTITY);
}

TEST_F(IterationTest, DiscWithoutRunLengthIsWalkedThrough)
{
    // A disc being written (RunLength 0) cannot be jumped over; its contents are read instead.
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "open", .runLength = 0 });
    catalog.beginFolder("F");
    catalog.addFile("x", 1);
    catalog.endFolder();
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 2, .title = "next" });
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(iterate(handle, 6).names(), Names({ "2:open", "2:next" }));
}

TEST_F(IterationTest, DiscsWhereNoNameCanMatchArePassedOverWhole)
{
    // Discs A and C hold no "mp3" and a bad tag inside: a walk for the pattern that may skip discs never
    // reads them. A run length that does not end on the disc's end mark is not trusted: that disc's
    // contents are read.
    const auto badDisc = [](CatalogBuilder& catalog, const std::string& title, std::optional<std::uint32_t> runLength) {
        catalog.beginDisc({ .serial = 1, .title = title, .runLength = runLength });
        catalog.beginFolder("F");
        catalog.rawByte(9);
        catalog.endFolder();
        catalog.endDisc();
    };
    CatalogBuilder catalog;
    badDisc(catalog, "A", std::nullopt);
    const std::uint32_t b = catalog.beginDisc({ .serial = 2, .title = "B" });
    const std::uint32_t music = catalog.beginFolder("Music");
    catalog.addFile("song.MP3", 5);
    catalog.endFolder();
    catalog.endDisc();
    badDisc(catalog, "C", std::nullopt);
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    TCompare criteria;
    criteria.Name = "mp3";
    criteria.Flags = KTB_CMP_NAME;
    const Iteration found = iterate(handle, KTB_FIND_SKIPDISCS, 256, &criteria);
    EXPECT_EQ(found.names(), Names({ "2:A", "2:B", "4:song.MP3", "2:C" }));
    EXPECT_EQ(found.end, KTB_NOENTITIES);
    EXPECT_EQ(found.files, 1u);
    ASSERT_EQ(found.reported.size(), 4u);
    EXPECT_EQ(found.reported[2].chain, (std::vector<std::uint32_t> { b, music }));
    EXPECT_EQ(iterate(handle, 0, 256, &criteria).end, KTB_ERR_BADENTITY) << "without the flag every record is read";

    CatalogBuilder wrong;
    badDisc(wrong, "D", 7);
    wrong.addEmptyDisc({ .serial = 3, .title = "E" });
    handle = open(wrong, 0, "wrong.ktb");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(iterate(handle, KTB_FIND_SKIPDISCS, 256, &criteria).end, KTB_ERR_BADENTITY);
}

TEST_F(IterationTest, CriteriaFilterFoldersAndFilesAndTheCounters)
{
    const TwoDiscs t;
    TKTBHandle* handle = open(t.catalog);
    ASSERT_NE(handle, nullptr);
    TCompare criteria;
    criteria.Name = "*o*";
    criteria.Flags = KTB_CMP_NAME;
    Iteration result = iterate(handle, KTB_FIND_KEEP, 256, &criteria);
    EXPECT_EQ(result.names(),
        Names({ "2:CD 1", "3:Rock", "4:song.mp3", "4:cover.jpg", "4:autorun.inf", "2:CD 2", "4:notes.txt" }));
    EXPECT_EQ(criteria.Name, "*O*") << "the criteria are upper-cased in place";
    EXPECT_EQ(result.folders, 1u);
    EXPECT_EQ(result.files, 4u);
    EXPECT_EQ(result.bytes, 4000u + 300 + 45 + 7);

    // Without KTB_CMP_NAME the name test applies to folders only.
    criteria.Name = "mus";
    criteria.Flags = KTB_CMP_SIZE_GREATER;
    criteria.Size = 300;
    result = iterate(handle, KTB_FIND_NODISCS, 256, &criteria);
    EXPECT_EQ(result.names(), Names({ "3:Music", "4:song.mp3" }));

    // Empty criteria pass everything.
    TCompare none;
    EXPECT_EQ(iterate(handle, 0, 256, &none).names(), iterate(handle, 0).names());
}

TEST_F(IterationTest, KeptEntitiesOutliveTheCursor)
{
    const TwoDiscs t;
    TKTBHandle* handle = open(t.catalog);
    ASSERT_NE(handle, nullptr);
    std::vector<TKTBEntity*> kept;
    TKTBCursor* cursor = ktbFindFirst(handle, KTB_FIND_KEEP | KTB_FIND_NODISCS, 256, nullptr);
    while (cursor != nullptr) {
        kept.push_back(cursor->Current);
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    EXPECT_EQ(cursor, nullptr);
    ASSERT_EQ(kept.size(), 8u);
    EXPECT_STREQ(kept[0]->folderName(), "Music");
    EXPECT_EQ(kept[2]->file()->Size, 4000u);
    EXPECT_EQ(kept[2]->file()->DateTime, s_date);
    EXPECT_STREQ(kept[7]->file()->Name, "notes.txt");
    for (TKTBEntity*& entity : kept) {
        EXPECT_TRUE(ktbFreeEntity(entity));
        EXPECT_EQ(entity, nullptr);
    }
    TKTBEntity* none = nullptr;
    EXPECT_FALSE(ktbFreeEntity(none));
    TKTBCursor* noCursor = nullptr;
    ktbFindClose(noCursor);
    EXPECT_EQ(ktbFindNext(nullptr), KTB_ERR_BADHANDLE);
}

// ---------------------------------------------------------------------------------------------
// Nesting beyond the Chain's 64 entries.

class DeepNestingTest : public EngineTest {
protected:
    static constexpr int Levels = 70;

    void SetUp() override
    {
        m_disc = m_catalog.beginDisc({ .serial = 1, .title = "deep" });
        for (int level = 0; level < Levels; ++level) {
            m_folders.push_back(m_catalog.beginFolder("d" + std::to_string(level)));
        }
        m_bottom = m_catalog.addFile("bottom.txt", 1);
        for (int level = 0; level < Levels; ++level) {
            m_catalog.endFolder();
        }
        m_sibling = m_catalog.beginFolder("sibling");
        m_inSibling = m_catalog.addFile("inside.txt", 2);
        m_catalog.endFolder();
        m_last = m_catalog.addFile("last.txt", 3);
        m_catalog.endDisc();
        m_next = m_catalog.addEmptyDisc({ .serial = 2, .title = "next" });
    }

    /// The Chain expected at a folder of this level (0 = the outermost): the disc and the folders down
    /// to it, the outermost 64 entries when there are more.
    std::vector<std::uint32_t> chainAt(int level) const
    {
        std::vector<std::uint32_t> chain = { m_disc };
        for (int i = 0; i <= level && chain.size() < 64; ++i) {
            chain.push_back(m_folders[i]);
        }
        return chain;
    }

    CatalogBuilder m_catalog;
    std::uint32_t m_disc = 0, m_bottom = 0, m_sibling = 0, m_inSibling = 0, m_last = 0, m_next = 0;
    std::vector<std::uint32_t> m_folders;
};

TEST_F(DeepNestingTest, ChainKeepsTheOutermost64AndRecoversOnTheWayOut)
{
    TKTBHandle* handle = open(m_catalog);
    ASSERT_NE(handle, nullptr);
    const Iteration all = iterate(handle, KTB_FIND_ENDMARKS);
    ASSERT_EQ(all.end, KTB_NOENTITIES);
    std::size_t index = 0;
    ASSERT_EQ(all.reported.size(), 1 + Levels + 1 + Levels + 2 + 1 + 1 + 1 + 2u);
    EXPECT_EQ(all.reported[index++].offset, m_disc);
    for (int level = 0; level < Levels; ++level) {
        const Reported& folder = all.reported[index++];
        EXPECT_EQ(folder.offset, m_folders[level]);
        EXPECT_EQ(folder.chain, chainAt(level)) << "level " << level;
        EXPECT_EQ(folder.depth, level + 1);
    }
    const Reported& bottom = all.reported[index++];
    EXPECT_EQ(bottom.offset, m_bottom);
    EXPECT_EQ(bottom.chain.size(), 64u);
    EXPECT_EQ(bottom.depth, Levels);
    for (int level = Levels - 1; level >= 0; --level) {
        const Reported& mark = all.reported[index++];
        EXPECT_EQ(mark.kind, KTB_TAG_ENDFOLDER);
        EXPECT_EQ(mark.chain, level == 0 ? std::vector<std::uint32_t> { m_disc } : chainAt(level - 1))
            << "leaving level " << level;
        EXPECT_EQ(mark.depth, level);
    }
    const Reported& sibling = all.reported[index++];
    EXPECT_EQ(sibling.offset, m_sibling);
    EXPECT_EQ(sibling.chain, std::vector<std::uint32_t>({ m_disc, m_sibling }));
    EXPECT_EQ(all.reported[index++].chain, std::vector<std::uint32_t>({ m_disc, m_sibling }));
    EXPECT_EQ(all.reported[index++].kind, KTB_TAG_ENDFOLDER);
    const Reported& last = all.reported[index++];
    EXPECT_EQ(last.offset, m_last);
    EXPECT_EQ(last.chain, std::vector<std::uint32_t>({ m_disc }));
    EXPECT_EQ(last.depth, 0);
    EXPECT_EQ(all.reported[index++].kind, KTB_TAG_ENDDISC);
    EXPECT_EQ(all.reported[index].offset, m_next);
    EXPECT_EQ(all.reported[index].chain, std::vector<std::uint32_t>({ m_next }));
    EXPECT_EQ(all.folders, Levels + 1u);
    EXPECT_EQ(all.files, 3u);
}

TEST_F(DeepNestingTest, ScopesStayRightBelowTheChain)
{
    TKTBHandle* handle = open(m_catalog);
    ASSERT_NE(handle, nullptr);
    // Direct children of the disc: the outermost folder, the sibling and the last file; the scope
    // ends at the disc's own end, not at the deep folders' ends.
    EXPECT_EQ(iterate(handle, 41, m_disc).names(), Names({ "3:d0", "3:sibling", "4:last.txt" }));
    // Direct children of a folder below the Chain's reach.
    EXPECT_EQ(iterate(handle, 41, m_folders[66]).names(), Names({ "3:d67" }));
    EXPECT_EQ(iterate(handle, 41, m_folders[Levels - 1]).names(), Names({ "4:bottom.txt" }));
    // A folder's whole contents end at its own end record.
    const Iteration below = iterate(handle, 0, m_folders[65]);
    EXPECT_EQ(below.reported.size(), 6u);
    EXPECT_EQ(below.reported.back().offset, m_bottom);
    // A walk started at a folder has that folder first in its Chain.
    const Iteration started = iterate(handle, 0, m_folders[10]);
    EXPECT_EQ(started.reported.front().chain, std::vector<std::uint32_t>({ m_folders[10] }));
    EXPECT_EQ(started.reported.back().chain.size(), 60u);
}

// ---------------------------------------------------------------------------------------------
// Damaged records.

TEST_F(IterationTest, UnknownTagEndsTheWalkWithItsOffsetAndValue)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "D" });
    catalog.beginFolder("F");
    // A file whose name fills the file up to offset 1000.
    const std::uint32_t nameLength = 1000 - catalog.size() - 3 - 10;
    catalog.addFile(std::string(nameLength, 'n'), 5);
    ASSERT_EQ(catalog.rawByte(7), 1000u);
    catalog.endFolder();
    catalog.endDisc();
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    ktbSetErrorDetail(0, 0);
    const Iteration result = iterate(handle, 0);
    EXPECT_EQ(result.reported.size(), 3u) << "what came before the bad tag was reported";
    EXPECT_EQ(result.end, KTB_ERR_BADENTITY);
    TKTBErrorDetail detail;
    ktbErrorDetail(detail);
    EXPECT_EQ(detail.Offset, 1000u);
    EXPECT_EQ(detail.Tag, 7u);
}

TEST_F(IterationTest, AnEndOfFolderMarkAtADiscsTopLevelIsDamageNotTheEndOfTheWalk)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "D" });
    const std::uint32_t stray = catalog.endFolder();
    catalog.addFile("after.txt", 5);
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 2, .title = "E" });
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    const std::uint32_t disc = 256;
    // The whole walk, a disc's listing and the search's walk alike.
    for (const auto& [flags, start] : { std::pair { 0u, 256u }, { KTB_FIND_CHILDREN, disc }, { 32u, 256u } }) {
        SCOPED_TRACE(flags);
        const Iteration result = iterate(handle, flags, start);
        EXPECT_EQ(result.end, KTB_ERR_BADENTITY);
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        EXPECT_EQ(detail.Offset, stray);
    }
}

TEST_F(IterationTest, TagsZeroOneAndAbove6AreBad)
{
    for (const int tag : { 0, 1, 7, 8, 0x7F, 0x80, 0xFF }) {
        CatalogBuilder catalog;
        catalog.rawByte(static_cast<std::uint8_t>(tag));
        TKTBHandle* handle = open(catalog, 0, "tag" + std::to_string(tag) + ".ktb");
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(ktbFindFirstAll(handle, 0), nullptr);
        EXPECT_EQ(ktbLastError(), KTB_ERR_BADENTITY) << tag;
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        EXPECT_EQ(detail.Offset, 256u);
        EXPECT_EQ(detail.Tag, tag);
    }
}

TEST_F(IterationTest, RecordCutByTheEndOfTheFileIsBadAtItsOwnOffset)
{
    // Cut a sound catalog after every byte: the walk reports the whole records before the cut and
    // then either ends normally (cut between records) or names the record that was cut.
    const TwoDiscs t;
    const std::string whole = t.catalog.bytes();
    std::vector<std::uint32_t> starts;
    {
        TKTBHandle* handle = open(t.catalog, 0, "whole.ktb");
        ASSERT_NE(handle, nullptr);
        for (const Reported& entity : iterate(handle, KTB_FIND_ENDMARKS).reported) {
            starts.push_back(entity.offset);
        }
    }
    starts.push_back(static_cast<std::uint32_t>(whole.size()));
    for (std::uint32_t cut = 257; cut < whole.size(); ++cut) {
        CatalogBuilder catalog = t.catalog;
        catalog.truncate(cut);
        const std::string path = write(catalog, "cut.ktb");
        TKTBHandle* handle = nullptr;
        ASSERT_EQ(ktbOpen(handle, path.c_str(), KTB_OPEN_READONLY), KTB_OK);
        const Iteration result = iterate(handle, KTB_FIND_ENDMARKS);
        ktbClose(handle);
        const auto next = std::upper_bound(starts.begin(), starts.end(), cut);
        const std::uint32_t cutRecord = *(next - 1);
        const bool onBoundary = std::find(starts.begin(), starts.end(), cut) != starts.end();
        if (onBoundary) {
            EXPECT_EQ(result.end, KTB_NOENTITIES) << "cut at " << cut;
            EXPECT_EQ(result.reported.size(), static_cast<std::size_t>(next - 1 - starts.begin()));
            continue;
        }
        EXPECT_EQ(result.end, KTB_ERR_BADENTITY) << "cut at " << cut;
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        EXPECT_EQ(detail.Offset, cutRecord) << "cut at " << cut;
        EXPECT_EQ(detail.Tag, static_cast<std::uint8_t>(whole[cutRecord]));
        EXPECT_EQ(result.reported.size(), static_cast<std::size_t>(next - 1 - starts.begin()));
    }
}

// ---------------------------------------------------------------------------------------------
// Reading one record.

TEST_F(IterationTest, ReadEntityDeliversEveryKindAsStored)
{
    CatalogBuilder catalog;
    const std::uint32_t disc = catalog.beginDisc({ .serial = 0xA1B2C3D4,
        .title = "Title",
        .comment = "Comment",
        .flags = 1,
        .scanTime = s_date,
        .used = 0x123456789A,
        .capacity = 734003200 });
    const std::uint32_t folder = catalog.beginFolder("Caf\xE9");
    const std::uint32_t file = catalog.addFile("file.txt", 0xFFFFFFF0, s_date, "a comment");
    const std::uint32_t folderEnd = catalog.endFolder();
    const std::uint32_t discEnd = catalog.endDisc();
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    ktbSeek(handle, 300, 0);

    TKTBEntity* entity = nullptr;
    ASSERT_EQ(ktbReadEntity(handle, disc, entity), KTB_OK);
    ASSERT_NE(entity->disc(), nullptr);
    const TKTBDisc& record = *entity->disc();
    EXPECT_EQ(record.Serial, 0xA1B2C3D4u);
    EXPECT_STREQ(record.Title, "Title");
    EXPECT_STREQ(record.Comment, "Comment");
    EXPECT_EQ(record.Flags, 1u);
    EXPECT_EQ(record.ScanTime, s_date);
    EXPECT_EQ(record.Used, 0x123456789A);
    EXPECT_EQ(record.Capacity, 734003200);
    EXPECT_EQ(record.Files, 1u);
    EXPECT_EQ(record.Folders, 1u);
    EXPECT_EQ(record.RunLength, discEnd + 1 - disc);
    EXPECT_EQ(std::memcmp(entity->Data, catalog.bytes().data() + disc + 1, sizeof(TKTBDisc)), 0)
        << "the disc record is the stored bytes";
    ktbFreeEntity(entity);

    ASSERT_EQ(ktbReadEntity(handle, folder, entity), KTB_OK);
    EXPECT_STREQ(entity->folderName(), "Caf\xE9");
    EXPECT_EQ(entity->Offset, folder);
    ktbFreeEntity(entity);

    ASSERT_EQ(ktbReadEntity(handle, file, entity), KTB_OK);
    ASSERT_NE(entity->file(), nullptr);
    EXPECT_EQ(entity->file()->Size, 0xFFFFFFF0u);
    EXPECT_EQ(entity->file()->DateTime, s_date);
    EXPECT_STREQ(entity->file()->Name, "file.txt");
    EXPECT_STREQ(entity->file()->Comment, "a comment");
    ktbFreeEntity(entity);

    for (const std::uint32_t mark : { folderEnd, discEnd }) {
        ASSERT_EQ(ktbReadEntity(handle, mark, entity), KTB_OK);
        EXPECT_EQ(entity->Kind, catalog.bytes()[mark]);
        EXPECT_EQ(entity->Data, nullptr);
        EXPECT_STREQ(entity->name(), "");
        ktbFreeEntity(entity);
    }
    EXPECT_EQ(ktbPosition(handle), 300u) << "reading a record leaves the position";
}

TEST_F(IterationTest, ReadEntityRefusesOffsetsWithoutARecord)
{
    const TwoDiscs t;
    TKTBHandle* handle = open(t.catalog);
    ASSERT_NE(handle, nullptr);
    TKTBEntity* entity = nullptr;
    ktbSetLastError(KTB_OK);
    EXPECT_EQ(ktbReadEntity(handle, ktbFileSize(handle), entity), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbReadEntity(handle, 0xFFFFFFFF, entity), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbLastError(), KTB_OK) << "an offset past the end does not set the last error";
    EXPECT_EQ(entity, nullptr);
    // Inside the song's name: the byte there is 'o', not a tag.
    EXPECT_EQ(ktbReadEntity(handle, t.song + 4, entity), KTB_ERR_BADENTITY);
    EXPECT_EQ(ktbLastError(), KTB_ERR_BADENTITY);
    EXPECT_EQ(entity, nullptr);
}
