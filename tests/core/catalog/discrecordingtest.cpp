// Recording through a scratch catalog: a folder drive recorded and moved into a fileset in place of its
// older entry, a stop asked during the walk, a move into the fileset that fails (the fileset as it was,
// a replaced entry back), and the scratch folders, which go with their recording and with their ended
// process.
#include "core/catalog/discrecording.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "platform/drivelayer.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

class DiscRecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(temporaryFolder());
        std::vector<DiscTreeEntry> entries;
        for (int i = 0; i < 30; ++i) {
            entries.push_back({ "part" + std::to_string(i / 10) + "/file" + std::to_string(i) + ".dat", 40 });
        }
        ASSERT_TRUE(writeDiscTree(m_folder.file("disc"), entries));
        auto table = std::make_unique<PathDriveTable>();
        table->setDrive('D', m_folder.file("disc"));
        setDriveTable(std::move(table));
        ASSERT_TRUE(ktbDiscFromDrive('D', m_disc));
    }
    void TearDown() override { setDriveTable(nullptr); }

    std::string temporaryFolder() const { return m_folder.file("tmp/"); }
    ScratchLayout layout() const
    {
        return { QString::fromStdString(temporaryFolder()), QStringLiteral("recording-"), QStringLiteral("_temp.ktb"),
            true };
    }
    /// The names left in the temporary folder.
    QStringList leftovers() const
    {
        return QDir(QString::fromStdString(temporaryFolder())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    /// "music.ktb": a disc "Another", then, when asked, an older entry of the disc in drive D; answers the
    /// older entry's offset (0 without one).
    std::uint32_t writeMusic(bool withOlderEntry, const std::string& key = {})
    {
        CatalogBuilder catalog;
        catalog.setKey(key);
        catalog.addEmptyDisc({ .serial = 0x4711, .title = "Another" });
        std::uint32_t older = 0;
        if (withOlderEntry) {
            older = catalog.beginDisc({ .serial = m_disc.Serial, .title = "Old title", .comment = "old" });
            catalog.addFile("stale.txt", 1, 0);
            catalog.endDisc();
        }
        EXPECT_TRUE(catalog.writeTo(musicPath()));
        return older;
    }
    std::string musicPath() const { return m_folder.file("music.ktb"); }

    /// The discs of a catalog file, in file order.
    static std::vector<TKTBDisc> discsOf(const std::string& path)
    {
        std::vector<TKTBDisc> discs;
        KtbHandlePtr handle;
        EXPECT_EQ(ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY), KTB_OK);
        for (KtbCursorPtr cursor(ktbFindFirstAll(handle.get(), KTB_FIND_NOFOLDERS | KTB_FIND_NOFILES)); cursor;) {
            discs.push_back(*cursor->Current->disc());
            if (ktbFindNext(cursor.get()) != KTB_OK) {
                break;
            }
        }
        return discs;
    }
    static std::string titleOf(const TKTBDisc& disc)
    {
        return std::string(ktbFieldText(disc.Title, sizeof disc.Title));
    }

    /// Records drive D into a new recording's scratch catalog.
    void record(DiscRecording& recording)
    {
        ASSERT_TRUE(recording.usable());
        ASSERT_EQ(recording.create(), KTB_OK);
        ASSERT_EQ(recording.record('D', m_disc), KTB_OK);
    }

    TempFolder m_folder;
    TKTBDisc m_disc {};
};

