#pragma once
// The settings and property windows over filesets a test builds: a temporary config folder
// (Settings.ini, ktblist.lst) with a storage folder "Filesets/" inside, the scripted questions and the
// process-wide objects (registry, owners, settings). Also a way to act on a modal window from inside
// its exec, and readers that look at catalogs on disc without the windows' filesets.

#include "browser/Application.h"
#include "engine/ktbdef.h"
#include "tests/support/CatalogBuilder.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedQuestions.h"
#include "tests/support/TempFolder.h"

#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QDialog;
class TKTBFile;

/// Calls action with the modal dialog as soon as one is open, from inside its exec.
void whenModal(std::function<void(QDialog*)> action);

/// The disc record at offset of the catalog at path, read through a read-only handle of its own.
TKTBDisc storedDisc(const QString& path, std::uint32_t offset);
/// The description and owner stored in the catalog at path, read through a read-only fileset.
QString storedDescription(const QString& path);
QString storedOwner(const QString& path);

class WindowsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The storage folder, ending in "/".
    std::string storage() const { return m_temp.path() + "Filesets/"; }
    QString storagePath() const { return QString::fromStdString(storage()); }
    /// A path in the temporary folder.
    QString tempPath(const std::string& name) const { return QString::fromStdString(m_temp.file(name)); }
    /// Writes Settings.ini with FilesetFolder set to the storage folder and the given further lines.
    void writeSettings(const std::string& lines = {});
    /// Creates the process-wide objects: the registry loads ktblist.lst, the storage folder is added.
    void startObjects();
    /// Writes catalog to path and registers it; answers its fileset.
    TKTBFile* addFileset(const CatalogBuilder& catalog, const QString& path);
    /// The file names (without folder) of the registered filesets, in registry order.
    static QStringList registeredNames();

    TempFolder m_temp;
    std::unique_ptr<ScriptedQuestions> m_questions;
    std::unique_ptr<TProgramObjects> m_objects;
};
