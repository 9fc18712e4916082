#include "gui/compare/missingfilemodel.h"

#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"

#include <QBrush>
#include <QColor>
#include <QLocale>

MissingFileModel::MissingFileModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void MissingFileModel::setReport(MissingReport report)
{
    beginResetModel();
    m_report = std::move(report);
    rebuild();
    endResetModel();
}

void MissingFileModel::setShowHeld(bool showHeld)
{
    beginResetModel();
    m_showHeld = showHeld;
    rebuild();
    endResetModel();
}

void MissingFileModel::rebuild()
{
    m_rows.clear();
    for (std::size_t i = 0; i < m_report.files.size(); ++i) {
        if (m_showHeld || !m_report.files[i].held()) {
            m_rows.push_back(i);
        }
    }
}

int MissingFileModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int MissingFileModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant MissingFileModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const LocalFile& shown = file(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case StatusColumn:
            return shown.held() ? QStringLiteral("held") : QStringLiteral("missing");
        case PathColumn:
            return QString::fromUtf8(shown.path.data(), static_cast<qsizetype>(shown.path.size()));
        case SizeColumn:
            return QLocale().toString(static_cast<qulonglong>(shown.size));
        case DateColumn:
            return formatDosDateTime(shown.dateTime);
        case HeldByColumn: {
            QString text = shown.shownHolders.join(QStringLiteral("; "));
            if (shown.holders > static_cast<std::uint64_t>(shown.shownHolders.size())) {
                text += QStringLiteral(" and %1 more").arg(shown.holders - shown.shownHolders.size());
            }
            return text;
        }
        default:
            return {};
        }
    }
    if (role == Qt::ForegroundRole && index.column() == StatusColumn) {
        return QBrush(shown.held() ? QColor(0x20, 0x80, 0x20) : QColor(0xB0, 0x20, 0x20));
    }
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant MissingFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const titles[] = { "Status", "Path", "Size", "Date", "Held By" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
