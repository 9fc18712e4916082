// The new fileset window: owners and the proposed file name, the key check, the file chosen by the
// user, and creation failures with their message.
#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "gui/dialogs/newfilesetdialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

namespace {

QStringList ownerTexts(const TFormNewFileset& window)
{
    QStringList texts;
    for (int i = 0; i < window.ownerlist->count(); ++i) {
        texts << window.ownerlist->itemText(i);
    }
    return texts;
}

class NewFilesetTest : public ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        ASSERT_TRUE(GetLoginName(m_login));
    }
    void TearDown() override
    {
        m_window.reset();
        ScanFixture::TearDown();
    }
    TFormNewFileset& open()
    {
        m_window = std::make_unique<TFormNewFileset>();
        m_window->show();
        return *m_window;
    }
    void typeOwner(TFormNewFileset& window, const QString& owner) { window.ownerlist->setEditText(owner); }
    QString storageText(const std::string& name) const { return QString::fromStdString(storage() + name); }
    QString errorText(const QString& path) const
    {
        return QStringLiteral("Error Creating file: \"") + path + QStringLiteral("\" !");
    }

    QString m_login;
    std::unique_ptr<TFormNewFileset> m_window;
};

TEST_F(NewFilesetTest, ShowsItsControls)
{
    TFormNewFileset& window = open();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Katalox New Fileset"));
    EXPECT_EQ(window.Label1->text(), QStringLiteral("Create a New Fileset"));
    EXPECT_TRUE(window.Label1->font().bold());
    EXPECT_EQ(window.Label4->text(), QStringLiteral("Type the owner of this fileset, or select from the list:"));
    EXPECT_EQ(window.Label2->text(), QStringLiteral("Enter the description of this fileset:"));
    EXPECT_EQ(window.Label3->text(), QStringLiteral("The Fileset is stored as this file. Click button to change:"));
    EXPECT_FALSE(window.MaskEdit1->isVisible()) << "the key field is hidden";
    EXPECT_EQ(window.MaskEdit1->echoMode(), QLineEdit::Password);
    EXPECT_EQ(window.Button1->text(), QStringLiteral("..."));
    EXPECT_EQ(window.Button3->text(), QStringLiteral("Ok"));
    EXPECT_TRUE(window.Button3->isDefault());
    EXPECT_EQ(window.Button2->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(window.ownerlist->isEditable());
}

TEST_F(NewFilesetTest, WithoutOwnersTheLoginNameIsProposedAndRemembered)
{
    TFormNewFileset& window = open();
    EXPECT_EQ(ownerTexts(window), QStringList { m_login });
    EXPECT_EQ(window.ownerlist->currentText(), m_login);
    EXPECT_EQ(settings().GetStr(skDefaultOwner), m_login);
    EXPECT_EQ(window.Edit2->text(), storageText(m_login.toStdString() + " - Fileset0.ktb"));
}

TEST_F(NewFilesetTest, KnownOwnersComeFirstAndTheDefaultOwnerIsSelected)
{
    CatalogBuilder anna;
    anna.setOwner("Anna");
    addFileset("anna.ktb", anna);
    CatalogBuilder nobody;
    addFileset("nobody.ktb", nobody);
    settings().SetStr(skDefaultOwner, QStringLiteral("[nobody]"));
    ASSERT_TRUE(writeFileBytes(storage() + "Fileset0.ktb", CatalogBuilder().bytes()));

    TFormNewFileset& window = open();
    EXPECT_EQ(ownerTexts(window), (QStringList { QStringLiteral("Anna"), QStringLiteral("[Nobody]"), m_login }));
    EXPECT_EQ(window.ownerlist->currentText(), QStringLiteral("[Nobody]")) << "found ignoring letter case";
    EXPECT_EQ(window.Edit2->text(), storageText("Fileset1.ktb")) << "no owner prefix, first free number";

    typeOwner(window, QStringLiteral("Zoe"));
    EXPECT_EQ(window.Edit2->text(), storageText("Zoe - Fileset0.ktb"));
}

TEST_F(NewFilesetTest, OkCreatesTheFilesetForATypedOwner)
{
    TFormNewFileset& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    window.Edit1->setText(QStringLiteral("Photos"));
    window.Button3Click();

    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(m_questions->asked().empty());
    const int index = FilesetList->IndexOfPath(storageText("Zoe - Fileset0.ktb"));
    ASSERT_GE(index, 0);
    TKTBFile* fileset = FilesetList->Items(index);
    EXPECT_EQ(fileset->GetOwner(), QStringLiteral("Zoe"));
    EXPECT_EQ(fileset->GetDescription(), QStringLiteral("Photos"));
    EXPECT_GE(OwnerList->IndexOfName(QStringLiteral("Zoe")), 0);
    EXPECT_EQ(settings().GetStr(skDefaultOwner), QStringLiteral("Zoe"));
    EXPECT_TRUE(FilesetList->Locations.isEmpty()) << "the storage folder finds it again";
}

TEST_F(NewFilesetTest, CancelLeavesTheDefaultOwnerAlone)
{
    settings().SetStr(skDefaultOwner, QStringLiteral("Anna"));
    TFormNewFileset& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    window.Button2->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(settings().GetStr(skDefaultOwner), QStringLiteral("Anna"));
    EXPECT_EQ(FilesetList->Count(), 0);
}

TEST_F(NewFilesetTest, AFailureIsToldAndTheOwnerIsStoredAnyway)
{
    // The storage folder cannot be made: a file stands where a folder is needed.
    ASSERT_TRUE(writeFileBytes(m_temp.file("blocker"), "x"));
    settings().SetStr(skFilesetFolder, QString::fromStdString(m_temp.file("blocker/sets/")));
    TFormNewFileset& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    const QString proposed = window.Edit2->text();
    window.Button3Click();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& asked = m_questions->asked().front();
    EXPECT_EQ(asked.text, errorText(proposed));
    EXPECT_EQ(asked.caption, QStringLiteral("Error"));
    EXPECT_EQ(asked.icon, TMsgIcon::Error);
    EXPECT_EQ(asked.buttons, mbOK);
    EXPECT_NE(window.result(), QDialog::Accepted) << "the window stays open";
    EXPECT_EQ(settings().GetStr(skDefaultOwner), QStringLiteral("Zoe"));
    EXPECT_EQ(FilesetList->Count(), 0) << "no registry entry without a file";
}

TEST_F(NewFilesetTest, AChangedFileNameIsHonouredAndFoundAgainAtTheNextStart)
{
    std::filesystem::create_directories(m_temp.file("elsewhere"));
    TFormNewFileset& window = open();
    typeOwner(window, QStringLiteral("Zoe"));
    const QString chosen = QString::fromStdString(m_temp.file("elsewhere/Mine.ktb"));
    window.Edit2->setText(chosen);
    window.Button3Click();

    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_TRUE(pathExists(m_temp.file("elsewhere/Mine.ktb")));
    EXPECT_FALSE(pathExists(storage() + "Zoe - Fileset0.ktb")) << "the proposal is not made as well";
    const int index = FilesetList->IndexOfPath(chosen);
    ASSERT_GE(index, 0);
    EXPECT_EQ(FilesetList->Items(index)->GetOwner(), QStringLiteral("Zoe"));
    EXPECT_EQ(FilesetList->Locations, QStringList { chosen });
    EXPECT_EQ(readFileBytes(FilesetList->ListFilePath().toStdString()), chosen.toStdString() + "\r\n");

    // The next start finds it through the list file.
    OwnerList->Detach();
    delete OwnerList;
    delete FilesetList;
    FilesetList = new TKTBFiles();
    OwnerList = new TKTBOwners(FilesetList);
    EXPECT_GE(FilesetList->IndexOfPath(chosen), 0);
}

TEST_F(NewFilesetTest, AChangedNameInTheStorageFolderNeedsNoLocation)
{
    TFormNewFileset& window = open();
    window.Edit2->setText(storageText("Chosen.KTB"));
    window.Button3Click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_GE(FilesetList->IndexOfPath(storageText("Chosen.KTB")), 0);
    EXPECT_TRUE(FilesetList->Locations.isEmpty());
}

TEST_F(NewFilesetTest, AChangedNameOfAnExistingFileIsRefusedAndTheFileKept)
{
    ASSERT_TRUE(writeFileBytes(m_temp.file("taken.ktb"), "precious"));
    TFormNewFileset& window = open();
    const QString taken = QString::fromStdString(m_temp.file("taken.ktb"));
    window.Edit2->setText(taken);
    window.Button3Click();
    EXPECT_EQ(m_questions->messageTexts(), QStringList { errorText(taken) });
    EXPECT_EQ(readFileBytes(m_temp.file("taken.ktb")), "precious");
    EXPECT_EQ(FilesetList->Count(), 0);
    EXPECT_TRUE(FilesetList->Locations.isEmpty());
}

TEST_F(NewFilesetTest, TheSaveDialogStartsInTheProposedFolderAndSetsTheFile)
{
    TFormNewFileset& window = open();
    const QString chosen = QString::fromStdString(m_temp.file("picked.ktb"));
    m_questions->answerSaveFileName(chosen);
    window.Button1Click();
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked().front().kind, QuestionKind::SaveFileName);
    EXPECT_EQ(m_questions->asked().front().filter, QStringLiteral("Katalox Data Set (*.ktb)"));
    EXPECT_EQ(m_questions->asked().front().start, QString::fromStdString(storage()));
    EXPECT_EQ(window.Edit2->text(), chosen);

    m_questions->answerSaveFileName(QString());
    window.Button1Click();
    EXPECT_EQ(window.Edit2->text(), chosen) << "a cancelled dialog changes nothing";
}

TEST_F(NewFilesetTest, TheKeyMustBeTypedTwiceAlike)
{
    TFormNewFileset& window = open();
    window.MaskEdit1->setText(QStringLiteral("Secret"));
    m_questions->answerInput(QStringLiteral("Secret"));
    window.MaskEdit1Exit();
    EXPECT_EQ(window.MaskEdit1->text(), QStringLiteral("Secret"));

    m_questions->answerInput(QStringLiteral("secret"));
    window.MaskEdit1Exit();
    EXPECT_TRUE(window.MaskEdit1->text().isEmpty()) << "letter case counts";

    window.MaskEdit1->setText(QStringLiteral("Secret"));
    m_questions->cancelInput();
    window.MaskEdit1Exit();
    EXPECT_TRUE(window.MaskEdit1->text().isEmpty());

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
