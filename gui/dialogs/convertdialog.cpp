#include "gui/dialogs/convertdialog.h"

#include "core/common/questions.h"
#include "engine/ktb_comp.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds s_reportInterval { 100 };
constexpr std::int64_t s_bytesPerStep = 10000;

QByteArray localPath(const QString& path) { return QFile::encodeName(path); }

bool exists(const QString& path)
{
    struct stat status { };
    return ::lstat(localPath(path).constData(), &status) == 0;
}

/// Renames without ever replacing a file at to; false with errno EEXIST when one is there.
bool renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = localPath(from);
    const QByteArray target = localPath(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: look first, then rename.
    if (exists(to)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(source.constData(), target.constData()) == 0;
}

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

void convertProgress(std::uint32_t, std::uint32_t oldPosition, std::uint8_t, void* userData, bool& cancel)
{
    static_cast<ConvertWorker*>(userData)->progress(oldPosition, cancel);
}

} // namespace

QString conversionTemporaryName(const QString& filesetPath)
{
    const QString folder = QFileInfo(filesetPath).absolutePath() + QLatin1Char('/');
    for (int n = 0;; ++n) {
        const QString candidate = folder + QStringLiteral("conv") + QString::number(n) + QStringLiteral(".tmp");
        if (!exists(candidate)) {
            return candidate;
        }
    }
}

QString conversionBackupName(const QString& filesetPath)
{
    const QString first = filesetPath + QStringLiteral(".v02");
    QString candidate = first;
    for (int n = 1; exists(candidate); ++n) {
        candidate = first + QLatin1Char('.') + QString::number(n);
    }
    return candidate;
}

// ---------------------------------------------------------------------------------------------
// Worker

ConvertWorker::ConvertWorker(ConvertDialog* form, const QString& olderPath, const QString& temporaryPath)
    : m_form(form)
    , m_olderPath(olderPath)
    , m_temporaryPath(temporaryPath)
{
}

ConvertWorker::~ConvertWorker()
{
    requestStop();
    wait();
}

void ConvertWorker::run()
{
    // Nothing thrown may leave the thread: a failure is a conversion without success.
    try {
        const qint64 size = QFileInfo(m_olderPath).size();
        const int maximum = static_cast<int>(std::max<qint64>(1, size / s_bytesPerStep));
        QMetaObject::invokeMethod(
            m_form, [form = m_form, maximum] { form->setMaximum(maximum); }, Qt::QueuedConnection);
        const QByteArray older = localPath(m_olderPath);
        const QByteArray temporary = localPath(m_temporaryPath);
        const TKTBERROR result = ktbConvertOlder(older.constData(), temporary.constData(), convertProgress, this);
        if (result != KTB_OK) {
            // The engine has deleted its partial file already.
            if (result != KTB_ERR_INTERRUPTED) {
                m_failure = QString::fromLatin1(ktbErrorName(result));
            }
            return;
        }
        replaceOlderFile();
    } catch (...) {
        ::unlink(localPath(m_temporaryPath).constData());
        m_failure = QStringLiteral("Unknown error");
        m_success.store(false);
    }
}

void ConvertWorker::replaceOlderFile()
{
    const QByteArray temporary = localPath(m_temporaryPath);
    // A backup of an earlier conversion keeps its name; this one takes the first free name.
    QString backup = conversionBackupName(m_olderPath);
    while (!renameNoReplace(m_olderPath, backup)) {
        if (errno != EEXIST) {
            m_failure = QStringLiteral("The file cannot be renamed to ") + QLatin1Char('"') + backup + QLatin1Char('"')
                + QStringLiteral(": ") + systemError(errno);
            ::unlink(temporary.constData());
            return;
        }
        backup = conversionBackupName(m_olderPath);
    }
    if (::rename(temporary.constData(), localPath(m_olderPath).constData()) != 0) {
        const int error = errno;
        // The older file goes back where it was.
        ::rename(localPath(backup).constData(), localPath(m_olderPath).constData());
        ::unlink(temporary.constData());
        m_failure = QStringLiteral("The converted file cannot take its place: ") + systemError(error);
        return;
    }
    m_success.store(true);
}

void ConvertWorker::progress(std::uint32_t oldPosition, bool& cancel)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastReport >= s_reportInterval) {
        m_lastReport = now;
        const int position = static_cast<int>(oldPosition / s_bytesPerStep);
        QMetaObject::invokeMethod(
            m_form, [form = m_form, position] { form->setPosition(position); }, Qt::QueuedConnection);
    }
    if (m_stop.load(std::memory_order_relaxed)) {
        cancel = true;
    }
}

// ---------------------------------------------------------------------------------------------
// Window

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
    m_worker = std::make_unique<ConvertWorker>(this, path, temporary);
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
