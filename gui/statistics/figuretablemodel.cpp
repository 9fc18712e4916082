#include "gui/statistics/figuretablemodel.h"

#include "core/statistics/collectionstatistics.h"
#include "core/text/catalogtext.h"
#include "core/text/csvtext.h"
#include "core/text/formatsize.h"

#include <QLocale>

FigureTableModel::FigureTableModel(QList<Column> columns, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns))
{
}

void FigureTableModel::setRows(QList<QVariantList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int FigureTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int FigureTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

namespace {

QString displayText(FigureTableModel::Kind kind, const QVariant& value)
{
    switch (kind) {
    case FigureTableModel::Kind::Text:
        return value.toString();
    case FigureTableModel::Kind::Count:
        return QLocale().toString(value.toLongLong());
    case FigureTableModel::Kind::Bytes:
        return formatSize(value.toLongLong());
    case FigureTableModel::Kind::Date:
        return formatDosDateTime(value.toUInt());
    case FigureTableModel::Kind::Percent:
        if (value.toDouble() == DiscFigures::DamagedFill) {
            return QStringLiteral("damaged");
        }
        return value.toDouble() < 0 ? QString() : QLocale().toString(value.toDouble(), 'f', 1) + QStringLiteral(" %");
    }
    return {};
}

QString csvText(FigureTableModel::Kind kind, const QVariant& value)
{
    switch (kind) {
    case FigureTableModel::Kind::Date: {
        const QDateTime dateTime = dosToDateTime(value.toUInt());
        return dateTime.isValid() ? dateTime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
    }
    case FigureTableModel::Kind::Percent:
        if (value.toDouble() == DiscFigures::DamagedFill) {
            return QStringLiteral("damaged");
        }
        return value.toDouble() < 0 ? QString() : QString::number(value.toDouble(), 'f', 1);
    default:
        return value.toString();
    }
}

} // namespace

QVariant FigureTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const QVariant& value = m_rows.at(index.row()).value(index.column());
    const Kind kind = m_columns.at(index.column()).kind;
    switch (role) {
    case Qt::DisplayRole:
        return displayText(kind, value);
    case CsvRole:
        return csvText(kind, value);
    case ValueRole:
        return value;
    case Qt::ToolTipRole:
        return kind == Kind::Bytes ? QVariant(QLocale().toString(value.toLongLong()) + QStringLiteral(" bytes"))
                                   : QVariant();
    case Qt::TextAlignmentRole:
        return kind == Kind::Text ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant FigureTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount()) {
        return {};
    }
    return m_columns.at(section).title;
}

QString FigureTableModel::toCsv(const QAbstractItemModel& model)
{
    const QString lineEnd = QStringLiteral("\r\n");
    QStringList fields;
    for (int column = 0; column < model.columnCount(); ++column) {
        fields.append(model.headerData(column, Qt::Horizontal).toString());
    }
    QString text = csvRecord(fields) + lineEnd;
    for (int row = 0; row < model.rowCount(); ++row) {
        fields.clear();
        for (int column = 0; column < model.columnCount(); ++column) {
            fields.append(model.data(model.index(row, column), CsvRole).toString());
        }
        text += csvRecord(fields) + lineEnd;
    }
    return text;
}
