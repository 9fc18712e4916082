#include "core/compare/treecomparison.h"

#include <algorithm>

namespace {

ComparedEntry onlyIn(const TreeEntry& entry, bool first, std::size_t depth)
{
    ComparedEntry compared;
    compared.name = entry.name;
    compared.folder = entry.folder;
    compared.depth = depth;
    compared.difference = first ? Difference::OnlyFirst : Difference::OnlySecond;
    (first ? compared.firstSize : compared.secondSize) = entry.size;
    (first ? compared.firstDate : compared.secondDate) = entry.dateTime;
    return compared;
}

ComparedEntry inBoth(const TreeEntry& first, const TreeEntry& second, std::size_t depth)
{
    ComparedEntry compared;
    compared.name = first.name;
    if (second.name != first.name) {
        compared.secondName = second.name;
    }
    compared.folder = first.folder;
    compared.depth = depth;
    compared.firstSize = first.size;
    compared.firstDate = first.dateTime;
    compared.secondSize = second.size;
    compared.secondDate = second.dateTime;
    const bool alike = first.folder || (first.size == second.size && first.dateTime == second.dateTime);
    compared.difference = alike ? Difference::None : Difference::Changed;
    return compared;
}

void count(TreeComparison& comparison, const ComparedEntry& entry)
{
    DifferenceCount* counted = nullptr;
    switch (entry.difference) {
    case Difference::OnlyFirst:
        counted = &comparison.onlyFirst;
        break;
    case Difference::OnlySecond:
        counted = &comparison.onlySecond;
        break;
    case Difference::Changed:
        counted = &comparison.changed;
        break;
    case Difference::None:
        return;
    }
    ++(entry.folder ? counted->folders : counted->files);
}

/// Pairs the entries listed at one path in each tree (none: the path is not in that tree).
void compareAtPath(TreeComparison& comparison, const TreeListing& first, const TreeListing::Node* a,
    const TreeListing& second, const TreeListing::Node* b, std::size_t depth)
{
    const auto add = [&comparison](ComparedEntry entry) {
        count(comparison, entry);
        comparison.entries.push_back(std::move(entry));
    };
    std::size_t i = a == nullptr ? TreeListing::None : a->firstEntry;
    std::size_t j = b == nullptr ? TreeListing::None : b->firstEntry;
    while (i != TreeListing::None || j != TreeListing::None) {
        const TreeEntry* x = i == TreeListing::None ? nullptr : &first.entries()[i];
        const TreeEntry* y = j == TreeListing::None ? nullptr : &second.entries()[j];
        if (y == nullptr) {
            add(onlyIn(*x, true, depth));
        } else if (x == nullptr) {
            add(onlyIn(*y, false, depth));
        } else if (x->folder != y->folder) {
            // The file first: what the folder holds follows it.
            add(onlyIn(x->folder ? *y : *x, !x->folder, depth));
            add(onlyIn(x->folder ? *x : *y, x->folder, depth));
        } else {
            add(inBoth(*x, *y, depth));
        }
        i = x == nullptr ? i : x->nextAtPath;
        j = y == nullptr ? j : y->nextAtPath;
    }
}

} // namespace

TreeComparison compareListings(const TreeListing& first, const TreeListing& second)
{
    TreeComparison comparison;
    comparison.entries.reserve(std::max(first.size(), second.size()));
    // Both trees' paths in step, depth first, each path's entries before the longer paths: each level
    // holds the paths one name longer still to be merged, in the order of their folded last names.
    using Child = TreeListing::Children::const_iterator;
    struct Level {
        Child a, aEnd, b, bEnd;
    };
    static const TreeListing::Children none;
    std::vector<Level> levels;
    const auto enter = [&levels](const TreeListing::Node* a, const TreeListing::Node* b) {
        const TreeListing::Children& aChildren = a == nullptr ? none : a->children;
        const TreeListing::Children& bChildren = b == nullptr ? none : b->children;
        levels.push_back({ aChildren.begin(), aChildren.end(), bChildren.begin(), bChildren.end() });
    };
    enter(&first.nodes().front(), &second.nodes().front());
    while (!levels.empty()) {
        Level& level = levels.back();
        const bool inFirst = level.a != level.aEnd;
        const bool inSecond = level.b != level.bEnd;
        if (!inFirst && !inSecond) {
            levels.pop_back();
            continue;
        }
        const int order = !inFirst ? 1 : !inSecond ? -1 : level.a->first.compare(level.b->first);
        const TreeListing::Node* a = order <= 0 ? &first.nodes()[(level.a++)->second] : nullptr;
        const TreeListing::Node* b = order >= 0 ? &second.nodes()[(level.b++)->second] : nullptr;
        compareAtPath(comparison, first, a, second, b, levels.size() - 1);
        enter(a, b);
    }
    return comparison;
}

void ComparedPaths::Path::enter(std::size_t depth, std::string_view name)
{
    depth = std::min(depth, ends.size());
    text.resize(depth == 0 ? 0 : ends[depth - 1]);
    ends.resize(depth);
    if (depth > 0) {
        text += '\\';
    }
    text += name;
    ends.push_back(text.size());
}

const std::string& ComparedPaths::next(const ComparedEntry& entry)
{
    m_first.enter(entry.depth, entry.name);
    m_second.enter(entry.depth, entry.secondName.empty() ? entry.name : entry.secondName);
    return entry.difference == Difference::OnlySecond ? m_second.text : m_first.text;
}
