// The drive utilities over a table of test drives: the drive list in letter order, labels and presence,
// the audio test, and the tray commands that must stay silent.

#include "core/drives/driveutils.h"
#include "platform/drivelayer.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

namespace {

class DriveUtilsTest : public testing::Test {
protected:
    void SetUp() override
    {
        auto table = std::make_unique<PathDriveTable>();
        m_table = table.get();
        setDriveTable(std::move(table));
    }
    void TearDown() override { setDriveTable(nullptr); }

    std::string dataImage(const std::string& volumeId)
    {
        const std::string image = m_temp.file(volumeId.empty() ? "unnamed.iso" : volumeId + ".iso");
        EXPECT_TRUE(writeDiscTree(m_temp.file("tree"), standardDiscTree()));
        IsoImageOptions options;
        options.VolumeId = volumeId;
        EXPECT_TRUE(buildIsoImage(m_temp.file("tree"), image, options));
        return image;
    }

    TempFolder m_temp;
    PathDriveTable* m_table = nullptr;
};

TEST_F(DriveUtilsTest, WithoutDrivesTheListIsClearedAndFalse)
{
    DriveList list { { QStringLiteral("stale"), 'X' } };
    EXPECT_FALSE(listDrives(&list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(listDrives(nullptr));
}

TEST_F(DriveUtilsTest, DrivesAreListedInLetterOrderWithTheirLetters)
{
    m_table->setDrive('G', m_temp.file("nothing-here"));
    m_table->setDrive('E', m_temp.file("nothing-either"));
    DriveList list;
    ASSERT_TRUE(listDrives(&list));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].text, QStringLiteral("E"));
    EXPECT_EQ(list[0].letter, 'E');
    EXPECT_EQ(list[1].text, QStringLiteral("G"));
    EXPECT_EQ(list[1].letter, 'G');

    // A window rewrites the texts; the letters stay findable.
    list[1].text = QStringLiteral("G: (no disc)");
    EXPECT_EQ(indexOfDrive(list, 'G'), 1);
    EXPECT_EQ(indexOfDrive(list, 'F'), -1);
}

TEST_F(DriveUtilsTest, AnEmptyDriveHasNoLabelAndNoAudioAnswer)
{
    m_table->setDrive('E', m_temp.file("no-disc.iso"));
    QString label = QStringLiteral("old");
    EXPECT_FALSE(discLabel('E', label));
    EXPECT_TRUE(label.isEmpty());
    bool audio = true;
    EXPECT_FALSE(isAudioDisc('E', audio));
    EXPECT_FALSE(audio);

    label = QStringLiteral("old");
    EXPECT_FALSE(discLabel('Q', label)) << "no such drive";
    EXPECT_TRUE(label.isEmpty());
    audio = true;
    EXPECT_FALSE(isAudioDisc('Q', audio));
    EXPECT_FALSE(audio);
}

TEST_F(DriveUtilsTest, ADiscIsPresentByItsSerialEvenWithoutALabel)
{
    m_table->setDrive('E', dataImage("My Disc"));
    m_table->setDrive('F', dataImage(""));
    QString label;
    EXPECT_TRUE(discLabel('E', label));
    EXPECT_EQ(label, QStringLiteral("My Disc"));
    EXPECT_TRUE(discLabel('F', label));
    EXPECT_TRUE(label.isEmpty());
    bool audio = true;
    EXPECT_TRUE(isAudioDisc('E', audio));
    EXPECT_FALSE(audio);
}

TEST_F(DriveUtilsTest, TheAudioTestLooksAtTrackOne)
{
    ASSERT_TRUE(writeCueDisc(m_temp.file("audio.cue"), { CueTrack::audio(600), CueTrack::audio(300) }));
    ASSERT_TRUE(writeCueDisc(m_temp.file("mixed.cue"), { CueTrack::data(dataImage("MIXED")), CueTrack::audio(300) }));
    m_table->setDrive('E', m_temp.file("audio.cue"));
    m_table->setDrive('F', m_temp.file("mixed.cue"));
    bool audio = false;
    EXPECT_TRUE(isAudioDisc('E', audio));
    EXPECT_TRUE(audio);
    EXPECT_TRUE(isAudioDisc('F', audio));
    EXPECT_FALSE(audio);
    QString label;
    EXPECT_TRUE(discLabel('E', label));
    EXPECT_EQ(label, QStringLiteral("Audio CD"));
}

TEST_F(DriveUtilsTest, TrayCommandsOnImagesAndMissingDrivesDoNothing)
{
    const std::string image = dataImage("TRAY");
    m_table->setDrive('E', image);
    setDriveDoor('E', true);
    setDriveDoor('E', false);
    setDriveDoor('Z', true);
    QString label;
    EXPECT_TRUE(discLabel('E', label)) << "the image is still there";
}

} // namespace
