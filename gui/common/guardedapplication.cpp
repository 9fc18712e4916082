#include "gui/common/guardedapplication.h"

#include "gui/common/errordisplay.h"

GuardedApplication::GuardedApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        showException(failure);
    } catch (...) {
        showErrorText(QStringLiteral("Unknown error"));
    }
    return false;
}
