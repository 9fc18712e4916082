// Converting an older-version fileset in place behind its window: the replaced file and its backup,
// the worker's progress, the temporary name beside the fileset, an earlier backup that is kept,
// failures, a crash at any step and Cancel.
#include "tests/gui/scan/scanfixture.h"

#include "core/filesets/filesetregistry.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/dialogs/convertdialog.h"
#include "tests/support/crashharness.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

/// An older-version file: the 88-byte header and records written as the older format has them.
class OlderFile {
public:
    explicit OlderFile(const std::string& owner = "Anna", const std::string& name = "Old set")
    {
        m_bytes.assign(88, '\0');
        std::memcpy(m_bytes.data(), "Katalox Data Set", 16);
        std::memcpy(m_bytes.data() + 25, owner.data(), std::min<std::size_t>(owner.size(), 29));
        const double created = 40000.5; // 6 July 2009, noon
        std::memcpy(m_bytes.data() + 55, &created, sizeof created);
        std::memcpy(m_bytes.data() + 71, name.data(), std::min<std::size_t>(name.size(), 16));
    }
    OlderFile& disc(std::uint32_t serial, const std::string& title)
    {
        m_bytes += '\x02';
        value(serial);
        text(title);
        text("");
        text("a comment");
        value(40000.0);
        value(std::int64_t { 5000 });
        value(std::int64_t { 681574400 });
        value(std::uint32_t { 1 });
        value(std::uint32_t { 0 });
        return *this;
    }
    OlderFile& folder(const std::string& name)
    {
        m_bytes += '\x03';
        text(name);
        return *this;
    }
    OlderFile& file(const std::string& name, std::uint32_t size)
    {
        m_bytes += '\x04';
        text(name);
        value(size);
        value(std::uint32_t { 0x3A210000 });
        text("");
        return *this;
    }
    OlderFile& mark(char tag)
    {
        m_bytes += tag;
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    template <typename T> void value(T number)
    {
        m_bytes.append(reinterpret_cast<const char*>(&number), sizeof number);
    }
    void text(const std::string& value)
    {
        const auto length = static_cast<std::uint16_t>(value.size());
        m_bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
        m_bytes += value;
    }
    std::string m_bytes;
};

OlderFile oneDisc()
{
    OlderFile older;
    older.disc(0x1234, "Old disc").folder("Music").file("song.mp3", 4000).mark('\x05').mark('\x06');
    return older;
}

class ConvertTest : public ScanFixture {
protected:
    std::string path() const { return storage() + "old.ktb"; }
    std::vector<std::string> temporaryFiles() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(storage())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("conv") && name.ends_with(".tmp")) {
                names.push_back(name);
            }
        }
        return names;
    }
    static bool isCurrentFormat(const std::string& file)
    {
        KtbHandlePtr handle;
        return ktbOpenOwned(handle, file.c_str(), KTB_OPEN_READONLY) == KTB_OK;
    }
};

TEST_F(ConvertTest, ConvertedFileTakesThePlaceAndTheOlderOneIsKept)
{
    const std::string older = oneDisc().bytes();
    ASSERT_TRUE(writeFileBytes(path(), older));

    EXPECT_EQ(convertFilesetInPlace(QString::fromStdString(path())), 1);

    EXPECT_TRUE(isCurrentFormat(path()));
    EXPECT_EQ(readFileBytes(path() + ".v02"), older);
    EXPECT_TRUE(temporaryFiles().empty());
    const std::vector<TKTBDisc> discs = discsOf(path());
    ASSERT_EQ(discs.size(), 1u);
    EXPECT_EQ(titleOf(discs[0]), QStringLiteral("Old disc"));
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(ConvertTest, ProgressStaysWithinTheRangeReportedFirstAndReachesTheWindow)
{
    ASSERT_TRUE(writeFileBytes(path(), oneDisc().bytes()));
    ConvertWorker worker(QString::fromStdString(path()), QString::fromStdString(storage() + "conv0.tmp"));
    std::vector<std::pair<bool, int>> reports; // (a range, the value), in the order sent
    QObject::connect(
        &worker, &ConvertWorker::progressRangeKnown, &worker,
        [&reports](int maximum) { reports.emplace_back(true, maximum); }, Qt::DirectConnection);
    QObject::connect(
        &worker, &ConvertWorker::progressChanged, &worker,
        [&reports](int position) { reports.emplace_back(false, position); }, Qt::DirectConnection);
    worker.start();
    ASSERT_TRUE(worker.wait(10000));
    EXPECT_TRUE(worker.succeeded());
    ASSERT_GE(reports.size(), 2u);
    ASSERT_TRUE(reports.front().first);
    const int maximum = reports.front().second;
    EXPECT_GE(maximum, 1);
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_FALSE(reports[i].first) << "the range is reported once";
        EXPECT_GE(reports[i].second, 0);
        EXPECT_LE(reports[i].second, maximum);
    }

    // The window shows the range before it closes with the worker's end.
    ASSERT_TRUE(writeFileBytes(path(), oneDisc().bytes()));
    ConvertDialog form;
    EXPECT_EQ(form.convert(QString::fromStdString(path())), 1);
    EXPECT_EQ(form.progressBar->maximum(), maximum);
}

