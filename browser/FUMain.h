#pragma once
// The main window: menu bar and tool bar from the command table, the path bar, the navigation tree,
// and the three right-hand panels (list view, search panel, search results).

#include "filesets/UEntity.h"

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
class QTreeView;
class QTreeWidgetItem;
class TNavigationTree;
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
    void Action1Execute(); ///< Statistics..
    void Action2Execute(); ///< Export..
    void Action3Execute(); ///< Compare..
    /// Starts a companion program on the storage folder.
    void RunSiblingTool(const QString& fileName);

    // Search panel (filled in by the search commands).
    void Act_SearchExecute();
    void act_resultsExecute();

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

    QPointer<QWidget> m_currentPanel;
    QWidget* m_rightArea = nullptr;
    bool m_shown = false;
};

/// The process-wide main window while it exists.
extern TForm1* Form1;
