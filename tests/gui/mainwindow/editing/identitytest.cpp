// Every command acts on the disc the user sees: rows, tree nodes and search results are told apart by
// their fileset object and offsets, never by their texts, and nothing acts on a row or a result whose
// disc has moved on. Also the read-only catalogs, which are shown and searched but never changed.
#include "tests/gui/mainwindow/editing/editfixture.h"

#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "core/filesets/owner.h"
#include "core/search/catalogsearch.h"
#include "core/settings/settings.h"
#include "engine/ktb_discs.h"
#include "gui/mainwindow/cataloglist.h"
#include "tests/support/withoutrootrights.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <functional>
#include <sys/stat.h>

namespace {

class IdentityTest : public EditFixture {
protected:
    /// Alice's "Sets": two discs titled "Audio CD" (one track, then five tracks in "Tracks") and "Docs";
    /// bob's two filesets both described "Backup", the second with the disc "Only here".
    void startSets()
    {
        CatalogBuilder sets;
        sets.setOwner("Alice").setName("Sets");
        m_first = sets.beginDisc({ .serial = 1, .title = "Audio CD", .scanTime = 100 });
        sets.addFile("Track01.cda", 44, 0);
        sets.endDisc();
        m_second = sets.beginDisc({ .serial = 2, .title = "Audio CD", .scanTime = 100 });
        sets.beginFolder("Tracks");
        for (const char* track : { "Track01.cda", "Track02.cda", "Track03.cda", "Track04.cda", "Track05.cda" }) {
            sets.addFile(track, 44, 0);
        }
        sets.endFolder();
        sets.endDisc();
        m_docs = sets.beginDisc({ .serial = 3, .title = "Docs", .scanTime = 100 });
        sets.addFile("notes.txt", 10, 0);
        sets.endDisc();
        ASSERT_TRUE(sets.writeTo(storage() + "sets.ktb"));
        for (const char* name : { "backup1.ktb", "backup2.ktb" }) {
            CatalogBuilder backup;
            backup.setOwner("bob").setName("Backup");
            if (name == std::string("backup2.ktb")) {
                backup.addEmptyDisc({ .serial = 9, .title = "Only here" });
            }
            ASSERT_TRUE(backup.writeTo(storage() + name));
        }
        writeSettings();
        start();
    }

    /// Selects the list row of the record at offset, or of the fileset, and gives the list the focus.
    void selectRow(const std::function<bool(int row)>& wanted)
    {
        for (int row = 0; row < g_catalogList->rowCount(); ++row) {
            if (wanted(row)) {
                window().catalogView->selectionModel()->setCurrentIndex(g_catalogList->model->index(row, 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                focusList();
                return;
            }
        }
        FAIL() << "no such row";
    }
    void selectDiscRow(std::uint32_t offset)
    {
        selectRow([offset](int row) { return g_catalogList->entities.at(row)->entity->Offset == offset; });
    }
    void search(const QString& text)
    {
        window().newSearch();
        window().searchEdit->setText(text);
        window().onSearchClicked();
    }
    void openFileResult(const QString& name)
    {
        const QAbstractItemModel* model = window().fileResultsView->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == name) {
                window().fileResultsView->selectionModel()->setCurrentIndex(
                    model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                window().onFileResultDoubleClicked();
                return;
            }
        }
        FAIL() << "no result " << name.toStdString();
    }
    QString selectedRowCaption()
    {
        const QModelIndexList selected = window().catalogView->selectionModel()->selectedRows();
        return selected.size() == 1 ? g_catalogList->rowCaption(selected.front().row()) : QString();
    }

    std::uint32_t m_first = 0;
    std::uint32_t m_second = 0;
    std::uint32_t m_docs = 0;
};

TEST_F(IdentityTest, DiscsAndFilesetsWithTheSameTextsOpenAsClicked)
{
    startSets();
    open(QStringLiteral("Alice\\Sets\\"));
    selectDiscRow(m_second);
    window().onCatalogViewDoubleClicked();
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(tree().selectedNode()->item.offset, m_second);
    EXPECT_EQ(rows(), QStringList { QStringLiteral("Tracks") });

    Fileset* backup2 = fileset(QStringLiteral("backup2.ktb"));
    open(QStringLiteral("bob\\"));
    selectRow([backup2](int row) { return g_catalogList->owner->at(row) == backup2; });
    window().onCatalogViewDoubleClicked();
    EXPECT_EQ(tree().selectedNode()->item.ref, backup2);
    EXPECT_EQ(rows(), QStringList { QStringLiteral("Only here") });

    // The five-track disc's result opens that disc, not the first "Audio CD".
    search(QStringLiteral("Track05"));
    openFileResult(QStringLiteral("Track05.cda"));
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(tree().selectedNode()->parentNode()->item.offset, m_second);
    EXPECT_EQ(window().currentPanel(), window().catalogView);
    EXPECT_EQ(selectedRowCaption(), QStringLiteral("Track05.cda"));
}

TEST_F(IdentityTest, ResultsOfADeletedOrMovedDiscGoAndTheOthersOpenTheirOwnDisc)
{
    startSets();
    search(QStringLiteral("track"));
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("2 Discs with matches. 6 File matches. 1 Folder matches. "));

