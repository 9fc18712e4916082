// Changes seen from outside: readers in another process during a writer's changes, readers on a file
// system without byte-range locks, a reader of a change a crash cut short, and a failed append taken
// back at once.
#include "engine/ktb_comp.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"
#include "tests/engine/discs/oldercatalog.h"
#include "tests/engine/enginefixture.h"
#include "tests/support/crashharness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {

class ChangeTest : public EngineTest {
protected:
    /// Three discs of three files each, serials from first on; answers the catalog's path.
    std::string writeThreeDiscs(const std::string& name = "catalog.ktb", std::uint32_t first = 1)
    {
        CatalogBuilder catalog;
        for (std::uint32_t serial = first; serial < first + 3; ++serial) {
            catalog.beginDisc({ .serial = serial, .title = "CD " + std::to_string(serial) });
            catalog.beginFolder("f");
            for (int file = 0; file < 3; ++file) {
                catalog.addFile("file" + std::to_string(file) + ".dat", 100);
            }
            catalog.endFolder();
            catalog.endDisc();
        }
        return write(catalog, name);
    }
};

TEST_F(ChangeTest, ReadersInAnotherProcessSeeEveryWalkWholeWhileDiscsComeAndGo)
{
    const std::string path = writeThreeDiscs();
    const std::string spare = writeThreeDiscs("spare.ktb");
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        // Deletes the first disc and puts it back at the end, over and over: three discs or two.
        TKTBHandle* catalog = nullptr;
        TKTBHandle* source = nullptr;
        if (ktbOpen(catalog, path.c_str(), 0) != KTB_OK
            || ktbOpen(source, spare.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
            ::_exit(2);
        }
        for (int round = 0; round < 60; ++round) {
            TKTBDisc first {};
            if (!ktbReadDisc(catalog, 256, first) || ktbDeleteDisc(catalog, 256) != KTB_OK) {
                ::_exit(3);
            }
            TKTBEntity* inSpare = nullptr;
            std::uint32_t newOffset = 0;
            if (!ktbFindDiscBySerial(source, first.Serial, inSpare)
                || ktbCopyDisc(source, catalog, inSpare->Offset, newOffset) != KTB_OK) {
                ::_exit(4);
            }
            ktbFreeEntity(inSpare);
        }
        ::_exit(0);
    }
    TKTBHandle* reader = openPath(path, KTB_OPEN_READONLY);
    ASSERT_NE(reader, nullptr);
    int walks = 0;
    int status = 0;
    while (::waitpid(writer, &status, WNOHANG) == 0) {
        const Iteration walk = iterate(reader, 0);
        ++walks;
        ASSERT_EQ(walk.end, KTB_NOENTITIES) << "walk " << walks << " met a change half made";
        ASSERT_TRUE((walk.discs == 3 && walk.files == 9) || (walk.discs == 2 && walk.files == 6))
            << walk.discs << " discs, " << walk.files << " files in walk " << walks;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the writer failed: " << status;
    EXPECT_GT(walks, 0);
}

TEST_F(ChangeTest, AReaderOfAChangeACrashCutShortReadsTheStateBeforeIt)
{
    const std::string path = writeThreeDiscs();
    const std::string before = readFileBytes(path);
    std::size_t calls = 0;
    {
        const std::string probe = writeThreeDiscs("probe.ktb");
        CrashHarness harness(m_folder.path());
        TKTBHandle* catalog = openPath(probe);
        ASSERT_EQ(ktbDeleteDisc(catalog, 256), KTB_OK);
        calls = harness.calls();
    }
    for (std::size_t stop = 1; stop <= calls; ++stop) {
        ASSERT_TRUE(writeFileBytes(path, before));
        SCOPED_TRACE(stop);
        TKTBHandle* writer = nullptr;
        ASSERT_EQ(ktbOpen(writer, path.c_str(), 0), KTB_OK);
        TKTBERROR code = KTB_OK;
        {
            CrashHarness harness(m_folder.path());
            harness.stopAt(stop);
            code = ktbDeleteDisc(writer, 256);
        }
        // As far as the file is concerned, the writer's process is gone once its handle is closed.
        ktbClose(writer);
        const bool journalLeft = pathExists(ktbJournalPath(path));
        TKTBHandle* reader = nullptr;
        ASSERT_EQ(ktbOpen(reader, path.c_str(), KTB_OPEN_READONLY), KTB_OK);
        const Iteration walk = iterate(reader, 0);
        ktbClose(reader);
        EXPECT_EQ(walk.end, KTB_NOENTITIES);
        EXPECT_TRUE((walk.discs == 3 && walk.files == 9) || (walk.discs == 2 && walk.files == 6 && !journalLeft))
            << walk.discs << " discs, " << walk.files << " files";
        if (code == KTB_OK) {
            EXPECT_EQ(walk.discs, 2u);
        }
        ktbIoRemove(ktbJournalPath(path).c_str());
    }
}

/// The process behaves as on a file system without byte-range locks while it lives.
struct MissingRangeLocks {
    MissingRangeLocks() { ktbSetRangeLocksMissing(true); }
    ~MissingRangeLocks() { ktbSetRangeLocksMissing(false); }
    MissingRangeLocks(const MissingRangeLocks&) = delete;
    MissingRangeLocks& operator=(const MissingRangeLocks&) = delete;
};

TEST_F(ChangeTest, WithoutRangeLocksChangesGoAheadAndAWalkTheyCrossedFails)
{
    const std::string path = writeThreeDiscs();
    const std::string spare = writeThreeDiscs("spare.ktb", 10);
    const MissingRangeLocks noLocks;
    TKTBHandle* reader = openPath(path, KTB_OPEN_READONLY);
    TKTBHandle* writer = openPath(path);
    TKTBHandle* source = openPath(spare, KTB_OPEN_READONLY);
    ASSERT_TRUE(reader != nullptr && writer != nullptr && source != nullptr);

    // A walk that nothing crossed ends as usual.
    EXPECT_EQ(iterate(reader, 0).end, KTB_NOENTITIES);

    // The writer takes no lock, so it does not wait for the walk under way; the walk, which read the
    // file as it was, says at its end that the file changed under it.
    TKTBCursor* walk = ktbFindFirstAll(reader, 0);
    ASSERT_NE(walk, nullptr);
    std::uint32_t newOffset = 0;
    EXPECT_EQ(ktbCopyDisc(source, writer, 256, newOffset), KTB_OK);
    TKTBERROR end = KTB_OK;
    while ((end = ktbFindNext(walk)) == KTB_OK) { }
    ktbFindClose(walk);
    EXPECT_EQ(end, KTB_ERR_FILENOTAVAILABLE);

    // The next walk sees the disc the writer added.
    const Iteration after = iterate(reader, 0);
    EXPECT_EQ(after.end, KTB_NOENTITIES);
    EXPECT_EQ(after.discs, 4u);
}

/// Lets every call of the seam pass but one.
struct OneFailure {
    std::size_t failing;
    std::size_t seen = 0;
    static bool hook(TKTBIoCall, const char*, const char*, void* data)
    {
        auto& self = *static_cast<OneFailure*>(data);
        return ++self.seen != self.failing;
    }
};

TEST_F(ChangeTest, AFailedAppendIsCutBackAtOnceAndTheHandleGoesOn)
{
    TKTBHandle* source = openPath(writeThreeDiscs("spare.ktb"), KTB_OPEN_READONLY);
    ASSERT_NE(source, nullptr);
    const std::string path = m_folder.file("empty.ktb");
    std::size_t calls = 0;
    {
        OneFailure none { 0 };
        ktbSetIoHook(&OneFailure::hook, &none);
        ASSERT_TRUE(writeFileBytes(path, CatalogBuilder().bytes()));
        TKTBHandle* empty = nullptr;
        ASSERT_EQ(ktbOpen(empty, path.c_str(), 0), KTB_OK);
        const std::size_t opening = none.seen;
        std::uint32_t newOffset = 0;
        EXPECT_EQ(ktbCopyDisc(source, empty, 256, newOffset), KTB_OK);
        ktbSetIoHook(nullptr, nullptr);
        calls = none.seen - opening;
        ktbClose(empty);
    }
    // Each call of the copy in turn fails alone, as a full disk would make it.
    for (std::size_t failing = 1; failing <= calls; ++failing) {
        SCOPED_TRACE(failing);
        ASSERT_TRUE(writeFileBytes(path, CatalogBuilder().bytes()));
        TKTBHandle* empty = nullptr;
        ASSERT_EQ(ktbOpen(empty, path.c_str(), 0), KTB_OK);
        OneFailure failure { failing };
        ktbSetIoHook(&OneFailure::hook, &failure);
        std::uint32_t newOffset = 0;
        const TKTBERROR code = ktbCopyDisc(source, empty, 256, newOffset);
        ktbSetIoHook(nullptr, nullptr);
        EXPECT_FALSE(pathExists(ktbJournalPath(path)));
        // A failure the copy got past (a growth tried again, the sync of the folder once the journal is
        // gone: the change stands) leaves the disc appended; any other is cut back at once.
        const bool appended = readFileBytes(path).size() > KTB_HEADER_SIZE;
        EXPECT_EQ(appended, code == KTB_OK);
        const TKTBERROR again = ktbCopyDisc(source, empty, 256, newOffset);
        EXPECT_EQ(again, appended ? KTB_ERR_DISCEXISTS : KTB_OK) << "the handle goes on";
        ktbClose(empty);
    }
}

/// A catalog whose every disc a crashed change would cut: the journal of a change of an empty catalog,
/// cut short once the journal was on disk, put beside the catalog at path.
void plantEmptyingJournal(const std::string& folder, const std::string& path)
{
    const std::string empty = folder + "empty.ktb";
    ASSERT_TRUE(writeFileBytes(empty, CatalogBuilder().bytes()));
    TKTBHandle* handle = nullptr;
    ASSERT_EQ(ktbOpen(handle, empty.c_str(), 0), KTB_OK);
    {
        CrashHarness harness(folder);
        harness.stopAt(5); // the journal created, written, synced and its name synced: then the catalog
        ktbSetHeaderField(handle, KTB_HDR_NAME, "never");
    }
    ktbClose(handle);
    std::filesystem::rename(ktbJournalPath(empty), ktbJournalPath(path));
}

TEST_F(ChangeTest, AJournalOfAnotherUserIsNeverAppliedNorRemovedNorFollowed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user's file can only be made as root";
    }
    const std::string path = writeThreeDiscs();
    const std::string before = readFileBytes(path);
    const std::string journal = ktbJournalPath(path);
    const std::string target = m_folder.file("made-through-the-link");
    struct Planted {
        const char* what;
        std::function<void()> plant;
        uid_t owner;
        bool refused;
    };
    const std::vector<Planted> cases {
        { "a valid journal of another user", [&] { plantEmptyingJournal(m_folder.path(), path); }, 12345, true },
        { "a dangling link of another user", [&] { ASSERT_EQ(::symlink(target.c_str(), journal.c_str()), 0); }, 12345,
            true },
        { "a dangling link of root", [&] { ASSERT_EQ(::symlink(target.c_str(), journal.c_str()), 0); }, 0, false },
    };
    for (const Planted& planted : cases) {
        SCOPED_TRACE(planted.what);
        ASSERT_TRUE(writeFileBytes(path, before));
        planted.plant();
        ASSERT_EQ(::lchown(journal.c_str(), planted.owner, planted.owner), 0);
        ktbTakeJournalProblem();
        TKTBHandle* writer = nullptr;
        const TKTBERROR opened = ktbOpen(writer, path.c_str(), 0);
        const TKTBJournalProblem problem = ktbTakeJournalProblem();
        if (writer != nullptr) {
            EXPECT_EQ(ktbDeleteDisc(writer, 256), KTB_OK);
            ktbClose(writer);
        }
        EXPECT_FALSE(pathExists(target)) << "a journal is never made through a link";
        if (!planted.refused) {
            EXPECT_EQ(opened, KTB_OK);
            EXPECT_FALSE(pathExists(journal));
            continue;
        }
        EXPECT_EQ(opened, KTB_ERR_FILENOTAVAILABLE);
        EXPECT_EQ(problem.Trouble, TKTBJournalTrouble::ForeignOwner);
        EXPECT_EQ(problem.Path, journal);
        EXPECT_EQ(problem.Owner, 12345u);
        EXPECT_EQ(readFileBytes(path), before);
        struct stat status { };
        EXPECT_EQ(::lstat(journal.c_str(), &status), 0) << "another user's journal is not removed";
        // Readers read the catalog as it stands.
        TKTBHandle* reader = openPath(path, KTB_OPEN_READONLY);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(iterate(reader, 0).discs, 3u);
        ::unlink(journal.c_str());
    }
}