TEST_F(ConvertTest, TheTemporaryNameIsTheFirstFreeBesideTheFileset)
{
    ASSERT_TRUE(writeFileBytes(path(), oneDisc().bytes()));
    ASSERT_TRUE(writeFileBytes(storage() + "conv0.tmp", "someone else's"));
    EXPECT_EQ(conversionTemporaryName(QString::fromStdString(path())), QString::fromStdString(storage() + "conv1.tmp"));

    EXPECT_EQ(convertFilesetInPlace(QString::fromStdString(path())), 1);
    EXPECT_EQ(readFileBytes(storage() + "conv0.tmp"), "someone else's");
    EXPECT_EQ(temporaryFiles(), std::vector<std::string> { "conv0.tmp" });
}

TEST_F(ConvertTest, AnEarlierBackupKeepsItsBytes)
{
    const std::string older = oneDisc().bytes();
    ASSERT_TRUE(writeFileBytes(path(), older));
    ASSERT_TRUE(writeFileBytes(path() + ".v02", "first backup"));
    std::filesystem::create_directories(path() + ".v02.1"); // a folder takes a name as well

    EXPECT_EQ(conversionBackupName(QString::fromStdString(path())), QString::fromStdString(path() + ".v02.2"));
    EXPECT_EQ(convertFilesetInPlace(QString::fromStdString(path())), 1);

    EXPECT_EQ(readFileBytes(path() + ".v02"), "first backup");
    EXPECT_EQ(readFileBytes(path() + ".v02.2"), older);
    EXPECT_TRUE(isCurrentFormat(path()));
}

TEST_F(ConvertTest, AFailureLeavesTheFileInPlaceAndSaysWhy)
{
    OlderFile damaged = oneDisc();
    damaged.mark('\x09');
    ASSERT_TRUE(writeFileBytes(path(), damaged.bytes()));

    EXPECT_EQ(convertFilesetInPlace(QString::fromStdString(path())), 2);

    EXPECT_EQ(readFileBytes(path()), damaged.bytes());
    EXPECT_FALSE(pathExists(path() + ".v02"));
    EXPECT_TRUE(temporaryFiles().empty());
    ASSERT_EQ(m_questions->asked().size(), 1u);
    EXPECT_EQ(m_questions->asked().front().caption, QStringLiteral("KTB Convert"));
    EXPECT_TRUE(m_questions->asked().front().text.contains(QStringLiteral("KTB_ERR_BADENTITY")));
}

