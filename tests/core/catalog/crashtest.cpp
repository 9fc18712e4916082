// Every change of a catalog, stopped at every call of the engine's I/O seam, with and without a power
// cut after the stop: once the next writer has opened the catalogs, each holds exactly the state before
// the change or the state after it. A stop the harness cannot see (a store into the mapping, a write
// around the seam) or a missing sync shows here as a third state.
#include "core/catalog/catalogchanges.h"
#include "core/catalog/discrecording.h"
#include "engine/ktb_comp.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_journal.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"
#include "tests/engine/discs/oldercatalog.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/crashharness.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <unistd.h>

namespace {

/// The files of the catalog folder by name, with the Created and Modified stamps (which the clock sets)
/// blanked.
using FolderState = std::map<std::string, std::string>;

FolderState stateOf(const std::string& folder)
{
    FolderState state;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string bytes = readFileBytes(entry.path().string());
        if (bytes.size() >= KTB_HEADER_SIZE) {
            bytes.replace(KTB_HDR_OFS_CREATED, 4, 4, '\0');
            bytes.replace(KTB_HDR_OFS_MODIFIED, 4, 4, '\0');
        }
        state[entry.path().filename().string()] = bytes;
    }
    return state;
}

std::string describe(const FolderState& state)
{
    std::string text;
    for (const auto& [name, bytes] : state) {
        text += name + " (" + std::to_string(bytes.size()) + " bytes) ";
    }
    return text;
}

struct CrashCase {
    const char* name;
    /// Runs the change on the catalogs of the folder.
    std::function<void(const std::string& folder, DiscRecording& recording)> change;
};

void PrintTo(const CrashCase& operation, std::ostream* out) { *out << operation.name; }

class CrashTest : public ::testing::TestWithParam<CrashCase> {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder.file("tmp"));
        ASSERT_TRUE(writeDiscTree(m_folder.file("disc"), { { "a/one.dat", 10 }, { "a/two.dat", 20 }, { "b.txt", 5 } }));
        auto table = std::make_unique<PathDriveTable>();
        table->setDrive('D', m_folder.file("disc"));
        setDriveTable(std::move(table));
        ASSERT_TRUE(ktbDiscFromDrive('D', m_disc));
        // One recording serves every run: transplanting only reads its scratch catalog.
        m_recording = std::make_unique<DiscRecording>(ScratchLayout { QString::fromStdString(m_folder.file("tmp")),
            QStringLiteral("crash-"), QStringLiteral("_temp.ktb"), false });
        ASSERT_EQ(m_recording->create(), KTB_OK);
        ASSERT_EQ(m_recording->record('D', m_disc), KTB_OK);
    }
    void TearDown() override
    {
        m_recording.reset();
        setDriveTable(nullptr);
    }

    /// A fresh catalog folder: "music.ktb" (a disc with folders, the older entry of the disc in drive D,
    /// a third disc), "other.ktb" (one disc) and "older.ktb" of the older format.
    std::string freshFolder()
    {
        const std::string folder = m_folder.file("run" + std::to_string(m_runs++) + "/");
        std::filesystem::create_directories(folder);
        CatalogBuilder music;
        music.setOwner("Anna").setName("Music");
        music.beginDisc({ .serial = 0x1111, .title = "First" });
        music.beginFolder("Rock");
        music.addFile("song.mp3", 4000, 0);
        music.endFolder();
        music.endDisc();
        music.beginDisc({ .serial = m_disc.Serial, .title = "Old entry" });
        music.addFile("stale.txt", 1, 0);
        music.endDisc();
        music.addEmptyDisc({ .serial = 0x3333, .title = "Third" });
        EXPECT_TRUE(music.writeTo(folder + "music.ktb"));
        CatalogBuilder other;
        other.setOwner("Bo");
        other.beginDisc({ .serial = 0x2222, .title = "Other" });
        other.addFile("a.txt", 3, 0);
        other.endDisc();
        EXPECT_TRUE(other.writeTo(folder + "other.ktb"));
        OlderCatalog older("Cy", "Old set", dayCount(2001, 2, 3));
        older.disc({ .serial = 0x4444, .title = "Older disc", .scanTime = dayCount(2002, 3, 4) })
            .folder("x")
            .file("y.txt", 7, 0)
            .endFolder()
            .endDisc();
        EXPECT_TRUE(writeFileBytes(folder + "older.dat", older.bytes()));
        return folder;
    }

    /// Opens each catalog of the folder as a writer and closes it again: what the next writer does.
    static void reopen(const std::string& folder)
    {
        for (const char* name : { "music.ktb", "other.ktb", "new.ktb" }) {
            const std::string path = folder + name;
            if (pathExists(path)) {
                KtbHandlePtr handle;
                EXPECT_EQ(ktbOpenOwned(handle, path.c_str(), 0), KTB_OK) << path;
            }
        }
    }

    TempFolder m_folder;
    TKTBDisc m_disc {};
    std::unique_ptr<DiscRecording> m_recording;
    int m_runs = 0;
};

