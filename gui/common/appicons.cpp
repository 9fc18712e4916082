#include "gui/common/appicons.h"

#include "core/common/questions.h"
#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "core/settings/shell.h"

#include <QApplication>
#include <QStyle>

TDM* DM = nullptr;

namespace {

QIcon programImage(const char* name) { return QIcon(QStringLiteral(":/icons/") + QString::fromLatin1(name)); }

QIcon folderImage(bool open)
{
    QIcon icon;
    if (GetShellIcon(QString(), open, icon) && !icon.isNull()) {
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

TDM::TDM()
{
    registerImages();
    img_Small.Add(programImage("tools.svg"));
    img_Small.Add(programImage("magnifier.svg"));
    img_Small.Add(programImage("owner.svg"));
    img_Small.Add(programImage("fileset.svg"));
    img_Small.Add(programImage("datadisc.svg"));
    img_Small.Add(programImage("audiodisc.svg"));
    // Lists of catalogued files show a generic picture on a desktop without an icon theme.
    SystemImages().setLastResortIcons(QApplication::style()->standardIcon(QStyle::SP_FileIcon),
        programImage("folder.svg"), programImage("folder-open.svg"));
    img_Small.Add(folderImage(false));
    img_Small.Add(folderImage(true));
}

const TImageList& SmallImages()
{
    if (DM == nullptr) {
        // Kept for the rest of the run, so no icon outlives the application object's clean-up order.
        static const TDM* standIn = new TDM;
        return standIn->img_Small;
    }
    return DM->img_Small;
}

void ShowErrorText(const QString& text)
{
    questions().messageBox(text, QStringLiteral("Katalox"), TMsgIcon::Error, mbOK, true);
}

void ShowException(const std::exception& failure)
{
    if (const auto* catalog = dynamic_cast<const EKTBException*>(&failure)) {
        ShowErrorText(catalog->message());
        return;
    }
    if (const auto* io = dynamic_cast<const EInOutError*>(&failure)) {
        ShowErrorText(io->message());
        return;
    }
    if (const auto* write = dynamic_cast<const ESettingsWriteError*>(&failure)) {
        ShowErrorText(write->message());
        return;
    }
    ShowErrorText(QString::fromUtf8(failure.what()));
}

bool RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& failure) {
        ShowException(failure);
    } catch (...) {
        ShowErrorText(QStringLiteral("Unknown error"));
    }
    return false;
}
