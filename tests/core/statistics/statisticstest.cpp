// The figures of a collection must be exact: they are compared with counts made independently, by a
// plain walk of generated catalogs that keeps every file and folder and sorts them all, whatever the
// number of workers and whichever discs are chosen.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/filesets/entitylist.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/statistics/statisticscollector.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_owners.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

/// Names that exercise the extension rules, in both encodings and letter cases.
const char* const s_names[] = { "song.MP3", "song.mp3", "Photo.jpeg", "notes", ".profile", "a.b.TXT", "Vol. 2 live",
    "x.", "archive.tar.gz", "film.\xC4VI", "film.\xC3\xA4vi", "disc.iso", "setup.EXE", "odd.ext1234567890abcdef",
    "readme.txt", "movie.mkv" };

/// A catalog of random discs, folders and files, with many equal sizes and empty folders.
CatalogBuilder randomCatalog(std::mt19937& random, const std::string& owner, const std::string& name)
{
    const auto pick
        = [&random](std::uint32_t count) { return std::uniform_int_distribution<std::uint32_t>(0, count - 1)(random); };
    CatalogBuilder catalog;
    catalog.setOwner(owner).setName(name);
    for (int disc = 0; disc < 3; ++disc) {
        const std::uint32_t scan = pick(4) == 0 ? 0
                                                : CatalogBuilder::dosDateTime(2000 + static_cast<int>(pick(3)),
                                                    1 + static_cast<int>(pick(12)), 1 + static_cast<int>(pick(28)));
        catalog.beginDisc({ .serial = pick(1u << 30) + 1,
            .title = name + " disc " + std::to_string(disc),
            .scanTime = scan,
            .used = pick(700) * 1000000ll,
            .capacity = disc == 2 ? 0 : 734003200 });
        int depth = 0;
        for (int step = 0; step < 160; ++step) {
            const std::uint32_t what = pick(10);
            if (what < 2 && depth < 5) {
                catalog.beginFolder("folder " + std::to_string(step));
                ++depth;
            } else if (what < 4 && depth > 0) {
                catalog.endFolder();
                --depth;
            } else {
                static const std::uint32_t sizes[] = { 0, 1, 1023, 1024, 4096, 4096, 0xFFFFFFFFu };
                const std::uint32_t size = pick(3) == 0 ? static_cast<std::uint32_t>(random()) : sizes[pick(7)];
                const std::uint32_t date = pick(5) == 0 ? 0
                    : pick(5) == 0
                    ? (CatalogBuilder::dosDateTime(1999, 1, 1) | (13u << 21))
                    : CatalogBuilder::dosDateTime(1985 + static_cast<int>(pick(30)), 1 + static_cast<int>(pick(12)), 1);
                catalog.addFile(s_names[pick(std::size(s_names))], size, date);
            }
        }
        for (; depth > 0; --depth) {
            catalog.endFolder();
        }
        catalog.endDisc();
    }
    return catalog;
}

