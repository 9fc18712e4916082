#include "gui/common/guardedapplication.h"

#include "gui/common/errordisplay.h"

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    try {
        handled = QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        showException(failure);
    } catch (...) {
        showErrorText(QStringLiteral("Unknown error"));
    }
    // Whatever handler made a change, the user hears when it is not yet safe on disk.
    reportUnsyncedChanges();
    return handled;
}