TEST_P(CrashTest, EveryStopLeavesTheStateBeforeOrAfter)
{
    const CrashCase& operation = GetParam();
    const std::string reference = freshFolder();
    const FolderState before = stateOf(reference);
    std::size_t calls = 0;
    {
        CrashHarness harness(reference);
        operation.change(reference, *m_recording);
        calls = harness.calls();
    }
    reopen(reference);
    const FolderState after = stateOf(reference);
    ASSERT_NE(before, after) << "the change changed nothing";
    ASSERT_GT(calls, 0u) << "the change went around the seam";

    // One stop past the last call: the change ran to its end, and after a power cut it must still be there.
    for (std::size_t stop = 1; stop <= calls + 1; ++stop) {
        for (const bool powerCut : { false, true }) {
            const std::string folder = freshFolder();
            {
                CrashHarness harness(folder);
                harness.stopAt(stop);
                operation.change(folder, *m_recording);
                if (powerCut) {
                    harness.cutPower();
                }
            }
            reopen(folder);
            FolderState state = stateOf(folder);
            // A catalog being built (created or converted) is not the catalog yet; the next creation removes it.
            std::erase_if(state, [](const auto& file) { return file.first.rfind("new.ktb-building", 0) == 0; });
            EXPECT_TRUE(state == after || (state == before && stop <= calls))
                << operation.name << " stopped at call " << stop << " of " << calls
                << (powerCut ? " with a power cut" : "") << ": " << describe(state) << "; before: " << describe(before)
                << "; after: " << describe(after);
        }
    }
}

/// The offset of the n-th disc (0 the first) of a catalog.
std::uint32_t discOffset(TKTBHandle* handle, int n)
{
    KtbCursorPtr cursor(ktbFindFirstAll(handle, KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES));
    for (int i = 0; cursor != nullptr && i < n; ++i) {
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            return 0;
        }
    }
    return cursor != nullptr && cursor->Current != nullptr ? cursor->Current->Offset : 0;
}

KtbHandlePtr writer(const std::string& folder, const char* name)
{
    KtbHandlePtr handle;
    ktbOpenOwned(handle, (folder + name).c_str(), 0);
    return handle;
}

