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
    TDriveList list { { QStringLiteral("stale"), 'X' } };
    EXPECT_FALSE(GetCDDrives(&list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(GetCDDrives(nullptr));
}

TEST_F(DriveUtilsTest, DrivesAreListedInLetterOrderWithTheirLetters)
{
    m_table->setDrive('G', m_temp.file("nothing-here"));
    m_table->setDrive('E', m_temp.file("nothing-either"));
    TDriveList list;
    ASSERT_TRUE(GetCDDrives(&list));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].Text, QStringLiteral("E"));
    EXPECT_EQ(list[0].Letter, 'E');
    EXPECT_EQ(list[1].Text, QStringLiteral("G"));
    EXPECT_EQ(list[1].Letter, 'G');

    // A window rewrites the texts; the letters stay findable.
    list[1].Text = QStringLiteral("G: (no disc)");
    EXPECT_EQ(IndexOfDrive(list, 'G'), 1);
    EXPECT_EQ(IndexOfDrive(list, 'F'), -1);
}

TEST_F(DriveUtilsTest, AnEmptyDriveHasNoLabelAndNoAudioAnswer)
{
    m_table->setDrive('E', m_temp.file("no-disc.iso"));
    QString label = QStringLiteral("old");
    EXPECT_FALSE(GetDiscLabel('E', label));
    EXPECT_TRUE(label.isEmpty());
    bool audio = true;
    EXPECT_FALSE(IsAudioCD('E', audio));
    EXPECT_FALSE(audio);

    label = QStringLiteral("old");
    EXPECT_FALSE(GetDiscLabel('Q', label)) << "no such drive";
    EXPECT_TRUE(label.isEmpty());
    audio = true;
    EXPECT_FALSE(IsAudioCD('Q', audio));
    EXPECT_FALSE(audio);
}

TEST_F(DriveUtilsTest, ADiscIsPresentByItsSerialEvenWithoutALabel)
{
    m_table->setDrive('E', dataImage("My Disc"));
    m_table->setDrive('F', dataImage(""));
    QString label;
    EXPECT_TRUE(GetDiscLabel('E', label));
    EXPECT_EQ(label, QStringLiteral("My Disc"));
    EXPECT_TRUE(GetDiscLabel('F', label));
    EXPECT_TRUE(label.isEmpty());
    bool audio = true;
    EXPECT_TRUE(IsAudioCD('E', audio));
    EXPECT_FALSE(audio);
}

TEST_F(DriveUtilsTest, TheAudioTestLooksAtTrackOne)
{
    ASSERT_TRUE(writeCueDisc(m_temp.file("audio.cue"), { CueTrack::audio(600), CueTrack::audio(300) }));
    ASSERT_TRUE(writeCueDisc(m_temp.file("mixed.cue"), { CueTrack::data(dataImage("MIXED")), CueTrack::audio(300) }));
    m_table->setDrive('E', m_temp.file("audio.cue"));
    m_table->setDrive('F', m_temp.file("mixed.cue"));
    bool audio = false;
    EXPECT_TRUE(IsAudioCD('E', audio));
    EXPECT_TRUE(audio);
    EXPECT_TRUE(IsAudioCD('F', audio));
    EXPECT_FALSE(audio);
    QString label;
    EXPECT_TRUE(GetDiscLabel('E', label));
    EXPECT_EQ(label, QStringLiteral("Audio CD"));
}

TEST_F(DriveUtilsTest, TrayCommandsOnImagesAndMissingDrivesDoNothing)
{
    const std::string image = dataImage("TRAY");
    m_table->setDrive('E', image);
    SetCDDoor('E', true);
    SetCDDoor('E', false);
    SetCDDoor('Z', true);
    QString label;
    EXPECT_TRUE(GetDiscLabel('E', label)) << "the image is still there";
}

} // namespace
