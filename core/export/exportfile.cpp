#include "core/export/exportfile.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ExportFile::ExportFile()
    : m_descriptor(STDOUT_FILENO)
    , m_toStandardOutput(true)
{
}

ExportFile::ExportFile(const QString& path)
    : m_path(path)
{
}

ExportFile::~ExportFile()
{
    if (m_writer.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_ending = true;
        }
        m_changed.notify_all();
        m_writer.join();
    }
    abandon();
}

bool ExportFile::fail(const QString& file, int error)
{
    std::lock_guard lock(m_mutex);
    if (m_ok) {
        m_error = file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    }
    m_ok.store(false, std::memory_order_release);
    return false;
}

bool ExportFile::open()
{
    if (m_toStandardOutput) {
        return true;
    }
    const QFileInfo target(m_path);
    if (target.isDir()) {
        return fail(m_path, EISDIR);
    }
    // A hidden name beside the target: the rename at the end stays on one file system.
    std::string pattern
        = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName()).toStdString() + ".XXXXXX";
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        return fail(target.absolutePath(), errno);
    }
    // mkstemp makes the file private; an export is an ordinary file of the user's.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    m_descriptor = descriptor;
    m_temporaryPath = pattern;
    return true;
}

bool ExportFile::writeAll(const ExportBuffer& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(m_descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return fail(m_toStandardOutput ? QStringLiteral("standard output") : m_path, count < 0 ? errno : ENOSPC);
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

void ExportFile::writeLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_handed || m_ending; });
        if (!m_handed) {
            return;
        }
        const bool sound = m_ok;
        lock.unlock();
        if (sound) {
            writeAll(m_writing);
        }
        lock.lock();
        m_writing.clear();
        m_handed = false;
        m_changed.notify_all();
    }
}

void ExportFile::waitForWriter()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_handed; });
}

bool ExportFile::flush()
{
    if (m_descriptor < 0 || !ok()) {
        m_buffer.clear();
        return false;
    }
    if (!m_writer.joinable()) {
        m_writer = std::thread([this] { writeLoop(); });
    }
    waitForWriter();
    {
        std::lock_guard lock(m_mutex);
        std::swap(m_buffer, m_writing);
        m_handed = true;
    }
    m_changed.notify_all();
    return ok();
}

bool ExportFile::commit()
{
    const bool flushed = flush();
    waitForWriter();
    if (!flushed || !ok()) {
        abandon();
        return false;
    }
    if (m_toStandardOutput) {
        return true;
    }
    if (m_descriptor < 0) {
        return fail(m_path, EBADF);
    }
    const QByteArray target = QFile::encodeName(m_path);
    if (::fsync(m_descriptor) != 0) {
        const int error = errno;
        abandon();
        return fail(m_path, error);
    }
    ::close(m_descriptor);
    m_descriptor = -1;
    if (::rename(m_temporaryPath.c_str(), target.constData()) != 0) {
        const int error = errno;
        abandon();
        return fail(m_path, error);
    }
    m_committed = true;
    const QByteArray folder = QFile::encodeName(QFileInfo(m_path).absolutePath());
    const int folderDescriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        ::fsync(folderDescriptor);
        ::close(folderDescriptor);
    }
    return true;
}

void ExportFile::abandon()
{
    waitForWriter();
    if (m_toStandardOutput || m_committed) {
        return;
    }
    if (m_descriptor >= 0) {
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    if (!m_temporaryPath.empty()) {
        ::unlink(m_temporaryPath.c_str());
        m_temporaryPath.clear();
    }
}
