#include "tests/support/crashharness.h"

#include "engine/ktb_fileio.h"
#include "tests/support/tempfolder.h"

#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ino_t inodeOf(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

} // namespace

CrashHarness::CrashHarness(std::string folder)
    : m_folder(std::move(folder))
{
    keepNames();
    for (const auto& [name, inode] : m_names) {
        m_synced[inode] = readFileBytes(m_folder + name);
    }
    ktbSetIoHook(&CrashHarness::hook, this);
}

CrashHarness::~CrashHarness() { ktbSetIoHook(nullptr, nullptr); }

bool CrashHarness::watched(const char* path) const
{
    const std::string text = path;
    return text.size() > m_folder.size() && text.compare(0, m_folder.size(), m_folder) == 0
        && text.find('/', m_folder.size()) == std::string::npos;
}

void CrashHarness::keepNames()
{
    m_names.clear();
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        if (entry.is_regular_file()) {
            const std::string name = entry.path().filename().string();
            m_names[name] = inodeOf(m_folder + name);
        }
    }
}

bool CrashHarness::hook(TKTBIoCall call, const char* path, const char*, void* harness)
{
    auto& self = *static_cast<CrashHarness*>(harness);
    if (call == TKTBIoCall::Lock) {
        return true; // taking a lock writes nothing: no crash there can leave anything behind
    }
    ++self.m_calls;
    if (self.m_stopAt != 0 && self.m_calls >= self.m_stopAt) {
        return false;
    }
    if (call == TKTBIoCall::Sync && self.watched(path)) {
        self.m_synced[inodeOf(path)] = readFileBytes(path);
    } else if (call == TKTBIoCall::SyncFolder && self.watched(path)) {
        self.keepNames();
    }
    return true;
}

void CrashHarness::cutPower()
{
    for (const auto& entry : std::filesystem::directory_iterator(m_folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && m_names.count(name) == 0) {
            ::unlink((m_folder + name).c_str());
        }
    }
    for (const auto& [name, inode] : m_names) {
        const auto synced = m_synced.find(inode);
        // A file whose name reached the disk but whose bytes never did is empty.
        const std::string bytes = synced != m_synced.end() ? synced->second : std::string();
        ::unlink((m_folder + name).c_str());
        writeFileBytes(m_folder + name, bytes);
    }
}

FolderSyncFailure::FolderSyncFailure() { ktbSetIoHook(&FolderSyncFailure::hook, this); }

FolderSyncFailure::~FolderSyncFailure() { ktbSetIoHook(nullptr, nullptr); }

bool FolderSyncFailure::hook(TKTBIoCall call, const char* path, const char*, void* self)
{
    auto& failure = *static_cast<FolderSyncFailure*>(self);
    if (call == TKTBIoCall::Remove && std::string_view(path).ends_with("-journal")) {
        failure.m_committed = true;
    }
    if (call == TKTBIoCall::SyncFolder && failure.m_committed) {
        ++failure.m_failed;
        return false;
    }
    return true;
}
