#pragma once
// The figures of a collection: what the statistics window and `ktb stats` present. One walk of the
// chosen filesets makes them (collectStatistics in statisticscollector.h).

#include "core/text/filekind.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <vector>

/// A number of files and the sum of their sizes.
struct FileCount {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

    void add(std::uint32_t size)
    {
        ++files;
        bytes += size;
    }
    void add(const FileCount& other)
    {
        files += other.files;
        bytes += other.bytes;
    }
    bool operator==(const FileCount&) const = default;
};

/// File sizes fall in 24 classes: 0 bytes, 1 byte to below 1 KiB, then one class per power of two
/// from 1 KiB up to 4 GiB (sizes in a catalog are 32-bit).
constexpr int SizeClassCount = 24;
inline int sizeClass(std::uint32_t size)
{
    if (size == 0) {
        return 0;
    }
    if (size < 1024) {
        return 1;
    }
    return 32 - __builtin_clz(size) - 9;
}
/// The smallest size of a class.
std::uint64_t sizeClassStart(int sizeClass);
/// "0 bytes", "1 byte - 1 KiB", "1 - 2 KiB", ..., "512 KiB - 1 MiB", "2 - 4 GiB" (the upper bound is
/// not part of the class).
QString sizeClassName(int sizeClass);

/// The year of a packed DOS date-time; 0 when it holds no date (0, or a month or day out of range).
inline int dosYear(std::uint32_t packed)
{
    const std::uint32_t month = (packed >> 21) & 0x0F;
    const std::uint32_t day = (packed >> 16) & 0x1F;
    if (month < 1 || month > 12 || day < 1) {
        return 0;
    }
    return 1980 + static_cast<int>(packed >> 25);
}

struct FilesetFigures {
    int catalog = -1; ///< index among the companion's catalogs
    QString owner;
    QString description;
    QString fileName;
    std::uint64_t discs = 0;
    std::uint64_t folders = 0;
    FileCount files;
    std::int64_t used = 0; ///< the sum of the sound discs' Used, at most INT64_MAX
    std::int64_t capacity = 0; ///< the sum of the sound discs' Capacity, at most INT64_MAX
};

struct DiscFigures {
    int catalog = -1;
    QString fileset; ///< the fileset's description
    std::uint32_t offset = 0;
    QString title;
    std::uint32_t serial = 0;
    std::uint32_t flags = 0;
    std::uint32_t scanTime = 0; ///< packed DOS date-time, 0 when unknown
    std::int64_t used = 0;
    std::int64_t capacity = 0;
    std::uint64_t folders = 0; ///< counted by the walk, not the record's own Folders
    FileCount files;

    /// No medium or volume holds 2^53 bytes (8 PiB): a disc record that says it does, or that gives a
    /// negative figure, is damaged.
    static constexpr std::int64_t LargestBytes = std::int64_t(1) << 53;
    bool damaged() const { return used < 0 || capacity < 0 || used > LargestBytes || capacity > LargestBytes; }
    /// The fill of a damaged disc.
    static constexpr double DamagedFill = -2.0;
    /// Used against capacity in percent; -1 when the capacity is unknown (0 or less), DamagedFill when
    /// the disc is damaged.
    double fillPercent() const
    {
        if (damaged()) {
            return DamagedFill;
        }
        return capacity > 0 ? 100.0 * static_cast<double>(used) / static_cast<double>(capacity) : -1.0;
    }
};

struct ExtensionFigures {
    QString extension; ///< lower case; empty for files without extension
    FileKind kind = FileKind::Other;
    FileCount count;
};

struct YearFigures {
    int year = 0; ///< 0: files without a date
    FileCount count;
};

struct ScanMonthFigures {
    int year = 0; ///< 0: discs without a scan date
    int month = 0; ///< 1 to 12; 0 with year 0
    std::uint64_t discs = 0;
    std::int64_t used = 0;
};

struct LargestFile {
    int catalog = -1;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t dateTime = 0;
    QString name;
    QString folderPath; ///< the tree's path of the disc or folder that holds it: "Owner\Fileset\Disc\Folder\"
};

struct LargestFolder {
    int catalog = -1;
    std::uint32_t offset = 0;
    FileCount below; ///< every file below the folder, at any depth
    QString path; ///< the tree's path of the folder itself, ending in "\"
};

struct CollectionStatistics {
    static constexpr int LargestCount = 100;

    // Totals of the scope.
    std::uint64_t owners = 0;
    std::uint64_t filesets = 0;
    std::uint64_t discs = 0;
    std::uint64_t folders = 0;
    FileCount files;

    std::vector<FilesetFigures> filesetRows; ///< in the order of the catalogs
    std::vector<DiscFigures> discRows; ///< by fileset, then in file order
    std::array<FileCount, FileKindCount> kinds {}; ///< by FileKind
    std::vector<ExtensionFigures> extensions; ///< most bytes first, then by extension
    std::array<FileCount, SizeClassCount> sizes {};
    std::vector<YearFigures> years; ///< by year, files without a date first
    std::vector<ScanMonthFigures> scanMonths; ///< by month, discs without a scan date first
    std::vector<LargestFile> largestFiles; ///< the largest first; among equal sizes, the first met first
    std::vector<LargestFolder> largestFolders; ///< likewise

    /// False when the walk was stopped: the figures are then incomplete.
    bool complete = true;
    /// Catalogs that could not be opened or read to their end (their figures hold what was read).
    QStringList faults;
    /// The discs whose used or capacity bytes cannot be (DiscFigures::damaged()), for the user: their
    /// bytes are left out of the totals.
    QStringList damagedDiscs;
};

/// What a chart of file types measures.
enum class FileMeasure { Files, Bytes };
inline std::uint64_t measured(const FileCount& count, FileMeasure measure)
{
    return measure == FileMeasure::Files ? count.files : count.bytes;
}

/// An extension as tables and charts show it: "(none)" for files without one.
QString extensionLabel(const QString& extension);

/// One part of a chart.
struct ChartPart {
    QString label;
    std::uint64_t value = 0;
};
/// The count extensions with the most files or bytes (ties by extension) and, when there are more, one
/// part "Other" with the rest.
std::vector<ChartPart> topExtensions(const CollectionStatistics& figures, int count, FileMeasure measure);
