#include "core/compare/treecomparison.h"

namespace {

ComparedEntry onlyIn(const TreeEntry& entry, bool first)
{
    ComparedEntry compared;
    compared.path = entry.path;
    compared.folder = entry.folder;
    compared.depth = entry.depth;
    compared.difference = first ? Difference::OnlyFirst : Difference::OnlySecond;
    (first ? compared.firstSize : compared.secondSize) = entry.size;
    (first ? compared.firstDate : compared.secondDate) = entry.dateTime;
    return compared;
}

ComparedEntry inBoth(const TreeEntry& first, const TreeEntry& second)
{
    ComparedEntry compared;
    compared.path = first.path;
    compared.folder = first.folder;
    compared.depth = first.depth;
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

} // namespace

TreeComparison compareListings(TreeListing& first, TreeListing& second)
{
    first.sort();
    second.sort();
    const std::vector<TreeEntry>& a = first.entries();
    const std::vector<TreeEntry>& b = second.entries();
    TreeComparison comparison;
    comparison.entries.reserve(std::max(a.size(), b.size()));
    std::size_t i = 0;
    std::size_t j = 0;
    const auto add = [&comparison](ComparedEntry entry) {
        count(comparison, entry);
        comparison.entries.push_back(std::move(entry));
    };
    while (i < a.size() || j < b.size()) {
        const int order = i == a.size() ? 1 : j == b.size() ? -1 : a[i].key.compare(b[j].key);
        if (order < 0) {
            add(onlyIn(a[i++], true));
        } else if (order > 0) {
            add(onlyIn(b[j++], false));
        } else if (a[i].folder != b[j].folder) {
            // The file first: what the folder holds follows it.
            if (a[i].folder) {
                add(onlyIn(b[j++], false));
                add(onlyIn(a[i++], true));
            } else {
                add(onlyIn(a[i++], true));
                add(onlyIn(b[j++], false));
            }
        } else {
            add(inBoth(a[i++], b[j++]));
        }
    }
    return comparison;
}
