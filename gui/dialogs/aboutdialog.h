#pragma once
// The about window: the program's name and version.

#include <QDialog>

class QLabel;
class QPushButton;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLabel* titleLabel; ///< "Katalox", bold
    QLabel* subtitleLabel; ///< "- CD Management Program"
    QLabel* versionLabel; ///< "Version 3.1 Alpha 5"
    QPushButton* okButton; ///< "OK"
};
