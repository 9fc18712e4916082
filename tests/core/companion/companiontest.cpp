// The base of the companion programs: their command line, the catalogs they load as the main window
// would, read-only and without touching its files, the walk with its stop request and faults, and which
// program the Tools commands start.
#include "core/companion/catalogwalk.h"
#include "core/companion/companionarguments.h"
#include "core/companion/companioncatalogs.h"
#include "core/companion/companionprogram.h"
#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "engine/ktb_owners.h"
#include "platform/configfolder.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

QString qPath(const std::string& path) { return QString::fromStdString(path); }

TEST(CompanionArguments, KtbdirTakesTheNextArgumentWholeAndOtherArgumentsAreCatalogs)
{
    const CompanionArguments started = CompanionArguments::parse({ QStringLiteral("-ktbdir"),
        QStringLiteral("/my discs/A B/"), QStringLiteral("x.ktb"), QStringLiteral("--"), QStringLiteral("-odd.ktb") });
    EXPECT_TRUE(started.error.isEmpty());
    EXPECT_EQ(started.storageFolder, QStringLiteral("/my discs/A B/"));
    EXPECT_EQ(started.catalogs, (QStringList { QStringLiteral("x.ktb"), QStringLiteral("-odd.ktb") }));
    EXPECT_FALSE(CompanionArguments::parse({ QStringLiteral("-ktbdir") }).error.isEmpty());
    EXPECT_FALSE(CompanionArguments::parse({ QStringLiteral("--colour") }).error.isEmpty());
    EXPECT_TRUE(CompanionArguments::parse({ QStringLiteral("--help") }).help);
}

TEST(CompanionProgram, AUsersToolUnderTheOriginsNameComesFirst)
{
    // The test executable stands in for a program in the program folder.
    EXPECT_EQ(companionProgramPath({ "companion_tests.exe", "katalox-statistics" }),
        programFolder() + QStringLiteral("companion_tests"));
    EXPECT_EQ(companionProgramPath({ "VAVuvedo.exe", "companion_tests" }),
        programFolder() + QStringLiteral("companion_tests"));
}

class CompanionCatalogsTest : public ::testing::Test {
protected:
    CompanionCatalogsTest() { setConfigFolder(m_folder.path()); }
    ~CompanionCatalogsTest() override { setConfigFolder({}); }

    std::string writeCatalog(const std::string& name, const std::string& owner)
    {
        std::filesystem::create_directories(std::filesystem::path(m_folder.file(name)).parent_path());
        CatalogBuilder catalog;
        catalog.setOwner(owner).setName(name);
        catalog.beginDisc({ .serial = 1, .title = "CD" });
        catalog.addFile("a.mp3", 10);
        catalog.endDisc();
        EXPECT_TRUE(catalog.writeTo(m_folder.file(name)));
        return m_folder.file(name);
    }

    TempFolder m_folder;
};

TEST_F(CompanionCatalogsTest, LoadsTheMainWindowsFilesetsReadOnlyAndWritesNothing)
{
    const std::string listed = writeCatalog("elsewhere/listed.ktb", "alice");
    writeCatalog("more/one.ktb", "Bob");
    writeCatalog("storage/two.ktb", "Alice");
    writeCatalog("storage/three.ktb", "");
    ASSERT_TRUE(writeFileBytes(m_folder.file("storage/broken.ktb"), "not a catalog"));
    const std::string list = listed + "\r\n" + m_folder.file("more") + "\r\n" + m_folder.file("gone.ktb") + "\r\n";
    ASSERT_TRUE(writeFileBytes(m_folder.file("ktblist.lst"), list));
    // The main window holds the writer's lock on a catalog it has open.
    KtbHandlePtr writer;
    ASSERT_EQ(ktbOpenOwned(writer, listed.c_str(), 0), KTB_OK);
    {
        CompanionCatalogs catalogs;
        catalogs.load(CompanionArguments::parse({ QStringLiteral("-ktbdir"), qPath(m_folder.file("storage")) }));
        QStringList names;
        for (int i = 0; i < catalogs.count(); ++i) {
            names << catalogs.at(i).owner + QLatin1Char('/') + catalogs.at(i).description;
        }
        names.sort();
        // "alice" and "Alice" are one owner, named as first met; a missing location is passed over.
        EXPECT_EQ(names,
            (QStringList { QStringLiteral("Bob/more/one.ktb"), QStringLiteral("[Nobody]/storage/three.ktb"),
                QStringLiteral("alice/elsewhere/listed.ktb"), QStringLiteral("alice/storage/two.ktb") }));
        EXPECT_EQ(catalogs.owners().size(), 3u);
        ASSERT_EQ(catalogs.problems().size(), 1u);
        EXPECT_EQ(catalogs.problems()[0].code, KTB_ERR_INVALIDHEADER);
        EXPECT_TRUE(catalogs.problems()[0].message().contains(QStringLiteral("broken.ktb")));
    }
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), list);
}

