#include "gui/statistics/statisticswindow.h"

#include "core/common/questions.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/statistics/statisticscollector.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/errordisplay.h"
#include "gui/companion/scopepicker.h"
#include "gui/companion/walkprogresspanel.h"
#include "gui/companion/walkworker.h"
#include "gui/statistics/figuresaving.h"
#include "gui/statistics/figuretablemodel.h"
#include "gui/statistics/fillbardelegate.h"
#include "gui/statistics/statisticscharts.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace {

using Kind = FigureTableModel::Kind;

const QString s_caption = QStringLiteral("Katalox Statistics");

QString countText(std::uint64_t value) { return QLocale().toString(static_cast<qulonglong>(value)); }

QString bytesText(std::uint64_t bytes)
{
    return QStringLiteral("%1 (%2 bytes)").arg(formatSize(static_cast<std::int64_t>(bytes)), countText(bytes));
}

QVariant count(std::uint64_t value) { return QVariant::fromValue(static_cast<qulonglong>(value)); }

QString serialText(std::uint32_t serial) { return QStringLiteral("%1").arg(serial, 8, 16, QLatin1Char('0')).toUpper(); }

/// The selected rows of a view, tab-separated as they show, one a line.
QString selectedText(const QTableView* view)
{
    QModelIndexList rows = view->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (const QModelIndex& row : rows) {
        QStringList cells;
        for (int column = 0; column < view->model()->columnCount(); ++column) {
            cells.append(view->model()->index(row.row(), column).data().toString());
        }
        lines.append(cells.join(QLatin1Char('\t')));
    }
    return lines.join(QLatin1Char('\n'));
}

QLabel* totalValue(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(CompanionCatalogs& catalogs, QWidget* parent)
    : QMainWindow(parent)
    , m_catalogs(catalogs)
{
    setObjectName(QStringLiteral("statisticsWindow"));
    setWindowTitle(s_caption);

    auto* splitter = new QSplitter(this);
    QVBoxLayout* leftLayout = addScopePane(splitter, catalogs, scopePicker);
    QWidget* left = leftLayout->parentWidget();
    showButton = new QPushButton(QStringLiteral("Show Statistics"), left);
    showButton->setObjectName(QStringLiteral("showButton"));
    showButton->setDefault(true);
    leftLayout->addWidget(showButton);
    connectGuarded(showButton, &QPushButton::clicked, this, [this] { showStatistics(); });

    auto* right = new QWidget(splitter);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 6, 6, 6);
    headingLabel = new QLabel(right);
    headingLabel->setObjectName(QStringLiteral("headingLabel"));
    QFont headingFont = headingLabel->font();
    headingFont.setBold(true);
    headingLabel->setFont(headingFont);
    progressPanel = new WalkProgressPanel(right);
    pages = new QTabWidget(right);
    pages->setObjectName(QStringLiteral("pages"));
    pages->addTab(makeSummaryPage(), QStringLiteral("Summary"));
    pages->addTab(makeTypesPage(), QStringLiteral("File Types"));
    pages->addTab(makeSizesPage(), QStringLiteral("Sizes"));
    pages->addTab(makeDatesPage(), QStringLiteral("Dates"));
    pages->addTab(makeLargestPage(), QStringLiteral("Largest"));
    rightLayout->addWidget(headingLabel);
    rightLayout->addWidget(progressPanel);
    rightLayout->addWidget(pages, 1);

    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 220, 780 });
    setCentralWidget(splitter);
    resize(1100, 720);
    clearFigures();
}

StatisticsWindow::~StatisticsWindow()
{
    // The worker's walk uses the catalogs and the collected figures: it ends before they go.
    delete m_worker.data();
}

// ---------------------------------------------------------------------------------------------
// Pages

QChartView* StatisticsWindow::chartView(const char* name)
{
    auto* view = new QChartView;
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 240);
    return view;
}

