// The main window's pop-up menus and the commands only they offer: new owners, new filesets, symbolic
// discs, discs scanned from a drive, and the fileset and disc properties windows.
#include "gui/mainwindow/mainwindow.h"

#include "core/common/questions.h"
#include "core/drives/driveutils.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/common/errordisplay.h"
#include "gui/dialogs/discpropertiesdialog.h"
#include "gui/dialogs/filesetpropertiesdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/mainwindow/treeredrawblocker.h"
#include "gui/scan/scanprocedure.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTreeView>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

/// The Tag of the drive items of the fileset menu; their group index holds the drive letter.
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
    return QStringLiteral("Cannot create the new fileset ") + s_quote + QFileInfo(path).fileName() + s_quote
        + QStringLiteral(".") + QStringLiteral("\r\n") + FilesetRegistry::creationFailureReason(path)
        + QStringLiteral("\r\n") + QStringLiteral("Check the fileset folder in the config window.");
}

} // namespace

void MainWindow::connectPopups()
{
    QAction* newOwnerAction = new QAction(QStringLiteral("New Owner"), this);
    newOwnerAction->setObjectName(QStringLiteral("newOwnerAction"));
    connectGuarded(newOwnerAction, &QAction::triggered, this, [this] { newOwner(); });
    rootMenu = newMenu(this, "rootMenu");
    rootMenu->addAction(newOwnerAction);
    rootMenu->addSeparator();
    rootMenu->addAction(action("scanDiscAction"));
    rootMenu->addAction(action("refreshTreeAction"));

    // "New Fileset" and "Add Symbolic Disc" act on the owner or fileset the menu was opened for.
    QAction* newOwnerFileset = new QAction(QStringLiteral("New Fileset"), this);
    newOwnerFileset->setObjectName(QStringLiteral("newOwnerFilesetAction"));
    connectGuarded(newOwnerFileset, &QAction::triggered, this, [this] { newFilesetForOwner(commandNode(OwnerItem)); });
    ownerMenu = newMenu(this, "ownerMenu");
    ownerMenu->addAction(newOwnerFileset);
    ownerMenu->addSeparator();
    ownerMenu->addAction(action("deleteAction"));
    ownerMenu->addAction(action("renameAction"));

    QAction* symbolicDisc = new QAction(QStringLiteral("Add Symbolic Disc"), this);
    symbolicDisc->setObjectName(QStringLiteral("addSymbolicDiscAction"));
    connectGuarded(symbolicDisc, &QAction::triggered, this, [this] { addSymbolicDisc(commandNode(FilesetItem)); });
    filesetMenu = newMenu(this, "filesetMenu");
    filesetMenu->addAction(symbolicDisc);
    filesetMenu->addSeparator();
    filesetMenu->addAction(action("deleteAction"));
    filesetMenu->addAction(action("renameAction"));
    filesetMenu->addSeparator();
    filesetMenu->addAction(action("propertiesAction"));
    filesetMenu->setDefaultAction(action("propertiesAction"));
    connectGuarded(filesetMenu, &QMenu::aboutToShow, this, [this] { onFilesetMenuAboutToShow(); });

    discMenu = newMenu(this, "discMenu");
    discMenu->addAction(action("deleteAction"));
    discMenu->addAction(action("renameAction"));
    discMenu->addSeparator();
    discMenu->addAction(action("propertiesAction"));
    discMenu->setDefaultAction(action("propertiesAction"));

    searchMenu = newMenu(this, "searchMenu");
    searchMenu->addAction(action("propertiesAction"));

    connectGuarded(action("propertiesAction"), &QAction::triggered, this, [this] { showProperties(); });

    navigationTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connectGuarded(navigationTree, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { handleTreeMousePress(position); });
    catalogView->setContextMenuPolicy(Qt::CustomContextMenu);
    connectGuarded(catalogView, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { handleCatalogViewMousePress(position); });
    searchPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(searchPanel, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& position) { searchMenu->popup(searchPanel->mapToGlobal(position)); });
}

// ---------------------------------------------------------------------------------------------
// Opening the menus

QMenu* MainWindow::popupMenuOf(ItemKind kind) const
{
    switch (kind) {
    case OwnersItem:
        return rootMenu;
    case OwnerItem:
        return ownerMenu;
    case FilesetItem:
        return filesetMenu;
    case DiscItem:
        return discMenu;
    default:
        return nullptr;
    }
}

