// The single-copy task: over generated filesets the files held on one medium only are exactly those a
// plain walk of every file (done here) finds, with each option and any number of workers; the media
// come with their files and bytes at risk, most at risk first.
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/singlecopyfinder.h"
#include "tests/core/compare/plainnames.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace {

struct PlantedFile {
    int fileset;
    std::uint32_t offset;
    std::uint32_t serial; ///< of its disc: the medium, unless 0
    std::uint32_t disc; ///< its disc's offset
    std::string name;
    std::uint32_t size;
    std::uint32_t date;
};

using Place = std::pair<int, std::uint32_t>; ///< catalog and offset

struct Case {
    const char* name;
    SingleCopyOptions options;
    unsigned workers;
};

class SingleCopyTest : public testing::TestWithParam<Case> {
protected:
    /// Three filesets of random files drawn from few names (in several letter cases), sizes and dates;
    /// the disc with serial 7 is catalogued in two of them, a disc without serial in the third, and each
    /// fileset holds files of names no other file has.
    void SetUp() override
    {
        std::mt19937 random(11);
        const auto pick = [&random](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
        static const char* const names[]
            = { "song.mp3", "SONG.MP3", "photo.jpg", "notes", "caf\xC3\xA9", "CAF\xC3\xA9", "caf\xE9" };
        static const std::uint32_t sizes[] = { 0, 1, 1000, 5000, 0xFFFFFFFFu };
        for (int fileset = 0; fileset < 3; ++fileset) {
            CatalogBuilder catalog;
            catalog.setName("Set " + std::to_string(fileset));
            for (int disc = 0; disc < 3; ++disc) {
                std::uint32_t serial = static_cast<std::uint32_t>(100 * fileset + disc + 1);
                if (disc == 2) {
                    serial = fileset < 2 ? 7 : 0;
                }
                const std::uint32_t discOffset = catalog.beginDisc({ .serial = serial,
                    .title = "Disc " + std::to_string(disc),
                    .scanTime = CatalogBuilder::dosDateTime(2010 + pick(3), 1, 1) });
                catalog.beginFolder("Folder");
                for (int file = 0; file < 25; ++file) {
                    PlantedFile planted { fileset, 0, serial, discOffset, names[pick(std::size(names))],
                        sizes[pick(std::size(sizes))], CatalogBuilder::dosDateTime(2001, 1 + pick(2), 1) };
                    if (file < 2) {
                        planted.name = "only " + std::to_string(fileset) + "-" + std::to_string(disc) + "-"
                            + std::to_string(file);
                        planted.size = 777;
                    }
                    planted.offset = catalog.addFile(planted.name, planted.size, planted.date);
                    m_files.push_back(planted);
                }
                catalog.endFolder();
                catalog.endDisc();
            }
            const std::string path = m_folder.file("set" + std::to_string(fileset) + ".ktb");
            ASSERT_TRUE(catalog.writeTo(path));
            m_catalogs.addPath(QString::fromStdString(path));
        }
        ASSERT_EQ(m_catalogs.count(), 3);
        for (PlantedFile& file : m_files) {
            file.fileset = catalogOf(file.fileset);
        }
    }

    int catalogOf(int fileset) const
    {
        for (int index = 0; index < m_catalogs.count(); ++index) {
            if (m_catalogs.at(index).fileName.endsWith(QStringLiteral("set%1.ktb").arg(fileset))) {
                return index;
            }
        }
        return -1;
    }

    /// The single copies a plain walk finds: by size, name as the search compares it (a-z folded, a
    /// Windows-1252 name as its UTF-8 text) and date when asked, the files whose media are one.
    std::map<std::string, std::set<Place>> expectedByMedium(const SingleCopyOptions& options) const
    {
        const auto mediumOf = [](const PlantedFile& file) {
            return file.serial != 0 ? "serial " + std::to_string(file.serial)
                                    : "disc " + std::to_string(file.fileset) + "/" + std::to_string(file.disc);
        };
        std::map<std::tuple<std::uint32_t, std::string, std::uint32_t>, std::vector<const PlantedFile*>> byKey;
        for (const PlantedFile& file : m_files) {
            if (file.size == 0 || file.size < options.minimumSize) {
                continue;
            }
            const std::string name = file.name == "caf\xE9" ? "caf\xC3\xA9" : file.name;
            byKey[{ file.size, upperAscii(name), options.sameDate ? file.date : 0 }].push_back(&file);
        }
        std::map<std::string, std::set<Place>> expected;
        for (const auto& [key, files] : byKey) {
            std::set<std::string> media;
            for (const PlantedFile* file : files) {
                media.insert(mediumOf(*file));
            }
            if (media.size() == 1) {
                for (const PlantedFile* file : files) {
                    expected[*media.begin()].insert({ file->fileset, file->offset });
                }
            }
        }
        return expected;
    }

    std::uint32_t sizeAt(const Place& place) const
    {
        for (const PlantedFile& file : m_files) {
            if (file.fileset == place.first && file.offset == place.second) {
                return file.size;
            }
        }
        return 0;
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::vector<PlantedFile> m_files;
};

TEST_P(SingleCopyTest, FindsWhatAPlainWalkFindsGroupedByMediumMostAtRiskFirst)
{
    const Case& test = GetParam();
    CatalogWalk walk(m_catalogs.wholeTargets(), test.workers);
    const SingleCopyReport report = findSingleCopies(m_catalogs, walk, test.options);
    EXPECT_TRUE(report.complete) << report.faults.join(QStringLiteral("; ")).toStdString();
    EXPECT_EQ(report.filesWalked, m_files.size());

    std::map<std::size_t, std::set<Place>> listed;
    std::vector<std::size_t> delivered;
    QStringList faults;
    ASSERT_TRUE(listSingleCopies(
        m_catalogs, report, {}, walk,
        [&listed](const SingleCopyFile& file, std::string& text) {
            listed[file.medium].insert({ file.catalog, file.offset });
            EXPECT_EQ(std::string(file.folderPath).substr(0, 1), "[") << "the tree's path, owner first";
            EXPECT_EQ(file.pathInDisc, "Folder\\");
            text += std::string(file.folderPath) + std::string(file.name) + '\n';
        },
        [&delivered](std::size_t medium, const std::string& text) {
            delivered.push_back(medium);
            EXPECT_NE(text.find("\\Folder\\"), std::string::npos) << text;
        },
        faults));
    EXPECT_TRUE(faults.isEmpty());

    std::map<std::string, std::set<Place>> expected = expectedByMedium(test.options);
    ASSERT_EQ(report.media.size(), expected.size());
    std::uint64_t totalBytes = 0;
    for (std::size_t index = 0; index < report.media.size(); ++index) {
        const SingleCopyMedium& medium = report.media[index];
        const std::set<Place>& files = listed[index];
        // The medium's files are one expected group whole: the plain walk's medium of the first file.
        bool matched = false;
        for (const auto& [name, group] : expected) {
            matched = matched || group == files;
        }
        EXPECT_TRUE(matched) << medium.path.toStdString();
        std::uint64_t bytes = 0;
        for (const Place& place : files) {
            bytes += sizeAt(place);
        }
        EXPECT_EQ(medium.files, files.size()) << medium.path.toStdString();
        EXPECT_EQ(medium.bytes, bytes) << medium.path.toStdString();
        totalBytes += bytes;
        if (index > 0) {
            const SingleCopyMedium& before = report.media[index - 1];
            EXPECT_TRUE(
                before.bytes > medium.bytes || (before.bytes == medium.bytes && before.scanTime <= medium.scanTime))
                << "in the order of bytes at risk, then of scan age";
        }
        EXPECT_EQ(medium.discs.size(), medium.serial == 7 ? 2u : 1u) << "a disc catalogued twice is one medium";
    }
    EXPECT_EQ(report.bytesAtRisk, totalBytes);
    EXPECT_EQ(delivered.size(), report.media.size());
    for (std::size_t index = 0; index < delivered.size(); ++index) {
        EXPECT_EQ(delivered[index], index) << "media are delivered in the report's order";
    }
    // The planted files of names held once are found, those of media catalogued twice included.
    std::set<Place> all;
    for (const auto& [medium, files] : listed) {
        all.insert(files.begin(), files.end());
    }
    for (const PlantedFile& file : m_files) {
        if (file.name.rfind("only ", 0) == 0 && file.size >= test.options.minimumSize) {
            EXPECT_EQ(all.count({ file.fileset, file.offset }), 1u) << file.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Options, SingleCopyTest,
    testing::Values(Case { "NamesAndSizesOneWorker", {}, 1 }, Case { "NamesAndSizesThreeWorkers", {}, 3 },
        Case { "SameDate", { .sameDate = true }, 2 }, Case { "MinimumSize", { .minimumSize = 1000 }, 2 }),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(SingleCopyChosenMedia, ListsOnlyTheChosenMediaInTheOrderGiven)
{
    TempFolder folder;
    CatalogBuilder catalog;
    for (std::uint32_t disc = 1; disc <= 3; ++disc) {
        catalog.beginDisc({ .serial = disc, .title = "Disc " + std::to_string(disc) });
        catalog.addFile("file" + std::to_string(disc), 100 * disc);
        catalog.addFile("shared", 5);
        catalog.endDisc();
    }
    ASSERT_TRUE(catalog.writeTo(folder.file("c.ktb")));
    CompanionCatalogs catalogs;
    catalogs.addPath(QString::fromStdString(folder.file("c.ktb")));
    CatalogWalk walk(catalogs.wholeTargets());
    const SingleCopyReport report = findSingleCopies(catalogs, walk, {});
    ASSERT_EQ(report.media.size(), 3u);
    EXPECT_EQ(report.media[0].title, QStringLiteral("Disc 3"));
    EXPECT_EQ(report.singleFiles, 3u) << "the shared file is on every disc";
    std::vector<std::string> names;
    QStringList faults;
    listSingleCopies(
        catalogs, report, { 2, 0 }, walk, [](const SingleCopyFile& file, std::string& text) { text += file.name; },
        [&names](std::size_t, const std::string& text) { names.push_back(text); }, faults);
    EXPECT_EQ(names, (std::vector<std::string> { "file1", "file3" }));
}

} // namespace
