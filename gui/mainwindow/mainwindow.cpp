#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"
#include "gui/common/appicons.h"
#include "gui/common/filesetchooser.h"
#include "gui/dialogs/aboutdialog.h"
#include "gui/dialogs/settingsdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/navigationtree.h"
#include "platform/configfolder.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

TForm1* Form1 = nullptr;

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

const QList<TCommand>& TForm1::Commands()
{
    static const QList<TCommand> commands = {
        { "Act_Search", "New Search", "Edit", QKeySequence(Qt::Key_F3), imgMagnifier, "" },
        { "act_results", "View Results", "Edit", QKeySequence(Qt::Key_F4), imgMagnifier, "" },
        { "act_Rename", "Rename", "Edit", QKeySequence(Qt::Key_F2), -1, "" },
        { "act_delete", "Delete", "Edit", QKeySequence(), -1, "" },
        { "act_properties", "Properties", "Edit", QKeySequence(), -1, "" },
        { "act_refreshtree", "Refresh Tree", "Edit", QKeySequence(Qt::Key_F5), -1, "" },
        { "act_scandisc", "Scan Disc", "Tools", QKeySequence(Qt::Key_F6), imgDataDisc, "" },
        { "act_newfileset", "New Fileset", "File", QKeySequence(Qt::Key_F7), imgFileset, "" },
        { "act_config", "Configure", "Tools", QKeySequence(Qt::Key_F11), imgTools, "" },
        { "act_about", "About", "Help", QKeySequence(), -1, "" },
        { "FileExit1", "E&xit", "File", QKeySequence(), imgAudioDisc, "Exit|Quits the application" },
        { "Action1", "Statistics..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_S), -1, "" },
        { "Action2", "Export..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_E), -1, "" },
        { "Action3", "Compare..", "Tools", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_C), -1, "" },
    };
    return commands;
}

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
{
    Form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Katalox"));
    SmallImages(); // registers the program's images
    setWindowIcon(QIcon(QStringLiteral(":/icons/katalox.svg")));
    setMinimumSize(420, 240);
    move(256, 178);
    resize(579, 373);
    buildCommands();
    buildLayout();
    connectControls();
    connectEditing();
    connectSearch();
    connectPopups();
    connectScan();
}

TForm1::~TForm1()
{
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

QAction* TForm1::action(const char* name) const
{
    return findChild<QAction*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void TForm1::buildCommands()
{
    const TImageList& images = SmallImages();
    for (const TCommand& command : Commands()) {
        auto* act = new QAction(QString::fromUtf8(command.Caption), this);
        act->setObjectName(QString::fromLatin1(command.Name));
        act->setProperty("Category", QString::fromLatin1(command.Category));
        act->setShortcut(command.Shortcut);
        act->setShortcutContext(Qt::WindowShortcut);
        if (command.Image >= 0) {
            act->setIcon(images.Icon(command.Image));
        }
        const QString hint = QString::fromUtf8(command.Hint);
        if (!hint.isEmpty()) {
            // "short|long": the short part is the tool tip, the long part the status line text.
            act->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
            act->setStatusTip(hint.section(QLatin1Char('|'), 1));
        }
        addAction(act);
    }
    action("act_results")->setEnabled(false);

    auto addMenu = [this](const QString& title, std::initializer_list<const char*> names) {
        QMenu* menu = menuBar()->addMenu(title);
        for (const char* name : names) {
            menu->addAction(action(name));
        }
        return menu;
    };
    addMenu(QStringLiteral("&File"), { "act_newfileset", "FileExit1" });
    addMenu(QStringLiteral("&Edit"),
        { "Act_Search", "act_results", "act_Rename", "act_delete", "act_properties", "act_refreshtree" });
    addMenu(QStringLiteral("&Tools"), { "act_scandisc", "Action1", "Action3", "Action2", "act_config" });
    addMenu(QStringLiteral("&Help"), { "act_about" });

    // The tool bar's buttons have captions of their own and run the commands.
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setIconSize(QSize(16, 16));
    const std::pair<const char*, const char*> buttons[] = {
        { "&Search", "Act_Search" },
        { "S&can Disc", "act_scandisc" },
        { "C&onfigure", "act_config" },
        { "&New Fileset", "act_newfileset" },
    };
    for (const auto& [caption, name] : buttons) {
        QAction* command = action(name);
        QAction* button = bar->addAction(command->icon(), QString::fromUtf8(caption));
        button->setObjectName(QStringLiteral("tb_") + QString::fromLatin1(name));
        connect(button, &QAction::triggered, command, &QAction::trigger);
        connect(command, &QAction::enabledChanged, button, &QAction::setEnabled);
    }
}

QWidget* TForm1::buildSearchPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("P_search"));
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
    Edit_Search = new QLineEdit(QStringLiteral("wav"), panel);
    Edit_Search->setObjectName(QStringLiteral("Edit_Search"));
    Button1 = new QPushButton(QStringLiteral("Search"), panel);
    Button1->setObjectName(QStringLiteral("Button1"));
    searchRow->addWidget(Edit_Search, 1);
    searchRow->addWidget(Button1);
    layout->addLayout(searchRow);

    layout->addWidget(new QLabel(QStringLiteral("Filesets to search in:"), panel));
    auto* chooser = new TImageComboBox(panel);
    chooser->setObjectName(QStringLiteral("ComboBoxEx1"));
    ComboBoxEx1 = chooser;
    layout->addWidget(ComboBoxEx1);

    Label7 = new QLabel(QStringLiteral("<a href=\"results\">View Last Results</a>"), panel);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setTextFormat(Qt::RichText);
    Label7->setCursor(Qt::PointingHandCursor);
    layout->addWidget(Label7);
    layout->addStretch(1);

    ProgressBar1 = new QProgressBar(panel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setVisible(false);
    layout->addWidget(ProgressBar1);
    return panel;
}

QWidget* TForm1::buildResultsPanel()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("P_SearchResults"));
    auto* layout = new QVBoxLayout(panel);

    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    lab_result1 = new QLabel(QStringLiteral("Search Result"), panel);
    lab_result1->setObjectName(QStringLiteral("lab_result1"));
    lab_result1->setFont(boldFont(lab_result1));
    // Long summaries wrap instead of pushing the tree aside.
    lab_result1->setWordWrap(true);
    Lab_result2 = new QLabel(panel);
    Lab_result2->setObjectName(QStringLiteral("Lab_result2"));
    Lab_result2->setWordWrap(true);
    texts->addWidget(lab_result1);
    texts->addWidget(Lab_result2);
    top->addLayout(texts, 1);
    Button3 = new QPushButton(QStringLiteral("New Search"), panel);
    Button3->setObjectName(QStringLiteral("Button3"));
    top->addWidget(Button3, 0, Qt::AlignTop);
    layout->addLayout(top);

    PageControl1 = new QTabWidget(panel);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setDocumentMode(true);
    ListView1 = new QTreeView;
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView2 = new QTreeView;
    ListView2->setObjectName(QStringLiteral("ListView2"));
    for (QTreeView* view : { ListView1, ListView2 }) {
        setUpReportList(view);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    const TImageList& images = SmallImages();
    PageControl1->addTab(ListView1, images.Icon(imgDataDisc), QStringLiteral("Discs Matches "));
    PageControl1->addTab(ListView2, images.Icon(imgAudioDisc), QStringLiteral("File Matches"));
    PageControl1->setCurrentIndex(1);
    layout->addWidget(PageControl1, 1);
    return panel;
}

void TForm1::buildLayout()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);

    auto* pathBar = new QHBoxLayout;
    auto* pathLabel = new QLabel(QStringLiteral("Path"), central);
    Edit1 = new QLineEdit(central);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    pathLabel->setBuddy(Edit1);
    Button2 = new QPushButton(QStringLiteral("Go"), central);
    Button2->setObjectName(QStringLiteral("Button2"));
    pathBar->addWidget(pathLabel);
    pathBar->addWidget(Edit1, 1);
    pathBar->addWidget(Button2);
    layout->addLayout(pathBar);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    auto* navigation = new QWidget(Splitter1);
    auto* navigationLayout = new QVBoxLayout(navigation);
    navigationLayout->setContentsMargins(0, 0, 0, 0);
    navigationLayout->setSpacing(2);
    navigationLayout->addWidget(new QLabel(QStringLiteral("Navigation Tree"), navigation));
    TreeView1 = new TNavigationTree(navigation);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    navigationLayout->addWidget(TreeView1, 1);

    // The three right-hand panels fill the same area and overlap; ShowPanel shows one of them.
    m_rightArea = new QWidget(Splitter1);
    auto* stack = new QGridLayout(m_rightArea);
    stack->setContentsMargins(0, 0, 0, 0);
    lv = new QTreeView(m_rightArea);
    lv->setObjectName(QStringLiteral("lv"));
    setUpReportList(lv);
    lv->setEditTriggers(QAbstractItemView::EditKeyPressed);
    P_search = buildSearchPanel();
    P_SearchResults = buildResultsPanel();
    for (QWidget* panel : { static_cast<QWidget*>(lv), P_search, P_SearchResults }) {
        panel->setParent(m_rightArea);
        markPanel(panel);
        stack->addWidget(panel, 0, 0);
    }
    // Until a panel is chosen the list stands in front, empty, so the overlapping panels never show
    // through one another.
    P_search->setVisible(false);
    P_SearchResults->setVisible(false);
    Splitter1->addWidget(navigation);
    Splitter1->addWidget(m_rightArea);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({ 209, 370 });
    layout->addWidget(Splitter1, 1);
    setCentralWidget(central);
    statusBar()->setSizeGripEnabled(true);
}

