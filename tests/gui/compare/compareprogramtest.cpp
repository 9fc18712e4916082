// katalox-compare is the program Tools > Compare.. starts: built beside katalox on the companion base,
// it reads its command line before any window opens.
#include <gtest/gtest.h>

#include <QProcess>

namespace {

TEST(CompareProgram, IsTheCompanionThatDescribesItselfAndRefusesABadCommandLine)
{
    QProcess help;
    help.start(QStringLiteral(COMPARE_PROGRAM), { QStringLiteral("--help") });
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Usage: katalox-compare [-ktbdir FOLDER]"));

    QProcess bad;
    bad.start(QStringLiteral(COMPARE_PROGRAM), { QStringLiteral("-ktbdir") });
    ASSERT_TRUE(bad.waitForFinished(30000));
    EXPECT_EQ(bad.exitCode(), 2);
}

} // namespace
