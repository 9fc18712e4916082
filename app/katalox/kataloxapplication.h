#pragma once
// The program's entry: the application object with its general error display.

#include "gui/common/guardedapplication.h"

#include <string>

/// The application object. An exception that leaves an event handler is shown in a message box and
/// the program goes on.
class KataloxApplication : public GuardedApplication {
    Q_OBJECT
public:
    KataloxApplication(int& argc, char** argv);
};

/// The command line: `katalox [--version|--help] [FILE]`.
struct StartArguments {
    bool version = false;
    bool help = false;
    std::string file; ///< as given, relative to the current folder
    std::string error; ///< what is wrong with the command line; empty when nothing is
};
StartArguments parseStartArguments(int argc, const char* const* argv);

/// Runs the program: the application, the process-wide objects, the main window and the data module.
int runKatalox(int argc, char** argv);
