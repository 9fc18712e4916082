// The compare window runs each task of the core in a worker, shows its result (a tree of differences,
// groups of duplicates, the files on no disc), stops at once on Cancel and saves the results as CSV.
#include "gui/compare/comparewindow.h"
#include "core/companion/companioncatalogs.h"
#include "gui/companion/scopepicker.h"
#include "gui/compare/comparisonmodel.h"
#include "gui/compare/missingfilemodel.h"
#include "gui/compare/sourcepicker.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <filesystem>

namespace {

class CompareWindowTest : public ::testing::Test {
protected:
    CompareWindowTest()
    {
        // Disc "CD": Music/a.mp3 (3 bytes, no date) and Music/b.mp3; disc "Copy": A.MP3 (3 bytes).
        CatalogBuilder catalog;
        catalog.setOwner("Anna").setName("Music");
        m_disc = catalog.beginDisc({ .serial = 1, .title = "CD" });
        catalog.beginFolder("Music");
        catalog.addFile("a.mp3", 3);
        catalog.addFile("b.mp3", 5);
        catalog.endFolder();
        catalog.endDisc();
        catalog.beginDisc({ .serial = 2, .title = "Copy" });
        catalog.addFile("A.MP3", 3);
        catalog.endDisc();
        EXPECT_TRUE(catalog.writeTo(m_folder.file("Music.ktb")));
        m_catalogs.addPath(QString::fromStdString(m_folder.file("Music.ktb")));
        // The local folder: Music/a.mp3 (3 bytes, dated now) and Music/c.mp3.
        std::filesystem::create_directories(m_folder.file("local/Music"));
        EXPECT_TRUE(writeFileBytes(m_folder.file("local/Music/a.mp3"), "aaa"));
        EXPECT_TRUE(writeFileBytes(m_folder.file("local/Music/c.mp3"), "ccc"));

        m_window = std::make_unique<CompareWindow>(m_catalogs);
        m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
            m_window->comparisonModel, QAbstractItemModelTester::FailureReportingMode::Fatal));
        m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
            m_window->missingModel, QAbstractItemModelTester::FailureReportingMode::Fatal));
    }

    QString local() const { return QString::fromStdString(m_folder.file("local")); }

    /// Runs a task and waits for its end.
    void runAndWait(void (CompareWindow::*task)())
    {
        QSignalSpy ended(m_window.get(), &CompareWindow::taskEnded);
        (m_window.get()->*task)();
        ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
        EXPECT_FALSE(m_window->isWorking());
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::uint32_t m_disc = 0;
    std::unique_ptr<CompareWindow> m_window;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

TEST_F(CompareWindowTest, CompareShowsOneTreeWithTheDifferencesMarkedAndSavesThemAsCsv)
{
    m_window->firstPicker->chooseCatalog(0, m_disc);
    m_window->secondPicker->chooseLocation(local());
    runAndWait(&CompareWindow::compare);

    ComparisonModel* model = m_window->comparisonModel;
    ASSERT_EQ(model->rowCount(), 1);
    const QModelIndex music = model->index(0, 0);
    EXPECT_EQ(music.data().toString(), QStringLiteral("Music"));
    ASSERT_EQ(model->rowCount(music), 3);
    QStringList rows;
    for (int row = 0; row < 3; ++row) {
        rows.append(model->index(row, ComparisonModel::NameColumn, music).data().toString() + QLatin1Char(' ')
            + model->index(row, ComparisonModel::DifferenceColumn, music).data().toString());
    }
    EXPECT_EQ(rows,
        QStringList({ QStringLiteral("a.mp3 changed"), QStringLiteral("b.mp3 only in first"),
            QStringLiteral("c.mp3 only in second") }));
    EXPECT_TRUE(m_window->compareSummary->text().contains(QStringLiteral("Changed: 1 files")))
        << m_window->compareSummary->text().toStdString();

    ScriptedQuestions questions;
    const QString csv = QString::fromStdString(m_folder.file("differences"));
    questions.answerSaveFileName(csv);
    m_window->findChild<QPushButton*>(QStringLiteral("saveComparisonButton"))->click();
    const std::string written = readFileBytes(csv.toStdString() + ".csv");
    EXPECT_EQ(
        written.substr(0, written.find("\r\n")), "Difference,Kind,Path,First size,First date,Second size,Second date");
    EXPECT_NE(written.find("only in first,file,Music\\b.mp3,5,,,\r\n"), std::string::npos) << written;
}

TEST_F(CompareWindowTest, DuplicatesAndFilesOnNoDiscAreListedForTheChosenFilesets)
{
    runAndWait(&CompareWindow::findDuplicates);
    ASSERT_EQ(m_window->duplicatesModel->rowCount(), 1);
    EXPECT_EQ(m_window->duplicatesModel->item(0)->rowCount(), 2);
    EXPECT_EQ(m_window->duplicatesModel->item(0, 2)->text(), QStringLiteral("2"));

    m_window->folderEdit->setText(local());
    runAndWait(&CompareWindow::findMissing);
    MissingFileModel* model = m_window->missingModel;
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, MissingFileModel::PathColumn).data().toString(), QStringLiteral("Music/c.mp3"));
    m_window->showHeldBox->setChecked(true);
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, MissingFileModel::HeldByColumn).data().toString(),
        QStringLiteral("Anna\\Music\\CD\\Music\\a.mp3; Anna\\Music\\Copy\\A.MP3"));

    // Nothing chosen: told, and nothing runs.
    ScriptedQuestions questions;
    m_window->scopePicker->checkAll(false);
    m_window->findMissing();
    EXPECT_FALSE(m_window->isWorking());
    ASSERT_EQ(questions.asked().size(), 1u);
    EXPECT_EQ(questions.asked()[0].text, QStringLiteral("Choose the filesets or discs to look in."));
}

TEST_F(CompareWindowTest, CancelStopsTheTaskAndSaysSo)
{
    QSignalSpy ended(m_window.get(), &CompareWindow::taskEnded);
    m_window->findDuplicates();
    m_window->cancelTask();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_FALSE(m_window->isWorking());
    EXPECT_EQ(m_window->duplicatesSummary->text(), QStringLiteral("Cancelled."));
    EXPECT_EQ(m_window->duplicatesModel->rowCount(), 0);
}

} // namespace
