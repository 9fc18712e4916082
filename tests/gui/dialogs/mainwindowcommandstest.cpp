// The main window's Configure and Properties commands with the real windows: what the tree shows after
// each window was confirmed or cancelled.
#include "tests/gui/dialogs/windowsfixture.h"
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include "core/filesets/fileset.h"
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
        TTreeNode* owners = m_window->TreeView1->OwnersNode;
        for (int i = 0; i < owners->childCount(); ++i) {
            names << owners->child(i)->text(0);
        }
        names.sort();
        return names;
    }

    TTreeNode* select(const QString& path)
    {
        window().Edit1->setText(path);
        window().Button2Click();
        window().TreeView1->setFocus();
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
    ASSERT_GT(ListHelper->RowCount(), 0);

    whenModal([&](QDialog* dialog) {
        auto* config = qobject_cast<TConfigForm*>(dialog);
        ASSERT_NE(config, nullptr);
        config->edit_storage->setText(QString::fromStdString(other));
        config->RadioButton4->click();
        config->Edit3->setText(QStringLiteral("Carol\\Letters\\"));
        config->Button6->click();
    });
    window().action("act_config")->trigger();

    EXPECT_EQ(ownerNames(), QStringList { QStringLiteral("Carol") });
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Carol\\Letters\\"))
        << "the tree goes to the new start location";
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(MainWindowCommandsTest, ConfigureCancelledLeavesTheTreeAlone)
{
    buildStandardFilesets();
    writeSettings("CurrentPath=bob\\Photos\\\r\n");
    start();
    TTreeNode* before = tree().selectedNode();
    ASSERT_NE(before, nullptr);
    whenModal([](QDialog* dialog) {
        auto* config = static_cast<TConfigForm*>(dialog);
        config->edit_storage->clear();
        config->Button5->click();
    });
    window().action("act_config")->trigger();
    EXPECT_EQ(tree().selectedNode(), before);
    EXPECT_EQ(FilesetList->Count(), 4);
}

TEST_F(MainWindowCommandsTest, FilesetPropertiesConfirmedRefreshTheOwners)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(select(QStringLiteral("bob\\Photos\\")), nullptr);
    whenModal([](QDialog* dialog) {
        auto* form = qobject_cast<TformKTBprop*>(dialog);
        ASSERT_NE(form, nullptr);
        form->Edit1->setText(QStringLiteral("Alice"));
        form->Button2->click();
    });
    window().act_propertiesExecute();
    TTreeNode* alice = FindNodeByPath(&tree(), QStringLiteral("Alice\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_NE(FindChildByText(alice, QStringLiteral("Photos")), nullptr) << "filed under its new owner";
    // bob keeps his node, without filesets, until the owners are rebuilt.
    TTreeNode* bob = FindNodeByPath(&tree(), QStringLiteral("bob\\"));
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
        auto* form = static_cast<TformKTBprop*>(dialog);
        form->Edit2->setText(QStringLiteral("Music Collection"));
        form->Button2->click();
    });
    window().act_propertiesExecute();
    TTreeNode* alice = FindNodeByPath(&tree(), QStringLiteral("Alice\\"));
    ASSERT_NE(alice, nullptr);
    EXPECT_NE(FindChildByText(alice, QStringLiteral("Music Collection")), nullptr);
    EXPECT_EQ(FindChildByText(alice, QStringLiteral("Music")), nullptr);
}

TEST_F(MainWindowCommandsTest, DiscPropertiesConfirmedKeepTheDiscSelected)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(select(QStringLiteral("Alice\\Music\\Audio\\")), nullptr);
    whenModal([](QDialog* dialog) {
        auto* form = qobject_cast<TFormDiscProp*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->Edit_title->text(), QStringLiteral("Audio"));
        form->ComboBox1->setCurrentText(QStringLiteral("700"));
        form->Button2->click();
    });
    window().act_propertiesExecute();
    EXPECT_EQ(NodePath(&tree(), tree().selectedNode()), QStringLiteral("Alice\\Music\\Audio\\"));
    TKTBFile* music = tree().selectedNode()->fileset();
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(storedDisc(music->FileName, m_audioDisc).Capacity, 700 * DISC_CAPACITY_UNIT);
}

} // namespace
