#pragma once
// The fileset properties window: the description, owner, dates, format version and path of one
// fileset, or the names of several, with totals of discs, folders, files and bytes that a worker
// counts while the window is open. Ok renames a single fileset and gives every selected one the owner
// typed.

#include "core/filesets/entitylist.h"

#include <QDialog>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class TKTBFile;
class TformKTBprop;

/// Shows the properties of the filesets of items modally and answers the window's result
/// (QDialog::Accepted when the user confirmed it).
int ShowFilesetProperties(const TItemDataArray& items);

/// Counts the discs, folders, files and bytes of filesets by walking every record of their catalogs.
/// Each catalog is opened read-only by the worker itself, so it shares no handle with the window.
/// A stop request is looked at before every step of a walk. The totals go to the window once per
/// fileset, and once more after the last, as queued signals; nothing thrown leaves the worker.
class TinfoThread : public QThread {
    Q_OBJECT
public:
    /// Records reported between two walkProgress signals.
    static constexpr std::uint64_t RecordsPerReport = 4096;

    /// The totals go to window; the filesets are not owned (their file names are taken at once).
    TinfoThread(TformKTBprop* window, const std::vector<TKTBFile*>& filesets);
    ~TinfoThread() override;

    /// Asks the walk to stop before its next step.
    void Terminate() { m_stop.store(true); }
    bool Terminated() const { return m_stop.load(); }

    TformKTBprop* const Window;

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

class TformKTBprop : public QDialog {
    Q_OBJECT
public:
    explicit TformKTBprop(QWidget* parent = nullptr);
    ~TformKTBprop() override;

    /// Fills the window, starts the worker, shows the window modally and answers its result.
    virtual int ShowFor(const TItemDataArray& items);

    /// Keeps a copy of items and fills the controls from their filesets (ShowFor's first steps).
    void Fill(const TItemDataArray& items);
    /// Creates the worker over the filesets of the items, not started yet.
    TinfoThread* CreateWorker();
    TinfoThread* Worker() const { return m_worker; }

    /// Ok: stops the worker, then writes the description (one fileset only) and the owner; a fileset
    /// whose owner changed is filed under its new owner in the owners index.
    void Button2Click();
    /// Cancel.
    void Button1Click();
    /// The window closes: stops the worker, waits for it and releases it.
    void FormClose();
    /// Shows the totals counted so far.
    void ShowTotals(quint32 discs, quint64 files, quint32 folders, quint64 bytes);

    void done(int result) override;

    QLabel* Image1 = nullptr; ///< the fileset icon
    QLineEdit* Edit2 = nullptr; ///< description
    QLabel* Label2 = nullptr; ///< "[LOCKED]"
    QLineEdit* Edit1 = nullptr; ///< owner
    QLabel* lab_created = nullptr;
    QLabel* lab_last = nullptr;
    QLabel* Lab_files = nullptr;
    QLabel* lab_folders = nullptr;
    QLabel* Lab_discs = nullptr;
    QLabel* lab_bytes = nullptr;
    QLabel* Label4 = nullptr; ///< format version
    QLineEdit* Edit3 = nullptr; ///< path
    QPushButton* Button2 = nullptr; ///< "Ok"
    QPushButton* Button1 = nullptr; ///< "Cancel"

private:
    std::vector<TKTBFile*> filesets() const;
    void stopWorker();

    TItemDataArray m_items;
    TinfoThread* m_worker = nullptr;
};
