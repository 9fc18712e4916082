// The main window's editing commands: renaming owners, filesets and discs in place, deleting them
// after asking, and moving filesets between owners and discs between filesets by drag and drop.
#include "gui/mainwindow/mainwindow.h"

#include "core/catalog/catalogchanges.h"
#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/search/catalogsearch.h"
#include "core/text/catalogtext.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_utils.h"
#include "gui/common/errordisplay.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/eventhook.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/mainwindow/treeredrawblocker.h"

#include <QAction>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>
#include <cstring>
#include <optional>

namespace {

const QString s_quote = QStringLiteral("\"");
const QString s_lineBreak = QStringLiteral("\r\n");

QString discTitle(const TKTBDisc& disc) { return decodeCatalogText(ktbFieldText(disc.Title, sizeof disc.Title)); }

bool isRenamable(ItemKind kind) { return kind == OwnerItem || kind == FilesetItem || kind == DiscItem; }

bool containsNode(const NavigationTree* tree, const QTreeWidgetItem* node)
{
    if (node == nullptr) {
        return false;
    }
    const QTreeWidgetItem* top = node;
    while (top->parent() != nullptr) {
        top = top->parent();
    }
    return tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(top)) >= 0;
}

/// The node behind an index of the tree's model.
NavigationNode* nodeOfIndex(const QTreeWidget* tree, const QModelIndex& index)
{
    if (!index.isValid()) {
        return nullptr;
    }
    const QModelIndex parent = index.parent();
    if (!parent.isValid()) {
        return static_cast<NavigationNode*>(tree->topLevelItem(index.row()));
    }
    NavigationNode* parentNode = nodeOfIndex(tree, parent);
    return parentNode != nullptr && index.row() < parentNode->childCount() ? parentNode->childNode(index.row())
                                                                           : nullptr;
}

/// Removing a disc moves every record stored after it down: the disc nodes from its offset on name
/// other records now. They go, and refreshDiscs brings them back with their new offsets.
void dropMovedDiscNodes(NavigationNode* filesetNode, std::uint32_t deletedOffset)
{
    for (int i = filesetNode->childCount() - 1; i >= 0; --i) {
        if (filesetNode->childNode(i)->item.offset >= deletedOffset) {
            delete filesetNode->takeChild(i);
        }
    }
}

/// Applies an accepted label edit through the window before the node shows the text, and only once
/// the editor has closed, since renaming may refill the tree or show a message.
class TreeLabelDelegate : public QStyledItemDelegate {
public:
    TreeLabelDelegate(MainWindow* window, NavigationTree* tree)
        : QStyledItemDelegate(tree)
        , m_window(window)
        , m_tree(tree)
    {
    }

    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        NavigationNode* node = nodeOfIndex(m_tree, index);
        if (line == nullptr || node == nullptr) {
            return;
        }
        const QPointer<MainWindow> window = m_window;
        const QPointer<NavigationTree> tree = m_tree;
        const QString text = line->text();
        QMetaObject::invokeMethod(
            m_tree,
            [window, tree, node, text] {
                if (window == nullptr || tree == nullptr || !containsNode(tree, node)) {
                    return;
                }
                QString shown = text;
                runGuarded([&] { window->onNodeLabelEdited(node, shown); });
            },
            Qt::QueuedConnection);
    }

private:
    MainWindow* m_window;
    NavigationTree* m_tree;
};

} // namespace

