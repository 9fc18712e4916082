// The main window's editing commands: renaming owners, filesets and discs in place, deleting them
// after asking, and moving filesets between owners and discs between filesets by drag and drop.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/search/catalogsearch.h"
#include "core/text/catalogtext.h"
#include "engine/ktb32.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_utils.h"
#include "gui/common/appicons.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/eventhook.h"
#include "gui/mainwindow/navigationtree.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
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

bool isRenamable(TItemKind kind) { return kind == ikOwner || kind == ikFileset || kind == ikDisc; }

bool containsNode(const TNavigationTree* tree, const QTreeWidgetItem* node)
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
TTreeNode* nodeOfIndex(const QTreeWidget* tree, const QModelIndex& index)
{
    if (!index.isValid()) {
        return nullptr;
    }
    const QModelIndex parent = index.parent();
    if (!parent.isValid()) {
        return static_cast<TTreeNode*>(tree->topLevelItem(index.row()));
    }
    TTreeNode* parentNode = nodeOfIndex(tree, parent);
    return parentNode != nullptr && index.row() < parentNode->childCount() ? parentNode->childNode(index.row())
                                                                           : nullptr;
}

/// Removing a disc moves every record stored after it down: the disc nodes from its offset on name
/// other records now. They go, and RefreshDiscs brings them back with their new offsets.
void dropMovedDiscNodes(TTreeNode* filesetNode, std::uint32_t deletedOffset)
{
    for (int i = filesetNode->childCount() - 1; i >= 0; --i) {
        if (filesetNode->childNode(i)->Data.Offset >= deletedOffset) {
            delete filesetNode->takeChild(i);
        }
    }
}

/// Applies an accepted label edit through the window before the node shows the text, and only once
/// the editor has closed, since renaming may refill the tree or show a message.
class TTreeLabelDelegate : public QStyledItemDelegate {
public:
    TTreeLabelDelegate(TForm1* window, TNavigationTree* tree)
        : QStyledItemDelegate(tree)
        , m_window(window)
        , m_tree(tree)
    {
    }

    void setModelData(QWidget* editor, QAbstractItemModel* /*model*/, const QModelIndex& index) const override
    {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        TTreeNode* node = nodeOfIndex(m_tree, index);
        if (line == nullptr || node == nullptr) {
            return;
        }
        const QPointer<TForm1> window = m_window;
        const QPointer<TNavigationTree> tree = m_tree;
        const QString text = line->text();
        QMetaObject::invokeMethod(
            m_tree,
            [window, tree, node, text] {
                if (window == nullptr || tree == nullptr || !containsNode(tree, node)) {
                    return;
                }
                QString shown = text;
                RunGuarded([&] { window->TreeView1Edited(node, shown); });
            },
            Qt::QueuedConnection);
    }

private:
    TForm1* m_window;
    TNavigationTree* m_tree;
};

} // namespace

