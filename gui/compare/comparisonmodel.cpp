#include "gui/compare/comparisonmodel.h"

#include "core/compare/comparecsv.h"
#include "core/text/catalogtext.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QLocale>

ComparisonModel::ComparisonModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

void ComparisonModel::setComparison(TreeComparison comparison)
{
    beginResetModel();
    m_comparison = std::move(comparison);
    rebuild();
    endResetModel();
}

void ComparisonModel::setDifferencesOnly(bool differencesOnly)
{
    if (differencesOnly == m_differencesOnly) {
        return;
    }
    beginResetModel();
    m_differencesOnly = differencesOnly;
    rebuild();
    endResetModel();
}

void ComparisonModel::rebuild()
{
    m_nodes.clear();
    m_top.clear();
    const std::vector<ComparedEntry>& entries = m_comparison.entries;
    // Depth first: the folders that hold an entry are the ones before it of lower depth.
    std::vector<bool> shown(entries.size(), !m_differencesOnly);
    std::vector<std::size_t> holders;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        while (holders.size() > entries[i].depth) {
            holders.pop_back();
        }
        if (m_differencesOnly && entries[i].difference != Difference::None) {
            shown[i] = true;
            for (auto holder = holders.rbegin(); holder != holders.rend() && !shown[*holder]; ++holder) {
                shown[*holder] = true;
            }
        }
        holders.push_back(i);
    }
    std::vector<int> open; // node indexes of the shown folders holding the entry, by depth
    for (std::size_t i = 0; i < entries.size(); ++i) {
        while (open.size() > entries[i].depth) {
            open.pop_back();
        }
        if (!shown[i]) {
            continue;
        }
        Node node;
        node.entry = i;
        node.parent = open.empty() ? -1 : open.back();
        std::vector<int>& siblings = node.parent < 0 ? m_top : m_nodes[static_cast<std::size_t>(node.parent)].children;
        node.row = static_cast<int>(siblings.size());
        const int index = static_cast<int>(m_nodes.size());
        siblings.push_back(index);
        m_nodes.push_back(std::move(node));
        open.push_back(index);
    }
}

const std::vector<int>& ComparisonModel::childrenOf(const QModelIndex& parent) const
{
    if (!parent.isValid()) {
        return m_top;
    }
    return m_nodes[static_cast<std::size_t>(parent.internalId())].children;
}

const ComparedEntry* ComparisonModel::entry(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return nullptr;
    }
    return &m_comparison.entries[m_nodes[static_cast<std::size_t>(index.internalId())].entry];
}

QModelIndex ComparisonModel::index(int row, int column, const QModelIndex& parent) const
{
    const std::vector<int>& children = childrenOf(parent);
    if (row < 0 || column < 0 || column >= ColumnCount || static_cast<std::size_t>(row) >= children.size()) {
        return {};
    }
    return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex ComparisonModel::parent(const QModelIndex& child) const
{
    if (!child.isValid()) {
        return {};
    }
    const int parent = m_nodes[static_cast<std::size_t>(child.internalId())].parent;
    if (parent < 0) {
        return {};
    }
    return createIndex(m_nodes[static_cast<std::size_t>(parent)].row, 0, static_cast<quintptr>(parent));
}

int ComparisonModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0) {
        return 0;
    }
    return static_cast<int>(childrenOf(parent).size());
}

int ComparisonModel::columnCount(const QModelIndex& /*parent*/) const { return ColumnCount; }

QVariant ComparisonModel::data(const QModelIndex& index, int role) const
{
    const ComparedEntry* shown = entry(index);
    if (shown == nullptr) {
        return {};
    }
    const bool inFirst = shown->difference != Difference::OnlySecond;
    const bool inSecond = shown->difference != Difference::OnlyFirst;
    if (role == Qt::DisplayRole) {
        const auto sizeText = [](std::uint32_t size) { return QLocale().toString(size); };
        switch (index.column()) {
        case NameColumn:
            return decodeCatalogText(shown->name);
        case DifferenceColumn:
            return shown->difference == Difference::None ? QString()
                                                         : differenceName(static_cast<int>(shown->difference));
        case FirstSizeColumn:
            return inFirst && !shown->folder ? sizeText(shown->firstSize) : QString();
        case FirstDateColumn:
            return inFirst && !shown->folder ? formatDosDateTime(shown->firstDate) : QString();
        case SecondSizeColumn:
            return inSecond && !shown->folder ? sizeText(shown->secondSize) : QString();
        case SecondDateColumn:
            return inSecond && !shown->folder ? formatDosDateTime(shown->secondDate) : QString();
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole) {
        switch (shown->difference) {
        case Difference::OnlyFirst:
            return QBrush(QColor(0xB0, 0x20, 0x20));
        case Difference::OnlySecond:
            return QBrush(QColor(0x20, 0x80, 0x20));
        case Difference::Changed:
            return QBrush(QColor(0x20, 0x40, 0xC0));
        case Difference::None:
            return {};
        }
    }
    if (role == Qt::FontRole && shown->difference != Difference::None) {
        QFont font;
        font.setBold(true);
        return font;
    }
    if (role == Qt::TextAlignmentRole && (index.column() == FirstSizeColumn || index.column() == SecondSizeColumn)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant ComparisonModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case NameColumn:
        return QStringLiteral("Name");
    case DifferenceColumn:
        return QStringLiteral("Difference");
    case FirstSizeColumn:
        return QStringLiteral("First Size");
    case FirstDateColumn:
        return QStringLiteral("First Date");
    case SecondSizeColumn:
        return QStringLiteral("Second Size");
    case SecondDateColumn:
        return QStringLiteral("Second Date");
    default:
        return {};
    }
}
