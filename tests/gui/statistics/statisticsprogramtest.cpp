// katalox-statistics as Tools > Statistics.. or a user starts it: its command line is read before any
// window opens, and a command line it cannot follow fails with status 2 and says why.
#include <gtest/gtest.h>

#include <QProcess>

namespace {

struct ProgramRun {
    int status = -1;
    QString output;
    QString errors;
};

ProgramRun runProgram(const QStringList& arguments)
{
    QProcess program;
    program.start(QStringLiteral(STATISTICS_PROGRAM), arguments);
    ProgramRun run;
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        return run;
    }
    run.status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.output = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.errors = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

TEST(StatisticsProgram, HelpAndABadCommandLineEndBeforeAnyWindow)
{
    const ProgramRun help = runProgram({ QStringLiteral("--help") });
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.startsWith(QStringLiteral("Usage: katalox-statistics [-ktbdir FOLDER]")))
        << help.output.toStdString();

    const ProgramRun missingFolder = runProgram({ QStringLiteral("-ktbdir") });
    EXPECT_EQ(missingFolder.status, 2);
    EXPECT_TRUE(missingFolder.errors.contains(QStringLiteral("katalox-statistics: -ktbdir needs a folder\n")))
        << missingFolder.errors.toStdString();

    const ProgramRun unknown = runProgram({ QStringLiteral("--bytes"), QStringLiteral("Music.ktb") });
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.errors.contains(QStringLiteral("unknown option '--bytes'"))) << unknown.errors.toStdString();
    EXPECT_TRUE(unknown.output.isEmpty());
}

} // namespace