void MainWindow::connectEditing()
{
    navigationTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    navigationTree->setItemDelegate(new TreeLabelDelegate(this, navigationTree));
    navigationTree->setDragDropMode(QAbstractItemView::DragDrop);
    navigationTree->setDragEnabled(true);
    navigationTree->setDropIndicatorShown(false);

    connectGuarded(action("renameAction"), &QAction::triggered, this, [this] { rename(); });
    connectGuarded(action("deleteAction"), &QAction::triggered, this, [this] { deleteSelection(); });

    new EventHook(navigationTree, [this](QEvent* event) {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        bool handled = false;
        runGuarded([&] { handled = handleTreeKey(key); });
        return handled;
    });
    // Drags inside the tree: the window decides what may go where and moves it; the view itself never
    // moves or removes an item (the drop answers a copy, so the view keeps its rows).
    new EventHook(navigationTree->viewport(), [this](QEvent* event) {
        switch (event->type()) {
        case QEvent::DragEnter: {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (enter->source() == navigationTree
                || (enter->source() == nullptr && !droppedPath(enter->mimeData()).isEmpty())) {
                enter->acceptProposedAction();
            } else {
                enter->ignore();
            }
            return true;
        }
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            if (move->source() == nullptr && !droppedPath(move->mimeData()).isEmpty()) {
                move->acceptProposedAction(); // an image, a folder or a catalog from the file manager
                return true;
            }
            if (canDropOnNode(move->source(), navigationTree->nodeAt(move->position().toPoint()))) {
                move->setDropAction(Qt::MoveAction);
                move->accept();
            } else {
                move->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->source() == nullptr && !droppedPath(drop->mimeData()).isEmpty()) {
                dropEvent(drop);
                return true;
            }
            NavigationNode* target = navigationTree->nodeAt(drop->position().toPoint());
            if (!canDropOnNode(drop->source(), target)) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // The move asks a question: after the drag has ended, not inside it.
            QMetaObject::invokeMethod(
                this,
                [this, target] {
                    if (containsNode(navigationTree, target)) {
                        runGuarded([this, target] { dropOnNode(target); });
                    }
                },
                Qt::QueuedConnection);
            return true;
        }
        default:
            return false;
        }
    });

    // Keys an editor of the list leaves (Enter ends an edit) stop at its viewport: they must not reach
    // the list, where Enter opens a row.
    new EventHook(catalogView->viewport(), [](QEvent* event) {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        event->accept();
        return true;
    });

    if (g_catalogList != nullptr) {
        const QPointer<MainWindow> window = this;
        // Asked whenever the view wants a row's flags (selecting rows asks too): the question whether a
        // caption may be edited is answered once, when Rename starts the edit.
        g_catalogList->model->canEdit
            = [window](int /*row*/) { return window != nullptr && window->m_startingListEdit; };
        g_catalogList->model->onCaptionEdited = [window](int row, const QString& text) {
            if (window != nullptr) {
                runGuarded([&] { window->onRowCaptionEdited(row, text); });
            }
        };
    }
}

bool MainWindow::treeFocused() const { return focusWidget() == navigationTree; }

bool MainWindow::listFocused() const { return focusWidget() == catalogView; }

void MainWindow::selectAndShow(NavigationNode* node)
{
    if (node == nullptr) {
        return;
    }
    if (navigationTree->currentItem() == node) {
        node->setSelected(true);
        onTreeNodeChanged(node);
        return;
    }
    navigationTree->selectNode(node);
}

// ---------------------------------------------------------------------------------------------
// Rename

void MainWindow::rename()
{
    if (treeFocused()) {
        NavigationNode* selected = navigationTree->selectedNode();
        if (selected != nullptr && canEditNodeLabel(selected) && refuseReadOnly({ selected->item })) {
            return;
        }
        editNodeLabel(selected);
        return;
    }
    ItemRefs items;
    if (!listFocused() || !canEditRowCaption(0) || !currentListSelection(items) || refuseReadOnly({ items.front() })) {
        return;
    }
    QModelIndexList rows = catalogView->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const QModelIndex first = rows.value(0);
    catalogView->scrollTo(first);
    m_startingListEdit = true;
    catalogView->edit(first);
    m_startingListEdit = false;
}

bool MainWindow::canEditNodeLabel(NavigationNode* node) const
{
    return node != nullptr && isRenamable(node->item.kind);
}

