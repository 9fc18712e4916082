// The duplicates task: planted duplicates across filesets are found and nothing else, with each option,
// as a plain sort of every file (done here) groups them; discs catalogued twice are named.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/duplicatefinder.h"
#include "tests/core/compare/plainnames.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

struct PlantedFile {
    int fileset;
    std::uint32_t offset;
    std::string name;
    std::uint32_t size;
    std::uint32_t date;
};

using Group = std::set<std::pair<int, std::uint32_t>>; ///< files by fileset and offset

class DuplicatesTest : public ::testing::Test {
protected:
    /// Three filesets of random files drawn from few names (in several letter cases), sizes and dates.
    void SetUp() override
    {
        std::mt19937 random(5);
        const auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
        static const char* const names[]
            = { "song.mp3", "SONG.MP3", "Song.mp3", "photo.jpg", "notes", "caf\xC3\xA9", "CAF\xC3\xA9", "caf\xE9" };
        static const std::uint32_t sizes[] = { 0, 1, 1000, 1000, 5000, 0xFFFFFFFFu };
        for (int fileset = 0; fileset < 3; ++fileset) {
            CatalogBuilder catalog;
            catalog.setName("Set " + std::to_string(fileset));
            for (int disc = 0; disc < 2; ++disc) {
                catalog.beginDisc({ .serial = static_cast<std::uint32_t>(100 * fileset + disc + 1),
                    .title = "Disc " + std::to_string(disc) });
                catalog.beginFolder("Folder");
                for (int file = 0; file < 30; ++file) {
                    PlantedFile planted { fileset, 0, names[pick(std::size(names))], sizes[pick(std::size(sizes))],
                        CatalogBuilder::dosDateTime(2001, 1 + pick(2), 1) };
                    planted.offset = catalog.addFile(planted.name, planted.size, planted.date);
                    m_files.push_back(planted);
                }
                catalog.endFolder();
                catalog.endDisc();
            }
            ASSERT_TRUE(catalog.writeTo(m_folder.file("set" + std::to_string(fileset) + ".ktb")));
            m_catalogs.addPath(QString::fromStdString(m_folder.file("set" + std::to_string(fileset) + ".ktb")));
        }
        ASSERT_EQ(m_catalogs.count(), 3);
    }

    /// The catalog index of a fileset.
    int catalogOf(int fileset) const
    {
        for (int index = 0; index < m_catalogs.count(); ++index) {
            if (m_catalogs.at(index).fileName.endsWith(QStringLiteral("set%1.ktb").arg(fileset))) {
                return index;
            }
        }
        return -1;
    }

    DuplicateReport find(const DuplicateOptions& options, unsigned workers)
    {
        std::vector<WalkTarget> targets;
        for (int index = 0; index < m_catalogs.count(); ++index) {
            targets.push_back({ index, m_catalogs.at(index).fileset, {} });
        }
        CatalogWalk walk(std::move(targets), workers);
        return findDuplicates(m_catalogs, walk, options);
    }