TEST_F(ConvertTest, AStopAtAnyStepLeavesTheOlderOrTheConvertedFileUnderTheName)
{
    const std::string older = oneDisc().bytes();
    const auto fresh = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(storage())) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("old.ktb") || name.starts_with("conv")) {
                std::filesystem::remove(entry.path());
            }
        }
        ASSERT_TRUE(writeFileBytes(path(), older));
    };
    fresh();
    std::size_t calls = 0;
    {
        CrashHarness harness(storage());
        ASSERT_EQ(convertFilesetInPlace(QString::fromStdString(path())), 1);
        calls = harness.calls();
    }
    for (std::size_t stop = 1; stop <= calls; ++stop) {
        for (const bool powerCut : { false, true }) {
            SCOPED_TRACE(std::to_string(stop) + (powerCut ? " with a power cut" : ""));
            fresh();
            {
                CrashHarness harness(storage());
                harness.stopAt(stop);
                convertFilesetInPlace(QString::fromStdString(path()));
                if (powerCut) {
                    harness.cutPower();
                }
            }
            if (readFileBytes(path()) != older) {
                ASSERT_TRUE(isCurrentFormat(path()));
                EXPECT_EQ(discsOf(path()).size(), 1u);
                EXPECT_EQ(readFileBytes(path() + ".v02"), older);
            }
        }
    }
}

/// How the user stops a running conversion.
enum class StopBy { Button, Escape, Closing };

void PrintTo(StopBy way, std::ostream* out)
{
    *out << (way == StopBy::Button ? "button" : way == StopBy::Escape ? "Escape" : "closing");
}

class ConvertCancelTest : public ConvertTest, public ::testing::WithParamInterface<StopBy> { };

TEST_P(ConvertCancelTest, LeavesTheOlderFileAndNoTemporaryFile)
{
    // The older file is a pipe the test writes into: the conversion waits for each record, so Cancel
    // comes while it runs, and the record written after it is the one it stops at.
    ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    ConvertDialog form;
    QObject::connect(&form, &ConvertDialog::conversionStarted, &form, [this, &form] {
        const int pipe = ::open(path().c_str(), O_WRONLY);
        ASSERT_GE(pipe, 0);
        const std::string first = oneDisc().bytes();
        ASSERT_EQ(::write(pipe, first.data(), first.size()), static_cast<ssize_t>(first.size()));
        switch (GetParam()) {
        case StopBy::Button:
            form.cancelButton->click();
            break;
        case StopBy::Escape:
            QTest::keyClick(&form, Qt::Key_Escape);
            break;
        case StopBy::Closing:
            form.close();
            break;
        }
        EXPECT_TRUE(form.worker()->stopRequested());
        EXPECT_TRUE(form.isVisible()) << "the window waits for the worker";
        // The worker may have stopped already and closed its end: the write may fail then.
        const std::string more = OlderFile().disc(0x99, "More").mark('\x06').bytes().substr(88);
        [[maybe_unused]] const ssize_t written = ::write(pipe, more.data(), more.size());
        ::close(pipe);
    });

    EXPECT_EQ(form.convert(QString::fromStdString(path())), 2);

    EXPECT_TRUE(form.worker()->failure().isEmpty()) << "a cancel is no failure";
    struct stat status { };
    ASSERT_EQ(::lstat(path().c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode)) << "the older file stays in place";
    EXPECT_FALSE(pathExists(path() + ".v02"));
    EXPECT_TRUE(temporaryFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, ConvertCancelTest, ::testing::Values(StopBy::Button, StopBy::Escape, StopBy::Closing));

TEST_F(ConvertTest, TheRegistryConvertsOnYesAndRegistersTheFile)
{
    ASSERT_TRUE(writeFileBytes(path(), oneDisc().bytes()));
    FilesetRegistry::onConversionQuestion = [](const QString&) { return true; };
    FilesetRegistry::onConvertFileset = [](const QString& file) { return convertFilesetInPlace(file); };
    const int index = g_filesetRegistry->addFile(QString::fromStdString(path()));
    FilesetRegistry::onConversionQuestion = nullptr;
    FilesetRegistry::onConvertFileset = nullptr;
    ASSERT_GE(index, 0);
    EXPECT_EQ(g_filesetRegistry->at(index)->owner(), QStringLiteral("Anna"));
    EXPECT_EQ(g_filesetRegistry->at(index)->description(), QStringLiteral("Old set"));
}

TEST_F(ConvertTest, TheWindowShowsItsControls)
{
    ConvertDialog form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("KTB Convert"));
    EXPECT_EQ(form.cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(form.size(), QSize(321, 138));
}

} // namespace
