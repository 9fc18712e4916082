#pragma once
// The conversion of an older-version fileset in place, behind a small modal window with progress and
// Cancel. The new file is written beside the fileset under "conv" + n + ".tmp"; only a finished
// conversion takes the fileset's place, and the older file is kept under a backup name.

#include <QDialog>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class ConvertDialog;

/// Converts one file on its own thread; it never touches a widget.
class ConvertWorker : public QThread {
    Q_OBJECT
public:
    ConvertWorker(ConvertDialog* form, const QString& olderPath, const QString& temporaryPath);
    ~ConvertWorker() override;

    /// Whether the file was converted and replaced; valid once the thread has finished.
    bool succeeded() const { return m_success.load(); }
    /// Why it failed, for the user; empty on success and after a cancel.
    QString failure() const { return m_failure; }
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    /// The conversion's progress callback: reports to the window now and then, cancels once asked.
    void progress(std::uint32_t oldPosition, bool& cancel);

protected:
    void run() override;

private:
    void replaceOlderFile();

    std::atomic_bool m_success { false };
    std::atomic_bool m_stop { false };
    ConvertDialog* const m_form;
    const QString m_olderPath;
    const QString m_temporaryPath;
    QString m_failure;
    std::chrono::steady_clock::time_point m_lastReport {};
};

/// "KTB Convert": progress bar and Cancel (also Escape); closing the window stops the worker too. The
/// window ends when the worker has ended, with 1 when the file was converted and replaced, else 2.
class ConvertDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConvertDialog(QWidget* parent = nullptr);
    ~ConvertDialog() override;

    /// Converts the file at path behind the modal window and answers 1 or 2.
    int convert(const QString& path);
    ConvertWorker* worker() const { return m_worker.get(); }

    void setMaximum(int maximum);
    void setPosition(int position);
    void onCancelClicked();
    void reject() override;

    QProgressBar* progressBar;
    QLabel* statusLabel;
    QPushButton* cancelButton; ///< "Cancel"

signals:
    /// The worker has started (the window shows while it works).
    void conversionStarted();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void handleClose();
    void workerFinished();

    std::unique_ptr<ConvertWorker> m_worker;
};

/// The first free temporary name beside the fileset: its folder + "conv" + n + ".tmp", n from 0.
QString conversionTemporaryName(const QString& filesetPath);
/// The first free backup name: path + ".v02", then path + ".v02.1", ".v02.2", ...
QString conversionBackupName(const QString& filesetPath);

/// Converts the older-version fileset at path in place with the conversion window: 1 when it was
/// converted and replaced, 2 when not (the file is then left as it was). A failure, unlike a cancel, is
/// told to the user.
int convertFilesetInPlace(const QString& path);
