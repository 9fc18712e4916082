#include "gui/scan/scanprogressdialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

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

bool ScanProgressDialog::startScan(DiscRecording& recording, char drive, const TKTBDisc& disc)
{
    m_worker = std::make_unique<ScanWorker>(recording, drive, disc);
    ScanWorker* worker = m_worker.get();
    connect(worker, &ScanWorker::statusChanged, this, &ScanProgressDialog::setStatus, Qt::QueuedConnection);
    connect(worker, &ScanWorker::progressChanged, this, &ScanProgressDialog::setProgress, Qt::QueuedConnection);
    connect(
        worker, &ScanWorker::cancelEnabledChanged, this, &ScanProgressDialog::setCancelEnabled, Qt::QueuedConnection);
    connect(worker, &QThread::finished, this, &ScanProgressDialog::workerFinished, Qt::QueuedConnection);
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
