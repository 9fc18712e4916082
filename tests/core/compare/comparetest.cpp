// The compare task: a disc compared with the folder it was recorded from finds nothing, and after
// renames, resizes, new dates and deletes it finds exactly those; two filesets are compared by path as
// a plain merge of their sorted paths (computed here, not with the code under test) compares them.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/comparesource.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"
#include "tests/core/compare/plainnames.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/discimages.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace {

struct Found {
    std::vector<std::string> onlyFirst;
    std::vector<std::string> onlySecond;
    std::vector<std::string> changed;
};

Found differencesOf(const TreeComparison& comparison)
{
    Found found;
    ComparedPaths paths;
    for (const ComparedEntry& entry : comparison.entries) {
        const std::string path = paths.next(entry) + (entry.folder ? "\\" : "");
        if (entry.difference == Difference::OnlyFirst) {
            found.onlyFirst.push_back(path);
        } else if (entry.difference == Difference::OnlySecond) {
            found.onlySecond.push_back(path);
        } else if (entry.difference == Difference::Changed) {
            found.changed.push_back(path);
        }
    }
    for (auto* list : { &found.onlyFirst, &found.onlySecond, &found.changed }) {
        std::sort(list->begin(), list->end());
    }
    return found;
}

TreeComparison compare(
    const CompareSource& first, const CompareSource& second, const CompanionCatalogs& catalogs, unsigned workers = 0)
{
    CatalogWalk walk(comparisonTargets(first, second, catalogs), workers);
    return compareSources(first, second, catalogs, walk);
}

/// Records a folder or disc image as the one disc of a new catalog, as a scan does.
void recordSource(const std::string& source, const std::string& catalogPath)
{
    auto table = std::make_unique<PathDriveTable>();
    table->setDrive('T', source);
    setDriveTable(std::move(table));
    struct Restore {
        ~Restore() { setDriveTable(nullptr); }
    } restore;
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('T', disc));
    KtbHandlePtr catalog;
    ASSERT_EQ(ktbOpenOwned(catalog, catalogPath.c_str(), KTB_OPEN_CREATE), KTB_OK);
    ASSERT_EQ(ktbRecordDrive(catalog.get(), 'T', disc, nullptr, nullptr), KTB_OK);
}

class DiscAgainstFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Times on even seconds: a second more is the same packed date.
        std::vector<DiscTreeEntry> entries = { { "Music/", 0 }, { "Music/Rock/", 0 }, { "Empty/", 0 } };
        for (int i = 0; i < 24; ++i) {
            const std::string folder = i % 3 == 0 ? "" : i % 3 == 1 ? "Music/" : "Music/Rock/";
            entries.push_back({ folder + "track " + std::to_string(i) + ".mp3", static_cast<std::uint64_t>(100 + i),
                1262347200 + 3600 * i });
        }
        ASSERT_TRUE(writeDiscTree(m_folder.file("source"), entries));
        recordSource(m_folder.file("source"), m_folder.file("discs.ktb"));
        ASSERT_TRUE(m_catalogs.addPath(QString::fromStdString(m_folder.file("discs.ktb"))));
    }

    TreeComparison compareWithSource() const
    {
        return compare(CompareSource::discOf(0, KTB_HEADER_SIZE),
            CompareSource::place(QString::fromStdString(m_folder.file("source"))), m_catalogs);
    }
    std::string source(const std::string& name) const { return m_folder.file("source/" + name); }
    void setTime(const std::string& name, std::int64_t seconds) const
    {
        const auto time
            = std::filesystem::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(seconds)));
        std::filesystem::last_write_time(source(name), time);
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
};

