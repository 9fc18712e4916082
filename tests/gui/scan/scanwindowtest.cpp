// The scan window over test drives: drive entries as discs come and go, the disc's state in the chosen
// fileset with its colours, the last chosen fileset, and scanning with the typed title and comment; over
// the system's drive table without optical drives: virtual drives added and removed from the window.
#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/common/filesetchooser.h"
#include "gui/scan/mediaevents.h"
#include "gui/scan/scandialog.h"
#include "platform/virtualdrives.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <filesystem>

namespace {

const QColor s_red(255, 0, 0);
const QColor s_green(0, 128, 0);
constexpr std::uint32_t s_storedScanTime = (24U << 25) | (6U << 21) | (15U << 16) | (14U << 11) | (30U << 5);

QStringList driveTexts(const ScanDialog& window)
{
    QStringList texts;
    for (int i = 0; i < window.driveList->count(); ++i) {
        texts << window.driveList->itemText(i);
    }
    return texts;
}

QStringList filesetTexts(const ScanDialog& window)
{
    QStringList texts;
    for (int i = 0; i < window.filesetChooser->count(); ++i) {
        texts << window.filesetChooser->itemText(i);
    }
    return texts;
}

QColor scanTimeColour(const ScanDialog& window) { return window.lastScanLabel->palette().color(QPalette::WindowText); }

class ScanWindowTest : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        m_image = isoDisc("disc", "DISC_ONE");
        m_drives->setDrive('D', m_image);
        m_drives->setDrive('E', m_temp.file("empty-drive.iso"));
        CatalogBuilder music;
        music.setOwner("Anna").setName("Music");
        music.beginDisc({ .serial = serialOf('D'),
            .title = "Stored",
            .comment = "kept",
            .scanTime = s_storedScanTime,
            .used = 123456,
            .files = 7,
            .folders = 2 });
        music.endDisc();
        m_music = addFileset("music.ktb", music);
        CatalogBuilder other;
        other.setOwner("Bob").setName("Other");
        m_other = addFileset("other.ktb", other);
    }
    void TearDown() override
    {
        m_window.reset();
        ScanFixture::TearDown();
    }
    ScanDialog& open()
    {
        m_window = std::make_unique<ScanDialog>();
        m_window->show();
        return *m_window;
    }
    void choose(ScanDialog& window, const QString& fileset)
    {
        window.filesetChooser->setCurrentIndex(window.filesetChooser->findText(fileset));
        window.onFilesetChanged();
    }
    void expectNoDisc(const ScanDialog& window)
    {
        EXPECT_EQ(window.titleEdit->text(), QStringLiteral("No Disc in Drive!"));
        for (const QLabel* label :
            { window.filesLabel, window.foldersLabel, window.lastScanLabel, window.usedSpaceLabel }) {
            EXPECT_EQ(label->text(), QStringLiteral("N/A")) << label->objectName().toStdString();
        }
        EXPECT_TRUE(window.commentEdit->toPlainText().isEmpty());
        EXPECT_EQ(scanTimeColour(window), QApplication::palette(window.lastScanLabel).color(QPalette::WindowText));
        EXPECT_FALSE(window.scanButton->isEnabled());
        EXPECT_FALSE(window.titleEdit->isEnabled());
        EXPECT_FALSE(window.commentEdit->isEnabled());
    }

    std::string m_image;
    Fileset* m_music = nullptr;
    Fileset* m_other = nullptr;
    std::unique_ptr<ScanDialog> m_window;
};

