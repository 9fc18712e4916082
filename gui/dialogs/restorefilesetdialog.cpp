#include "gui/dialogs/restorefilesetdialog.h"

#include "core/catalog/catalogchanges.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

RestoreFilesetDialog::RestoreFilesetDialog(const QStringList& backups, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("restoreFilesetDialog"));
    setWindowTitle(QStringLiteral("Restore Deleted Fileset"));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        QStringLiteral("Deleted filesets are kept as \".bak\" files. Choose the one to bring back:"), this);
    caption->setWordWrap(true);
    layout->addWidget(caption);
    backupList = new QListWidget(this);
    backupList->setObjectName(QStringLiteral("backupList"));
    for (const QString& backup : backups) {
        const QFileInfo info(backup);
        // The name it had, where it lies and when it was deleted (the ".bak" changed last then).
        auto* row = new QListWidgetItem(
            QStringLiteral("%1\n    %2, %3")
                .arg(QFileInfo(restoredName(backup)).fileName(), QDir::toNativeSeparators(info.absolutePath()),
                    QLocale().toString(info.lastModified(), QLocale::ShortFormat)),
            backupList);
        row->setData(Qt::UserRole, backup);
        row->setToolTip(backup);
    }
    layout->addWidget(backupList, 1);
    restoreButton = new QPushButton(QStringLiteral("Restore"), this);
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    restoreButton->setDefault(true);
    restoreButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(restoreButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    resize(520, 320);

    connect(backupList, &QListWidget::itemSelectionChanged, this,
        [this] { restoreButton->setEnabled(!chosenBackup().isEmpty()); });
    connect(backupList, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(restoreButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    if (backupList->count() > 0) {
        backupList->setCurrentRow(0);
    }
}

QString RestoreFilesetDialog::chosenBackup() const
{
    const QList<QListWidgetItem*> selected = backupList->selectedItems();
    return selected.isEmpty() ? QString() : selected.front()->data(Qt::UserRole).toString();
}
