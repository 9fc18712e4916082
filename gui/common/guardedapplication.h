#pragma once
// The application object of Katalox and of its companion programs.

#include <QApplication>

/// The application object with the general error display: an exception that leaves an event handler
/// is shown in a message box and the program goes on; a change made by a handler that is not yet safe
/// on disk is told in a warning.
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
