// The program's message boxes and dialogs: what each shows, and the answer each gives. The box is
// read and answered from a timer that fires inside its modal loop.
#include "gui/common/messageboxquestions.h"

#include "tests/support/tempfolder.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Runs handle on the modal window that the next call opens.
template <typename Window> void whenShown(std::function<void(Window*)> handle)
{
    QTimer::singleShot(0, [handle] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window == nullptr) {
            ADD_FAILURE() << "no modal window of the expected kind is open";
            return;
        }
        handle(window);
    });
}

class MessageBoxQuestionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_mainWindow.setWindowTitle(QStringLiteral("Katalox"));
        m_mainWindow.show();
        QApplication::setActiveWindow(&m_mainWindow);
    }

    MessageBoxQuestions m_questions;
    QWidget m_mainWindow;
};

TEST_F(MessageBoxQuestionsTest, BoxShowsCaptionPlainTextIconAndButtonsOverTheActiveWindow)
{
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    Qt::WindowModality modality = Qt::NonModal;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        icon = box->icon();
        buttons = box->standardButtons();
        parent = box->parentWidget();
        modality = box->windowModality();
        box->button(QMessageBox::Yes)->click();
    });
    const MessageButton answer
        = m_questions.messageBox(QStringLiteral("Delete the disc <b>CD 12</b> ?\r\nIt is gone then."),
            QStringLiteral("Confirm Delete"), MessageIcon::Warning, YesButton | NoButton);

    EXPECT_EQ(answer, YesButton);
    EXPECT_EQ(title, QStringLiteral("Confirm Delete"));
    EXPECT_EQ(text, QStringLiteral("Delete the disc <b>CD 12</b> ?\nIt is gone then."));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(parent, &m_mainWindow);
    EXPECT_EQ(modality, Qt::ApplicationModal);
}

TEST_F(MessageBoxQuestionsTest, OwnerlessBoxHasNoParentAndBlocksTheApplication)
{
    QWidget* parent = &m_mainWindow;
    Qt::WindowModality modality = Qt::NonModal;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        parent = box->parentWidget();
        modality = box->windowModality();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(m_questions.messageBox(QStringLiteral("Cannot read the catalog"), QStringLiteral("KTB Error!"),
                  MessageIcon::Error, OkButton, true),
        OkButton);
    EXPECT_EQ(parent, nullptr);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(MessageBoxQuestionsTest, EachButtonAnswersItself)
{
    const std::pair<MessageButton, QMessageBox::StandardButton> pairs[] = { { OkButton, QMessageBox::Ok },
        { CancelButton, QMessageBox::Cancel }, { YesButton, QMessageBox::Yes }, { NoButton, QMessageBox::No } };
    for (const auto& [button, standard] : pairs) {
        whenShown<QMessageBox>([standard = standard](QMessageBox* box) { box->button(standard)->click(); });
        EXPECT_EQ(m_questions.messageBox(QStringLiteral("?"), QStringLiteral("Question"), MessageIcon::Question,
                      OkButton | CancelButton | YesButton | NoButton),
            button);
    }
}

TEST_F(MessageBoxQuestionsTest, InputBoxAnswersTheTypedTextOrLeavesValueWhenCancelled)
{
    QString label;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    QString start;
    whenShown<QInputDialog>([&](QInputDialog* dialog) {
        label = dialog->labelText();
        echo = dialog->textEchoMode();
        start = dialog->textValue();
        dialog->setTextValue(QStringLiteral("typed"));
        dialog->accept();
    });
    QString value = QStringLiteral("given");
    EXPECT_TRUE(m_questions.inputBox(QStringLiteral("Verify.."), QStringLiteral("enter the key again:"), value, true));
    EXPECT_EQ(value, QStringLiteral("typed"));
    EXPECT_EQ(label, QStringLiteral("enter the key again:"));
    EXPECT_EQ(echo, QLineEdit::Password);
    EXPECT_EQ(start, QStringLiteral("given"));

    whenShown<QInputDialog>([](QInputDialog* dialog) {
        dialog->setTextValue(QStringLiteral("dropped"));
        dialog->reject();
    });
    EXPECT_FALSE(m_questions.inputBox(QStringLiteral("Name"), QStringLiteral("New name:"), value));
    EXPECT_EQ(value, QStringLiteral("typed"));
}

TEST_F(MessageBoxQuestionsTest, SaveDialogStartsInFolderWithFilterAndAnswersTheFile)
{
    const TempFolder folder;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    QStringList filters;
    QString directory;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->acceptMode();
        filters = dialog->nameFilters();
        directory = dialog->directory().absolutePath();
        dialog->selectFile(QString::fromStdString(folder.file("New.ktb")));
        QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog, a slot all the same
    });
    const QString chosen = m_questions.saveFileName(QStringLiteral("Save fileset as"),
        QString::fromStdString(folder.path()), QStringLiteral("Katalox Data Set (*.ktb)"));
    EXPECT_EQ(chosen, QString::fromStdString(folder.file("New.ktb")));
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_EQ(filters, QStringList { QStringLiteral("Katalox Data Set (*.ktb)") });
    EXPECT_EQ(directory + u'/', QString::fromStdString(folder.path()));
}

TEST_F(MessageBoxQuestionsTest, FolderPickerAnswersEmptyWhenCancelled)
{
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        mode = dialog->fileMode();
        dialog->reject();
    });
    EXPECT_EQ(m_questions.chooseFolder(QStringLiteral("Storage folder"), QStringLiteral("/")), QString());
    EXPECT_EQ(mode, QFileDialog::Directory);
}

} // namespace
