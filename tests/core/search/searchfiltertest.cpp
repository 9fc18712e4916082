// The search's filters by size, day and kind, each bound alone, at both of its ends and together,
// against a plain walk of the catalog filtered here; with few results kept, so that the matches beyond
// the kept ones are counted after the filter too.
#include "tests/core/search/searchfixture.h"

#include "core/text/catalogtext.h"
#include "engine/ktb_io.h"

#include <QSet>
#include <algorithm>

namespace {

using Kinds = SearchFilter::Kinds;

// Sizes on both sides of 1 KiB and 10 KiB, and days on both sides of the year 2020 (catalog dates are
// local time: a second before midnight and midnight itself are different days).
constexpr std::uint32_t s_sizes[] = { 0, 1023, 1024, 5000, 10240, 10241, 0xFFFFFFFFu };
const std::uint32_t s_dates[]
    = { 0, CatalogBuilder::dosDateTime(2019, 12, 31, 23, 59, 58), CatalogBuilder::dosDateTime(2020, 1, 1, 0, 0, 0),
          CatalogBuilder::dosDateTime(2020, 6, 15, 12, 0, 0), CatalogBuilder::dosDateTime(2020, 12, 31, 23, 59, 58),
          CatalogBuilder::dosDateTime(2021, 1, 1, 0, 0, 0), CatalogBuilder::dosDateTime(2050, 1, 1, 0, 0, 0) };

/// Two discs of files named "readme-SIZE-DATE.txt" and "other-..." for every size and date, a folder
/// "Readme folder" holding more, and a disc titled "readme" with nothing that matches.
CatalogBuilder filterCatalog()
{
    CatalogBuilder catalog;
    for (int disc = 1; disc <= 2; ++disc) {
        catalog.beginDisc({ .serial = static_cast<std::uint32_t>(disc), .title = "Disc " + std::to_string(disc) });
        catalog.beginFolder("Readme folder");
        for (const std::uint32_t size : s_sizes) {
            for (const std::uint32_t date : s_dates) {
                const std::string tail = std::to_string(disc) + "-" + std::to_string(size) + "-" + std::to_string(date);
                catalog.addFile("README-" + tail + ".txt", size, date);
                catalog.addFile("other-" + tail, size, date);
            }
        }
        catalog.endFolder();
        catalog.endDisc();
    }
    catalog.beginDisc({ .serial = 3, .title = "readme" });
    catalog.addFile("nothing.txt", 2000, CatalogBuilder::dosDateTime(2020, 3, 3));
    catalog.endDisc();
    return catalog;
}

struct Expected {
    QStringList names; ///< sorted
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
    QSet<QString> discs;
};

QDate dayOf(std::uint32_t dateTime)
{
    std::tm time {};
    if (dateTime == 0 || !ktbUnpackDosDateTime(dateTime, time)) {
        return {};
    }
    return QDate(time.tm_year + 1900, time.tm_mon + 1, time.tm_mday);
}

/// Every folder and file whose name holds "readme", walked one by one and filtered by the rules of the
/// filter as the user reads them.
Expected walkFiltered(const QString& path, const SearchFilter& filter)
{
    Expected expected;
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, path.toLocal8Bit().constData(), KTB_OPEN_READONLY), KTB_OK);
    QString disc;
    TKTBCursor* cursor = ktbFindFirstAll(handle, 0);
    for (bool more = cursor != nullptr; more; more = ktbFindNext(cursor) == KTB_OK) {
        const TKTBEntity* entity = cursor->Current;
        const QString name = decodeCatalogText(entity->name());
        if (entity->Kind == KTB_TAG_DISC) {
            disc = name;
            // Titles are matched by the plain search only.
            if (filter.isEmpty() && name.contains(QStringLiteral("readme"), Qt::CaseInsensitive)) {
                expected.discs.insert(disc);
            }
            continue;
        }
        if (!name.contains(QStringLiteral("readme"), Qt::CaseInsensitive)) {
            continue;
        }
        const TKTBFileData* file = entity->file();
        const bool filtered = filter.minSize || filter.maxSize || filter.from || filter.to;
        if (file == nullptr) {
            if (filtered || filter.kinds == Kinds::FilesOnly) {
                continue;
            }
            ++expected.folders;
        } else {
            const QDate day = dayOf(file->DateTime);
            const bool dated = (!filter.from && !filter.to) || day.isValid();
            if (filter.kinds == Kinds::FoldersOnly || (filter.minSize && file->Size < *filter.minSize)
                || (filter.maxSize && file->Size > *filter.maxSize) || !dated || (filter.from && day < *filter.from)
                || (filter.to && day > *filter.to)) {
                continue;
            }
            ++expected.files;
        }
        expected.names.append(name);
        expected.discs.insert(disc);
    }
    ktbFindClose(cursor);
    ktbClose(handle);
    expected.names.sort();
    return expected;
}

struct FilterCase {
    const char* name;
    SearchFilter filter;
};