TEST_F(DiscAgainstFolderTest, FindsNothingInItsOwnSourceAndExactlyWhatChangedThere)
{
    const TreeComparison same = compareWithSource();
    EXPECT_TRUE(same.complete);
    EXPECT_FALSE(same.differs());
    EXPECT_EQ(same.entries.size(), 27u) << "every folder and file of both, each once";

    std::filesystem::rename(source("track 0.mp3"), source("track zero.mp3"));
    std::filesystem::rename(source("Music/track 1.mp3"), source("Music/TRACK 1.MP3")); // case only: the same
    std::filesystem::resize_file(source("Music/track 4.mp3"), 7);
    std::filesystem::resize_file(source("Music/Rock/track 5.mp3"), (1ull << 32) + 105); // the same modulo 2^32
    setTime("Music/Rock/track 5.mp3", 1262347200 + 3600 * 5);
    setTime("Music/Rock/track 8.mp3", 1262347200 + 3600 * 8 + 2);
    setTime("Music/Rock/track 11.mp3", 1262347200 + 3600 * 11 + 1); // within the same two seconds
    std::filesystem::remove(source("track 3.mp3"));
    std::filesystem::remove_all(source("Empty"));
    writeFileBytes(source("Music/Rock/new.txt"), "new");

    const Found found = differencesOf(compareWithSource());
    EXPECT_EQ(found.onlyFirst, (std::vector<std::string> { "Empty\\", "track 0.mp3", "track 3.mp3" }));
    EXPECT_EQ(found.onlySecond, (std::vector<std::string> { "Music\\Rock\\new.txt", "track zero.mp3" }));
    EXPECT_EQ(found.changed, (std::vector<std::string> { "Music\\Rock\\track 8.mp3", "Music\\track 4.mp3" }));
}

TEST_F(DiscAgainstFolderTest, AFolderThatCannotBeReadIsAFaultNotAnEmptySide)
{
    const TreeComparison comparison = compare(CompareSource::discOf(0, KTB_HEADER_SIZE),
        CompareSource::place(QString::fromStdString(m_folder.file("nowhere"))), m_catalogs);
    EXPECT_FALSE(comparison.complete);
    ASSERT_EQ(comparison.faults.size(), 1);
    EXPECT_TRUE(comparison.faults.front().contains(QStringLiteral("nowhere")));
}

TEST(DiscImageComparisonTest, ADiscRecordedFromAnImageIsTheImage)
{
    TempFolder folder;
    ASSERT_TRUE(writeDiscTree(folder.file("tree"), standardDiscTree()));
    ASSERT_TRUE(buildIsoImage(folder.file("tree"), folder.file("disc.iso")));
    recordSource(folder.file("disc.iso"), folder.file("discs.ktb"));
    CompanionCatalogs catalogs;
    ASSERT_TRUE(catalogs.addPath(QString::fromStdString(folder.file("discs.ktb"))));

    const TreeComparison comparison = compare(CompareSource::discOf(0, KTB_HEADER_SIZE),
        CompareSource::place(QString::fromStdString(folder.file("disc.iso"))), catalogs);
    EXPECT_TRUE(comparison.complete);
    EXPECT_FALSE(comparison.differs());
    EXPECT_GT(comparison.entries.size(), 5u);
}

TEST(SameCatalogComparisonTest, TwoDiscsOfOneFilesetAndADiscWithItsWholeFilesetAreTakenApart)
{
    TempFolder folder;
    CatalogBuilder catalog;
    const std::uint32_t first = catalog.beginDisc({ .serial = 1, .title = "First" });
    catalog.addFile("both.txt", 1);
    catalog.addFile("first.txt", 2);
    catalog.endDisc();
    const std::uint32_t second = catalog.beginDisc({ .serial = 2, .title = "Second" });
    catalog.addFile("BOTH.TXT", 1);
    catalog.addFile("second.txt", 3);
    catalog.endDisc();
    ASSERT_TRUE(catalog.writeTo(folder.file("one.ktb")));
    CompanionCatalogs catalogs;
    ASSERT_TRUE(catalogs.addPath(QString::fromStdString(folder.file("one.ktb"))));

    Found found = differencesOf(compare(CompareSource::discOf(0, first), CompareSource::discOf(0, second), catalogs));
    EXPECT_EQ(found.onlyFirst, std::vector<std::string> { "first.txt" });
    EXPECT_EQ(found.onlySecond, std::vector<std::string> { "second.txt" });
    EXPECT_TRUE(found.changed.empty());

    // The fileset's paths start with the discs' titles, the disc's own do not.
    found = differencesOf(compare(CompareSource::fileset(0), CompareSource::discOf(0, second), catalogs));
    EXPECT_EQ(found.onlyFirst.size(), 6u); // both discs and their files
    EXPECT_EQ(found.onlySecond, (std::vector<std::string> { "BOTH.TXT", "second.txt" }));
}

