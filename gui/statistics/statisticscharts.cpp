#include "gui/statistics/statisticscharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPieSeries>
#include <QPieSlice>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

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

QString measureName(FileMeasure measure)
{
    return measure == FileMeasure::Files ? QStringLiteral("files") : QStringLiteral("bytes");
}

/// A bar chart of one set over categories, vertical or horizontal.
QChart* barChart(const QString& title, const QStringList& categories, const QList<double>& values,
    const QString& valueTitle, bool horizontal)
{
    QChart* chart = newChart(title);
    auto* set = new QBarSet(valueTitle);
    set->append(values);
    QAbstractBarSeries* series = horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries)
                                            : static_cast<QAbstractBarSeries*>(new QBarSeries);
    series->append(set);
    chart->addSeries(series);
    auto* categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    if (!horizontal) {
        categoryAxis->setLabelsAngle(-90);
    }
    auto* valueAxis = new QValueAxis;
    valueAxis->setTitleText(valueTitle);
    valueAxis->setLabelFormat(QStringLiteral("%.0f"));
    const double largest = values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
    valueAxis->setRange(0, largest > 0 ? largest * 1.05 : 1);
    valueAxis->applyNiceNumbers();
    chart->addAxis(categoryAxis, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(valueAxis, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(categoryAxis);
    series->attachAxis(valueAxis);
    return chart;
}

/// A size class by the start of its range, short: "0", "<1K", "1K", "512K", "1M", "2G".
QString shortSizeClassName(int sizeClass)
{
    if (sizeClass == 0) {
        return QStringLiteral("0");
    }
    if (sizeClass == 1) {
        return QStringLiteral("<1K");
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
        QPieSlice* slice
            = series->append(QStringLiteral("%1 (%2 %)")
                                 .arg(fileKindName(static_cast<FileKind>(kind)), QLocale().toString(share, 'f', 1)),
                static_cast<double>(value));
        // The legend names the slices; labels beside small slices would only overlap.
        slice->setLabelVisible(false);
    }
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignRight);
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
    // Horizontal bars are drawn from the bottom up: the largest goes last, to the top.
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        categories.append(part->label);
        values.append(static_cast<double>(part->value) / unit.divisor);
    }
    return barChart(QStringLiteral("Extensions by ") + measureName(measure), categories, values, unit.name, true);
}

QChart* makeSizeChart(const CollectionStatistics& figures)
{
    QStringList categories;
    QList<double> values;
    for (int sizeClass = 0; sizeClass < SizeClassCount; ++sizeClass) {
        categories.append(shortSizeClassName(sizeClass));
        values.append(static_cast<double>(figures.sizes[static_cast<std::size_t>(sizeClass)].files));
    }
    QChart* chart = barChart(QStringLiteral("Files by size"), categories, values, QStringLiteral("files"), false);
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
    return barChart(QStringLiteral("Files by year of last change"), categories, values, QStringLiteral("files"), false);
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
    monthAxis->setLabelFormat(QStringLiteral("%.0f"));
    monthAxis->setRange(0, most * 1.1);
    monthAxis->applyNiceNumbers();
    auto* totalAxis = new QValueAxis;
    totalAxis->setTitleText(QStringLiteral("discs in all"));
    totalAxis->setLabelFormat(QStringLiteral("%.0f"));
    totalAxis->setRange(0, std::max(total, 1.0) * 1.1);
    totalAxis->applyNiceNumbers();
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