/// The figures as a plain walk of each target counts them (flags 0: no end marks, every record kept
/// with its chain), every file and folder sorted to find the largest.
CollectionStatistics plainCount(const CompanionCatalogs& catalogs, const std::vector<WalkTarget>& targets)
{
    CollectionStatistics figures;
    struct Item {
        std::uint64_t size;
        std::size_t target;
        std::uint32_t offset;
        std::uint64_t files;
        std::uint32_t dateTime;
        QString name;
        QString path;
    };
    std::vector<Item> files;
    std::map<std::pair<std::size_t, std::uint32_t>, Item> folders;
    std::map<QString, FileCount> extensions;
    std::map<int, FileCount> years;
    std::map<std::pair<int, int>, ScanMonthFigures> months;
    std::set<QString> owners;
    for (std::size_t t = 0; t < targets.size(); ++t) {
        const CatalogEntry& catalog = catalogs.at(targets[t].catalog);
        owners.insert(catalog.owner);
        FilesetFigures row;
        const auto chainPath = [&](const TKTBCursor& cursor, std::uint32_t length) {
            EntityEntry entry;
            entry.fileset = catalog.fileset;
            entry.ancestors.emplace();
            entry.ancestors->Assign(cursor.Chain, static_cast<int>(length));
            return CatalogSearch::resultPath(entry);
        };
        KtbCursorPtr cursor(ktbFindFirstAll(catalog.fileset->handle(), 0));
        for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor.get()) == KTB_OK) {
            const TKTBEntity& entity = *cursor->Current;
            const std::uint32_t disc = cursor->Chain[0];
            const auto& chosen = targets[t].discs;
            if (!chosen.empty() && std::find(chosen.begin(), chosen.end(), disc) == chosen.end()) {
                continue;
            }
            if (const TKTBDisc* record = entity.disc()) {
                ++row.discs;
                figures.discRows.push_back(
                    { targets[t].catalog, catalog.description, entity.Offset, decodeCatalogText(record->Title),
                        record->Serial, record->Flags, record->ScanTime, record->Used, record->Capacity, 0, {} });
                const int year = dosYear(record->ScanTime);
                ScanMonthFigures& month
                    = months[{ year, year == 0 ? 0 : static_cast<int>((record->ScanTime >> 21) & 15) }];
                month.year = year;
                month.month = year == 0 ? 0 : static_cast<int>((record->ScanTime >> 21) & 15);
                ++month.discs;
                month.used += record->Used;
            } else if (entity.folderName() != nullptr) {
                ++row.folders;
                ++figures.discRows.back().folders;
                folders[{ t, entity.Offset }]
                    = { 0, t, entity.Offset, 0, 0, {}, chainPath(*cursor, cursor->ChainLength) };
            } else if (const TKTBFileData* file = entity.file()) {
                row.files.add(file->Size);
                figures.discRows.back().files.add(file->Size);
                figures.sizes[static_cast<std::size_t>(sizeClass(file->Size))].add(file->Size);
                years[dosYear(file->DateTime)].add(file->Size);
                const std::string_view name(file->Name, file->NameLength);
                extensions[decodeCatalogText(fileExtension(name)).toLower()].add(file->Size);
                files.push_back({ file->Size, t, entity.Offset, 1, file->DateTime, decodeCatalogText(name),
                    chainPath(*cursor, cursor->ChainLength) });
                for (std::uint32_t level = 1; level < cursor->ChainLength; ++level) {
                    Item& folder = folders[{ t, cursor->Chain[level] }];
                    folder.size += file->Size;
                    ++folder.files;
                }
            }
        }
        figures.discs += row.discs;
        figures.folders += row.folders;
        figures.files.add(row.files);
        figures.filesetRows.push_back(row);
    }
    figures.owners = owners.size();
    figures.filesets = targets.size();
    for (const auto& [extension, count] : extensions) {
        const FileKind kind = fileKindOfExtension(extension);
        figures.extensions.push_back({ extension, kind, count });
        figures.kinds[static_cast<std::size_t>(kind)].add(count);
    }
    for (const auto& [year, count] : years) {
        figures.years.push_back({ year, count });
    }
    for (const auto& [key, month] : months) {
        figures.scanMonths.push_back(month);
    }
    const auto larger = [](const Item& a, const Item& b) {
        return std::tie(b.size, a.target, a.offset) < std::tie(a.size, b.target, b.offset);
    };
    std::sort(files.begin(), files.end(), larger);
    for (std::size_t i = 0; i < files.size() && i < 100; ++i) {
        figures.largestFiles.push_back({ -1, files[i].offset, static_cast<std::uint32_t>(files[i].size),
            files[i].dateTime, files[i].name, files[i].path });
    }
    std::vector<Item> allFolders;
    for (const auto& [key, folder] : folders) {
        allFolders.push_back(folder);
    }
    std::sort(allFolders.begin(), allFolders.end(), larger);
    for (std::size_t i = 0; i < allFolders.size() && i < 100; ++i) {
        figures.largestFolders.push_back(
            { -1, allFolders[i].offset, { allFolders[i].files, allFolders[i].size }, allFolders[i].path });
    }
    return figures;
}

