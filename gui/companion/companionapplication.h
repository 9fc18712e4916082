#pragma once
// The start of a companion program (statistics, export, compare): its command line, its catalogs and
// its one window.
//
//     int main(int argc, char* argv[])
//     {
//         return runCompanion(argc, argv, { "katalox-statistics", "Katalox Statistics", "Shows ..." },
//             [](CompanionCatalogs& catalogs) { return std::make_unique<StatisticsWindow>(catalogs); });
//     }

#include <QString>
#include <functional>
#include <memory>

class CompanionCatalogs;
class QWidget;

/// What a companion program says of itself.
struct CompanionDescription {
    const char* program; ///< its file name: "katalox-statistics"
    const char* caption; ///< its window title and message boxes' caption: "Katalox Statistics"
    const char* purpose; ///< one line for its usage text
};

/// Makes the program's window over the catalogs loaded; the window starts its work once shown.
using CompanionWindowMaker = std::function<std::unique_ptr<QWidget>(CompanionCatalogs& catalogs)>;

/// Runs a companion program: raises the open-files limit, reads the command line (--help prints the
/// usage and answers 0; a bad command line prints what is wrong and the usage and answers 2), loads
/// the catalogs read-only, shows the window makeWindow makes, names the catalogs that could not be
/// loaded in a message box, and runs the event loop. An exception that leaves a handler is shown and
/// the program goes on.
int runCompanion(
    int argc, char** argv, const CompanionDescription& description, const CompanionWindowMaker& makeWindow);

/// The message that names the catalogs that could not be loaded; empty when all were.
QString catalogProblemsText(const CompanionCatalogs& catalogs);
