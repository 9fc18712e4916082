#include "core/search/searchfilter.h"

#include "engine/ktbdef.h"

#include <algorithm>
#include <limits>

namespace {

// A packed DOS date-time holds the day in its high half: (year - 1980) << 9 | month << 5 | day, so
// whole days compare as these 16-bit codes. Undated files (0) come before every day of 1980.
constexpr std::uint32_t s_firstDay = (1u << 5) | 1u; // 1980-01-01
constexpr std::uint32_t s_lastDay = (127u << 9) | (12u << 5) | 31u; // 2107-12-31

/// The day's code; 0 before 1980 and one past the last day after 2107, so that bounds outside the
/// packed range keep their meaning.
std::uint32_t dayCode(const QDate& date)
{
    if (date.year() < 1980) {
        return 0;
    }
    if (date.year() > 2107) {
        return s_lastDay + 1;
    }
    return (static_cast<std::uint32_t>(date.year() - 1980) << 9) | (static_cast<std::uint32_t>(date.month()) << 5)
        | static_cast<std::uint32_t>(date.day());
}

std::uint32_t firstDayCode(const SearchFilter& filter)
{
    return filter.from ? std::max(dayCode(*filter.from), s_firstDay) : s_firstDay;
}

std::uint32_t lastDayCode(const SearchFilter& filter)
{
    return filter.to ? std::min(dayCode(*filter.to), s_lastDay) : s_lastDay;
}

bool hasDates(const SearchFilter& filter) { return filter.from || filter.to; }

constexpr std::uint64_t s_largestSize = std::numeric_limits<std::uint32_t>::max();

/// The engine compares dates as signed values: only days before 2044 keep their order there.
constexpr std::uint32_t s_lastSignedDay = (64u << 9) - 1;

} // namespace

bool SearchFilter::isEmpty() const { return !minSize && !maxSize && !hasDates(*this) && kinds == Kinds::All; }

bool SearchFilter::keepsFolders() const
{
    return kinds != Kinds::FilesOnly && !minSize && !maxSize && !hasDates(*this);
}

bool SearchFilter::keepsFiles() const { return kinds != Kinds::FoldersOnly; }

QString SearchFilter::contradiction() const
{
    if (kinds == Kinds::FoldersOnly && (minSize || maxSize || hasDates(*this))) {
        return QStringLiteral("Folders have no size or date: a size or date filter finds files only.");
    }
    if (minSize && maxSize && *minSize > *maxSize) {
        return QStringLiteral("The smallest size is larger than the largest.");
    }
    if (from && to && *from > *to) {
        return QStringLiteral("The first day comes after the last.");
    }
    return {};
}

std::uint32_t SearchFilter::findFlags() const
{
    return (keepsFolders() ? 0 : KTB_FIND_NOFOLDERS) | (keepsFiles() ? 0 : KTB_FIND_NOFILES);
}

void SearchFilter::addEngineCriteria(TCompare& criteria) const
{
    // Sizes: "at least n" is "greater than n - 1"; "at most n" alone is "smaller than n + 1".
    if (minSize && *minSize > 0) {
        criteria.Flags |= KTB_CMP_SIZE_GREATER;
        criteria.Size = static_cast<std::uint32_t>(std::min(*minSize - 1, s_largestSize));
    } else if (maxSize && *maxSize < s_largestSize) {
        criteria.Flags |= KTB_CMP_SIZE_SMALLER;
        criteria.Size = static_cast<std::uint32_t>(*maxSize + 1);
    }
    // Dates: the first day as "after the last moment of the day before", where signed values keep order.
    if (hasDates(*this) && lastDayCode(*this) <= s_lastSignedDay) {
        criteria.Flags |= KTB_CMP_DATE_AFTER;
        criteria.Date = (firstDayCode(*this) << 16) - 1;
    }
}

bool SearchFilter::testsBeyondEngine() const
{
    const bool sizeBeyond = minSize && *minSize > 0 && maxSize && *maxSize < s_largestSize;
    // The engine's date test is one bound before 2044: the last day is always tested here.
    return sizeBeyond || hasDates(*this);
}

bool SearchFilter::passes(std::uint32_t size, std::uint32_t dateTime) const
{
    if ((minSize && size < *minSize) || (maxSize && size > *maxSize)) {
        return false;
    }
    if (!hasDates(*this)) {
        return true;
    }
    const std::uint32_t day = dateTime >> 16;
    return day >= firstDayCode(*this) && day <= lastDayCode(*this);
}