void TForm1::connectEditing()
{
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setItemDelegate(new TTreeLabelDelegate(this, TreeView1));
    TreeView1->setDragDropMode(QAbstractItemView::DragDrop);
    TreeView1->setDragEnabled(true);
    TreeView1->setDropIndicatorShown(false);

    connect(action("act_Rename"), &QAction::triggered, this, [this] { RunGuarded([this] { act_RenameExecute(); }); });
    connect(action("act_delete"), &QAction::triggered, this, [this] { RunGuarded([this] { act_deleteExecute(); }); });

    new TEventHook(TreeView1, [this](QEvent* event) {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        bool handled = false;
        RunGuarded([&] { handled = TreeView1KeyDown(key); });
        return handled;
    });
    // Drags inside the tree: the window decides what may go where and moves it; the view itself never
    // moves or removes an item (the drop answers a copy, so the view keeps its rows).
    new TEventHook(TreeView1->viewport(), [this](QEvent* event) {
        switch (event->type()) {
        case QEvent::DragEnter: {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (enter->source() == TreeView1) {
                enter->acceptProposedAction();
            } else {
                enter->ignore();
            }
            return true;
        }
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            if (TreeView1DragOver(move->source(), TreeView1->nodeAt(move->position().toPoint()))) {
                move->setDropAction(Qt::MoveAction);
                move->accept();
            } else {
                move->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            TTreeNode* target = TreeView1->nodeAt(drop->position().toPoint());
            if (!TreeView1DragOver(drop->source(), target)) {
                drop->ignore();
                return true;
            }
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            // The move asks a question: after the drag has ended, not inside it.
            QMetaObject::invokeMethod(
                this,
                [this, target] {
                    if (containsNode(TreeView1, target)) {
                        RunGuarded([this, target] { TreeView1DragDrop(target); });
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
    new TEventHook(lv->viewport(), [](QEvent* event) {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        event->accept();
        return true;
    });

    if (ListHelper != nullptr) {
        const QPointer<TForm1> window = this;
        // Asked whenever the view wants a row's flags (selecting rows asks too): the question whether a
        // caption may be edited is answered once, when Rename starts the edit.
        ListHelper->Model->OnCanEdit
            = [window](int /*row*/) { return window != nullptr && window->m_startingListEdit; };
        ListHelper->Model->OnCaptionEdited = [window](int row, const QString& text) {
            if (window != nullptr) {
                RunGuarded([&] { window->lvEdited(row, text); });
            }
        };
    }
}

bool TForm1::treeFocused() const { return focusWidget() == TreeView1; }

bool TForm1::listFocused() const { return focusWidget() == lv; }

void TForm1::selectAndShow(TTreeNode* node)
{
    if (node == nullptr) {
        return;
    }
    if (TreeView1->currentItem() == node) {
        node->setSelected(true);
        TreeView1Change(node);
        return;
    }
    TreeView1->selectNode(node);
}

// ---------------------------------------------------------------------------------------------
// Rename

void TForm1::act_RenameExecute()
{
    if (treeFocused()) {
        EditNodeLabel(TreeView1->selectedNode());
        return;
    }
    if (!listFocused() || !lvEditing(0)) {
        return;
    }
    QModelIndexList rows = lv->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    const QModelIndex first = rows.value(0);
    lv->scrollTo(first);
    m_startingListEdit = true;
    lv->edit(first);
    m_startingListEdit = false;
}

bool TForm1::TreeView1Editing(TTreeNode* node) const { return node != nullptr && isRenamable(node->Data.Kind); }

bool TForm1::EditNodeLabel(TTreeNode* node)
{
    if (!TreeView1Editing(node)) {
        return false;
    }
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    TreeView1->scrollToItem(node);
    TreeView1->editItem(node, 0);
    return true;
}

void TForm1::TreeView1Edited(TTreeNode* node, QString& text)
{
    const bool applied = RenameItem(text, node->Data);
    if (applied && node->Data.Kind == ikDisc) {
        // The title field keeps 63 bytes: show what the catalog holds, so the node's text (and with
        // it the path text) names the disc as stored.
        TKTBDisc disc {};
        if (ktbReadDisc(node->fileset()->Handle(), node->Data.Offset, disc)) {
            text = discTitle(disc);
        }
    }
    node->setText(0, text);
    // Selected again, also when it was: the path box and the list show the new name.
    selectAndShow(node);
}

bool TForm1::lvEditing(int /*row*/) const
{
    TItemDataArray items;
    return ListHelper != nullptr && ListHelper->GetSelection(items) && isRenamable(items.front().Kind);
}

void TForm1::lvEdited(int /*row*/, const QString& text)
{
    TItemDataArray items;
    if (!ListHelper->GetSelection(items)) {
        return;
    }
    RenameItem(text, items.front());
    TTreeNode* selected = TreeView1->selectedNode();
    if (selected == nullptr) {
        return;
    }
    ListHelper->Fill(&selected->Data);
    FillNode(TreeView1, selected, 1);
}

bool TForm1::RenameItem(const QString& text, const TItemData& item)
{
    switch (item.Kind) {
    case ikOwner:
        static_cast<TKTBOwner*>(item.Ref)->Rename(text);
        return true;
    case ikFileset:
        static_cast<TKTBFile*>(item.Ref)->SetDescription(text);
        return true;
    case ikDisc: {
        TKTBDisc disc {};
        const std::string title = encodeCatalogText(text, sizeof disc.Title - 1);
        std::memcpy(disc.Title, title.data(), title.size());
        return ktbUpdateDisc(static_cast<TKTBFile*>(item.Ref)->Handle(), item.Offset, disc, KTB_DISC_TITLE) == KTB_OK;
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
    return questions().messageBox(text, caption, TMsgIcon::Warning, mbYes | mbNo, true) == mbYes;
}

} // namespace

bool TForm1::ConfirmDelete(const TItemData& item)
{
    const QString caption = QStringLiteral("Confirm Delete");
    switch (item.Kind) {
    case ikOwner:
        return askDelete(QStringLiteral("Remove Owner ") + s_quote + static_cast<TKTBOwner*>(item.Ref)->Name + s_quote
                + QStringLiteral("?") + s_lineBreak + QStringLiteral("(Filesets are not deleted! )"),
            caption);
    case ikFileset:
        return askDelete(QStringLiteral("Remove Dataset ") + s_quote
                + static_cast<TKTBFile*>(item.Ref)->GetDescription() + s_quote + QStringLiteral("?") + s_lineBreak
                + QStringLiteral("(it will be renamed and hidden only!)"),
            caption);
    case ikDisc: {
        TKTBDisc disc {};
        if (!ktbReadDisc(static_cast<TKTBFile*>(item.Ref)->Handle(), item.Offset, disc)) {
            return false;
        }
        return askDelete(QStringLiteral("Delete Disc ") + s_quote + discTitle(disc) + s_quote, caption);
    }
    default:
        return false;
    }
}

bool TForm1::ConfirmDeleteAll()
{
    return askDelete(QStringLiteral("Delete all selected items ?"), QStringLiteral("Delete"));
}

void TForm1::act_deleteExecute()
{
    if (treeFocused()) {
        DeleteNode(TreeView1->selectedNode());
        return;
    }
    TItemDataArray items;
    if (listFocused() && ListHelper->GetSelection(items)) {
        DeleteListItems(items);
    }
}

bool TForm1::TreeView1KeyDown(int key)
{
    // While a label is edited the keys go to its editor, never here.
    if (key != Qt::Key_Delete) {
        return false;
    }
    DeleteNode(TreeView1->selectedNode());
    return true;
}

void TForm1::updateResultsCommand()
{
    action("act_results")->setEnabled(SearchHelper != nullptr && SearchHelper->HasResults());
}

void TForm1::deleteFileset(TKTBFile* fileset)
{
    const QString path = fileset->FileName;
    if (CurrentItem.Ref == fileset) {
        CurrentItem = TItemData {};
    }
    // Disc rows of the fileset would outlive its object.
    if (ListHelper->Entities.Count() > 0 && ListHelper->Entities.Items(0)->Fileset == fileset) {
        ListHelper->Clear();
    }
    const int index = FilesetList->IndexOf(fileset);
    if (index >= 0) {
        // The registry releases the object (closing its file) and tells the owners and the search.
        FilesetList->Delete(index);
    }
    updateResultsCommand();
    // The file stays on disc under another name, where no "*.ktb" lookup finds it; failures are
    // ignored, the fileset is gone from the registry either way.
    const QString backup = path + QStringLiteral(".bak");
    if (QFileInfo::exists(backup)) {
        QFile::remove(backup);
    }
    QFile::rename(path, backup);
}

void TForm1::DeleteNode(TTreeNode* node)
{
    if (node == nullptr || !ConfirmDelete(node->Data)) {
        return;
    }
    switch (node->Data.Kind) {
    case ikOwner: {
        static_cast<TKTBOwner*>(node->Data.Ref)->Rename(QString());
        {
            // Rebuilding the owners releases the objects the owner nodes and the list refer to: nothing
            // may look at them until the owners branch is filled again.
            const QSignalBlocker quiet(TreeView1);
            ListHelper->Clear();
            OwnerList->Rebuild();
            delete node;
            FillNode(TreeView1, TreeView1->OwnersNode, 1);
        }
        selectAndShow(TreeView1->OwnersNode);
        break;
    }
    case ikFileset: {
        TTreeNode* ownerNode = node->parentNode();
        deleteFileset(node->fileset());
        delete node;
        if (TreeView1->selectedNode() == nullptr) {
            selectAndShow(ownerNode);
        }
        break;
    }
    case ikDisc: {
        TTreeNode* filesetNode = node->parentNode();
        TKTBHandle* handle = node->fileset()->Handle();
        const std::uint32_t offset = node->Data.Offset;
        // The disc shown above this one is selected afterwards (the fileset for the first disc).
        const int index = filesetNode->indexOfChild(node);
        std::optional<std::uint32_t> before;
        if (index > 0) {
            before = filesetNode->childNode(index - 1)->Data.Offset;
        }
        TKTBDisc disc {};
        ktbReadDisc(handle, offset, disc);
        bool deleted = false;
        {
            const TTreeRedraw redraw(TreeView1);
            const QSignalBlocker quiet(TreeView1);
            deleted = ktbDeleteDisc(handle, offset) == KTB_OK;
            if (deleted) {
                dropMovedDiscNodes(filesetNode, offset);
                if (before && *before > offset) {
                    *before -= disc.RunLength;
                }
            }
            RefreshDiscs(TreeView1, filesetNode);
        }
        TTreeNode* next = filesetNode;
        if (!deleted) {
            next = FindChildByOffset(filesetNode, offset);
        } else if (before) {
            next = FindChildByOffset(filesetNode, *before);
        }
        selectAndShow(next != nullptr ? next : filesetNode);
        break;
    }
    default:
        break;
    }
}

void TForm1::DeleteListItems(const TItemDataArray& items)
{
    if (items.empty()) {
        return;
    }
    if (items.size() >= 2 && !ConfirmDeleteAll()) {
        return;
    }
    const bool ask = items.size() == 1;
    TItemDataArray order = items;
    // Removing a disc moves the records stored after it: deleting from the end of the file backwards
    // keeps the offsets of the discs still to go valid.
    if (std::all_of(order.begin(), order.end(), [](const TItemData& item) { return item.Kind == ikDisc; })) {
        std::sort(
            order.begin(), order.end(), [](const TItemData& a, const TItemData& b) { return a.Offset > b.Offset; });
    }
    for (const TItemData& item : order) {
        DeleteItem(item, ask);
    }
    TTreeNode* selected = TreeView1->selectedNode();
    {
        const QSignalBlocker quiet(TreeView1);
        if (items.front().Kind == ikOwner) {
            ListHelper->Clear();
            OwnerList->Rebuild();
        }
        FillNode(TreeView1, selected, 1);
    }
    TreeView1Change(selected);
}

void TForm1::DeleteItem(const TItemData& item, bool ask)
{
    if (ask && !ConfirmDelete(item)) {
        return;
    }
    switch (item.Kind) {
    case ikOwner:
        static_cast<TKTBOwner*>(item.Ref)->Rename(QString());
        break;
    case ikFileset:
        deleteFileset(static_cast<TKTBFile*>(item.Ref));
        break;
    case ikDisc:
        ktbDeleteDisc(static_cast<TKTBFile*>(item.Ref)->Handle(), item.Offset);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Drag and drop

bool TForm1::TreeView1DragOver(const QObject* source, TTreeNode* target) const
{
    TTreeNode* dragged = TreeView1->selectedNode();
    if (target == nullptr || source != TreeView1 || dragged == nullptr || target == dragged->parentNode()) {
        return false;
    }
    return (dragged->Data.Kind == ikFileset && target->Data.Kind == ikOwner)
        || (dragged->Data.Kind == ikDisc && target->Data.Kind == ikFileset);
}

void TForm1::TreeView1DragDrop(TTreeNode* target)
{
    if (!TreeView1DragOver(TreeView1, target)) {
        return;
    }
    TTreeNode* dragged = TreeView1->selectedNode();
    if (dragged->Data.Kind == ikFileset) {
        moveFilesetNode(dragged, target);
    } else {
        moveDiscNode(dragged, target);
    }
}

namespace {

bool askMove(const QString& what, const TTreeNode* dragged, const TTreeNode* target)
{
    const QString text
        = what + s_quote + dragged->text(0) + s_quote + QStringLiteral(" to ") + target->text(0) + QStringLiteral("?");
    return questions().messageBox(text, QStringLiteral("Confirm"), TMsgIcon::Question, mbYes | mbNo) == mbYes;
}

/// The index of the owner a node stands for; by name when the object is not listed (any more).
int ownerIndexOf(const TTreeNode* ownerNode)
{
    for (int i = 0; i < OwnerList->Count(); ++i) {
        if (OwnerList->Items(i) == ownerNode->Data.Ref) {
            return i;
        }
    }
    return OwnerList->IndexOfName(ownerNode->text(0));
}

} // namespace

void TForm1::moveFilesetNode(TTreeNode* dragged, TTreeNode* target)
{
    if (!askMove(QStringLiteral("Move fileset "), dragged, target)) {
        return;
    }
    TKTBFile* fileset = dragged->fileset();
    fileset->SetOwner(target->text(0));
    // An owner left without filesets leaves the index: its node must not be looked at afterwards.
    OwnerList->MoveFileset(fileset, ownerIndexOf(target));
    TTreeNode* oldParent = dragged->parentNode();
    {
        const QSignalBlocker quiet(TreeView1);
        TreeView1->clearSelection();
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

void TForm1::moveDiscNode(TTreeNode* dragged, TTreeNode* target)
{
    if (!askMove(QStringLiteral("Move Disc "), dragged, target)) {
        return;
    }
    TKTBHandle* source = dragged->fileset()->Handle();
    TKTBHandle* destination = target->fileset()->Handle();
    // A disc that cannot leave a locked fileset is not copied either: it would then be in both.
    if (ktbCheckWritable(source) != KTB_OK) {
        return;
    }
    const std::uint32_t oldOffset = dragged->Data.Offset;
    std::uint32_t newOffset = 0;
    if (ktbCopyDisc(source, destination, oldOffset, newOffset) != KTB_OK) {
        return;
    }
    TTreeNode* oldFilesetNode = dragged->parentNode();
    const TTreeRedraw redraw(TreeView1);
    {
        const QSignalBlocker quiet(TreeView1);
        if (ktbDeleteDisc(source, oldOffset) == KTB_OK) {
            dropMovedDiscNodes(oldFilesetNode, oldOffset);
        } else {
            // The copy is taken back, so the disc stays where it was and only there.
            ktbDeleteDisc(destination, newOffset);
            newOffset = 0;
        }
        RefreshDiscs(TreeView1, oldFilesetNode);
        RefreshDiscs(TreeView1, target);
    }
    if (newOffset == 0) {
        selectAndShow(FindChildByOffset(oldFilesetNode, oldOffset));
        return;
    }
    target->setExpanded(true);
    TTreeNode* moved = FindChildByOffset(target, newOffset);
    selectAndShow(moved != nullptr ? moved : target);
}
