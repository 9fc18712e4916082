#pragma once
// The fileset properties window: the description, owner, dates, format version and path of one
// fileset, or the names of several, with totals of discs, folders, files and bytes that a worker
// counts while the window is open. Ok renames a single fileset and gives every selected one the owner
// typed.

#include "core/filesets/itemref.h"
#include "gui/dialogs/filesetcountworker.h"

#include <QDialog>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class Fileset;

/// Shows the properties of the filesets of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int showFilesetProperties(const ItemRefs& items);

class FilesetPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit FilesetPropertiesDialog(QWidget* parent = nullptr);
    ~FilesetPropertiesDialog() override;

    /// Fills the window, starts the worker, shows the window modally and answers its result.
    virtual int showFor(const ItemRefs& items);

    /// Keeps a copy of items and fills the controls from their filesets (showFor's first steps).
    void fill(const ItemRefs& items);
    /// Creates the worker over the filesets of the items, not started yet.
    FilesetCountWorker* createWorker();
    FilesetCountWorker* worker() const { return m_worker; }

    /// Ok: stops the worker, then writes the description (one fileset only) and the owner; a fileset
    /// whose owner changed is filed under its new owner in the owners index.
    void onOkClicked();
    /// Cancel.
    void onCancelClicked();
    /// The window closes: stops the worker, waits for it and releases it.
    void handleClose();
    /// Shows the totals counted so far.
    void showTotals(quint32 discs, quint64 files, quint32 folders, quint64 bytes);

    void done(int result) override;

    QLabel* iconLabel = nullptr; ///< the fileset icon
    QLineEdit* descriptionEdit = nullptr; ///< description
    QLabel* lockedLabel = nullptr; ///< "[LOCKED]"
    QLineEdit* ownerEdit = nullptr; ///< owner
    QLabel* createdLabel = nullptr;
    QLabel* modifiedLabel = nullptr;
    QLabel* filesLabel = nullptr;
    QLabel* foldersLabel = nullptr;
    QLabel* discsLabel = nullptr;
    QLabel* bytesLabel = nullptr;
    QLabel* versionLabel = nullptr; ///< format version
    QLineEdit* pathEdit = nullptr; ///< path
    QPushButton* okButton = nullptr; ///< "Ok"
    QPushButton* cancelButton = nullptr; ///< "Cancel"

private:
    std::vector<Fileset*> filesets() const;
    void stopWorker();

    ItemRefs m_items;
    FilesetCountWorker* m_worker = nullptr;
};
