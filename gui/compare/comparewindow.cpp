#include "gui/compare/comparewindow.h"

#include "core/common/questions.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/compare/comparecsv.h"
#include "core/compare/comparesource.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/errordisplay.h"
#include "gui/companion/savepath.h"
#include "gui/companion/scopepicker.h"
#include "gui/companion/walkprogresspanel.h"
#include "gui/companion/walkworker.h"
#include "gui/compare/comparisonmodel.h"
#include "gui/compare/missingfilemodel.h"
#include "gui/compare/sourcepicker.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString s_caption = QStringLiteral("Katalox Compare");

QString countText(std::uint64_t value) { return QLocale().toString(static_cast<qulonglong>(value)); }

QString bytesText(std::uint64_t bytes)
{
    return QStringLiteral("%1 (%2 bytes)").arg(formatSize(static_cast<std::int64_t>(bytes)), countText(bytes));
}

QString countsText(const DifferenceCount& count)
{
    return QStringLiteral("%1 files, %2 folders").arg(countText(count.files), countText(count.folders));
}

QLabel* summaryLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* made = new QPushButton(text, parent);
    made->setObjectName(QLatin1String(name));
    return made;
}

void setupTree(QTreeView* view, const char* name)
{
    view->setObjectName(QLatin1String(name));
    view->setAlternatingRowColors(true);
    view->setUniformRowHeights(true);
    view->header()->setStretchLastSection(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
}

QList<QStandardItem*> itemRow(const QStringList& texts)
{
    QList<QStandardItem*> row;
    for (const QString& text : texts) {
        auto* item = new QStandardItem(text);
        item->setEditable(false);
        row.append(item);
    }
    return row;
}

QString serialText(std::uint32_t serial) { return QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper(); }

} // namespace

CompareWindow::CompareWindow(CompanionCatalogs& catalogs, QWidget* parent)
    : QMainWindow(parent)
    , m_catalogs(catalogs)
{
    setObjectName(QStringLiteral("compareWindow"));
    setWindowTitle(s_caption);

    auto* splitter = new QSplitter(this);
    addScopePane(splitter, catalogs, scopePicker, QStringLiteral("Filesets for Duplicates and Not on Any Disc"));

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 6, 6, 6);
    progressPanel = new WalkProgressPanel(right);
    pages = new QTabWidget(right);
    pages->setObjectName(QStringLiteral("pages"));
    pages->addTab(makeComparePage(), QStringLiteral("Compare"));
    pages->addTab(makeDuplicatesPage(), QStringLiteral("Duplicates"));
    pages->addTab(makeMissingPage(), QStringLiteral("Not on Any Disc"));
    rightLayout->addWidget(progressPanel);
    rightLayout->addWidget(pages, 1);

    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 240, 860 });
    setCentralWidget(splitter);
    resize(1100, 720);
}

CompareWindow::~CompareWindow()
{
    // The worker's walk uses the catalogs: it ends before they go.
    delete m_worker.data();
}

// ---------------------------------------------------------------------------------------------
// Pages

QWidget* CompareWindow::makeComparePage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    firstPicker = new SourcePicker(m_catalogs, page);
    firstPicker->setObjectName(QStringLiteral("firstPicker"));
    secondPicker = new SourcePicker(m_catalogs, page);
    secondPicker->setObjectName(QStringLiteral("secondPicker"));
    // A disc against a folder is the common question: is the disc still what its source folder holds?
    secondPicker->kindChooser->setCurrentIndex(SourcePicker::LocationKind);
    form->addRow(QStringLiteral("First:"), firstPicker);
    form->addRow(QStringLiteral("Second:"), secondPicker);
    layout->addLayout(form);

    auto* actions = new QHBoxLayout;
    compareButton = button(QStringLiteral("Compare"), "compareButton", page);
    compareButton->setDefault(true);
    differencesOnlyBox = new QCheckBox(QStringLiteral("Differences only"), page);
    differencesOnlyBox->setObjectName(QStringLiteral("differencesOnlyBox"));
    differencesOnlyBox->setChecked(true);
    auto* saveButton = button(QStringLiteral("Save CSV..."), "saveComparisonButton", page);
    actions->addWidget(compareButton);
    actions->addWidget(differencesOnlyBox);
    actions->addStretch();
    actions->addWidget(saveButton);
    layout->addLayout(actions);

    compareSummary = summaryLabel("compareSummary", page);
    layout->addWidget(compareSummary);
    comparisonModel = new ComparisonModel(this);
    comparisonModel->setDifferencesOnly(true);
    comparisonView = new QTreeView(page);
    setupTree(comparisonView, "comparisonView");
    comparisonView->setModel(comparisonModel);
    comparisonView->header()->setSectionResizeMode(ComparisonModel::NameColumn, QHeaderView::Stretch);
    layout->addWidget(comparisonView, 1);

    connectGuarded(compareButton, &QPushButton::clicked, this, [this] { compare(); });
    connectGuarded(saveButton, &QPushButton::clicked, this, [this] { saveCsv(CompareTask); });
    connectGuarded(differencesOnlyBox, &QCheckBox::toggled, this, [this](bool checked) {
        comparisonModel->setDifferencesOnly(checked);
        comparisonView->expandToDepth(checked ? 16 : 0);
    });
    return page;
}

