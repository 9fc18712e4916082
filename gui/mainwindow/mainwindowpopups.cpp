// The main window's pop-up menus and the commands only they offer: new owners, new filesets, symbolic
// discs, discs scanned from a drive, and the fileset and disc properties windows.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/drives/driveutils.h"
#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "gui/common/appicons.h"
#include "gui/dialogs/discpropertiesdialog.h"
#include "gui/dialogs/filesetpropertiesdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/eventhook.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/scan/scanprocedure.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>
#include <cstring>

namespace {

/// The Tag of the drive items of popKTB; their group index holds the drive letter.
constexpr int s_driveItemTag = 5376;
const char* const s_tag = "Tag";
const char* const s_groupIndex = "GroupIndex";

const QString s_quote = QStringLiteral("\"");

QMenu* newMenu(QWidget* parent, const char* name)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

/// A menu caption shows "&" as itself.
QString menuText(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

/// Why a new fileset could not be made at path, for the user.
QString creationFailure(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = QDir::toNativeSeparators(file.absolutePath());
    QString reason;
    if (!QFileInfo(file.absolutePath()).isDir()) {
        reason = QStringLiteral("The folder ") + s_quote + folder + s_quote + QStringLiteral(" does not exist.");
    } else if (!QFileInfo(file.absolutePath()).isWritable()) {
        reason = QStringLiteral("The folder ") + s_quote + folder + s_quote + QStringLiteral(" cannot be written to.");
    } else {
        reason = QStringLiteral("The file cannot be created in the folder ") + s_quote + folder + s_quote
            + QStringLiteral(".");
    }
    return QStringLiteral("Cannot create the new fileset ") + s_quote + file.fileName() + s_quote + QStringLiteral(".")
        + QStringLiteral("\r\n") + reason + QStringLiteral("\r\n")
        + QStringLiteral("Check the fileset folder in the config window.");
}

} // namespace

void TForm1::connectPopups()
{
    QAction* newOwner = new QAction(QStringLiteral("New Owner"), this);
    newOwner->setObjectName(QStringLiteral("NewUser1"));
    connect(newOwner, &QAction::triggered, this, [this] { RunGuarded([this] { NewOwner(); }); });
    PopRoot = newMenu(this, "PopRoot");
    PopRoot->addAction(newOwner);
    PopRoot->addSeparator();
    PopRoot->addAction(action("act_scandisc"));
    PopRoot->addAction(action("act_refreshtree"));

    // "New Fileset" and "Add Symbolic Disc" act on the owner or fileset the menu was opened for.
    QAction* newFileset = new QAction(QStringLiteral("New Fileset"), this);
    newFileset->setObjectName(QStringLiteral("NewFileset1"));
    connect(newFileset, &QAction::triggered, this,
        [this] { RunGuarded([this] { NewFilesetForOwner(commandNode(ikOwner)); }); });
    popOwner = newMenu(this, "popOwner");
    popOwner->addAction(newFileset);
    popOwner->addSeparator();
    popOwner->addAction(action("act_delete"));
    popOwner->addAction(action("act_Rename"));

    QAction* symbolicDisc = new QAction(QStringLiteral("Add Symbolic Disc"), this);
    symbolicDisc->setObjectName(QStringLiteral("AddEmptyDisc1"));
    connect(symbolicDisc, &QAction::triggered, this,
        [this] { RunGuarded([this] { AddSymbolicDisc(commandNode(ikFileset)); }); });
    popKTB = newMenu(this, "popKTB");
    popKTB->addAction(symbolicDisc);
    popKTB->addSeparator();
    popKTB->addAction(action("act_delete"));
    popKTB->addAction(action("act_Rename"));
    popKTB->addSeparator();
    popKTB->addAction(action("act_properties"));
    popKTB->setDefaultAction(action("act_properties"));
    connect(popKTB, &QMenu::aboutToShow, this, [this] { RunGuarded([this] { popKTBPopup(); }); });

    popDisc = newMenu(this, "popDisc");
    popDisc->addAction(action("act_delete"));
    popDisc->addAction(action("act_Rename"));
    popDisc->addSeparator();
    popDisc->addAction(action("act_properties"));
    popDisc->setDefaultAction(action("act_properties"));

    popSearch = newMenu(this, "popSearch");
    popSearch->addAction(action("act_properties"));

    connect(action("act_properties"), &QAction::triggered, this,
        [this] { RunGuarded([this] { act_propertiesExecute(); }); });

    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { RunGuarded([this, position] { TreeView1MouseDown(position); }); });
    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { RunGuarded([this, position] { lvMouseDown(position); }); });
    P_search->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(P_search, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { popSearch->popup(P_search->mapToGlobal(position)); });
}