TEST_F(ChangeTest, AJournalLargerThanTheCatalogCanMakeItIsDamageThatIsNeverReadWhole)
{
    const std::string path = writeThreeDiscs();
    const std::string before = readFileBytes(path);
    const std::string journal = ktbJournalPath(path);
    ASSERT_TRUE(writeFileBytes(journal, "KTBJRNL1"));
    ASSERT_EQ(::truncate(journal.c_str(), 30ll << 30), 0) << "a sparse file of 30 GiB";
    TKTBHandle* writer = nullptr;
    EXPECT_EQ(ktbOpen(writer, path.c_str(), 0), KTB_ERR_FILENOTAVAILABLE);
    const TKTBJournalProblem problem = ktbTakeJournalProblem();
    EXPECT_EQ(problem.Trouble, TKTBJournalTrouble::TooLarge);
    EXPECT_EQ(problem.Path, journal);
    EXPECT_TRUE(pathExists(journal));
    TKTBHandle* reader = openPath(path, KTB_OPEN_READONLY);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(iterate(reader, 0).discs, 3u);
    EXPECT_EQ(readFileBytes(path), before);
    ::unlink(journal.c_str());
}

/// The permission bits of every file the seam syncs, as it syncs it.
struct SyncedModes {
    std::map<std::string, unsigned> modes;
    static bool hook(TKTBIoCall call, const char* path, const char*, void* data)
    {
        struct stat status { };
        if (call == TKTBIoCall::Sync && ::stat(path, &status) == 0) {
            static_cast<SyncedModes*>(data)->modes[path] = status.st_mode & 0777;
        }
        return true;
    }
};

