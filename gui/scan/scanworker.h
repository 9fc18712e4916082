#pragma once
// The scan worker: records one drive into the scratch catalog of a recording on its own thread.

#include "engine/ktbdef.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>

class DiscRecording;
struct RecordingProgress;

/// Runs a recording's create() and record() on its thread. It knows no window: what there is to show
/// leaves it as signals, emitted on its thread (connect them queued), the walk's progress at most a few
/// times a second and once more at the end.
class ScanWorker : public QThread {
    Q_OBJECT
public:
    /// The shortest time between two progress reports.
    static constexpr std::chrono::milliseconds ReportInterval { 200 };

    /// Will record the drive as disc into recording, which must outlive the worker.
    ScanWorker(DiscRecording& recording, char drive, const TKTBDisc& disc, QObject* parent = nullptr);
    /// Asks a running walk to stop and waits for the thread.
    ~ScanWorker() override;

    /// Whether the recording ran to its end; valid once the thread has finished.
    bool succeeded() const { return m_success.load(); }
    /// Asks the walk to stop after the entry being recorded; safe from any thread.
    void requestStop();
    bool stopRequested() const;
    /// Progress reports sent so far.
    int reportsSent() const { return m_reports.load(); }

signals:
    void statusChanged(const QString& text);
    /// The folder being walked ("D:\Music\") and the share of the disc's bytes recorded, 0 to 100.
    void progressChanged(const QString& path, int percent);
    void cancelEnabledChanged(bool enabled);

protected:
    void run() override;

private:
    void onEntry(const RecordingProgress& progress);
    void report(const char* path);

    DiscRecording& m_recording;
    const char m_drive;
    const TKTBDisc m_disc;
    std::atomic_bool m_success { false };
    std::atomic_int m_reports { 0 };
    std::uint64_t m_bytes = 0;
    std::int64_t m_used; ///< the bar's denominator: the disc's Used, raised to the bytes seen
    std::chrono::steady_clock::time_point m_lastReport {};
    QString m_lastPath;
    bool m_reported = false;
    unsigned m_entries = 0;
};

/// The percentage the progress bar shows for bytes seen of used: truncated, never above 100.
int scanPercentage(std::uint64_t bytes, std::int64_t used);
