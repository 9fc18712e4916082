#pragma once
// The navigation tree: owners, their filesets, each fileset's discs and each disc's folders, filled
// lazily one level ahead of what is shown; the path text that names a node and the lookup back.

#include "core/filesets/entitylist.h"

#include <QString>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdint>

class TKTBFile;

/// A node of the tree and what it stands for.
class TTreeNode : public QTreeWidgetItem {
public:
    explicit TTreeNode(const QString& text, TItemKind kind);
    /// Siblings stand in alphabetical order ignoring letter case.
    bool operator<(const QTreeWidgetItem& other) const override;

    TTreeNode* parentNode() const { return static_cast<TTreeNode*>(parent()); }
    TTreeNode* childNode(int index) const { return static_cast<TTreeNode*>(child(index)); }
    TKTBFile* fileset() const;
    /// The image by the image rules: the kind, except 6 or 7 for a collapsed or expanded folder and 5
    /// for an audio disc.
    int imageIndex() const;
    /// The selected image: the kind, except 7 for every folder and 5 for an audio disc.
    int selectedImageIndex() const;
    /// Sets the normal and selected images by the image rules.
    void updateImages();

    TItemData Data;
};

/// The tree control with its two roots.
class TNavigationTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TNavigationTree(QWidget* parent = nullptr);

    TTreeNode* OwnersNode = nullptr;
    TTreeNode* SearchNode = nullptr;

    TTreeNode* selectedNode() const;
    void selectNode(TTreeNode* node);
    /// The node under a point of the viewport, or null.
    TTreeNode* nodeAt(const QPoint& point) const;

    /// Suspends or resumes redrawing (nested calls count).
    void beginUpdate();
    void endUpdate();

private:
    void handleExpanded(QTreeWidgetItem* item);
    void handleCollapsed(QTreeWidgetItem* item);
    int m_updateDepth = 0;
};

/// Creates the two roots or empties them; answers the OwnersNode.
TTreeNode* FillRoots(TNavigationTree* tree);
/// Rebuilds the children of node and of its descendants down to depth further levels.
void FillNode(TNavigationTree* tree, TTreeNode* node, int depth);
void AddOwnerNodes(TNavigationTree* tree, TTreeNode* node);
void AddFilesetNodes(TNavigationTree* tree, TTreeNode* node);
void AddDiscNodes(TNavigationTree* tree, TTreeNode* node);
/// Adds one child per direct sub-folder; raises EKTBException when the walk fails.
void AddFolderNodes(TNavigationTree* tree, TTreeNode* node);
/// Brings the disc children of a fileset node up to date after discs were moved or deleted.
void RefreshDiscs(TNavigationTree* tree, TTreeNode* filesetNode);
/// Fills the children of an expanding node one level ahead; catalog errors are shown as "KTB Error!".
void ExpandNodeLazily(TNavigationTree* tree, TTreeNode* node);
TTreeNode* FindChildByOffset(TTreeNode* node, std::uint32_t offset);
/// The first child whose text equals name ignoring ASCII letter case.
TTreeNode* FindChildByText(TTreeNode* node, const QString& name);
/// "[Root]", "[Search]", or the texts from the owner down to the node each followed by "\".
QString NodePath(TNavigationTree* tree, TTreeNode* node);
/// The node a path names (the deepest matching one), or null.
TTreeNode* FindNodeByPath(TNavigationTree* tree, const QString& path);
/// The text of a disc title or a folder name as shown.
QString EntityText(const TKTBEntity* entity);
