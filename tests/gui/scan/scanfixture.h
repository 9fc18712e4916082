#pragma once
// What the scanning window tests share: a temporary config folder with its settings store, a registry
// and owners index over filesets the test builds, the scripted questions, a table of test drives that
// can stop a walk or fail a folder, and a temporary folder of its own for the scratch catalogs.

#include "core/settings/settings.h"
#include "engine/ktbdef.h"
#include "platform/drivelayer.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/discimages.h"
#include "tests/support/qtprinters.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class Fileset;

/// Test drives over images and folders whose listings can be watched and made to fail.
class HookedDriveTable final : public DriveTable {
public:
    bool setDrive(char letter, const std::string& path) { return m_inner.setDrive(letter, path); }
    std::vector<char> letters() override { return m_inner.letters(); }
    Drive* drive(char letter) override;
    std::uint64_t revision() override { return m_inner.revision(); }

    /// Called on the walking thread for every entry a listing delivers.
    std::function<void(const TKTBDirEntry&)> OnEntry;
    /// The name of a folder whose listing cannot be opened.
    std::string UnreadableFolder;

private:
    PathDriveTable m_inner;
    std::mutex m_mutex;
    std::map<Drive*, std::unique_ptr<Drive>> m_wrapped;
};

class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The storage folder "Filesets/" of the config folder, ending in "/".
    std::string storage() const { return m_temp.path() + "Filesets/"; }
    /// The system temporary folder the code under test sees.
    std::string temporaryFolder() const { return m_temp.path() + "tmp/"; }

    /// A folder disc of count files of size bytes each, spread over folders of 100.
    std::string folderDisc(const std::string& name, int count, std::uint64_t size = 10);
    /// An ISO image of a small tree with this volume id.
    std::string isoDisc(const std::string& name, const std::string& volumeId);
    /// A CUE/BIN disc of three audio tracks.
    std::string audioDisc(const std::string& name);

    /// Writes the catalog into the storage folder and registers it.
    Fileset* addFileset(const std::string& fileName, const CatalogBuilder& catalog);
    /// The discs of a fileset, in file order, read through a handle of its own.
    static std::vector<TKTBDisc> discsOf(const std::string& path);
    static std::vector<std::uint32_t> discOffsetsOf(const std::string& path);
    /// The serial a drive's disc gets.
    static std::uint32_t serialOf(char letter);
    /// The scratch folders left in the temporary folder.
    QStringList scratchLeftovers() const;

    TempFolder m_temp;
    std::unique_ptr<SettingsScope> m_settings;
    std::unique_ptr<ScriptedQuestions> m_questions;
    HookedDriveTable* m_drives = nullptr;
    QByteArray m_oldTemporaryFolder;
};

/// The title of a disc record as text.
QString titleOf(const TKTBDisc& disc);
QString commentOf(const TKTBDisc& disc);
/// A disc record template with this title and comment.
TKTBDisc discTemplate(const std::string& title, const std::string& comment = {});
