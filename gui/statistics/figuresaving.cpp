#include "gui/statistics/figuresaving.h"

#include "gui/companion/savepath.h"
#include "gui/statistics/figuretablemodel.h"

#include <QFileInfo>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>

namespace {

const QString s_caption = QStringLiteral("Katalox Statistics");

QString chosenPath(const QString& title, const QString& name, const QString& filter, const QString& defaultSuffix)
{
    return askSavePath(s_caption, title, name, filter, defaultSuffix);
}

void reportFailure(const QString& path) { reportUnwritable(s_caption, path); }

} // namespace

bool writeChartImage(QWidget* chartView, const QString& path)
{
    if (!path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        return chartView->grab().save(path, "PNG");
    }
    QSvgGenerator generator;
    generator.setFileName(path);
    generator.setSize(chartView->size());
    generator.setViewBox(chartView->rect());
    generator.setTitle(chartView->windowTitle());
    QPainter painter;
    if (!painter.begin(&generator)) {
        return false;
    }
    chartView->render(&painter);
    return painter.end() && QFileInfo(path).size() > 0;
}

bool writeTableCsv(const QAbstractItemModel& model, const QString& path)
{
    return writeTextFile(path, FigureTableModel::toCsv(model));
}

bool saveChart(QWidget* chartView, const QString& name)
{
    const QString path = chosenPath(QStringLiteral("Save Chart"), name,
        QStringLiteral("PNG image (*.png);;SVG image (*.svg)"), QStringLiteral(".png"));
    if (path.isEmpty()) {
        return false;
    }
    if (!writeChartImage(chartView, path)) {
        reportFailure(path);
        return false;
    }
    return true;
}

bool saveTable(const QAbstractItemModel& model, const QString& name)
{
    const QString path
        = chosenPath(QStringLiteral("Save Table"), name, QStringLiteral("CSV table (*.csv)"), QStringLiteral(".csv"));
    if (path.isEmpty()) {
        return false;
    }
    if (!writeTableCsv(model, path)) {
        reportFailure(path);
        return false;
    }
    return true;
}