QWidget* CompareWindow::makeDuplicatesPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* options = new QHBoxLayout;
    sizeOnlyBox = new QCheckBox(QStringLiteral("Size only (any name)"), page);
    sizeOnlyBox->setObjectName(QStringLiteral("sizeOnlyBox"));
    duplicateDateBox = new QCheckBox(QStringLiteral("Same date too"), page);
    duplicateDateBox->setObjectName(QStringLiteral("duplicateDateBox"));
    minimumSizeBox = new QSpinBox(page);
    minimumSizeBox->setObjectName(QStringLiteral("minimumSizeBox"));
    minimumSizeBox->setRange(0, 4 * 1024 * 1024);
    minimumSizeBox->setSuffix(QStringLiteral(" KiB"));
    minimumSizeBox->setGroupSeparatorShown(true);
    duplicatesButton = button(QStringLiteral("Find Duplicates"), "duplicatesButton", page);
    auto* saveButton = button(QStringLiteral("Save CSV..."), "saveDuplicatesButton", page);
    options->addWidget(duplicatesButton);
    options->addWidget(sizeOnlyBox);
    options->addWidget(duplicateDateBox);
    options->addWidget(new QLabel(QStringLiteral("Minimum size:"), page));
    options->addWidget(minimumSizeBox);
    options->addStretch();
    options->addWidget(saveButton);
    layout->addLayout(options);

    duplicatesSummary = summaryLabel("duplicatesSummary", page);
    layout->addWidget(duplicatesSummary);
    auto* splitter = new QSplitter(Qt::Vertical, page);
    duplicatesModel = new QStandardItemModel(this);
    duplicatesView = new QTreeView(splitter);
    setupTree(duplicatesView, "duplicatesView");
    duplicatesView->setModel(duplicatesModel);
    repeatedDiscsModel = new QStandardItemModel(this);
    repeatedDiscsView = new QTreeView(splitter);
    setupTree(repeatedDiscsView, "repeatedDiscsView");
    repeatedDiscsView->setModel(repeatedDiscsModel);
    splitter->addWidget(duplicatesView);
    splitter->addWidget(repeatedDiscsView);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    showDuplicates({});

    connectGuarded(duplicatesButton, &QPushButton::clicked, this, [this] { findDuplicates(); });
    connectGuarded(saveButton, &QPushButton::clicked, this, [this] { saveCsv(DuplicatesTask); });
    return page;
}

