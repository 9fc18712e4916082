// The statistics window shows what collectStatistics counts, walks the scope the user picked, stops at
// once on Cancel, and saves charts and tables without replacing a file unasked.
#include "gui/statistics/statisticswindow.h"
#include "core/companion/catalogwalk.h"
#include "core/companion/companioncatalogs.h"
#include "core/statistics/statisticscollector.h"
#include "gui/companion/scopepicker.h"
#include "gui/companion/walkprogresspanel.h"
#include "gui/statistics/figuresaving.h"
#include "gui/statistics/figuretablemodel.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QChartView>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QStandardItem>
#include <QTabWidget>

namespace {

class StatisticsWindowTest : public ::testing::Test {
protected:
    StatisticsWindowTest()
    {
        for (const auto& [owner, name] : { std::pair { "Anna", "Music" }, std::pair { "Bob", "Photos" } }) {
            CatalogBuilder catalog;
            catalog.setOwner(owner).setName(name);
            for (int disc = 0; disc < 2; ++disc) {
                m_discs.push_back(catalog.beginDisc({ .serial = static_cast<std::uint32_t>(disc + 1),
                    .title = std::string(name) + " " + std::to_string(disc),
                    .scanTime = CatalogBuilder::dosDateTime(2004, 3 + disc, 1),
                    .used = 500,
                    .capacity = 1000 }));
                catalog.beginFolder("Folder");
                catalog.addFile("a.mp3", 4000, CatalogBuilder::dosDateTime(2001, 1, 1));
                catalog.addFile("b.JPG", 1000);
                catalog.endFolder();
                catalog.endDisc();
            }
            const std::string path = m_folder.file(std::string(name) + ".ktb");
            EXPECT_TRUE(catalog.writeTo(path));
            m_catalogs.addPath(QString::fromStdString(path));
        }
        m_window = std::make_unique<StatisticsWindow>(m_catalogs);
        for (FigureTableModel* model :
            { m_window->filesetTable, m_window->discTable, m_window->extensionTable, m_window->largestFileTable }) {
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::Fatal));
        }
    }

    /// Show Statistics, and the wait for the end of the walk.
    void showAndWait()
    {
        QSignalSpy ended(m_window.get(), &StatisticsWindow::walkEnded);
        m_window->showStatistics();
        ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    }

    TempFolder m_folder;
    CompanionCatalogs m_catalogs;
    std::vector<std::uint32_t> m_discs;
    std::unique_ptr<StatisticsWindow> m_window;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

TEST_F(StatisticsWindowTest, ShowsTheFiguresOfTheWalk)
{
    showAndWait();
    std::vector<WalkTarget> targets = m_window->scopePicker->targets();
    ASSERT_EQ(targets.size(), 2u);
    CatalogWalk walk(std::move(targets));
    const CollectionStatistics figures = collectStatistics(m_catalogs, walk);
    EXPECT_EQ(m_window->headingLabel->text(), QStringLiteral("Everything"));
    EXPECT_EQ(m_window->filesValue->text(), QLocale().toString(static_cast<qulonglong>(figures.files.files)));
    EXPECT_EQ(m_window->discsValue->text(), QStringLiteral("4"));
    EXPECT_EQ(m_window->ownersValue->text(), QStringLiteral("2"));
    EXPECT_EQ(m_window->discTable->rowCount(), 4);
    EXPECT_EQ(m_window->discTable->index(0, 4).data(FigureTableModel::ValueRole).toDouble(), 50.0);
    EXPECT_EQ(m_window->extensionTable->rowCount(), static_cast<int>(figures.extensions.size()));
    EXPECT_EQ(m_window->largestFileTable->index(0, 3).data().toString(), figures.largestFiles[0].folderPath);
    for (QChartView* view : { m_window->kindChartView, m_window->extensionChartView, m_window->sizeChartView,
             m_window->yearChartView, m_window->scanMonthChartView }) {
        EXPECT_FALSE(view->chart()->series().isEmpty()) << view->objectName().toStdString();
    }
}

TEST_F(StatisticsWindowTest, WalksTheScopePickedAndNothingWhenNothingIsPicked)
{
    ScopePicker& picker = *m_window->scopePicker;
    picker.checkOnly(picker.discItem(1, m_discs[3]));
    EXPECT_EQ(picker.scopeText(), QStringLiteral("1 disc"));
    showAndWait();
    EXPECT_EQ(m_window->discsValue->text(), QStringLiteral("1"));
    EXPECT_EQ(m_window->discTable->index(0, 1).data().toString(), QStringLiteral("Photos 1"));

    picker.checkOnly(picker.ownerItem(QStringLiteral("Anna")));
    EXPECT_EQ(picker.scopeText(), QStringLiteral("Owner Anna"));
    picker.checkAll(false);
    EXPECT_EQ(picker.scopeText(), QStringLiteral("Nothing"));
    showAndWait();
    EXPECT_TRUE(m_window->discsValue->text().isEmpty());

    // A walk replaced by one of nothing leaves no walk running and the window usable.
    picker.checkAll(true);
    m_window->showStatistics();
    picker.checkAll(false);
    showAndWait();
    QCoreApplication::processEvents(); // the replaced walk's end, when it was queued already
    EXPECT_FALSE(m_window->isWalking());
    EXPECT_TRUE(m_window->pages->isEnabled());
    EXPECT_TRUE(m_window->progressPanel->isHidden());
    EXPECT_TRUE(m_window->discsValue->text().isEmpty());
}

TEST_F(StatisticsWindowTest, CancelStopsTheWalkAndShowsNoFigures)
{
    QSignalSpy ended(m_window.get(), &StatisticsWindow::walkEnded);
    m_window->showStatistics();
    m_window->cancelWalk();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_FALSE(m_window->isWalking());
    EXPECT_TRUE(m_window->headingLabel->text().contains(QStringLiteral("cancelled")));
    EXPECT_TRUE(m_window->filesValue->text().isEmpty());
}

TEST_F(StatisticsWindowTest, SavesChartsAndTablesAndAsksBeforeReplacing)
{
    showAndWait();
    m_window->resize(900, 600);
    const QString png = QString::fromStdString(m_folder.file("kinds.png"));
    const QString svg = QString::fromStdString(m_folder.file("kinds.SVG"));
    ASSERT_TRUE(writeChartImage(m_window->kindChartView, png));
    ASSERT_TRUE(writeChartImage(m_window->kindChartView, svg));
    EXPECT_EQ(readFileBytes(png.toStdString()).substr(1, 3), "PNG");
    EXPECT_NE(readFileBytes(svg.toStdString()).find("<svg"), std::string::npos);

    ScriptedQuestions questions;
    const QString csv = QString::fromStdString(m_folder.file("discs"));
    questions.answerSaveFileName(csv);
    EXPECT_TRUE(saveTable(*m_window->discTable, QStringLiteral("Discs")));
    const std::string written = readFileBytes(csv.toStdString() + ".csv");
    EXPECT_EQ(
        written.substr(0, written.find("\r\n")), "Fileset,Title,Serial,Scanned,Fill,Used,Capacity,Folders,Files,Bytes");
    EXPECT_NE(written.find("Music,Music 0,00000001,2004-03-01 00:00:00,50.0,500,1000,1,2,5000\r\n"), std::string::npos);

    questions.answerSaveFileName(csv + QStringLiteral(".csv"));
    questions.answerMessage(NoButton);
    EXPECT_FALSE(saveTable(*m_window->kindTable, QStringLiteral("Kinds")));
    EXPECT_EQ(readFileBytes(csv.toStdString() + ".csv"), written);
}

} // namespace
