// Shell helpers: the launcher of companion programs.
#include "core/settings/shell.h"

#include "core/settings/settings.h"
#include "tests/support/tempfolder.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

QString qPath(const std::string& path) { return QString::fromStdString(path); }

// runProgram: a script records its working folder and its arguments, one per line.
class RunProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeFileBytes(m_script,
            "#!/bin/sh\n{ pwd; for argument in \"$@\"; do echo \"[$argument]\"; done; } > '" + m_output + ".part'\nmv '"
                + m_output + ".part' '" + m_output + "'\n"));
        ASSERT_EQ(::chmod(m_script.c_str(), 0755), 0);
    }

    // What the script wrote, once it has finished (empty after ten seconds).
    std::string waitForOutput() const
    {
        const QDeadlineTimer deadline(10000);
        while (!pathExists(m_output) && !deadline.hasExpired()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return readFileBytes(m_output);
    }

    TempFolder m_folder;
    std::string m_script = m_folder.file("Companion Tool");
    std::string m_output = m_folder.file("output");
};

TEST_F(RunProgramTest, EmptyFolderRunsInExecutablesFolderAndFolderWithBlanksStaysOneArgument)
{
    ASSERT_TRUE(
        runProgram(qPath(m_script), QString(), { QStringLiteral("-ktbdir"), QStringLiteral("/my discs/A B/") }));
    const QString folder = programFolder();
    EXPECT_EQ(waitForOutput(), folder.chopped(1).toStdString() + "\n[-ktbdir]\n[/my discs/A B/]\n");
}

TEST_F(RunProgramTest, GivenFolderIsTheWorkingFolder)
{
    ASSERT_TRUE(runProgram(qPath(m_script), qPath(m_folder.path()), {}));
    EXPECT_EQ(waitForOutput(), m_folder.path().substr(0, m_folder.path().size() - 1) + "\n");
}

TEST_F(RunProgramTest, MissingProgramFailsSilently)
{
    EXPECT_FALSE(runProgram(qPath(m_folder.file("VAVuvedo.exe")), QString(), { QStringLiteral("-ktbdir") }));
    EXPECT_FALSE(runProgram(QString(), QString(), {}));
}

TEST(CompanionProgram, FindsTheToolWithOrWithoutExe)
{
    // The test executable stands in for a tool in the program folder.
    EXPECT_EQ(companionProgram(QStringLiteral("core_tests.exe")), programFolder() + QStringLiteral("core_tests"));
    EXPECT_EQ(companionProgram(QStringLiteral("core_tests")), programFolder() + QStringLiteral("core_tests"));
    EXPECT_EQ(companionProgram(QStringLiteral("KTBList.exe")), programFolder() + QStringLiteral("KTBList.exe"));
}

} // namespace
