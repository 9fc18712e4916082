#include "gui/mainwindow/navigationtree.h"

#include "core/catalog/discidentity.h"
#include "core/common/questions.h"
#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/common/appicons.h"
#include "gui/common/errordisplay.h"

#include <QApplication>
#include <QHeaderView>
#include <QTimer>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// The tree control

NavigationTree::NavigationTree(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    header()->hide();
    setIconSize(QSize(16, 16));
    setUniformRowHeights(true);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    // No lines or expand buttons at the top level: the two roots stand as plain entries.
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // The selection stays visible when the tree loses the focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(
        QPalette::Inactive, QPalette::HighlightedText, colours.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(colours);
    connect(this, &QTreeWidget::itemExpanded, this, &NavigationTree::handleExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &NavigationTree::handleCollapsed);
    // Long names scroll sideways rather than being cut.
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QTreeWidget::itemExpanded, this, &NavigationTree::scheduleFit);
    connect(this, &QTreeWidget::itemCollapsed, this, &NavigationTree::scheduleFit);
    connect(this, &QTreeWidget::itemChanged, this, &NavigationTree::scheduleFit);
    connect(model(), &QAbstractItemModel::rowsInserted, this, &NavigationTree::scheduleFit);
    connect(model(), &QAbstractItemModel::rowsRemoved, this, &NavigationTree::scheduleFit);
}

void NavigationTree::scheduleFit()
{
    if (m_fitScheduled) {
        return;
    }
    m_fitScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_fitScheduled = false;
        fitColumn();
    });
}

void NavigationTree::fitColumn() { header()->resizeSection(0, std::max(viewport()->width(), sizeHintForColumn(0))); }

void NavigationTree::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    fitColumn();
}

NavigationNode* NavigationTree::selectedNode() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : static_cast<NavigationNode*>(items.first());
}

void NavigationTree::selectNode(NavigationNode* node)
{
    if (node == nullptr) {
        return;
    }
    setCurrentItem(node);
    node->setSelected(true);
    scrollToItem(node);
}

NavigationNode* NavigationTree::nodeAt(const QPoint& point) const
{
    return static_cast<NavigationNode*>(itemAt(point));
}

void NavigationTree::beginUpdate()
{
    if (m_updateDepth++ == 0) {
        setUpdatesEnabled(false);
    }
}

void NavigationTree::endUpdate()
{
    if (m_updateDepth > 0 && --m_updateDepth == 0) {
        setUpdatesEnabled(true);
    }
}

void NavigationTree::handleExpanded(QTreeWidgetItem* item)
{
    auto* node = static_cast<NavigationNode*>(item);
    node->updateImages();
    runGuarded([&] { expandNodeLazily(this, node); });
}

void NavigationTree::handleCollapsed(QTreeWidgetItem* item) { static_cast<NavigationNode*>(item)->updateImages(); }

// ---------------------------------------------------------------------------------------------
// Filling

namespace {

NavigationNode* addChild(NavigationNode* parent, const QString& text, ItemKind kind)
{
    auto* node = new NavigationNode(text, kind);
    parent->addChild(node);
    return node;
}

// What a disc node stands for: the disc at its offset in the fileset, and its audio flag.
void describeDisc(NavigationNode* child, const TKTBEntity* entity, Fileset* fileset)
{
    child->item.kind = DiscItem;
    child->item.offset = entity->Offset;
    child->item.ref = fileset;
    child->item.flags = entity->disc()->Flags;
    child->updateImages();
}

void deleteChildren(NavigationNode* node)
{
    const QList<QTreeWidgetItem*> children = node->takeChildren();
    qDeleteAll(children);
}

} // namespace

QString entityText(const TKTBEntity* entity)
{
    if (const TKTBDisc* disc = entity->disc()) {
        return decodeCatalogText(ktbFieldText(disc->Title, sizeof disc->Title));
    }
    return decodeCatalogText(entity->name());
}

