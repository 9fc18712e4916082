#pragma once
// The charts of the statistics window, made from the figures of a collection. Each answers a new
// chart that the caller owns (a QChartView takes it over).

#include "core/statistics/collectionstatistics.h"

class QChart;

/// Files or bytes by kind, as a pie.
QChart* makeKindChart(const CollectionStatistics& figures, FileMeasure measure);
/// Files or bytes of the 15 largest extensions and the rest, as bars.
QChart* makeExtensionChart(const CollectionStatistics& figures, FileMeasure measure);
/// Files by size class, as a histogram.
QChart* makeSizeChart(const CollectionStatistics& figures);
/// Files by the year of their last change, as bars.
QChart* makeYearChart(const CollectionStatistics& figures);
/// Discs by the month of their scan, as a timeline with the running total.
QChart* makeScanMonthChart(const CollectionStatistics& figures);

/// How many extensions the extension chart names.
constexpr int ChartExtensionCount = 15;
