// The disc properties window: one disc and several, capacity in megabytes both ways, the grayed audio
// box, free space of an over-full disc, titles and comments cut to their fields, and the filesets
// closed after reading and writing.
#include "tests/gui/dialogs/windowsfixture.h"

#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "gui/dialogs/discpropertiesdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>

namespace {

class DiscPropertiesTest : public WindowsFixture {
protected:
    void SetUp() override
    {
        WindowsFixture::SetUp();
        writeSettings();
        startObjects();
        CatalogBuilder catalog;
        catalog.setOwner("Alice").setName("Music");
        m_first = catalog.beginDisc({ .serial = 1,
            .title = "Disc 1",
            .comment = "First line\r\nSecond line",
            .scanTime = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 0),
            .used = 500000000,
            .capacity = 734003200 });
        catalog.addFile("a.mp3", 300000000);
        catalog.addFile("b.mp3", 200000000);
        catalog.endDisc();
        m_audio = catalog.addEmptyDisc(
            { .serial = 2, .title = "Audio", .flags = KTB_DISC_AUDIO, .used = 1000, .capacity = 681574400 });
        m_full = catalog.addEmptyDisc({ .serial = 3, .title = "Too Much", .used = 734003200, .capacity = 681574400 });
        m_fileset = addFileset(catalog, storagePath() + QStringLiteral("music.ktb"));
    }

    ItemRef item(std::uint32_t offset) const
    {
        return ItemRef { DiscItem, m_fileset, offset, storedDisc(m_fileset->fileName, offset).Flags };
    }
    TKTBDisc stored(std::uint32_t offset) const { return storedDisc(m_fileset->fileName, offset); }

    Fileset* m_fileset = nullptr;
    std::uint32_t m_first = 0;
    std::uint32_t m_audio = 0;
    std::uint32_t m_full = 0;
};

TEST_F(DiscPropertiesTest, OneDiscShowsItsFactsAndOkWritesThemBackUnchanged)
{
    const TKTBDisc before = stored(m_first);
    DiscPropertiesDialog form;
    form.fill({ item(m_first) });
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Disc Properties"));
    EXPECT_EQ(form.titleEdit->text(), QStringLiteral("Disc 1"));
    EXPECT_TRUE(form.titleEdit->isEnabled());
    EXPECT_EQ(form.ownerLabel->text(), QStringLiteral("Alice"));
    EXPECT_EQ(form.capacityCombo->currentText(), QStringLiteral("700"));
    EXPECT_EQ(form.scannedLabel->text(), formatDateTime(QDateTime(QDate(2003, 5, 1), QTime(12, 30))));
    EXPECT_EQ(form.entriesLabel->text(), QStringLiteral("2"));
    EXPECT_EQ(form.usedLabel->text(), formatSize(500000000));
    EXPECT_EQ(form.freeLabel->text(), formatSize(734003200 - 500000000));
    EXPECT_FALSE(form.audioCheckBox->isChecked());
    EXPECT_FALSE(form.audioCheckBox->isTristate());
    EXPECT_EQ(form.commentEdit->toPlainText(), QStringLiteral("First line\nSecond line"));
    EXPECT_FALSE(m_fileset->isOpen()) << "closed after reading";

    form.okButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(m_fileset->isOpen()) << "closed after writing";
    const TKTBDisc after = stored(m_first);
    EXPECT_EQ(after.Capacity, 734003200);
    EXPECT_EQ(after.Flags, before.Flags);
    EXPECT_STREQ(after.Title, before.Title);
    EXPECT_STREQ(after.Comment, before.Comment) << "line breaks are stored as CR LF again";
    EXPECT_EQ(after.Used, before.Used);
    EXPECT_EQ(after.ScanTime, before.ScanTime);
}

struct CapacityTyped {
    const char* name;
    QString text;
    std::int64_t stored;
    friend void PrintTo(const CapacityTyped& example, std::ostream* out) { *out << example.name; }
};

class CapacityText : public DiscPropertiesTest, public ::testing::WithParamInterface<CapacityTyped> { };

