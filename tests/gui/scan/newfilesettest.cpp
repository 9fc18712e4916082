// The new fileset window: owners and the proposed file name, the key check, the file chosen by the
// user, and creation failures with their message.
#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/dialogs/newfilesetdialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

namespace {

QStringList ownerTexts(const NewFilesetDialog& window)
{
    QStringList texts;
    for (int i = 0; i < window.ownerCombo->count(); ++i) {
        texts << window.ownerCombo->itemText(i);
    }
    return texts;
}

class NewFilesetTest : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        ASSERT_TRUE(loginName(m_login));
    }
    void TearDown() override
    {
        m_window.reset();
        ScanFixture::TearDown();
    }
    NewFilesetDialog& open()
    {
        m_window = std::make_unique<NewFilesetDialog>();
        m_window->show();
        return *m_window;
    }
    void typeOwner(NewFilesetDialog& window, const QString& owner) { window.ownerCombo->setEditText(owner); }
    QString storageText(const std::string& name) const { return QString::fromStdString(storage() + name); }
    QString errorText(const QString& path) const
    {
        return QStringLiteral("Error Creating file: \"") + path + QStringLiteral("\" !");
    }

    QString m_login;
    std::unique_ptr<NewFilesetDialog> m_window;
};

TEST_F(NewFilesetTest, ShowsItsControls)
{
    NewFilesetDialog& window = open();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Katalox New Fileset"));
    EXPECT_EQ(window.headingLabel->text(), QStringLiteral("Create a New Fileset"));
    EXPECT_TRUE(window.headingLabel->font().bold());
    EXPECT_EQ(window.ownerLabel->text(), QStringLiteral("Type the owner of this fileset, or select from the list:"));
    EXPECT_EQ(window.descriptionLabel->text(), QStringLiteral("Enter the description of this fileset:"));
    EXPECT_EQ(window.fileLabel->text(), QStringLiteral("The Fileset is stored as this file. Click button to change:"));
    EXPECT_FALSE(window.keyEdit->isVisible()) << "the key field is hidden";
    EXPECT_EQ(window.keyEdit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window.browseButton->text(), QStringLiteral("..."));
    EXPECT_EQ(window.okButton->text(), QStringLiteral("Ok"));
    EXPECT_TRUE(window.okButton->isDefault());
    EXPECT_EQ(window.cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(window.ownerCombo->isEditable());
}

TEST_F(NewFilesetTest, WithoutOwnersTheLoginNameIsProposedAndRemembered)
{
    NewFilesetDialog& window = open();
    EXPECT_EQ(ownerTexts(window), QStringList { m_login });
    EXPECT_EQ(window.ownerCombo->currentText(), m_login);
    EXPECT_EQ(settings().stringValue(DefaultOwnerSetting), m_login);
    EXPECT_EQ(window.fileEdit->text(), storageText(m_login.toStdString() + " - Fileset0.ktb"));
}

TEST_F(NewFilesetTest, KnownOwnersComeFirstAndTheDefaultOwnerIsSelected)
{
    CatalogBuilder anna;
    anna.setOwner("Anna");
    addFileset("anna.ktb", anna);
    CatalogBuilder nobody;
    addFileset("nobody.ktb", nobody);
    settings().setStringValue(DefaultOwnerSetting, QStringLiteral("[nobody]"));
    ASSERT_TRUE(writeFileBytes(storage() + "Fileset0.ktb", CatalogBuilder().bytes()));

    NewFilesetDialog& window = open();
    EXPECT_EQ(ownerTexts(window), (QStringList { QStringLiteral("Anna"), QStringLiteral("[Nobody]"), m_login }));
    EXPECT_EQ(window.ownerCombo->currentText(), QStringLiteral("[Nobody]")) << "found ignoring letter case";
    EXPECT_EQ(window.fileEdit->text(), storageText("Fileset1.ktb")) << "no owner prefix, first free number";

    typeOwner(window, QStringLiteral("Zoe"));
    EXPECT_EQ(window.fileEdit->text(), storageText("Zoe - Fileset0.ktb"));
}

TEST_F(NewFilesetTest, OkCreatesTheFilesetForATypedOwner)
{
    NewFilesetDialog& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    window.descriptionEdit->setText(QStringLiteral("Photos"));
    window.onOkClicked();

    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(m_questions->asked().empty());
    const int index = g_filesetRegistry->indexOfPath(storageText("Zoe - Fileset0.ktb"));
    ASSERT_GE(index, 0);
    Fileset* fileset = g_filesetRegistry->at(index);
    EXPECT_EQ(fileset->owner(), QStringLiteral("Zoe"));
    EXPECT_EQ(fileset->description(), QStringLiteral("Photos"));
    EXPECT_GE(g_ownerIndex->indexOfName(QStringLiteral("Zoe")), 0);
    EXPECT_EQ(settings().stringValue(DefaultOwnerSetting), QStringLiteral("Zoe"));
    EXPECT_TRUE(g_filesetRegistry->locations.isEmpty()) << "the storage folder finds it again";
}

TEST_F(NewFilesetTest, AnOwnerWithASlashGetsAFileNameWithoutAFolderAndKeepsTheName)
{
    NewFilesetDialog& window = open();
    typeOwner(window, QStringLiteral("AC/DC"));
    EXPECT_EQ(window.fileEdit->text(), storageText("AC_DC - Fileset0.ktb"));
    window.onOkClicked();
    EXPECT_TRUE(m_questions->asked().empty());
    const int index = g_filesetRegistry->indexOfPath(storageText("AC_DC - Fileset0.ktb"));
    ASSERT_GE(index, 0);
    EXPECT_EQ(g_filesetRegistry->at(index)->owner(), QStringLiteral("AC/DC"));
}

TEST_F(NewFilesetTest, CancelLeavesTheDefaultOwnerAlone)
{
    settings().setStringValue(DefaultOwnerSetting, QStringLiteral("Anna"));
    NewFilesetDialog& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    window.cancelButton->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings().stringValue(DefaultOwnerSetting), QStringLiteral("Anna"));
    EXPECT_EQ(g_filesetRegistry->count(), 0);
}

