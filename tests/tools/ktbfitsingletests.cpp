// ktb fit and ktb single present the core's tasks for scripts: 0 when a medium has room (every entry fits)
// or nothing is on one medium only, 1 otherwise, 2 on an error.
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST_F(KtbTest, FitListsTheMediaWithRoomSmallestFirstAndPlansANewSet)
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Drives");
    catalog.addEmptyDisc({ .serial = 1, .title = "Big", .used = 1000, .capacity = 9000 });
    catalog.addEmptyDisc({ .serial = 2, .title = "Small", .used = 1000, .capacity = 3500 });
    catalog.addEmptyDisc({ .serial = 3, .title = "Full", .used = 5000, .capacity = 5000 });
    const std::string path = write(catalog, "drives.ktb");

    ToolRun run = ktb({ "fit", "2K", path });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("2500\t3500\t-\tAnna\\Drives\\Small\\\n"), 0u) << run.out;
    EXPECT_NE(run.out.find("\n8000\t9000\t-\tAnna\\Drives\\Big\\\n2 of 3 media have room for 2048 bytes\n"),
        std::string::npos)
        << run.out;

    const std::string folder = m_folder.file("new/");
    std::filesystem::create_directories(folder + "Album");
    ASSERT_TRUE(writeFileBytes(folder + "Album/track.flac", std::string(3000, 't')));
    ASSERT_TRUE(writeFileBytes(folder + "notes.txt", std::string(200, 'n')));
    run = ktb({ "fit", folder, path });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("1 of 3 media have room for " + folder + " (3200 bytes in 2 files)"), std::string::npos)
        << run.out;
    EXPECT_EQ(ktb({ "fit", "9K", path }).status, 1);

    run = ktb({ "fit", "--new", "3100", folder });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
        "medium 1\t3000 of 3100 bytes\t1 entries\n"
        "\t3000\tAlbum/\n"
        "medium 2\t200 of 3100 bytes\t1 entries\n"
        "\t200\tnotes.txt\n"
        "2 entries, 3200 bytes, on 2 new media of 3100 bytes; 0 larger than a medium\n");
    run = ktb({ "fit", "--new", "1000", folder });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("too large\t3000\tAlbum/\n"), std::string::npos) << run.out;
}

TEST_F(KtbTest, SingleListsTheFilesOnOneMediumOnlyByMedium)
{
    CatalogBuilder first;
    first.setOwner("Anna").setName("Sticks");
    first.beginDisc({ .serial = 1, .title = "Red" });
    first.addFile("song.mp3", 500, CatalogBuilder::dosDateTime(2020, 1, 2, 3, 4, 6));
    first.addFile("photo.jpg", 700);
    first.endDisc();
    first.beginDisc({ .serial = 2, .title = "Blue" });
    first.addFile("SONG.MP3", 500);
    first.endDisc();
    const std::string path = write(first, "sticks.ktb");

    ToolRun run = ktb({ "single", path });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out,
        "Anna\\Sticks\\Red\\\t1 files\t700 bytes at risk\tscanned -\tserial 00000001\n"
        "\t700\t-\tphoto.jpg\n"
        "1 files on one medium only, 700 bytes at risk, on 1 media; 3 files walked\n");
    run = ktb({ "single", "--csv", "--min-size", "600", path });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out,
        "Medium,Serial,Scanned,Folder,Name,Size,Date\r\n"
        "Anna\\Sticks\\Red\\,00000001,,Anna\\Sticks\\Red\\,photo.jpg,700,\r\n");
    EXPECT_EQ(ktb({ "single", "--min-size", "701", path }).status, 0);

    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>> { { "single" },
             { "single", m_folder.file("nowhere.ktb") }, { "single", "--min-size", "lots", path }, { "fit", "2K" },
             { "fit", "lots", path }, { "fit", "--new", "1M" }, { "fit", "--new", "x", m_folder.path() } }) {
        const ToolRun failed = ktb(arguments);
        EXPECT_EQ(failed.status, 2) << arguments.back();
        EXPECT_FALSE(failed.err.empty()) << arguments.back();
    }
}

} // namespace
