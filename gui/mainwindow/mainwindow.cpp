#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/companion/companionprogram.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "core/text/formatsize.h"
#include "gui/common/appicons.h"
#include "gui/common/columnwidths.h"
#include "gui/common/errordisplay.h"
#include "gui/common/filesetchooser.h"
#include "gui/dialogs/aboutdialog.h"
#include "gui/dialogs/settingsdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/search/searchfilterrow.h"
#include "platform/configfolder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <optional>

MainWindow* g_mainWindow = nullptr;

namespace {

constexpr char s_panelTag[] = "Tag";

void markPanel(QWidget* panel) { panel->setProperty(s_panelTag, 1); }

QFont boldFont(const QWidget* widget)
{
    QFont font = widget->font();
    font.setBold(true);
    return font;
}

// A report-style list with several selectable rows whose selection stays visible without the focus.
void setUpReportList(QTreeView* view)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setIconSize(QSize(16, 16));
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->header()->setSectionsMovable(false);
    QPalette colours = view->palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(
        QPalette::Inactive, QPalette::HighlightedText, colours.color(QPalette::Active, QPalette::HighlightedText));
    view->setPalette(colours);
}

} // namespace

const QList<CommandSpec>& MainWindow::commands()
{
    static const QList<CommandSpec> commands = {
        { "newSearchAction", "New Search", "Edit", QKeySequence(Qt::Key_F3), MagnifierImage, "" },
        { "viewResultsAction", "View Results", "Edit", QKeySequence(Qt::Key_F4), MagnifierImage, "" },
        { "renameAction", "Rename", "Edit", QKeySequence(Qt::Key_F2), -1, "" },
        { "deleteAction", "Delete", "Edit", QKeySequence(), -1, "" },
        { "propertiesAction", "Properties", "Edit", QKeySequence(), -1, "" },
        { "refreshTreeAction", "Refresh Tree", "Edit", QKeySequence(Qt::Key_F5), -1, "" },
        { "scanDiscAction", "Scan Disc", "Tools", QKeySequence(Qt::Key_F6), DataDiscImage, "" },
        { "newFilesetAction", "New Fileset", "File", QKeySequence(Qt::Key_F7), FilesetImage, "" },
        { "configureAction", "Configure", "Tools", QKeySequence(Qt::Key_F11), ToolsImage, "" },
        { "aboutAction", "About", "Help", QKeySequence(), -1, "" },
        { "exitAction", "E&xit", "File", QKeySequence(), AudioDiscImage, "Exit|Quits the application" },
        { "statisticsAction", "Statistics..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S), -1, "" },
        { "exportAction", "Export..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_E), -1, "" },
        { "compareAction", "Compare..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_C), -1, "" },
        { "importAction", "Import...", "File", QKeySequence(), -1, "" },
    };
    return commands;
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    g_mainWindow = this;
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Katalox"));
    smallImageList(); // registers the program's images
    setWindowIcon(QIcon(QStringLiteral(":/icons/katalox.svg")));
    setMinimumSize(420, 240);
    setAcceptDrops(true);
    move(256, 178);
    resize(579, 373);
    buildCommands();
    buildLayout();
    connectControls();
    connectEditing();
    connectSearch();
    connectPopups();
    connectScan();
    if (g_filesetRegistry != nullptr) {
        connectGuarded(g_filesetRegistry, &FilesetRegistry::filesetChanged, this,
            [this](Fileset* fileset) { onFilesetChanged(fileset); });
    }
}

MainWindow::~MainWindow()
{
    if (g_mainWindow == this) {
        g_mainWindow = nullptr;
    }
}

QAction* MainWindow::action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void MainWindow::buildCommands()
{
    const ImageList& images = smallImageList();
    for (const CommandSpec& command : commands()) {
        auto* act = new QAction(QString::fromUtf8(command.caption), this);
        act->setObjectName(QString::fromLatin1(command.name));
        act->setProperty("category", QString::fromLatin1(command.category));
        act->setShortcut(command.shortcut);
        act->setShortcutContext(Qt::WindowShortcut);
        if (command.image >= 0) {
            act->setIcon(images.icon(command.image));
        }
        const QString hint = QString::fromUtf8(command.hint);
        if (!hint.isEmpty()) {
            // "short|long": the short part is the tool tip, the long part the status line text.
            act->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
            act->setStatusTip(hint.section(QLatin1Char('|'), 1));
        }
        addAction(act);
    }
    action("viewResultsAction")->setEnabled(false);

    auto addMenu = [this](const QString& title, std::initializer_list<const char*> names) {
        QMenu* menu = menuBar()->addMenu(title);
        for (const char* name : names) {
            menu->addAction(action(name));
        }
        return menu;
    };
    // Beside the command table: bringing back a fileset that Delete renamed to ".bak".
    auto* restore = new QAction(QStringLiteral("Restore Deleted Fileset..."), this);
    restore->setObjectName(QStringLiteral("restoreFilesetAction"));
    restore->setProperty("category", QStringLiteral("File"));
    addAction(restore);
    addMenu(QStringLiteral("&File"), { "newFilesetAction", "importAction", "restoreFilesetAction", "exitAction" });
    addMenu(QStringLiteral("&Edit"),
        { "newSearchAction", "viewResultsAction", "renameAction", "deleteAction", "propertiesAction",
            "refreshTreeAction" });
    addMenu(QStringLiteral("&Tools"),
        { "scanDiscAction", "statisticsAction", "compareAction", "exportAction", "configureAction" });
    addMenu(QStringLiteral("&Help"), { "aboutAction" });

    // The tool bar's buttons have captions of their own and run the commands.
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    const std::pair<const char*, const char*> buttons[] = {
        { "&Search", "newSearchAction" },
        { "S&can Disc", "scanDiscAction" },
        { "C&onfigure", "configureAction" },
        { "&New Fileset", "newFilesetAction" },
    };
    for (const auto& [caption, name] : buttons) {
        QAction* command = action(name);
        QAction* button = bar->addAction(command->icon(), QString::fromUtf8(caption));
        button->setObjectName(QString::fromLatin1(name) + QStringLiteral("Button"));
        connect(button, &QAction::triggered, command, &QAction::trigger);
        connect(command, &QAction::enabledChanged, button, &QAction::setEnabled);
    }
}

QWidget* MainWindow::buildSearchPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("searchPanel"));
    auto* layout = new QVBoxLayout(panel);

    auto* heading = new QLabel(QStringLiteral("Search in filesets"), panel);
    heading->setFont(boldFont(heading));
    layout->addWidget(heading);
    auto* line = new QFrame(panel);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);

    layout->addWidget(new QLabel(QStringLiteral("Enter text to search for:"), panel));
    auto* searchRow = new QHBoxLayout;
    searchEdit = new QLineEdit(QStringLiteral("wav"), panel);
    searchEdit->setObjectName(QStringLiteral("searchEdit"));
    searchButton = new QPushButton(QStringLiteral("Search"), panel);
    searchButton->setObjectName(QStringLiteral("searchButton"));
    searchRow->addWidget(searchEdit, 1);
    searchRow->addWidget(searchButton);
    layout->addLayout(searchRow);

    layout->addWidget(new QLabel(QStringLiteral("Filesets to search in:"), panel));
    auto* chooser = new FilesetChooser(panel);
    chooser->setObjectName(QStringLiteral("searchScopeChooser"));
    searchScopeChooser = chooser;
    layout->addWidget(searchScopeChooser);

    // The filters are a second row the user opens; closed, they do not filter.
    filtersCheck = new QCheckBox(QStringLiteral("Filter by size, date and kind"), panel);
    filtersCheck->setObjectName(QStringLiteral("filtersCheck"));
    layout->addWidget(filtersCheck);
    searchFilters = new SearchFilterRow(panel);
    searchFilters->setVisible(false);
    layout->addWidget(searchFilters);
    connect(filtersCheck, &QCheckBox::toggled, searchFilters, &QWidget::setVisible);

    lastResultsLabel = new QLabel(QStringLiteral("<a href=\"results\">View Last Results</a>"), panel);
    lastResultsLabel->setObjectName(QStringLiteral("lastResultsLabel"));
    lastResultsLabel->setTextFormat(Qt::RichText);
    lastResultsLabel->setCursor(Qt::PointingHandCursor);
    layout->addWidget(lastResultsLabel);
    layout->addStretch(1);

    searchProgressBar = new QProgressBar(panel);
    searchProgressBar->setObjectName(QStringLiteral("searchProgressBar"));
    searchProgressBar->setRange(0, 100);
    searchProgressBar->setValue(0);
    searchProgressBar->setVisible(false);
    layout->addWidget(searchProgressBar);
    return panel;
}