TEST_F(DiscAgainstFolderTest, ALargeFolderTellsHowFarItsWalkHasComeBeforeTheCatalogs)
{
    for (int i = 0; i < 1100; ++i) {
        ASSERT_TRUE(writeFileBytes(source("Empty/" + std::to_string(i)), ""));
    }
    const CompareSource first = CompareSource::place(QString::fromStdString(m_folder.file("source")));
    const CompareSource second = CompareSource::discOf(0, KTB_HEADER_SIZE);
    CatalogWalk walk(comparisonTargets(first, second, m_catalogs));
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    walk.onProgress = [&reports](std::uint64_t done, std::uint64_t total) { reports.emplace_back(done, total); };
    const TreeComparison comparison = compareSources(first, second, m_catalogs, walk);
    EXPECT_EQ(comparison.onlyFirst.files, 1100u);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), std::make_pair(std::uint64_t(1024), std::uint64_t(0))) << "entries, no known end";
    EXPECT_GT(reports.back().second, 0u) << "then the catalog's bytes";
}

/// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when missing.
long statusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return -1;
}

TEST(DeepComparisonTest, MemoryGrowsWithTheEntriesNotWithTheirDepth)
{
    // Two discs of one path through 10,000 folders: the file at its end changed, one more beside it.
    constexpr int depth = 10000;
    TempFolder folder;
    CatalogBuilder catalog;
    std::uint32_t discs[2] = {};
    for (int disc = 0; disc < 2; ++disc) {
        discs[disc] = catalog.beginDisc({ .serial = static_cast<std::uint32_t>(disc + 1), .title = "Deep" });
        for (int i = 0; i < depth; ++i) {
            catalog.beginFolder("d");
        }
        catalog.addFile("f", 1 + disc);
        if (disc == 1) {
            catalog.addFile("g");
        }
        for (int i = 0; i < depth; ++i) {
            catalog.endFolder();
        }
        catalog.endDisc();
    }
    ASSERT_TRUE(catalog.writeTo(folder.file("deep.ktb")));
    CompanionCatalogs catalogs;
    ASSERT_TRUE(catalogs.addPath(QString::fromStdString(folder.file("deep.ktb"))));

    // The kernel's peak resident size, reset to the size now.
    if (!(std::ofstream("/proc/self/clear_refs") << "5")) {
        GTEST_SKIP() << "the kernel's peak resident size cannot be reset here";
    }
    const long before = statusKilobytes("VmRSS");
    const TreeComparison comparison
        = compare(CompareSource::discOf(0, discs[0]), CompareSource::discOf(0, discs[1]), catalogs);
    const long peak = statusKilobytes("VmHWM");
    // Each path of the tree held whole would take about 500 MB.
    EXPECT_LT(peak - before, 64 * 1024) << "kB above the start";

    std::string path;
    for (int i = 0; i < depth; ++i) {
        path += "d\\";
    }
    const Found found = differencesOf(comparison);
    EXPECT_EQ(found.changed, std::vector<std::string> { path + "f" });
    EXPECT_EQ(found.onlySecond, std::vector<std::string> { path + "g" });
    EXPECT_TRUE(found.onlyFirst.empty());
    EXPECT_EQ(comparison.entries.size(), depth + 2u);
}

/// A random fileset and every path in it as the test wrote it.
struct RandomFileset {
    CatalogBuilder catalog;
    std::map<std::string, std::pair<bool, std::uint64_t>> paths; ///< upper-cased path: folder?, size and date
    std::map<std::string, std::string> shown; ///< upper-cased path: as written
};

