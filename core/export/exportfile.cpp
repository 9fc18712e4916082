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

ExportFile::~ExportFile() { abandon(); }

bool ExportFile::fail(const QString& file, int error)
{
    if (m_ok) {
        m_error = file + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    }
    m_ok = false;
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

bool ExportFile::flush()
{
    if (!m_ok) {
        m_buffer.clear();
        return false;
    }
    std::size_t written = 0;
    while (written < m_buffer.size()) {
        const ssize_t count = ::write(m_descriptor, m_buffer.data() + written, m_buffer.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            m_buffer.clear();
            return fail(m_toStandardOutput ? QStringLiteral("standard output") : m_path, count < 0 ? errno : ENOSPC);
        }
        written += static_cast<std::size_t>(count);
    }
    m_buffer.clear();
    return true;
}

bool ExportFile::commit()
{
    if (!flush()) {
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