TEST_F(DiscRecordingTest, RecordsTheTreeAndReplacesTheOlderEntryAtTheEndOfTheFileset)
{
    const std::uint32_t older = writeMusic(true);
    QString scratchFolder;
    {
        DiscRecording recording(layout());
        ASSERT_TRUE(recording.usable());
        scratchFolder = QFileInfo(QFile::decodeName(recording.scratchPath())).path();
        EXPECT_TRUE(
            scratchFolder.contains(QStringLiteral("/recording-") + QString::number(::getpid()) + QLatin1Char('-')));
        ASSERT_EQ(recording.create(), KTB_OK);
        RecordingProgress last;
        std::string firstPath;
        int calls = 0;
        ASSERT_EQ(recording.record('D', m_disc,
                      [&](const RecordingProgress& progress) {
                          if (calls++ == 0) {
                              firstPath = progress.walkPath;
                          }
                          last = progress;
                      }),
            KTB_OK);
        EXPECT_EQ(firstPath, "D:\\");
        EXPECT_EQ(last.files, 30u);
        EXPECT_EQ(last.folders, 3u);
        EXPECT_EQ(last.bytes, 30u * 40u);
        EXPECT_EQ(calls, 30 + 3 + 3) << "every file, folder and folder end";

        KtbHandlePtr music;
        ASSERT_EQ(ktbOpenOwned(music, musicPath().c_str(), 0), KTB_OK);
        const TransplantResult moved = recording.transplant(music.get(), older);
        EXPECT_EQ(moved.failure, TransplantFailure::None);
        EXPECT_EQ(moved.offset, older) << "the older entry was the last disc";
    }
    const std::vector<TKTBDisc> discs = discsOf(musicPath());
    ASSERT_EQ(discs.size(), 2u) << "exactly one entry of the disc is left";
    EXPECT_EQ(titleOf(discs[0]), "Another");
    EXPECT_EQ(discs[1].Serial, m_disc.Serial);
    EXPECT_EQ(discs[1].Files, 30u);
    EXPECT_FALSE(QFileInfo::exists(scratchFolder)) << "the scratch folder goes with its recording";
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(DiscRecordingTest, AStopAskedDuringTheWalkEndsItAfterThatEntry)
{
    DiscRecording recording(layout());
    ASSERT_EQ(recording.create(), KTB_OK);
    int calls = 0;
    const TKTBERROR result = recording.record('D', m_disc, [&](const RecordingProgress&) {
        if (++calls == 10) {
            recording.requestStop();
        }
    });
    EXPECT_EQ(result, KTB_ERR_INTERRUPTED);
    EXPECT_EQ(calls, 10);
    EXPECT_TRUE(recording.stopRequested());
    EXPECT_EQ(ktbLastWalkFailure(), "") << "stopped, not failed";
}

/// One way the move into the fileset fails.
struct TransplantCase {
    const char* name;
    bool olderEntry;
    std::string key; ///< the fileset's protection key (it then refuses every change)
    void (*spoil)(const std::string& scratchPath); ///< done to the scratch catalog before the move
    TransplantFailure failure;
    TKTBERROR code;
};

void PrintTo(const TransplantCase& value, std::ostream* out) { *out << value.name; }

class TransplantFailureTest : public DiscRecordingTest, public ::testing::WithParamInterface<TransplantCase> { };

TEST_P(TransplantFailureTest, LeavesTheFilesetWithTheEntriesItHad)
{
    const TransplantCase& c = GetParam();
    const std::uint32_t older = writeMusic(c.olderEntry, c.key);
    const std::vector<TKTBDisc> before = discsOf(musicPath());
    {
        DiscRecording recording(layout());
        record(recording);
        if (c.spoil != nullptr) {
            c.spoil(recording.scratchPath().toStdString());
        }
        KtbHandlePtr music;
        ASSERT_EQ(ktbOpenOwned(music, musicPath().c_str(), 0), KTB_OK);
        const TransplantResult moved = recording.transplant(music.get(), older);
        EXPECT_EQ(moved.failure, c.failure);
        EXPECT_EQ(moved.code, c.code);
    }
    const std::vector<TKTBDisc> after = discsOf(musicPath());
    ASSERT_EQ(after.size(), before.size()) << "a replaced entry is back";
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(titleOf(after[i]), titleOf(before[i]));
        EXPECT_EQ(after[i].Serial, before[i].Serial);
        EXPECT_EQ(after[i].Files, before[i].Files);
    }
    EXPECT_TRUE(leftovers().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Ways, TransplantFailureTest,
    ::testing::Values(
        TransplantCase { "ScratchGone", true, {}, [](const std::string& scratch) { std::filesystem::remove(scratch); },
            TransplantFailure::ScratchNotOpened, KTB_ERR_FILENOTAVAILABLE },
        TransplantCase { "LockedRescan", true, "secret", nullptr, TransplantFailure::OlderNotRemoved, KTB_ERR_LOCKED },
        TransplantCase { "LockedNewDisc", false, "secret", nullptr, TransplantFailure::NotAppended, KTB_ERR_LOCKED },
        // The recorded run is damaged before it is moved: its length reads 0, so it cannot be copied.
        TransplantCase { "DamagedRunOfARescan", true, {},
            [](const std::string& scratch) {
                std::fstream file(scratch, std::ios::in | std::ios::out | std::ios::binary);
                file.seekp(KTB_HEADER_SIZE + CatalogBuilder::DiscRunLength);
                const std::uint32_t zero = 0;
                file.write(reinterpret_cast<const char*>(&zero), sizeof zero);
            },
            TransplantFailure::NotAppended, KTB_ERR_BADENTITY }),
    [](const ::testing::TestParamInfo<TransplantCase>& info) { return std::string(info.param.name); });

TEST_F(DiscRecordingTest, LeftoversOfEndedRecordingsAreRemovedAndOthersKept)
{
    // A process id that cannot be running (at or above the system's largest), and a running process.
    std::ifstream limit("/proc/sys/kernel/pid_max");
    long pidMax = 4194304;
    limit >> pidMax;
    const std::string dead = temporaryFolder() + "recording-" + std::to_string(pidMax) + "-AbCdEf";
    const std::string ours = temporaryFolder() + "recording-" + std::to_string(::getpid()) + "-XyZ123";
    const std::string alive = temporaryFolder() + "recording-1-QwErTy";
    const std::string other = temporaryFolder() + "other-" + std::to_string(pidMax) + "-AbCdEf";
    for (const std::string& folder : { dead, ours, alive, other }) {
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(writeFileBytes(folder + "/_temp.ktb", "left over"));
    }

    {
        DiscRecording recording(layout());
        record(recording);
    }

    EXPECT_FALSE(pathExists(dead));
    EXPECT_FALSE(pathExists(ours)) << "an earlier process had our id";
    EXPECT_TRUE(pathExists(alive)) << "a running process's recording is left alone";
    EXPECT_TRUE(pathExists(other)) << "another kind of recording's folder";
    EXPECT_EQ(leftovers(),
        (QStringList { QStringLiteral("other-") + QString::number(pidMax) + QStringLiteral("-AbCdEf"),
            QStringLiteral("recording-1-QwErTy") }));

    // A layout that is not per process leaves every folder alone.
    DiscRecording plain(
        { QString::fromStdString(temporaryFolder()), QStringLiteral("other-"), QStringLiteral("record.ktb"), false });
    EXPECT_TRUE(plain.usable());
    EXPECT_TRUE(pathExists(other));
}

} // namespace
