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

TScanThread::TScanThread(TScanProgressForm* form, const QString& fileName, char drive, const TKTBDisc& disc)
    : m_drive(drive)
    , m_disc(disc)
    , m_fileName(fileName)
    , m_form(form)
{
}

TScanThread::~TScanThread()
{
    RequestStop();
    wait();
}

void TScanThread::postStatus(const QString& text)
{
    QMetaObject::invokeMethod(
        m_form, [form = m_form, text] { form->SetStatus(text); }, Qt::QueuedConnection);
}

void TScanThread::run()
{
    // Nothing thrown may leave the thread: a failure is a recording without success.
    try {
        QMetaObject::invokeMethod(
            m_form, [form = m_form] { form->SetCancelEnabled(true); }, Qt::QueuedConnection);
        m_bytes = 0;
        postStatus(QStringLiteral("Opening destination File.."));
        const QByteArray path = m_fileName.toUtf8();
        if (ktbOpen(m_scratch, path.constData(), KTB_OPEN_CREATE) != KTB_OK) {
            return;
        }
        postStatus(QStringLiteral("Scanning.."));
        const TKTBERROR result = ktbRecordDrive(m_scratch, m_drive, m_disc, this, ScanProgress);
        m_success.store(result == KTB_OK);
        // The last state of the walk, whatever the time since the last report.
        if (m_reported) {
            report(nullptr);
        }
        QMetaObject::invokeMethod(
            m_form, [form = m_form] { form->SetCancelEnabled(false); }, Qt::QueuedConnection);
        postStatus(QStringLiteral("Closing up.."));
        ktbClose(m_scratch);
    } catch (...) {
        m_success.store(false);
        ktbClose(m_scratch);
    }
}

bool TScanThread::Progress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry)
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

void TScanThread::report(const char* path)
{
    if (path != nullptr) {
        m_lastPath = QString::fromUtf8(path);
    }
    m_reported = true;
    ++m_reports;
    const int percent = ScanPercentage(m_bytes, m_disc.Used);
    QMetaObject::invokeMethod(
        m_form, [form = m_form, where = m_lastPath, percent] { form->SetProgress(where, percent); },
        Qt::QueuedConnection);
}

bool ScanProgress(std::uint8_t kind, const char* path, const TKTBDirEntry* entry, void* worker)
{
    return static_cast<TScanThread*>(worker)->Progress(kind, path, entry);
}

int ScanPercentage(std::uint64_t bytes, std::int64_t used)
{
    if (used <= 0) {
        return bytes > 0 ? 100 : 0;
    }
    const double share = static_cast<double>(bytes) / static_cast<double>(used) * 100.0;
    return share >= 100.0 ? 100 : static_cast<int>(share);
}

// ---------------------------------------------------------------------------------------------
// Window

TScanProgressForm::TScanProgressForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ScanProgressForm"));
    setWindowTitle(QStringLiteral("Scanning Disc Drive..."));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    Label1 = new QLabel(QStringLiteral("Scanning"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    label_path = new QLabel(this);
    label_path->setObjectName(QStringLiteral("label_path"));
    label_path->setTextFormat(Qt::PlainText);
    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setEnabled(false);
    layout->addWidget(Label1);
    layout->addWidget(ProgressBar1);
    layout->addWidget(label_path);
    layout->addSpacing(6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(420, sizeHint().height());
    connect(Button1, &QPushButton::clicked, this, &TScanProgressForm::Button1Click);
}

TScanProgressForm::~TScanProgressForm()
{
    if (m_worker != nullptr) {
        m_worker->RequestStop();
        m_worker->wait();
    }
}

bool TScanProgressForm::StartScan(const QString& fileName, char drive, const TKTBDisc& disc)
{
    m_worker = std::make_unique<TScanThread>(this, fileName, drive, disc);
    connect(m_worker.get(), &QThread::finished, this, &TScanProgressForm::workerFinished, Qt::QueuedConnection);
    m_worker->start();
    const int result = exec();
    // The window ends only through the worker's end, so the worker is done here.
    m_worker->wait();
    return result == QDialog::Accepted;
}

void TScanProgressForm::workerFinished()
{
    if (m_worker == nullptr) {
        return;
    }
    m_worker->wait();
    QDialog::done(m_worker->Success() ? QDialog::Accepted : QDialog::Rejected);
}

void TScanProgressForm::SetStatus(const QString& text) { Label1->setText(text); }

void TScanProgressForm::SetProgress(const QString& path, int percent)
{
    if (path != m_path) {
        m_path = path;
        label_path->setText(label_path->fontMetrics().elidedText(path, Qt::ElideMiddle, label_path->width()));
        label_path->setToolTip(path);
    }
    ProgressBar1->setValue(percent);
    emit progressApplied();
}

void TScanProgressForm::SetCancelEnabled(bool enabled) { Button1->setEnabled(enabled); }

void TScanProgressForm::Button1Click()
{
    if (m_worker != nullptr && Button1->isEnabled()) {
        m_worker->RequestStop();
    }
}

void TScanProgressForm::reject()
{
    // Escape: the same as the button; the worker's end closes the window.
    if (m_worker != nullptr) {
        m_worker->RequestStop();
    }
}

void TScanProgressForm::closeEvent(QCloseEvent* event)
{
    if (m_worker == nullptr) {
        QDialog::closeEvent(event);
        return;
    }
    // The worker's end notice closes the window with its result.
    m_worker->RequestStop();
    event->ignore();
}