void StatisticsWindow::setChart(QChartView* view, QChart* chart)
{
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

QWidget* StatisticsWindow::panel(
    const QString& title, QWidget* content, const char* saveName, std::function<void()> save)
{
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* header = new QHBoxLayout;
    auto* titleLabel = new QLabel(title, frame);
    QFont font = titleLabel->font();
    font.setBold(true);
    titleLabel->setFont(font);
    auto* saveButton = new QPushButton(QStringLiteral("Save..."), frame);
    saveButton->setObjectName(QLatin1String(saveName));
    connectGuarded(saveButton, &QPushButton::clicked, this, std::move(save));
    header->addWidget(titleLabel);
    header->addStretch();
    header->addWidget(saveButton);
    layout->addLayout(header);
    content->setParent(frame);
    layout->addWidget(content, 1);
    return frame;
}

QWidget* StatisticsWindow::tablePanel(const QString& title, FigureTableModel* model, const char* name, int pathColumn)
{
    auto* proxy = new QSortFilterProxyModel(model);
    proxy->setSourceModel(model);
    proxy->setSortRole(FigureTableModel::ValueRole);
    auto* view = new QTableView;
    view->setObjectName(QLatin1String(name) + QStringLiteral("View"));
    view->setModel(proxy);
    view->setSortingEnabled(true);
    view->sortByColumn(-1, Qt::AscendingOrder);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAlternatingRowColors(true);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setWordWrap(false);
    // Columns fit what they hold, judged by the first rows: tables of many discs stay quick to fill.
    view->horizontalHeader()->setResizeContentsPrecision(200);
    connect(proxy, &QAbstractItemModel::modelReset, view, &QTableView::resizeColumnsToContents);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    const QString saveName = title;
    const auto copyRows = [view] { QApplication::clipboard()->setText(selectedText(view)); };
    auto* copyShortcut = new QShortcut(QKeySequence::Copy, view, nullptr, nullptr, Qt::WidgetShortcut);
    connectGuarded(copyShortcut, &QShortcut::activated, this, copyRows);
    connectGuarded(view, &QTableView::customContextMenuRequested, this,
        [this, view, model, copyRows, pathColumn, saveName](const QPoint& at) {
            QMenu menu(this);
            connectGuarded(menu.addAction(QStringLiteral("Copy")), &QAction::triggered, this, copyRows);
            const QModelIndex index = view->indexAt(at);
            if (pathColumn >= 0 && index.isValid()) {
                const QString path = index.siblingAtColumn(pathColumn).data().toString();
                connectGuarded(menu.addAction(QStringLiteral("Copy Path")), &QAction::triggered, this,
                    [path] { QApplication::clipboard()->setText(path); });
            }
            connectGuarded(menu.addAction(QStringLiteral("Save Table...")), &QAction::triggered, this,
                [model, saveName] { saveTable(*model, saveName); });
            menu.exec(view->viewport()->mapToGlobal(at));
        });
    return panel(title, view, (QLatin1String(name) + QStringLiteral("SaveButton")).toLatin1().constData(),
        [model, saveName] { saveTable(*model, saveName); });
}

QWidget* StatisticsWindow::makeSummaryPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* totals = new QFormLayout;
    ownersValue = totalValue(page, "ownersValue");
    filesetsValue = totalValue(page, "filesetsValue");
    discsValue = totalValue(page, "discsValue");
    foldersValue = totalValue(page, "foldersValue");
    filesValue = totalValue(page, "filesValue");
    bytesValue = totalValue(page, "bytesValue");
    totals->addRow(QStringLiteral("Owners:"), ownersValue);
    totals->addRow(QStringLiteral("Filesets:"), filesetsValue);
    totals->addRow(QStringLiteral("Discs:"), discsValue);
    totals->addRow(QStringLiteral("Folders:"), foldersValue);
    totals->addRow(QStringLiteral("Files:"), filesValue);
    totals->addRow(QStringLiteral("Bytes:"), bytesValue);
    layout->addLayout(totals);

    filesetTable
        = new FigureTableModel({ { QStringLiteral("Owner"), Kind::Text }, { QStringLiteral("Fileset"), Kind::Text },
                                   { QStringLiteral("Discs"), Kind::Count }, { QStringLiteral("Folders"), Kind::Count },
                                   { QStringLiteral("Files"), Kind::Count }, { QStringLiteral("Bytes"), Kind::Bytes },
                                   { QStringLiteral("Used"), Kind::Bytes }, { QStringLiteral("Capacity"), Kind::Bytes },
                                   { QStringLiteral("File"), Kind::Text } },
            this);
    discTable = new FigureTableModel(
        { { QStringLiteral("Fileset"), Kind::Text }, { QStringLiteral("Title"), Kind::Text },
            { QStringLiteral("Serial"), Kind::Text }, { QStringLiteral("Scanned"), Kind::Date },
            { QStringLiteral("Fill"), Kind::Percent }, { QStringLiteral("Used"), Kind::Bytes },
            { QStringLiteral("Capacity"), Kind::Bytes }, { QStringLiteral("Folders"), Kind::Count },
            { QStringLiteral("Files"), Kind::Count }, { QStringLiteral("Bytes"), Kind::Bytes } },
        this);
    auto* split = new QSplitter(Qt::Vertical, page);
    split->addWidget(tablePanel(QStringLiteral("Filesets"), filesetTable, "filesetTable"));
    QWidget* discs = tablePanel(QStringLiteral("Discs"), discTable, "discTable");
    auto* discView = discs->findChild<QTableView*>(QStringLiteral("discTableView"));
    discView->setItemDelegateForColumn(4, new FillBarDelegate(discView));
    split->addWidget(discs);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    return page;
}

