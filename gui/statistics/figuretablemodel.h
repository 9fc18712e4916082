#pragma once
// A table of figures for the statistics window: named columns of texts, counts, byte counts, dates and
// percentages. Cells show the user's formats; sorting (Qt::UserRole, a QSortFilterProxyModel's sort
// role) and the CSV copy use the plain values.

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class FigureTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    /// How a column's values show.
    enum class Kind {
        Text, ///< QString
        Count, ///< an integer, grouped in thousands
        Bytes, ///< a byte count as the program shows sizes, the exact count in the tool tip
        Date, ///< a packed DOS date-time, shown in the user's formats; empty for none
        Percent, ///< a double; negative for none, DiscFigures::DamagedFill for a damaged figure
    };
    struct Column {
        QString title;
        Kind kind = Kind::Text;
    };
    /// The role of the plain value of a cell: the sort role.
    static constexpr int ValueRole = Qt::UserRole;
    /// The role of a cell's text in CSV.
    static constexpr int CsvRole = Qt::UserRole + 1;

    explicit FigureTableModel(QList<Column> columns, QObject* parent = nullptr);

    /// Replaces the rows; each row holds one value per column.
    void setRows(QList<QVariantList> rows);
    const QList<Column>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The table as CSV (RFC 4180): the titles, then one record a row of the plain values (dates as
    /// "YYYY-MM-DD HH:MM:SS", percentages with a point); CR LF after every record.
    static QString toCsv(const QAbstractItemModel& model);

private:
    QList<Column> m_columns;
    QList<QVariantList> m_rows;
};