void TForm1::connectControls()
{
    connect(action("act_refreshtree"), &QAction::triggered, this,
        [this] { RunGuarded([this] { act_refreshtreeExecute(); }); });
    connect(action("act_about"), &QAction::triggered, this, [this] { RunGuarded([this] { act_aboutExecute(); }); });
    connect(action("act_config"), &QAction::triggered, this, [this] { RunGuarded([this] { act_configExecute(); }); });
    connect(action("FileExit1"), &QAction::triggered, this, &QWidget::close);
    connect(action("Action1"), &QAction::triggered, this, [this] { RunGuarded([this] { Action1Execute(); }); });
    connect(action("Action2"), &QAction::triggered, this, [this] { RunGuarded([this] { Action2Execute(); }); });
    connect(action("Action3"), &QAction::triggered, this, [this] { RunGuarded([this] { Action3Execute(); }); });
    connect(action("Act_Search"), &QAction::triggered, this, [this] { RunGuarded([this] { Act_SearchExecute(); }); });
    connect(action("act_results"), &QAction::triggered, this, [this] { RunGuarded([this] { act_resultsExecute(); }); });
    connect(Label7, &QLabel::linkActivated, this, [this] { RunGuarded([this] { act_resultsExecute(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { RunGuarded([this] { Act_SearchExecute(); }); });

    connect(TreeView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        RunGuarded([this, current] { TreeView1Change(static_cast<TTreeNode*>(current)); });
    });
    connect(Button2, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button2Click(); }); });
    connect(Edit1, &QLineEdit::returnPressed, this, [this] {
        RunGuarded([this] { Button2Click(); });
        Edit1->selectAll();
    });
    connect(lv, &QTreeView::doubleClicked, this, [this] { RunGuarded([this] { lvDblClick(); }); });
    lv->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // While a caption is edited the keys go to the editor, not to the list.
    if (watched == lv && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            RunGuarded([this] { lvDblClick(); });
            return true;
        }
        if (key->key() == Qt::Key_Backspace) {
            RunGuarded([this] { lvNavigateBack(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        RunGuarded([this] { FormShow(); });
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    RunGuarded([this] { FormClose(); });
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Start-up, panels, shut-down

void TForm1::FormShow()
{
    ListHelper->Attach(lv);
    ListHelper->SetKind(ikFileset);
    ListHelper->SmallImages = &SmallImages();
    AttachSearchLists();
    TSettings& store = settings();
    if (QFileInfo::exists(store.FileName())) {
        FilesetList->AddFolder(store.GetStr(skFilesetFolder));
        OwnerList->Rebuild();
        const int left = store.GetInt(skLeft);
        const int width = store.GetInt(skWidth);
        const int top = store.GetInt(skTop);
        const int height = store.GetInt(skHeight);
        move(left, top);
        resize(width, height);
        RunGuarded([this] { RefreshTree(); });
        PageControl1->setCurrentIndex(store.GetInt(skSearchPage));
        Edit_Search->setText(store.GetStr(skSearchString));
    } else {
        store.SetStr(skFilesetFolder, QString::fromStdString(configFolder()) + QStringLiteral("Filesets/"));
        const QString lineEnd = QStringLiteral("\r\n");
        const QString text = QStringLiteral("Welcome to Katalox 3.1 Alpha 5") + lineEnd + lineEnd
            + QStringLiteral("You should create a new fileset (")
            + action("act_newfileset")->shortcut().toString(QKeySequence::NativeText)
            + QStringLiteral("), so you can store your CD-information.") + lineEnd
            + QStringLiteral("If you have filesets already, use the config window (")
            + action("act_config")->shortcut().toString(QKeySequence::NativeText)
            + QStringLiteral(") to set the path to your filesets!");
        questions().messageBox(text, QStringLiteral("Welcome"), TMsgIcon::None, mbOK);
        RunGuarded([this] { RefreshTree(); });
    }
    if (TreeView1->selectedNode() != nullptr && TreeView1->selectedNode() == TreeView1->SearchNode) {
        Edit_Search->selectAll();
    }
}

void TForm1::FormClose()
{
    TSettings& store = settings();
    if (store.GetBool(skStartLastPath)) {
        store.SetStr(skCurrentPath, Edit1->text());
    }
    store.SetInt(skLeft, x());
    store.SetInt(skWidth, width());
    store.SetInt(skTop, y());
    store.SetInt(skHeight, height());
}

void TForm1::RefreshTree()
{
    ListHelper->Clear();
    TreeView1->beginUpdate();
    // The start location is shown whatever happens while the tree is rebuilt.
    struct GoToStart {
        TForm1* window;
        ~GoToStart()
        {
            window->TreeView1->endUpdate();
            window->Edit1->setText(settings().GetStr(skCurrentPath));
            RunGuarded([this] { window->Button2Click(); });
        }
    } goToStart { this };
    FillRoots(TreeView1);
    RefreshOwnersBranch();
}

void TForm1::RefreshOwnersBranch()
{
    FillNode(TreeView1, TreeView1->OwnersNode, 1);
    TreeView1->OwnersNode->setExpanded(true);
}

void TForm1::ShowPanel(QWidget* panel)
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

void TForm1::TreeView1Change(TTreeNode* node)
{
    if (node == nullptr) {
        return;
    }
    Edit1->setText(NodePath(TreeView1, node));
    ShowPanel(lv);
    ListHelper->Fill(&node->Data);
    CurrentItem = node->Data;
    if (node == TreeView1->SearchNode) {
        Act_SearchExecute();
    }
}

void TForm1::Button2Click()
{
    TTreeNode* node = FindNodeByPath(TreeView1, Edit1->text());
    if (node == nullptr) {
        return;
    }
    TreeView1->selectNode(node);
    if (node == TreeView1->SearchNode) {
        Act_SearchExecute();
    }
}

void TForm1::lvDblClick()
{
    TTreeNode* selected = TreeView1->selectedNode();
    const QModelIndex current = lv->currentIndex();
    if (selected == nullptr || lv->selectionModel() == nullptr || !lv->selectionModel()->hasSelection()) {
        return;
    }
    // The first selected row in the list's order.
    int first = -1;
    for (const QModelIndex& index : lv->selectionModel()->selectedRows()) {
        if (first < 0 || index.row() < first) {
            first = index.row();
        }
    }
    if (first < 0) {
        first = current.row();
    }
    const QString caption = ListHelper->RowCaption(first);
    if (!selected->isExpanded()) {
        selected->setExpanded(true);
    }
    for (int i = 0; i < selected->childCount(); ++i) {
        if (selected->child(i)->text(0) == caption) {
            TreeView1->selectNode(selected->childNode(i));
            return;
        }
    }
}

void TForm1::lvNavigateBack()
{
    TTreeNode* selected = TreeView1->selectedNode();
    if (selected != nullptr && selected->parentNode() != nullptr) {
        TreeView1->selectNode(selected->parentNode());
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void TForm1::act_refreshtreeExecute() { RefreshTree(); }

void TForm1::act_aboutExecute()
{
    TAboutForm about(this);
    about.exec();
}

void TForm1::act_configExecute()
{
    TConfigForm config(this);
    // The list's rows and the remembered item stand for filesets the registry is about to release.
    connect(&config, &TConfigForm::registryReloading, this, [this] {
        ListHelper->Clear();
        CurrentItem = TItemData();
    });
    if (config.exec() != QDialog::Accepted) {
        return;
    }
    try {
        RefreshTree();
    } catch (...) {
        // The tree shows what could be loaded; Refresh Tree reports what went wrong.
    }
}

void TForm1::RunSiblingTool(const QString& fileName)
{
    FilesetList->CloseAll();
    const QString folder = settings().GetStr(skFilesetFolder);
    RunProgram(CompanionProgram(fileName), QString(), { QStringLiteral("-ktbdir"), folder });
}

void TForm1::Action1Execute() { RunSiblingTool(QStringLiteral("VAVuvedo.exe")); }

void TForm1::Action2Execute() { RunSiblingTool(QStringLiteral("KTBList.exe")); }

void TForm1::Action3Execute() { RunSiblingTool(QStringLiteral("KTBComp.exe")); }

void TForm1::Act_SearchExecute()
{
    ShowPanel(P_search);
    Label7->setVisible(SearchHelper != nullptr && SearchHelper->HasResults());
    auto* chooser = static_cast<TImageComboBox*>(ComboBoxEx1);
    FillFilesetChooser(chooser, true);
    const int stored = chooser->findText(settings().GetStr(skSearchAt), Qt::MatchExactly | Qt::MatchCaseSensitive);
    chooser->setCurrentIndex(stored >= 0 ? stored : 0);
    P_search->setFocus();
    Edit_Search->setFocus();
    Edit_Search->selectAll();
}

void TForm1::act_resultsExecute()
{
    if (SearchHelper != nullptr && SearchHelper->HasResults()) {
        ShowPanel(P_SearchResults);
        return;
    }
    Act_SearchExecute();
}
