#pragma once
// Saving what the statistics window shows: a chart as a PNG or SVG image, a table as CSV. The file is
// asked for through the questions module; an existing file is replaced only when the user agrees.

#include <QString>

class QAbstractItemModel;
class QWidget;

/// Asks for a file name (suggested: name + ".png") and writes the widget's picture there: SVG when the
/// name ends in ".svg", else PNG (".png" is added to a name without an extension). Answers whether a
/// file was written; a failure is shown.
bool saveChart(QWidget* chartView, const QString& name);
/// Asks for a file name (suggested: name + ".csv") and writes the table there as CSV (UTF-8).
bool saveTable(const QAbstractItemModel& model, const QString& name);

/// Writes the widget's picture to path: SVG for a path ending in ".svg" (any case), else PNG.
bool writeChartImage(QWidget* chartView, const QString& path);
/// Writes the table as CSV (FigureTableModel::toCsv) to path, in UTF-8.
bool writeTableCsv(const QAbstractItemModel& model, const QString& path);
