#pragma once
// The worker that counts the discs, folders, files and bytes of filesets for their properties window.

#include <QThread>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class Fileset;

/// Counts the discs, folders, files and bytes of filesets by walking every record of their catalogs.
/// Each catalog is opened read-only by the worker itself, so it shares no handle with the window.
/// A stop request is looked at before every step of a walk. It knows no window: the totals go out once
/// per fileset, and once more after the last, as signals that a window connects queued; nothing thrown
/// leaves the worker.
class FilesetCountWorker : public QThread {
    Q_OBJECT
public:
    /// Records reported between two walkProgress signals.
    static constexpr std::uint64_t RecordsPerReport = 4096;

    /// The filesets are not owned (their file names are taken at once).
    explicit FilesetCountWorker(const std::vector<Fileset*>& filesets, QObject* parent = nullptr);
    ~FilesetCountWorker() override;

    /// Asks the walk to stop before its next step.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

signals:
    /// The totals of the filesets walked so far.
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