void MainWindow::showPopupFor(NavigationNode* node, const QPoint& globalPosition)
{
    if (node == nullptr) {
        rootMenu->popup(globalPosition);
        return;
    }
    currentItem = node->item;
    if (QMenu* menu = popupMenuOf(node->item.kind)) {
        menu->popup(globalPosition);
    }
}

void MainWindow::handleTreeMousePress(const QPoint& position)
{
    NavigationNode* node = navigationTree->nodeAt(position);
    if (node != nullptr) {
        navigationTree->selectNode(node);
    }
    showPopupFor(node, navigationTree->viewport()->mapToGlobal(position));
}

void MainWindow::handleCatalogViewMousePress(const QPoint& position)
{
    ItemRefs items;
    if (!g_catalogList->selection(items)) {
        return;
    }
    if (QMenu* menu = popupMenuOf(items.front().kind)) {
        menu->popup(catalogView->viewport()->mapToGlobal(position));
    }
}

void MainWindow::onFilesetMenuAboutToShow()
{
    for (QAction* item : filesetMenu->actions()) {
        if (item->property(s_tag).toInt() > 0) {
            filesetMenu->removeAction(item);
            delete item;
        }
    }
    DriveList drives;
    listDrives(&drives);
    for (const DriveEntry& drive : drives) {
        const QString letter = QString(QChar::fromLatin1(drive.letter));
        QString label;
        const bool present = discLabel(drive.letter, label);
        const QString caption = present ? QStringLiteral("Add ") + s_quote + label + s_quote
                + QStringLiteral(" from Drive (") + letter + QStringLiteral(":)")
                                        : QStringLiteral("Insert Disc in Drive (") + letter + QStringLiteral(":)");
        auto* item = new QAction(menuText(caption), filesetMenu);
        item->setEnabled(present);
        item->setProperty(s_tag, s_driveItemTag);
        item->setProperty(s_groupIndex, static_cast<int>(static_cast<unsigned char>(drive.letter)));
        connectGuarded(item, &QAction::triggered, this, [this, item] { addDiscFromDrive(item); });
        // Each goes to the top: the last drive letter ends up first.
        filesetMenu->insertAction(filesetMenu->actions().value(0), item);
    }
}

// ---------------------------------------------------------------------------------------------
// Creation commands