QWidget* CompareWindow::makeMissingPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* folderRow = new QHBoxLayout;
    folderEdit = new QLineEdit(page);
    folderEdit->setObjectName(QStringLiteral("folderEdit"));
    folderEdit->setPlaceholderText(QStringLiteral("The local folder to look for on the discs"));
    auto* browseButton = button(QStringLiteral("Browse..."), "folderBrowseButton", page);
    folderRow->addWidget(new QLabel(QStringLiteral("Folder:"), page));
    folderRow->addWidget(folderEdit, 1);
    folderRow->addWidget(browseButton);
    layout->addLayout(folderRow);

    auto* options = new QHBoxLayout;
    missingButton = button(QStringLiteral("Find Missing Files"), "missingButton", page);
    missingDateBox = new QCheckBox(QStringLiteral("Same date too"), page);
    missingDateBox->setObjectName(QStringLiteral("missingDateBox"));
    showHeldBox = new QCheckBox(QStringLiteral("Show held files too"), page);
    showHeldBox->setObjectName(QStringLiteral("showHeldBox"));
    auto* saveButton = button(QStringLiteral("Save CSV..."), "saveMissingButton", page);
    options->addWidget(missingButton);
    options->addWidget(missingDateBox);
    options->addWidget(showHeldBox);
    options->addStretch();
    options->addWidget(saveButton);
    layout->addLayout(options);

    missingSummary = summaryLabel("missingSummary", page);
    layout->addWidget(missingSummary);
    missingModel = new MissingFileModel(this);
    missingView = new QTableView(page);
    missingView->setObjectName(QStringLiteral("missingView"));
    missingView->setModel(missingModel);
    missingView->setSelectionBehavior(QAbstractItemView::SelectRows);
    missingView->setAlternatingRowColors(true);
    missingView->verticalHeader()->hide();
    missingView->verticalHeader()->setDefaultSectionSize(missingView->fontMetrics().height() + 6);
    missingView->horizontalHeader()->setStretchLastSection(true);
    missingView->setWordWrap(false);
    layout->addWidget(missingView, 1);

    connectGuarded(browseButton, &QPushButton::clicked, this, [this] {
        const QString folder
            = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Folder"), folderEdit->text());
        if (!folder.isEmpty()) {
            folderEdit->setText(folder);
        }
    });
    connectGuarded(missingButton, &QPushButton::clicked, this, [this] { findMissing(); });
    connectGuarded(
        showHeldBox, &QCheckBox::toggled, this, [this](bool checked) { missingModel->setShowHeld(checked); });
    connectGuarded(saveButton, &QPushButton::clicked, this, [this] { saveCsv(MissingTask); });
    return page;
}

// ---------------------------------------------------------------------------------------------
// Tasks

QLabel* CompareWindow::summaryFor(Task task) const
{
    switch (task) {
    case CompareTask:
        return compareSummary;
    case DuplicatesTask:
        return duplicatesSummary;
    case MissingTask:
        break;
    }
    return missingSummary;
}

bool CompareWindow::isWorking() const { return m_worker != nullptr; }

void CompareWindow::cancelTask()
{
    if (m_worker != nullptr) {
        m_worker->cancel();
    }
}

void CompareWindow::run(Task task, std::vector<WalkTarget> targets, Job job, Show show, const QString& doing)
{
    // A task that runs is replaced: it stops within a few records (its walks poll the stop request), and
    // its end, which may still be queued, is passed over.
    delete m_worker.data();
    const quint64 taskNumber = ++m_taskNumber;
    m_runningTask = task;
    auto* worker = new WalkWorker(std::make_unique<CatalogWalk>(std::move(targets)), std::move(job), this);
    m_worker = worker;
    connectGuarded(worker, &WalkWorker::walkEnded, this,
        [this, taskNumber, show = std::move(show)](const QVariant& result, const QString& failure) {
            if (taskNumber == m_taskNumber) {
                onTaskEnded(result, failure, show);
            }
        });
    summaryFor(task)->setText(doing);
    progressPanel->watch(worker, doing);
    worker->start();
}

void CompareWindow::onTaskEnded(const QVariant& result, const QString& failure, const Show& show)
{
    const bool cancelled = m_worker->wasCancelled();
    m_worker->deleteLater();
    m_worker = nullptr;
    QLabel* summary = summaryFor(m_runningTask);
    if (!failure.isEmpty()) {
        summary->setText(QStringLiteral("The catalogs could not be read."));
        questions().messageBox(failure, s_caption, MessageIcon::Error, OkButton);
    } else if (cancelled) {
        summary->setText(QStringLiteral("Cancelled."));
    } else {
        show(result);
    }
    emit taskEnded();
}

void CompareWindow::closeEvent(QCloseEvent* event)
{
    cancelTask();
    QMainWindow::closeEvent(event);
}

