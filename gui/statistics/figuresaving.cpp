#include "gui/statistics/figuresaving.h"

#include "core/common/questions.h"
#include "gui/statistics/figuretablemodel.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QWidget>

namespace {

const QString s_caption = QStringLiteral("Katalox Statistics");

/// The chosen path with defaultSuffix added when it has no extension; empty when the user cancelled
/// or would not replace an existing file.
QString chosenPath(const QString& caption, const QString& name, const QString& filter, const QString& defaultSuffix)
{
    QString path = questions().saveFileName(caption, QDir::home().filePath(name + defaultSuffix), filter);
    if (path.isEmpty()) {
        return {};
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += defaultSuffix;
    }
    if (QFileInfo::exists(path)
        && questions().messageBox(QStringLiteral("%1 exists already.\nDo you want to replace it?").arg(path), s_caption,
               MessageIcon::Question, YesButton | NoButton)
            != YesButton) {
        return {};
    }
    return path;
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