bool MainWindow::editNodeLabel(NavigationNode* node)
{
    if (!canEditNodeLabel(node)) {
        return false;
    }
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    navigationTree->scrollToItem(node);
    navigationTree->editItem(node, 0);
    return true;
}

void MainWindow::onNodeLabelEdited(NavigationNode* node, QString& text)
{
    const bool applied = renameItem(text, node->item);
    if (applied && node->item.kind == DiscItem) {
        // The title field keeps 63 bytes: show what the catalog holds, so the node's text (and with
        // it the path text) names the disc as stored.
        TKTBDisc disc {};
        if (ktbReadDisc(node->fileset()->handle(), node->item.offset, disc)) {
            text = discTitle(disc);
        }
    }
    node->setText(0, text);
    // Selected again, also when it was: the path box and the list show the new name.
    selectAndShow(node);
}

bool MainWindow::canEditRowCaption(int /*row*/) const
{
    ItemRefs items;
    return g_catalogList != nullptr && g_catalogList->selection(items) && isRenamable(items.front().kind);
}

void MainWindow::onRowCaptionEdited(int /*row*/, const QString& text)
{
    ItemRefs items;
    if (!currentListSelection(items)) {
        return;
    }
    renameItem(text, items.front());
    NavigationNode* selected = navigationTree->selectedNode();
    if (selected == nullptr) {
        return;
    }
    g_catalogList->fill(&selected->item);
    fillNode(navigationTree, selected, 1);
}

