#pragma once
// What the settings and property windows share: their button row, the OK button that shows what its
// handler raises, how values and unused boxes look, and where the windows appear.

#include <QString>
#include <functional>

class QBoxLayout;
class QDialog;
class QFrame;
class QLabel;
class QPushButton;
class QWidget;

/// Adds a row to layout with the confirming button (the window's default) and the cancelling one at
/// its right, named okName and cancelName.
void addButtonRow(QBoxLayout* layout, QDialog* window, QPushButton*& ok, const char* okName, const QString& okCaption,
    QPushButton*& cancel, const char* cancelName);
/// A click on ok runs handler; what it raises goes to the application's error display, and the window
/// ends with OK all the same.
void connectConfirm(QDialog* window, QPushButton* ok, std::function<void()> handler);
/// A label showing a value, which the user can select and copy.
QLabel* valueLabel(QWidget* parent, const char* name, const QString& text = {});
/// A horizontal line between groups of controls.
QFrame* separatorLine(QWidget* parent);
/// A box that has nothing to offer while several items are shown: disabled, with the button face as
/// its background.
void showAsUnused(QWidget* box);
/// Moves a window to the middle of the screen it is on.
void centreOnScreen(QWidget* window);