TEST_F(NewFilesetTest, AFailureIsToldAndTheOwnerIsStoredAnyway)
{
    // The storage folder cannot be made: a file stands where a folder is needed.
    ASSERT_TRUE(writeFileBytes(m_temp.file("blocker"), "x"));
    settings().setStringValue(FilesetFolderSetting, QString::fromStdString(m_temp.file("blocker/sets/")));
    NewFilesetDialog& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    const QString proposed = window.fileEdit->text();
    window.onOkClicked();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& asked = m_questions->asked().front();
    EXPECT_TRUE(asked.text.startsWith(errorText(proposed) + QStringLiteral("\r\n"))) << describe(asked);
    EXPECT_TRUE(asked.text.contains(QStringLiteral("does not exist"))) << "the reason is told";
    EXPECT_EQ(asked.caption, QStringLiteral("Error"));
    EXPECT_EQ(asked.icon, MessageIcon::Error);
    EXPECT_EQ(asked.buttons, OkButton);
    EXPECT_NE(window.result(), QDialog::Accepted) << "the window stays open";
    EXPECT_EQ(settings().stringValue(DefaultOwnerSetting), QStringLiteral("Zoe"));
    EXPECT_EQ(g_filesetRegistry->count(), 0) << "no registry entry without a file";
}

TEST_F(NewFilesetTest, AChangedFileNameIsHonouredAndFoundAgainAtTheNextStart)
{
    std::filesystem::create_directories(m_temp.file("elsewhere"));
    NewFilesetDialog& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    const QString chosen = QString::fromStdString(m_temp.file("elsewhere/Mine.ktb"));
    window.fileEdit->setText(chosen);
    window.onOkClicked();

    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(pathExists(m_temp.file("elsewhere/Mine.ktb")));
    EXPECT_FALSE(pathExists(storage() + "Zoe - Fileset0.ktb")) << "the proposal is not made as well";
    const int index = g_filesetRegistry->indexOfPath(chosen);
    ASSERT_GE(index, 0);
    EXPECT_EQ(g_filesetRegistry->at(index)->owner(), QStringLiteral("Zoe"));
    EXPECT_EQ(g_filesetRegistry->locations, QStringList { chosen });
    EXPECT_EQ(readFileBytes(g_filesetRegistry->listFilePath().toStdString()), chosen.toStdString() + "\r\n");

    // The next start finds it through the list file.
    g_ownerIndex->detach();
    delete g_ownerIndex;
    delete g_filesetRegistry;
    g_filesetRegistry = new FilesetRegistry();
    g_ownerIndex = new OwnerIndex(g_filesetRegistry);
    EXPECT_GE(g_filesetRegistry->indexOfPath(chosen), 0);
}