void PrintTo(const FilterCase& param, std::ostream* out) { *out << param.name; }

class SearchFilterTest : public SearchTest, public ::testing::WithParamInterface<FilterCase> { };

constexpr std::uint64_t KiB = 1024;

} // namespace

TEST_P(SearchFilterTest, KeepsExactlyWhatAFilteredWalkFinds)
{
    addCatalog("filters.ktb", filterCatalog());
    const SearchFilter& filter = GetParam().filter;
    ASSERT_TRUE(filter.contradiction().isEmpty());
    const Expected expected = walkFiltered(path("filters.ktb"), filter);
    ASSERT_GT(expected.files + expected.folders, 0u) << "a case that finds nothing tests little";
    for (const int limit : { CatalogSearch::DefaultResultLimit, 3 }) {
        m_helper.setResultLimit(limit);
        m_helper.setFilter(filter);
        searchAll(QStringLiteral("readme"));
        EXPECT_EQ(m_helper.fileMatches(), expected.files) << "limit " << limit;
        EXPECT_EQ(m_helper.folderMatches(), expected.folders) << "limit " << limit;
        const QStringList titles = discTitles();
        EXPECT_EQ(QSet<QString>(titles.begin(), titles.end()), expected.discs) << "limit " << limit;
        QStringList names = fileNames();
        names.sort();
        if (limit == CatalogSearch::DefaultResultLimit) {
            EXPECT_EQ(names, expected.names);
        } else {
            EXPECT_EQ(names.size(), std::min<qsizetype>(limit, expected.names.size()));
        }
        std::uint64_t discFiles = 0;
        for (int i = 0; i < m_helper.discResultCount(); ++i) {
            discFiles += m_helper.discResults.at(i)->entity->disc()->Files;
        }
        EXPECT_EQ(discFiles, expected.files) << "the discs count what the filter keeps";
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, SearchFilterTest,
    ::testing::Values(FilterCase { "None", {} }, FilterCase { "FilesOnly", { .kinds = Kinds::FilesOnly } },
        FilterCase { "FoldersOnly", { .kinds = Kinds::FoldersOnly } },
        FilterCase { "AtLeastOneKiB", { .minSize = KiB } }, FilterCase { "AtMostTenKiB", { .maxSize = 10 * KiB } },
        FilterCase { "BetweenOneAndTenKiB", { .minSize = KiB, .maxSize = 10 * KiB } },
        FilterCase { "ExactlyOneSize", { .minSize = 5000, .maxSize = 5000 } },
        FilterCase { "AtMostTheLargestSize", { .maxSize = 0xFFFFFFFFu } },
        FilterCase { "AtLeastZero", { .minSize = 0 } }, FilterCase { "From2020", { .from = QDate(2020, 1, 1) } },
        FilterCase { "To2020", { .to = QDate(2020, 12, 31) } },
        FilterCase { "In2020", { .from = QDate(2020, 1, 1), .to = QDate(2020, 12, 31) } },
        FilterCase { "OneDay", { .from = QDate(2019, 12, 31), .to = QDate(2019, 12, 31) } },
        FilterCase { "After2044", { .from = QDate(2049, 1, 1) } },
        FilterCase { "BeforeThePackedRange", { .from = QDate(1970, 1, 1), .to = QDate(2019, 12, 31) } },
        FilterCase { "OneToTenKiBChangedIn2020",
            { .minSize = KiB, .maxSize = 10 * KiB, .from = QDate(2020, 1, 1), .to = QDate(2020, 12, 31) } },
        FilterCase { "Together",
            { .minSize = KiB,
                .maxSize = 10 * KiB,
                .from = QDate(2020, 1, 1),
                .to = QDate(2020, 12, 31),
                .kinds = Kinds::FilesOnly } }));

TEST_F(SearchTest, FilterRefusesRangesThatKeepNothingAndKeepsTitlesOutOfFilteredSearches)
{
    EXPECT_FALSE((SearchFilter { .minSize = 2, .maxSize = 1 }).contradiction().isEmpty());
    EXPECT_FALSE((SearchFilter { .from = QDate(2020, 1, 2), .to = QDate(2020, 1, 1) }).contradiction().isEmpty());
    EXPECT_FALSE((SearchFilter { .minSize = 1, .kinds = Kinds::FoldersOnly }).contradiction().isEmpty());
    EXPECT_TRUE((SearchFilter { .minSize = 1, .maxSize = 1 }).contradiction().isEmpty());

    // The disc titled "readme" is a result of the plain search only; nothing on it passes the size.
    addCatalog("filters.ktb", filterCatalog());
    searchAll(QStringLiteral("readme"));
    EXPECT_TRUE(discTitles().contains(QStringLiteral("readme")));
    m_helper.setFilter({ .minSize = 3000, .maxSize = 4000 });
    searchAll(QStringLiteral("readme"));
    EXPECT_EQ(discTitles(), QStringList());
    EXPECT_EQ(m_helper.fileMatches(), 0u);
}