TEST_F(ScanWindowTest, OpensWithTheDrivesAndTheStoredDiscOfTheFirstFileset)
{
    ScanDialog& window = open();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Katalox Scan"));
    EXPECT_EQ(driveTexts(window), (QStringList { QStringLiteral("DISC_ONE (D:)"), QStringLiteral("(E:)") }));
    EXPECT_EQ(window.selectedLetter(), 'D');
    EXPECT_EQ(filesetTexts(window), (QStringList { QStringLiteral("{Anna} Music"), QStringLiteral("{Bob} Other") }));
    EXPECT_EQ(window.chosenFileset(), m_music);
    EXPECT_EQ(window.statusBar->currentMessage(), m_music->fileName);

    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("Stored"));
    EXPECT_EQ(window.filesLabel->text(), QStringLiteral("7"));
    EXPECT_EQ(window.foldersLabel->text(), QStringLiteral("2"));
    EXPECT_EQ(window.commentEdit->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(window.usedSpaceLabel->text(), formatSize(123456));
    EXPECT_EQ(window.lastScanLabel->text(), formatDateTime(dosToDateTime(s_storedScanTime)));
    EXPECT_EQ(scanTimeColour(window), s_red);
    EXPECT_TRUE(window.scanButton->isEnabled());
    EXPECT_TRUE(window.scanButton->isDefault());
    EXPECT_FALSE(window.ejectCheckBox->isChecked());
    EXPECT_EQ(settings().stringValue(DefaultFileSetSetting), QStringLiteral("{Anna} Music"));
}

TEST_F(ScanWindowTest, AFilesetWithoutTheDiscShowsItAsNotScanned)
{
    ScanDialog& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    EXPECT_EQ(window.lastScanLabel->text(), QStringLiteral("Not scanned"));
    EXPECT_EQ(scanTimeColour(window), s_green);
    EXPECT_EQ(window.filesLabel->text(), QStringLiteral("N/A"));
    EXPECT_EQ(window.foldersLabel->text(), QStringLiteral("N/A"));
    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("DISC_ONE"));
    EXPECT_TRUE(window.commentEdit->toPlainText().isEmpty());
    EXPECT_EQ(window.usedSpaceLabel->text(), formatSize(window.disc().Used));
    EXPECT_TRUE(window.scanButton->isEnabled());
    EXPECT_EQ(settings().stringValue(DefaultFileSetSetting), QStringLiteral("{Bob} Other"));
}

TEST_F(ScanWindowTest, TheLastChosenFilesetIsPreselectedIgnoringCase)
{
    settings().setStringValue(DefaultFileSetSetting, QStringLiteral("{bob} OTHER"));
    ScanDialog& window = open();
    EXPECT_EQ(window.chosenFileset(), m_other);
}

TEST_F(ScanWindowTest, ADeletedLastFilesetFallsBackToTheFirst)
{
    settings().setStringValue(DefaultFileSetSetting, QStringLiteral("{Bob} Other"));
    g_filesetRegistry->removeAt(g_filesetRegistry->indexOf(m_other));
    g_ownerIndex->rebuild();
    ScanDialog& window = open();
    EXPECT_EQ(filesetTexts(window), QStringList { QStringLiteral("{Anna} Music") });
    EXPECT_EQ(window.chosenFileset(), m_music);
    EXPECT_EQ(settings().stringValue(DefaultFileSetSetting), QStringLiteral("{Anna} Music"));
}

TEST_F(ScanWindowTest, RemovalAndArrivalRewriteTheEntryAndTheState)
{
    ScanDialog& window = open();
    const std::string away = m_temp.file("away.iso");
    std::filesystem::rename(m_image, away);
    window.mediaEvents->injectRemoval('D');
    EXPECT_EQ(driveTexts(window), (QStringList { QStringLiteral("(D:)"), QStringLiteral("(E:)") }));
    expectNoDisc(window);

    std::filesystem::rename(away, m_image);
    window.mediaEvents->injectArrival('D');
    EXPECT_EQ(driveTexts(window).front(), QStringLiteral("DISC_ONE(D:)")) << "no blank before the parenthesis";
    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("Stored"));
    EXPECT_EQ(scanTimeColour(window), s_red);
}

