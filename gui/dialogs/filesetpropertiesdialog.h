#pragma once
// The fileset properties window: the description, owner, dates, format version and path of one
// fileset, or the names of several, with totals of discs, folders, files and bytes that a worker
// counts while the window is open. Ok renames a single fileset and gives every selected one the owner
// typed.

#include "core/filesets/itemref.h"

#include <QDialog>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class Fileset;
class FilesetPropertiesDialog;

/// Shows the properties of the filesets of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int showFilesetProperties(const ItemRefs& items);

/// Counts the discs, folders, files and bytes of filesets by walking every record of their catalogs.
/// Each catalog is opened read-only by the worker itself, so it shares no handle with the window.
/// A stop request is looked at before every step of a walk. The totals go to the window once per
/// fileset, and once more after the last, as queued signals; nothing thrown leaves the worker.
class FilesetCountWorker : public QThread {
    Q_OBJECT
public:
    /// Records reported between two walkProgress signals.
    static constexpr std::uint64_t RecordsPerReport = 4096;

    /// The totals go to window; the filesets are not owned (their file names are taken at once).
    FilesetCountWorker(FilesetPropertiesDialog* window, const std::vector<Fileset*>& filesets);
    ~FilesetCountWorker() override;

    /// Asks the walk to stop before its next step.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    FilesetPropertiesDialog* const window;

signals:
    void totalsChanged(quint32 discs, quint64 files, quint32 folders, quint64 bytes);
    /// Every RecordsPerReport records of a walk: how many the worker has met so far, all filesets
    /// together.
    void walkProgress(quint64 records);

protected:
    void run() override;

private:
    void walk(const std::string& path);

    std::vector<std::string> m_paths;
    std::atomic_bool m_stop { false };
    std::uint32_t m_discs = 0;
    std::uint64_t m_files = 0;
    std::uint32_t m_folders = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_records = 0;
};

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
