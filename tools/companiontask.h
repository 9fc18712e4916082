#pragma once
// What the commands over the companions' tasks share (compare, dupes, missing, fit, single): texts for
// the terminal, the catalogs of the operands, CSV on standard output, and a task's walk with progress
// and Ctrl-C.

#include "tools/ktbtool.h"

#include "core/companion/catalogwalk.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class CompanionCatalogs;

namespace ktbtool {

/// A text of the program for the terminal (displayText of its UTF-8).
std::string terminalText(const QString& text);
/// A path given on the command line as the program names files.
QString pathText(const std::string& path);
/// Writes the text's UTF-8 on standard output.
void printCsv(const QString& text);
/// Reports the catalogs that could not be loaded; answers whether there were any.
bool reportProblems(const char* command, const CompanionCatalogs& catalogs);
/// The catalogs of the operands (files, or folders of catalogs); what cannot be loaded is reported and
/// makes failed true.
void loadOperands(
    const char* command, CompanionCatalogs& catalogs, const std::vector<std::string>& operands, bool& failed);
/// Reports faults; answers whether there were any.
bool reportFaults(const char* command, const QStringList& faults);
/// Splits off "--csv"; answers whether it was given.
bool takeSwitch(std::vector<std::string>& arguments, const std::string& name);

/// Runs a task over a walk with progress on a terminal; Ctrl-C stops the walk.
class TaskRun {
public:
    TaskRun(const char* command, CatalogWalk& walk)
        : m_command(command)
    {
        walk.onProgress = [this, &walk](std::uint64_t done, std::uint64_t total) {
            if (InterruptGuard::requested()) {
                walk.requestStop();
            }
            // A task that walks twice reports a larger total for its second walk.
            if (m_progress == nullptr || total != m_total) {
                m_progress = std::make_unique<Progress>(m_command, "walking the catalogs", total, 0);
                m_total = total;
            }
            m_progress->update(done);
        };
    }
    /// Ends the progress line; after Ctrl-C, ends the process by its signal.
    bool interrupted()
    {
        m_progress.reset();
        return InterruptGuard::requested();
    }
    int endBySignal() { return m_interrupt.endBySignal(); }

private:
    const char* m_command;
    InterruptGuard m_interrupt;
    std::unique_ptr<Progress> m_progress;
    std::uint64_t m_total = 0;
};

} // namespace ktbtool