QWidget* MainWindow::buildResultsPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("resultsPanel"));
    auto* layout = new QVBoxLayout(panel);

    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    discSummaryLabel = new QLabel(QStringLiteral("Search Result"), panel);
    discSummaryLabel->setObjectName(QStringLiteral("discSummaryLabel"));
    discSummaryLabel->setFont(boldFont(discSummaryLabel));
    // Long summaries wrap instead of pushing the tree aside.
    discSummaryLabel->setWordWrap(true);
    fileSummaryLabel = new QLabel(panel);
    fileSummaryLabel->setObjectName(QStringLiteral("fileSummaryLabel"));
    fileSummaryLabel->setWordWrap(true);
    texts->addWidget(discSummaryLabel);
    texts->addWidget(fileSummaryLabel);
    top->addLayout(texts, 1);
    newSearchButton = new QPushButton(QStringLiteral("New Search"), panel);
    newSearchButton->setObjectName(QStringLiteral("newSearchButton"));
    top->addWidget(newSearchButton, 0, Qt::AlignTop);
    layout->addLayout(top);

    resultsTabs = new QTabWidget(panel);
    resultsTabs->setObjectName(QStringLiteral("resultsTabs"));
    resultsTabs->setDocumentMode(true);
    discResultsView = new QTreeView;
    discResultsView->setObjectName(QStringLiteral("discResultsView"));
    fileResultsView = new QTreeView;
    fileResultsView->setObjectName(QStringLiteral("fileResultsView"));
    for (QTreeView* view : { discResultsView, fileResultsView }) {
        setUpReportList(view);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    const ImageList& images = smallImageList();
    resultsTabs->addTab(discResultsView, images.icon(DataDiscImage), QStringLiteral("Discs Matches "));
    resultsTabs->addTab(fileResultsView, images.icon(AudioDiscImage), QStringLiteral("File Matches"));
    resultsTabs->setCurrentIndex(1);
    layout->addWidget(resultsTabs, 1);
    return panel;
}

