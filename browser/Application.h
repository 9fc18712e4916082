#pragma once
// The program's entry: the application object with its general error display, and the process-wide
// objects created and released in order around the main window.

#include <QApplication>
#include <memory>

/// The application object. An exception that leaves an event handler is shown in a message box and
/// the program goes on.
class TKataloxApplication : public QApplication {
    Q_OBJECT
public:
    TKataloxApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

/// The process-wide objects of a run: the registry FilesetList (which may ask its conversion question
/// while it loads), the owners index OwnerList, the system icon list, the settings store, ListHelper
/// and SearchHelper; released in reverse order. The application object must exist first.
class TProgramObjects {
public:
    TProgramObjects();
    ~TProgramObjects();
    TProgramObjects(const TProgramObjects&) = delete;
    TProgramObjects& operator=(const TProgramObjects&) = delete;
};

/// Installs the questions that the registry asks while it loads (the conversion of older files) and
/// the message boxes of the program.
void InstallProgramQuestions();

/// Runs the program: the application, the process-wide objects, the main window and the data module.
int RunKatalox(int argc, char** argv);
