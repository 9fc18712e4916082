#pragma once
// What a search keeps besides the name test: a size range, a range of days of the last change, and
// folders or files only.

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>

struct TCompare;

/// Bounds left empty do not filter; an empty filter keeps every folder and file, so a search without
/// one is the plain name search. A size or date bound keeps files only (folders have neither). The
/// engine's walk tests one strict bound per field and no folder at all: engineCriteria() hands it what
/// it can test, and passes() tests the whole filter on what it reports.
struct SearchFilter {
    enum class Kinds { All, FilesOnly, FoldersOnly };

    std::optional<std::uint64_t> minSize {}; ///< bytes, inclusive
    std::optional<std::uint64_t> maxSize {}; ///< bytes, inclusive
    std::optional<QDate> from {}; ///< first day of the last change, inclusive (catalog dates are local time)
    std::optional<QDate> to {}; ///< last day, inclusive
    Kinds kinds = Kinds::All;

    bool isEmpty() const;
    bool keepsFolders() const;
    bool keepsFiles() const;
    /// Empty when the filter can keep something, else why it cannot ("folders have no size or date",
    /// a range whose start lies after its end), for the user.
    QString contradiction() const;

    /// The KTB_FIND_NOFOLDERS and KTB_FIND_NOFILES flags of the walk.
    std::uint32_t findFlags() const;
    /// Adds the bounds the engine tests exactly to criteria (its size and date flags, Size and Date).
    void addEngineCriteria(TCompare& criteria) const;
    /// Whether the engine's part leaves files that passes() rejects: the walk must then look at every
    /// file it reports instead of only counting.
    bool testsBeyondEngine() const;
    /// Whether a file of this size and packed local date-time passes every bound.
    bool passes(std::uint32_t size, std::uint32_t dateTime) const;
};
