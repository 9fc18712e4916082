#include "gui/statistics/figuresaving.h"

#include "core/common/questions.h"
#include "gui/companion/savepathchoice.h"
#include "gui/statistics/figuretablemodel.h"

#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QWidget>

namespace {

const QString s_caption = QStringLiteral("Katalox Statistics");

/// The chosen path (chooseSavePath) with defaultSuffix added when it has no extension.
QString chosenPath(const QString& caption, const QString& name, const QString& filter, const QString& defaultSuffix)
{
    return chooseSavePath(caption, s_caption, name, filter, defaultSuffix);
}

void reportFailure(const QString& path)
{
    questions().messageBox(QStringLiteral("Unable to write to ") + path, s_caption, MessageIcon::Error, OkButton);
}

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = FigureTableModel::toCsv(model).toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
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
