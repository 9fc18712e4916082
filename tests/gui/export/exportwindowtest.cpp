// The export window writes the scope, the selection and the format the user picked, through the
// shared export; Cancel leaves no file.
#include "gui/export/exportwindow.h"
#include "core/companion/companioncatalogs.h"
#include "gui/companion/scopepicker.h"
#include "gui/companion/walkprogresspanel.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItem>
#include <filesystem>

namespace {

class ExportWindowTest : public ::testing::Test {
protected:
    ExportWindowTest()
    {
        CatalogBuilder catalog;
        catalog.setOwner("Anna").setName("Music");
        m_discs.push_back(catalog.beginDisc({ .serial = 1, .title = "CD 1" }));
        catalog.beginFolder("Music");
        catalog.beginFolder("Rock");
        catalog.addFile("a.mp3", 4000);
        catalog.endFolder();
        catalog.endFolder();
        catalog.endDisc();
        m_discs.push_back(catalog.beginDisc({ .serial = 2, .title = "CD 2" }));
        // Enough files that Cancel comes before the end.
        for (int file = 0; file < 300000; ++file) {
            catalog.addFile("file " + std::to_string(file) + ".txt", 1);
        }
        catalog.endDisc();
        EXPECT_TRUE(catalog.writeTo(m_folder.file("Music.ktb")));
        m_catalogs.addPath(QString::fromStdString(m_folder.file("Music.ktb")));
        m_window = std::make_unique<ExportWindow>(m_catalogs);
    }

    TempFolder m_folder;
    ScriptedQuestions m_questions;
    CompanionCatalogs m_catalogs;
    std::vector<std::uint32_t> m_discs;
    std::unique_ptr<ExportWindow> m_window;
};

TEST_F(ExportWindowTest, WritesTheFolderAndFormatPicked)
{
    m_window->scopePicker->checkOnly(m_window->scopePicker->discItem(0, m_discs[0]));
    ASSERT_TRUE(m_window->folderEdit->isEnabled()) << "one disc picked";
    m_window->folderEdit->setText(QStringLiteral("/Music"));
    m_window->formatChooser->setCurrentIndex(1);
    m_window->depthCheck->setChecked(true);
    m_window->depthSpin->setValue(2);
    EXPECT_FALSE(m_window->byteOrderMarkCheck->isEnabled()) << "CSV only";
    m_window->foldersOnlyButton->setChecked(true);
    EXPECT_TRUE(m_window->options().selection.foldersOnly);
    m_window->filesAndFoldersButton->setChecked(true);
    const QString path = QString::fromStdString(m_folder.file("out.json"));
    QSignalSpy ended(m_window.get(), &ExportWindow::exportEnded);
    ASSERT_TRUE(m_window->exportTo(path));
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_EQ(m_window->statusLabel->text(), QStringLiteral("Exported 2 folders and 0 files to %1.").arg(path));
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromStdString(readFileBytes(path.toStdString())));
    const QJsonArray discs = document[QStringLiteral("filesets")][0][QStringLiteral("discs")].toArray();
    ASSERT_EQ(discs.size(), 1);
    const QJsonObject music = discs.at(0)[QStringLiteral("entries")][0].toObject();
    EXPECT_EQ(music[QStringLiteral("name")].toString(), QStringLiteral("Music"));
    EXPECT_EQ(music[QStringLiteral("entries")][0][QStringLiteral("entries")].toArray().size(), 0) << "depth 2";

    // A folder the disc does not hold is said so, and nothing starts.
    m_window->folderEdit->setText(QStringLiteral("/Jazz"));
    EXPECT_FALSE(m_window->exportTo(QString::fromStdString(m_folder.file("none.json"))));
    ASSERT_EQ(m_questions.asked().size(), 1u);
    EXPECT_EQ(m_questions.asked()[0].text, QStringLiteral("The disc holds no folder /Jazz."));
}

TEST_F(ExportWindowTest, TheSaveDialogOffersTheFormatsExtensionAndAsksBeforeReplacing)
{
    m_window->scopePicker->checkOnly(m_window->scopePicker->discItem(0, m_discs[0]));
    m_window->formatChooser->setCurrentIndex(2);
    const QString named = QString::fromStdString(m_folder.file("listing"));
    m_questions.answerSaveFileName(named);
    QSignalSpy ended(m_window.get(), &ExportWindow::exportEnded);
    m_window->exportButton->click();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    ASSERT_EQ(m_questions.asked().size(), 1u);
    EXPECT_EQ(m_questions.asked()[0].filter, QStringLiteral("HTML files (*.html)"));
    EXPECT_TRUE(m_questions.asked()[0].start.endsWith(QStringLiteral("/Catalogs.html")));
    EXPECT_TRUE(std::filesystem::exists(m_folder.file("listing.html")));

    // The same name again: replaced only when the user agrees.
    m_questions.answerSaveFileName(named);
    m_questions.answerMessage(NoButton);
    m_window->exportButton->click();
    EXPECT_FALSE(m_window->isExporting());
    ASSERT_EQ(m_questions.asked().size(), 3u);
    EXPECT_EQ(
        m_questions.asked()[2].text, QStringLiteral("%1.html exists already.\nDo you want to replace it?").arg(named));
}

TEST_F(ExportWindowTest, CancelLeavesNoFile)
{
    const std::string path = m_folder.file("all.csv");
    QSignalSpy ended(m_window.get(), &ExportWindow::exportEnded);
    ASSERT_TRUE(m_window->exportTo(QString::fromStdString(path)));
    EXPECT_FALSE(m_window->exportButton->isEnabled());
    m_window->progressPanel->cancelButton->click();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_TRUE(m_window->statusLabel->text().startsWith(QStringLiteral("Cancelled")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}), 1) << "only the catalog";
    EXPECT_TRUE(m_window->exportButton->isEnabled());
}

} // namespace