RandomFileset randomFileset(std::mt19937& random)
{
    const auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    static const char* const names[] = { "a.txt", "A.TXT", "b", "photo.jpg", "Photo.JPG", "c.dat", "sub" };
    RandomFileset made;
    // Answers false, adding nothing, when the path is there already in any letter case.
    const auto add = [&made](const std::vector<std::string>& parts, bool folder, std::uint64_t value) {
        std::string path;
        for (const std::string& part : parts) {
            path += (path.empty() ? "" : "\\") + part;
        }
        if (!made.paths.emplace(upperAscii(path), std::make_pair(folder, value)).second) {
            return false;
        }
        made.shown[upperAscii(path)] = path;
        return true;
    };
    for (const char* title : { "One", "Two" }) {
        if (pick(4) == 0) {
            continue;
        }
        std::vector<std::string> folders { pick(2) == 0 ? title : upperAscii(title) };
        made.catalog.beginDisc({ .serial = static_cast<std::uint32_t>(pick(1000) + 1), .title = folders.front() });
        add(folders, true, 0);
        for (int step = 0; step < 40; ++step) {
            const int what = pick(8);
            if (what == 0 && folders.size() < 4) {
                folders.push_back(pick(2) == 0 ? "Sub" : "sub");
                if (add(folders, true, 0)) {
                    made.catalog.beginFolder(folders.back());
                } else {
                    folders.pop_back();
                }
            } else if (what == 1 && folders.size() > 1) {
                made.catalog.endFolder();
                folders.pop_back();
            } else {
                std::vector<std::string> parts = folders;
                parts.push_back(names[pick(std::size(names))]);
                const auto size = static_cast<std::uint32_t>(pick(3));
                const std::uint32_t date = CatalogBuilder::dosDateTime(2000, 1, 1 + pick(2));
                if (add(parts, false, std::uint64_t(size) << 32 | date)) {
                    made.catalog.addFile(parts.back(), size, date);
                }
            }
        }
        for (; folders.size() > 1; folders.pop_back()) {
            made.catalog.endFolder();
        }
        made.catalog.endDisc();
    }
    return made;
}

TEST(FilesetComparisonTest, FindsWhatAMergeOfTheSortedPathsFinds)
{
    std::mt19937 random(17);
    for (int round = 0; round < 12; ++round) {
        TempFolder folder;
        RandomFileset first = randomFileset(random);
        RandomFileset second = randomFileset(random);
        ASSERT_TRUE(first.catalog.writeTo(folder.file("first.ktb")));
        ASSERT_TRUE(second.catalog.writeTo(folder.file("second.ktb")));
        CompanionCatalogs catalogs;
        catalogs.addPath(QString::fromStdString(folder.file("first.ktb")));
        catalogs.addPath(QString::fromStdString(folder.file("second.ktb")));
        ASSERT_EQ(catalogs.count(), 2);
        const int firstIndex = catalogs.at(0).fileName.endsWith(QStringLiteral("first.ktb")) ? 0 : 1;

        Found expected;
        for (const auto& [path, entry] : first.paths) {
            const auto other = second.paths.find(path);
            const std::string shown = first.shown[path] + (entry.first ? "\\" : "");
            if (other == second.paths.end() || other->second.first != entry.first) {
                expected.onlyFirst.push_back(shown);
            } else if (other->second.second != entry.second) {
                expected.changed.push_back(shown);
            }
        }
        for (const auto& [path, entry] : second.paths) {
            const auto other = first.paths.find(path);
            if (other == first.paths.end() || other->second.first != entry.first) {
                expected.onlySecond.push_back(second.shown[path] + (entry.first ? "\\" : ""));
            }
        }
        for (auto* list : { &expected.onlyFirst, &expected.onlySecond, &expected.changed }) {
            std::sort(list->begin(), list->end());
        }
        const TreeComparison comparison = compare(
            CompareSource::fileset(firstIndex), CompareSource::fileset(1 - firstIndex), catalogs, 1 + round % 2);
        const Found found = differencesOf(comparison);
        EXPECT_EQ(found.onlyFirst, expected.onlyFirst) << "round " << round;
        EXPECT_EQ(found.onlySecond, expected.onlySecond) << "round " << round;
        EXPECT_EQ(found.changed, expected.changed) << "round " << round;
    }
}

} // namespace
