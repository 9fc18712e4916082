#include "gui/mainwindow/navigationtree.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "gui/common/appicons.h"

#include <QHeaderView>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// Nodes

TTreeNode::TTreeNode(const QString& text, TItemKind kind)
{
    setText(0, text);
    Data.Kind = kind;
}

bool TTreeNode::operator<(const QTreeWidgetItem& other) const
{
    return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
}

TKTBFile* TTreeNode::fileset() const
{
    switch (Data.Kind) {
    case ikFileset:
    case ikDisc:
    case ikFolder:
        return static_cast<TKTBFile*>(Data.Ref);
    default:
        return nullptr;
    }
}

int TTreeNode::imageIndex() const
{
    if (Data.Kind == ikFolder) {
        return isExpanded() ? imgFolderOpen : imgFolderClosed;
    }
    if (Data.Kind == ikDisc && (Data.Flags & KTB_DISC_AUDIO) != 0) {
        return imgAudioDisc;
    }
    return Data.Kind;
}

int TTreeNode::selectedImageIndex() const
{
    if (Data.Kind == ikFolder) {
        return imgFolderOpen;
    }
    if (Data.Kind == ikDisc && (Data.Flags & KTB_DISC_AUDIO) != 0) {
        return imgAudioDisc;
    }
    return Data.Kind;
}

void TTreeNode::updateImages()
{
    const int normal = imageIndex();
    const int selected = selectedImageIndex();
    const TImageList& images = SmallImages();
    QIcon icon;
    for (const QSize size : { QSize(16, 16), QSize(32, 32) }) {
        icon.addPixmap(images.Icon(normal).pixmap(size), QIcon::Normal);
        icon.addPixmap(images.Icon(selected).pixmap(size), QIcon::Selected);
    }
    setIcon(0, icon);
}

// ---------------------------------------------------------------------------------------------
// The tree control

TNavigationTree::TNavigationTree(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    header()->hide();
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection stays visible when the tree loses the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(
        QPalette::Inactive, QPalette::HighlightedText, colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    connect(this, &QTreeWidget::itemExpanded, this, &TNavigationTree::handleExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TNavigationTree::handleCollapsed);
}

TTreeNode* TNavigationTree::selectedNode() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : static_cast<TTreeNode*>(items.first());
}

void TNavigationTree::selectNode(TTreeNode* node)
{
    if (node == nullptr) {
        return;
    }
    setCurrentItem(node);
    node->setSelected(true);
    scrollToItem(node);
}

TTreeNode* TNavigationTree::nodeAt(const QPoint& point) const { return static_cast<TTreeNode*>(itemAt(point)); }

void TNavigationTree::beginUpdate()
{
    if (m_updateDepth++ == 0) {
        setUpdatesEnabled(false);
    }
}

void TNavigationTree::endUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0) {
        setUpdatesEnabled(true);
    }
}

void TNavigationTree::handleExpanded(QTreeWidgetItem* item)
{
    auto* node = static_cast<TTreeNode*>(item);
    node->updateImages();
    RunGuarded([&] { ExpandNodeLazily(this, node); });
}

void TNavigationTree::handleCollapsed(QTreeWidgetItem* item) { static_cast<TTreeNode*>(item)->updateImages(); }

// ---------------------------------------------------------------------------------------------
// Filling

