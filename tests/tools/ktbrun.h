#pragma once
// Running the ktb program as a user does: its standard output and error collected, its exit status,
// its own temporary folder, and a run with its error output on a terminal whose output the test can
// hold (as Ctrl-S does) to interrupt the program at a known point.

#include "tests/support/catalogbuilder.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/types.h>
#include <vector>

struct ToolRun {
    int status = -1; ///< the exit status, or 128 + the signal that ended the program
    std::string out;
    std::string err;
};

class KtbTest : public testing::Test {
protected:
    KtbTest();

    /// Runs ktb with the arguments, its temporary folder being temporaryFolder(), and environment
    /// ("NAME=value") added to the test's.
    ToolRun ktb(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});
    /// The program's temporary folder (TMPDIR), empty at the start of the test.
    std::string temporaryFolder() const { return m_folder.file("tmp"); }
    /// The names in the program's temporary folder.
    std::vector<std::string> leftInTemporaryFolder() const;
    /// Writes the catalog into the test's folder and answers its path.
    std::string write(const CatalogBuilder& catalog, const std::string& name = "c.ktb");

    TempFolder m_folder;
};

/// A ktb run whose standard error is a terminal (a pseudo-terminal the test reads), standard output
/// going to a file.
class TerminalRun {
public:
    TerminalRun(const std::vector<std::string>& arguments, const std::string& temporaryFolder,
        const std::string& outPath, bool holdOutput);
    ~TerminalRun();
    TerminalRun(const TerminalRun&) = delete;
    TerminalRun& operator=(const TerminalRun&) = delete;

    bool started() const { return m_child > 0; }
    /// Lets output held since the start go on.
    void releaseOutput();
    void signal(int number);
    /// Waits for the end of the program (at most a minute) and answers its status as ToolRun does.
    int wait();
    /// What the program wrote to the terminal.
    const std::string& terminalOutput() const { return m_terminal; }

private:
    void drain();

    int m_master = -1;
    int m_slave = -1;
    pid_t m_child = -1;
    std::string m_terminal;
};
