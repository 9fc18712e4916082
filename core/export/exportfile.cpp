#include "core/export/exportfile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/file.h>
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

namespace {

constexpr std::size_t s_randomLength = 6; ///< as mkstemp's XXXXXX

bool isRandomPart(std::string_view text)
{
    return text.size() == s_randomLength && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

/// Removes the hidden files of exports of the same target that were killed: files of the user's whose
/// name is the prefix and six letters or digits, and that no running export holds locked.
void removeLeftFiles(const std::string& folder, const std::string& prefix)
{
    DIR* listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const int folderDescriptor = ::dirfd(listing);
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name(entry->d_name);
        if (!name.starts_with(prefix) || !isRandomPart(name.substr(prefix.size()))) {
            continue;
        }
        struct stat status { };
        if (::fstatat(folderDescriptor, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode)
            || status.st_uid != ::geteuid()) {
            continue;
        }
        const int descriptor
            = ::openat(folderDescriptor, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (descriptor < 0) {
            continue;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(folderDescriptor, entry->d_name, 0);
        }
        ::close(descriptor);
    }
    ::closedir(listing);
}

} // namespace

bool ExportFile::open()
{
    if (m_toStandardOutput) {
        return true;
    }
    const QFileInfo target(m_path);
    if (target.isDir()) {
        return fail(m_path, EISDIR);
    }
    // Beside the target: the file's name is given on the same file system.
    m_folder = QFile::encodeName(target.absolutePath()).toStdString();
    m_hiddenPrefix = "." + QFile::encodeName(target.fileName()).toStdString() + ".";
    removeLeftFiles(m_folder, m_hiddenPrefix);
    // The mode asked for goes through the umask: an export is an ordinary file of the user's.
    int descriptor = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        // A file system without unnamed files: a hidden name, held locked while this export runs.
        std::string pattern = m_folder + "/" + m_hiddenPrefix + std::string(s_randomLength, 'X');
        descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0) {
            return fail(target.absolutePath(), errno);
        }
        m_temporaryPath = pattern;
        // mkstemp makes the file private.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(descriptor, 0666 & ~mask);
    }
    // The lock stays with the file when it gets a name.
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    m_descriptor = descriptor;
    return true;
}

int ExportFile::linkTo(const char* path) const
{
    // An open file is linked by its name under /proc; without /proc, root may link it by descriptor.
    const std::string self = "/proc/self/fd/" + std::to_string(m_descriptor);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT || ::access("/proc/self/fd", F_OK) == 0) {
        return errno;
    }
    return ::linkat(m_descriptor, "", AT_FDCWD, path, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int ExportFile::linkHidden()
{
    std::random_device device;
    std::mt19937 random(device());
    static constexpr char s_letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        std::string path = m_folder + "/" + m_hiddenPrefix;
        for (std::size_t i = 0; i < s_randomLength; ++i) {
            path += s_letters[random() % (sizeof s_letters - 1)];
        }
        error = linkTo(path.c_str());
        if (error == 0) {
            m_temporaryPath = path;
        }
    }
    return error;
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
    // An unnamed file takes the target's name at once where nothing has it yet, else a hidden name
    // that is then renamed over the target. The file stays open, and so locked, until it is named.
    if (m_temporaryPath.empty() && linkTo(target.constData()) != 0) {
        if (const int error = linkHidden(); error != 0) {
            abandon();
            return fail(m_path, error);
        }
    }
    if (!m_temporaryPath.empty() && ::rename(m_temporaryPath.c_str(), target.constData()) != 0) {
        const int error = errno;
        abandon();
        return fail(m_path, error);
    }
    ::close(m_descriptor);
    m_descriptor = -1;
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