void MainWindow::buildLayout()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto* pathBar = new QHBoxLayout;
    auto* pathLabel = new QLabel(QStringLiteral("Path"), central);
    pathEdit = new QLineEdit(central);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathLabel->setBuddy(pathEdit);
    goButton = new QPushButton(QStringLiteral("Go"), central);
    goButton->setObjectName(QStringLiteral("goButton"));
    pathBar->addWidget(pathLabel);
    pathBar->addWidget(pathEdit, 1);
    pathBar->addWidget(goButton);
    layout->addLayout(pathBar);

    splitter = new QSplitter(Qt::Horizontal, central);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setHandleWidth(3);
    auto* navigation = new QWidget(splitter);
    auto* navigationLayout = new QVBoxLayout(navigation);
    navigationLayout->setContentsMargins(0, 0, 0, 0);
    navigationLayout->setSpacing(2);
    navigationLayout->addWidget(new QLabel(QStringLiteral("Navigation Tree"), navigation));
    navigationTree = new NavigationTree(navigation);
    navigationTree->setObjectName(QStringLiteral("navigationTree"));
    navigationLayout->addWidget(navigationTree, 1);

    // The three right-hand panels fill the same area and overlap; showPanel shows one of them.
    m_rightArea = new QWidget(splitter);
    auto* stack = new QGridLayout(m_rightArea);
    stack->setContentsMargins(0, 0, 0, 0);
    catalogView = new QTreeView(m_rightArea);
    catalogView->setObjectName(QStringLiteral("catalogView"));
    setUpReportList(catalogView);
    catalogView->setEditTriggers(QAbstractItemView::EditKeyPressed);
    searchPanel = buildSearchPanel();
    resultsPanel = buildResultsPanel();
    for (QWidget* panel : { static_cast<QWidget*>(catalogView), searchPanel, resultsPanel }) {
        panel->setParent(m_rightArea);
        markPanel(panel);
        stack->addWidget(panel, 0, 0);
    }
    // Until a panel is chosen the list stands in front, empty, so the overlapping panels never show
    // through one another.
    searchPanel->setVisible(false);
    resultsPanel->setVisible(false);
    splitter->addWidget(navigation);
    splitter->addWidget(m_rightArea);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({ 209, 370 });
    splitter->setChildrenCollapsible(false);
    layout->addWidget(splitter, 1);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
    listSummaryLabel = new QLabel(statusBar());
    listSummaryLabel->setObjectName(QStringLiteral("listSummaryLabel"));
    statusBar()->addPermanentWidget(listSummaryLabel);
}

