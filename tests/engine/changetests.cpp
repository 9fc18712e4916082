// Changes seen from outside: readers in another process during a writer's changes, readers on a file
// system without byte-range locks, a reader of a change a crash cut short, and a failed append taken
// back at once.
#include "engine/ktb_discs.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"
#include "tests/engine/enginefixture.h"
#include "tests/support/crashharness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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
        // A failure the copy got past (a growth tried again) leaves the disc appended; any other is cut
        // back at once, except the very last, the sync of the folder once the journal is gone.
        const bool appended = readFileBytes(path).size() > KTB_HEADER_SIZE;
        EXPECT_EQ(appended, code == KTB_OK || failing == calls);
        const TKTBERROR again = ktbCopyDisc(source, empty, 256, newOffset);
        EXPECT_EQ(again, appended ? KTB_ERR_DISCEXISTS : KTB_OK) << "the handle goes on";
        ktbClose(empty);
    }
}

} // namespace
