#include "core/catalog/scratchcatalog.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// Whether a process with this id is running.
bool processAlive(pid_t pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno != ESRCH); }

/// Removes the scratch folders of recordings that ended without cleaning up: folders of ours whose
/// process is gone, or that carry our own process id from an earlier process.
void removeLeftovers(const QString& temporaryFolder, const QString& prefix)
{
    const QDir folder(temporaryFolder);
    const QStringList names = folder.entryList(
        { prefix + QStringLiteral("*") }, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    for (const QString& name : names) {
        const QString rest = name.mid(prefix.size());
        bool isNumber = false;
        const long long pid = rest.section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
        if (!isNumber || (pid != ::getpid() && processAlive(static_cast<pid_t>(pid)))) {
            continue;
        }
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat status { };
        if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::getuid()) {
            continue;
        }
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(path.constData()), ignored);
    }
}

} // namespace

ScratchCatalog::ScratchCatalog(const ScratchLayout& layout)
    : m_fileName(QFile::encodeName(layout.fileName))
{
    QString name = layout.folderPrefix;
    if (layout.perProcess) {
        removeLeftovers(layout.temporaryFolder, layout.folderPrefix);
        name += QString::number(::getpid()) + QLatin1Char('-');
    }
    QByteArray pattern = QFile::encodeName(QDir(layout.temporaryFolder).filePath(name + QStringLiteral("XXXXXX")));
    if (::mkdtemp(pattern.data()) != nullptr) {
        m_folder = pattern;
    }
}

ScratchCatalog::~ScratchCatalog()
{
    if (m_folder.isEmpty()) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(m_folder.constData()), ignored);
}

QByteArray ScratchCatalog::pathOf(const QByteArray& name) const
{
    return m_folder.isEmpty() ? QByteArray() : m_folder + '/' + name;
}
