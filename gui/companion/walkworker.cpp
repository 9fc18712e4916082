#include "gui/companion/walkworker.h"

#include "core/companion/catalogwalk.h"
#include "core/filesets/catalogerror.h"

WalkWorker::WalkWorker(std::unique_ptr<CatalogWalk> walk, Job job, QObject* parent)
    : QThread(parent)
    , m_walk(std::move(walk))
    , m_job(std::move(job))
{
    // Called on this thread; the signal crosses to the window's thread queued.
    m_walk->onProgress = [this](std::uint64_t done, std::uint64_t total) { emit progressChanged(done, total); };
}

WalkWorker::~WalkWorker()
{
    m_walk->requestStop();
    wait();
}

void WalkWorker::cancel()
{
    m_cancelled = true;
    m_walk->requestStop();
}

void WalkWorker::run()
{
    // Nothing thrown may leave the thread.
    QVariant result;
    QString failure;
    try {
        result = m_job(*m_walk);
    } catch (const CatalogError& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        failure = QStringLiteral("The walk of the catalogs failed.");
    }
    emit walkEnded(result, failure);
}
