#include "gui/scan/scanprogressdialog.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr unsigned s_entriesPerClockCheck = 64;

} // namespace

// ---------------------------------------------------------------------------------------------
// Worker

ScanWorker::ScanWorker(ScanProgressDialog* form, const QString& fileName, char drive, const TKTBDisc& disc)
    : m_drive(drive)
    , m_disc(disc)
    , m_fileName(fileName)
    , m_form(form)
{
}

ScanWorker::~ScanWorker()
{
    requestStop();
    wait();
}

void ScanWorker::postStatus(const QString& text)
{
    QMetaObject::invokeMethod(
        m_form, [form = m_form, text] { form->setStatus(text); }, Qt::QueuedConnection);
}

void ScanWorker::run()
{
    // Nothing thrown may leave the thread: a failure is a recording without success.
    try {
        QMetaObject::invokeMethod(
            m_form, [form = m_form] { form->setCancelEnabled(true); }, Qt::QueuedConnection);
        m_bytes = 0;
        postStatus(QStringLiteral("Opening destination File.."));
        const QByteArray path = m_fileName.toUtf8();
        if (ktbOpen(m_scratch, path.constData(), KTB_OPEN_CREATE) != KTB_OK) {
            return;
        }
        postStatus(QStringLiteral("Scanning.."));
        const TKTBERROR result = ktbRecordDrive(m_scratch, m_drive, m_disc, this, scanProgress);
        m_success.store(result == KTB_OK);
        // The last state of the walk, whatever the time since the last report.
        if (m_reported) {
            report(nullptr);
        }
        QMetaObject::invokeMethod(
            m_form, [form = m_form] { form->setCancelEnabled(false); }, Qt::QueuedConnection);
        postStatus(QStringLiteral("Closing up.."));
        ktbClose(m_scratch);
    } catch (...) {
        m_success.store(false);
        ktbClose(m_scratch);
    }
}

bool ScanWorker::progress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry)
{
    if (kind == KTB_WALK_FILE && entry != nullptr) {
        m_bytes += static_cast<std::uint32_t>(entry->Size);
        // This copy only serves as the bar's denominator; the engine keeps its own record.
        if (static_cast<std::int64_t>(m_bytes) > m_disc.Used) {
            m_disc.Used = static_cast<std::int64_t>(m_bytes);
        }
    }
    // The clock is asked every few entries only: a disc of many small files is walked quickly.
    if (!m_reported || (++m_entries % s_entriesPerClockCheck) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_reported || now - m_lastReport >= ReportInterval) {
            m_lastReport = now;
            report(path);
        }
    }
    return !m_stop.load(std::memory_order_relaxed);
}

void ScanWorker::report(const char* path)
{
    if (path != nullptr) {
        m_lastPath = QString::fromUtf8(path);
    }
    m_reported = true;
    ++m_reports;
    const int percent = scanPercentage(m_bytes, m_disc.Used);
    QMetaObject::invokeMethod(
        m_form, [form = m_form, where = m_lastPath, percent] { form->setProgress(where, percent); },
        Qt::QueuedConnection);
}

bool scanProgress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* worker)
{
    return static_cast<ScanWorker*>(worker)->progress(kind, path, entry);
}

int scanPercentage(std::uint64_t bytes, std::int64_t used)
{
    if (used <= 0) {
        return bytes > 0 ? 100 : 0;
    }
    const double share = static_cast<double>(bytes) / static_cast<double>(used) * 100.0;
    return share >= 100.0 ? 100 : static_cast<int>(share);
}

// ---------------------------------------------------------------------------------------------
// Window

ScanProgressDialog::ScanProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("scanProgressDialog"));
    setWindowTitle(QStringLiteral("Scanning Disc Drive..."));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    statusLabel = new QLabel(QStringLiteral("Scanning"), this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    pathLabel = new QLabel(this);
    pathLabel->setObjectName(QStringLiteral("pathLabel"));
    pathLabel->setTextFormat(Qt::PlainText);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setEnabled(false);
    layout->addWidget(statusLabel);
    layout->addWidget(progressBar);
    layout->addWidget(pathLabel);
    layout->addSpacing(6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(420, sizeHint().height());
    connect(cancelButton, &QPushButton::clicked, this, &ScanProgressDialog::onCancelClicked);
}

ScanProgressDialog::~ScanProgressDialog()
{
    if (m_worker != nullptr) {
        m_worker->requestStop();
        m_worker->wait();
    }
}

bool ScanProgressDialog::startScan(const QString& fileName, char drive, const TKTBDisc& disc)
{
    m_worker = std::make_unique<ScanWorker>(this, fileName, drive, disc);
    connect(m_worker.get(), &QThread::finished, this, &ScanProgressDialog::workerFinished, Qt::QueuedConnection);
    m_worker->start();
    const int result = exec();
    // The window ends only through the worker's end, so the worker is done here.
    m_worker->wait();
    return result == QDialog::Accepted;
}

void ScanProgressDialog::workerFinished()
{
    if (m_worker == nullptr) {
        return;
    }
    m_worker->wait();
    QDialog::done(m_worker->succeeded() ? QDialog::Accepted : QDialog::Rejected);
}

void ScanProgressDialog::setStatus(const QString& text) { statusLabel->setText(text); }

void ScanProgressDialog::setProgress(const QString& path, int percent)
{
    if (path != m_path) {
        m_path = path;
        pathLabel->setText(pathLabel->fontMetrics().elidedText(path, Qt::ElideMiddle, pathLabel->width()));
        pathLabel->setToolTip(path);
    }
    progressBar->setValue(percent);
    emit progressApplied();
}

void ScanProgressDialog::setCancelEnabled(bool enabled) { cancelButton->setEnabled(enabled); }

void ScanProgressDialog::onCancelClicked()
{
    if (m_worker != nullptr && cancelButton->isEnabled()) {
        m_worker->requestStop();
    }
}

void ScanProgressDialog::reject()
{
    // Escape: the same as the button; the worker's end closes the window.
    if (m_worker != nullptr) {
        m_worker->requestStop();
    }
}

void ScanProgressDialog::closeEvent(QCloseEvent* event)
{
    if (m_worker == nullptr) {
        QDialog::closeEvent(event);
        return;
    }
    // The worker's end notice closes the window with its result.
    m_worker->requestStop();
    event->ignore();
}
