#include "gui/statistics/statisticscharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPieSeries>
#include <QPieSlice>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

QChart* newChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->hide();
    return chart;
}

/// Byte counts on an axis read best in one binary unit chosen by the largest.
struct AxisUnit {
    double divisor = 1;
    QString name;
};

AxisUnit unitFor(std::uint64_t largest, FileMeasure measure)
{
    if (measure == FileMeasure::Files) {
        return { 1, QStringLiteral("files") };
    }
    static const char* const names[] = { "bytes", "KiB", "MiB", "GiB", "TiB", "PiB" };
    int unit = 0;
    double divisor = 1;
    while (unit < 5 && static_cast<double>(largest) / divisor >= 10000) {
        divisor *= 1024;
        ++unit;
    }
    return { divisor, QLatin1String(names[unit]) };
}

/// A value axis from 0 that holds largest, its ticks at whole steps (1, 2 or 5 times a power of ten): counts
/// of files or discs never show "0.5".
void setCountRange(QValueAxis* axis, double largest)
{
    double step = 1;
    for (int i = 0; largest / step > 6; ++i) {
        step *= i % 3 == 1 ? 2.5 : 2; // 1, 2, 5, 10, 20, 50...
    }
    const double top = std::max(step, std::ceil(largest * 1.05 / step) * step);
    axis->setRange(0, top);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%.0f"));
}

/// Category labels in a smaller font, never cut to "...": a chart of many bars keeps every label readable.
void setCategoryLabels(QAbstractAxis* axis)
{
    QFont font = axis->labelsFont();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() - 1.5));
    axis->setLabelsFont(font);
    axis->setTruncateLabels(false);
}

QString measureName(FileMeasure measure)
{
    return measure == FileMeasure::Files ? QStringLiteral("files") : QStringLiteral("bytes");
}

/// A bar chart of one set over categories, the bars upright.
QChart* barChart(
    const QString& title, const QStringList& categories, const QList<double>& values, const QString& valueTitle)
{
    QChart* chart = newChart(title);
    auto* set = new QBarSet(valueTitle);
    set->append(values);
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    setCategoryLabels(categoryAxis);
    categoryAxis->setLabelsAngle(-90);
    auto* valueAxis = new QValueAxis;
    valueAxis->setTitleText(valueTitle);
    setCountRange(valueAxis, values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end()));
    chart->addAxis(categoryAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    series->attachAxis(categoryAxis);
    series->attachAxis(valueAxis);
    return chart;
}

/// Each kind has its own colour, the same whatever the chart measures.
QColor kindColor(FileKind kind)
{
    static const QColor colors[FileKindCount]
        = { QColor(0xe6, 0x7e, 0x22), QColor(0x8e, 0x44, 0xad), QColor(0x27, 0xae, 0x60), QColor(0x29, 0x80, 0xb9),
              QColor(0xc0, 0x39, 0x2b), QColor(0xf1, 0xc4, 0x0f), QColor(0x16, 0xa0, 0x85), QColor(0x95, 0xa5, 0xa6) };
    return colors[static_cast<int>(kind)];
}

/// A size class by the start of its range, short: "0", "1", "1K", "512K", "1M", "2G".
QString shortSizeClassName(int sizeClass)
{
    if (sizeClass == 0) {
        return QStringLiteral("0");
    }
    if (sizeClass == 1) {
        return QStringLiteral("1"); // from 1 byte (a "<" would start rich text)
    }
    const int exponent = sizeClass + 8;
    static const char units[] = { 'K', 'M', 'G' };
    return QString::number(1u << (exponent % 10)) + QLatin1Char(units[exponent / 10 - 1]);
}

} // namespace

QChart* makeKindChart(const CollectionStatistics& figures, FileMeasure measure)
{
    QChart* chart = newChart(QStringLiteral("File kinds by ") + measureName(measure));
    auto* series = new QPieSeries;
    std::uint64_t total = 0;
    for (const FileCount& count : figures.kinds) {
        total += measured(count, measure);
    }
    for (int kind = 0; kind < FileKindCount; ++kind) {
        const std::uint64_t value = measured(figures.kinds[static_cast<std::size_t>(kind)], measure);
        if (value == 0) {
            continue;
        }
        const double share = 100.0 * static_cast<double>(value) / static_cast<double>(total);
        QPieSlice* slice = series->append(
            QStringLiteral("%1 %2 %").arg(fileKindName(static_cast<FileKind>(kind)), QLocale().toString(share, 'f', 1)),
            static_cast<double>(value));
        // The legend names the slices; labels beside small slices would only overlap.
        slice->setLabelVisible(false);
        slice->setColor(kindColor(static_cast<FileKind>(kind)));
    }
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
    QFont font = chart->legend()->font();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() - 1));
    chart->legend()->setFont(font);
    chart->legend()->show();
    return chart;
}

