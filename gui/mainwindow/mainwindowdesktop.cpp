// The main window as a desktop program: images, folders and catalogs dropped from the file manager,
// catalogs handed over by `katalox FILE` (also from a later start of the program), and deleted filesets
// brought back.
#include "gui/mainwindow/mainwindow.h"

#include "core/catalog/catalogchanges.h"
#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/common/errordisplay.h"
#include "gui/dialogs/restorefilesetdialog.h"
#include "gui/mainwindow/navigationtree.h"
#include "gui/scan/scandialog.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace {

/// How long a file handed over waits for a modal window to close before it is tried again.
constexpr int s_retryMs = 300;

const QString s_restoreCaption = QStringLiteral("Restore Deleted Fileset");

bool isCatalogName(const QString& path) { return path.endsWith(QStringLiteral(".ktb"), Qt::CaseInsensitive); }

/// Whether the file at path is found at every start anyway: it lies directly inside the storage folder
/// or a managed folder.
bool isInLoadedFolder(const QString& path)
{
    QStringList folders { settings().stringValue(FilesetFolderSetting) };
    folders += g_filesetRegistry->locations;
    const QString folder = QDir::cleanPath(QFileInfo(path).absolutePath());
    return std::any_of(folders.begin(), folders.end(), [&folder](const QString& location) {
        return !location.isEmpty() && QFileInfo(location).isDir() && QDir::cleanPath(location) == folder;
    });
}

} // namespace

QString MainWindow::droppedPath(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls()) {
        return {};
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && QFileInfo::exists(url.toLocalFile())) {
            return QFileInfo(url.toLocalFile()).absoluteFilePath();
        }
    }
    return {};
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedPath(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!droppedPath(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = droppedPath(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // What follows asks questions and opens windows: after the drag has ended, not inside it.
    QTimer::singleShot(0, this, [this, path] { runGuarded([this, path] { openDroppedPath(path); }); });
}

void MainWindow::openDroppedPath(const QString& path)
{
    if (QFileInfo(path).isFile() && isCatalogName(path)) {
        openCatalogFile(path);
        return;
    }
    if (const char letter = ScanDialog::virtualDriveFor(path); letter != 0) {
        openScanWindow(letter);
    }
}

void MainWindow::openCatalogFile(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    int index = g_filesetRegistry->indexOfPath(absolute);
    if (index < 0) {
        index = g_filesetRegistry->addFile(absolute); // raises CatalogError when it is no catalog
        if (index < 0) {
            return; // an older catalog the user chose not to convert
        }
        // The storage folder and managed folders are read at every start; any other file becomes a
        // managed location.
        if (!isInLoadedFolder(absolute)) {
            g_filesetRegistry->locations.append(absolute);
            g_filesetRegistry->saveLocations();
        }
    }
    Fileset* fileset = g_filesetRegistry->at(index);
    refreshOwnersBranch();
    const int owner = g_ownerIndex->indexOfFileset(fileset);
    NodePlace place;
    if (owner >= 0) {
        place.trail = { ItemRef { OwnerItem, g_ownerIndex->at(owner) }, ItemRef { FilesetItem, fileset } };
    }
    returnTo(place);
}

void MainWindow::openCatalogFileWhenFree(const QString& path)
{
    bringToFront();
    // A modal window (a question, the scan window) keeps its catalogs as they are until it closes.
    if (!m_shown || QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(s_retryMs, this, [this, path] { openCatalogFileWhenFree(path); });
        return;
    }
    runGuarded([this, path] { openCatalogFile(path); });
}

void MainWindow::bringToFront()
{
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void MainWindow::restoreDeletedFileset()
{
    // Where deleting a fileset leaves its ".bak": the storage folder and every managed location.
    QStringList folders { settings().stringValue(FilesetFolderSetting) };
    QStringList files;
    for (const QString& location : g_filesetRegistry->locations) {
        const QFileInfo info(location);
        (info.isDir() ? folders : files).append(info.absoluteFilePath());
    }
    const QStringList backups = deletedFilesets(folders, files);
    if (backups.isEmpty()) {
        questions().messageBox(QStringLiteral("There is no deleted fileset to restore."), s_restoreCaption,
            MessageIcon::Information, OkButton);
        return;
    }
    RestoreFilesetDialog chooser(backups, this);
    if (chooser.exec() != QDialog::Accepted || chooser.chosenBackup().isEmpty()) {
        return;
    }
    restoreFileset(chooser.chosenBackup());
}

bool MainWindow::restoreFileset(const QString& backup)
{
    QString target = restoredName(backup);
    for (;;) {
        switch (::restoreFileset(backup, target)) {
        case RestoreOutcome::Restored:
            openCatalogFile(target);
            return true;
        case RestoreOutcome::Failed:
            questions().messageBox(
                QStringLiteral("Unable to restore %1").arg(backup), s_restoreCaption, MessageIcon::Error, OkButton);
            return false;
        case RestoreOutcome::NameTaken:
            break;
        }
        // Another file has the name now: the user gives this one a new one.
        questions().messageBox(
            QStringLiteral("%1 exists already.\r\nChoose another name for the restored fileset.").arg(target),
            s_restoreCaption, MessageIcon::Warning, OkButton);
        target = questions().saveFileName(
            s_restoreCaption, QFileInfo(backup).absolutePath(), QStringLiteral("Katalox Data Set (*.ktb)"));
        if (target.isEmpty()) {
            return false;
        }
        if (!isCatalogName(target)) {
            target += QStringLiteral(".ktb"); // only "*.ktb" files are found in folders
        }
    }
}
