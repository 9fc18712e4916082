#include "gui/dialogs/convertworker.h"

#include "engine/ktb_comp.h"
#include "engine/ktb_fileio.h"

#include <QFile>
#include <QFileInfo>
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

ConvertWorker::ConvertWorker(const QString& olderPath, const QString& temporaryPath, QObject* parent)
    : QThread(parent)
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
        emit progressRangeKnown(maximum);
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
        ktbIoRemove(localPath(m_temporaryPath).constData());
        m_failure = QStringLiteral("Unknown error");
        m_success.store(false);
    }
}

void ConvertWorker::replaceOlderFile()
{
    const QByteArray temporary = localPath(m_temporaryPath);
    const QByteArray older = localPath(m_olderPath);
    // A backup of an earlier conversion keeps its name; this one takes the first free name.
    // The backup name is a second link to the older file, and the converted file then replaces the first
    // name in one rename: a crash at any moment leaves the older or the converted file under the
    // fileset's name. Where a file system keeps one name a file, the older file is renamed instead.
    QString backup = conversionBackupName(m_olderPath);
    bool linked = true;
    while (!(linked ? ktbIoLink(older.constData(), localPath(backup).constData())
                    : ktbIoRename(older.constData(), localPath(backup).constData(), false))) {
        if (linked && ktbLinksRefused(errno)) {
            linked = false;
            continue;
        }
        if (errno != EEXIST) {
            m_failure = QStringLiteral("The file cannot be renamed to ") + QLatin1Char('"') + backup + QLatin1Char('"')
                + QStringLiteral(": ") + systemError(errno);
            ktbIoRemove(temporary.constData());
            return;
        }
        backup = conversionBackupName(m_olderPath);
    }
    if (!ktbIoRename(temporary.constData(), older.constData())) {
        const int error = errno;
        if (linked) {
            // The older file never left its name.
            ktbIoRemove(localPath(backup).constData());
        } else {
            // The older file goes back where it was.
            ktbIoRename(localPath(backup).constData(), older.constData());
        }
        ktbIoRemove(temporary.constData());
        m_failure = QStringLiteral("The converted file cannot take its place: ") + systemError(error);
        return;
    }
    // The renamings reach the disk before the conversion counts as done.
    ktbIoSyncFolder(older.constData());
    m_success.store(true);
}

void ConvertWorker::progress(std::uint32_t oldPosition, bool& cancel)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastReport >= s_reportInterval) {
        m_lastReport = now;
        emit progressChanged(static_cast<int>(oldPosition / s_bytesPerStep));
    }
    if (m_stop.load(std::memory_order_relaxed)) {
        cancel = true;
    }
}
