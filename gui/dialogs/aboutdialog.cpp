#include "gui/dialogs/aboutdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About..."));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    titleLabel = new QLabel(QStringLiteral("Katalox"), this);
    QFont bold = titleLabel->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    titleLabel->setFont(bold);
    subtitleLabel = new QLabel(QStringLiteral("- CD Management Program"), this);
    versionLabel = new QLabel(QStringLiteral("Version 3.1 Alpha 5"), this);
    for (QLabel* label : { titleLabel, subtitleLabel, versionLabel }) {
        label->setAlignment(Qt::AlignHCenter);
        layout->addWidget(label);
    }
    layout->addSpacing(12);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    layout->addWidget(okButton, 0, Qt::AlignHCenter);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
