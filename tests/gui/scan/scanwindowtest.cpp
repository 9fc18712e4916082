// The scan window over test drives: drive entries as discs come and go, the disc's state in the chosen
// fileset with its colours, the last chosen fileset, and scanning with the typed title and comment.
#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/fileset.h"
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
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <filesystem>

namespace {

const QColor s_red(255, 0, 0);
const QColor s_green(0, 128, 0);
constexpr std::uint32_t s_storedScanTime = (24U << 25) | (6U << 21) | (15U << 16) | (14U << 11) | (30U << 5);

QStringList driveTexts(const TformScan& window)
{
    QStringList texts;
    for (int i = 0; i < window.DriveList->count(); ++i) {
        texts << window.DriveList->itemText(i);
    }
    return texts;
}

QStringList filesetTexts(const TformScan& window)
{
    QStringList texts;
    for (int i = 0; i < window.filelist->count(); ++i) {
        texts << window.filelist->itemText(i);
    }
    return texts;
}

QColor scanTimeColour(const TformScan& window) { return window.label_lastscan->palette().color(QPalette::WindowText); }

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
    TformScan& open()
    {
        m_window = std::make_unique<TformScan>();
        m_window->show();
        return *m_window;
    }
    void choose(TformScan& window, const QString& fileset)
    {
        window.filelist->setCurrentIndex(window.filelist->findText(fileset));
        window.filelistChange();
    }
    void expectNoDisc(const TformScan& window)
    {
        EXPECT_EQ(window.edit_title->text(), QStringLiteral("No Disc in Drive!"));
        for (const QLabel* label :
            { window.label_files, window.Label_folders, window.label_lastscan, window.label_UsedSpace }) {
            EXPECT_EQ(label->text(), QStringLiteral("N/A")) << label->objectName().toStdString();
        }
        EXPECT_TRUE(window.Memo->toPlainText().isEmpty());
        EXPECT_EQ(scanTimeColour(window), QApplication::palette(window.label_lastscan).color(QPalette::WindowText));
        EXPECT_FALSE(window.btn_Scan->isEnabled());
        EXPECT_FALSE(window.edit_title->isEnabled());
        EXPECT_FALSE(window.Memo->isEnabled());
    }

    std::string m_image;
    TKTBFile* m_music = nullptr;
    TKTBFile* m_other = nullptr;
    std::unique_ptr<TformScan> m_window;
};

