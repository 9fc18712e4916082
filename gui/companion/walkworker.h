#pragma once
// The worker thread of a companion window: runs one job over a CatalogWalk (which walks the catalogs on
// its own threads) so the window stays responsive. It knows no window: the walk's progress and the
// job's result go out as signals that the window receives queued; it cancels at once.

#include <QString>
#include <QThread>
#include <QVariant>
#include <functional>
#include <memory>

class CatalogWalk;

class WalkWorker : public QThread {
    Q_OBJECT
public:
    /// Runs on the worker thread, calls walk.run() (collectStatistics does) and answers what the window
    /// shows.
    using Job = std::function<QVariant(CatalogWalk& walk)>;

    /// The worker owns the walk.
    WalkWorker(std::unique_ptr<CatalogWalk> walk, Job job, QObject* parent = nullptr);
    /// Cancels the walk and waits for the end.
    ~WalkWorker() override;

    /// Asks the walk to stop before its next few records; walkEnded follows at once.
    void cancel();
    /// Whether cancel() was called, also after the walk had ended by itself (the window thread's own
    /// record: what the user asked for counts).
    bool wasCancelled() const { return m_cancelled; }

signals:
    /// Bytes of records walked and to walk, a few times a second; before the catalogs, a job may count
    /// entries of its own with a total of 0 (their end not known).
    void progressChanged(quint64 done, quint64 total);
    /// The job has ended: what it answered (null when it raised) and what it raised, for the user
    /// (empty when it ran to its end).
    void walkEnded(const QVariant& result, const QString& failure);

protected:
    void run() override;

private:
    std::unique_ptr<CatalogWalk> m_walk;
    Job m_job;
    bool m_cancelled = false;
};
