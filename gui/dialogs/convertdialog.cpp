#include "gui/dialogs/convertdialog.h"

#include "core/common/questions.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

ConvertDialog::ConvertDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("convertDialog"));
    setWindowTitle(QStringLiteral("KTB Convert"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setTextFormat(Qt::PlainText);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    layout->addWidget(progressBar);
    layout->addWidget(statusLabel);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(321, 138);
    connect(cancelButton, &QPushButton::clicked, this, &ConvertDialog::onCancelClicked);
}

ConvertDialog::~ConvertDialog()
{
    if (m_worker != nullptr) {
        m_worker->requestStop();
        m_worker->wait();
    }
}

int ConvertDialog::convert(const QString& path)
{
    const QString temporary = conversionTemporaryName(path);
    statusLabel->setText(QFileInfo(path).fileName());
    m_worker = std::make_unique<ConvertWorker>(path, temporary);
    connect(m_worker.get(), &ConvertWorker::progressRangeKnown, this, &ConvertDialog::setMaximum, Qt::QueuedConnection);
    connect(m_worker.get(), &ConvertWorker::progressChanged, this, &ConvertDialog::setPosition, Qt::QueuedConnection);
    connect(m_worker.get(), &QThread::finished, this, &ConvertDialog::workerFinished, Qt::QueuedConnection);
    connect(m_worker.get(), &QThread::started, this, &ConvertDialog::conversionStarted, Qt::QueuedConnection);
    m_worker->start();
    const int result = exec();
    m_worker->wait();
    return result;
}

void ConvertDialog::workerFinished()
{
    if (m_worker == nullptr) {
        return;
    }
    m_worker->wait();
    QDialog::done(m_worker->succeeded() ? 1 : 2);
}

void ConvertDialog::setMaximum(int maximum) { progressBar->setMaximum(maximum); }

void ConvertDialog::setPosition(int position) { progressBar->setValue(std::min(position, progressBar->maximum())); }

void ConvertDialog::onCancelClicked() { handleClose(); }

void ConvertDialog::reject() { handleClose(); }

void ConvertDialog::handleClose()
{
    // The worker's end closes the window with its result.
    if (m_worker != nullptr) {
        m_worker->requestStop();
    }
}

void ConvertDialog::closeEvent(QCloseEvent* event)
{
    if (m_worker == nullptr) {
        QDialog::closeEvent(event);
        return;
    }
    handleClose();
    event->ignore();
}

int convertFilesetInPlace(const QString& path)
{
    ConvertDialog form;
    const int result = form.convert(path);
    if (result != 1 && form.worker() != nullptr && !form.worker()->failure().isEmpty()) {
        questions().messageBox(QStringLiteral("The Fileset ") + QLatin1Char('"') + path + QLatin1Char('"')
                + QStringLiteral(" could not be converted.") + QStringLiteral("\r\n") + form.worker()->failure(),
            QStringLiteral("KTB Convert"), MessageIcon::Error, OkButton, true);
    }
    return result == 1 ? 1 : 2;
}