    /// The groups a sort of every file gives: by size, then by the name as the search compares it (a-z
    /// folded; a Windows-1252 name as its UTF-8 text), then by date when asked.
    std::set<Group> expectedGroups(const DuplicateOptions& options) const
    {
        std::map<std::tuple<std::uint32_t, std::string, std::uint32_t>, Group> byKey;
        for (const PlantedFile& file : m_files) {
            if (file.size == 0 || file.size < options.minimumSize) {
                continue;
            }
            std::string name = file.name == "caf\xE9" ? "caf\xC3\xA9" : file.name;
            byKey[{ file.size, options.sizeOnly ? std::string() : upperAscii(name), options.sameDate ? file.date : 0 }]
                .insert({ catalogOf(file.fileset), file.offset });
        }
        std::set<Group> groups;
        for (const auto& [key, group] : byKey) {
            if (group.size() > 1) {
                groups.insert(group);
            }
        }
        return groups;
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::vector<PlantedFile> m_files;
};

std::set<Group> groupsOf(const DuplicateReport& report)
{
    std::set<Group> groups;
    for (const DuplicateGroup& group : report.groups) {
        Group files;
        for (const FileLocation& file : group.files) {
            files.insert({ file.catalog, file.offset });
        }
        groups.insert(files);
    }
    return groups;
}

TEST_F(DuplicatesTest, FindsTheGroupsASortOfEveryFileFindsWithEachOption)
{
    const DuplicateOptions cases[] = { {}, { .sizeOnly = true }, { .sameDate = true }, { .minimumSize = 1001 } };
    for (const DuplicateOptions& options : cases) {
        for (const unsigned workers : { 1u, 3u }) {
            const DuplicateReport report = find(options, workers);
            EXPECT_TRUE(report.complete);
            EXPECT_EQ(report.filesWalked, m_files.size());
            const std::set<Group> expected = expectedGroups(options);
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(groupsOf(report), expected)
                << "size only " << options.sizeOnly << ", same date " << options.sameDate << ", minimum "
                << options.minimumSize << ", workers " << workers;
            for (std::size_t i = 1; i < report.groups.size(); ++i) {
                EXPECT_GE(report.groups[i - 1].wasted(), report.groups[i].wasted()) << "the most wasted first";
            }
        }
    }
}

TEST_F(DuplicatesTest, AStopBeforeTheWalkGivesAnIncompleteReport)
{
    CatalogWalk walk({ { 0, m_catalogs.at(0).fileset, {} } });
    walk.requestStop();
    const DuplicateReport report = findDuplicates(m_catalogs, walk, {});
    EXPECT_FALSE(report.complete);
    EXPECT_TRUE(report.groups.empty());
}

TEST(RepeatedDiscTest, TheSameSerialTwiceAndTheSameTreeUnderTwoSerialsAreNamedAndNothingElse)
{
    TempFolder folder;
    const auto disc = [](CatalogBuilder& catalog, std::uint32_t serial, const std::string& file, std::uint32_t size) {
        const std::uint32_t offset = catalog.beginDisc({ .serial = serial, .title = "D" + std::to_string(serial) });
        catalog.beginFolder("Music");
        catalog.addFile(file, size, CatalogBuilder::dosDateTime(2004, 2, 3));
        catalog.endFolder();
        catalog.endDisc();
        return offset;
    };
    CatalogBuilder first;
    CatalogBuilder second;
    const std::uint32_t serialFirst = disc(first, 7, "a.wav", 10);
    const std::uint32_t copyFirst = disc(first, 8, "same.wav", 20);
    disc(first, 9, "other.wav", 20);
    const std::uint32_t serialSecond = disc(second, 7, "b.wav", 30);
    const std::uint32_t copySecond = disc(second, 10, "SAME.WAV", 20);
    disc(second, 11, "same.wav", 21);
    ASSERT_TRUE(first.writeTo(folder.file("a.ktb")));
    ASSERT_TRUE(second.writeTo(folder.file("b.ktb")));
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromStdString(folder.file("a.ktb")));
    catalogs.addPath(QString::fromStdString(folder.file("b.ktb")));
    const int a = catalogs.at(0).fileName.endsWith(QStringLiteral("a.ktb")) ? 0 : 1;
    CatalogWalk walk({ { 0, catalogs.at(0).fileset, {} }, { 1, catalogs.at(1).fileset, {} } });
    const DuplicateReport report = findDuplicates(catalogs, walk, {});

    std::set<std::pair<RepeatedDisc::Reason, Group>> found;
    for (const RepeatedDisc& repeated : report.discs) {
        Group discs;
        for (const DiscLocation& place : repeated.discs) {
            discs.insert({ place.catalog, place.offset });
        }
        found.insert({ repeated.reason, discs });
    }
    const std::set<std::pair<RepeatedDisc::Reason, Group>> expected = {
        { RepeatedDisc::Reason::SameSerial, { { a, serialFirst }, { 1 - a, serialSecond } } },
        { RepeatedDisc::Reason::SameTree, { { a, copyFirst }, { 1 - a, copySecond } } },
    };
    EXPECT_EQ(found, expected);
}

} // namespace
