#pragma once
// The main window: menu bar and tool bar from the command table, the path bar, the navigation tree,
// and the three right-hand panels (list view, search panel, search results).

#include "core/filesets/itemref.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class Fileset;
class QTreeView;
class QTreeWidgetItem;
class NavigationTree;
class CatalogSearch;
class SearchFilterRow;
class SearchResultLists;
class NavigationNode;
struct CompanionProgram;
struct NodePlace;

/// One command of the window: what the menu bar and the tool bar are made from.
struct CommandSpec {
    const char* name; ///< the action's object name ("scanDiscAction")
    const char* caption;
    const char* category; ///< "File", "Edit", "Tools", "Help"
    QKeySequence shortcut;
    int image; ///< index into smallImages, -1 for none
    const char* hint;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The command table, in the order of the table.
    static const QList<CommandSpec>& commands();

    // Start-up and panels.
    void handleFirstShow();
    void handleClose();
    void refreshTree();
    void refreshOwnersBranch();
    void showPanel(QWidget* panel);
    QWidget* currentPanel() const { return m_currentPanel; }

    // Tree, path box and list.
    void onTreeNodeChanged(NavigationNode* node);
    void onGoClicked(); ///< Go
    /// A click on the tree's current node shows it in the list when the list shows something else.
    void onTreeNodeClicked(NavigationNode* node);
    /// Opens the node of the list's first selected row: the child of the tree's selected node that
    /// stands for the same owner, fileset, disc or folder (never another one with the same text).
    void onCatalogViewDoubleClicked();
    void navigateBack();

    // Commands of this window.
    void refresh();
    void showAbout();
    /// Opens the settings window; after OK rebuilds the tree (a failure of that rebuild is ignored).
    void configure();
    void openStatistics(); ///< Statistics..
    void openExport(); ///< Export..
    void openCompare(); ///< Compare..
    void openImport(); ///< File > Import... (mainwindowimport.cpp)
    /// Lets go of every owner and fileset object (the list's rows, the remembered item) before the
    /// registry reloads or the owners index is rebuilt.
    void forgetRegistryObjects();
    /// Closes every fileset and starts a companion program on the storage folder.
    void runCompanionProgram(const CompanionProgram& program);

    // Search panel (filled in by the search commands).
    void newSearch();
    void viewLastResults();

    // Editing commands (FUMainEdit.cpp): rename in place, delete, moves by drag and drop.
    void rename();
    void deleteSelection();
    /// Whether a node's label may be edited: owners, filesets and discs only.
    bool canEditNodeLabel(NavigationNode* node) const;
    /// A node's label edit was accepted: renames the item, then selects the node; text becomes what the
    /// node shows.
    void onNodeLabelEdited(NavigationNode* node, QString& text);
    /// Starts editing a node's label when canEditNodeLabel allows it; answers whether it started.
    bool editNodeLabel(NavigationNode* node);
    /// Whether a row's caption may be edited: the first selected record is an owner, fileset or disc.
    bool canEditRowCaption(int row) const;
    void onRowCaptionEdited(int row, const QString& text);
    /// Applies a new name to an owner, fileset or disc; answers whether it was applied.
    bool renameItem(const QString& text, const ItemRef& item);
    /// Asks the question for deleting one item; true on Yes.
    bool confirmDelete(const ItemRef& item);
    void deleteNode(NavigationNode* node);
    void deleteListItems(const ItemRefs& items);
    void deleteItem(const ItemRef& item, bool ask);
    /// Asks "Delete all selected items ?"; true on Yes.
    bool confirmDeleteAll();
    /// Whether the tree's selected node may be dropped on target; source is where the drag started.
    bool canDropOnNode(const QObject* source, NavigationNode* target) const;
    /// Moves the tree's selected node (a fileset or a disc) to target, after asking.
    void dropOnNode(NavigationNode* target);
    /// A key pressed in the tree; answers whether it was handled.
    bool handleTreeKey(int key);

    /// The catalog of a fileset changed: a list showing its records is refilled (its discs) or emptied
    /// (a disc's or folder's contents, which the command that changed it shows again).
    void onFilesetChanged(Fileset* fileset);
    /// Shows, in one message, the catalog files the registry could not open since the last time.
    void reportLoadErrors();
    /// Selects the node of a place (the deepest that is still there) and shows it in the list.
    void returnTo(const NodePlace& place);
    /// The records of the list's selected rows when every one still names what the list showed;
    /// otherwise says so, shows the list again and answers false.
    bool currentListSelection(ItemRefs& items);
    /// Whether a change of these items must be refused because a fileset among them is opened
    /// read-only; says so when it must.
    bool refuseReadOnly(const ItemRefs& items);

    // Search panel (FUMainSearch.cpp).
    /// Binds the search engine to the two result lists (when the window is first shown).
    void attachSearchLists();
    void onSearchClicked(); ///< Search
    void onSearchProgress(CatalogSearch* sender);
    void onSearchScopeChanged();
    void onResultsTabChanged(int index);
    void onDiscResultDoubleClicked();
    void onFileResultDoubleClicked();
    /// The two summary lines of the results panel, from the search's counts as they are now.
    void updateSearchSummary();
    bool handleDiscResultsKey(int key);
    bool handleFileResultsKey(int key);