NavigationNode* fillRoots(NavigationTree* tree)
{
    if (tree->ownersNode != nullptr) {
        deleteChildren(tree->ownersNode);
    } else {
        tree->ownersNode = new NavigationNode(QStringLiteral("Owners"), OwnersItem);
        tree->addTopLevelItem(tree->ownersNode);
        tree->ownersNode->updateImages();
    }
    if (tree->searchNode != nullptr) {
        deleteChildren(tree->searchNode);
    } else {
        tree->searchNode = new NavigationNode(QStringLiteral("Search"), SearchItem);
        tree->addTopLevelItem(tree->searchNode);
        tree->searchNode->updateImages();
    }
    return tree->ownersNode;
}

void fillNode(NavigationTree* tree, NavigationNode* node, int depth)
{
    if (node == nullptr) {
        return;
    }
    const bool expanded = node->isExpanded();
    tree->beginUpdate();
    struct Resume {
        NavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    deleteChildren(node);
    switch (node->item.kind) {
    case OwnersItem:
        addOwnerNodes(tree, node);
        break;
    case OwnerItem:
        addFilesetNodes(tree, node);
        break;
    case FilesetItem:
        addDiscNodes(tree, node);
        break;
    case DiscItem:
    case FolderItem:
        addFolderNodes(tree, node);
        break;
    default:
        break;
    }
    if (depth > 0) {
        for (int i = 0; i < node->childCount(); ++i) {
            fillNode(tree, node->childNode(i), depth - 1);
        }
    }
    if (expanded) {
        // Expanding fills the new children one level ahead, as a user's expansion does. The view may
        // still count the node as expanded, in which case no expansion event would come.
        if (node->isExpanded()) {
            expandNodeLazily(tree, node);
        } else {
            node->setExpanded(true);
        }
    }
}

void addOwnerNodes(NavigationTree* /*tree*/, NavigationNode* node)
{
    if (g_ownerIndex == nullptr) {
        return;
    }
    for (int i = 0; i < g_ownerIndex->count(); ++i) {
        Owner* owner = g_ownerIndex->at(i);
        NavigationNode* child = addChild(node, owner->name, OwnerItem);
        child->item.ref = owner;
        child->updateImages();
    }
}

void addFilesetNodes(NavigationTree* /*tree*/, NavigationNode* node)
{
    auto* owner = static_cast<Owner*>(node->item.ref);
    if (owner == nullptr) {
        return;
    }
    for (int i = 0; i < owner->count(); ++i) {
        Fileset* fileset = owner->at(i);
        NavigationNode* child = addChild(node, fileset->description(), FilesetItem);
        child->item.ref = fileset;
        child->updateImages();
        if (fileset->readOnly) {
            // Shown, and searched, but its file cannot be written: greyed, with the reason at hand.
            child->setForeground(0, QApplication::palette().color(QPalette::Disabled, QPalette::Text));
            child->setToolTip(0, QStringLiteral("Read-only: ") + fileset->fileName);
        }
    }
}

void addDiscNodes(NavigationTree* /*tree*/, NavigationNode* node)
{
    Fileset* fileset = node->fileset();
    if (fileset == nullptr) {
        return;
    }
    const KtbCursorPtr cursor(ktbFindFirstAll(fileset->handle(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        describeDisc(addChild(node, entityText(entity), DiscItem), entity, fileset);
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
}

void addFolderNodes(NavigationTree* /*tree*/, NavigationNode* node)
{
    Fileset* fileset = node->fileset();
    if (fileset == nullptr) {
        return;
    }
    TKTBERROR outcome = KTB_OK;
    const KtbCursorPtr cursor(ktbFindFirst(
        fileset->handle(), KTB_FIND_NODISCS | KTB_FIND_NOFILES | KTB_FIND_CHILDREN, node->item.offset, nullptr));
    if (cursor == nullptr) {
        outcome = ktbLastError();
    }
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        NavigationNode* child = addChild(node, entityText(entity), FolderItem);
        child->item.offset = entity->Offset;
        child->item.ref = fileset;
        child->updateImages();
        outcome = ktbFindNext(cursor.get());
        if (outcome != KTB_OK) {
            break;
        }
    }
    if (outcome != KTB_OK && outcome != KTB_NOENTITIES) {
        throw CatalogError(outcome, fileset->fileName);
    }
}

void refreshDiscs(NavigationTree* tree, NavigationNode* filesetNode)
{
    Fileset* fileset = filesetNode->fileset();
    if (fileset == nullptr) {
        return;
    }
    tree->beginUpdate();
    struct Resume {
        NavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    TKTBHandle* handle = fileset->handle();
    // Offsets move down when a disc before them is removed: keep only nodes whose offset still holds a
    // disc of the same title.
    for (int i = filesetNode->childCount() - 1; i >= 0; --i) {
        NavigationNode* child = filesetNode->childNode(i);
        TKTBDisc disc {};
        const bool same = ktbReadDisc(handle, child->item.offset, disc)
            && decodeCatalogText(ktbFieldText(disc.Title, sizeof disc.Title)) == child->text(0);
        if (!same) {
            delete filesetNode->takeChild(i);
        }
    }
    KtbCursorPtr cursor(ktbFindFirstAll(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    std::vector<NavigationNode*> added;
    while (cursor != nullptr) {
        const TKTBEntity* entity = cursor->Current;
        NavigationNode* child = findChildByOffset(filesetNode, entity->Offset);
        if (child == nullptr) {
            child = addChild(filesetNode, entityText(entity), DiscItem);
            added.push_back(child);
        }
        describeDisc(child, entity, fileset);
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
    cursor.reset(); // released before the folder nodes below walk with cursors of their own
    for (NavigationNode* child : added) {
        addFolderNodes(tree, child);
    }
    filesetNode->sortChildren(0, Qt::AscendingOrder);
}

void expandNodeLazily(NavigationTree* tree, NavigationNode* node)
{
    tree->beginUpdate();
    struct Resume {
        NavigationTree* tree;
        ~Resume() { tree->endUpdate(); }
    } resume { tree };
    try {
        for (int i = 0; i < node->childCount(); ++i) {
            fillNode(tree, node->childNode(i), 0);
        }
    } catch (const CatalogError& failure) {
        questions().messageBox(failure.message(), QStringLiteral("KTB Error!"), MessageIcon::Error, OkButton, true);
    }
    node->sortChildren(0, Qt::AscendingOrder);
}

NavigationNode* findChildByOffset(NavigationNode* node, std::uint32_t offset)
{
    if (node == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->childNode(i)->item.offset == offset) {
            return node->childNode(i);
        }
    }
    return nullptr;
}

NavigationNode* findChildByText(NavigationNode* node, const QString& name)
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

QString nodePath(NavigationTree* /*tree*/, NavigationNode* node)
{
    if (node == nullptr) {
        return {};
    }
    if (node->item.kind == OwnersItem) {
        return QStringLiteral("[Root]");
    }
    if (node->item.kind == SearchItem) {
        return QStringLiteral("[Search]");
    }
    QString path;
    for (NavigationNode* current = node; current != nullptr; current = current->parentNode()) {
        const ItemKind kind = current->item.kind;
        if (kind != OwnerItem && kind != FilesetItem && kind != DiscItem && kind != FolderItem) {
            break;
        }
        path.prepend(current->text(0) + QLatin1Char('\\'));
    }
    return path;
}

NavigationNode* findNodeByPath(NavigationTree* tree, const QString& path)
{
    const QString lower = path.toLower();
    if (lower == QStringLiteral("[root]")) {
        return tree->ownersNode;
    }
    if (lower == QStringLiteral("[search]")) {
        return tree->searchNode;
    }
    if (tree->ownersNode == nullptr) {
        return nullptr;
    }
    QString rest = path;
    if (!rest.endsWith(QLatin1Char('\\'))) {
        rest += QLatin1Char('\\');
    }
    NavigationNode* current = tree->ownersNode;
    while (!rest.isEmpty()) {
        const qsizetype split = rest.indexOf(QLatin1Char('\\'));
        const QString component = rest.left(split);
        rest = rest.mid(split + 1).left(255);
        if (!current->isExpanded()) {
            current->setExpanded(true);
        }
        NavigationNode* child = findChildByText(current, component);
        if (child == nullptr) {
            break;
        }
        current = child;
    }
    if (current == tree->ownersNode) {
        return nullptr;
    }
    current->setExpanded(false);
    return current;
}

// ---------------------------------------------------------------------------------------------
// Places

NodePlace placeOf(NavigationNode* node)
{
    NodePlace place;
    for (NavigationNode* current = node; current != nullptr; current = current->parentNode()) {
        const ItemKind kind = current->item.kind;
        if (kind != OwnerItem && kind != FilesetItem && kind != DiscItem && kind != FolderItem) {
            break;
        }
        place.trail.insert(place.trail.begin(), current->item);
        if (kind == DiscItem) {
            try {
                place.knowsDisc = ktbReadDisc(current->fileset()->handle(), current->item.offset, place.disc);
            } catch (...) {
                place.knowsDisc = false;
            }
        }
    }
    return place;
}

NodePlace placeOfRecord(Fileset* fileset, const std::vector<std::uint32_t>& ancestors)
{
    NodePlace place;
    const int owner = g_ownerIndex != nullptr ? g_ownerIndex->indexOfFileset(fileset) : -1;
    if (owner < 0) {
        return place;
    }
    place.trail.push_back({ OwnerItem, g_ownerIndex->at(owner), 0, 0 });
    place.trail.push_back({ FilesetItem, fileset, 0, 0 });
    for (std::size_t i = 0; i < ancestors.size(); ++i) {
        place.trail.push_back({ i == 0 ? DiscItem : FolderItem, fileset, ancestors[i], 0 });
    }
    return place;
}

namespace {

/// The child that stands for step; shift moves the folders' offsets by as much as their disc moved.
NavigationNode* childAt(NavigationNode* node, const ItemRef& step, const NodePlace& place, std::uint32_t& shift)
{
    for (int i = 0; i < node->childCount(); ++i) {
        NavigationNode* child = node->childNode(i);
        const ItemRef& item = child->item;
        if (item.kind != step.kind) {
            continue;
        }
        switch (step.kind) {
        case OwnerItem: {
            // Owners are made again by every rebuild of the index: the one that lists the fileset.
            const Fileset* fileset = place.trail.size() > 1 ? static_cast<Fileset*>(place.trail[1].ref) : nullptr;
            const auto* owner = static_cast<const Owner*>(item.ref);
            if (item.ref == step.ref || (fileset != nullptr && owner != nullptr && owner->indexOf(fileset) >= 0)) {
                return child;
            }
            break;
        }
        case FilesetItem:
            if (item.ref == step.ref) {
                return child;
            }
            break;
        case DiscItem: {
            if (item.ref != step.ref) {
                break;
            }
            TKTBDisc disc {};
            const bool same = place.knowsDisc
                ? ktbReadDisc(child->fileset()->handle(), item.offset, disc) && isSameDisc(disc, place.disc)
                : item.offset == step.offset;
            if (same) {
                shift = item.offset - step.offset;
                return child;
            }
            break;
        }
        case FolderItem:
            if (item.ref == step.ref && item.offset == step.offset + shift) {
                return child;
            }
            break;
        default:
            break;
        }
    }
    return nullptr;
}

} // namespace

NavigationNode* findNodeByPlace(NavigationTree* tree, const NodePlace& place)
{
    if (tree->ownersNode == nullptr || place.trail.empty()) {
        return nullptr;
    }
    NavigationNode* current = tree->ownersNode;
    std::uint32_t shift = 0;
    for (const ItemRef& step : place.trail) {
        if (!current->isExpanded()) {
            current->setExpanded(true);
        }
        NavigationNode* child = childAt(current, step, place, shift);
        if (child == nullptr) {
            break;
        }
        current = child;
    }
    return current == tree->ownersNode ? nullptr : current;
}
