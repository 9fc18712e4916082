#include "gui/scan/scanworker.h"

#include "core/catalog/discrecording.h"

namespace {

constexpr unsigned s_entriesPerClockCheck = 64;

} // namespace

ScanWorker::ScanWorker(DiscRecording& recording, char drive, const TKTBDisc& disc, QObject* parent)
    : QThread(parent)
    , m_recording(recording)
    , m_drive(drive)
    , m_disc(disc)
    , m_used(disc.Used)
{
}

ScanWorker::~ScanWorker()
{
    // A finished worker leaves its recording alone: the recording may be gone by now.
    if (isRunning()) {
        requestStop();
    }
    wait();
}

void ScanWorker::requestStop() { m_recording.requestStop(); }

bool ScanWorker::stopRequested() const { return m_recording.stopRequested(); }

void ScanWorker::run()
{
    // Nothing thrown may leave the thread: a failure is a recording without success.
    try {
        emit cancelEnabledChanged(true);
        emit statusChanged(QStringLiteral("Opening destination File.."));
        if (m_recording.create() != KTB_OK) {
            return;
        }
        emit statusChanged(QStringLiteral("Scanning.."));
        const TKTBERROR result
            = m_recording.record(m_drive, m_disc, [this](const RecordingProgress& progress) { onEntry(progress); });
        m_success.store(result == KTB_OK);
        // The last state of the walk, whatever the time since the last report.
        if (m_reported) {
            report(nullptr);
        }
        emit cancelEnabledChanged(false);
        emit statusChanged(QStringLiteral("Closing up.."));
    } catch (...) {
        m_success.store(false);
    }
}

void ScanWorker::onEntry(const RecordingProgress& progress)
{
    m_bytes = progress.bytes;
    // The bar's denominator only; the recording keeps its own record.
    if (static_cast<std::int64_t>(m_bytes) > m_used) {
        m_used = static_cast<std::int64_t>(m_bytes);
    }
    // The clock is asked every few entries only: a disc of many small files is walked quickly.
    if (!m_reported || (++m_entries % s_entriesPerClockCheck) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_reported || now - m_lastReport >= ReportInterval) {
            m_lastReport = now;
            report(progress.walkPath);
        }
    }
}

void ScanWorker::report(const char* path)
{
    if (path != nullptr) {
        m_lastPath = QString::fromUtf8(path);
    }
    m_reported = true;
    ++m_reports;
    emit progressChanged(m_lastPath, scanPercentage(m_bytes, m_used));
}

int scanPercentage(std::uint64_t bytes, std::int64_t used)
{
    if (used <= 0) {
        return bytes > 0 ? 100 : 0;
    }
    const double share = static_cast<double>(bytes) / static_cast<double>(used) * 100.0;
    return share >= 100.0 ? 100 : static_cast<int>(share);
}
