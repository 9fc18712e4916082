// The settings window: start options in and out, the locations list and its buttons, OK reloading the
// registry and the owners, Cancel changing nothing.
#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/dialogs/settingsdialog.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <optional>

namespace {

QString loginPath()
{
    QString name;
    loginName(name);
    return name + QLatin1Char('\\');
}

QStringList listEntries(const QListWidget* list)
{
    QStringList entries;
    for (int row = 0; row < list->count(); ++row) {
        entries << list->item(row)->text();
    }
    return entries;
}

class SettingsDialogTest : public WindowsFixture {
protected:
    /// Creates the window and shows it, which fills it.
    void open()
    {
        m_form = std::make_unique<SettingsDialog>();
        m_form->show();
        QApplication::processEvents();
    }
    SettingsDialog& form() { return *m_form; }

    void selectRow(int row)
    {
        QListWidget* list = form().locationsList;
        const QRect area = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, area.center());
    }

    void TearDown() override
    {
        m_form.reset();
        WindowsFixture::TearDown();
    }

    std::unique_ptr<SettingsDialog> m_form;
};

TEST_F(SettingsDialogTest, ShowsItsPagesAndTexts)
{
    writeSettings();
    startObjects();
    open();
    EXPECT_EQ(form().windowTitle(), QStringLiteral("Katalox Settings"));
    ASSERT_EQ(form().pages->count(), 2);
    EXPECT_EQ(form().pages->tabText(0), QStringLiteral("Filesets"));
    EXPECT_EQ(form().pages->tabText(1), QStringLiteral("Startup"));
    EXPECT_EQ(form().lastLocationRadio->text(), QStringLiteral("Start at the last tree location"));
    EXPECT_EQ(form().searchRadio->text(), QStringLiteral("Always Start with Search"));
    EXPECT_EQ(form().myFilesetsRadio->text(), QStringLiteral("Always Start at My Filesets"));
    EXPECT_EQ(form().startPathRadio->text(), QStringLiteral("Always Start here :"));
    EXPECT_EQ(form().okButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(form().okButton->isDefault());
    EXPECT_EQ(form().cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_FALSE(form().addLocationButton->isEnabled()) << "Add starts disabled";
    EXPECT_FALSE(form().removeLocationButton->isEnabled()) << "Remove starts disabled";
    EXPECT_EQ(form().storageEdit->text(), storagePath());
}

// How the stored start location shows: the choice, the box's text, and whether it can be seen and edited.
struct StartShown {
    const char* name;
    bool startLastPath;
    QString currentPath; ///< "<login>" stands for the login name followed by "\"
    int choice; ///< 1 to 4
    QString boxText;
    bool boxVisible;
    bool boxEditable;
    friend void PrintTo(const StartShown& example, std::ostream* out) { *out << example.name; }
};

class StartOptionShown : public SettingsDialogTest, public ::testing::WithParamInterface<StartShown> { };

TEST_P(StartOptionShown, PicksTheChoiceOfTheStoredLocation)
{
    const StartShown& expected = GetParam();
    const QString current = expected.currentPath == QStringLiteral("<login>") ? loginPath() : expected.currentPath;
    writeSettings("StartLastPath=" + std::string(expected.startLastPath ? "1" : "0")
        + "\r\nCurrentPath=" + current.toStdString() + "\r\n");
    startObjects();
    open();
    const QRadioButton* choices[]
        = { form().lastLocationRadio, form().searchRadio, form().myFilesetsRadio, form().startPathRadio };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(choices[i]->isChecked(), i + 1 == expected.choice) << "choice " << i + 1;
    }
    // Behind the last-location choice the box holds nothing, not the location stored for it.
    const QString box = expected.boxText == QStringLiteral("<login>") ? loginPath() : expected.boxText;
    EXPECT_EQ(form().startPathEdit->text(), box);
    EXPECT_EQ(!form().startPathEdit->isHidden(), expected.boxVisible);
    EXPECT_EQ(!form().startPathEdit->isReadOnly(), expected.boxEditable);
}

INSTANTIATE_TEST_SUITE_P(StoredLocations, StartOptionShown,
    ::testing::Values(StartShown { "LastLocation", true, QStringLiteral("Alice\\Music\\"), 1, {}, false, false },
        StartShown { "Search", false, QStringLiteral("[Search]"), 2, QStringLiteral("[Search]"), true, false },
        StartShown { "MyFilesets", false, QStringLiteral("<login>"), 3, QStringLiteral("<login>"), true, false },
        StartShown {
            "CustomPath", false, QStringLiteral("Alice\\Music\\"), 4, QStringLiteral("Alice\\Music\\"), true, true },
        // The stored location is compared exactly: another letter case is a path of its own.
        StartShown {
            "SearchInOtherCase", false, QStringLiteral("[search]"), 4, QStringLiteral("[search]"), true, true },
        StartShown { "Nothing", false, QString(), 4, QString(), true, true }),
    [](const ::testing::TestParamInfo<StartShown>& info) { return std::string(info.param.name); });

// What OK stores for each choice.
struct StartStored {
    const char* name;
    int choice;
    QString typed; ///< typed into the box after choosing (only the fourth choice lets the user)
    bool startLastPath;
    QString currentPath; ///< "<login>" stands for the login name followed by "\"
    friend void PrintTo(const StartStored& example, std::ostream* out) { *out << example.name; }
};

class StartOptionStored : public SettingsDialogTest, public ::testing::WithParamInterface<StartStored> { };

TEST_P(StartOptionStored, OkStoresTheChoice)
{
    const StartStored& expected = GetParam();
    writeSettings("StartLastPath=0\r\nCurrentPath=bob\\Photos\\\r\n");
    startObjects();
    open();
    QRadioButton* choices[]
        = { form().lastLocationRadio, form().searchRadio, form().myFilesetsRadio, form().startPathRadio };
    form().pages->setCurrentIndex(1);
    QTest::mouseClick(choices[expected.choice - 1], Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(choices[expected.choice - 1]->isChecked());
    if (!expected.typed.isEmpty()) {
        form().startPathEdit->selectAll();
        QTest::keyClicks(form().startPathEdit, expected.typed);
    }
    form().okButton->click();
    EXPECT_EQ(form().result(), QDialog::Accepted);
    EXPECT_EQ(settings().boolValue(StartLastPathSetting), expected.startLastPath);
    const QString path = expected.currentPath == QStringLiteral("<login>") ? loginPath() : expected.currentPath;
    EXPECT_EQ(settings().stringValue(CurrentPathSetting), path);
    EXPECT_TRUE(m_questions->asked().empty());
}

INSTANTIATE_TEST_SUITE_P(Choices, StartOptionStored,
    ::testing::Values(
        // The last location is written by the main window when it closes: the stored one stays.
        StartStored { "LastLocation", 1, {}, true, QStringLiteral("bob\\Photos\\") },
        StartStored { "Search", 2, {}, false, QStringLiteral("[Search]") },
        StartStored { "MyFilesets", 3, {}, false, QStringLiteral("<login>") },
        StartStored { "CustomPathKept", 4, {}, false, QStringLiteral("bob\\Photos\\") },
        StartStored { "CustomPathTyped", 4, QStringLiteral("Alice\\"), false, QStringLiteral("Alice\\") }),
    [](const ::testing::TestParamInfo<StartStored>& info) { return std::string(info.param.name); });

TEST_F(SettingsDialogTest, TheStartBoxFollowsTheChoices)
{
    writeSettings("StartLastPath=0\r\nCurrentPath=bob\\\r\n");
    startObjects();
    open();
    form().pages->setCurrentIndex(1);
    QTest::mouseClick(form().searchRadio, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form().startPathEdit->text(), QStringLiteral("[Search]"));
    EXPECT_TRUE(form().startPathEdit->isReadOnly());
    QTest::mouseClick(form().myFilesetsRadio, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form().startPathEdit->text(), loginPath());
    // The fourth choice keeps what the box shows and lets the user edit it.
    QTest::mouseClick(form().startPathRadio, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(form().startPathEdit->text(), loginPath());
    EXPECT_FALSE(form().startPathEdit->isReadOnly());
    QTest::mouseClick(form().lastLocationRadio, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(form().startPathEdit->isVisible());
}

TEST_F(SettingsDialogTest, AddAndRemoveAreEnabledByWhatThereIsToAddOrRemove)
{
    writeSettings();
    startObjects();
    open();
    QTest::keyClicks(form().locationEdit, QStringLiteral("/discs/a"));
    EXPECT_TRUE(form().addLocationButton->isEnabled());
    form().locationEdit->clear();
    EXPECT_FALSE(form().addLocationButton->isEnabled()) << "nothing to add";
    QTest::keyClicks(form().locationEdit, QStringLiteral("/discs/a"));
    form().addLocationButton->click();
    form().locationEdit->setText(QStringLiteral("/discs/b"));
    form().addLocationButton->click();
    EXPECT_EQ(
        listEntries(form().locationsList), (QStringList { QStringLiteral("/discs/a"), QStringLiteral("/discs/b") }));
    EXPECT_FALSE(form().removeLocationButton->isEnabled()) << "no entry selected yet";

    selectRow(0);
    EXPECT_TRUE(form().removeLocationButton->isEnabled());
    EXPECT_EQ(form().locationEdit->text(), QStringLiteral("/discs/a")) << "a clicked entry is copied to the box";
    form().removeLocationButton->click();
    EXPECT_EQ(listEntries(form().locationsList), (QStringList { QStringLiteral("/discs/b") }));
    EXPECT_EQ(form().removeLocationButton->isEnabled(), !form().locationsList->selectedItems().isEmpty());
}

TEST_F(SettingsDialogTest, TheDeleteKeyRemovesTheSelectedEntryOnly)
{
    writeSettings();
    startObjects();
    g_filesetRegistry->locations = QStringList { QStringLiteral("/discs/a"), QStringLiteral("/discs/b") };
    open();
    ASSERT_EQ(listEntries(form().locationsList), g_filesetRegistry->locations);
    form().locationsList->setFocus();
    form().locationsList->clearSelection();
    QTest::keyClick(form().locationsList, Qt::Key_Delete);
    EXPECT_EQ(form().locationsList->count(), 2) << "nothing selected, nothing removed";

    selectRow(1);
    QTest::keyClick(form().locationsList, Qt::Key_Delete);
    EXPECT_EQ(listEntries(form().locationsList), (QStringList { QStringLiteral("/discs/a") }));
}

TEST_F(SettingsDialogTest, AFolderPickedTwiceIsListedTwice)
{
    writeSettings();
    startObjects();
    open();
    const QString folder = tempPath("more");
    std::filesystem::create_directories(folder.toStdString());
    m_questions->answerFolder(folder);
    m_questions->answerFolder(folder);
    form().browseLocationButton->click();
    form().browseLocationButton->click();
    EXPECT_EQ(listEntries(form().locationsList), (QStringList { folder, folder }));
    EXPECT_EQ(form().locationEdit->text(), folder);
    ASSERT_EQ(m_questions->asked().size(), 2u);
    EXPECT_EQ(m_questions->asked()[0].kind, QuestionKind::ChooseFolder);
    EXPECT_EQ(m_questions->asked()[1].start, folder) << "the picker starts at the folder typed";
}

TEST_F(SettingsDialogTest, ThePrimaryFolderPickerStartsAtTheFolderShownAndReplacesIt)
{
    writeSettings();
    startObjects();
    open();
    m_questions->answerFolder(QString()); // cancelled
    form().browseStorageButton->click();
    EXPECT_EQ(form().storageEdit->text(), storagePath());
    const QString other = tempPath("other");
    m_questions->answerFolder(other);
    form().browseStorageButton->click();
    EXPECT_EQ(form().storageEdit->text(), other);
    ASSERT_EQ(m_questions->asked().size(), 2u);
    EXPECT_EQ(m_questions->asked()[0].start, storagePath());
    EXPECT_EQ(form().locationsList->count(), 0) << "the primary folder is not a managed location";
}

TEST_F(SettingsDialogTest, OkReloadsTheFilesetsFromTheNewLocations)
{
    writeSettings();
    ASSERT_TRUE(CatalogBuilder().setOwner("Alice").writeTo(storage() + "old.ktb"));
    const std::string primary = m_temp.path() + "primary/";
    const std::string shelf = m_temp.path() + "shelf/";
    std::filesystem::create_directories(primary);
    std::filesystem::create_directories(shelf);
    ASSERT_TRUE(CatalogBuilder().setOwner("Carol").writeTo(primary + "carol.ktb"));
    ASSERT_TRUE(CatalogBuilder().setOwner("dave").writeTo(shelf + "dave.ktb"));
    ASSERT_TRUE(CatalogBuilder().setOwner("Dave").writeTo(m_temp.file("single.ktb")));
    startObjects();
    ASSERT_EQ(registeredNames(), QStringList { QStringLiteral("old.ktb") });
    open();
    QSignalSpy reloading(&form(), &SettingsDialog::registryReloading);

    form().storageEdit->setText(QString::fromStdString(primary));
    for (const std::string& location : { shelf, m_temp.file("single.ktb"), m_temp.file("missing") }) {
        form().locationEdit->setText(QString::fromStdString(location));
        form().addLocationButton->click();
    }
    form().okButton->click();

    EXPECT_EQ(form().result(), QDialog::Accepted);
    EXPECT_EQ(reloading.count(), 1);
    EXPECT_EQ(settings().stringValue(FilesetFolderSetting), QString::fromStdString(primary));
    EXPECT_EQ(g_filesetRegistry->locations,
        (QStringList { QString::fromStdString(shelf), tempPath("single.ktb"), tempPath("missing") }))
        << "a location that does not exist stays listed";
    EXPECT_EQ(registeredNames(),
        (QStringList { QStringLiteral("carol.ktb"), QStringLiteral("dave.ktb"), QStringLiteral("single.ktb") }));
    ASSERT_EQ(g_ownerIndex->count(), 2) << "dave and Dave share one owner";
    EXPECT_EQ(g_ownerIndex->at(0)->name, QStringLiteral("Carol"));
    EXPECT_EQ(g_ownerIndex->at(1)->name, QStringLiteral("dave"));
    EXPECT_EQ(g_ownerIndex->at(1)->count(), 2);
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(SettingsDialogTest, CancelChangesNothing)
{
    writeSettings("StartLastPath=0\r\nCurrentPath=[Search]\r\n");
    ASSERT_TRUE(CatalogBuilder().setOwner("Alice").writeTo(storage() + "old.ktb"));
    startObjects();
    g_filesetRegistry->locations = QStringList { QStringLiteral("/discs/a") };
    // Registered by hand: a reload would drop it.
    addFileset(CatalogBuilder().setOwner("Gina"), tempPath("loose.ktb"));
    const std::string settingsBefore = readFileBytes(m_temp.file("Settings.ini"));
    open();
    form().storageEdit->setText(tempPath("elsewhere"));
    form().locationEdit->setText(tempPath("more"));
    form().addLocationButton->click();
    form().pages->setCurrentIndex(1);
    QTest::mouseClick(form().lastLocationRadio, Qt::LeftButton, {}, QPoint(5, 5));
    form().cancelButton->click();

    EXPECT_EQ(form().result(), QDialog::Rejected);
    EXPECT_EQ(readFileBytes(m_temp.file("Settings.ini")), settingsBefore);
    EXPECT_EQ(g_filesetRegistry->locations, QStringList { QStringLiteral("/discs/a") });
    EXPECT_EQ(registeredNames(), (QStringList { QStringLiteral("old.ktb"), QStringLiteral("loose.ktb") }))
        << "the registry was not reloaded";
}

TEST_F(SettingsDialogTest, ADamagedLocationIsKeptForTheReportAndTheLocationsAfterItLoad)
{
    writeSettings("StartLastPath=1\r\nCurrentPath=bob\\\r\n");
    const std::string shelf = m_temp.path() + "shelf/";
    std::filesystem::create_directories(shelf);
    ASSERT_TRUE(CatalogBuilder().setOwner("Erin").writeTo(shelf + "erin.ktb"));
    ASSERT_TRUE(CatalogBuilder().setMagic("XXXX").writeTo(m_temp.file("damaged.ktb")));
    ASSERT_TRUE(CatalogBuilder().setOwner("Fred").writeTo(m_temp.file("after.ktb")));
    startObjects();
    open();
    for (const std::string& location : { shelf, m_temp.file("damaged.ktb"), m_temp.file("after.ktb") }) {
        form().locationEdit->setText(QString::fromStdString(location));
        form().addLocationButton->click();
    }
    form().pages->setCurrentIndex(1);
    QTest::mouseClick(form().searchRadio, Qt::LeftButton, {}, QPoint(5, 5));
    form().okButton->click();

    EXPECT_EQ(form().result(), QDialog::Accepted);
    // The damaged file is told of by the main window once the tree is rebuilt, naming the file.
    EXPECT_TRUE(m_questions->asked().empty());
    const std::optional<QString> error = g_filesetRegistry->takeLoadErrors();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(tempPath("damaged.ktb"))) << error->toStdString();
    EXPECT_EQ(registeredNames(), (QStringList { QStringLiteral("erin.ktb"), QStringLiteral("after.ktb") }));
    EXPECT_EQ(g_ownerIndex->count(), 2);
    // The start choice made in the window is kept all the same.
    EXPECT_FALSE(settings().boolValue(StartLastPathSetting));
    EXPECT_EQ(settings().stringValue(CurrentPathSetting), QStringLiteral("[Search]"));
}

} // namespace
