#include "gui/common/columnwidths.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <algorithm>

namespace {

/// Wider than any screen: a larger number in the file is a damaged value.
constexpr int s_widthMax = 10000;

} // namespace

QString columnWidthsText(const QList<int>& widths)
{
    QStringList parts;
    for (const int width : widths) {
        parts.append(QString::number(width));
    }
    return parts.join(QLatin1Char(','));
}

QList<int> parseColumnWidths(const QString& text)
{
    QList<int> widths;
    if (text.trimmed().isEmpty()) {
        return widths;
    }
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool isNumber = false;
        const int width = part.trimmed().toInt(&isNumber);
        if (!isNumber || width <= 0 || width > s_widthMax) {
            return {};
        }
        widths.append(width);
    }
    return widths;
}

int captionWidth(const QHeaderView* header, int section)
{
    const QAbstractItemModel* model = header->model();
    if (model == nullptr) {
        return 0;
    }
    const QString caption = model->headerData(section, header->orientation(), Qt::DisplayRole).toString();
    QStyleOptionHeader option;
    option.initFrom(header);
    option.section = section;
    option.text = caption;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const QSize size = header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header);
    // The indicator's room, whether or not the style counts it.
    const int indicator = header->style()->pixelMetric(QStyle::PM_HeaderMarkSize, &option, header);
    return std::max(size.width(),
        header->fontMetrics().horizontalAdvance(caption) + indicator
            + 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, &option, header));
}

void fitColumnCaptions(QHeaderView* header)
{
    for (int section = 0; section < header->count(); ++section) {
        if (header->sectionResizeMode(section) == QHeaderView::Interactive) {
            header->resizeSection(section, std::max(header->sectionSize(section), captionWidth(header, section)));
        }
    }
}

void restoreColumnWidths(QHeaderView* header, SettingKey key)
{
    if (!hasSettings()) {
        return;
    }
    const QList<int> widths = parseColumnWidths(settings().stringValue(key));
    if (widths.size() != header->count()) {
        return;
    }
    for (int section = 0; section < header->count(); ++section) {
        if (header->sectionResizeMode(section) == QHeaderView::Interactive) {
            header->resizeSection(section, std::max(widths.at(section), captionWidth(header, section)));
        }
    }
}

void keepColumnWidths(const QHeaderView* header, SettingKey key)
{
    if (!hasSettings() || header->count() == 0) {
        return;
    }
    QList<int> widths;
    for (int section = 0; section < header->count(); ++section) {
        widths.append(header->sectionSize(section));
    }
    const QString text = columnWidthsText(widths);
    if (settings().stringValue(key) != text) {
        settings().setStringValue(key, text);
    }
}
