// ktb stats presents the figures of the statistics window: as JSON, as tables, and with a damaged
// catalog as far as it could be read, the damage reported.
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

/// Two discs: Music/a.mp3 (4000 bytes, 2003) and b.MP3 at the top; and an empty disc.
CatalogBuilder music()
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Music");
    catalog.beginDisc({ .serial = 0xAB,
        .title = "CD 1",
        .scanTime = CatalogBuilder::dosDateTime(2004, 5, 6),
        .used = 350,
        .capacity = 700 });
    catalog.beginFolder("Music");
    catalog.addFile("a.mp3", 4000, CatalogBuilder::dosDateTime(2003, 1, 2));
    catalog.endFolder();
    catalog.addFile("b.MP3", 10);
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 0xCD, .title = "CD 2" });
    return catalog;
}

QJsonObject parse(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

TEST_F(KtbTest, StatsAsJsonHoldsTheFiguresOfTheWindow)
{
    const std::string path = write(music());
    const ToolRun run = ktb({ "stats", "--json", path });
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonObject figures = parse(run.out);
    const QJsonObject totals = figures.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("discs")).toInt(), 2);
    EXPECT_EQ(totals.value(QStringLiteral("folders")).toInt(), 1);
    EXPECT_EQ(totals.value(QStringLiteral("files")).toInt(), 2);
    EXPECT_EQ(totals.value(QStringLiteral("bytes")).toInt(), 4010);
    const QJsonObject extension = figures.value(QStringLiteral("extensions")).toArray().at(0).toObject();
    EXPECT_EQ(extension.value(QStringLiteral("extension")).toString(), QStringLiteral("mp3"));
    EXPECT_EQ(extension.value(QStringLiteral("kind")).toString(), QStringLiteral("Audio"));
    EXPECT_EQ(extension.value(QStringLiteral("files")).toInt(), 2);
    const QJsonObject largest = figures.value(QStringLiteral("largestFiles")).toArray().at(0).toObject();
    EXPECT_EQ(largest.value(QStringLiteral("path")).toString(), QStringLiteral("Anna\\Music\\CD 1\\Music\\"));
    EXPECT_EQ(largest.value(QStringLiteral("name")).toString(), QStringLiteral("a.mp3"));
    EXPECT_EQ(largest.value(QStringLiteral("modified")).toString(), QStringLiteral("2003-01-02 00:00:00"));
    const QJsonArray discs = figures.value(QStringLiteral("discs")).toArray();
    ASSERT_EQ(discs.size(), 2);
    EXPECT_EQ(discs.at(0).toObject().value(QStringLiteral("fillPercent")).toDouble(), 50.0);
    EXPECT_TRUE(discs.at(1).toObject().value(QStringLiteral("fillPercent")).isNull());

    const ToolRun years = ktb({ "stats", "--by", "year", "--json", path });
    EXPECT_EQ(parse(years.out).keys(), (QStringList { QStringLiteral("totals"), QStringLiteral("years") }));
}

TEST_F(KtbTest, StatsPrintsTheTotalsAndOneTable)
{
    const std::string path = write(music());
    const ToolRun run = ktb({ "stats", "--by", "disc", m_folder.path() });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "Owners:    1\nFilesets:  1\nDiscs:     2\nFolders:   1\nFiles:     2\nBytes:     4010\n\n"
        "Fileset\tOffset\tTitle\tSerial\tScanned\tUsed\tCapacity\tFill\tFolders\tFiles\tBytes\n"
        "Music\t256\tCD 1\t000000AB\t2004-05-06 00:00:00\t350\t700\t50.0%\t1\t2\t4010\n"
        "Music\t"
            + std::to_string(music().size() - 166) + "\tCD 2\t000000CD\t-\t0\t0\t-\t0\t0\t0\n");
}

TEST_F(KtbTest, StatsOfADamagedCatalogShowWhatWasReadAndFail)
{
    CatalogBuilder damaged = music();
    damaged.rawByte(9);
    const std::string path = write(damaged);
    const ToolRun run = ktb({ "stats", path, m_folder.file("none.ktb") });
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("Files:     2\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("none.ktb: no such file or folder"), std::string::npos) << run.err;
    EXPECT_NE(
        run.err.find(path + ": damaged record at offset " + std::to_string(damaged.size() - 1)), std::string::npos)
        << run.err;
}

} // namespace
