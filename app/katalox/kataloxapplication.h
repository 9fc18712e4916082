#pragma once
// The program's entry: the application object with its general error display.

#include "gui/common/guardedapplication.h"

/// The application object. An exception that leaves an event handler is shown in a message box and
/// the program goes on.
class KataloxApplication : public GuardedApplication {
    Q_OBJECT
public:
    KataloxApplication(int& argc, char** argv);
};

/// Runs the program: the application, the process-wide objects, the main window and the data module.
int runKatalox(int argc, char** argv);
