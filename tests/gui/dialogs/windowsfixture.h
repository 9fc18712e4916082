#pragma once
// The settings and property windows over filesets a test builds: the main window's folders, settings
// and scripted questions, with the process-wide objects but no main window. Also a way to act on a modal
// window from inside its exec, and readers that look at catalogs on disc without the windows' filesets.

#include "engine/ktbdef.h"
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include <QString>
#include <functional>

class QDialog;
class Fileset;

/// Calls action with the modal dialog as soon as one is open, from inside its exec.
void whenModal(std::function<void(QDialog*)> action);

/// The disc record at offset of the catalog at path, read through a read-only handle of its own.
TKTBDisc storedDisc(const QString& path, std::uint32_t offset);
/// The description and owner stored in the catalog at path, read through a read-only fileset.
QString storedDescription(const QString& path);
QString storedOwner(const QString& path);

/// The main window's fixture without the window: its folders, settings and scripted questions, and the
/// process-wide objects alone.
class WindowsFixture : public MainWindowFixture {
protected:
    /// A path in the temporary folder.
    QString tempPath(const std::string& name) const { return QString::fromStdString(m_temp.file(name)); }
    /// Creates the process-wide objects: the registry loads ktblist.lst, the storage folder is added.
    void startObjects();
    /// Writes catalog to path and registers it; answers its fileset.
    Fileset* addFileset(const CatalogBuilder& catalog, const QString& path);
    /// The file names (without folder) of the registered filesets, in registry order.
    static QStringList registeredNames();
};
