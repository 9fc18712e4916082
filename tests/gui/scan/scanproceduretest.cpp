// The scan procedure with test drives: new, known, audio and symbolic discs, the questions before a
// scan, cancelling from the progress window, failing walks, a fileset that refuses the new disc (the
// errors the recording's failures raise), and the scratch catalog, which is gone whatever way a scan
// ends.
#include "tests/gui/scan/scanfixture.h"

#include "core/catalog/discrecording.h"
#include "core/filesets/fileset.h"
#include "engine/ktb_discs.h"
#include "gui/scan/scanprocedure.h"
#include "gui/scan/scanprogressdialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>

namespace {

const QString s_aborted = QStringLiteral("Aborted!");

/// The progress window of the scan that runs now.
ScanProgressDialog* runningProgressForm()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<ScanProgressDialog*>(widget); form != nullptr && form->isVisible()) {
            return form;
        }
    }
    return nullptr;
}

class ScanProcedureTest : public ScanFixture {
protected:
    /// A fileset "music.ktb" of Anna, optionally holding an older entry of the disc in drive D.
    Fileset* music(bool withOlderEntry, const std::string& key = {})
    {
        CatalogBuilder catalog;
        catalog.setOwner("Anna").setName("Music");
        if (!key.empty()) {
            catalog.setKey(key);
        }
        catalog.addEmptyDisc({ .serial = 0x4711, .title = "Another" });
        if (withOlderEntry) {
            catalog.beginDisc({ .serial = serialOf('D'), .title = "Old title", .comment = "old" });
            catalog.addFile("stale.txt", 1, 0);
            catalog.endDisc();
        }
        return addFileset("music.ktb", catalog);
    }
    std::string musicPath() const { return storage() + "music.ktb"; }
    /// The text of the error a scan of drive D raised, empty when it raised none.
    static std::string scanError(Fileset* fileset, const std::string& title)
    {
        std::string error;
        try {
            scanDisc('D', fileset->handle(), discTemplate(title), false, false);
        } catch (const ScanError& raised) {
            error = raised.what();
        }
        fileset->close();
        return error;
    }
};

TEST_F(ScanProcedureTest, NewDataDiscIsAddedAtTheEndWithTheTemplatesTitleAndComment)
{
    m_drives->setDrive('D', folderDisc("disc", 250, 40));
    Fileset* fileset = music(false);
    const std::uint32_t before = static_cast<std::uint32_t>(std::filesystem::file_size(musicPath()));

    const quint32 offset = scanDisc('D', fileset->handle(), discTemplate("Holiday", "typed"), false, false);
    fileset->close();

    EXPECT_EQ(offset, before);
    const std::vector<TKTBDisc> discs = discsOf(musicPath());
    ASSERT_EQ(discs.size(), 2u);
    const TKTBDisc& added = discs.back();
    EXPECT_EQ(added.Serial, serialOf('D'));
    EXPECT_EQ(titleOf(added), QStringLiteral("Holiday"));
    EXPECT_EQ(commentOf(added), QStringLiteral("typed"));
    EXPECT_EQ(added.Files, 250u);
    EXPECT_EQ(added.Folders, 3u);
    EXPECT_EQ(added.Flags, 0u);
    EXPECT_NE(added.ScanTime, 0u);
    EXPECT_TRUE(m_questions->asked().empty()) << describe(m_questions->asked().front());
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, AnEmptyTitleLeavesTheVolumeLabel)
{
    m_drives->setDrive('D', isoDisc("disc", "SUMMER_2003"));
    Fileset* fileset = music(false);
    ASSERT_NE(scanDisc('D', fileset->handle(), discTemplate(""), false, false), 0u);
    fileset->close();
    EXPECT_EQ(titleOf(discsOf(musicPath()).back()), QStringLiteral("SUMMER_2003"));
}