QWidget* StatisticsWindow::makeTypesPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* measureRow = new QHBoxLayout;
    measureRow->addWidget(new QLabel(QStringLiteral("Charts show:"), page));
    measureChooser = new QComboBox(page);
    measureChooser->setObjectName(QStringLiteral("measureChooser"));
    measureChooser->addItems({ QStringLiteral("Files"), QStringLiteral("Bytes") });
    measureRow->addWidget(measureChooser);
    measureRow->addStretch();
    layout->addLayout(measureRow);
    connectGuarded(measureChooser, &QComboBox::currentIndexChanged, this, [this] { showTypeCharts(); });

    kindChartView = chartView("kindChart");
    extensionChartView = chartView("extensionChart");
    auto* charts = new QHBoxLayout;
    charts->addWidget(panel(QStringLiteral("By kind"), kindChartView, "kindChartSaveButton",
        [this] { saveChart(kindChartView, QStringLiteral("File kinds")); }));
    charts->addWidget(panel(QStringLiteral("By extension"), extensionChartView, "extensionChartSaveButton",
        [this] { saveChart(extensionChartView, QStringLiteral("Extensions")); }));
    layout->addLayout(charts, 3);

    kindTable = new FigureTableModel({ { QStringLiteral("Kind"), Kind::Text }, { QStringLiteral("Files"), Kind::Count },
                                         { QStringLiteral("Bytes"), Kind::Bytes } },
        this);
    extensionTable
        = new FigureTableModel({ { QStringLiteral("Extension"), Kind::Text }, { QStringLiteral("Kind"), Kind::Text },
                                   { QStringLiteral("Files"), Kind::Count }, { QStringLiteral("Bytes"), Kind::Bytes } },
            this);
    auto* tables = new QHBoxLayout;
    tables->addWidget(tablePanel(QStringLiteral("Kinds"), kindTable, "kindTable"));
    tables->addWidget(tablePanel(QStringLiteral("Extensions"), extensionTable, "extensionTable"));
    layout->addLayout(tables, 2);
    return page;
}

QWidget* StatisticsWindow::makeSizesPage()
{
    auto* page = new QWidget;
    auto* layout = new QHBoxLayout(page);
    sizeChartView = chartView("sizeChart");
    layout->addWidget(panel(QStringLiteral("Files by size"), sizeChartView, "sizeChartSaveButton",
                          [this] { saveChart(sizeChartView, QStringLiteral("File sizes")); }),
        3);
    sizeTable = new FigureTableModel({ { QStringLiteral("Size"), Kind::Text }, { QStringLiteral("Files"), Kind::Count },
                                         { QStringLiteral("Bytes"), Kind::Bytes } },
        this);
    layout->addWidget(tablePanel(QStringLiteral("Sizes"), sizeTable, "sizeTable"), 2);
    return page;
}

QWidget* StatisticsWindow::makeDatesPage()
{
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    yearChartView = chartView("yearChart");
    scanMonthChartView = chartView("scanMonthChart");
    layout->addWidget(panel(QStringLiteral("Files by year of last change"), yearChartView, "yearChartSaveButton",
                          [this] { saveChart(yearChartView, QStringLiteral("Files by year")); }),
        0, 0);
    layout->addWidget(panel(QStringLiteral("Discs by scan month"), scanMonthChartView, "scanMonthChartSaveButton",
                          [this] { saveChart(scanMonthChartView, QStringLiteral("Discs by scan month")); }),
        0, 1);
    yearTable = new FigureTableModel({ { QStringLiteral("Year"), Kind::Text }, { QStringLiteral("Files"), Kind::Count },
                                         { QStringLiteral("Bytes"), Kind::Bytes } },
        this);
    scanMonthTable
        = new FigureTableModel({ { QStringLiteral("Month"), Kind::Text }, { QStringLiteral("Discs"), Kind::Count },
                                   { QStringLiteral("Used"), Kind::Bytes } },
            this);
    layout->addWidget(tablePanel(QStringLiteral("Years"), yearTable, "yearTable"), 1, 0);
    layout->addWidget(tablePanel(QStringLiteral("Scan months"), scanMonthTable, "scanMonthTable"), 1, 1);
    layout->setRowStretch(0, 3);
    layout->setRowStretch(1, 2);
    return page;
}