QChart* makeExtensionChart(const CollectionStatistics& figures, FileMeasure measure)
{
    const std::vector<ChartPart> parts = topExtensions(figures, ChartExtensionCount, measure);
    std::uint64_t largest = 0;
    for (const ChartPart& part : parts) {
        largest = std::max(largest, part.value);
    }
    const AxisUnit unit = unitFor(largest, measure);
    QStringList categories;
    QList<double> values;
    for (const ChartPart& part : parts) {
        categories.append(part.label);
        values.append(static_cast<double>(part.value) / unit.divisor);
    }
    // Upright bars leave each label the room of a bar's width: sixteen of them stay readable.
    return barChart(QStringLiteral("Extensions by ") + measureName(measure), categories, values, unit.name);
}

QChart* makeSizeChart(const CollectionStatistics& figures)
{
    QStringList categories;
    QList<double> values;
    for (int sizeClass = 0; sizeClass < SizeClassCount; ++sizeClass) {
        categories.append(shortSizeClassName(sizeClass));
        values.append(static_cast<double>(figures.sizes[static_cast<std::size_t>(sizeClass)].files));
    }
    QChart* chart = barChart(QStringLiteral("Files by size"), categories, values, QStringLiteral("files"));
    return chart;
}

QChart* makeYearChart(const CollectionStatistics& figures)
{
    QStringList categories;
    QList<double> values;
    for (const YearFigures& year : figures.years) {
        categories.append(year.year == 0 ? QStringLiteral("no date") : QString::number(year.year));
        values.append(static_cast<double>(year.count.files));
    }
    return barChart(QStringLiteral("Files by year of last change"), categories, values, QStringLiteral("files"));
}

QChart* makeScanMonthChart(const CollectionStatistics& figures)
{
    std::uint64_t undated = 0;
    std::vector<const ScanMonthFigures*> dated;
    for (const ScanMonthFigures& month : figures.scanMonths) {
        if (month.year == 0) {
            undated = month.discs;
        } else {
            dated.push_back(&month);
        }
    }
    QString title = QStringLiteral("Discs by scan month");
    if (undated > 0) {
        title += QStringLiteral(" (%1 without a scan date)").arg(QLocale().toString(static_cast<qulonglong>(undated)));
    }
    if (dated.empty()) {
        return newChart(title + QStringLiteral(": no disc has a scan date"));
    }
    QChart* chart = newChart(title);
    auto* perMonth = new QLineSeries;
    perMonth->setName(QStringLiteral("discs scanned in the month"));
    auto* points = new QScatterSeries;
    points->setMarkerSize(6);
    auto* running = new QLineSeries;
    running->setName(QStringLiteral("discs in all"));
    double most = 1;
    double total = 0;
    // Every month from the first scan to the last is a point, the months without scans too.
    const QDate first(dated.front()->year, dated.front()->month, 1);
    const QDate last(dated.back()->year, dated.back()->month, 1);
    std::size_t next = 0;
    for (QDate month = first; month <= last; month = month.addMonths(1)) {
        double discs = 0;
        if (next < dated.size() && dated[next]->year == month.year() && dated[next]->month == month.month()) {
            discs = static_cast<double>(dated[next++]->discs);
        }
        total += discs;
        const double when = static_cast<double>(month.startOfDay().toMSecsSinceEpoch());
        perMonth->append(when, discs);
        if (discs > 0) {
            points->append(when, discs);
        }
        running->append(when, total);
        most = std::max(most, discs);
    }
    chart->addSeries(perMonth);
    chart->addSeries(points);
    chart->addSeries(running);
    auto* timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("MMM yyyy"));
    timeAxis->setRange(first.startOfDay(), last.addMonths(1).startOfDay());
    auto* monthAxis = new QValueAxis;
    monthAxis->setTitleText(QStringLiteral("discs a month"));
    setCountRange(monthAxis, most);
    auto* totalAxis = new QValueAxis;
    totalAxis->setTitleText(QStringLiteral("discs in all"));
    setCountRange(totalAxis, total);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(monthAxis, Qt::AlignLeft);
    chart->addAxis(totalAxis, Qt::AlignRight);
    for (QAbstractSeries* series : { static_cast<QAbstractSeries*>(perMonth), static_cast<QAbstractSeries*>(points) }) {
        series->attachAxis(timeAxis);
        series->attachAxis(monthAxis);
    }
    running->attachAxis(timeAxis);
    running->attachAxis(totalAxis);
    chart->legend()->show();
    chart->legend()->markers(points).first()->setVisible(false);
    return chart;
}
