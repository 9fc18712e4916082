// The not-on-any-disc task: the files of a local folder that no disc holds are exactly those a sort of
// the discs' names and sizes (done here) leaves without a match; the held ones name where they are.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/missingfinder.h"
#include "engine/ktb_utils.h"
#include "tests/core/compare/plainnames.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/discimages.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

TEST(MissingFilesTest, FilesWithoutADiscFileOfTheSameNameAndSizeAreMissing)
{
    TempFolder folder;
    std::mt19937 random(11);
    const auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };

    // The local folder: 60 files in three folders, times on even seconds.
    struct Local {
        std::string path;
        std::string name;
        std::uint32_t size;
        std::int64_t time;
    };
    std::vector<Local> locals;
    std::vector<DiscTreeEntry> entries;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "File" + std::to_string(i % 20) + (i % 2 == 0 ? ".jpg" : ".txt");
        const std::string path = "part" + std::to_string(i / 20) + "/" + name;
        locals.push_back({ path, name, static_cast<std::uint32_t>(10 + pick(4)), 1262347200 + 86400 * pick(3) });
        entries.push_back({ path, locals.back().size, locals.back().time });
    }
    ASSERT_TRUE(writeDiscTree(folder.file("local"), entries));

    // Two filesets with some of those names in other letter cases, sizes and dates.
    struct Held {
        std::string name;
        std::uint32_t size;
        std::uint32_t date;
    };
    std::vector<Held> held;
    for (int fileset = 0; fileset < 2; ++fileset) {
        CatalogBuilder catalog;
        catalog.beginDisc({ .serial = static_cast<std::uint32_t>(fileset + 1), .title = "Backup" });
        for (int i = 0; i < 25; ++i) {
            const Local& local = locals[static_cast<std::size_t>(pick(60))];
            const std::string name = pick(2) == 0 ? local.name : upperAscii(local.name);
            const std::uint32_t size = pick(3) == 0 ? local.size + 1 : local.size;
            const std::uint32_t date = pick(3) == 0 ? 0 : ktbUnixToLocalDos(local.time);
            catalog.addFile(name, size, date);
            held.push_back({ upperAscii(name), size, date });
        }
        catalog.endDisc();
        ASSERT_TRUE(catalog.writeTo(folder.file("backup" + std::to_string(fileset) + ".ktb")));
    }
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromStdString(folder.file("")));
    ASSERT_EQ(catalogs.count(), 2);

    for (const bool sameDate : { false, true }) {
        std::vector<std::tuple<std::string, std::uint32_t, std::uint32_t>> sortedHeld;
        for (const Held& file : held) {
            sortedHeld.emplace_back(file.name, file.size, sameDate ? file.date : 0);
        }
        std::sort(sortedHeld.begin(), sortedHeld.end());
        std::set<std::string> expectedMissing;
        std::uint64_t expectedBytes = 0;
        for (const Local& local : locals) {
            const auto key
                = std::make_tuple(upperAscii(local.name), local.size, sameDate ? ktbUnixToLocalDos(local.time) : 0u);
            if (!std::binary_search(sortedHeld.begin(), sortedHeld.end(), key)) {
                expectedMissing.insert(local.path);
                expectedBytes += local.size;
            }
        }

        CatalogWalk walk({ { 0, catalogs.at(0).fileset, {} }, { 1, catalogs.at(1).fileset, {} } });
        const MissingReport report
            = findMissing(QString::fromStdString(folder.file("local")), catalogs, walk, { .sameDate = sameDate });
        EXPECT_TRUE(report.complete);
        ASSERT_EQ(report.files.size(), locals.size());
        std::set<std::string> missing;
        for (const LocalFile& file : report.files) {
            if (!file.held()) {
                missing.insert(file.path);
                continue;
            }
            ASSERT_FALSE(file.shownHolders.isEmpty());
            EXPECT_TRUE(file.shownHolders.front().startsWith(QStringLiteral("[Nobody]\\")))
                << file.shownHolders.front().toStdString();
            EXPECT_TRUE(file.shownHolders.front().contains(QStringLiteral("\\Backup\\")));
        }
        EXPECT_EQ(missing, expectedMissing) << "same date " << sameDate;
        EXPECT_EQ(report.missingFiles, expectedMissing.size());
        EXPECT_EQ(report.missingBytes, expectedBytes);
        EXPECT_FALSE(expectedMissing.empty());
        EXPECT_LT(expectedMissing.size(), locals.size());
    }
}

} // namespace