TEST_F(ScanWindowTest, OpensWithTheDrivesAndTheStoredDiscOfTheFirstFileset)
{
    TformScan& window = open();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Katalox Scan"));
    EXPECT_EQ(driveTexts(window), (QStringList { QStringLiteral("DISC_ONE (D:)"), QStringLiteral("(E:)") }));
    EXPECT_EQ(window.SelectedLetter(), 'D');
    EXPECT_EQ(filesetTexts(window), (QStringList { QStringLiteral("{Anna} Music"), QStringLiteral("{Bob} Other") }));
    EXPECT_EQ(window.ChosenFileset(), m_music);
    EXPECT_EQ(window.StatusBar1->currentMessage(), m_music->FileName);

    EXPECT_EQ(window.edit_title->text(), QStringLiteral("Stored"));
    EXPECT_EQ(window.label_files->text(), QStringLiteral("7"));
    EXPECT_EQ(window.Label_folders->text(), QStringLiteral("2"));
    EXPECT_EQ(window.Memo->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(window.label_UsedSpace->text(), FormatSize(123456));
    EXPECT_EQ(window.label_lastscan->text(), formatDateTime(dosToDateTime(s_storedScanTime)));
    EXPECT_EQ(scanTimeColour(window), s_red);
    EXPECT_TRUE(window.btn_Scan->isEnabled());
    EXPECT_TRUE(window.btn_Scan->isDefault());
    EXPECT_FALSE(window.CheckBox1->isChecked());
    EXPECT_EQ(settings().GetStr(skDefaultFileSet), QStringLiteral("{Anna} Music"));
}

TEST_F(ScanWindowTest, AFilesetWithoutTheDiscShowsItAsNotScanned)
{
    TformScan& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    EXPECT_EQ(window.label_lastscan->text(), QStringLiteral("Not scanned"));
    EXPECT_EQ(scanTimeColour(window), s_green);
    EXPECT_EQ(window.label_files->text(), QStringLiteral("N/A"));
    EXPECT_EQ(window.Label_folders->text(), QStringLiteral("N/A"));
    EXPECT_EQ(window.edit_title->text(), QStringLiteral("DISC_ONE"));
    EXPECT_TRUE(window.Memo->toPlainText().isEmpty());
    EXPECT_EQ(window.label_UsedSpace->text(), FormatSize(window.Disc().Used));
    EXPECT_TRUE(window.btn_Scan->isEnabled());
    EXPECT_EQ(settings().GetStr(skDefaultFileSet), QStringLiteral("{Bob} Other"));
}

TEST_F(ScanWindowTest, TheLastChosenFilesetIsPreselectedIgnoringCase)
{
    settings().SetStr(skDefaultFileSet, QStringLiteral("{bob} OTHER"));
    TformScan& window = open();
    EXPECT_EQ(window.ChosenFileset(), m_other);
}

TEST_F(ScanWindowTest, ADeletedLastFilesetFallsBackToTheFirst)
{
    settings().SetStr(skDefaultFileSet, QStringLiteral("{Bob} Other"));
    FilesetList->Delete(FilesetList->IndexOf(m_other));
    OwnerList->Rebuild();
    TformScan& window = open();
    EXPECT_EQ(filesetTexts(window), QStringList { QStringLiteral("{Anna} Music") });
    EXPECT_EQ(window.ChosenFileset(), m_music);
    EXPECT_EQ(settings().GetStr(skDefaultFileSet), QStringLiteral("{Anna} Music"));
}

TEST_F(ScanWindowTest, RemovalAndArrivalRewriteTheEntryAndTheState)
{
    TformScan& window = open();
    const std::string away = m_temp.file("away.iso");
    std::filesystem::rename(m_image, away);
    window.CDEvents1->InjectRemoval('D');
    EXPECT_EQ(driveTexts(window), (QStringList { QStringLiteral("(D:)"), QStringLiteral("(E:)") }));
    expectNoDisc(window);

    std::filesystem::rename(away, m_image);
    window.CDEvents1->InjectArrival('D');
    EXPECT_EQ(driveTexts(window).front(), QStringLiteral("DISC_ONE(D:)")) << "no blank before the parenthesis";
    EXPECT_EQ(window.edit_title->text(), QStringLiteral("Stored"));
    EXPECT_EQ(scanTimeColour(window), s_red);
}

TEST_F(ScanWindowTest, AnArrivalInAnotherDriveSelectsIt)
{
    TformScan& window = open();
    m_drives->setDrive('E', folderDisc("second", 4));
    window.CDEvents1->Poll(); // the drive table changed: the list is made again
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("second (E:)"));
    EXPECT_EQ(window.SelectedLetter(), 'D') << "a refill keeps the selected drive";

    const std::string moved = m_temp.file("moved");
    std::filesystem::rename(m_temp.file("second"), moved);
    window.CDEvents1->Poll();
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("(E:)"));
    EXPECT_EQ(window.SelectedLetter(), 'E');
    expectNoDisc(window);
    std::filesystem::rename(moved, m_temp.file("second"));
    window.CDEvents1->Poll();
    EXPECT_EQ(driveTexts(window)[1], QStringLiteral("second(E:)"));
    EXPECT_EQ(window.label_lastscan->text(), QStringLiteral("Not scanned"));
}

TEST_F(ScanWindowTest, ChoosingAnEmptyDriveShowsNoDisc)
{
    TformScan& window = open();
    window.DriveList->setCurrentIndex(1);
    window.DriveListChange();
    expectNoDisc(window);
}

