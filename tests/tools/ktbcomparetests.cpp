// ktb compare, dupes and missing present the core's tasks for scripts: 0 when nothing differs or is
// missing, 1 when something is, 2 on an error.
#include "tests/tools/ktbrun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST_F(KtbTest, CompareOfADiscWithItsSourceFindsNothingUntilTheSourceChanges)
{
    const std::string source = m_folder.file("source/");
    std::filesystem::create_directories(source);
    ASSERT_TRUE(writeFileBytes(source + "a.txt", "aaa"));
    ASSERT_TRUE(writeFileBytes(source + "b.txt", "bbb"));
    const std::string catalog = m_folder.file("discs.ktb");
    ASSERT_EQ(ktb({ "record", catalog, source }).status, 0);

    ToolRun run = ktb({ "compare", catalog, "--disc", "256", source });
    EXPECT_EQ(run.status, 0) << run.err;

    ASSERT_TRUE(writeFileBytes(source + "b.txt", "longer"));
    std::filesystem::rename(source + "a.txt", source + "A.TXT"); // the same name for the search
    run = ktb({ "compare", catalog, "--disc", "256", source });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("~\tb.txt\t3 "), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("a.txt"), std::string::npos) << run.out;

    run = ktb({ "compare", "--csv", source, catalog, "--disc=256" });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out.rfind("Difference,Kind,Path,", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("changed,file,b.txt,6,"), std::string::npos) << run.out;
}

TEST_F(KtbTest, DupesAndMissingExitOneWhenSomethingIsStoredTwiceOrMissing)
{
    CatalogBuilder first;
    first.beginDisc({ .serial = 1, .title = "One" });
    first.addFile("song.mp3", 500);
    first.addFile("photo.jpg", 700);
    first.endDisc();
    CatalogBuilder second;
    second.beginDisc({ .serial = 2, .title = "Two" });
    second.addFile("SONG.MP3", 500);
    second.endDisc();
    const std::string a = write(first, "a.ktb");
    const std::string b = write(second, "b.ktb");

    ToolRun run = ktb({ "dupes", a, b });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("500\t2 copies\t500 bytes wasted"), std::string::npos) << run.out;
    EXPECT_EQ(ktb({ "dupes", "--min-size", "501", a, b }).status, 0);

    const std::string local = m_folder.file("local/");
    std::filesystem::create_directories(local);
    ASSERT_TRUE(writeFileBytes(local + "song.mp3", std::string(500, 's')));
    run = ktb({ "missing", local, b });
    EXPECT_EQ(run.status, 0) << run.err << run.out;
    ASSERT_TRUE(writeFileBytes(local + "new.txt", "new"));
    run = ktb({ "missing", local, a, b });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("missing\t3\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 of 2 files are on no disc (3 bytes)"), std::string::npos) << run.out;
}

TEST_F(KtbTest, CompareDupesAndMissingExitTwoOnAnError)
{
    CatalogBuilder catalog;
    catalog.addEmptyDisc({ .serial = 1, .title = "One" });
    const std::string path = write(catalog);
    const std::vector<std::vector<std::string>> commands = {
        { "compare", path },
        { "compare", path, "--disc", "999", m_folder.path() },
        { "compare", m_folder.path(), "--disc", "256", path },
        { "compare", path, m_folder.file("nowhere") },
        { "dupes", m_folder.file("nowhere.ktb") },
        { "missing", m_folder.file("nowhere"), path },
        { "missing", m_folder.path() },
    };
    for (const std::vector<std::string>& arguments : commands) {
        const ToolRun run = ktb(arguments);
        EXPECT_EQ(run.status, 2) << arguments[0] << " " << arguments[1] << ": " << run.out;
        EXPECT_FALSE(run.err.empty()) << arguments[0] << " " << arguments[1];
    }
}

} // namespace
