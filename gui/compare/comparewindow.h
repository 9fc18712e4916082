#pragma once
// The compare window: three tasks over the catalogs. Compare shows how two discs, two filesets, or a
// disc and a folder, image or drive differ, as one tree with the differences marked; Duplicates lists
// the files stored more than once in the chosen filesets and the discs catalogued twice; Not on Any Disc
// lists the files of a local folder that no disc of the chosen filesets holds. Each task runs in a
// worker with a progress bar and Cancel; each result can be saved as CSV.

#include "core/compare/duplicatefinder.h"
#include "core/compare/missingfinder.h"

#include <QMainWindow>
#include <QPointer>
#include <QVariant>
#include <functional>
#include <memory>

class CatalogWalk;
class CompanionCatalogs;
class ComparisonModel;
class MissingFileModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTabWidget;
class QTableView;
class QTreeView;
class ScopePicker;
class SourcePicker;
class WalkProgressPanel;
class WalkWorker;
struct WalkTarget;

class CompareWindow : public QMainWindow {
    Q_OBJECT
public:
    enum Task { CompareTask, DuplicatesTask, MissingTask };

    explicit CompareWindow(CompanionCatalogs& catalogs, QWidget* parent = nullptr);
    /// Cancels a task that runs and waits for its end.
    ~CompareWindow() override;

    /// Runs the task of the page shown (the pages' buttons); a task that runs is cancelled first. A
    /// choice that is not complete is told and nothing runs.
    void compare();
    void findDuplicates();
    void findMissing();
    /// Stops the task that runs at once (Cancel).
    void cancelTask();
    bool isWorking() const;
    /// Writes the result of a task as CSV; false when it could not be written.
    bool writeCsv(Task task, const QString& path) const;

    ScopePicker* scopePicker = nullptr; ///< the filesets of Duplicates and Not on Any Disc
    QTabWidget* pages = nullptr;
    WalkProgressPanel* progressPanel = nullptr;

    // Compare
    SourcePicker* firstPicker = nullptr;
    SourcePicker* secondPicker = nullptr;
    QPushButton* compareButton = nullptr; ///< "Compare"
    QCheckBox* differencesOnlyBox = nullptr; ///< "Differences only"
    QLabel* compareSummary = nullptr;
    QTreeView* comparisonView = nullptr;
    ComparisonModel* comparisonModel = nullptr;

    // Duplicates
    QCheckBox* sizeOnlyBox = nullptr; ///< "Size only (any name)"
    QCheckBox* duplicateDateBox = nullptr; ///< "Same date too"
    QSpinBox* minimumSizeBox = nullptr; ///< in KiB
    QPushButton* duplicatesButton = nullptr; ///< "Find Duplicates"
    QLabel* duplicatesSummary = nullptr;
    QTreeView* duplicatesView = nullptr;
    QStandardItemModel* duplicatesModel = nullptr;
    QTreeView* repeatedDiscsView = nullptr;
    QStandardItemModel* repeatedDiscsModel = nullptr;

    // Not on any disc
    QLineEdit* folderEdit = nullptr;
    QCheckBox* missingDateBox = nullptr; ///< "Same date too"
    QCheckBox* showHeldBox = nullptr; ///< "Show held files too"
    QPushButton* missingButton = nullptr; ///< "Find Missing Files"
    QLabel* missingSummary = nullptr;
    QTableView* missingView = nullptr;
    MissingFileModel* missingModel = nullptr;

    /// The duplicates shown (the tree lists the first MaxShownGroups groups; CSV holds them all).
    const DuplicateReport& duplicates() const { return m_duplicates; }
    static constexpr int MaxShownGroups = 10000;

signals:
    /// A task has ended: its result is shown, or it was cancelled or failed.
    void taskEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using Job = std::function<QVariant(CatalogWalk& walk)>;
    using Show = std::function<void(const QVariant& result)>;

    QWidget* makeComparePage();
    QWidget* makeDuplicatesPage();
    QWidget* makeMissingPage();
    /// Starts a worker on targets; show gets the job's result on the window thread unless the task was
    /// cancelled or failed.
    void run(Task task, std::vector<WalkTarget> targets, Job job, Show show, const QString& doing);
    void onTaskEnded(const QVariant& result, const QString& failure, const Show& show);
    /// Asks for a file and saves the task's result there.
    void saveCsv(Task task);
    void showDuplicates(DuplicateReport report);
    void showMissing(MissingReport report);
    void showFaults(const QStringList& faults);
    QLabel* summaryFor(Task task) const;

    CompanionCatalogs& m_catalogs;
    DuplicateReport m_duplicates;
    QPointer<WalkWorker> m_worker;
    Task m_runningTask = CompareTask;
    quint64 m_taskNumber = 0; ///< of the latest task started
};
