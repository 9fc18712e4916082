#pragma once
// Two trees compared by path: what is only in the first, only in the second, and in both with another
// size or date. Paths are matched with the search's letter-case rule (foldedName); sizes and dates are
// compared as a catalog holds them.

#include "core/compare/treelisting.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

enum class Difference : std::uint8_t {
    None, ///< in both, alike (a folder is alike when it is in both)
    OnlyFirst,
    OnlySecond,
    Changed, ///< a file in both with another size or date
};

struct ComparedEntry {
    std::string name; ///< the first tree's name when the entry is in both
    bool folder = false;
    Difference difference = Difference::None;
    std::size_t depth = 0;
    std::uint32_t firstSize = 0;
    std::uint32_t firstDate = 0;
    std::uint32_t secondSize = 0;
    std::uint32_t secondDate = 0;
    std::string secondName; ///< the second tree's name when the entry is in both under another name
};

/// Folders and files of one kind of difference.
struct DifferenceCount {
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t total() const { return folders + files; }
    bool operator==(const DifferenceCount&) const = default;
};

struct TreeComparison {
    QString firstName; ///< what was compared, for headings
    QString secondName;
    /// Every folder and file of both trees in tree order (depth first, what a folder holds right after it),
    /// each once.
    std::vector<ComparedEntry> entries;
    DifferenceCount onlyFirst;
    DifferenceCount onlySecond;
    DifferenceCount changed;
    bool complete = true; ///< false when stopped or a fault kept a side from being read whole
    QStringList faults; ///< what could not be read, for the user

    bool differs() const { return onlyFirst.total() + onlySecond.total() + changed.total() > 0; }
};

/// Compares two listings. A path that is a folder in one tree and a file in the other is an entry only
/// in the first and one only in the second; two entries of one tree whose paths the search takes for
/// the same are matched with the other tree's in the order they were listed. Memory grows with the
/// entries, not with their depth.
TreeComparison compareListings(const TreeListing& first, const TreeListing& second);

/// The paths of a comparison's entries: the names of the folders that hold one (the entries before it
/// of lower depth) and its own, joined by backslashes, as its own tree names them (the first tree when
/// it is in both). Given every entry in turn, it keeps no more than one path a tree.
class ComparedPaths {
public:
    const std::string& next(const ComparedEntry& entry);

private:
    struct Path {
        std::string text;
        std::vector<std::size_t> ends; ///< where the name at each depth ends in text
        void enter(std::size_t depth, std::string_view name);
    };
    Path m_first;
    Path m_second;
};
