// Where an installed program, a build tree and a portable install keep their settings.
#include "platform/configfolder.h"
#include "tests/support/tempfolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(ConfigFolder, OnlyABuildTreeOrAPortableFolderKeepsTheSettingsBesideTheProgram)
{
    TempFolder temp;
    const std::string plain = temp.file("bin/");
    std::filesystem::create_directories(plain);
    EXPECT_FALSE(keepsConfigBeside(plain)) << "a writable folder alone is an installation (root can write /usr/bin)";

    ASSERT_TRUE(writeFileBytes(temp.file("bin/Settings.ini"), ""));
    EXPECT_TRUE(keepsConfigBeside(plain)) << "a portable install";

    const std::string tree = temp.file("build/tests/gui/");
    std::filesystem::create_directories(tree);
    ASSERT_TRUE(writeFileBytes(temp.file("build/CMakeCache.txt"), ""));
    EXPECT_TRUE(keepsConfigBeside(temp.file("build/"))) << "the build tree's programs";
    EXPECT_TRUE(keepsConfigBeside(tree)) << "the test programs below it";

    // The system's program folders never, whatever they hold and whoever runs the program.
    EXPECT_FALSE(keepsConfigBeside("/usr/bin/"));
    EXPECT_FALSE(keepsConfigBeside("/usr/local/bin"));
    EXPECT_FALSE(keepsConfigBeside(temp.file("missing/")));
}

} // namespace
