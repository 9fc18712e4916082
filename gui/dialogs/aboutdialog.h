#pragma once
// The about window: the program's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QLabel* Label1; ///< "Katalox", bold
    QLabel* Label2; ///< "- CD Management Program"
    QLabel* Label4; ///< "Version 3.1 Alpha 5"
    QPushButton* Button1; ///< "OK"
};
