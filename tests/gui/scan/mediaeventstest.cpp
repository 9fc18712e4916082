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
    EXPECT_EQ(TCDEvents::FirstDriveLetter(GetParam().mask), GetParam().letter);
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
        TCDEvents::IsMediaChange(GetParam().action, GetParam().mediaChange, GetParam().cdrom), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Events, MediaChangeTest,
    ::testing::Values(UdevCase { "change", "1", "1", true }, UdevCase { "add", "1", "1", false },
        UdevCase { "remove", "1", "1", false }, UdevCase { "change", nullptr, "1", false },
        UdevCase { "change", "0", "1", false }, UdevCase { "change", "1", nullptr, false },
        UdevCase { nullptr, "1", "1", false }));

class CDEventsTest : public ScanFixture {
protected:
    void listen(TCDEvents& events)
    {
        events.AfterArrival = [this](TCDEvents*, char letter) { m_events.push_back({ true, letter }); };
        events.AfterRemove = [this](TCDEvents*, char letter) { m_events.push_back({ false, letter }); };
    }
    std::vector<std::pair<bool, char>> m_events;
};

TEST_F(CDEventsTest, TheTestSourceRaisesOneEventPerChange)
{
    TCDEvents events;
    listen(events);
    events.InjectArrival('E');
    events.InjectRemoval('e');
    events.DeviceChange(true, (1U << 3) | (1U << 5));
    events.DeviceChange(false, 0);
    const std::vector<std::pair<bool, char>> expected { { true, 'E' }, { false, 'E' }, { true, 'D' } };
    EXPECT_EQ(m_events, expected);
}

TEST_F(CDEventsTest, UnassignedEventsAreSkipped)
{
    TCDEvents events;
    events.AfterRemove = [this](TCDEvents*, char letter) { m_events.push_back({ false, letter }); };
    events.InjectArrival('D');
    events.InjectRemoval('D');
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, char>> { { false, 'D' } }));
}

TEST_F(CDEventsTest, AFailingHandlerIsShownAndLaterEventsStillArrive)
{
    TCDEvents events;
    int calls = 0;
    events.AfterArrival = [&calls](TCDEvents*, char) {
        if (++calls == 1) {
            throw std::runtime_error("handler failed");
        }
    };
    events.InjectArrival('D');
    events.InjectArrival('D');
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(m_questions->messageTexts(), QStringList { QStringLiteral("handler failed") });
}

TEST_F(CDEventsTest, PollingFollowsImagesAppearingAndDisappearing)
{
    const std::string image = isoDisc("disc", "POLLED");
    const std::string away = m_temp.file("away.iso");
    m_drives->setDrive('D', image);
    m_drives->setDrive('G', folderDisc("folder", 3));
    TCDEvents events;
    listen(events);

    events.Poll();
    EXPECT_TRUE(m_events.empty()) << "nothing changed since the start";
    std::filesystem::rename(image, away);
    events.Poll();
    events.Poll();
    std::filesystem::rename(away, image);
    events.Poll();
    const std::vector<std::pair<bool, char>> expected { { false, 'D' }, { true, 'D' } };
    EXPECT_EQ(m_events, expected);
}

TEST_F(CDEventsTest, AnInjectedChangeIsNotRaisedAgainByPolling)
{
    const std::string image = isoDisc("disc", "POLLED");
    m_drives->setDrive('D', image);
    TCDEvents events;
    listen(events);
    std::filesystem::remove(image);
    events.InjectRemoval('D');
    events.Poll();
    EXPECT_EQ(m_events, (std::vector<std::pair<bool, char>> { { false, 'D' } }));
}

TEST_F(CDEventsTest, DrivesThatComeAndGoRefillListsWithoutMediaEvents)
{
    m_drives->setDrive('D', isoDisc("disc", "ONE"));
    TCDEvents events;
    listen(events);
    int refills = 0;
    QObject::connect(&events, &TCDEvents::drivesChanged, [&refills] { ++refills; });

    m_drives->setDrive('M', folderDisc("folder", 3));
    events.Poll();
    EXPECT_EQ(refills, 1);
    events.Poll();
    EXPECT_EQ(refills, 1);
    EXPECT_TRUE(m_events.empty()) << "a new drive with a medium is no arrival";
}

TEST_F(CDEventsTest, WithoutAUdevDaemonOpticalDrivesArePolled)
{
    TCDEvents events;
    if (std::filesystem::exists("/run/udev/control")) {
        GTEST_SKIP() << "this machine runs a udev daemon";
    }
    EXPECT_FALSE(events.UsesUdev());
}

} // namespace
