#pragma once
// The worker that converts an older-version fileset in place, and the names of its temporary and
// backup files.

#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>

/// Converts one file on its own thread into temporaryPath, then puts it in the older file's place and
/// keeps the older file under conversionBackupName. It knows no window: its progress goes out as
/// signals (a few a second at most), which a window connects queued; its end is QThread::finished.
class ConvertWorker : public QThread {
    Q_OBJECT
public:
    ConvertWorker(const QString& olderPath, const QString& temporaryPath, QObject* parent = nullptr);
    ~ConvertWorker() override;

    /// Whether the file was converted and replaced; valid once the thread has finished.
    bool succeeded() const { return m_success.load(); }
    /// Why it failed, for the user; empty on success and after a cancel.
    QString failure() const { return m_failure; }
    void requestStop() { m_stop.store(true); }
    bool stopRequested() const { return m_stop.load(); }

    /// The conversion's progress callback: reports now and then, cancels once asked.
    void progress(std::uint32_t oldPosition, bool& cancel);

signals:
    /// The conversion runs from step 0 to maximum, steps through the older file.
    void progressRangeKnown(int maximum);
    /// The conversion reached this step.
    void progressChanged(int position);

protected:
    void run() override;

private:
    void replaceOlderFile();

    std::atomic_bool m_success { false };
    std::atomic_bool m_stop { false };
    const QString m_olderPath;
    const QString m_temporaryPath;
    QString m_failure;
    std::chrono::steady_clock::time_point m_lastReport {};
};

/// The first free temporary name beside the fileset: its folder + "conv" + n + ".tmp", n from 0.
QString conversionTemporaryName(const QString& filesetPath);
/// The first free backup name: path + ".v02", then path + ".v02.1", ".v02.2", ...
QString conversionBackupName(const QString& filesetPath);
