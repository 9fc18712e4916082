// ktb export and ktb import present the shared export and import: an export read back by an import
// gives the same discs, one disc or one folder of it can be chosen, a refused disc and a bad command
// line are errors, and an export that cannot be written names the file and leaves nothing behind.
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

CatalogBuilder music()
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Music");
    catalog.beginDisc({ .serial = 0xAB, .title = "CD 1", .scanTime = CatalogBuilder::dosDateTime(2004, 5, 6) });
    catalog.beginFolder("Music");
    catalog.beginFolder("Rock");
    catalog.addFile("a.mp3", 4000, CatalogBuilder::dosDateTime(2003, 1, 2));
    catalog.endFolder();
    catalog.endFolder();
    catalog.addFile("b \xE9.MP3", 10);
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 0xCD, .title = "CD 2" });
    return catalog;
}

TEST_F(KtbTest, ExportThenImportGivesTheSameDiscs)
{
    const CatalogBuilder original = music();
    const std::string path = write(original);
    const std::string json = m_folder.file("music.json");
    const ToolRun exported = ktb({ "export", "--format", "json", "--output", json, path });
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, "Exported 2 folders and 2 files to " + json + ".\n");

    const std::string copy = m_folder.file("copy.ktb");
    const ToolRun imported = ktb({ "import", json, copy });
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(
        imported.out.find("Imported \"CD 1\" (serial 0000-00AB) into " + copy + " at offset 256"), std::string::npos)
        << imported.out;
    EXPECT_EQ(readFileBytes(copy).substr(256), original.bytes().substr(256));
    EXPECT_TRUE(leftInTemporaryFolder().empty());

    const ToolRun again = ktb({ "import", "--disc", "2", json, copy });
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("\"CD 2\" (serial 0000-00CD): the fileset holds this disc already"), std::string::npos)
        << again.err;
}

TEST_F(KtbTest, ExportOfOneDiscOrOneFolderAndBadCommandLines)
{
    const std::string path = write(music());
    const ToolRun folder = ktb({ "export", "--format", "csv", "--disc", "256", "--folder", "/Music/Rock", path });
    ASSERT_EQ(folder.status, 0) << folder.err;
    EXPECT_EQ(folder.out,
        "Owner,Fileset,Disc,Serial,Path,Name,Entry,Type,Size,Modified\r\n"
        "Anna,Music,CD 1,0000-00AB,/Music,Rock,folder,,,\r\n"
        "Anna,Music,CD 1,0000-00AB,/Music/Rock,a.mp3,file,Audio,4000,2003-01-02T00:00:00\r\n");
    EXPECT_EQ(ktb({ "export", "--format", "csv", "--disc", "256", "--folder", "/Rock", path }).status, 2);
    const ToolRun shallow = ktb({ "export", "--format", "text", "--depth", "1", "--folders-only", path });
    ASSERT_EQ(shallow.status, 0) << shallow.err;
    EXPECT_EQ(shallow.out, "Anna: Music\nCD 1 [0000-00AB]\n\u2514\u2500\u2500 Music\nCD 2 [0000-00CD]\n");
    EXPECT_EQ(ktb({ "export", "--format", "csv", "--bom", path }).out.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(ktb({ "export", "--format", "csv", "--depth", "0", path }).status, 2);
    EXPECT_EQ(ktb({ "export", "--format", "xml", path }).status, 2);
    EXPECT_EQ(ktb({ "export", path }).status, 2);
    EXPECT_EQ(ktb({ "export", "--format", "csv", "--disc", "300", path }).status, 2);

    const ToolRun missing = ktb({ "export", "--format", "text", "--output", m_folder.file("no/such/list.txt"), path });
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find(m_folder.file("no/such") + ": No such file or directory"), std::string::npos)
        << missing.err;
}

TEST_F(KtbTest, ImportOfAListMakesADiscWithTheTitleAndSerialGiven)
{
    const std::string list = m_folder.file("tapes.txt");
    ASSERT_TRUE(writeFileBytes(list, "5\tA/b.wav\n"));
    const std::string target = m_folder.file("t.ktb");
    const ToolRun run = ktb({ "import", "--title", "Tape 1", "--serial", "0000-0001", list, target });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Imported \"Tape 1\" (serial 0000-0001)"), std::string::npos) << run.out;
    EXPECT_EQ(ktb({ "import", "--serial", "0000-0001", list, target }).status, 2);
    // A failed import into a new file leaves no file.
    EXPECT_EQ(ktb({ "import", m_folder.file("none.txt"), m_folder.file("new.ktb") }).status, 2);
    EXPECT_FALSE(std::filesystem::exists(m_folder.file("new.ktb")));
}

} // namespace