TEST_F(ScanWindowTest, WithoutDrivesTheWindowStaysWithoutADisc)
{
    setDriveTable(std::make_unique<PathDriveTable>());
    TformScan& window = open();
    EXPECT_EQ(window.DriveList->count(), 0);
    expectNoDisc(window);
    window.btn_ScanClick();
    EXPECT_EQ(discsOf(m_music->FileName.toStdString()).size(), 1u);
}

TEST_F(ScanWindowTest, ScanAndAddStoresTheTypedTitleAndComment)
{
    TformScan& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.edit_title->setText(QStringLiteral("My holiday"));
    window.Memo->setPlainText(QStringLiteral("typed by the user"));
    window.btn_ScanClick();

    const std::vector<TKTBDisc> discs = discsOf(m_other->FileName.toStdString());
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("My holiday"));
    EXPECT_EQ(commentOf(discs[0]), QStringLiteral("typed by the user"));
    // The window shows the disc as scanned now.
    EXPECT_EQ(scanTimeColour(window), s_red);
    EXPECT_EQ(window.edit_title->text(), QStringLiteral("My holiday"));
    EXPECT_EQ(window.Memo->toPlainText(), QStringLiteral("typed by the user"));
    EXPECT_EQ(window.label_files->text(), QStringLiteral("3"));
}

TEST_F(ScanWindowTest, LongTitlesAndCommentsAreCutToTheirFields)
{
    TformScan& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.edit_title->setText(QString(70, QLatin1Char('t')));
    window.Memo->setPlainText(QString(20, QLatin1Char('c')) + QString(30, QChar(0x00E9)));
    window.btn_ScanClick();
    const TKTBDisc disc = discsOf(m_other->FileName.toStdString()).at(0);
    EXPECT_EQ(titleOf(disc), QString(63, QLatin1Char('t')));
    EXPECT_EQ(commentOf(disc), QString(20, QLatin1Char('c')) + QString(19, QChar(0x00E9)))
        << "no character is split at the field's end";
}

TEST_F(ScanWindowTest, RescanFromTheWindowAsksAndReplaces)
{
    TformScan& window = open();
    m_questions->answerMessage(mbYes);
    window.btn_ScanClick();
    EXPECT_EQ(m_questions->messageTexts(), QStringList { QStringLiteral("Rescan and overwrite Stored ?") });
    const std::vector<TKTBDisc> discs = discsOf(m_music->FileName.toStdString());
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("Stored"));
    EXPECT_EQ(commentOf(discs[0]), QStringLiteral("kept"));
    EXPECT_EQ(discs[0].Files, 3u);
}

TEST_F(ScanWindowTest, EjectWhenScannedLeavesTheStateToTheRemovalNotice)
{
    TformScan& window = open();
    choose(window, QStringLiteral("{Bob} Other"));
    window.CheckBox1->setChecked(true);
    window.btn_ScanClick();
    EXPECT_EQ(discsOf(m_other->FileName.toStdString()).size(), 1u);
    EXPECT_EQ(window.label_lastscan->text(), QStringLiteral("Not scanned"));
}

TEST_F(ScanWindowTest, VirtualDrivesFromTheListFileAreFollowed)
{
    setDriveTable(std::make_unique<SystemDriveTable>([] { return std::vector<std::string>(); }));
    TformScan& window = open();
    EXPECT_EQ(window.DriveList->count(), 0);
    ASSERT_TRUE(writeFileBytes(m_temp.file("vdrives.lst"), "M=" + m_image + "\r\n"));
    window.CDEvents1->Poll();
    EXPECT_EQ(driveTexts(window), QStringList { QStringLiteral("DISC_ONE (M:)") });
    EXPECT_EQ(window.edit_title->text(), QStringLiteral("Stored"));

    std::filesystem::remove(m_temp.file("vdrives.lst"));
    window.CDEvents1->Poll();
    EXPECT_EQ(window.DriveList->count(), 0);
    expectNoDisc(window);
}

} // namespace
