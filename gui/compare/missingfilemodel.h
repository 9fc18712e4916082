#pragma once
// The files of a local folder with whether a disc holds them: the missing ones, or all of them.

#include "core/compare/missingfinder.h"

#include <QAbstractTableModel>
#include <vector>

class MissingFileModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { StatusColumn, PathColumn, SizeColumn, DateColumn, HeldByColumn };
    static constexpr int ColumnCount = 5;

    explicit MissingFileModel(QObject* parent = nullptr);

    void setReport(MissingReport report);
    const MissingReport& report() const { return m_report; }
    /// Lists the files that are held too.
    void setShowHeld(bool showHeld);
    /// The file a row shows.
    const LocalFile& file(int row) const { return m_report.files[m_rows[static_cast<std::size_t>(row)]]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void rebuild();

    MissingReport m_report;
    std::vector<std::size_t> m_rows; ///< the files listed, as indexes into the report
    bool m_showHeld = false;
};