QWidget* StatisticsWindow::makeLargestPage()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    largestFileTable
        = new FigureTableModel({ { QStringLiteral("Name"), Kind::Text }, { QStringLiteral("Size"), Kind::Bytes },
                                   { QStringLiteral("Modified"), Kind::Date }, { QStringLiteral("Path"), Kind::Text } },
            this);
    largestFolderTable
        = new FigureTableModel({ { QStringLiteral("Path"), Kind::Text }, { QStringLiteral("Bytes"), Kind::Bytes },
                                   { QStringLiteral("Files"), Kind::Count } },
            this);
    layout->addWidget(tablePanel(QStringLiteral("The 100 largest files"), largestFileTable, "largestFileTable", 3));
    layout->addWidget(
        tablePanel(QStringLiteral("The 100 largest folders"), largestFolderTable, "largestFolderTable", 0));
    return page;
}

// ---------------------------------------------------------------------------------------------
// The walk

bool StatisticsWindow::isWalking() const { return m_worker != nullptr && !m_worker->isFinished(); }

void StatisticsWindow::showStatistics()
{
    // A walk that runs is replaced; its end may still be queued, and only the latest walk's counts.
    delete m_worker.data();
    const quint64 walkNumber = ++m_walkNumber;
    clearFigures();
    std::vector<WalkTarget> targets = scopePicker->targets();
    m_scope = scopePicker->scopeText();
    if (targets.empty()) {
        progressPanel->hide();
        pages->setEnabled(true);
        headingLabel->setText(QStringLiteral("Nothing chosen: tick the owners, filesets or discs to count."));
        emit walkEnded();
        return;
    }
    const CompanionCatalogs* catalogs = &m_catalogs;
    auto* worker = new WalkWorker(
        std::make_unique<CatalogWalk>(std::move(targets)),
        [catalogs](CatalogWalk& walk) { return QVariant::fromValue(collectStatistics(*catalogs, walk)); }, this);
    m_worker = worker;
    connectGuarded(
        worker, &WalkWorker::walkEnded, this, [this, walkNumber](const QVariant& result, const QString& failure) {
            if (walkNumber == m_walkNumber) {
                onWalkEnded(result, failure);
            }
        });
    headingLabel->setText(m_scope + QStringLiteral(": counting..."));
    progressPanel->watch(worker, QStringLiteral("Reading the catalogs"));
    pages->setEnabled(false);
    worker->start();
}

void StatisticsWindow::cancelWalk()
{
    if (m_worker != nullptr) {
        m_worker->cancel();
    }
}

void StatisticsWindow::onWalkEnded(const QVariant& result, const QString& failure)
{
    pages->setEnabled(true);
    const bool cancelled = m_worker->wasCancelled();
    m_worker->deleteLater();
    m_worker = nullptr;
    const auto collected = result.value<CollectionStatistics>();
    if (!failure.isEmpty()) {
        headingLabel->setText(m_scope + QStringLiteral(": the catalogs could not be read."));
        questions().messageBox(failure, s_caption, MessageIcon::Error, OkButton);
    } else if (cancelled || !collected.complete) {
        headingLabel->setText(m_scope + QStringLiteral(": cancelled. Press Show Statistics to count again."));
    } else {
        showFigures(collected, m_scope);
        if (!collected.faults.isEmpty()) {
            questions().messageBox(QStringLiteral("Not every catalog could be read to its end; the figures hold what "
                                                  "was read.\n\n")
                    + collected.faults.join(QLatin1Char('\n')),
                s_caption, MessageIcon::Warning, OkButton);
        }
        if (!collected.damagedDiscs.isEmpty()) {
            questions().messageBox(QStringLiteral("Some discs are damaged: their used or capacity bytes cannot be, and "
                                                  "the totals leave them out.\n\n")
                    + collected.damagedDiscs.join(QLatin1Char('\n')),
                s_caption, MessageIcon::Warning, OkButton);
        }
    }
    emit walkEnded();
}