void moveBetween(const std::string& folder, const char* from, int disc, const char* to)
{
    KtbHandlePtr source = writer(folder, from);
    KtbHandlePtr destination = writer(folder, to);
    if (source != nullptr && destination != nullptr) {
        moveDisc(source.get(), discOffset(source.get(), disc), destination.get());
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, CrashTest,
    ::testing::Values(CrashCase { "DeleteFirstDisc",
                          [](const std::string& folder, DiscRecording&) {
                              if (KtbHandlePtr music = writer(folder, "music.ktb")) {
                                  ktbDeleteDisc(music.get(), discOffset(music.get(), 0));
                              }
                          } },
        CrashCase { "MoveDiscOut",
            [](const std::string& folder, DiscRecording&) { moveBetween(folder, "music.ktb", 0, "other.ktb"); } },
        CrashCase { "MoveDiscIn",
            [](const std::string& folder, DiscRecording&) { moveBetween(folder, "other.ktb", 0, "music.ktb"); } },
        CrashCase { "AppendRecording",
            [](const std::string& folder, DiscRecording& recording) {
                if (KtbHandlePtr other = writer(folder, "other.ktb")) {
                    recording.transplant(other.get(), 0);
                }
            } },
        CrashCase { "Rescan",
            [](const std::string& folder, DiscRecording& recording) {
                if (KtbHandlePtr music = writer(folder, "music.ktb")) {
                    recording.transplant(music.get(), discOffset(music.get(), 1));
                }
            } },
        CrashCase { "RenameFileset",
            [](const std::string& folder, DiscRecording&) {
                if (KtbHandlePtr music = writer(folder, "music.ktb")) {
                    ktbSetHeaderField(music.get(), KTB_HDR_NAME, "Renamed");
                }
            } },
        CrashCase { "DiscProperties",
            [](const std::string& folder, DiscRecording&) {
                if (KtbHandlePtr music = writer(folder, "music.ktb")) {
                    TKTBDisc disc {};
                    std::strcpy(disc.Title, "New title");
                    std::strcpy(disc.Comment, "New comment");
                    ktbUpdateDisc(music.get(), discOffset(music.get(), 2), disc, KTB_DISC_TITLE | KTB_DISC_COMMENT);
                }
            } },
        CrashCase { "CreateCatalog",
            [](const std::string& folder, DiscRecording&) {
                KtbHandlePtr created;
                ktbOpenOwned(created, (folder + "new.ktb").c_str(), KTB_OPEN_CREATE);
            } },
        CrashCase { "Conversion",
            [](const std::string& folder, DiscRecording&) {
                ktbConvertOlder((folder + "older.dat").c_str(), (folder + "new.ktb").c_str(), nullptr, nullptr);
            } }),
    [](const ::testing::TestParamInfo<CrashCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Moves between two folders, recovered from elsewhere

/// Works in folder until it goes.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& folder)
        : m_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() { std::filesystem::current_path(m_saved); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path m_saved;
};

/// Rewrites a journal's partner as earlier versions wrote it (as typed, relative to their working
/// folder), with the journal's check made anew over its bytes as they did.
void namePartner(const std::string& journalPath, const std::string& partner)
{
    std::string bytes = readFileBytes(journalPath);
    std::uint16_t length = 0;
    std::memcpy(&length, bytes.data() + 18, 2);
    bytes.replace(20, length, partner);
    length = static_cast<std::uint16_t>(partner.size());
    std::memcpy(bytes.data() + 18, &length, 2);
    const std::size_t body = bytes.size() - 16;
    std::uint64_t hash = 0x9E3779B97F4A7C15ull;
    auto mix = [&hash](std::uint64_t word) {
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    };
    std::size_t at = 0;
    for (; at + 8 <= body; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        mix(word);
    }
    std::uint64_t last = 0;
    std::memcpy(&last, bytes.data() + at, body - at);
    mix(last ^ (static_cast<std::uint64_t>(body - at) << 56));
    std::memcpy(bytes.data() + body, &hash, 8);
    ASSERT_TRUE(writeFileBytes(journalPath, bytes));
}

bool wholeJournal(const std::string& path)
{
    const std::string bytes = readFileBytes(path);
    return bytes.size() > 36 && bytes.compare(bytes.size() - 8, 8, "KTBJEND1") == 0;
}

/// How a user typed a move from some working folder: the folder (of the run's), the source and the
/// destination as typed.
struct TypedMove {
    const char* workingFolder;
    const char* source;
    const char* destination;
};

class MoveRecoveryTest : public CrashTest {
protected:
    /// A fresh folder with music.ktb in a/ and other.ktb in b/.
    std::string splitFolder()
    {
        const std::string folder = freshFolder();
        std::filesystem::create_directory(folder + "a");
        std::filesystem::create_directory(folder + "b");
        std::filesystem::rename(folder + "music.ktb", folder + "a/music.ktb");
        std::filesystem::rename(folder + "other.ktb", folder + "b/other.ktb");
        return folder;
    }
    static FolderState stateOfBoth(const std::string& folder)
    {
        FolderState state;
        for (const char* part : { "a/", "b/" }) {
            for (auto& [name, bytes] : stateOf(folder + part)) {
                state[part + name] = std::move(bytes);
            }
        }
        return state;
    }
    /// The first disc of music.ktb moved to other.ktb as typed, stopped at call stop (0: none).
    std::size_t typedMove(const std::string& folder, const TypedMove& typed, std::size_t stop)
    {
        const WorkingFolder working(folder + typed.workingFolder);
        CrashHarness harness(folder);
        harness.stopAt(stop);
        moveBetween("", typed.source, 0, typed.destination);
        return harness.calls();
    }
    /// What a program does later from the root folder: opens both catalogs for changes, in either order.
    static void recoverFromElsewhere(const std::string& folder, bool destinationFirst)
    {
        const WorkingFolder working("/");
        const std::string first = folder + (destinationFirst ? "b/other.ktb" : "a/music.ktb");
        const std::string second = folder + (destinationFirst ? "a/music.ktb" : "b/other.ktb");
        for (const std::string& path : { first, second }) {
            KtbHandlePtr handle;
            EXPECT_EQ(ktbOpenOwned(handle, path.c_str(), 0), KTB_OK) << path;
        }
    }
};

TEST_F(MoveRecoveryTest, AMoveTypedWithRelativePathsIsRecoveredFromAnyFolderInEitherOrder)
{
    const TypedMove typed { "a/", "music.ktb", "../b/other.ktb" };
    const std::string reference = splitFolder();
    const FolderState before = stateOfBoth(reference);
    const std::size_t calls = typedMove(reference, typed, 0);
    const FolderState after = stateOfBoth(reference);
    ASSERT_NE(before, after);
    for (std::size_t stop = 1; stop <= calls; ++stop) {
        for (const bool destinationFirst : { false, true }) {
            const std::string folder = splitFolder();
            typedMove(folder, typed, stop);
            recoverFromElsewhere(folder, destinationFirst);
            const FolderState state = stateOfBoth(folder);
            EXPECT_TRUE(state == before || state == after)
                << "stopped at call " << stop << " of " << calls << (destinationFirst ? ", destination" : ", source")
                << " opened first: " << describe(state);
        }
    }
}

TEST_F(MoveRecoveryTest, JournalsNamingTheirPartnersAsTypedByEarlierVersionsAreRecoveredFromAnyFolder)
{
    const std::size_t calls = typedMove(splitFolder(), { "", "a/music.ktb", "b/other.ktb" }, 0);
    const FolderState before = stateOfBoth(splitFolder());
    int pairs = 0;
    for (const TypedMove& typed : { TypedMove { "a/", "music.ktb", "../b/other.ktb" },
             TypedMove { "", "a/music.ktb", "b/other.ktb" }, TypedMove { "b/", "../a/music.ktb", "other.ktb" } }) {
        for (std::size_t stop = 1; stop <= calls; ++stop) {
            for (const bool destinationFirst : { false, true }) {
                const std::string folder = splitFolder();
                typedMove(folder, { "", "a/music.ktb", "b/other.ktb" }, stop);
                const std::string master = folder + "b/other.ktb-journal";
                const std::string child = folder + "a/music.ktb-journal";
                if (!wholeJournal(master) || !wholeJournal(child)) {
                    continue; // not cut short with both journals written
                }
                ++pairs;
                namePartner(master, std::string(typed.source) + "-journal");
                namePartner(child, std::string(typed.destination) + "-journal");
                recoverFromElsewhere(folder, destinationFirst);
                EXPECT_EQ(stateOfBoth(folder), before)
                    << "typed in " << typed.workingFolder << ", stopped at call " << stop
                    << (destinationFirst ? ", destination" : ", source") << " opened first";
            }
        }
    }
    EXPECT_GT(pairs, 0);
}

TEST_F(MoveRecoveryTest, AMoveThatCommittedStaysWhenItsFolderCannotBeSynced)
{
    const std::string reference = splitFolder();
    typedMove(reference, { "", "a/music.ktb", "b/other.ktb" }, 0);
    const FolderState after = stateOfBoth(reference);
    const std::string folder = splitFolder();
    ktbTakeUnsyncedChanges();
    DiscMoveResult moved;
    {
        const FolderSyncFailure disk;
        KtbHandlePtr source = writer(folder, "a/music.ktb");
        KtbHandlePtr destination = writer(folder, "b/other.ktb");
        moved = moveDisc(source.get(), discOffset(source.get(), 0), destination.get());
        EXPECT_GT(disk.failed(), 0u);
    }
    EXPECT_EQ(moved.outcome, DiscMoveOutcome::Moved);
    EXPECT_EQ(ktbTakeUnsyncedChanges(), (std::vector<std::string> { folder + "b/other.ktb", folder + "a/music.ktb" }));
    // Should the master's removal not reach the disk, a power cut brings both journals back, not one.
    EXPECT_TRUE(pathExists(folder + "a/music.ktb-journal"));
    recoverFromElsewhere(folder, false);
    EXPECT_EQ(stateOfBoth(folder), after) << "the disc is in the destination alone, the source's journal gone";
}

} // namespace
