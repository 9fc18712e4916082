// The main window's Scan Disc and New Fileset commands, and the pop-up menu's scans end to end: a
// symbolic disc and a disc from a test drive, each new disc named in place.
#include "tests/gui/mainwindow/editing/editfixture.h"
#include "tests/support/discimages.h"

#include "core/filesets/filesetregistry.h"
#include "core/settings/settings.h"
#include "engine/ktb_discs.h"
#include "gui/dialogs/newfilesetdialog.h"
#include "gui/mainwindow/cataloglist.h"
#include "gui/scan/scandialog.h"
#include "platform/drivelayer.h"
#include "platform/virtualdrives.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <optional>

namespace {

/// Runs an action on the first window of type T that is shown, once it runs its own event loop.
template <typename T> class WhenShown : public QObject {
public:
    explicit WhenShown(std::function<void(T*)> action)
        : m_action(std::move(action))
    {
        qApp->installEventFilter(this);
    }
    ~WhenShown() override { qApp->removeEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* window = qobject_cast<T*>(watched)) {
                ++Count;
                QMetaObject::invokeMethod(
                    window, [this, window] { m_action(window); }, Qt::QueuedConnection);
            }
        }
        return false;
    }

private:
    std::function<void(T*)> m_action;
};

class MainWindowScanTest : public EditFixture {
protected:
    void TearDown() override
    {
        setDriveTable(nullptr);
        EditFixture::TearDown();
    }
    QAction* popKTBItem(const QString& text) const
    {
        for (QAction* item : m_window->filesetMenu->actions()) {
            if (item->text() == text) {
                return item;
            }
        }
        return nullptr;
    }
};

const QString s_noFilesets
    = QStringLiteral("There are no filesets to store scanned data.\r\nDo you want to create a fileset now?");

TEST_F(MainWindowScanTest, ScanDiscWithoutFilesetsAnsweredNoDoesNothing)
{
    writeSettings();
    start();
    WhenShown<QDialog> anyWindow([](QDialog* dialog) { dialog->reject(); });
    m_questions->answerMessage(NoButton);
    window().action("scanDiscAction")->trigger();
    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& asked = m_questions->asked().front();
    EXPECT_EQ(asked.text, s_noFilesets);
    EXPECT_EQ(asked.caption, QStringLiteral("No Filesets!"));
    EXPECT_EQ(asked.icon, MessageIcon::None);
    EXPECT_EQ(asked.buttons, YesButton | NoButton);
    EXPECT_EQ(anyWindow.Count, 0);
}

TEST_F(MainWindowScanTest, ScanDiscWithoutFilesetsAnsweredYesCreatesOne)
{
    writeSettings();
    start();
    WhenShown<NewFilesetDialog> newFileset([](NewFilesetDialog* form) {
        form->ownerCombo->setEditText(QStringLiteral("Carol"));
        form->descriptionEdit->setText(QStringLiteral("Films"));
        form->onOkClicked();
    });
    m_questions->answerMessage(YesButton);
    window().action("scanDiscAction")->trigger();
    EXPECT_EQ(newFileset.Count, 1);
    ASSERT_EQ(g_filesetRegistry->count(), 1);
    EXPECT_NE(node(QStringLiteral("Carol\\Films\\")), nullptr) << "the tree was rebuilt";
}

TEST_F(MainWindowScanTest, ScanDiscOpensTheScanWindowAndRefreshesTheOwners)
{
    buildStandardFilesets();
    writeSettings("DefaultFileSet={Alice} Music\r\n");
    start();
    auto drives = std::make_unique<PathDriveTable>();
    ASSERT_TRUE(writeDiscTree(m_temp.file("MYDISC"), { { "a.txt", 10 }, { "b/c.txt", 20 } }));
    drives->setDrive('D', m_temp.file("MYDISC"));
    setDriveTable(std::move(drives));
    // Scans the disc into the first fileset and closes.
    WhenShown<ScanDialog> scan([](ScanDialog* form) {
        form->onScanClicked();
        form->closeButton->click();
    });
    window().action("scanDiscAction")->trigger();
    EXPECT_EQ(scan.Count, 1);
    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_TRUE(discTitles(fileset(QStringLiteral("music.ktb"))).contains(QStringLiteral("MYDISC")));
    EXPECT_NE(node(QStringLiteral("Alice\\Music\\MYDISC\\")), nullptr) << "the owners branch was refilled";
}