TEST_F(ScanWindowTest, AnArrivalInAnotherDriveSelectsIt)
{
    ScanDialog& window = open();
    m_drives->setDrive('E', folderDisc("second", 4));
    window.mediaEvents->poll(); // the drive table changed: the list is made again
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("second (E:)"));
    EXPECT_EQ(window.selectedLetter(), 'D') << "a refill keeps the selected drive";

    const std::string moved = m_temp.file("moved");
    std::filesystem::rename(m_temp.file("second"), moved);
    window.mediaEvents->poll();
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("(E:)"));
    EXPECT_EQ(window.selectedLetter(), 'E');
    expectNoDisc(window);
    std::filesystem::rename(moved, m_temp.file("second"));
    window.mediaEvents->poll();
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("second(E:)"));
    EXPECT_EQ(window.lastScanLabel->text(), QStringLiteral("Not scanned"));
}

TEST_F(ScanWindowTest, ChoosingAnEmptyDriveShowsNoDisc)
{
    ScanDialog& window = open();
    window.driveList->setCurrentIndex(1);
    window.onDriveChanged();
    expectNoDisc(window);
}

TEST_F(ScanWindowTest, WithoutDrivesTheWindowStaysWithoutADisc)
{
    setDriveTable(std::make_unique<PathDriveTable>());
    ScanDialog& window = open();
    EXPECT_EQ(window.driveList->count(), 0);
    expectNoDisc(window);
    window.onScanClicked();
    EXPECT_EQ(discsOf(m_music->fileName.toStdString()).size(), 1u);
}

TEST_F(ScanWindowTest, ScanAndAddStoresTheTypedTitleAndComment)
{
    ScanDialog& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.titleEdit->setText(QStringLiteral("My holiday"));
    window.commentEdit->setPlainText(QStringLiteral("typed by the user"));
    window.onScanClicked();

    const std::vector<TKTBDisc> discs = discsOf(m_other->fileName.toStdString());
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("My holiday"));
    EXPECT_EQ(commentOf(discs[0]), QStringLiteral("typed by the user"));
    // The window shows the disc as scanned now.
    EXPECT_EQ(scanTimeColour(window), s_red);
    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("My holiday"));
    EXPECT_EQ(window.commentEdit->toPlainText(), QStringLiteral("typed by the user"));
    EXPECT_EQ(window.filesLabel->text(), QStringLiteral("3"));
}

TEST_F(ScanWindowTest, LongTitlesAndCommentsAreCutToTheirFields)
{
    ScanDialog& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.titleEdit->setText(QString(70, QLatin1Char('t')));
    window.commentEdit->setPlainText(QString(20, QLatin1Char('c')) + QString(30, QChar(0x00E9)));
    window.onScanClicked();
    const TKTBDisc disc = discsOf(m_other->fileName.toStdString()).at(0);
    EXPECT_EQ(titleOf(disc), QString(63, QLatin1Char('t')));
    EXPECT_EQ(commentOf(disc), QString(20, QLatin1Char('c')) + QString(19, QChar(0x00E9)))
        << "no character is split at the field's end";
}

TEST_F(ScanWindowTest, RescanFromTheWindowAsksAndReplaces)
{
    ScanDialog& window = open();
    m_questions->answerMessage(YesButton);
    window.onScanClicked();
    EXPECT_EQ(m_questions->messageTexts(), QStringList { QStringLiteral("Rescan and overwrite Stored ?") });
    const std::vector<TKTBDisc> discs = discsOf(m_music->fileName.toStdString());
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("Stored"));
    EXPECT_EQ(commentOf(discs[0]), QStringLiteral("kept"));
    EXPECT_EQ(discs[0].Files, 3u);
}

TEST_F(ScanWindowTest, EjectWhenScannedLeavesTheStateToTheRemovalNotice)
{
    ScanDialog& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.ejectCheckBox->setChecked(true);
    window.onScanClicked();
    EXPECT_EQ(discsOf(m_other->fileName.toStdString()).size(), 1u);
    EXPECT_EQ(window.lastScanLabel->text(), QStringLiteral("Not scanned"));
}

TEST_F(ScanWindowTest, VirtualDrivesFromTheListFileAreFollowed)
{
    setDriveTable(std::make_unique<SystemDriveTable>([] { return std::vector<std::string>(); }));
    ScanDialog& window = open();
    EXPECT_EQ(window.driveList->count(), 0);
    ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), "M=" + m_image + "\r\n"));
    window.mediaEvents->poll();
    EXPECT_EQ(driveTexts(window), QStringList { QStringLiteral("DISC_ONE (M:)") });
    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("Stored"));

    std::filesystem::remove(m_temp.file("vdrives.lst"));
    window.mediaEvents->poll();
    EXPECT_EQ(window.driveList->count(), 0);
    expectNoDisc(window);
}

