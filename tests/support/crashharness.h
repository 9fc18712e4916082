#pragma once
// Crashes a change on purpose. Every change of a catalog goes through the engine's I/O seam; the
// harness counts its calls and makes the k-th and every later one fail, as if the process had died
// right there. It also keeps what the disk holds for sure in one folder: a file's bytes as of its last
// sync, and the folder's names as of its last sync. cutPower() puts the folder back to exactly that,
// as a power cut would.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>

enum class TKTBIoCall : std::uint8_t;

class CrashHarness {
public:
    /// Watches the files of folder (a path ending in "/") and counts from now; the whole process's seam
    /// goes through it until it is gone.
    explicit CrashHarness(std::string folder);
    ~CrashHarness();
    CrashHarness(const CrashHarness&) = delete;
    CrashHarness& operator=(const CrashHarness&) = delete;

    /// Makes call number call (1 is the first) and every one after it fail; 0 lets every call pass. Locks
    /// are not counted: taking one writes nothing.
    void stopAt(std::size_t call) { m_stopAt = call; }
    /// The calls seen so far, the failed ones included.
    std::size_t calls() const { return m_calls; }
    /// Puts the folder back to what was last synced: files and names never synced are gone, the
    /// others hold their bytes as of their last sync.
    void cutPower();

private:
    static bool hook(TKTBIoCall call, const char* path, const char* second, void* harness);
    bool watched(const char* path) const;
    void keepNames();

    std::string m_folder;
    std::size_t m_stopAt = 0;
    std::size_t m_calls = 0;
    std::map<std::string, ino_t> m_names; ///< the folder's names as last synced
    std::map<ino_t, std::string> m_synced; ///< each file's bytes as last synced
};

/// A disk that stops confirming its folders once a change has committed: every folder sync after the
/// first removal of a journal fails, everything else goes through. The whole process's seam goes
/// through it until it is gone.
class FolderSyncFailure {
public:
    FolderSyncFailure();
    ~FolderSyncFailure();
    FolderSyncFailure(const FolderSyncFailure&) = delete;
    FolderSyncFailure& operator=(const FolderSyncFailure&) = delete;

    /// The folder syncs that failed.
    std::size_t failed() const { return m_failed; }

private:
    static bool hook(TKTBIoCall call, const char* path, const char* second, void* self);

    bool m_committed = false;
    std::size_t m_failed = 0;
};