    // The one-track disc is deleted: the five-track disc now sits at its offset.
    open(QStringLiteral("Alice\\Sets\\"));
    NavigationNode* first = findChildByOffset(tree().selectedNode(), m_first);
    ASSERT_NE(first, nullptr);
    tree().selectNode(first);
    focusTree();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("1 Discs with matches. 5 File matches. 1 Folder matches. "));
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 6); // the folder and its five tracks
    openFileResult(QStringLiteral("Track01.cda"));
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(tree().selectedNode()->text(0), QStringLiteral("Tracks"));
    EXPECT_EQ(selectedRowCaption(), QStringLiteral("Track01.cda"));
    EXPECT_EQ(window().fileResultsView->model()->index(0, 1).data().toString(), QStringLiteral("Audio CD"));

    // Moved to bob's first "Backup", the disc takes its results along: none is left to open.
    NavigationNode* moved = findNodeByPath(&tree(), QStringLiteral("Alice\\Sets\\Audio CD\\"));
    ASSERT_NE(moved, nullptr);
    tree().selectNode(moved);
    NavigationNode* bob = findNodeByPath(&tree(), QStringLiteral("bob\\"));
    ASSERT_NE(bob, nullptr);
    bob->setExpanded(true);
    NavigationNode* backup1 = nullptr;
    for (int i = 0; i < bob->childCount(); ++i) {
        if (bob->childNode(i)->item.ref == fileset(QStringLiteral("backup1.ktb"))) {
            backup1 = bob->childNode(i);
        }
    }
    ASSERT_NE(backup1, nullptr);
    tree().selectNode(moved);
    m_questions->answerMessage(YesButton);
    window().dropOnNode(backup1);
    EXPECT_EQ(discTitles(fileset(QStringLiteral("backup1.ktb"))), QStringList { QStringLiteral("Audio CD") });
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 0);
    EXPECT_EQ(
        window().discSummaryLabel->text(), QStringLiteral("0 Discs with matches. 0 File matches. 0 Folder matches. "));
    EXPECT_FALSE(window().action("viewResultsAction")->isEnabled());
}

TEST_F(IdentityTest, ARowWhoseDiscMovedOnChangesNothingAndSaysSo)
{
    startSets();
    open(QStringLiteral("Alice\\Sets\\"));
    selectDiscRow(m_docs);
    // Another program removes the first disc behind the list's back: "Docs" is no longer at its offset.
    ASSERT_EQ(ktbDeleteDisc(fileset(QStringLiteral("sets.ktb"))->handle(), m_first), KTB_OK);
    m_questions->clearAsked();
    window().deleteSelection();
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_TRUE(m_questions->asked().front().text.contains(QStringLiteral("no longer")))
        << describe(m_questions->asked().front());
    EXPECT_EQ(discTitles(fileset(QStringLiteral("sets.ktb"))),
        (QStringList { QStringLiteral("Audio CD"), QStringLiteral("Docs") }));
    // The list shows the discs as they are now, so the next command acts on what the user sees.
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("Audio CD"), QStringLiteral("Docs") }));
}

TEST_F(IdentityTest, RefreshShowsTheStartNodeAlsoWhenItWasSelected)
{
    startSets();
    open(QStringLiteral("[Root]"));
    ASSERT_FALSE(rows().isEmpty());
    settings().setStringValue(CurrentPathSetting, QStringLiteral("[Root]"));
    window().refresh();
    EXPECT_EQ(tree().selectedNode(), tree().ownersNode);
    QStringList owners = rows();
    owners.sort();
    EXPECT_EQ(owners, (QStringList { QStringLiteral("Alice"), QStringLiteral("bob") }));
    // A list emptied behind the selected node comes back with a click on it.
    g_catalogList->clear();
    window().onTreeNodeClicked(tree().ownersNode);
    EXPECT_EQ(rows().size(), 2);
    // Top-level nodes show no expand buttons.
    EXPECT_FALSE(tree().rootIsDecorated());
}

TEST_F(IdentityTest, AReadOnlyCatalogIsBrowsedAndSearchedButNeverChanged)
{
    startSets();
    const std::string folder = m_temp.file("readonly/");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    CatalogBuilder old;
    old.setOwner("Carl").setName("Old");
    old.beginDisc({ .serial = 7, .title = "Archive" });
    old.addFile("letter.doc", 10, 0);
    old.endDisc();
    ASSERT_TRUE(old.writeTo(folder + "old.ktb"));
    ASSERT_EQ(::chmod((folder + "old.ktb").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(m_temp.path().c_str(), 0755), 0);
    {
        const WithoutRootRights user;
        ASSERT_GE(g_filesetRegistry->addFile(QString::fromStdString(folder + "old.ktb")), 0);
    }
    window().refresh();
    Fileset* readOnly = fileset(QStringLiteral("old.ktb"));
    ASSERT_NE(readOnly, nullptr);
    EXPECT_TRUE(readOnly->readOnly);

    NavigationNode* archive = open(QStringLiteral("Carl\\Old\\Archive\\"));
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(rows(), QStringList { QStringLiteral("letter.doc") });
    search(QStringLiteral("letter"));
    EXPECT_EQ(window().fileResultsView->model()->rowCount(), 1);

    // Rename and delete are refused with the reason; the catalog stays as it was.
    tree().selectNode(archive);
    focusTree();
    m_questions->clearAsked();
    window().rename();
    window().deleteSelection();
    EXPECT_EQ(editorOf(tree().viewport()), nullptr);
    ASSERT_EQ(m_questions->asked().size(), 2u);
    for (const AskedQuestion& asked : m_questions->asked()) {
        EXPECT_TRUE(asked.text.contains(QStringLiteral("read-only"))) << describe(asked);
    }
    EXPECT_EQ(discTitles(readOnly), QStringList { QStringLiteral("Archive") });
}

} // namespace