    // Pop-up menus and creation commands (FUMainPopups.cpp).
    /// The pop-up menu of a node kind (none for the search root and folders).
    QMenu* popupMenuOf(ItemKind kind) const;
    void showPopupFor(NavigationNode* node, const QPoint& globalPosition);
    /// The right mouse button in the tree or the list, at a point of its viewport.
    void handleTreeMousePress(const QPoint& position);
    void handleCatalogViewMousePress(const QPoint& position);
    /// Rebuilds the drive items of the fileset menu.
    void onFilesetMenuAboutToShow();
    void newOwner();
    void newFilesetForOwner(NavigationNode* node);
    void addSymbolicDisc(NavigationNode* node);
    void addDiscFromDrive(QAction* item);
    void showProperties();
    void showTreeProperties();
    void showListProperties();

    // Scanning and new filesets (mainwindowscan.cpp).
    /// Opens the scan window on the drive of the letter (the first drive for 0), or offers to create a
    /// fileset when there is none.
    void openScanWindow(char drive = 0);
    /// Opens the new fileset window; after OK rebuilds the tree.
    void newFileset();

    // The desktop (mainwindowdesktop.cpp).
    /// The first existing local file or folder among dropped URLs, as an absolute path; empty for none.
    static QString droppedPath(const QMimeData* data);
    /// A dropped catalog opens as by `katalox FILE`; a dropped image or folder becomes a virtual drive
    /// (or finds the one it is) and the scan window opens on it.
    void openDroppedPath(const QString& path);
    /// Shows a catalog file: registers it (a managed location unless it lies in the storage folder)
    /// when it is not known yet, and selects its node. Raises CatalogError when it cannot be opened.
    void openCatalogFile(const QString& path);
    /// openCatalogFile once the window is shown and no modal window is open; failures are shown.
    void openCatalogFileWhenFree(const QString& path);
    /// Brings the window to the front (a later start of the program without a file).
    void bringToFront();
    /// "Restore Deleted Fileset...": lists the ".bak" files of the storage folder and the managed
    /// locations and restores the one the user picks.
    void restoreDeletedFileset();
    /// Renames a ".bak" back to its name, or to one the user picks in a save dialog when that name is
    /// taken, and shows the restored fileset; answers whether it was restored.
    bool restoreFileset(const QString& backup);

    QMenu* rootMenu = nullptr;
    QMenu* ownerMenu = nullptr;
    QMenu* filesetMenu = nullptr;
    QMenu* discMenu = nullptr;
    QMenu* searchMenu = nullptr; ///< the search panel's own menu

    QAction* action(const char* name) const;

    // Controls, named as the window's design names them.
    QLineEdit* pathEdit = nullptr; ///< the path box
    QPushButton* goButton = nullptr; ///< "Go"
    NavigationTree* navigationTree = nullptr;
    QTreeView* catalogView = nullptr;
    QWidget* searchPanel = nullptr;
    QWidget* resultsPanel = nullptr;
    QLineEdit* searchEdit = nullptr;
    QPushButton* searchButton = nullptr; ///< "Search"
    QComboBox* searchScopeChooser = nullptr;
    QCheckBox* filtersCheck = nullptr; ///< shows the filter row
    SearchFilterRow* searchFilters = nullptr;
    QLabel* lastResultsLabel = nullptr; ///< "View Last Results"
    QProgressBar* searchProgressBar = nullptr;
    QLabel* discSummaryLabel = nullptr;
    QLabel* fileSummaryLabel = nullptr;
    QPushButton* newSearchButton = nullptr; ///< "New Search"
    QTabWidget* resultsTabs = nullptr;
    QTreeView* discResultsView = nullptr; ///< disc matches
    QTreeView* fileResultsView = nullptr; ///< file matches
    QSplitter* splitter = nullptr;
    /// The models of the two result lists and the selection of their views; made with the lists.
    SearchResultLists* searchResults = nullptr;

    /// The status bar's count and total size of the list, or of its selection.
    QLabel* listSummaryLabel = nullptr;
    /// Sets listSummaryLabel from the list's rows, or its selected rows when several are selected.
    void updateListSummary();

    /// What the tree node last selected or right-clicked stands for.
    ItemRef currentItem;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildCommands();
    void buildLayout();
    QWidget* buildSearchPanel();
    QWidget* buildResultsPanel();
    void connectControls();
    void connectEditing();
    void connectSearch();
    void connectPopups();
    void connectScan();
    /// Whether the tree or the list view is the control with the window's focus.
    bool treeFocused() const;
    bool listFocused() const;
    /// Selects node and shows it in the list, also when it is the current node already.
    void selectAndShow(NavigationNode* node);
    /// Deletes a fileset from the registry and renames its file to ".bak".
    void deleteFileset(Fileset* fileset);
    /// Moves the tree's selected fileset node under an owner node / a disc node to a fileset node.
    void moveFilesetNode(NavigationNode* dragged, NavigationNode* target);
    void moveDiscNode(NavigationNode* dragged, NavigationNode* target);
    /// The node of the tree's selected node or of one of its children that stands for item, or null.
    NavigationNode* nodeForItem(const ItemRef& item) const;
    /// The node a creation command acts on: the tree's selected node, or, with the list focused on a
    /// row of that kind, the row's node (selected first).
    NavigationNode* commandNode(ItemKind kind);
    void updateResultsCommand();
    /// The size of a first start: about 1000 x 700, within the screen, centred.
    void applyFirstSize();
    /// The splitter and the result lists' column widths as Settings.ini keeps them, and back.
    void restoreLayout();
    void saveLayout();
    void connectListSummary();

    QPointer<QWidget> m_currentPanel;
    /// Set while Rename opens the list's editor: rows are editable only then.
    bool m_startingListEdit = false;
    QWidget* m_rightArea = nullptr;
    bool m_shown = false;
};

/// The process-wide main window while it exists.
extern MainWindow* g_mainWindow;