void CompareWindow::showFaults(const QStringList& faults)
{
    if (!faults.isEmpty()) {
        questions().messageBox(QStringLiteral("Not everything could be read; the results hold what was read.\n\n")
                + faults.join(QLatin1Char('\n')),
            s_caption, MessageIcon::Warning, OkButton);
    }
}

void CompareWindow::compare()
{
    QString problem;
    const std::optional<CompareSource> first = firstPicker->source(problem);
    const std::optional<CompareSource> second = first ? secondPicker->source(problem) : std::nullopt;
    if (!first || !second) {
        questions().messageBox(problem, s_caption, MessageIcon::Information, OkButton);
        return;
    }
    const CompanionCatalogs* catalogs = &m_catalogs;
    run(
        CompareTask, comparisonTargets(*first, *second, m_catalogs),
        [catalogs, first = *first, second = *second](
            CatalogWalk& walk) { return QVariant::fromValue(compareSources(first, second, *catalogs, walk)); },
        [this](const QVariant& result) {
            auto comparison = result.value<TreeComparison>();
            const bool differs = comparison.differs();
            QString text = differs
                ? QStringLiteral("Only in %1: %2.  Only in %3: %4.  Changed: %5 files.")
                      .arg(comparison.firstName, countsText(comparison.onlyFirst), comparison.secondName,
                          countsText(comparison.onlySecond), countText(comparison.changed.files))
                : QStringLiteral("%1 and %2 hold the same folders and files.")
                      .arg(comparison.firstName, comparison.secondName);
            if (!comparison.complete) {
                text += QStringLiteral(" (Not everything could be read.)");
            }
            const QStringList faults = comparison.faults;
            comparisonModel->setComparison(std::move(comparison));
            comparisonView->expandToDepth(differencesOnlyBox->isChecked() ? 16 : 0);
            for (int column = ComparisonModel::DifferenceColumn; column < ComparisonModel::ColumnCount; ++column) {
                comparisonView->resizeColumnToContents(column);
            }
            compareSummary->setText(text);
            showFaults(faults);
        },
        QStringLiteral("Comparing..."));
}

void CompareWindow::findDuplicates()
{
    std::vector<WalkTarget> targets = scopePicker->targets();
    if (targets.empty()) {
        questions().messageBox(
            QStringLiteral("Choose the filesets or discs to look in."), s_caption, MessageIcon::Information, OkButton);
        return;
    }
    DuplicateOptions options;
    options.sizeOnly = sizeOnlyBox->isChecked();
    options.sameDate = duplicateDateBox->isChecked();
    options.minimumSize = std::max<std::uint32_t>(1, static_cast<std::uint32_t>(minimumSizeBox->value()) * 1024u);
    const CompanionCatalogs* catalogs = &m_catalogs;
    run(
        DuplicatesTask, std::move(targets),
        [catalogs, options](
            CatalogWalk& walk) { return QVariant::fromValue(::findDuplicates(*catalogs, walk, options)); },
        [this](const QVariant& result) { showDuplicates(result.value<DuplicateReport>()); },
        QStringLiteral("Looking for duplicates..."));
}