TEST_F(ChangeTest, JournalsAndCatalogsBeingBuiltAreNoMoreOpenThanTheirCatalog)
{
    for (const unsigned mode : { 0600u, 0640u }) {
        SCOPED_TRACE(mode);
        const std::string path = writeThreeDiscs("m" + std::to_string(mode) + ".ktb");
        const std::string older = m_folder.file("older" + std::to_string(mode));
        const std::string converted = m_folder.file("converted" + std::to_string(mode) + ".ktb");
        ASSERT_TRUE(writeFileBytes(older, OlderCatalog("Anna", "Old", dayCount(2001, 2, 3)).bytes()));
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_EQ(::chmod(older.c_str(), mode), 0);
        SyncedModes synced;
        ktbSetIoHook(&SyncedModes::hook, &synced);
        TKTBHandle* writer = openPath(path);
        ASSERT_NE(writer, nullptr);
        EXPECT_EQ(ktbDeleteDisc(writer, 256), KTB_OK);
        EXPECT_EQ(ktbConvertOlder(older.c_str(), converted.c_str(), nullptr, nullptr), KTB_OK);
        ktbSetIoHook(nullptr, nullptr);
        EXPECT_EQ(synced.modes.count(ktbJournalPath(path)), 1u);
        EXPECT_EQ(synced.modes.count(ktbJournalPath(converted + "-building")), 1u);
        for (const auto& [file, synced] : synced.modes) {
            EXPECT_EQ(synced, mode) << file;
        }
    }
    const std::string scratch = m_folder.file("scratch.ktb");
    TKTBHandle* recording = nullptr;
    ASSERT_EQ(ktbOpen(recording, scratch.c_str(), KTB_OPEN_CREATE | KTB_OPEN_SCRATCH), KTB_OK);
    ktbClose(recording);
    struct stat status { };
    ASSERT_EQ(::stat(scratch.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u) << "a scratch catalog is the recording's alone";
}

TEST_F(ChangeTest, AWriterWaitsForTheLockOfAProcessOnItsWayOut)
{
    const std::string path = writeThreeDiscs();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        TKTBHandle* held = nullptr;
        if (ktbOpen(held, path.c_str(), 0) != KTB_OK || ::write(ready[1], "x", 1) != 1) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    // The holder is killed just as the next writer tries the lock: it holds it a moment longer.
    struct Killer {
        pid_t pid;
        static bool hook(TKTBIoCall call, const char*, const char*, void* data)
        {
            auto& self = *static_cast<Killer*>(data);
            if (call == TKTBIoCall::Lock && self.pid > 0) {
                ::kill(std::exchange(self.pid, 0), SIGKILL);
            }
            return true;
        }
    } killer { holder };
    ktbSetIoHook(&Killer::hook, &killer);
    TKTBHandle* writer = nullptr;
    const TKTBERROR opened = ktbOpen(writer, path.c_str(), 0);
    ktbSetIoHook(nullptr, nullptr);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(opened, KTB_OK);
    ktbClose(writer);
}

} // namespace
