#pragma once
// The statistics window: what a collection holds, for a scope the user picks (everything, an owner, a
// fileset, chosen discs). A worker walks the chosen catalogs with a progress bar and Cancel; the
// figures appear when the walk has ended: totals, tables per fileset and per disc, file kinds and
// extensions, sizes, dates, and the largest files and folders. Every chart and table can be saved.

#include "core/statistics/collectionstatistics.h"

#include <QMainWindow>
#include <QPointer>
#include <QVariant>
#include <functional>
#include <memory>

class CompanionCatalogs;
class FigureTableModel;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableView;
class ScopePicker;
class WalkProgressPanel;
class WalkWorker;

class StatisticsWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit StatisticsWindow(CompanionCatalogs& catalogs, QWidget* parent = nullptr);
    /// Cancels a walk that runs and waits for its end.
    ~StatisticsWindow() override;

    /// Walks the scope picked and shows its figures when the walk has ended (Show Statistics). A walk
    /// that runs is cancelled first.
    void showStatistics();
    /// Stops the walk that runs at once; the figures shown stay empty (Cancel).
    void cancelWalk();
    bool isWalking() const;
    /// The figures shown.
    const CollectionStatistics& figures() const { return m_figures; }
    /// Shows figures of the scope named so.
    void showFigures(const CollectionStatistics& figures, const QString& scope);

    ScopePicker* scopePicker = nullptr;
    QPushButton* showButton = nullptr; ///< "Show Statistics"
    WalkProgressPanel* progressPanel = nullptr;
    QLabel* headingLabel = nullptr; ///< the scope shown, or what the window is doing
    QTabWidget* pages = nullptr;
    QComboBox* measureChooser = nullptr; ///< file types by "Files" or "Bytes"

    // The totals of the Summary page.
    QLabel* ownersValue = nullptr;
    QLabel* filesetsValue = nullptr;
    QLabel* discsValue = nullptr;
    QLabel* foldersValue = nullptr;
    QLabel* filesValue = nullptr;
    QLabel* bytesValue = nullptr;

    FigureTableModel* filesetTable = nullptr;
    FigureTableModel* discTable = nullptr;
    FigureTableModel* kindTable = nullptr;
    FigureTableModel* extensionTable = nullptr;
    FigureTableModel* sizeTable = nullptr;
    FigureTableModel* yearTable = nullptr;
    FigureTableModel* scanMonthTable = nullptr;
    FigureTableModel* largestFileTable = nullptr;
    FigureTableModel* largestFolderTable = nullptr;

    QChartView* kindChartView = nullptr;
    QChartView* extensionChartView = nullptr;
    QChartView* sizeChartView = nullptr;
    QChartView* yearChartView = nullptr;
    QChartView* scanMonthChartView = nullptr;

signals:
    /// A walk has ended: its figures are shown, or it was cancelled or failed.
    void walkEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* makeSummaryPage();
    QWidget* makeTypesPage();
    QWidget* makeSizesPage();
    QWidget* makeDatesPage();
    QWidget* makeLargestPage();
    /// A titled frame around a chart or table with a "Save..." button that runs save.
    QWidget* panel(const QString& title, QWidget* content, const char* saveName, std::function<void()> save);
    QWidget* tablePanel(const QString& title, FigureTableModel* model, const char* name, int pathColumn = -1);
    QChartView* chartView(const char* name);
    void setChart(QChartView* view, QChart* chart);
    void showTypeCharts();
    void onWalkEnded(const QVariant& result, const QString& failure);
    void clearFigures();

    CompanionCatalogs& m_catalogs;
    CollectionStatistics m_figures;
    QString m_scope;
    QPointer<WalkWorker> m_worker;
    quint64 m_walkNumber = 0; ///< of the latest walk started
};
