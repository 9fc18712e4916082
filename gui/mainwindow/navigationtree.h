#pragma once
// The navigation tree: owners, their filesets, each fileset's discs and each disc's folders, filled
// lazily one level ahead of what is shown; the path text that names a node and the lookup back.

#include "engine/ktbdef.h"
#include "gui/mainwindow/navigationnode.h"

#include <QString>
#include <QTreeWidget>
#include <cstdint>
#include <vector>

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

    /// Makes the column as wide as the widest shown node (at least the view), so that long names scroll
    /// sideways instead of being cut.
    void fitColumn();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    /// fitColumn once the current event is handled (many nodes change at once).
    void scheduleFit();
    void handleExpanded(QTreeWidgetItem* item);
    void handleCollapsed(QTreeWidgetItem* item);
    int m_updateDepth = 0;
    bool m_fitScheduled = false;
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
/// Where a node stands, by identity rather than by text: the owner and the fileset objects, the disc's
/// record (so the disc is found again after its offset changed) and each folder's place in its disc's
/// run. Two discs with the same title, or two filesets with the same description, are told apart.
struct NodePlace {
    std::vector<ItemRef> trail; ///< from the owner down to the node
    bool knowsDisc = false; ///< disc is the record of the trail's disc; else the disc is found by offset
    TKTBDisc disc {};
};

/// The place of a node; empty for the roots and no node.
NodePlace placeOf(NavigationNode* node);
/// The place of a disc, folder or file record of a fileset: the disc's offset, then the enclosing
/// folders' offsets (a search result's ancestors), found by offset.
NodePlace placeOfRecord(Fileset* fileset, const std::vector<std::uint32_t>& ancestors);
/// The node of a place, expanding the nodes on the way; the deepest one found, or null when not even
/// its owner is found.
NavigationNode* findNodeByPlace(NavigationTree* tree, const NodePlace& place);

/// The text of a disc title or a folder name as shown.
QString entityText(const TKTBEntity* entity);