void StatisticsWindow::closeEvent(QCloseEvent* event)
{
    cancelWalk();
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Showing the figures

void StatisticsWindow::clearFigures()
{
    showFigures(CollectionStatistics {}, QString());
    for (QLabel* label : { ownersValue, filesetsValue, discsValue, foldersValue, filesValue, bytesValue }) {
        label->clear();
    }
}

void StatisticsWindow::showTypeCharts()
{
    const FileMeasure measure = measureChooser->currentIndex() == 1 ? FileMeasure::Bytes : FileMeasure::Files;
    setChart(kindChartView, makeKindChart(m_figures, measure));
    setChart(extensionChartView, makeExtensionChart(m_figures, measure));
}

void StatisticsWindow::showFigures(const CollectionStatistics& figures, const QString& scope)
{
    m_figures = figures;
    headingLabel->setText(scope);
    ownersValue->setText(countText(figures.owners));
    filesetsValue->setText(countText(figures.filesets));
    discsValue->setText(countText(figures.discs));
    foldersValue->setText(countText(figures.folders));
    filesValue->setText(countText(figures.files.files));
    bytesValue->setText(bytesText(figures.files.bytes));

    QList<QVariantList> rows;
    for (const FilesetFigures& fileset : figures.filesetRows) {
        rows.append({ fileset.owner, fileset.description, count(fileset.discs), count(fileset.folders),
            count(fileset.files.files), count(fileset.files.bytes), QVariant::fromValue(fileset.used),
            QVariant::fromValue(fileset.capacity), fileset.fileName });
    }
    filesetTable->setRows(std::move(rows));
    rows.clear();
    for (const DiscFigures& disc : figures.discRows) {
        rows.append({ disc.fileset, disc.title, serialText(disc.serial), disc.scanTime, disc.fillPercent(),
            QVariant::fromValue(disc.used), QVariant::fromValue(disc.capacity), count(disc.folders),
            count(disc.files.files), count(disc.files.bytes) });
    }
    discTable->setRows(std::move(rows));
    rows.clear();
    for (int kind = 0; kind < FileKindCount; ++kind) {
        const FileCount& files = figures.kinds[static_cast<std::size_t>(kind)];
        rows.append({ fileKindName(static_cast<FileKind>(kind)), count(files.files), count(files.bytes) });
    }
    kindTable->setRows(std::move(rows));
    rows.clear();
    for (const ExtensionFigures& extension : figures.extensions) {
        rows.append({ extensionLabel(extension.extension), fileKindName(extension.kind), count(extension.count.files),
            count(extension.count.bytes) });
    }
    extensionTable->setRows(std::move(rows));
    rows.clear();
    for (int size = 0; size < SizeClassCount; ++size) {
        const FileCount& files = figures.sizes[static_cast<std::size_t>(size)];
        rows.append({ sizeClassName(size), count(files.files), count(files.bytes) });
    }
    sizeTable->setRows(std::move(rows));
    rows.clear();
    for (const YearFigures& year : figures.years) {
        rows.append({ year.year == 0 ? QStringLiteral("no date") : QString::number(year.year), count(year.count.files),
            count(year.count.bytes) });
    }
    yearTable->setRows(std::move(rows));
    rows.clear();
    for (const ScanMonthFigures& month : figures.scanMonths) {
        rows.append(
            { month.year == 0 ? QStringLiteral("no date")
                              : QStringLiteral("%1-%2").arg(month.year).arg(month.month, 2, 10, QLatin1Char('0')),
                count(month.discs), QVariant::fromValue(month.used) });
    }
    scanMonthTable->setRows(std::move(rows));
    rows.clear();
    for (const LargestFile& file : figures.largestFiles) {
        rows.append({ file.name, count(file.size), file.dateTime, file.folderPath });
    }
    largestFileTable->setRows(std::move(rows));
    rows.clear();
    for (const LargestFolder& folder : figures.largestFolders) {
        rows.append({ folder.path, count(folder.below.bytes), count(folder.below.files) });
    }
    largestFolderTable->setRows(std::move(rows));

    showTypeCharts();
    setChart(sizeChartView, makeSizeChart(figures));
    setChart(yearChartView, makeYearChart(figures));
    setChart(scanMonthChartView, makeScanMonthChart(figures));
}