/// The system's drive table on a machine without optical drives: only "vdrives.lst" gives drives.
class VirtualDriveWindowTest : public ScanWindowTest {
protected:
    void SetUp() override
    {
        ScanWindowTest::SetUp();
        setDriveTable(std::make_unique<SystemDriveTable>([] { return std::vector<std::string>(); }));
    }
    static QAction* addAction(ScanDialog& window, const char* name)
    {
        return window.addDriveButton->menu()->findChild<QAction*>(QString::fromLatin1(name));
    }
};

TEST_F(VirtualDriveWindowTest, AnImageOrFolderAddedFromTheWindowIsScannableAndRemovableAgain)
{
    ScanDialog& window = open();
    EXPECT_TRUE(window.driveList->count() == 0);
    EXPECT_TRUE(window.noDriveHint->isVisibleTo(&window)) << "an empty drive list says how to add one";
    expectNoDisc(window);

    m_questions->answerOpenFileName(QString::fromStdString(m_image));
    addAction(window, "addImageAction")->trigger();
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), "D=" + m_image + "\r\n");
    EXPECT_EQ(driveTexts(window), QStringList { QStringLiteral("DISC_ONE (D:)") });
    EXPECT_FALSE(window.noDriveHint->isVisibleTo(&window));
    EXPECT_EQ(window.titleEdit->text(), QStringLiteral("Stored")) << "the disc is shown as the fileset knows it";
    EXPECT_TRUE(window.removeDriveButton->isEnabled());

    const std::string folder = folderDisc("folder", 3);
    m_questions->answerFolder(QString::fromStdString(folder));
    addAction(window, "addFolderAction")->trigger();
    EXPECT_EQ(window.selectedLetter(), 'E') << "the drive added is selected";
    EXPECT_EQ(window.lastScanLabel->text(), QStringLiteral("Not scanned"));
    // Adding the same image again finds its drive instead of writing a second line.
    m_questions->answerOpenFileName(QString::fromStdString(m_image));
    addAction(window, "addImageAction")->trigger();
    EXPECT_EQ(window.selectedLetter(), 'D');
    EXPECT_EQ(driveTexts(window).size(), 2);

    m_questions->answerMessage(NoButton);
    window.removeDriveButton->click();
    EXPECT_EQ(driveTexts(window).size(), 2);
    m_questions->answerMessage(YesButton);
    window.removeDriveButton->click();
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), "E=" + folder + "\r\n");
    EXPECT_EQ(window.selectedLetter(), 'E');
    EXPECT_TRUE(pathExists(m_image)) << "the image itself stays";
}

TEST_F(VirtualDriveWindowTest, WhenEveryLetterIsTakenTheUserIsToldAndNothingIsWritten)
{
    std::string lines;
    for (char letter = 'D'; letter <= 'Z'; ++letter) {
        lines += std::string(1, letter) + "=" + m_temp.file("missing-") + letter + ".iso\r\n";
    }
    ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), lines));
    ScanDialog& window = open();
    EXPECT_EQ(window.driveList->count(), 23);
    m_questions->answerOpenFileName(QString::fromStdString(m_image));
    addAction(window, "addImageAction")->trigger();
    ASSERT_EQ(m_questions->messageTexts().size(), 1);
    EXPECT_EQ(m_questions->asked().back().icon, MessageIcon::Warning);
    EXPECT_EQ(readFileBytes(m_temp.file("vdrives.lst")), lines);

    // A cancelled dialog adds nothing and says nothing.
    m_questions->clearAsked();
    m_questions->answerOpenFileName(QString());
    addAction(window, "addImageAction")->trigger();
    EXPECT_TRUE(m_questions->messageTexts().isEmpty());
}

} // namespace