void expectSameFigures(const CollectionStatistics& walked, const CollectionStatistics& counted)
{
    EXPECT_TRUE(walked.complete);
    EXPECT_TRUE(walked.faults.isEmpty()) << walked.faults.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(walked.owners, counted.owners);
    EXPECT_EQ(walked.filesets, counted.filesets);
    EXPECT_EQ(walked.discs, counted.discs);
    EXPECT_EQ(walked.folders, counted.folders);
    EXPECT_EQ(walked.files, counted.files);
    ASSERT_EQ(walked.filesetRows.size(), counted.filesetRows.size());
    for (std::size_t i = 0; i < walked.filesetRows.size(); ++i) {
        EXPECT_EQ(walked.filesetRows[i].discs, counted.filesetRows[i].discs);
        EXPECT_EQ(walked.filesetRows[i].folders, counted.filesetRows[i].folders);
        EXPECT_EQ(walked.filesetRows[i].files, counted.filesetRows[i].files);
    }
    ASSERT_EQ(walked.discRows.size(), counted.discRows.size());
    for (std::size_t i = 0; i < walked.discRows.size(); ++i) {
        const DiscFigures& a = walked.discRows[i];
        const DiscFigures& b = counted.discRows[i];
        EXPECT_EQ(std::tie(a.offset, a.title, a.fileset, a.serial, a.scanTime, a.used, a.capacity, a.folders, a.files),
            std::tie(b.offset, b.title, b.fileset, b.serial, b.scanTime, b.used, b.capacity, b.folders, b.files));
    }
    EXPECT_EQ(walked.kinds, counted.kinds);
    std::map<QString, std::pair<FileKind, FileCount>> byExtension;
    for (const ExtensionFigures& extension : walked.extensions) {
        byExtension[extension.extension] = { extension.kind, extension.count };
    }
    std::map<QString, std::pair<FileKind, FileCount>> expected;
    for (const ExtensionFigures& extension : counted.extensions) {
        expected[extension.extension] = { extension.kind, extension.count };
    }
    EXPECT_EQ(byExtension, expected);
    EXPECT_EQ(walked.sizes, counted.sizes);
    ASSERT_EQ(walked.years.size(), counted.years.size());
    for (std::size_t i = 0; i < walked.years.size(); ++i) {
        EXPECT_EQ(std::tie(walked.years[i].year, walked.years[i].count),
            std::tie(counted.years[i].year, counted.years[i].count));
    }
    ASSERT_EQ(walked.scanMonths.size(), counted.scanMonths.size());
    for (std::size_t i = 0; i < walked.scanMonths.size(); ++i) {
        const ScanMonthFigures& a = walked.scanMonths[i];
        const ScanMonthFigures& b = counted.scanMonths[i];
        EXPECT_EQ(std::tie(a.year, a.month, a.discs, a.used), std::tie(b.year, b.month, b.discs, b.used));
    }
    ASSERT_EQ(walked.largestFiles.size(), counted.largestFiles.size());
    for (std::size_t i = 0; i < walked.largestFiles.size(); ++i) {
        const LargestFile& a = walked.largestFiles[i];
        const LargestFile& b = counted.largestFiles[i];
        EXPECT_EQ(std::tie(a.offset, a.size, a.dateTime, a.name, a.folderPath),
            std::tie(b.offset, b.size, b.dateTime, b.name, b.folderPath))
            << i;
    }
    ASSERT_EQ(walked.largestFolders.size(), counted.largestFolders.size());
    for (std::size_t i = 0; i < walked.largestFolders.size(); ++i) {
        const LargestFolder& a = walked.largestFolders[i];
        const LargestFolder& b = counted.largestFolders[i];
        EXPECT_EQ(std::tie(a.offset, a.below, a.path), std::tie(b.offset, b.below, b.path)) << i;
    }
}

class StatisticsTest : public ::testing::Test {
protected:
    StatisticsTest()
    {
        std::mt19937 random(20240615);
        const std::pair<const char*, const char*> filesets[]
            = { { "Anna", "Music" }, { "Bob", "Photos" }, { "Anna", "Films" }, { "", "Loose" } };
        for (const auto& [owner, name] : filesets) {
            const std::string path = m_folder.file(std::string(name) + ".ktb");
            EXPECT_TRUE(randomCatalog(random, owner, name).writeTo(path));
            EXPECT_TRUE(m_catalogs.addPath(QString::fromStdString(path)));
        }
    }

    std::vector<WalkTarget> everything() const
    {
        std::vector<WalkTarget> targets;
        for (int index = 0; index < m_catalogs.count(); ++index) {
            targets.push_back({ index, m_catalogs.at(index).fileset, {} });
        }
        return targets;
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
};

TEST_F(StatisticsTest, FiguresOfEverythingEqualAPlainCountWithAnyNumberOfWorkers)
{
    const CollectionStatistics counted = plainCount(m_catalogs, everything());
    ASSERT_GT(counted.files.files, 1000u);
    ASSERT_EQ(counted.owners, 3u); // Anna, Bob and [Nobody]
    for (const unsigned workers : { 1u, 3u }) {
        CatalogWalk walk(everything(), workers);
        expectSameFigures(collectStatistics(m_catalogs, walk), counted);
    }
}

TEST_F(StatisticsTest, FiguresOfChosenDiscsCountThoseDiscsOnly)
{
    std::vector<WalkTarget> targets = everything();
    targets.erase(targets.begin() + 2, targets.end());
    const std::vector<CatalogDiscEntry> discs = m_catalogs.discs(0);
    targets[0].discs = { discs[2].offset, discs[0].offset };
    const CollectionStatistics counted = plainCount(m_catalogs, targets);
    CatalogWalk walk(targets, 2);
    expectSameFigures(collectStatistics(m_catalogs, walk), counted);
}

} // namespace
