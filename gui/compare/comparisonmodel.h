#pragma once
// The tree of a comparison: every folder and file of both sides with its difference marked, or only the
// differences and the folders that lead to them.

#include "core/compare/treecomparison.h"

#include <QAbstractItemModel>
#include <vector>

class ComparisonModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { NameColumn, DifferenceColumn, FirstSizeColumn, FirstDateColumn, SecondSizeColumn, SecondDateColumn };
    static constexpr int ColumnCount = 6;

    explicit ComparisonModel(QObject* parent = nullptr);

    void setComparison(TreeComparison comparison);
    const TreeComparison& comparison() const { return m_comparison; }
    /// Shows only the entries that differ and the folders that hold them.
    void setDifferencesOnly(bool differencesOnly);
    bool differencesOnly() const { return m_differencesOnly; }
    /// The entry a row shows; null for an invalid index.
    const ComparedEntry* entry(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Node {
        std::size_t entry = 0;
        int parent = -1; ///< node index; -1 at the top
        int row = 0;
        std::vector<int> children;
    };
    void rebuild();
    const std::vector<int>& childrenOf(const QModelIndex& parent) const;

    TreeComparison m_comparison;
    std::vector<Node> m_nodes;
    std::vector<int> m_top;
    bool m_differencesOnly = false;
};