// ---------------------------------------------------------------------------------------------
// Opening the menus

QMenu* TForm1::PopupMenuOf(TItemKind kind) const
{
    switch (kind) {
    case ikOwners:
        return PopRoot;
    case ikOwner:
        return popOwner;
    case ikFileset:
        return popKTB;
    case ikDisc:
        return popDisc;
    default:
        return nullptr;
    }
}

void TForm1::ShowPopupFor(TTreeNode* node, const QPoint& globalPosition)
{
    if (node == nullptr) {
        PopRoot->popup(globalPosition);
        return;
    }
    CurrentItem = node->Data;
    if (QMenu* menu = PopupMenuOf(node->Data.Kind)) {
        menu->popup(globalPosition);
    }
}

void TForm1::TreeView1MouseDown(const QPoint& position)
{
    TTreeNode* node = TreeView1->nodeAt(position);
    if (node != nullptr) {
        TreeView1->selectNode(node);
    }
    ShowPopupFor(node, TreeView1->viewport()->mapToGlobal(position));
}

void TForm1::lvMouseDown(const QPoint& position)
{
    TItemDataArray items;
    if (!ListHelper->GetSelection(items)) {
        return;
    }
    if (QMenu* menu = PopupMenuOf(items.front().Kind)) {
        menu->popup(lv->viewport()->mapToGlobal(position));
    }
}

void TForm1::popKTBPopup()
{
    for (QAction* item : popKTB->actions()) {
        if (item->property(s_tag).toInt() > 0) {
            popKTB->removeAction(item);
            delete item;
        }
    }
    TDriveList drives;
    GetCDDrives(&drives);
    for (const TDriveEntry& drive : drives) {
        const QString letter = QString(QChar::fromLatin1(drive.Letter));
        QString label;
        const bool present = GetDiscLabel(drive.Letter, label);
        const QString caption = present ? QStringLiteral("Add ") + s_quote + label + s_quote
                + QStringLiteral(" from Drive (") + letter + QStringLiteral(":)")
                                        : QStringLiteral("Insert Disc in Drive (") + letter + QStringLiteral(":)");
        auto* item = new QAction(menuText(caption), popKTB);
        item->setEnabled(present);
        item->setProperty(s_tag, s_driveItemTag);
        item->setProperty(s_groupIndex, static_cast<int>(static_cast<unsigned char>(drive.Letter)));
        connect(
            item, &QAction::triggered, this, [this, item] { RunGuarded([this, item] { AddDiscFromDrive(item); }); });
        // Each goes to the top: the last drive letter ends up first.
        popKTB->insertAction(popKTB->actions().value(0), item);
    }
}

// ---------------------------------------------------------------------------------------------
// Creation commands

TTreeNode* TForm1::nodeForItem(const TItemData& item) const
{
    TTreeNode* selected = TreeView1->selectedNode();
    const auto stands = [&item](const TTreeNode* node) {
        return node->Data.Kind == item.Kind && node->Data.Ref == item.Ref && node->Data.Offset == item.Offset;
    };
    if (selected == nullptr || stands(selected)) {
        return selected;
    }
    for (int i = 0; i < selected->childCount(); ++i) {
        if (stands(selected->childNode(i))) {
            return selected->childNode(i);
        }
    }
    return nullptr;
}

TTreeNode* TForm1::commandNode(TItemKind kind)
{
    // Opened for a row of the list, the command acts on that row's node, which the tree then shows.
    TItemDataArray items;
    if (listFocused() && ListHelper->GetSelection(items) && items.front().Kind == kind) {
        TTreeNode* node = nodeForItem(items.front());
        selectAndShow(node);
        return node;
    }
    return TreeView1->selectedNode();
}

void TForm1::NewOwner()
{
    TTreeNode* owners = TreeView1->OwnersNode;
    if (owners == nullptr) {
        return;
    }
    const QString name = QStringLiteral("New Owner");
    auto* node = new TTreeNode(name, ikOwner);
    owners->addChild(node);
    node->Data.Ref = OwnerList->Items(OwnerList->AddOwner(name));
    node->updateImages();
    owners->setExpanded(true);
    EditNodeLabel(node);
}