namespace {

TTreeNode* addChild(TTreeNode* parent, const QString& text, TItemKind kind)
{
    auto* node = new TTreeNode(text, kind);
    parent->addChild(node);
    return node;
}

// What a disc node stands for: the disc at its offset in the fileset, and its audio flag.
void describeDisc(TTreeNode* child, const TKTBEntity* entity, TKTBFile* fileset)
{
    child->Data.Kind = ikDisc;
    child->Data.Offset = entity->Offset;
    child->Data.Ref = fileset;
    child->Data.Flags = entity->disc()->Flags;
    child->updateImages();
}

void deleteChildren(TTreeNode* node)
{
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

} // namespace

QString EntityText(const TKTBEntity* entity)
{
    if (const TKTBDisc* disc = entity->disc()) {
        return decodeCatalogText(ktbFieldText(disc->Title, sizeof disc->Title));
    }
    return decodeCatalogText(entity->name());
}

TTreeNode* FillRoots(TNavigationTree* tree)
{
    if (tree->OwnersNode != nullptr) {
        deleteChildren(tree->OwnersNode);
    } else {
        tree->OwnersNode = new TTreeNode(QStringLiteral("Owners"), ikOwners);
        tree->addTopLevelItem(tree->OwnersNode);
        tree->OwnersNode->updateImages();
    }
    if (tree->SearchNode != nullptr) {
        deleteChildren(tree->SearchNode);
    } else {
        tree->SearchNode = new TTreeNode(QStringLiteral("Search"), ikSearch);
        tree->addTopLevelItem(tree->SearchNode);
        tree->SearchNode->updateImages();
    }
    return tree->OwnersNode;
}

void FillNode(TNavigationTree* tree, TTreeNode* node, int depth)
{
    if (node == nullptr) {
        return;
    }
    const bool expanded = node->isExpanded();
    tree->beginUpdate();
    struct Resume {
        TNavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    deleteChildren(node);
    switch (node->Data.Kind) {
    case ikOwners:
        AddOwnerNodes(tree, node);
        break;
    case ikOwner:
        AddFilesetNodes(tree, node);
        break;
    case ikFileset:
        AddDiscNodes(tree, node);
        break;
    case ikDisc:
    case ikFolder:
        AddFolderNodes(tree, node);
        break;
    default:
        break;
    }
    if (depth > 0) {
        for (int i = 0; i < node->childCount(); ++i) {
            FillNode(tree, node->childNode(i), depth - 1);
        }
    }
    if (expanded) {
        // Expanding fills the new children one level ahead, as a user's expansion does. The view may
        // still count the node as expanded, in which case no expansion event would come.
        if (node->isExpanded()) {
            ExpandNodeLazily(tree, node);
        } else {
            node->setExpanded(true);
        }
    }
}

void AddOwnerNodes(TNavigationTree* /*tree*/, TTreeNode* node)
{
    if (OwnerList == nullptr) {
        return;
    }
    for (int i = 0; i < OwnerList->Count(); ++i) {
        TKTBOwner* owner = OwnerList->Items(i);
        TTreeNode* child = addChild(node, owner->Name, ikOwner);
        child->Data.Ref = owner;
        child->updateImages();
    }
}

void AddFilesetNodes(TNavigationTree* /*tree*/, TTreeNode* node)
{
    auto* owner = static_cast<TKTBOwner*>(node->Data.Ref);
    if (owner == nullptr) {
        return;
    }
    for (int i = 0; i < owner->Count(); ++i) {
        TKTBFile* fileset = owner->Items(i);
        TTreeNode* child = addChild(node, fileset->GetDescription(), ikFileset);
        child->Data.Ref = fileset;
        child->updateImages();
    }
}

void AddDiscNodes(TNavigationTree* /*tree*/, TTreeNode* node)
{
    TKTBFile* fileset = node->fileset();
    if (fileset == nullptr) {
        return;
    }
    TKTBCursor* cursor = ktbFindFirstAll(fileset->Handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES);
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        describeDisc(addChild(node, EntityText(entity), ikDisc), entity, fileset);
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
}

void AddFolderNodes(TNavigationTree* /*tree*/, TTreeNode* node)
{
    TKTBFile* fileset = node->fileset();
    if (fileset == nullptr) {
        return;
    }
    TKTBERROR outcome = KTB_OK;
    TKTBCursor* cursor = ktbFindFirst(
        fileset->Handle(), KTB_FIND_NODISCS | KTB_FIND_NOFILES | KTB_FIND_CHILDREN, node->Data.Offset, nullptr);
    if (cursor == nullptr) {
        outcome = ktbLastError();
    }
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        TTreeNode* child = addChild(node, EntityText(entity), ikFolder);
        child->Data.Offset = entity->Offset;
        child->Data.Ref = fileset;
        child->updateImages();
        outcome = ktbFindNext(cursor);
        if (outcome != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    if (outcome != KTB_OK && outcome != KTB_NOENTITIES) {
        throw EKTBException(outcome, fileset->FileName);
    }
}

void RefreshDiscs(TNavigationTree* tree, TTreeNode* filesetNode)
{
    TKTBFile* fileset = filesetNode->fileset();
    if (fileset == nullptr) {
        return;
    }
    tree->beginUpdate();
    struct Resume {
        TNavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    TKTBHandle* handle = fileset->Handle();
    // Offsets move down when a disc before them is removed: keep only nodes whose offset still holds a
    // disc of the same title.
    for (int i = filesetNode->childCount() - 1; i >= 0; --i) {
        TTreeNode* child = filesetNode->childNode(i);
        TKTBDisc disc {};
        const bool same = ktbReadDisc(handle, child->Data.Offset, disc)
            && decodeCatalogText(ktbFieldText(disc.Title, sizeof disc.Title)) == child->text(0);
        if (!same) {
            delete filesetNode->takeChild(i);
        }
    }
    TKTBCursor* cursor = ktbFindFirstAll(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES);
    std::vector<TTreeNode*> added;
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        TTreeNode* child = FindChildByOffset(filesetNode, entity->Offset);
        if (child == nullptr) {
            child = addChild(filesetNode, EntityText(entity), ikDisc);
            added.push_back(child);
        }
        describeDisc(child, entity, fileset);
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    for (TTreeNode* child : added) {
        AddFolderNodes(tree, child);
    }
    filesetNode->sortChildren(0, Qt::AscendingOrder);
}

void ExpandNodeLazily(TNavigationTree* tree, TTreeNode* node)
{
    tree->beginUpdate();
    struct Resume {
        TNavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    try {
        for (int i = 0; i < node->childCount(); ++i) {
            FillNode(tree, node->childNode(i), 0);
        }
    } catch (const EKTBException& failure) {
        questions().messageBox(failure.message(), QStringLiteral("KTB Error!"), TMsgIcon::Error, mbOK, true);
    }
    node->sortChildren(0, Qt::AscendingOrder);
}

TTreeNode* FindChildByOffset(TTreeNode* node, std::uint32_t offset)
{
    if (node == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->childNode(i)->Data.Offset == offset) {
            return node->childNode(i);
        }
    }
    return nullptr;
}

TTreeNode* FindChildByText(TTreeNode* node, const QString& name)
{
    if (node == nullptr) {
        return nullptr;
    }
    const QString wanted = upperAscii(name);
    for (int i = 0; i < node->childCount(); ++i) {
        if (upperAscii(node->childNode(i)->text(0)) == wanted) {
            return node->childNode(i);
        }
    }
    return nullptr;
}

QString NodePath(TNavigationTree* /*tree*/, TTreeNode* node)
{
    if (node == nullptr) {
        return {};
    }
    if (node->Data.Kind == ikOwners) {
        return QStringLiteral("[Root]");
    }
    if (node->Data.Kind == ikSearch) {
        return QStringLiteral("[Search]");
    }
    QString path;
    for (TTreeNode* current = node; current != nullptr; current = current->parentNode()) {
        const TItemKind kind = current->Data.Kind;
        if (kind != ikOwner && kind != ikFileset && kind != ikDisc && kind != ikFolder) {
            break;
        }
        path.prepend(current->text(0) + QLatin1Char('\\'));
    }
    return path;
}

TTreeNode* FindNodeByPath(TNavigationTree* tree, const QString& path)
{
    const QString lower = path.toLower();
    if (lower == QStringLiteral("[root]")) {
        return tree->OwnersNode;
    }
    if (lower == QStringLiteral("[search]")) {
        return tree->SearchNode;
    }
    if (tree->OwnersNode == nullptr) {
        return nullptr;
    }
    QString rest = path;
    if (!rest.endsWith(QLatin1Char('\\'))) {
        rest += QLatin1Char('\\');
    }
    TTreeNode* current = tree->OwnersNode;
    while (!rest.isEmpty()) {
        const qsizetype split = rest.indexOf(QLatin1Char('\\'));
        const QString component = rest.left(split);
        rest = rest.mid(split + 1).left(255);
        if (!current->isExpanded()) {
            current->setExpanded(true);
        }
        TTreeNode* child = FindChildByText(current, component);
        if (child == nullptr) {
            break;
        }
        current = child;
    }
    if (current == tree->OwnersNode) {
        return nullptr;
    }
    current->setExpanded(false);
    return current;
}