TEST_F(NewFilesetTest, AChangedNameInTheStorageFolderNeedsNoLocation)
{
    NewFilesetDialog& window = open();
    window.fileEdit->setText(storageText("Chosen.KTB"));
    window.onOkClicked();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_GE(g_filesetRegistry->indexOfPath(storageText("Chosen.KTB")), 0);
    EXPECT_TRUE(g_filesetRegistry->locations.isEmpty());
}

TEST_F(NewFilesetTest, AChangedNameOfAnExistingFileIsRefusedAndTheFileKept)
{
    ASSERT_TRUE(writeFileBytes(m_temp.file("taken.ktb"), "precious"));
    NewFilesetDialog& window = open();
    const QString taken = QString::fromStdString(m_temp.file("taken.ktb"));
    window.fileEdit->setText(taken);
    window.onOkClicked();
    ASSERT_EQ(m_questions->messageTexts().size(), 1);
    EXPECT_TRUE(m_questions->messageTexts().front().startsWith(errorText(taken)));
    EXPECT_TRUE(m_questions->messageTexts().front().contains(QStringLiteral("already exists")));
    EXPECT_EQ(readFileBytes(m_temp.file("taken.ktb")), "precious");
    EXPECT_EQ(g_filesetRegistry->count(), 0);
    EXPECT_TRUE(g_filesetRegistry->locations.isEmpty());
}

TEST_F(NewFilesetTest, TheSaveDialogStartsInTheProposedFolderAndSetsTheFile)
{
    NewFilesetDialog& window = open();
    const QString chosen = QString::fromStdString(m_temp.file("picked.ktb"));
    m_questions->answerSaveFileName(chosen);
    window.onBrowseClicked();
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked().front().kind, QuestionKind::SaveFileName);
    EXPECT_EQ(m_questions->asked().front().filter, QStringLiteral("Katalox Data Set (*.ktb)"));
    EXPECT_EQ(m_questions->asked().front().start, QString::fromStdString(storage()));
    EXPECT_EQ(window.fileEdit->text(), chosen);

    m_questions->answerSaveFileName(QString());
    window.onBrowseClicked();
    EXPECT_EQ(window.fileEdit->text(), chosen) << "a cancelled dialog changes nothing";
}

TEST_F(NewFilesetTest, TheKeyMustBeTypedTwiceAlike)
{
    NewFilesetDialog& window = open();
    window.keyEdit->setText(QStringLiteral("Secret"));
    m_questions->answerInput(QStringLiteral("Secret"));
    window.onKeyEditLeft();
    EXPECT_EQ(window.keyEdit->text(), QStringLiteral("Secret"));

    m_questions->answerInput(QStringLiteral("secret"));
    window.onKeyEditLeft();
    EXPECT_TRUE(window.keyEdit->text().isEmpty()) << "letter case counts";

    window.keyEdit->setText(QStringLiteral("Secret"));
    m_questions->cancelInput();
    window.onKeyEditLeft();
    EXPECT_TRUE(window.keyEdit->text().isEmpty());

    const std::vector<AskedQuestion>& asked = m_questions->asked();
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[0].kind, QuestionKind::InputBox);
    EXPECT_EQ(asked[0].caption, QStringLiteral("Verify.."));
    EXPECT_EQ(asked[0].text, QStringLiteral("enter the key again:"));
    EXPECT_TRUE(asked[0].start.isEmpty());
    EXPECT_EQ(asked[2].text, QStringLiteral("The key was mistyped!"));
    EXPECT_EQ(asked[4].text, QStringLiteral("The key was mistyped!"));
}

} // namespace