NavigationNode* MainWindow::nodeForItem(const ItemRef& item) const
{
    NavigationNode* selected = navigationTree->selectedNode();
    const auto stands = [&item](const NavigationNode* node) {
        return node->item.kind == item.kind && node->item.ref == item.ref && node->item.offset == item.offset;
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

NavigationNode* MainWindow::commandNode(ItemKind kind)
{
    // Opened for a row of the list, the command acts on that row's node, which the tree then shows.
    ItemRefs items;
    if (listFocused() && g_catalogList->selection(items) && items.front().kind == kind) {
        NavigationNode* node = nodeForItem(items.front());
        selectAndShow(node);
        return node;
    }
    return navigationTree->selectedNode();
}

void MainWindow::newOwner()
{
    NavigationNode* owners = navigationTree->ownersNode;
    if (owners == nullptr) {
        return;
    }
    const QString name = QStringLiteral("New Owner");
    auto* node = new NavigationNode(name, OwnerItem);
    owners->addChild(node);
    node->item.ref = g_ownerIndex->at(g_ownerIndex->addOwner(name));
    node->updateImages();
    owners->setExpanded(true);
    editNodeLabel(node);
}

void MainWindow::newFilesetForOwner(NavigationNode* node)
{
    if (node == nullptr || node->item.kind != OwnerItem) {
        return;
    }
    node->setExpanded(true);
    const auto* owner = static_cast<Owner*>(node->item.ref);
    const QString folder = settings().stringValue(FilesetFolderSetting);
    // The storage folder of a first run exists only once something is stored in it.
    if (!folder.isEmpty() && !QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
    }
    // The fileset is made before its node, so no node stands for a fileset that could not be made.
    const QString path = FilesetRegistry::defaultFileName(owner->name, folder);
    const int index = g_filesetRegistry->createFileset(owner->name, folder);
    if (index < 0) {
        questions().messageBox(creationFailure(path), QStringLiteral("New Fileset"), MessageIcon::Error, OkButton);
        return;
    }
    Fileset* fileset = g_filesetRegistry->at(index);
    const QString description = QStringLiteral("New Fileset");
    fileset->setDescription(description);
    auto* child = new NavigationNode(description, FilesetItem);
    node->addChild(child);
    child->item.ref = fileset;
    child->updateImages();
    editNodeLabel(child);
}

void MainWindow::addSymbolicDisc(NavigationNode* node)
{
    if (node == nullptr || node->item.kind != FilesetItem || refuseReadOnly({ node->item })) {
        return;
    }
    TKTBDisc disc {};
    const char title[] = "New Disc";
    std::memcpy(disc.Title, title, sizeof title);
    const quint32 offset = scanDisc(0, node->fileset()->handle(), disc, true, false);
    if (offset != 0) {
        g_filesetRegistry->notifyChanged(node->fileset());
    }
    NavigationNode* added = nullptr;
    {
        const TreeRedrawBlocker redraw(navigationTree);
        fillNode(navigationTree, node, 1);
        added = offset != 0 ? findChildByOffset(node, offset) : nullptr;
        node->setExpanded(true);
    }
    editNodeLabel(added);
}

void MainWindow::addDiscFromDrive(QAction* item)
{
    ItemRef target;
    if (treeFocused()) {
        NavigationNode* selected = navigationTree->selectedNode();
        if (selected == nullptr) {
            return;
        }
        target = selected->item;
    } else if (listFocused()) {
        ItemRefs items;
        if (!g_catalogList->selection(items)) {
            return;
        }
        target = items.front();
    } else {
        return;
    }
    if (target.kind != FilesetItem || refuseReadOnly({ target })) {
        return;
    }
    auto* fileset = static_cast<Fileset*>(target.ref);
    const char letter = static_cast<char>(item->property(s_groupIndex).toInt());
    const TKTBDisc blank {};
    const quint32 offset = scanDisc(letter, fileset->handle(), blank, false, false);
    fileset->close();
    if (offset == 0) {
        return;
    }
    g_filesetRegistry->notifyChanged(fileset);
    NavigationNode* node = nodeForItem(target);
    if (node == nullptr) {
        return;
    }
    fillNode(navigationTree, node, 1);
    selectAndShow(node);
    NavigationNode* added = findChildByOffset(node, offset);
    node->setExpanded(true);
    if (added != nullptr) {
        selectAndShow(added);
        editNodeLabel(added);
    }
}

// ---------------------------------------------------------------------------------------------
// Properties

void MainWindow::showProperties()
{
    if (treeFocused()) {
        showTreeProperties();
    } else {
        showListProperties();
    }
}

namespace {

/// Tells the registry's listeners of every fileset the items lie in.
void notifyChanged(const ItemRefs& items)
{
    std::vector<Fileset*> filesets;
    for (const ItemRef& item : items) {
        auto* fileset = static_cast<Fileset*>(item.ref);
        if (std::find(filesets.begin(), filesets.end(), fileset) == filesets.end()) {
            filesets.push_back(fileset);
            g_filesetRegistry->notifyChanged(fileset);
        }
    }
}

} // namespace

void MainWindow::showTreeProperties()
{
    // The place by identity: a rename in the window changes the texts a path would look for.
    const NodePlace place = placeOf(navigationTree->selectedNode());
    const ItemRefs items { currentItem };
    int result = QDialog::Rejected;
    switch (currentItem.kind) {
    case FilesetItem:
        result = showFilesetProperties(items);
        break;
    case DiscItem:
        result = showDiscProperties(items);
        break;
    default:
        return;
    }
    if (result != QDialog::Accepted) {
        return;
    }
    notifyChanged(items);
    refreshOwnersBranch();
    returnTo(place);
}

void MainWindow::showListProperties()
{
    const NodePlace place = placeOf(navigationTree->selectedNode());
    ItemRefs items;
    if (!currentListSelection(items)) {
        return;
    }
    int result = QDialog::Rejected;
    switch (items.front().kind) {
    case FilesetItem:
        result = showFilesetProperties(items);
        break;
    case DiscItem:
        result = showDiscProperties(items);
        break;
    default:
        return;
    }
    if (result == QDialog::Accepted) {
        notifyChanged(items);
        refreshOwnersBranch();
    }
    returnTo(place);
}
