#pragma once
// Where the property windows appear.

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

/// Moves a window to the middle of the screen it is on (the primary screen before it is shown).
inline void CentreOnScreen(QWidget* window)
{
    window->adjustSize();
    const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