bool MainWindow::renameItem(const QString& text, const ItemRef& item)
{
    switch (item.kind) {
    case OwnerItem:
        static_cast<Owner*>(item.ref)->rename(text);
        return true;
    case FilesetItem:
        static_cast<Fileset*>(item.ref)->setDescription(text);
        return true;
    case DiscItem: {
        TKTBDisc disc {};
        const std::string title = encodeCatalogText(text, sizeof disc.Title - 1);
        std::memcpy(disc.Title, title.data(), title.size());
        auto* fileset = static_cast<Fileset*>(item.ref);
        if (ktbUpdateDisc(fileset->handle(), item.offset, disc, KTB_DISC_TITLE) != KTB_OK) {
            return false;
        }
        g_filesetRegistry->notifyChanged(fileset);
        return true;
    }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Delete

namespace {

bool askDelete(const QString& text, const QString& caption)
{
    return questions().messageBox(text, caption, MessageIcon::Warning, YesButton | NoButton, true) == YesButton;
}

} // namespace

bool MainWindow::confirmDelete(const ItemRef& item)
{
    const QString caption = QStringLiteral("Confirm Delete");
    switch (item.kind) {
    case OwnerItem:
        return askDelete(QStringLiteral("Remove Owner ") + s_quote + static_cast<Owner*>(item.ref)->name + s_quote
                + QStringLiteral("?") + s_lineBreak + QStringLiteral("(Filesets are not deleted! )"),
            caption);
    case FilesetItem:
        return askDelete(QStringLiteral("Remove Dataset ") + s_quote + static_cast<Fileset*>(item.ref)->description()
                + s_quote + QStringLiteral("?") + s_lineBreak + QStringLiteral("(it will be renamed and hidden only!)"),
            caption);
    case DiscItem: {
        TKTBDisc disc {};
        if (!ktbReadDisc(static_cast<Fileset*>(item.ref)->handle(), item.offset, disc)) {
            return false;
        }
        return askDelete(QStringLiteral("Delete Disc ") + s_quote + discTitle(disc) + s_quote, caption);
    }
    default:
        return false;
    }
}

bool MainWindow::confirmDeleteAll()
{
    return askDelete(QStringLiteral("Delete all selected items ?"), QStringLiteral("Delete"));
}

void MainWindow::deleteSelection()
{
    if (treeFocused()) {
        deleteNode(navigationTree->selectedNode());
        return;
    }
    ItemRefs items;
    if (listFocused() && currentListSelection(items)) {
        deleteListItems(items);
    }
}

bool MainWindow::handleTreeKey(int key)
{
    // While a label is edited the keys go to its editor, never here.
    if (key != Qt::Key_Delete) {
        return false;
    }
    deleteNode(navigationTree->selectedNode());
    return true;
}

void MainWindow::updateResultsCommand()
{
    action("viewResultsAction")->setEnabled(g_catalogSearch != nullptr && g_catalogSearch->hasResults());
}

void MainWindow::deleteFileset(Fileset* fileset)
{
    if (currentItem.ref == fileset) {
        currentItem = ItemRef {};
    }
    // Disc rows of the fileset would outlive its object.
    if (g_catalogList->entities.count() > 0 && g_catalogList->entities.at(0)->fileset == fileset) {
        g_catalogList->clear();
    }
    // The registry releases the object (closing its file) and tells the owners and the search.
    ::deleteFileset(*g_filesetRegistry, fileset);
    updateResultsCommand();
}

void MainWindow::deleteNode(NavigationNode* node)
{
    if (node == nullptr || refuseReadOnly({ node->item }) || !confirmDelete(node->item)) {
        return;
    }
    switch (node->item.kind) {
    case OwnerItem: {
        static_cast<Owner*>(node->item.ref)->rename(QString());
        {
            // Rebuilding the owners releases the objects the owner nodes and the list refer to: nothing
            // may look at them until the owners branch is filled again.
            const QSignalBlocker quiet(navigationTree);
            g_catalogList->clear();
            g_ownerIndex->rebuild();
            delete node;
            fillNode(navigationTree, navigationTree->ownersNode, 1);
        }
        selectAndShow(navigationTree->ownersNode);
        break;
    }
    case FilesetItem: {
        NavigationNode* ownerNode = node->parentNode();
        deleteFileset(node->fileset());
        delete node;
        if (navigationTree->selectedNode() == nullptr) {
            selectAndShow(ownerNode);
        }
        break;
    }
    case DiscItem: {
        NavigationNode* filesetNode = node->parentNode();
        Fileset* fileset = node->fileset(); // the node itself goes with the refresh
        TKTBHandle* handle = fileset->handle();
        const std::uint32_t offset = node->item.offset;
        // The disc shown above this one is selected afterwards (the fileset for the first disc).
        const int index = filesetNode->indexOfChild(node);
        std::optional<std::uint32_t> before;
        if (index > 0) {
            before = filesetNode->childNode(index - 1)->item.offset;
        }
        TKTBDisc disc {};
        ktbReadDisc(handle, offset, disc);
        bool deleted = false;
        {
            const TreeRedrawBlocker redraw(navigationTree);
            const QSignalBlocker quiet(navigationTree);
            deleted = ktbDeleteDisc(handle, offset) == KTB_OK;
            if (deleted) {
                dropMovedDiscNodes(filesetNode, offset);
                if (before && *before > offset) {
                    *before -= disc.RunLength;
                }
            }
            refreshDiscs(navigationTree, filesetNode);
        }
        if (deleted) {
            g_filesetRegistry->notifyChanged(fileset);
        }
        NavigationNode* next = filesetNode;
        if (!deleted) {
            next = findChildByOffset(filesetNode, offset);
        } else if (before) {
            next = findChildByOffset(filesetNode, *before);
        }
        selectAndShow(next != nullptr ? next : filesetNode);
        break;
    }
    default:
        break;
    }
}

void MainWindow::deleteListItems(const ItemRefs& items)
{
    if (items.empty() || refuseReadOnly(items)) {
        return;
    }
    if (items.size() >= 2 && !confirmDeleteAll()) {
        return;
    }
    const bool ask = items.size() == 1;
    ItemRefs order = items;
    // Removing a disc moves the records stored after it: deleting from the end of the file backwards
    // keeps the offsets of the discs still to go valid.
    if (std::all_of(order.begin(), order.end(), [](const ItemRef& item) { return item.kind == DiscItem; })) {
        std::sort(order.begin(), order.end(), [](const ItemRef& a, const ItemRef& b) { return a.offset > b.offset; });
    }
    for (const ItemRef& item : order) {
        deleteItem(item, ask);
    }
    // The list and the search show the discs after the deleted ones at offsets that moved.
    std::vector<Fileset*> changed;
    for (const ItemRef& item : order) {
        auto* fileset = static_cast<Fileset*>(item.ref);
        if (item.kind == DiscItem && std::find(changed.begin(), changed.end(), fileset) == changed.end()) {
            changed.push_back(fileset);
            g_filesetRegistry->notifyChanged(fileset);
        }
    }
    NavigationNode* selected = navigationTree->selectedNode();
    {
        const QSignalBlocker quiet(navigationTree);
        if (items.front().kind == OwnerItem) {
            g_catalogList->clear();
            g_ownerIndex->rebuild();
        }
        fillNode(navigationTree, selected, 1);
    }
    onTreeNodeChanged(selected);
}

void MainWindow::deleteItem(const ItemRef& item, bool ask)
{
    if (ask && !confirmDelete(item)) {
        return;
    }
    switch (item.kind) {
    case OwnerItem:
        static_cast<Owner*>(item.ref)->rename(QString());
        break;
    case FilesetItem:
        deleteFileset(static_cast<Fileset*>(item.ref));
        break;
    case DiscItem:
        ktbDeleteDisc(static_cast<Fileset*>(item.ref)->handle(), item.offset);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

bool MainWindow::canDropOnNode(const QObject* source, NavigationNode* target) const
{
    NavigationNode* dragged = navigationTree->selectedNode();
    if (target == nullptr || source != navigationTree || dragged == nullptr || target == dragged->parentNode()) {
        return false;
    }
    return (dragged->item.kind == FilesetItem && target->item.kind == OwnerItem)
        || (dragged->item.kind == DiscItem && target->item.kind == FilesetItem);
}

void MainWindow::dropOnNode(NavigationNode* target)
{
    if (!canDropOnNode(navigationTree, target)) {
        return;
    }
    NavigationNode* dragged = navigationTree->selectedNode();
    if (refuseReadOnly({ dragged->item, target->item })) {
        return;
    }
    if (dragged->item.kind == FilesetItem) {
        moveFilesetNode(dragged, target);
    } else {
        moveDiscNode(dragged, target);
    }
}

namespace {

bool askMove(const QString& what, const NavigationNode* dragged, const NavigationNode* target)
{
    const QString text
        = what + s_quote + dragged->text(0) + s_quote + QStringLiteral(" to ") + target->text(0) + QStringLiteral("?");
    return questions().messageBox(text, QStringLiteral("Confirm"), MessageIcon::Question, YesButton | NoButton)
        == YesButton;
}

/// The index of the owner a node stands for; by name when the object is not listed (any more).
int ownerIndexOf(const NavigationNode* ownerNode)
{
    for (int i = 0; i < g_ownerIndex->count(); ++i) {
        if (g_ownerIndex->at(i) == ownerNode->item.ref) {
            return i;
        }
    }
    return g_ownerIndex->indexOfName(ownerNode->text(0));
}

} // namespace

void MainWindow::moveFilesetNode(NavigationNode* dragged, NavigationNode* target)
{
    if (!askMove(QStringLiteral("Move fileset "), dragged, target)) {
        return;
    }
    Fileset* fileset = dragged->fileset();
    fileset->setOwner(target->text(0));
    // An owner left without filesets leaves the index: its node must not be looked at afterwards.
    g_ownerIndex->moveFileset(fileset, ownerIndexOf(target));
    NavigationNode* oldParent = dragged->parentNode();
    {
        const QSignalBlocker quiet(navigationTree);
        navigationTree->clearSelection();
        oldParent->removeChild(dragged);
        target->addChild(dragged);
        target->sortChildren(0, Qt::AscendingOrder);
    }
    selectAndShow(dragged);
    target->setExpanded(true);
    if (oldParent->childCount() == 0) {
        delete oldParent;
    }
}

void MainWindow::moveDiscNode(NavigationNode* dragged, NavigationNode* target)
{
    if (!askMove(QStringLiteral("Move Disc "), dragged, target)) {
        return;
    }
    TKTBHandle* source = dragged->fileset()->handle();
    TKTBHandle* destination = target->fileset()->handle();
    const std::uint32_t oldOffset = dragged->item.offset;
    const DiscMoveResult moved = moveDisc(source, oldOffset, destination);
    if (moved.outcome == DiscMoveOutcome::Refused || moved.outcome == DiscMoveOutcome::NotCopied) {
        return;
    }
    g_filesetRegistry->notifyChanged(dragged->fileset());
    g_filesetRegistry->notifyChanged(target->fileset());
    // A copy that was taken back (or could not be) leaves the disc selected where it was.
    const std::uint32_t newOffset = moved.outcome == DiscMoveOutcome::Moved ? moved.newOffset : 0;
    NavigationNode* oldFilesetNode = dragged->parentNode();
    const TreeRedrawBlocker redraw(navigationTree);
    {
        const QSignalBlocker quiet(navigationTree);
        if (newOffset != 0) {
            dropMovedDiscNodes(oldFilesetNode, oldOffset);
        }
        refreshDiscs(navigationTree, oldFilesetNode);
        refreshDiscs(navigationTree, target);
    }
    if (newOffset == 0) {
        selectAndShow(findChildByOffset(oldFilesetNode, oldOffset));
        return;
    }
    target->setExpanded(true);
    NavigationNode* movedNode = findChildByOffset(target, newOffset);
    selectAndShow(movedNode != nullptr ? movedNode : target);
}

// ---------------------------------------------------------------------------------------------
// Guards of the commands that change catalogs

bool MainWindow::currentListSelection(ItemRefs& items)
{
    if (!g_catalogList->selection(items)) {
        return false;
    }
    if (g_catalogList->selectionIsCurrent()) {
        return true;
    }
    items.clear();
    // The rows are shown again as the catalog holds them now, before the user can act on them.
    if (NavigationNode* selected = navigationTree->selectedNode()) {
        g_catalogList->fill(&selected->item);
    } else {
        g_catalogList->clear();
    }
    questions().messageBox(QStringLiteral("The selected disc is no longer where the list showed it: the list has "
                                          "been refreshed. Nothing was changed."),
        QStringLiteral("Katalox"), MessageIcon::Information, OkButton);
    return false;
}

namespace {

/// The fileset of an item that is opened read-only, or null.
Fileset* readOnlyFilesetOf(const ItemRef& item)
{
    switch (item.kind) {
    case OwnerItem: {
        const auto* owner = static_cast<const Owner*>(item.ref);
        for (int i = 0; owner != nullptr && i < owner->count(); ++i) {
            if (owner->at(i)->readOnly) {
                return owner->at(i);
            }
        }
        return nullptr;
    }
    case FilesetItem:
    case DiscItem:
    case FolderItem: {
        auto* fileset = static_cast<Fileset*>(item.ref);
        return fileset != nullptr && fileset->readOnly ? fileset : nullptr;
    }
    default:
        return nullptr;
    }
}

} // namespace

bool MainWindow::refuseReadOnly(const ItemRefs& items)
{
    for (const ItemRef& item : items) {
        if (Fileset* fileset = readOnlyFilesetOf(item)) {
            questions().messageBox(
                fileset->readOnlyMessage(), QStringLiteral("Katalox"), MessageIcon::Information, OkButton);
            return true;
        }
    }
    return false;
}
