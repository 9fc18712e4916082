#pragma once
// The scan worker and its progress window. The worker records a drive into a scratch catalog on its own
// thread; the window shows where the walk is, offers Cancel, and ends when the worker has ended.

#include "engine/ktbdef.h"

#include <QDialog>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class ScanProgressDialog;
struct TKTBHandle;

/// Records one drive into a new scratch catalog. It never touches a widget: everything it has to show
/// goes to its window as queued calls, the walk's progress at most a few times a second.
class ScanWorker : public QThread {
    Q_OBJECT
public:
    /// The shortest time between two progress reports to the window.
    static constexpr std::chrono::milliseconds ReportInterval { 200 };

    ScanWorker(ScanProgressDialog* form, const QString& fileName, char drive, const TKTBDisc& disc);
    ~ScanWorker() override;

    /// Whether the recording ran to its end; valid once the thread has finished.
    bool succeeded() const { return m_success.load(); }
    /// Asks the walk to stop after the entry being recorded; safe from any thread.
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }
    /// Progress reports sent to the window so far.
    int reportsSent() const { return m_reports.load(); }

    /// The recording's callback: counts the entry and reports to the window now and then; false once a
    /// stop was asked for.
    bool progress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry);

protected:
    void run() override;

private:
    void report(const char* path);
    void postStatus(const QString& text);

    std::atomic_bool m_success { false };
    std::atomic_bool m_stop { false };
    std::atomic_int m_reports { 0 };
    TKTBHandle* m_scratch = nullptr;
    const char m_drive;
    TKTBDisc m_disc;
    std::uint64_t m_bytes = 0;
    const QString m_fileName;
    ScanProgressDialog* const m_form;
    std::chrono::steady_clock::time_point m_lastReport {};
    QString m_lastPath;
    bool m_reported = false;
    unsigned m_entries = 0;
};

/// The walk callback given to ktbRecordDrive; userData is the ScanWorker.
bool scanProgress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* worker);

/// The percentage the progress bar shows for bytes seen of used: truncated, never above 100.
int scanPercentage(std::uint64_t bytes, std::int64_t used);

/// "Scanning Disc Drive...": status, progress bar, the folder being walked and Cancel. Cancel, Escape
/// and closing the window ask the worker to stop; the window stays until the worker has ended.
class ScanProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScanProgressDialog(QWidget* parent = nullptr);
    ~ScanProgressDialog() override;

    /// Records the drive into a new catalog at fileName behind the modal window; true when the window
    /// ended with OK, that is when the recording succeeded.
    bool startScan(const QString& fileName, char drive, const TKTBDisc& disc);
    /// The running worker, or null.
    ScanWorker* worker() const { return m_worker.get(); }

    /// Applied on the window thread for the worker.
    void setStatus(const QString& text);
    void setProgress(const QString& path, int percent);
    void setCancelEnabled(bool enabled);

    /// Asks the worker to stop (the button, Escape, closing the window).
    void onCancelClicked();
    void reject() override;

    QLabel* statusLabel; ///< status, "Scanning" at first
    QProgressBar* progressBar;
    QPushButton* cancelButton; ///< "Cancel"
    QLabel* pathLabel; ///< the folder being walked

signals:
    /// A progress report of the worker was applied.
    void progressApplied();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void workerFinished();

    std::unique_ptr<ScanWorker> m_worker;
    QString m_path;
};