void TForm1::NewFilesetForOwner(TTreeNode* node)
{
    if (node == nullptr || node->Data.Kind != ikOwner) {
        return;
    }
    node->setExpanded(true);
    const auto* owner = static_cast<TKTBOwner*>(node->Data.Ref);
    const QString folder = settings().GetStr(skFilesetFolder);
    // The storage folder of a first run exists only once something is stored in it.
    if (!folder.isEmpty() && !QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
    }
    // The fileset is made before its node, so no node stands for a fileset that could not be made.
    const QString path = TKTBFiles::DefaultFileName(owner->Name, folder);
    const int index = FilesetList->CreateFileset(owner->Name, folder);
    if (index < 0) {
        questions().messageBox(creationFailure(path), QStringLiteral("New Fileset"), TMsgIcon::Error, mbOK);
        return;
    }
    TKTBFile* fileset = FilesetList->Items(index);
    const QString description = QStringLiteral("New Fileset");
    fileset->SetDescription(description);
    auto* child = new TTreeNode(description, ikFileset);
    node->addChild(child);
    child->Data.Ref = fileset;
    child->updateImages();
    EditNodeLabel(child);
}

void TForm1::AddSymbolicDisc(TTreeNode* node)
{
    if (node == nullptr || node->Data.Kind != ikFileset) {
        return;
    }
    TKTBDisc disc {};
    const char title[] = "New Disc";
    std::memcpy(disc.Title, title, sizeof title);
    const quint32 offset = ScanDisc(0, node->fileset()->Handle(), disc, true, false);
    TTreeNode* added = nullptr;
    {
        const TTreeRedraw redraw(TreeView1);
        FillNode(TreeView1, node, 1);
        added = offset != 0 ? FindChildByOffset(node, offset) : nullptr;
        node->setExpanded(true);
    }
    EditNodeLabel(added);
}

void TForm1::AddDiscFromDrive(QAction* item)
{
    TItemData target;
    if (treeFocused()) {
        TTreeNode* selected = TreeView1->selectedNode();
        if (selected == nullptr) {
            return;
        }
        target = selected->Data;
    } else if (listFocused()) {
        TItemDataArray items;
        if (!ListHelper->GetSelection(items)) {
            return;
        }
        target = items.front();
    } else {
        return;
    }
    if (target.Kind != ikFileset) {
        return;
    }
    auto* fileset = static_cast<TKTBFile*>(target.Ref);
    const char letter = static_cast<char>(item->property(s_groupIndex).toInt());
    const TKTBDisc blank {};
    const quint32 offset = ScanDisc(letter, fileset->Handle(), blank, false, false);
    fileset->Close();
    if (offset == 0) {
        return;
    }
    TTreeNode* node = nodeForItem(target);
    if (node == nullptr) {
        return;
    }
    FillNode(TreeView1, node, 1);
    selectAndShow(node);
    TTreeNode* added = FindChildByOffset(node, offset);
    node->setExpanded(true);
    if (added != nullptr) {
        selectAndShow(added);
        EditNodeLabel(added);
    }
}

// ---------------------------------------------------------------------------------------------
// Properties

void TForm1::act_propertiesExecute()
{
    if (treeFocused()) {
        PropertiesFromTree();
    } else {
        PropertiesFromList();
    }
}

void TForm1::PropertiesFromTree()
{
    const QString path = NodePath(TreeView1, TreeView1->selectedNode());
    const TItemDataArray items { CurrentItem };
    int result = QDialog::Rejected;
    switch (CurrentItem.Kind) {
    case ikFileset:
        result = ShowFilesetProperties(items);
        break;
    case ikDisc:
        result = ShowDiscProperties(items);
        break;
    default:
        return;
    }
    if (result != QDialog::Accepted) {
        return;
    }
    RefreshOwnersBranch();
    TreeView1->selectNode(FindNodeByPath(TreeView1, path));
}

void TForm1::PropertiesFromList()
{
    const QString path = NodePath(TreeView1, TreeView1->selectedNode());
    TItemDataArray items;
    if (!ListHelper->GetSelection(items)) {
        return;
    }
    switch (items.front().Kind) {
    case ikFileset:
        if (ShowFilesetProperties(items) == QDialog::Accepted) {
            RefreshOwnersBranch();
        }
        break;
    case ikDisc:
        if (ShowDiscProperties(items) == QDialog::Accepted) {
            RefreshOwnersBranch();
            Edit1->setText(path);
            Button2Click();
        }
        break;
    default:
        return;
    }
    TreeView1->selectNode(FindNodeByPath(TreeView1, path));
}