TEST_F(ScanProcedureTest, RescanAnsweredYesReplacesTheOlderEntry)
{
    m_drives->setDrive('D', folderDisc("disc", 30));
    Fileset* fileset = music(true);
    m_questions->answerMessage(YesButton);

    const quint32 offset = scanDisc('D', fileset->handle(), discTemplate("New title", "new"), false, false);
    fileset->close();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& asked = m_questions->asked().front();
    EXPECT_EQ(asked.text, QStringLiteral("Rescan and overwrite Old title ?"));
    EXPECT_EQ(asked.caption, QStringLiteral("CD exists"));
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, YesButton | NoButton);
    const std::vector<TKTBDisc> discs = discsOf(musicPath());
    ASSERT_EQ(discs.size(), 2u) << "exactly one entry of the disc is left";
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("Another"));
    EXPECT_EQ(titleOf(discs[1]), QStringLiteral("New title"));
    EXPECT_EQ(discs[1].Serial, serialOf('D'));
    EXPECT_EQ(discs[1].Files, 30u);
    EXPECT_EQ(offset, discOffsetsOf(musicPath()).back());
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, RescanAnsweredNoWritesNothing)
{
    m_drives->setDrive('D', folderDisc("disc", 30));
    Fileset* fileset = music(true);
    fileset->close();
    const std::string before = readFileBytes(musicPath());
    m_questions->answerMessage(NoButton);

    EXPECT_EQ(scanDisc('D', fileset->handle(), discTemplate("New title"), false, false), 0u);
    fileset->close();

    EXPECT_EQ(m_questions->messageTexts(), QStringList { QStringLiteral("Rescan and overwrite Old title ?") });
    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, NoQuestionReplacesWithoutAsking)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(true);
    EXPECT_NE(scanDisc('D', fileset->handle(), discTemplate("Quiet"), false, true), 0u);
    fileset->close();
    EXPECT_TRUE(m_questions->asked().empty());
    const std::vector<TKTBDisc> discs = discsOf(musicPath());
    ASSERT_EQ(discs.size(), 2u);
    EXPECT_EQ(titleOf(discs[1]), QStringLiteral("Quiet"));
}

TEST_F(ScanProcedureTest, AudioDiscAnsweredYesIsStoredWithTheAudioFlag)
{
    m_drives->setDrive('E', audioDisc("audio"));
    Fileset* fileset = music(false);
    m_questions->answerMessage(YesButton);

    ASSERT_NE(scanDisc('E', fileset->handle(), discTemplate(""), false, false), 0u);
    fileset->close();

    ASSERT_EQ(m_questions->asked().size(), 1u);
    const AskedQuestion& asked = m_questions->asked().front();
    EXPECT_EQ(asked.text, QStringLiteral("This CD contains audio tracks. Continue ?"));
    EXPECT_EQ(asked.caption, QStringLiteral("Scan CD"));
    EXPECT_EQ(asked.icon, MessageIcon::Question);
    EXPECT_EQ(asked.buttons, YesButton | NoButton);
    const TKTBDisc audio = discsOf(musicPath()).back();
    EXPECT_EQ(audio.Flags, KTB_DISC_AUDIO);
    EXPECT_EQ(audio.Files, 3u) << "one file per track";
    EXPECT_EQ(titleOf(audio), QStringLiteral("Audio CD"));
}

TEST_F(ScanProcedureTest, AudioDiscAnsweredNoWritesNothingAndLeavesNoScratch)
{
    m_drives->setDrive('E', audioDisc("audio"));
    Fileset* fileset = music(false);
    fileset->close();
    const std::string before = readFileBytes(musicPath());
    m_questions->answerMessage(NoButton);

    EXPECT_EQ(scanDisc('E', fileset->handle(), discTemplate(""), false, false), 0u);
    fileset->close();

    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
    EXPECT_TRUE(QDir(QString::fromStdString(temporaryFolder())).isEmpty());
}

TEST_F(ScanProcedureTest, SymbolicDiscIsAddedEachTimeWithoutContents)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(true);
    const quint32 first = scanDisc(0, fileset->handle(), discTemplate("New Disc"), true, false);
    const quint32 second = scanDisc(0, fileset->handle(), discTemplate("New Disc", "note"), true, false);
    fileset->close();

    EXPECT_NE(first, 0u);
    EXPECT_GT(second, first);
    EXPECT_TRUE(m_questions->asked().empty());
    const std::vector<TKTBDisc> discs = discsOf(musicPath());
    ASSERT_EQ(discs.size(), 4u);
    for (const TKTBDisc& symbolic : { discs[2], discs[3] }) {
        EXPECT_EQ(titleOf(symbolic), QStringLiteral("New Disc"));
        EXPECT_EQ(symbolic.Serial, 0u);
        EXPECT_EQ(std::int64_t { symbolic.Used }, 0); // copied: the record is packed
        EXPECT_EQ(symbolic.Files, 0u);
        EXPECT_EQ(symbolic.Folders, 0u);
        EXPECT_EQ(std::int64_t { symbolic.Capacity }, 681574400);
        EXPECT_EQ(symbolic.RunLength, 166u) << "tag, record and end mark only";
    }
    EXPECT_EQ(commentOf(discs[3]), QStringLiteral("note"));
}