TEST_F(MainWindowScanTest, AFolderDroppedOnTheWindowBecomesAVirtualDriveAndTheScanWindowOpensOnIt)
{
    buildStandardFilesets();
    writeSettings();
    start();
    // D is an optical drive: a line the user wrote for D is not the folder's drive.
    setDriveTable(std::make_unique<SystemDriveTable>([] { return std::vector<std::string> { "/dev/test-sr0" }; }));
    const std::string userLine = "D=" + m_temp.file("DROPPED") + "\r\n";
    ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), userLine));
    ASSERT_TRUE(writeDiscTree(m_temp.file("DROPPED"), { { "a.txt", 10 } }));
    char shownDrive = 0;
    WhenShown<ScanDialog> scan([&shownDrive](ScanDialog* form) {
        shownDrive = form->selectedLetter();
        form->closeButton->click();
    });
    window().openDroppedPath(QString::fromStdString(m_temp.file("DROPPED")));
    EXPECT_EQ(scan.Count, 1);
    EXPECT_EQ(shownDrive, 'E');
    // Dropped again: the same drive, no further line.
    window().openDroppedPath(QString::fromStdString(m_temp.file("DROPPED")));
    EXPECT_EQ(scan.Count, 2);
    EXPECT_EQ(shownDrive, 'E');
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), userLine + "E=" + m_temp.file("DROPPED") + "\r\n");
}

TEST_F(MainWindowScanTest, RescanThatMovesDiscsLeavesNoStaleRowsAndTheTreeWhereItWas)
{
    auto drives = std::make_unique<PathDriveTable>();
    ASSERT_TRUE(writeDiscTree(m_temp.file("MYDISC"), { { "a.txt", 10 } }));
    drives->setDrive('D', m_temp.file("MYDISC"));
    setDriveTable(std::move(drives));
    TKTBDisc inDrive {};
    ASSERT_TRUE(ktbDiscFromDrive('D', inDrive));
    // The disc in the drive is catalogued first; rescanning it moves the two discs after it.
    CatalogBuilder sets;
    sets.setOwner("Alice").setName("Sets");
    sets.addEmptyDisc({ .serial = inDrive.Serial, .title = "discM", .scanTime = 100 });
    sets.addEmptyDisc({ .serial = 2, .title = "discN", .scanTime = 100 });
    sets.addEmptyDisc({ .serial = 3, .title = "discO", .scanTime = 100 });
    ASSERT_TRUE(sets.writeTo(storage() + "sets.ktb"));
    writeSettings("DefaultFileSet={Alice} Sets\r\n");
    start();
    NavigationNode* shown = open(QStringLiteral("Alice\\Sets\\"));
    ASSERT_NE(shown, nullptr);

    m_questions->answerMessage(YesButton); // "Rescan and overwrite discM ?"
    WhenShown<ScanDialog> scan([](ScanDialog* form) {
        form->onScanClicked();
        form->closeButton->click();
    });
    window().action("scanDiscAction")->trigger();
    ASSERT_EQ(scan.Count, 1);
    Fileset* catalog = fileset(QStringLiteral("sets.ktb"));
    ASSERT_EQ(discTitles(catalog),
        (QStringList { QStringLiteral("discN"), QStringLiteral("discO"), QStringLiteral("discM") }));
    // The tree is back at the fileset and the list shows its discs as they are now.
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(tree().selectedNode()->item.ref, catalog);
    EXPECT_EQ(window().pathEdit->text(), QStringLiteral("Alice\\Sets\\"));
    EXPECT_EQ(rows(), (QStringList { QStringLiteral("discM"), QStringLiteral("discN"), QStringLiteral("discO") }));

    // Rename and delete in the list act on the discs the rows show.
    selectRows({ QStringLiteral("discN") });
    focusList();
    window().rename();
    commitEdit(window().catalogView, QStringLiteral("renamed"));
    selectRows({ QStringLiteral("discO") });
    focusList();
    m_questions->answerMessage(YesButton);
    window().deleteSelection();
    EXPECT_EQ(discTitles(catalog), (QStringList { QStringLiteral("renamed"), QStringLiteral("discM") }));
}