void MainWindow::connectControls()
{
    connectGuarded(action("refreshTreeAction"), &QAction::triggered, this, [this] { refresh(); });
    connectGuarded(action("aboutAction"), &QAction::triggered, this, [this] { showAbout(); });
    connectGuarded(action("configureAction"), &QAction::triggered, this, [this] { configure(); });
    connect(action("exitAction"), &QAction::triggered, this, &QWidget::close);
    connectGuarded(action("statisticsAction"), &QAction::triggered, this, [this] { openStatistics(); });
    connectGuarded(action("exportAction"), &QAction::triggered, this, [this] { openExport(); });
    connectGuarded(action("importAction"), &QAction::triggered, this, [this] { openImport(); });
    connectGuarded(action("compareAction"), &QAction::triggered, this, [this] { openCompare(); });
    connectGuarded(action("newSearchAction"), &QAction::triggered, this, [this] { newSearch(); });
    connectGuarded(action("restoreFilesetAction"), &QAction::triggered, this, [this] { restoreDeletedFileset(); });
    connectGuarded(action("viewResultsAction"), &QAction::triggered, this, [this] { viewLastResults(); });
    connectGuarded(lastResultsLabel, &QLabel::linkActivated, this, [this] { viewLastResults(); });
    connectGuarded(newSearchButton, &QPushButton::clicked, this, [this] { newSearch(); });

    connectGuarded(navigationTree, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* current) { onTreeNodeChanged(static_cast<NavigationNode*>(current)); });
    connectGuarded(navigationTree, &QTreeWidget::itemClicked, this,
        [this](QTreeWidgetItem* item) { onTreeNodeClicked(static_cast<NavigationNode*>(item)); });
    connectGuarded(goButton, &QPushButton::clicked, this, [this] { onGoClicked(); });
    connect(pathEdit, &QLineEdit::returnPressed, this, [this] {
        runGuarded([this] { onGoClicked(); });
        pathEdit->selectAll();
    });
    connectGuarded(catalogView, &QTreeView::doubleClicked, this, [this] { onCatalogViewDoubleClicked(); });
    catalogView->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // While a caption is edited the keys go to the editor, not to the list.
    if (watched == catalogView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            runGuarded([this] { onCatalogViewDoubleClicked(); });
            return true;
        }
        if (key->key() == Qt::Key_Backspace) {
            runGuarded([this] { navigateBack(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runGuarded([this] { handleFirstShow(); });
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    runGuarded([this] { handleClose(); });
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Start-up, panels, shut-down

void MainWindow::handleFirstShow()
{
    g_catalogList->attach(catalogView);
    g_catalogList->setKind(FilesetItem);
    g_catalogList->smallImages = &smallImageList();
    // A click on a header sorts; a third click goes back to the list's own order.
    catalogView->header()->setSortIndicatorClearable(true);
    catalogView->header()->setSortIndicator(-1, Qt::AscendingOrder);
    catalogView->setSortingEnabled(true);
    connectListSummary();
    attachSearchLists();
    fitColumnCaptions(discResultsView->header());
    fitColumnCaptions(fileResultsView->header());
    Settings& store = settings();
    if (QFileInfo::exists(store.fileName())) {
        g_filesetRegistry->addFolder(store.stringValue(FilesetFolderSetting));
        g_ownerIndex->rebuild();
        const int left = store.intValue(LeftSetting);
        const int width = store.intValue(WidthSetting);
        const int top = store.intValue(TopSetting);
        const int height = store.intValue(HeightSetting);
        if (width <= 0 && height <= 0) {
            applyFirstSize(); // no size kept yet
        } else {
            move(left, top);
            resize(width, height);
        }
        restoreLayout();
        runGuarded([this] { refreshTree(); });
        resultsTabs->setCurrentIndex(store.intValue(SearchPageSetting));
        searchEdit->setText(store.stringValue(SearchStringSetting));
    } else {
        store.setStringValue(
            FilesetFolderSetting, QString::fromStdString(configFolder()) + QStringLiteral("Filesets/"));
        const QString lineEnd = QStringLiteral("\r\n");
        const QString text = QStringLiteral("Welcome to Katalox 3.1 Alpha 5") + lineEnd + lineEnd
            + QStringLiteral("You should create a new fileset (")
            + action("newFilesetAction")->shortcut().toString(QKeySequence::NativeText)
            + QStringLiteral("), so you can store your CD-information.") + lineEnd
            + QStringLiteral("If you have filesets already, use the config window (")
            + action("configureAction")->shortcut().toString(QKeySequence::NativeText)
            + QStringLiteral(") to set the path to your filesets!");
        applyFirstSize();
        questions().messageBox(text, QStringLiteral("Welcome"), MessageIcon::None, OkButton);
        runGuarded([this] { refreshTree(); });
    }
    if (navigationTree->selectedNode() != nullptr && navigationTree->selectedNode() == navigationTree->searchNode) {
        searchEdit->selectAll();
    }
    reportLoadErrors();
}

void MainWindow::reportLoadErrors()
{
    if (g_filesetRegistry == nullptr) {
        return;
    }
    if (const std::optional<QString> errors = g_filesetRegistry->takeLoadErrors()) {
        questions().messageBox(*errors, QStringLiteral("KTB Error!"), MessageIcon::Error, OkButton, true);
    }
}

void MainWindow::handleClose()
{
    Settings& store = settings();
    if (store.boolValue(StartLastPathSetting)) {
        store.setStringValue(CurrentPathSetting, pathEdit->text());
    }
    store.setIntValue(LeftSetting, x());
    store.setIntValue(WidthSetting, width());
    store.setIntValue(TopSetting, y());
    store.setIntValue(HeightSetting, height());
    saveLayout();
}

void MainWindow::applyFirstSize()
{
    // Big enough for every list column whole, never bigger than the screen.
    const QScreen* shownOn = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    const QRect available = shownOn != nullptr ? shownOn->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize wanted(1000, 700);
    const QSize size(std::max(minimumWidth(), std::min(wanted.width(), available.width() - frame.width())),
        std::max(minimumHeight(), std::min(wanted.height(), available.height() - frame.height())));
    resize(size);
    move(available.x() + (available.width() - size.width() - frame.width()) / 2,
        available.y() + (available.height() - size.height() - frame.height()) / 2);
}

void MainWindow::restoreLayout()
{
    Settings& store = settings();
    if (const int treeWidth = store.intValue(SplitterSetting); treeWidth > 0) {
        const int total = std::max(splitter->width(), width());
        splitter->setSizes({ treeWidth, std::max(total - treeWidth, 1) });
    }
    restoreColumnWidths(discResultsView->header(), DiscResultsColumnsSetting);
    restoreColumnWidths(fileResultsView->header(), FileResultsColumnsSetting);
}

void MainWindow::saveLayout()
{
    Settings& store = settings();
    if (const int treeWidth = splitter->sizes().value(0);
        treeWidth > 0 && treeWidth != store.intValue(SplitterSetting)) {
        store.setIntValue(SplitterSetting, treeWidth);
    }
    g_catalogList->saveColumnWidths();
    keepColumnWidths(discResultsView->header(), DiscResultsColumnsSetting);
    keepColumnWidths(fileResultsView->header(), FileResultsColumnsSetting);
}

void MainWindow::connectListSummary()
{
    CatalogListModel* model = g_catalogList->model;
    connectGuarded(model, &QAbstractItemModel::modelReset, this, [this] { updateListSummary(); });
    connectGuarded(model, &QAbstractItemModel::layoutChanged, this, [this] { updateListSummary(); });
    connectGuarded(
        catalogView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateListSummary(); });
}

void MainWindow::updateListSummary()
{
    QList<int> rows;
    if (catalogView->selectionModel() != nullptr) {
        for (const QModelIndex& index : catalogView->selectionModel()->selectedRows()) {
            rows.append(index.row());
        }
    }
    const bool ofSelection = rows.size() > 1;
    const CatalogListTotals totals = g_catalogList->totals(ofSelection ? rows : QList<int>());
    if (g_catalogList->columnsOf(g_catalogList->kind).isEmpty()) {
        listSummaryLabel->clear();
        return;
    }
    QString text = totals.rows == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(totals.rows);
    if (ofSelection) {
        text += QStringLiteral(" selected");
    }
    if (totals.hasBytes) {
        text += QStringLiteral(", ") + formatSize(static_cast<std::int64_t>(totals.bytes));
    }
    listSummaryLabel->setText(text);
}

void MainWindow::refreshTree()
{
    g_catalogList->clear();
    navigationTree->beginUpdate();
    // The start location is shown whatever happens while the tree is rebuilt.
    struct GoToStart {
        MainWindow* window;
        ~GoToStart()
        {
            window->navigationTree->endUpdate();
            window->pathEdit->setText(settings().stringValue(CurrentPathSetting));
            runGuarded([this] { window->onGoClicked(); });
        }
    } goToStart { this };
    fillRoots(navigationTree);
    refreshOwnersBranch();
}

void MainWindow::refreshOwnersBranch()
{
    fillNode(navigationTree, navigationTree->ownersNode, 1);
    navigationTree->ownersNode->setExpanded(true);
}

void MainWindow::showPanel(QWidget* panel)
{
    if (panel == m_currentPanel) {
        return;
    }
    for (QWidget* child : m_rightArea->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->property(s_panelTag).toInt() == 1) {
            child->setVisible(false);
        }
    }
    m_currentPanel = panel;
    panel->setVisible(true);
}

void MainWindow::onTreeNodeChanged(NavigationNode* node)
{
    if (node == nullptr) {
        return;
    }
    pathEdit->setText(nodePath(navigationTree, node));
    const auto* fileset = node->item.kind >= FilesetItem ? static_cast<const Fileset*>(node->item.ref) : nullptr;
    if (fileset != nullptr && fileset->readOnly) {
        statusBar()->showMessage(
            QStringLiteral("This fileset is opened read-only: it can be browsed and searched, but not changed."));
    } else {
        statusBar()->clearMessage();
    }
    showPanel(catalogView);
    g_catalogList->fill(&node->item);
    currentItem = node->item;
    if (node == navigationTree->searchNode) {
        newSearch();
    }
}

void MainWindow::onGoClicked()
{
    NavigationNode* node = findNodeByPath(navigationTree, pathEdit->text());
    if (node == nullptr) {
        return;
    }
    // Also when the node is selected already: a refilled tree keeps no list.
    selectAndShow(node);
    if (node == navigationTree->searchNode) {
        newSearch();
    }
}

void MainWindow::onTreeNodeClicked(NavigationNode* node)
{
    const std::optional<ItemRef>& shown = g_catalogList->shown;
    if (node == nullptr || node != navigationTree->currentItem()) {
        return;
    }
    const bool showsNode = shown && shown->kind == node->item.kind && shown->ref == node->item.ref
        && shown->offset == node->item.offset && currentPanel() == catalogView;
    if (!showsNode && node != navigationTree->searchNode) {
        onTreeNodeChanged(node);
    }
}

void MainWindow::onFilesetChanged(Fileset* fileset)
{
    if (!g_catalogList->showsRecordsOf(fileset)) {
        return;
    }
    const ItemRef shown = *g_catalogList->shown;
    if (shown.kind == FilesetItem) {
        g_catalogList->fill(&shown);
        return;
    }
    g_catalogList->clear();
}

void MainWindow::returnTo(const NodePlace& place)
{
    NavigationNode* node = findNodeByPlace(navigationTree, place);
    selectAndShow(node != nullptr ? node : navigationTree->ownersNode);
}

void MainWindow::onCatalogViewDoubleClicked()
{
    NavigationNode* selected = navigationTree->selectedNode();
    const QModelIndex current = catalogView->currentIndex();
    if (selected == nullptr || catalogView->selectionModel() == nullptr
        || !catalogView->selectionModel()->hasSelection()) {
        return;
    }
    // The first selected row in the list's order.
    int first = -1;
    for (const QModelIndex& index : catalogView->selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) {
            first = index.row();
        }
    }
    if (first < 0) {
        first = current.row();
    }
    ItemRef row;
    if (!g_catalogList->rowItem(first, row)) {
        return; // a file row opens nothing
    }
    if (!selected->isExpanded()) {
        selected->setExpanded(true);
    }
    for (int i = 0; i < selected->childCount(); ++i) {
        const ItemRef& child = selected->childNode(i)->item;
        if (child.kind == row.kind && child.ref == row.ref && child.offset == row.offset) {
            navigationTree->selectNode(selected->childNode(i));
            return;
        }
    }
}

void MainWindow::navigateBack()
{
    NavigationNode* selected = navigationTree->selectedNode();
    if (selected != nullptr && selected->parentNode() != nullptr) {
        navigationTree->selectNode(selected->parentNode());
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void MainWindow::refresh() { refreshTree(); }

void MainWindow::showAbout()
{
    AboutDialog about(this);
    about.exec();
}

void MainWindow::configure()
{
    SettingsDialog config(this);
    // The list's rows and the remembered item stand for filesets the registry is about to release.
    connect(&config, &SettingsDialog::registryReloading, this, [this] { forgetRegistryObjects(); });
    if (config.exec() != QDialog::Accepted) {
        return;
    }
    try {
        refreshTree();
    } catch (...) {
        // The tree shows what could be loaded; Refresh Tree reports what went wrong.
    }
    reportLoadErrors();
}

void MainWindow::forgetRegistryObjects()
{
    // The list's rows and the remembered item stand for owners and filesets about to be released.
    g_catalogList->clear();
    currentItem = ItemRef();
}

void MainWindow::runCompanionProgram(const CompanionProgram& program)
{
    g_filesetRegistry->closeAll();
    const QString folder = settings().stringValue(FilesetFolderSetting);
    runProgram(companionProgramPath(program), QString(), { QStringLiteral("-ktbdir"), folder });
}

void MainWindow::openStatistics() { runCompanionProgram(StatisticsProgram); }

void MainWindow::openExport() { runCompanionProgram(ExportProgram); }

void MainWindow::openCompare() { runCompanionProgram(CompareProgram); }

void MainWindow::newSearch()
{
    showPanel(searchPanel);
    lastResultsLabel->setVisible(g_catalogSearch != nullptr && g_catalogSearch->hasResults());
    auto* chooser = static_cast<FilesetChooser*>(searchScopeChooser);
    fillFilesetChooser(chooser, true);
    const int stored
        = chooser->findText(settings().stringValue(SearchAtSetting), Qt::MatchExactly | Qt::MatchCaseSensitive);
    chooser->setCurrentIndex(stored >= 0 ? stored : 0);
    searchPanel->setFocus();
    searchEdit->setFocus();
    searchEdit->selectAll();
}

void MainWindow::viewLastResults()
{
    if (g_catalogSearch != nullptr && g_catalogSearch->hasResults()) {
        showPanel(resultsPanel);
        return;
    }
    newSearch();
}