TEST_F(ScanProcedureTest, AnEmptyDriveAddsNothing)
{
    m_drives->setDrive('D', m_temp.file("no-disc-here.iso"));
    Fileset* fileset = music(false);
    fileset->close();
    const std::string before = readFileBytes(musicPath());

    EXPECT_EQ(scanDisc('D', fileset->handle(), discTemplate("Ghost"), false, false), 0u);
    fileset->close();

    EXPECT_EQ(m_questions->messageTexts(), QStringList { s_aborted });
    EXPECT_EQ(readFileBytes(musicPath()), before) << "no empty entry passes for a scanned disc";
}

/// How the user cancels a running scan.
enum class CancelBy { Button, Escape, Closing };

void PrintTo(CancelBy way, std::ostream* out)
{
    *out << (way == CancelBy::Button ? "button" : way == CancelBy::Escape ? "Escape" : "closing");
}

class ScanCancelTest : public ScanProcedureTest, public ::testing::WithParamInterface<CancelBy> { };

TEST_P(ScanCancelTest, StopsTheWalkShowsAbortedAndLeavesTheFilesetAlone)
{
    constexpr int total = 1000;
    m_drives->setDrive('D', folderDisc("large", total, 1));
    Fileset* fileset = music(true);
    fileset->close();
    const std::string before = readFileBytes(musicPath());
    m_questions->answerMessage(YesButton);

    // The 100th entry asks the window thread to cancel and waits until it has.
    std::atomic_int seen { 0 };
    m_drives->OnEntry = [this, &seen](const TKTBDirEntry&) {
        if (++seen != 100) {
            return;
        }
        QMetaObject::invokeMethod(
            qApp,
            [this] {
                ScanProgressDialog* form = runningProgressForm();
                ASSERT_NE(form, nullptr);
                switch (GetParam()) {
                case CancelBy::Button:
                    ASSERT_TRUE(form->cancelButton->isEnabled());
                    form->cancelButton->click();
                    break;
                case CancelBy::Escape:
                    QTest::keyClick(form, Qt::Key_Escape);
                    break;
                case CancelBy::Closing:
                    form->close();
                    break;
                }
                EXPECT_TRUE(form->isVisible()) << "the window waits for the worker";
                EXPECT_TRUE(form->worker()->stopRequested());
            },
            Qt::BlockingQueuedConnection);
    };

    EXPECT_EQ(scanDisc('D', fileset->handle(), discTemplate("Big"), false, false), 0u);
    fileset->close();

    EXPECT_LT(seen.load(), total) << "the walk stopped early";
    EXPECT_EQ(
        m_questions->messageTexts(), (QStringList { QStringLiteral("Rescan and overwrite Old title ?"), s_aborted }));
    EXPECT_EQ(m_questions->asked().back().caption, QString());
    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ScanCancelTest, ::testing::Values(CancelBy::Button, CancelBy::Escape, CancelBy::Closing));

TEST_F(ScanProcedureTest, FailingWalkShowsAbortedAndAddsNothing)
{
    m_drives->setDrive('D', folderDisc("disc", 250));
    m_drives->UnreadableFolder = "part1";
    Fileset* fileset = music(false);
    fileset->close();
    const std::string before = readFileBytes(musicPath());

    EXPECT_EQ(scanDisc('D', fileset->handle(), discTemplate("Broken"), false, false), 0u);
    fileset->close();

    EXPECT_EQ(m_questions->messageTexts(), QStringList { s_aborted });
    EXPECT_TRUE(m_questions->asked().front().ownerless);
    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, AScanRemovesTheScratchFoldersOfEndedScans)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(false);
    // A process id that cannot be running (at or above the system's largest).
    std::ifstream limit("/proc/sys/kernel/pid_max");
    long pidMax = 4194304;
    limit >> pidMax;
    const std::string dead = temporaryFolder() + "katalox-scan-" + std::to_string(pidMax) + "-AbCdEf";
    std::filesystem::create_directories(dead);

    EXPECT_NE(scanDisc('D', fileset->handle(), discTemplate("Fresh"), false, false), 0u);
    fileset->close();

    EXPECT_FALSE(pathExists(dead));
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, UnusableTemporaryFolderAborts)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(false);
    ASSERT_TRUE(writeFileBytes(m_temp.file("not-a-folder"), "x"));
    qputenv("TMPDIR", QByteArray::fromStdString(m_temp.file("not-a-folder")));

    EXPECT_EQ(scanDisc('D', fileset->handle(), discTemplate("Nowhere"), false, false), 0u);
    fileset->close();

    EXPECT_EQ(m_questions->messageTexts(), QStringList { s_aborted });
    EXPECT_EQ(discsOf(musicPath()).size(), 1u);
}

