#include "gui/mainwindow/navigationnode.h"

#include "core/filesets/fileset.h"
#include "engine/ktbdef.h"
#include "gui/common/appicons.h"

NavigationNode::NavigationNode(const QString& text, ItemKind kind)
{
    setText(0, text);
    item.kind = kind;
}

bool NavigationNode::operator<(const QTreeWidgetItem& other) const
{
    return text(0).compare(other.text(0), Qt::CaseInsensitive) < 0;
}

Fileset* NavigationNode::fileset() const
{
    switch (item.kind) {
    case FilesetItem:
    case DiscItem:
    case FolderItem:
        return static_cast<Fileset*>(item.ref);
    default:
        return nullptr;
    }
}

int NavigationNode::imageIndex() const
{
    if (item.kind == FolderItem) {
        return isExpanded() ? OpenFolderImage : ClosedFolderImage;
    }
    if (item.kind == DiscItem && (item.flags & KTB_DISC_AUDIO) != 0) {
        return AudioDiscImage;
    }
    return item.kind;
}

int NavigationNode::selectedImageIndex() const
{
    if (item.kind == FolderItem) {
        return OpenFolderImage;
    }
    if (item.kind == DiscItem && (item.flags & KTB_DISC_AUDIO) != 0) {
        return AudioDiscImage;
    }
    return item.kind;
}

void NavigationNode::updateImages()
{
    const int normal = imageIndex();
    const int selected = selectedImageIndex();
    const ImageList& images = smallImageList();
    QIcon icon;
    for (const QSize size : { QSize(16, 16), QSize(32, 32) }) {
        icon.addPixmap(images.icon(normal).pixmap(size), QIcon::Normal);
        icon.addPixmap(images.icon(selected).pixmap(size), QIcon::Selected);
    }
    setIcon(0, icon);
}
