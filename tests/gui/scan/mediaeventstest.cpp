// Media events: the drive letter of a unit mask, events for arrivals and removals from the test source
// and from polling images and folders, handlers that fail, and drives that come and go.
#include "tests/gui/scan/scanfixture.h"

#include "gui/scan/mediaevents.h"

#include <filesystem>
#include <stdexcept>
#include <utility>

namespace {

struct LetterCase {
    quint32 mask;
    char letter;
};

void PrintTo(const LetterCase& value, std::ostream* out) { *out << "mask " << value.mask; }

class FirstDriveLetterTest : public ::testing::TestWithParam<LetterCase> { };

TEST_P(FirstDriveLetterTest, IsTheLowestSetBit)
{
    EXPECT_EQ(MediaEvents::firstDriveLetter(GetParam().mask), GetParam().letter);
}

INSTANTIATE_TEST_SUITE_P(Masks, FirstDriveLetterTest,
    ::testing::Values(LetterCase { 0, 0 }, LetterCase { 1, 'A' }, LetterCase { 1U << 4, 'E' },
        LetterCase { (1U << 3) | (1U << 5), 'D' }, LetterCase { 1U << 25, 'Z' }, LetterCase { 0xFFFFFFFF, 'A' }));

struct UdevCase {
    const char* action;
    const char* mediaChange;
    const char* cdrom;
    bool expected;
};

void PrintTo(const UdevCase& value, std::ostream* out)
{
    const auto text = [](const char* value) { return value != nullptr ? value : "(none)"; };
    *out << text(value.action) << " " << text(value.mediaChange) << " " << text(value.cdrom);
}

class MediaChangeTest : public ::testing::TestWithParam<UdevCase> { };

TEST_P(MediaChangeTest, OnlyChangesWithTheMediaFlagOnOpticalDrivesCount)
{
    EXPECT_EQ(
        MediaEvents::isMediaChange(GetParam().action, GetParam().mediaChange, GetParam().cdrom), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Events, MediaChangeTest,
    ::testing::Values(UdevCase { "change", "1", "1", true }, UdevCase { "add", "1", "1", false },
        UdevCase { "remove", "1", "1", false }, UdevCase { "change", nullptr, "1", false },
        UdevCase { "change", "0", "1", false }, UdevCase { "change", "1", nullptr, false },
        UdevCase { nullptr, "1", "1", false }));

class MediaEventsTest : public ScanFixture {
protected:
    void listen(MediaEvents& events)
    {
        events.onArrival = [this](MediaEvents*, char letter) { m_events.push_back({ true, letter }); };
        events.onRemoval = [this](MediaEvents*, char letter) { m_events.push_back({ false, letter }); };
    }
    std::vector<std::pair<bool, char>> m_events;
};

TEST_F(MediaEventsTest, TheTestSourceRaisesOneEventPerChange)
{
    MediaEvents events;
    listen(events);
    events.injectArrival('E');
    events.injectRemoval('e');
    events.deviceChange(true, (1U << 3) | (1U << 5));
    events.deviceChange(false, 0);
    const std::vector<std::pair<bool, char>> expected { { true, 'E' }, { false, 'E' }, { true, 'D' } };
    EXPECT_EQ(m_events, expected);
}

TEST_F(MediaEventsTest, UnassignedEventsAreSkipped)
{
    MediaEvents events;
    events.onRemoval = [this](MediaEvents*, char letter) { m_events.push_back({ false, letter }); };
    events.injectArrival('D');
    events.injectRemoval('D');
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, char>> { { false, 'D' } }));
}

TEST_F(MediaEventsTest, AFailingHandlerIsShownAndLaterEventsStillArrive)
{
    MediaEvents events;
    int calls = 0;
    events.onArrival = [&calls](MediaEvents*, char) {
        if (++calls == 1) {
            throw std::runtime_error("handler failed");
        }
    };
    events.injectArrival('D');
    events.injectArrival('D');
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(m_questions->messageTexts(), QStringList { QStringLiteral("handler failed") });
}

TEST_F(MediaEventsTest, PollingFollowsImagesAppearingAndDisappearing)
{
    const std::string image = isoDisc("disc", "POLLED");
    const std::string away = m_temp.file("away.iso");
    m_drives->setDrive('D', image);
    m_drives->setDrive('G', folderDisc("folder", 3));
    MediaEvents events;
    listen(events);

    events.poll();
    EXPECT_TRUE(m_events.empty()) << "nothing changed since the start";
    std::filesystem::rename(image, away);
    events.poll();
    events.poll();
    std::filesystem::rename(away, image);
    events.poll();
    const std::vector<std::pair<bool, char>> expected { { false, 'D' }, { true, 'D' } };
    EXPECT_EQ(m_events, expected);
}

TEST_F(MediaEventsTest, AnInjectedChangeIsNotRaisedAgainByPolling)
{
    const std::string image = isoDisc("disc", "POLLED");
    m_drives->setDrive('D', image);
    MediaEvents events;
    listen(events);
    std::filesystem::remove(image);
    events.injectRemoval('D');
    events.poll();
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, char>> { { false, 'D' } }));
}

TEST_F(MediaEventsTest, DrivesThatComeAndGoRefillListsWithoutMediaEvents)
{
    m_drives->setDrive('D', isoDisc("disc", "ONE"));
    MediaEvents events;
    listen(events);
    int refills = 0;
    QObject::connect(&events, &MediaEvents::drivesChanged, [&refills] { ++refills; });

    m_drives->setDrive('M', folderDisc("folder", 3));
    events.poll();
    EXPECT_EQ(refills, 1);
    events.poll();
    EXPECT_EQ(refills, 1);
    EXPECT_TRUE(m_events.empty()) << "a new drive with a medium is no arrival";
}

TEST_F(MediaEventsTest, WithoutAUdevDaemonOpticalDrivesArePolled)
{
    MediaEvents events;
    if (std::filesystem::exists("/run/udev/control")) {
        GTEST_SKIP() << "this machine runs a udev daemon";
    }
    EXPECT_FALSE(events.usesUdev());
}

} // namespace
