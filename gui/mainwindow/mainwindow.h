#pragma once
// The main window: menu bar and tool bar from the command table, the path bar, the navigation tree,
// and the three right-hand panels (list view, search panel, search results).

#include "core/filesets/entitylist.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class TKTBFile;
class QTreeView;
class QTreeWidgetItem;
class TNavigationTree;
class TSearchHelper;
class TTreeNode;

/// One command of the window: what the menu bar and the tool bar are made from.
struct TCommand {
    const char* Name; ///< the action's object name ("act_scandisc")
    const char* Caption;
    const char* Category; ///< "File", "Edit", "Tools", "Help"
    QKeySequence Shortcut;
    int Image; ///< index into img_Small, -1 for none
    const char* Hint;
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    /// The command table, in the order of the table.
    static const QList<TCommand>& Commands();

    // Start-up and panels.
    void FormShow();
    void FormClose();
    void RefreshTree();
    void RefreshOwnersBranch();
    void ShowPanel(QWidget* panel);
    QWidget* CurrentPanel() const { return m_currentPanel; }

    // Tree, path box and list.
    void TreeView1Change(TTreeNode* node);
    void Button2Click(); ///< Go
    void lvDblClick();
    void lvNavigateBack();

    // Commands of this window.
    void act_refreshtreeExecute();
    void act_aboutExecute();
    /// Opens the settings window; after OK rebuilds the tree (a failure of that rebuild is ignored).
    void act_configExecute();
    void Action1Execute(); ///< Statistics..
    void Action2Execute(); ///< Export..
    void Action3Execute(); ///< Compare..
    /// Starts a companion program on the storage folder.
    void RunSiblingTool(const QString& fileName);

    // Search panel (filled in by the search commands).
    void Act_SearchExecute();
    void act_resultsExecute();

    // Editing commands (FUMainEdit.cpp): rename in place, delete, moves by drag and drop.
    void act_RenameExecute();
    void act_deleteExecute();
    /// Whether a node's label may be edited: owners, filesets and discs only.
    bool TreeView1Editing(TTreeNode* node) const;
    /// A node's label edit was accepted: renames the item, then selects the node; text becomes what the
    /// node shows.
    void TreeView1Edited(TTreeNode* node, QString& text);
    /// Starts editing a node's label when TreeView1Editing allows it; answers whether it started.
    bool EditNodeLabel(TTreeNode* node);
    /// Whether a row's caption may be edited: the first selected record is an owner, fileset or disc.
    bool lvEditing(int row) const;
    void lvEdited(int row, const QString& text);
    /// Applies a new name to an owner, fileset or disc; answers whether it was applied.
    bool RenameItem(const QString& text, const TItemData& item);
    /// Asks the question for deleting one item; true on Yes.
    bool ConfirmDelete(const TItemData& item);
    void DeleteNode(TTreeNode* node);
    void DeleteListItems(const TItemDataArray& items);
    void DeleteItem(const TItemData& item, bool ask);
    /// Asks "Delete all selected items ?"; true on Yes.
    bool ConfirmDeleteAll();
    /// Whether the tree's selected node may be dropped on target; source is where the drag started.
    bool TreeView1DragOver(const QObject* source, TTreeNode* target) const;
    /// Moves the tree's selected node (a fileset or a disc) to target, after asking.
    void TreeView1DragDrop(TTreeNode* target);
    /// A key pressed in the tree; answers whether it was handled.
    bool TreeView1KeyDown(int key);

    // Search panel (FUMainSearch.cpp).
    /// Binds the search engine to the two result lists (when the window is first shown).
    void AttachSearchLists();
    void Button1Click(); ///< Search
    void SearchProgress(TSearchHelper* sender);
    void ComboBoxEx1Change();
    void PageControl1Change(int index);
    void ListView1DblClick();
    void ListView2DblClick();
    bool ListView1KeyDown(int key);
    bool ListView2KeyDown(int key);

    // Pop-up menus and creation commands (FUMainPopups.cpp).
    /// The pop-up menu of a node kind (none for the search root and folders).
    QMenu* PopupMenuOf(TItemKind kind) const;
    void ShowPopupFor(TTreeNode* node, const QPoint& globalPosition);
    /// The right mouse button in the tree or the list, at a point of its viewport.
    void TreeView1MouseDown(const QPoint& position);
    void lvMouseDown(const QPoint& position);
    /// Rebuilds the drive items of popKTB.
    void popKTBPopup();
    void NewOwner();
    void NewFilesetForOwner(TTreeNode* node);
    void AddSymbolicDisc(TTreeNode* node);
    void AddDiscFromDrive(QAction* item);
    void act_propertiesExecute();
    void PropertiesFromTree();
    void PropertiesFromList();

    // Scanning and new filesets (FUMainScan.cpp).
    /// Opens the scan window, or offers to create a fileset when there is none.
    void act_scandiscExecute();
    /// Opens the new fileset window; after OK rebuilds the tree.
    void act_newfilesetExecute();

    QMenu* PopRoot = nullptr;
    QMenu* popOwner = nullptr;
    QMenu* popKTB = nullptr;
    QMenu* popDisc = nullptr;
    QMenu* popSearch = nullptr; ///< the search panel's own menu

    QAction* action(const char* name) const;

    // Controls, named as the window's design names them.
    QLineEdit* Edit1 = nullptr; ///< the path box
    QPushButton* Button2 = nullptr; ///< "Go"
    TNavigationTree* TreeView1 = nullptr;
    QTreeView* lv = nullptr;
    QWidget* P_search = nullptr;
    QWidget* P_SearchResults = nullptr;
    QLineEdit* Edit_Search = nullptr;
    QPushButton* Button1 = nullptr; ///< "Search"
    QComboBox* ComboBoxEx1 = nullptr;
    QLabel* Label7 = nullptr; ///< "View Last Results"
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* lab_result1 = nullptr;
    QLabel* Lab_result2 = nullptr;
    QPushButton* Button3 = nullptr; ///< "New Search"
    QTabWidget* PageControl1 = nullptr;
    QTreeView* ListView1 = nullptr; ///< disc matches
    QTreeView* ListView2 = nullptr; ///< file matches
    QSplitter* Splitter1 = nullptr;

    /// What the tree node last selected or right-clicked stands for.
    TItemData CurrentItem;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

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
    void selectAndShow(TTreeNode* node);
    /// Deletes a fileset from the registry and renames its file to ".bak".
    void deleteFileset(TKTBFile* fileset);
    /// Moves the tree's selected fileset node under an owner node / a disc node to a fileset node.
    void moveFilesetNode(TTreeNode* dragged, TTreeNode* target);
    void moveDiscNode(TTreeNode* dragged, TTreeNode* target);
    /// The node of the tree's selected node or of one of its children that stands for item, or null.
    TTreeNode* nodeForItem(const TItemData& item) const;
    /// The node a creation command acts on: the tree's selected node, or, with the list focused on a
    /// row of that kind, the row's node (selected first).
    TTreeNode* commandNode(TItemKind kind);
    void updateResultsCommand();

    QPointer<QWidget> m_currentPanel;
    /// Set while Rename opens the list's editor: rows are editable only then.
    bool m_startingListEdit = false;
    QWidget* m_rightArea = nullptr;
    bool m_shown = false;
};

/// The process-wide main window while it exists.
extern TForm1* Form1;
