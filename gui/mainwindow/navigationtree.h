#pragma once
// The navigation tree: owners, their filesets, each fileset's discs and each disc's folders, filled
// lazily one level ahead of what is shown; the path text that names a node and the lookup back.

#include "engine/ktbdef.h"
#include "gui/mainwindow/navigationnode.h"

#include <QString>
#include <QTreeWidget>
#include <cstdint>

/// The tree control with its two roots.
class NavigationTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit NavigationTree(QWidget* parent = nullptr);

    NavigationNode* ownersNode = nullptr;
    NavigationNode* searchNode = nullptr;

    NavigationNode* selectedNode() const;
    void selectNode(NavigationNode* node);
    /// The node under a point of the viewport, or null.
    NavigationNode* nodeAt(const QPoint& point) const;

    /// Suspends or resumes redrawing (nested calls count).
    void beginUpdate();
    void endUpdate();

private:
    void handleExpanded(QTreeWidgetItem* item);
    void handleCollapsed(QTreeWidgetItem* item);
    int m_updateDepth = 0;
};

/// Creates the two roots or empties them; answers the owners node.
NavigationNode* fillRoots(NavigationTree* tree);
/// Rebuilds the children of node and of its descendants down to depth further levels.
void fillNode(NavigationTree* tree, NavigationNode* node, int depth);
void addOwnerNodes(NavigationTree* tree, NavigationNode* node);
void addFilesetNodes(NavigationTree* tree, NavigationNode* node);
void addDiscNodes(NavigationTree* tree, NavigationNode* node);
/// Adds one child per direct sub-folder; raises CatalogError when the walk fails.
void addFolderNodes(NavigationTree* tree, NavigationNode* node);
/// Brings the disc children of a fileset node up to date after discs were moved or deleted.
void refreshDiscs(NavigationTree* tree, NavigationNode* filesetNode);
/// Fills the children of an expanding node one level ahead; catalog errors are shown as "KTB Error!".
void expandNodeLazily(NavigationTree* tree, NavigationNode* node);
NavigationNode* findChildByOffset(NavigationNode* node, std::uint32_t offset);
/// The first child whose text equals name ignoring ASCII letter case.
NavigationNode* findChildByText(NavigationNode* node, const QString& name);
/// "[Root]", "[Search]", or the texts from the owner down to the node each followed by "\".
QString nodePath(NavigationTree* tree, NavigationNode* node);
/// The node a path names (the deepest matching one), or null.
NavigationNode* findNodeByPath(NavigationTree* tree, const QString& path);
/// The text of a disc title or a folder name as shown.
QString entityText(const TKTBEntity* entity);