TEST_F(MainWindowScanTest, NewFilesetFailureBoxFindsTheListLetGoOfTheOwners)
{
    buildStandardFilesets();
    writeSettings();
    start();
    ASSERT_NE(open(QStringLiteral("Alice\\")), nullptr);
    ASSERT_NE(g_catalogList->owner, nullptr);
    // A registered fileset whose file went away: rebuilding the owners index fails on it.
    Fileset* gone = fileset(QStringLiteral("photos.ktb"));
    gone->close();
    ASSERT_TRUE(std::filesystem::remove(storage() + "photos.ktb"));
    std::optional<bool> listLetGo;
    m_questions->onNotice = [&listLetGo](const AskedQuestion&) {
        // The rows of Alice's filesets stand on an owner the rebuild releases.
        if (!listLetGo) {
            listLetGo = g_catalogList->owner == nullptr && !g_catalogList->shown;
        }
    };
    WhenShown<NewFilesetDialog> newFileset([](NewFilesetDialog* form) {
        form->ownerCombo->setEditText(QStringLiteral("Zoe"));
        form->okButton->click();
    });
    window().action("newFilesetAction")->trigger();
    m_questions->onNotice = nullptr;
    ASSERT_TRUE(listLetGo.has_value()) << "the failure was told";
    EXPECT_TRUE(*listLetGo);
    EXPECT_TRUE(m_questions->asked().front().text.startsWith(QStringLiteral("Error Creating file: ")));
}

TEST_F(MainWindowScanTest, NewFilesetCommandRebuildsTheTreeOnOk)
{
    buildStandardFilesets();
    writeSettings();
    start();
    {
        WhenShown<NewFilesetDialog> newFileset([](NewFilesetDialog* form) {
            form->ownerCombo->setEditText(QStringLiteral("Alice"));
            form->descriptionEdit->setText(QStringLiteral("Books"));
            form->onOkClicked();
        });
        window().action("newFilesetAction")->trigger();
        EXPECT_NE(node(QStringLiteral("Alice\\Books\\")), nullptr);
    }

    WhenShown<NewFilesetDialog> cancelled([](NewFilesetDialog* form) { form->cancelButton->click(); });
    const int count = g_filesetRegistry->count();
    window().action("newFilesetAction")->trigger();
    EXPECT_EQ(g_filesetRegistry->count(), count);
}

TEST_F(MainWindowScanTest, AddSymbolicDiscFromTheMenuNamesTheNewDiscInPlace)
{
    buildStandardFilesets();
    writeSettings();
    start();
    NavigationNode* music = open(QStringLiteral("Alice\\Music\\"));
    ASSERT_NE(music, nullptr);
    focusTree();
    QAction* symbolic = popKTBItem(QStringLiteral("Add Symbolic Disc"));
    ASSERT_NE(symbolic, nullptr);
    symbolic->trigger();

    EXPECT_EQ(discTitles(fileset(QStringLiteral("music.ktb"))).back(), QStringLiteral("New Disc"));
    EXPECT_TRUE(childTexts(music).contains(QStringLiteral("New Disc")));
    QLineEdit* editor = editorOf(tree().viewport());
    ASSERT_NE(editor, nullptr) << "the new disc's label is being edited";
    EXPECT_EQ(editor->text(), QStringLiteral("New Disc"));
}

TEST_F(MainWindowScanTest, AddDiscFromDriveScansItAndNamesItInPlace)
{
    buildStandardFilesets();
    writeSettings();
    start();
    auto drives = std::make_unique<PathDriveTable>();
    ASSERT_TRUE(writeDiscTree(m_temp.file("MYDISC"), { { "a.txt", 10 }, { "b/c.txt", 20 } }));
    drives->setDrive('D', m_temp.file("MYDISC"));
    setDriveTable(std::move(drives));
    NavigationNode* photos = open(QStringLiteral("bob\\Photos\\"));
    ASSERT_NE(photos, nullptr);
    focusTree();
    window().onFilesetMenuAboutToShow();
    QAction* fromDrive = popKTBItem(QStringLiteral("Add \"MYDISC\" from Drive (D:)"));
    ASSERT_NE(fromDrive, nullptr);
    fromDrive->trigger();

    EXPECT_TRUE(m_questions->asked().empty());
    EXPECT_EQ(discTitles(fileset(QStringLiteral("photos.ktb"))),
        (QStringList { QStringLiteral("Holiday 2003"), QStringLiteral("MYDISC") }));
    QStringList contents = discContents(
        fileset(QStringLiteral("photos.ktb")), discOffsets(fileset(QStringLiteral("photos.ktb"))).back());
    contents.sort();
    EXPECT_EQ(contents, (QStringList { QStringLiteral("a.txt"), QStringLiteral("b/"), QStringLiteral("c.txt") }));
    ASSERT_NE(tree().selectedNode(), nullptr);
    EXPECT_EQ(tree().selectedNode()->text(0), QStringLiteral("MYDISC"));
    EXPECT_NE(editorOf(tree().viewport()), nullptr);
}

} // namespace
