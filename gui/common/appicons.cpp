#include "gui/common/appicons.h"

#include "gui/common/systemicons.h"

#include <QApplication>
#include <QStyle>

AppIcons* g_appIcons = nullptr;

namespace {

QIcon programImage(const char* name) { return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name)); }

QIcon folderImage(bool open)
{
    QIcon icon;
    if (shellIcon(QString(), open, icon) && !icon.isNull()) {
        return icon;
    }
    return programImage(open ? "folder-open.svg" : "folder.svg");
}

} // namespace

// The images are compiled into the static GUI library, whose resources are registered by hand.
static void registerImages()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(katalox);
        return true;
    }();
    (void)registered;
}

AppIcons::AppIcons()
{
    registerImages();
    smallImages.add(programImage("tools.svg"));
    smallImages.add(programImage("magnifier.svg"));
    smallImages.add(programImage("owner.svg"));
    smallImages.add(programImage("fileset.svg"));
    smallImages.add(programImage("datadisc.svg"));
    smallImages.add(programImage("audiodisc.svg"));
    // Lists of catalogued files show a generic picture on a desktop without an icon theme.
    systemIcons().setLastResortIcons(QApplication::style()->standardIcon(QStyle::SP_FileIcon),
        programImage("folder.svg"), programImage("folder-open.svg"));
    smallImages.add(folderImage(false));
    smallImages.add(folderImage(true));
}

const ImageList& smallImageList()
{
    if (g_appIcons == nullptr) {
        // Kept for the rest of the run, so no icon outlives the application object's clean-up order.
        static const AppIcons* standIn = new AppIcons;
        return standIn->smallImages;
    }
    return g_appIcons->smallImages;
}
