// Folders standing in for discs: the listing gives names, sizes and times as the file system does, never
// follows a symbolic link, reports a folder it cannot open as "cannot be listed", and keeps no folder open
// while the walk goes deeper.

#include "platform/drivelayer.h"
#include "platform/medium.h"
#include "tests/platform/drivewalk.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class FolderDriveTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writeDiscTree(top(), standardDiscTree())); }

    std::string top() const { return m_temp.file("disc"); }

    TempFolder m_temp;
};

TEST_F(FolderDriveTest, ListsTheTreeAsTheFileSystemHoldsIt)
{
    const auto drive = openPathDrive(top());
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries, listingOfTree(standardDiscTree()));
    EXPECT_EQ(walk.HiddenCount, 1U) << ".hidden";
}

TEST_F(FolderDriveTest, SymbolicLinksAreFilesWithTheirOwnSizeAndAreNeverFollowed)
{
    ASSERT_EQ(::symlink("..", (top() + "/Music/Rock/up").c_str()), 0); // a loop if followed
    ASSERT_EQ(::symlink("a.txt", (top() + "/Music/alias").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere/at/all", (top() + "/dangling").c_str()), 0);
    const WalkResult walk = walkDrive(*openPathDrive(top()));
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries.size(), standardDiscTree().size() + 3);
    for (const auto& [path, size] :
        { std::pair<std::string, std::uint64_t> { "Music/Rock/up", 2 }, { "Music/alias", 5 }, { "dangling", 15 } }) {
        const auto found = std::find_if(
            walk.Entries.begin(), walk.Entries.end(), [&](const ListedEntry& entry) { return entry.Path == path; });
        ASSERT_NE(found, walk.Entries.end()) << path;
        EXPECT_FALSE(found->Folder) << path;
        EXPECT_EQ(found->Size, size) << path;
    }
}

TEST_F(FolderDriveTest, AFolderGoneOrReplacedByALinkAfterItsParentWasListedCannotBeListed)
{
    const auto drive = openPathDrive(top());
    std::unique_ptr<DriveFolderListing> listing = drive->openFolder("");
    ASSERT_NE(listing, nullptr);
    TKTBDirEntry docs {};
    TKTBDirEntry music {};
    TKTBDirEntry entry {};
    while (listing->next(entry)) {
        if (std::string(entry.Name) == "Docs") {
            docs = entry;
        } else if (std::string(entry.Name) == "Music") {
            music = entry;
        }
    }
    ASSERT_STREQ(docs.Name, "Docs");
    ASSERT_STREQ(music.Name, "Music");
    std::filesystem::remove_all(top() + "/Music");
    std::filesystem::remove_all(top() + "/Docs");
    ASSERT_EQ(::symlink(top().c_str(), (top() + "/Docs").c_str()), 0);
    EXPECT_EQ(listing->openSubfolder(music), nullptr);
    EXPECT_EQ(listing->openSubfolder(docs), nullptr) << "the link is not followed";
}

TEST_F(FolderDriveTest, AnUnreadableFolderCannotBeListed)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    ASSERT_EQ(::chmod((top() + "/Music").c_str(), 0), 0);
    const WalkResult walk = walkDrive(*openPathDrive(top()));
    ::chmod((top() + "/Music").c_str(), 0755);
    EXPECT_FALSE(walk.Complete);
}

TEST_F(FolderDriveTest, ADeepTreeIsWalkedWithFewFileDescriptors)
{
    std::string path = top() + "/Docs";
    for (int level = 0; level < 200; ++level) {
        path += "/n";
    }
    std::filesystem::create_directories(path);
    rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    rlimit tight = old;
    tight.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const WalkResult walk = walkDrive(*openPathDrive(top()));
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(walk.Complete);
    EXPECT_EQ(walk.Entries.size(), standardDiscTree().size() + 200);
}

TEST_F(FolderDriveTest, FactsNameTheFolderAndGiveAStableSerialOfItsPath)
{
    const auto drive = openPathDrive(top());
    VolumeFacts facts;
    ASSERT_TRUE(drive->volumeFacts(facts));
    EXPECT_EQ(facts.Label, "disc");
    EXPECT_NE(facts.NtSerial, 0U);
    EXPECT_EQ(facts.TotalBytes, 0) << "the recording counts the bytes it walks";

    // The same folder reached through a link or with a trailing slash is the same disc.
    ASSERT_EQ(::symlink(top().c_str(), m_temp.file("link").c_str()), 0);
    for (const std::string& other : { m_temp.file("link"), top() + "/", top() + "/./" }) {
        VolumeFacts again;
        ASSERT_TRUE(openPathDrive(other)->volumeFacts(again));
        EXPECT_EQ(again.NtSerial, facts.NtSerial) << other;
    }
    VolumeFacts music;
    ASSERT_TRUE(openPathDrive(top() + "/Music")->volumeFacts(music));
    EXPECT_NE(music.NtSerial, facts.NtSerial);
    EXPECT_EQ(music.Label, "Music");
}

TEST_F(FolderDriveTest, TheMediumIsPresentWhileTheFolderExists)
{
    const std::string later = m_temp.file("later");
    const auto drive = openPathDrive(later);
    VolumeFacts facts;
    EXPECT_FALSE(drive->mediumPresent());
    EXPECT_FALSE(drive->volumeFacts(facts));
    EXPECT_EQ(drive->openFolder(""), nullptr);
    std::filesystem::create_directory(later);
    EXPECT_TRUE(drive->mediumPresent());
    EXPECT_TRUE(drive->volumeFacts(facts));
    bool audio = true;
    EXPECT_TRUE(drive->isAudio(audio));
    EXPECT_FALSE(audio);
    const WalkResult walk = walkDrive(*drive);
    EXPECT_TRUE(walk.Complete);
    EXPECT_TRUE(walk.Entries.empty());
}

TEST_F(FolderDriveTest, ARelativePathCannotClimbOutOfTheFolder)
{
    const auto drive = openPathDrive(top() + "/Music");
    EXPECT_EQ(drive->openFolder(".."), nullptr);
    EXPECT_EQ(drive->openFolder("Rock/../.."), nullptr);
    EXPECT_NE(drive->openFolder("Rock"), nullptr);
}

} // namespace
