#pragma once
// The worker thread of a companion window: runs one job over a CatalogWalk (which walks the catalogs on
// its own threads) so the window stays responsive, passes the walk's progress on as queued signals,
// and cancels at once.

#include <QString>
#include <QThread>
#include <functional>
#include <memory>

class CatalogWalk;

class WalkWorker : public QThread {
    Q_OBJECT
public:
    /// job runs on the worker thread and calls walk.run() (collectStatistics does); what it raises ends
    /// the job and is kept as failure(). The worker owns the walk.
    WalkWorker(
        std::unique_ptr<CatalogWalk> walk, std::function<void(CatalogWalk& walk)> job, QObject* parent = nullptr);
    /// Cancels the walk and waits for the end.
    ~WalkWorker() override;

    CatalogWalk& walk() { return *m_walk; }
    /// Asks the walk to stop before its next record; finished() follows at once.
    void cancel();
    /// Whether cancel() was called.
    bool wasCancelled() const { return m_cancelled; }
    /// What the job raised, for the user; empty when it ran to its end.
    QString failure() const { return m_failure; }

signals:
    /// Bytes of records walked and to walk, a few times a second.
    void progressChanged(quint64 done, quint64 total);

protected:
    void run() override;

private:
    std::unique_ptr<CatalogWalk> m_walk;
    std::function<void(CatalogWalk&)> m_job;
    bool m_cancelled = false;
    QString m_failure;
};
