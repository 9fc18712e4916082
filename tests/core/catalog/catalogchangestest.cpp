// The changes of catalogs the windows and ktb share: a disc moved between two catalogs (and the ways it
// stays where it was), and a deleted fileset that lives on as its ".bak" file and comes back from it.
#include "core/catalog/catalogchanges.h"

#include "core/filesets/fileset.h"
#include "engine/ktb_journal.h"
#include "engine/ktb_owners.h"
#include "tests/core/filesets/filesetfixture.h"
#include "tests/engine/discs/samplecatalogs.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using CatalogChangeTest = FilesetTest;

/// One move of the disc "Second" of ThreeDiscs into a catalog holding one disc.
struct MoveCase {
    const char* name;
    std::string sourceKey; ///< a key locks the source
    std::uint32_t destinationSerial; ///< 2 is the serial of "Second"
    DiscMoveOutcome outcome;
    TKTBERROR code;
};

void PrintTo(const MoveCase& value, std::ostream* out) { *out << value.name; }

class MoveDiscTest : public CatalogChangeTest, public ::testing::WithParamInterface<MoveCase> { };

TEST_P(MoveDiscTest, EndsWithTheDiscInOneCatalog)
{
    const MoveCase& c = GetParam();
    const ThreeDiscs three(c.sourceKey);
    CatalogBuilder held;
    held.addEmptyDisc({ .serial = c.destinationSerial, .title = "Held" });
    ASSERT_TRUE(three.catalog.writeTo(m_folder.file("source.ktb")));
    ASSERT_TRUE(held.writeTo(m_folder.file("destination.ktb")));
    {
        KtbHandlePtr source;
        KtbHandlePtr destination;
        ASSERT_EQ(ktbOpenOwned(source, m_folder.file("source.ktb").c_str(), 0), KTB_OK);
        ASSERT_EQ(ktbOpenOwned(destination, m_folder.file("destination.ktb").c_str(), 0), KTB_OK);
        const DiscMoveResult moved = moveDisc(source.get(), three.second, destination.get());
        EXPECT_EQ(moved.outcome, c.outcome);
        EXPECT_EQ(moved.code, c.code);
        EXPECT_EQ(moved.newOffset, c.outcome == DiscMoveOutcome::Moved ? held.size() : 0u);
    }
    const std::string source = readFileBytes(m_folder.file("source.ktb"));
    const std::string destination = readFileBytes(m_folder.file("destination.ktb"));
    if (c.outcome == DiscMoveOutcome::Moved) {
        EXPECT_EQ(withoutModified(source), withoutModified(three.without(three.second, three.third)));
        EXPECT_EQ(withoutModified(destination), withoutModified(held.bytes()) + three.run(three.second, three.third));
        return;
    }
    EXPECT_EQ(withoutModified(source), withoutModified(three.catalog.bytes()));
    EXPECT_EQ(withoutModified(destination), withoutModified(held.bytes()));
    if (c.outcome == DiscMoveOutcome::Refused) {
        EXPECT_EQ(destination, held.bytes()) << "a disc that has to stay never passes through the destination";
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, MoveDiscTest,
    ::testing::Values(MoveCase { "Moved", {}, 77, DiscMoveOutcome::Moved, KTB_OK },
        MoveCase { "SerialThereAlready", {}, 2, DiscMoveOutcome::NotCopied, KTB_ERR_DISCEXISTS },
        MoveCase { "LockedSource", "secret", 77, DiscMoveOutcome::Refused, KTB_ERR_LOCKED }),
    [](const ::testing::TestParamInfo<MoveCase>& info) { return std::string(info.param.name); });

TEST_F(CatalogChangeTest, DeletedFilesetBecomesItsBakFileReplacingAnOlderOne)
{
    const QString music = writeCatalog("music.ktb", "Alice", "Music");
    writeCatalog("photos.ktb", "Alice", "Photos");
    ASSERT_TRUE(writeFileBytes(m_folder.file("music.ktb.bak"), "an older backup"));
    FilesetRegistry registry(noListFile());
    ASSERT_EQ(registry.addFile(music), 0);
    ASSERT_EQ(registry.addFile(path("photos.ktb")), 1);
    registry.at(0)->handle();

    deleteFileset(registry, registry.at(0));

    ASSERT_EQ(registry.count(), 1);
    EXPECT_EQ(registry.at(0)->fileName, path("photos.ktb"));
    EXPECT_FALSE(pathExists(m_folder.file("music.ktb")));
    EXPECT_EQ(readFileBytes(m_folder.file("music.ktb.bak")).substr(0, 4), "KTB!");
}

TEST_F(CatalogChangeTest, DeletedFilesetsAreFoundAndComeBackUnderTheirNameWithTheirJournal)
{
    const QString music = writeCatalog("music.ktb", "Alice", "Music");
    FilesetRegistry registry(noListFile());
    ASSERT_EQ(registry.addFile(music), 0);
    deleteFileset(registry, registry.at(0));
    TempFolder other;
    ASSERT_TRUE(writeFileBytes(other.file("loose.ktb.bak"), "KTB!"));
    ASSERT_TRUE(writeFileBytes(m_folder.file("notes.txt.bak"), "not a catalog"));
    std::filesystem::create_directory(m_folder.file("folder.ktb.bak"));

    const QString otherFile = QString::fromStdString(other.file("loose.ktb"));
    EXPECT_EQ(deletedFilesets({ QString::fromStdString(m_folder.path()) }, { otherFile, path("missing.ktb") }),
        QStringList({ music + QStringLiteral(".bak"), otherFile + QStringLiteral(".bak") }));
    EXPECT_EQ(restoredName(music + QStringLiteral(".bak")), music);
    EXPECT_EQ(restoredName(music), QString());

    // What a crash left beside the ".bak" goes with it; a journal left under the name belongs to no file.
    const std::string bakJournal = ktbJournalPath(m_folder.file("music.ktb.bak"));
    ASSERT_TRUE(writeFileBytes(bakJournal, "journal of the .bak"));
    ASSERT_TRUE(writeFileBytes(ktbJournalPath(m_folder.file("music.ktb")), "stale"));
    ASSERT_EQ(restoreFileset(music + QStringLiteral(".bak"), music), RestoreOutcome::Restored);
    EXPECT_EQ(readFileBytes(m_folder.file("music.ktb")).substr(0, 4), "KTB!");
    EXPECT_FALSE(pathExists(m_folder.file("music.ktb.bak")));
    EXPECT_EQ(readFileBytes(ktbJournalPath(m_folder.file("music.ktb"))), "journal of the .bak");
    EXPECT_FALSE(pathExists(bakJournal));

    // A name taken again is never replaced.
    ASSERT_TRUE(writeFileBytes(m_folder.file("music.ktb.bak"), "KTB! deleted again"));
    EXPECT_EQ(restoreFileset(music + QStringLiteral(".bak"), music), RestoreOutcome::NameTaken);
    EXPECT_EQ(readFileBytes(m_folder.file("music.ktb.bak")), "KTB! deleted again");
    EXPECT_EQ(readFileBytes(m_folder.file("music.ktb")).substr(0, 4), "KTB!");
    EXPECT_EQ(restoreFileset(path("gone.ktb.bak"), path("gone.ktb")), RestoreOutcome::Failed);
}

} // namespace