TEST_F(CompanionCatalogsTest, NamedCatalogsComeInsteadAndWhatIsMissingIsAProblem)
{
    writeCatalog("storage/two.ktb", "Alice");
    const std::string named = writeCatalog("named.ktb", "Carol");
    CompanionCatalogs catalogs;
    catalogs.load(CompanionArguments::parse({ QStringLiteral("-ktbdir"), qPath(m_folder.file("storage")), qPath(named),
        qPath(m_folder.file("none.ktb")) }));
    ASSERT_EQ(catalogs.count(), 1);
    EXPECT_EQ(catalogs.at(0).owner, QStringLiteral("Carol"));
    ASSERT_EQ(catalogs.problems().size(), 1u);
    EXPECT_EQ(catalogs.problems()[0].message(),
        qPath(m_folder.file("none.ktb")) + QStringLiteral(": no such file or folder"));
}

// ---------------------------------------------------------------------------------------------

class CatalogWalkTest : public ::testing::Test {
protected:
    /// Two catalogs: "big" of two discs with 3000 files in a folder each, "small" of one disc.
    CatalogWalkTest()
    {
        for (const char* name : { "big", "small" }) {
            CatalogBuilder catalog;
            const int discs = std::string(name) == "big" ? 2 : 1;
            for (int disc = 0; disc < discs; ++disc) {
                m_discs.push_back(catalog.beginDisc(
                    { .serial = static_cast<std::uint32_t>(disc + 1), .title = "CD " + std::to_string(disc) }));
                catalog.beginFolder("Folder");
                for (int file = 0; file < 3000; ++file) {
                    catalog.addFile("f.txt", 1);
                }
                catalog.endFolder();
                catalog.endDisc();
            }
            m_sizes.push_back(catalog.size());
            EXPECT_TRUE(catalog.writeTo(m_folder.file(std::string(name) + ".ktb")));
            m_builders.push_back(catalog);
            EXPECT_TRUE(m_catalogs.addPath(qPath(m_folder.file(std::string(name) + ".ktb"))));
        }
    }

    std::vector<WalkTarget> everything() const
    {
        return { { 0, m_catalogs.at(0).fileset, {} }, { 1, m_catalogs.at(1).fileset, {} } };
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::vector<CatalogBuilder> m_builders;
    std::vector<std::uint32_t> m_discs;
    std::vector<std::uint32_t> m_sizes;
};

TEST_F(CatalogWalkTest, AStopRequestEndsEveryWalkWithinABatch)
{
    CatalogWalk walk(everything(), 1);
    std::size_t visited = 0;
    const bool complete = walk.run([&](RecordWalk& one) {
        one.forEachRecord([&](const WalkRecord&) {
            if (++visited == 10) {
                walk.requestStop();
            }
        });
    });
    EXPECT_FALSE(complete);
    EXPECT_LE(visited, 10u + TKTBBatch::Capacity);
    EXPECT_TRUE(walk.faults().empty());
}

TEST_F(CatalogWalkTest, ChosenDiscsAreWalkedFromTheirRecordThroughTheirEndMarkWithTheirChain)
{
    CatalogWalk walk({ { 0, m_catalogs.at(0).fileset, { m_discs[1] } } });
    std::vector<std::string> seen;
    std::uint64_t lastDone = 0;
    walk.onProgress = [&](std::uint64_t done, std::uint64_t total) {
        lastDone = done;
        EXPECT_EQ(total, m_sizes[0] - m_discs[1]);
    };
    EXPECT_TRUE(walk.run([&](RecordWalk& one) {
        one.forEachRecord([&](const WalkRecord& record) {
            if (record.kind == KTB_TAG_FILE) {
                return;
            }
            std::string line = std::to_string(record.kind) + ":" + std::string(record.name) + " in";
            for (const std::string& name : record.chainNames) {
                line += " " + name;
            }
            seen.push_back(line);
        });
    }));
    EXPECT_EQ(seen,
        (std::vector<std::string> {
            "2:CD 1 in CD 1", "3:Folder in CD 1 Folder", "5:Folder in CD 1 Folder", "6:CD 1 in CD 1" }));
    EXPECT_EQ(lastDone, m_sizes[0] - m_discs[1]);
}

TEST_F(CatalogWalkTest, ADamagedRecordIsTheFaultOfItsCatalogOnly)
{
    CatalogBuilder damaged = m_builders[0];
    damaged.patchByte(m_discs[1], 9);
    ASSERT_TRUE(damaged.writeTo(m_folder.file("big.ktb")));
    m_catalogs.at(0).fileset->close();
    CatalogWalk walk(everything());
    std::vector<std::uint64_t> files(2);
    EXPECT_TRUE(walk.run([&](RecordWalk& one) {
        one.forEachRecord(
            [&](const WalkRecord& record) { files[one.targetIndex()] += record.kind == KTB_TAG_FILE ? 1 : 0; });
    }));
    EXPECT_EQ(files, (std::vector<std::uint64_t> { 3000, 3000 }));
    ASSERT_EQ(walk.faults().size(), 1u);
    EXPECT_EQ(walk.faults()[0].target, 0u);
    EXPECT_EQ(walk.faults()[0].message,
        qPath(m_folder.file("big.ktb"))
            + QStringLiteral(": damaged record at offset %1; the rest of this catalog was not read").arg(m_discs[1]));
}

} // namespace
