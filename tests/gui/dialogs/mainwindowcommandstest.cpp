// The main window's Configure and Properties commands with the real windows: what the tree shows after
// each window was confirmed or cancelled.
#include "tests/gui/dialogs/windowsfixture.h"
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/settings/settings.h"
#include "gui/dialogs/discpropertiesdialog.h"
#include "gui/dialogs/filesetpropertiesdialog.h"
#include "gui/dialogs/settingsdialog.h"
#include "gui/mainwindow/cataloglist.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

namespace {

class MainWindowCommandsTest : public MainWindowFixture {
protected:
    QStringList ownerNames() const
    {
        QStringList names;
        NavigationNode* owners = m_window->navigationTree->ownersNode;
        for (int i = 0; i < owners->childCount(); ++i) {
            names << owners->child(i)->text(0);
        }
        names.sort();
        return names;
    }

    NavigationNode* select(const QString& path)
    {
        window().pathEdit->setText(path);
        window().onGoClicked();
        window().navigationTree->setFocus();
        return tree().selectedNode();
    }
};

TEST_F(MainWindowCommandsTest, ConfigureWithOkRebuildsTheTreeFromTheNewFolder)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=Alice\\Music\\\r\n");
    const std::string other = m_temp.path() + "other/";
    std::filesystem::create_directories(other);
    ASSERT_TRUE(CatalogBuilder().setOwner("Carol").setName("Letters").writeTo(other + "letters.ktb"));
    start();
    ASSERT_EQ(
        ownerNames(), (QStringList { QStringLiteral("Alice"), QStringLiteral("[Nobody]"), QStringLiteral("bob") }));
    ASSERT_GT(g_catalogList->rowCount(), 0);

    whenModal([&](QDialog* dialog) {
        auto* config = qobject_cast<SettingsDialog*>(dialog);
        ASSERT_NE(config, nullptr);
        config->storageEdit->setText(QString::fromStdString(other));
        config->startPathRadio->click();
        config->startPathEdit->setText(QStringLiteral("Carol\\Letters\\"));
        config->okButton->click();
    });
    window().action("configureAction")->trigger();

    EXPECT_EQ(ownerNames(), QStringList { QStringLiteral("Carol") });
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Carol\\Letters\\"))
        << "the tree goes to the new start location";
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(MainWindowCommandsTest, ConfigureCancelledLeavesTheTreeAlone)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\Photos\\\r\n");
    start();
    NavigationNode* before = tree().selectedNode();
    ASSERT_NE(before, nullptr);
    whenModal([](QDialog* dialog) {
        auto* config = static_cast<SettingsDialog*>(dialog);
        config->storageEdit->clear();
        config->cancelButton->click();
    });
    window().action("configureAction")->trigger();
    EXPECT_EQ(tree().selectedNode(), before);
    EXPECT_EQ(g_filesetRegistry->count(), 4);
}

TEST_F(MainWindowCommandsTest, FilesetPropertiesConfirmedRefreshTheOwners)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(select(QStringLiteral("bob\\Photos\\")), nullptr);
    whenModal([](QDialog* dialog) {
        auto* form = qobject_cast<FilesetPropertiesDialog*>(dialog);
        ASSERT_NE(form, nullptr);
        form->ownerEdit->setText(QStringLiteral("Alice"));
        form->okButton->click();
    });
    window().showProperties();
    NavigationNode* alice = findNodeByPath(&tree(), QStringLiteral("Alice\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_NE(findChildByText(alice, QStringLiteral("Photos")), nullptr) << "filed under its new owner";
    // bob keeps his node, without filesets, until the owners are rebuilt.
    NavigationNode* bob = findNodeByPath(&tree(), QStringLiteral("bob\\"));
    ASSERT_NE(bob, nullptr);
    EXPECT_EQ(bob->childCount(), 0);
}

TEST_F(MainWindowCommandsTest, AFilesetRenamedInItsPropertiesShowsItsNewName)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(select(QStringLiteral("Alice\\Music\\")), nullptr);
    whenModal([](QDialog* dialog) {
        auto* form = static_cast<FilesetPropertiesDialog*>(dialog);
        form->descriptionEdit->setText(QStringLiteral("Music Collection"));
        form->okButton->click();
    });
    window().showProperties();
    NavigationNode* alice = findNodeByPath(&tree(), QStringLiteral("Alice\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_NE(findChildByText(alice, QStringLiteral("Music Collection")), nullptr);
    EXPECT_EQ(findChildByText(alice, QStringLiteral("Music")), nullptr);
}

TEST_F(MainWindowCommandsTest, DiscPropertiesConfirmedKeepTheDiscSelected)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(select(QStringLiteral("Alice\\Music\\Audio\\")), nullptr);
    whenModal([](QDialog* dialog) {
        auto* form = qobject_cast<DiscPropertiesDialog*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->titleEdit->text(), QStringLiteral("Audio"));
        form->capacityCombo->setCurrentText(QStringLiteral("700"));
        form->okButton->click();
    });
    window().showProperties();
    EXPECT_EQ(nodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Audio\\"));
    Fileset* music = tree().selectedNode()->fileset();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(storedDisc(music->fileName, m_audioDisc).Capacity, 700 * DiscCapacityUnit);
}

} // namespace

namespace {

TEST_F(MainWindowCommandsTest, StatisticsClosesEveryFilesetBeforeTheCompanionStarts)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_GT(g_filesetRegistry->count(), 0);
    g_filesetRegistry->at(0)->handle();
    // No companion lies beside the test program: the command starts nothing and says nothing.
    window().action("statisticsAction")->trigger();
    for (int index = 0; index < g_filesetRegistry->count(); ++index) {
        EXPECT_FALSE(g_filesetRegistry->at(index)->isOpen()) << index;
    }
    EXPECT_TRUE(m_questions->asked().empty());
}

} // namespace