void CompareWindow::showDuplicates(DuplicateReport report)
{
    duplicatesModel->clear();
    duplicatesModel->setHorizontalHeaderLabels({ QStringLiteral("Name"), QStringLiteral("Size"),
        QStringLiteral("Copies"), QStringLiteral("Wasted"), QStringLiteral("Date") });
    int shown = 0;
    for (const DuplicateGroup& group : report.groups) {
        if (shown++ == MaxShownGroups) {
            break;
        }
        QList<QStandardItem*> row = itemRow({ group.files.front().name, countText(group.size()),
            countText(group.files.size()), formatSize(static_cast<std::int64_t>(group.wasted())), QString() });
        for (const FileLocation& file : group.files) {
            row.front()->appendRow(itemRow(
                { file.folderPath + file.name, QString(), QString(), QString(), formatDosDateTime(file.dateTime) }));
        }
        duplicatesModel->appendRow(row);
    }
    repeatedDiscsModel->clear();
    repeatedDiscsModel->setHorizontalHeaderLabels(
        { QStringLiteral("Disc catalogued twice"), QStringLiteral("Serial"), QStringLiteral("Files") });
    for (const RepeatedDisc& repeated : report.discs) {
        QList<QStandardItem*> row = itemRow({ repeated.reason == RepeatedDisc::Reason::SameSerial
                ? QStringLiteral("The same serial number")
                : QStringLiteral("The same folders and files under other serial numbers"),
            QString(), QString() });
        for (const DiscLocation& disc : repeated.discs) {
            const CatalogEntry& catalog = m_catalogs.at(disc.catalog);
            row.front()->appendRow(itemRow({ catalog.owner + QLatin1Char('\\') + catalog.description + QLatin1Char('\\')
                    + disc.title + QLatin1Char('\\'),
                serialText(disc.serial), countText(disc.files) }));
        }
        repeatedDiscsModel->appendRow(row);
    }
    repeatedDiscsView->expandAll();
    repeatedDiscsView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    duplicatesView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // A few groups are read best with their copies shown.
    if (report.groups.size() <= 50) {
        duplicatesView->expandAll();
    }
    for (int column = 1; column < duplicatesModel->columnCount(); ++column) {
        duplicatesView->resizeColumnToContents(column);
    }
    QString text = QStringLiteral("%1 groups: %2 files stored more than once, %3 wasted; %4 discs catalogued twice. "
                                  "%5 files looked at.")
                       .arg(countText(report.groups.size()), countText(report.duplicateFiles()),
                           bytesText(report.wasted()), countText(report.discs.size()), countText(report.filesWalked));
    if (report.groups.size() > static_cast<std::size_t>(MaxShownGroups)) {
        text += QStringLiteral(" The list shows the first %1 groups; Save CSV writes them all.")
                    .arg(countText(MaxShownGroups));
    }
    const QStringList faults = report.faults;
    m_duplicates = std::move(report);
    duplicatesSummary->setText(text);
    showFaults(faults);
}

void CompareWindow::findMissing()
{
    const QString folder = folderEdit->text();
    std::vector<WalkTarget> targets = scopePicker->targets();
    if (folder.trimmed().isEmpty() || targets.empty()) {
        questions().messageBox(folder.trimmed().isEmpty() ? QStringLiteral("Choose the folder to look for.")
                                                          : QStringLiteral("Choose the filesets or discs to look in."),
            s_caption, MessageIcon::Information, OkButton);
        return;
    }
    MissingOptions options;
    options.sameDate = missingDateBox->isChecked();
    const CompanionCatalogs* catalogs = &m_catalogs;
    run(
        MissingTask, std::move(targets),
        [catalogs, folder, options](
            CatalogWalk& walk) { return QVariant::fromValue(::findMissing(folder, *catalogs, walk, options)); },
        [this](const QVariant& result) { showMissing(result.value<MissingReport>()); },
        QStringLiteral("Looking for the folder's files on the discs..."));
}

void CompareWindow::showMissing(MissingReport report)
{
    QString text = QStringLiteral("%1 of %2 files are on no disc: %3. %4 files are held.")
                       .arg(countText(report.missingFiles), countText(report.files.size()),
                           bytesText(report.missingBytes), countText(report.heldFiles));
    if (!report.complete) {
        text += QStringLiteral(" (Not everything could be read.)");
    }
    const QStringList faults = report.faults;
    missingModel->setReport(std::move(report));
    missingView->resizeColumnsToContents();
    missingSummary->setText(text);
    showFaults(faults);
}

// ---------------------------------------------------------------------------------------------
// Saving

bool CompareWindow::writeCsv(Task task, const QString& path) const
{
    switch (task) {
    case CompareTask:
        return writeTextFile(path, comparisonCsv(comparisonModel->comparison()));
    case DuplicatesTask:
        return writeTextFile(path, duplicatesCsv(m_duplicates));
    case MissingTask:
        break;
    }
    return writeTextFile(path, missingCsv(missingModel->report()));
}

void CompareWindow::saveCsv(Task task)
{
    static const char* const names[] = { "comparison", "duplicates", "not-on-any-disc" };
    const QString path = askSavePath(s_caption, QStringLiteral("Save as CSV"), QLatin1String(names[task]),
        QStringLiteral("CSV table (*.csv)"), QStringLiteral(".csv"));
    if (!path.isEmpty() && !writeCsv(task, path)) {
        reportUnwritable(s_caption, path);
    }
}
