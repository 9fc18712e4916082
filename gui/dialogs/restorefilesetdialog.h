#pragma once
// The window of "Restore Deleted Fileset...": the ".bak" files that deleting filesets left, one to pick.

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

class RestoreFilesetDialog : public QDialog {
    Q_OBJECT
public:
    /// backups: the ".bak" files, as deletedFilesets answers them.
    explicit RestoreFilesetDialog(const QStringList& backups, QWidget* parent = nullptr);

    /// The ".bak" of the selected row; empty when none is selected.
    QString chosenBackup() const;

    QListWidget* backupList;
    QPushButton* restoreButton; ///< "Restore", enabled while a row is selected
    QPushButton* cancelButton;
};
