#pragma once
// The progress window of a scan: its worker records a drive into a scratch catalog on its own thread;
// the window shows where the walk is, offers Cancel, and ends when the worker has ended.

#include "engine/ktbdef.h"
#include "gui/scan/scanworker.h"

#include <QDialog>
#include <QString>
#include <memory>

class DiscRecording;
class QLabel;
class QProgressBar;
class QPushButton;

/// "Scanning Disc Drive...": status, progress bar, the folder being walked and Cancel. Cancel, Escape
/// and closing the window ask the worker to stop; the window stays until the worker has ended.
class ScanProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScanProgressDialog(QWidget* parent = nullptr);
    ~ScanProgressDialog() override;

    /// Records the drive as disc into the recording's scratch catalog behind the modal window; true when
    /// the window ended with OK, that is when the recording succeeded.
    bool startScan(DiscRecording& recording, char drive, const TKTBDisc& disc);
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