TEST_P(CapacityText, IsStoredInBytes)
{
    EXPECT_EQ(capacityFromText(GetParam().text), GetParam().stored);
    DiscPropertiesDialog form;
    form.fill({ item(m_first) });
    form.capacityCombo->setCurrentText(GetParam().text);
    form.okButton->click();
    EXPECT_EQ(stored(m_first).Capacity, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Megabytes, CapacityText,
    ::testing::Values(CapacityTyped { "FromTheList", QStringLiteral("650"), 681574400 },
        CapacityTyped { "LargerThan32Bits", QStringLiteral("4700"), 4928307200 },
        CapacityTyped { "NotANumber", QStringLiteral("lots"), 0 }, CapacityTyped { "Empty", QString(), 0 },
        CapacityTyped { "Fraction", QStringLiteral("4.7"), 0 },
        // Megabytes whose bytes do not fit a signed 64-bit value are no capacity either.
        CapacityTyped { "TooLarge", QStringLiteral("9000000000000"), 0 }),
    [](const ::testing::TestParamInfo<CapacityTyped>& info) { return std::string(info.param.name); });

TEST_F(DiscPropertiesTest, SeveralDiscsLeftGrayedKeepTheirAudioFlagsAndDifferentCapacities)
{
    DiscPropertiesDialog form;
    form.fill({ item(m_first), item(m_audio) });
    EXPECT_EQ(form.titleEdit->text(), QStringLiteral("Disc 1, Audio"));
    EXPECT_FALSE(form.titleEdit->isEnabled());
    EXPECT_FALSE(form.commentEdit->isEnabled());
    EXPECT_TRUE(form.commentEdit->toPlainText().isEmpty());
    EXPECT_EQ(form.audioCheckBox->checkState(), Qt::PartiallyChecked);
    // 700 and 650 megabytes: no figure stands for both.
    EXPECT_TRUE(form.capacityCombo->currentText().isEmpty());
    EXPECT_EQ(form.capacityCombo->lineEdit()->placeholderText(), QStringLiteral("(several values)"));
    EXPECT_EQ(form.entriesLabel->text(), QStringLiteral("2"));
    EXPECT_EQ(form.usedLabel->text(), formatSize(500001000));
    EXPECT_TRUE(form.freeLabel->text().isEmpty());
    EXPECT_TRUE(form.ownerLabel->text().isEmpty());
    form.onOkClicked();
    EXPECT_EQ(stored(m_first).Capacity, 734003200) << "left empty, each disc keeps its own";
    EXPECT_EQ(stored(m_audio).Capacity, 681574400);

    form.capacityCombo->setCurrentText(QStringLiteral("680"));
    form.okButton->click();
    EXPECT_EQ(stored(m_first).Capacity, 680 * DiscCapacityUnit);
    EXPECT_EQ(stored(m_audio).Capacity, 680 * DiscCapacityUnit);
    EXPECT_EQ(stored(m_first).Flags, 0u);
    EXPECT_EQ(stored(m_audio).Flags, KTB_DISC_AUDIO);
    EXPECT_STREQ(stored(m_first).Title, "Disc 1") << "titles of several discs stay";
    EXPECT_STREQ(stored(m_audio).Title, "Audio");
}

TEST_F(DiscPropertiesTest, TheAudioBoxSetByTheUserGoesToEveryDisc)
{
    DiscPropertiesDialog form;
    form.fill({ item(m_first), item(m_audio), item(m_full) });
    QTest::mouseClick(form.audioCheckBox, Qt::LeftButton, {}, QPoint(5, form.audioCheckBox->height() / 2));
    EXPECT_EQ(form.audioCheckBox->checkState(), Qt::Checked);
    QTest::mouseClick(form.audioCheckBox, Qt::LeftButton, {}, QPoint(5, form.audioCheckBox->height() / 2));
    EXPECT_EQ(form.audioCheckBox->checkState(), Qt::Unchecked) << "the user has two states only";
    QTest::mouseClick(form.audioCheckBox, Qt::LeftButton, {}, QPoint(5, form.audioCheckBox->height() / 2));
    EXPECT_EQ(form.audioCheckBox->checkState(), Qt::Checked);
    form.okButton->click();
    for (const std::uint32_t offset : { m_first, m_audio, m_full }) {
        EXPECT_EQ(stored(offset).Flags & KTB_DISC_AUDIO, KTB_DISC_AUDIO);
    }
}

TEST_F(DiscPropertiesTest, AnOverFullDiscShowsNegativeFreeSpace)
{
    DiscPropertiesDialog form;
    form.fill({ item(m_full) });
    EXPECT_EQ(form.freeLabel->text(), formatSize(681574400LL - 734003200LL));
    EXPECT_TRUE(form.freeLabel->text().startsWith(QLatin1Char('-'))) << form.freeLabel->text().toStdString();
}

struct TextCut {
    const char* name;
    QString title;
    QString comment;
    std::string storedTitle;
    std::string storedComment;
    friend void PrintTo(const TextCut& example, std::ostream* out) { *out << example.name; }
};

class TextsCut : public DiscPropertiesTest, public ::testing::WithParamInterface<TextCut> { };

TEST_P(TextsCut, ToTheirFieldsWithoutSplittingACharacter)
{
    DiscPropertiesDialog form;
    form.fill({ item(m_first) });
    form.titleEdit->setText(GetParam().title);
    form.commentEdit->setPlainText(GetParam().comment);
    form.okButton->click();
    const TKTBDisc after = stored(m_first);
    EXPECT_EQ(std::string(after.Title), GetParam().storedTitle);
    EXPECT_EQ(std::string(after.Comment), GetParam().storedComment);
}

INSTANTIATE_TEST_SUITE_P(Fields, TextsCut,
    ::testing::Values(TextCut { "Ascii", QString(70, QLatin1Char('t')), QString(80, QLatin1Char('c')),
                          std::string(63, 't'), std::string(59, 'c') },
        // A two-byte character that would end one byte past the field stays out whole.
        TextCut { "Utf8", QString(62, QLatin1Char('t')) + QStringLiteral("\u00e9x"),
            QString(58, QLatin1Char('c')) + QStringLiteral("\u00fc"), std::string(62, 't'), std::string(58, 'c') },
        // A line break is CR LF in the catalog; one cut in half is left out.
        TextCut { "LineBreak", QStringLiteral("Title"), QString(58, QLatin1Char('c')) + QStringLiteral("\nmore"),
            "Title", std::string(58, 'c') }),
    [](const ::testing::TestParamInfo<TextCut>& info) { return std::string(info.param.name); });

TEST_F(DiscPropertiesTest, ALockedFilesetRefusesTheChangesSilently)
{
    CatalogBuilder catalog;
    catalog.setKey("secret");
    const std::uint32_t disc = catalog.addEmptyDisc({ .serial = 4, .title = "Locked", .capacity = 681574400 });
    Fileset* locked = addFileset(catalog, storagePath() + QStringLiteral("locked.ktb"));
    DiscPropertiesDialog form;
    form.fill({ ItemRef { DiscItem, locked, disc, 0 } });
    form.titleEdit->setText(QStringLiteral("Changed"));
    form.capacityCombo->setCurrentText(QStringLiteral("700"));
    form.okButton->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const TKTBDisc after = storedDisc(locked->fileName, disc);
    EXPECT_STREQ(after.Title, "Locked");
    EXPECT_EQ(after.Capacity, 681574400);
    EXPECT_TRUE(m_questions->asked().empty());
}

TEST_F(DiscPropertiesTest, AnOffsetThatHoldsNoDiscRaisesTheCatalogError)
{
    DiscPropertiesDialog form;
    EXPECT_THROW(
        form.fill({ ItemRef { DiscItem, m_fileset, m_first + CatalogBuilder::DiscRecordBytes, 0 } }), CatalogError);
    EXPECT_FALSE(m_fileset->isOpen());
}

TEST_F(DiscPropertiesTest, ShowDiscPropertiesAnswersTheWindowsResult)
{
    whenModal([](QDialog* dialog) {
        auto* form = qobject_cast<DiscPropertiesDialog*>(dialog);
        ASSERT_NE(form, nullptr);
        form->capacityCombo->setCurrentText(QStringLiteral("680"));
        form->okButton->click();
    });
    EXPECT_EQ(showDiscProperties({ item(m_audio) }), QDialog::Accepted);
    EXPECT_EQ(stored(m_audio).Capacity, 680 * DiscCapacityUnit);
    EXPECT_EQ(stored(m_audio).Flags, KTB_DISC_AUDIO);

    whenModal([](QDialog* dialog) {
        static_cast<DiscPropertiesDialog*>(dialog)->capacityCombo->setCurrentText(QStringLiteral("1"));
        static_cast<DiscPropertiesDialog*>(dialog)->cancelButton->click();
    });
    EXPECT_EQ(showDiscProperties({ item(m_audio) }), QDialog::Rejected);
    EXPECT_EQ(stored(m_audio).Capacity, 680 * DiscCapacityUnit);
}

} // namespace
