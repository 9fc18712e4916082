// File > Import... opens the import, which appends into the fileset picked and the main window's tree
// follows; a missing file name or file is said.
#include "gui/export/importdialog.h"
#include "core/filesets/fileset.h"
#include "core/filesets/filesetregistry.h"
#include "gui/common/filesetchooser.h"
#include "tests/gui/mainwindow/mainwindowfixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

class ImportDialogTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        buildStandardFilesets();
        writeSettings();
        start();
    }

    /// Picks the fileset whose caption is caption.
    void pick(ImportDialog& dialog, const QString& caption)
    {
        const int index = dialog.filesetChooser->findText(caption);
        ASSERT_GE(index, 0) << caption.toStdString();
        dialog.filesetChooser->setCurrentIndex(index);
    }
};

TEST_F(ImportDialogTest, FileImportOpensTheImportWhoseDiscTheTreeShows)
{
    bool opened = false;
    QTimer::singleShot(0, [&opened] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = qobject_cast<ImportDialog*>(dialog) != nullptr;

            dialog->reject();
        }
    });
    window().action("importAction")->trigger();
    EXPECT_TRUE(opened);

    const std::string list = m_temp.file("tapes.txt");
    ASSERT_TRUE(writeFileBytes(list, "5\tSide A/song.wav\n"));
    ImportDialog dialog(*g_filesetRegistry, &window());
    dialog.sourceEdit->setText(QString::fromStdString(list));
    pick(dialog, QStringLiteral("{Alice} Empty"));
    dialog.titleEdit->setText(QStringLiteral("Tape 1"));
    QSignalSpy ended(&dialog, &ImportDialog::importEnded);
    ASSERT_TRUE(dialog.startImport());
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_EQ(dialog.statusLabel->text(), QStringLiteral("Imported \"Tape 1\": 1 files, 1 folders."));
    EXPECT_NE(node(QStringLiteral("Alice\\Empty\\Tape 1\\Side A")), nullptr);
}

TEST_F(ImportDialogTest, ANameMissingOrAFileMissingIsSaid)
{
    ImportDialog dialog(*g_filesetRegistry, &window());
    pick(dialog, QStringLiteral("{Alice} Music"));
    EXPECT_FALSE(dialog.startImport());
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked()[0].text, QStringLiteral("Name the file to import."));

    dialog.sourceEdit->setText(QString::fromStdString(m_temp.file("missing.json")));
    QSignalSpy ended(&dialog, &ImportDialog::importEnded);
    ASSERT_TRUE(dialog.startImport());
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    ASSERT_EQ(m_questions->asked().size(), 2u);
    EXPECT_TRUE(m_questions->asked()[1].text.contains(QStringLiteral("missing.json: No such file or directory")))
        << m_questions->asked()[1].text.toStdString();
}

} // namespace
