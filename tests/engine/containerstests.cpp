// The small containers and the listing of catalog files in a folder.
#include "engine/Containers.h"
#include "engine/DirTravel.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

TEST(IntegerListTest, AddAnswersTheIndexAndGetIsRangeChecked)
{
    TIntegerList list;
    EXPECT_EQ(list.Add(-5), 0);
    EXPECT_EQ(list.Add(2147483647), 1);
    EXPECT_EQ(list.Add(7), 2);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0), -5);
    EXPECT_EQ(list.Get(1), 2147483647);
    EXPECT_THROW(list.Get(3), std::out_of_range);
    EXPECT_THROW(list.Get(-1), std::out_of_range);
    list.Clear();
    EXPECT_THROW(list.Get(0), std::out_of_range);
}

TEST(ArrayStackTest, HoldsACopyOfTheChain)
{
    std::uint32_t chain[64] = { 256, 900, 1400 };
    TArrayStack stack;
    EXPECT_EQ(stack.Get(-1), 0u) << "an empty stack answers 0";
    EXPECT_EQ(stack.Get(0), 0u);
    stack.Assign(chain, 3);
    chain[2] = 5; // the cursor moves on; the copy stays
    EXPECT_EQ(stack.Count(), 3);
    EXPECT_EQ(stack.Get(-1), 1400u);
    EXPECT_EQ(stack.Get(-7), 1400u);
    EXPECT_EQ(stack.Get(0), 256u);
    EXPECT_EQ(stack.Get(1), 900u);
    EXPECT_EQ(stack.Get(3), 0u);
    stack.Assign(chain, 1);
    EXPECT_EQ(stack.Values(), std::vector<std::uint32_t>({ 256 }));
    stack.Assign(nullptr, 5);
    EXPECT_EQ(stack.Count(), 0);
    stack.Assign(chain, 2);
    stack.Clear();
    EXPECT_EQ(stack.Count(), 0);
    EXPECT_EQ(stack.Get(-1), 0u);

    // Deep chains are held outside the object, short ones inside; the stack goes from one to the other.
    std::vector<std::uint32_t> deep(64);
    for (std::uint32_t i = 0; i < 64; ++i) {
        deep[i] = 256 + i;
    }
    for (const int count : { 64, 9, 8, 3, 20 }) {
        stack.Assign(deep.data(), count);
        EXPECT_EQ(stack.Values(), std::vector<std::uint32_t>(deep.begin(), deep.begin() + count));
        EXPECT_EQ(stack.Get(-1), deep[static_cast<std::size_t>(count - 1)]);
    }
}

class ListFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : { "A.ktb", "B.KTB", "c.Ktb", "d.ktb.bak", "ktb", "e.txt", ".ktb" }) {
            ASSERT_TRUE(writeFileBytes(m_folder.file(name), "x"));
        }
        std::filesystem::create_directory(m_folder.file("sub.ktb"));
        std::filesystem::create_directory_symlink(m_folder.file("sub.ktb"), m_folder.file("link.ktb"));
        std::filesystem::create_symlink(m_folder.file("A.ktb"), m_folder.file("alias.ktb"));
    }

    static std::vector<std::string> sorted(std::vector<std::string> list)
    {
        std::sort(list.begin(), list.end());
        return list;
    }

    TempFolder m_folder;
};

TEST_F(ListFilesTest, ListsMatchingFilesInAnyCaseButNoFolders)
{
    std::string folder = m_folder.path();
    folder.pop_back(); // no trailing "/": one is added
    std::vector<std::string> list = { "kept" };
    ktbListFiles(folder, "*.ktb", list, true);
    EXPECT_EQ(sorted(list),
        sorted({ "kept", folder + "/.ktb", folder + "/A.ktb", folder + "/B.KTB", folder + "/alias.ktb",
            folder + "/c.Ktb" }));

    list.clear();
    ktbListFiles(m_folder.path(), "*.KTB", list, false);
    EXPECT_EQ(sorted(list), sorted({ ".ktb", "A.ktb", "B.KTB", "alias.ktb", "c.Ktb" }));

    list.clear();
    ktbListFiles(m_folder.path(), "?.ktb", list, false);
    EXPECT_EQ(sorted(list), sorted({ "A.ktb", "B.KTB", "c.Ktb" }));

    list.clear();
    ktbListFiles(m_folder.file("missing"), "*.ktb", list, true);
    EXPECT_TRUE(list.empty());
}

TEST_F(ListFilesTest, EmptyFolderMeansTheCurrentFolder)
{
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(m_folder.path());
    std::vector<std::string> list;
    ktbListFiles("", "*.txt", list, true);
    std::filesystem::current_path(previous);
    EXPECT_EQ(list, std::vector<std::string>({ "e.txt" }));
}

TEST(MaskTest, WildcardsIgnoreLetterCase)
{
    EXPECT_TRUE(ktbMaskMatches("*.*", "noextension"));
    EXPECT_TRUE(ktbMaskMatches("*.ktb", "X.KtB"));
    EXPECT_FALSE(ktbMaskMatches("*.ktb", "X.ktb2"));
    EXPECT_TRUE(ktbMaskMatches("a?c*", "ABCdef"));
    EXPECT_FALSE(ktbMaskMatches("a?c", "ac"));
    EXPECT_TRUE(ktbMaskMatches("*a*b*", "xxAyyBzz"));
}