TEST_F(ScanProcedureTest, LockedFilesetRefusesANewDiscWithError3)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(false, "secret");
    fileset->close();
    const std::string before = readFileBytes(musicPath());

    EXPECT_EQ(scanError(fileset, "Refused"), "ERROR3");

    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

TEST_F(ScanProcedureTest, LockedFilesetRefusesARescanWithError2)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    Fileset* fileset = music(true, "secret");
    fileset->close();
    const std::string before = readFileBytes(musicPath());
    m_questions->answerMessage(YesButton);

    EXPECT_EQ(scanError(fileset, "Refused"), "ERROR2");

    EXPECT_EQ(readFileBytes(musicPath()), before);
    EXPECT_TRUE(scratchLeftovers().isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Progress

struct PercentCase {
    std::uint64_t bytes;
    std::int64_t used;
    int expected;
};

void PrintTo(const PercentCase& value, std::ostream* out) { *out << value.bytes << " of " << value.used; }

class ScanPercentageTest : public ::testing::TestWithParam<PercentCase> { };

TEST_P(ScanPercentageTest, IsTruncatedAndNeverAbove100)
{
    EXPECT_EQ(scanPercentage(GetParam().bytes, GetParam().used), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, ScanPercentageTest,
    ::testing::Values(PercentCase { 0, 100, 0 }, PercentCase { 50, 100, 50 }, PercentCase { 999, 1000, 99 },
        PercentCase { 1, 3, 33 }, PercentCase { 100, 100, 100 }, PercentCase { 150, 100, 100 }, PercentCase { 0, 0, 0 },
        PercentCase { 10, 0, 100 }, PercentCase { 5000000000ULL, 10000000000LL, 50 }));

TEST_F(ScanProcedureTest, ProgressEndsAt100WhenTheFilesFillTheVolume)
{
    m_drives->setDrive('D', folderDisc("disc", 2000, 3));
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('D', disc));
    DiscRecording recording(scanScratchLayout());
    ScanProgressDialog form;
    int applied = 0;
    QObject::connect(&form, &ScanProgressDialog::progressApplied, [&applied] { ++applied; });

    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(form.startScan(recording, 'D', disc));
    const auto elapsed
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);

    EXPECT_EQ(form.progressBar->value(), 100);
    EXPECT_FALSE(form.cancelButton->isEnabled()) << "a late Cancel has no effect";
    EXPECT_EQ(form.statusLabel->text(), QStringLiteral("Closing up.."));
    EXPECT_TRUE(form.pathLabel->toolTip().startsWith(QStringLiteral("D:\\")));
    // Throttled: at most one report per interval, and the last state.
    const int reports = form.worker()->reportsSent();
    EXPECT_GE(reports, 1);
    EXPECT_LE(reports, 2 + elapsed / ScanWorker::ReportInterval);
    EXPECT_EQ(applied, reports) << "every report reaches the window";
    EXPECT_EQ(discsOf(recording.scratchPath().toStdString()).size(), 1u);
}

TEST_F(ScanProcedureTest, ProgressStaysBelow100WhenTheVolumeHoldsMore)
{
    m_drives->setDrive('D', isoDisc("disc", "BIG"));
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('D', disc));
    DiscRecording recording(scanScratchLayout());
    ScanProgressDialog form;
    ASSERT_TRUE(form.startScan(recording, 'D', disc));
    EXPECT_LT(form.progressBar->value(), 100) << "the image is larger than its files";
    EXPECT_GE(form.progressBar->value(), 0);
}

TEST_F(ScanProcedureTest, ScratchThatExistsAlreadyEndsTheWorkerWithoutSuccess)
{
    m_drives->setDrive('D', folderDisc("disc", 5));
    TKTBDisc disc {};
    ASSERT_TRUE(ktbDiscFromDrive('D', disc));
    DiscRecording recording(scanScratchLayout());
    const std::string scratch = recording.scratchPath().toStdString();
    ASSERT_TRUE(writeFileBytes(scratch, "not ours"));
    ScanProgressDialog form;
    EXPECT_FALSE(form.startScan(recording, 'D', disc));
    EXPECT_EQ(readFileBytes(scratch), "not ours");
}

} // namespace
