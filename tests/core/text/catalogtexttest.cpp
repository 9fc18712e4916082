// Dates and texts of catalogs as the lists show them: the quick date formatter must write exactly what
// the locale would, in every locale; texts decode as UTF-8, else as Windows-1252.
#include "core/text/catalogtext.h"
#include "engine/ktb_utils.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/qtprinters.h"

#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString localeDateTime(const QDateTime& value)
{
    const QLocale locale;
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
    return locale.toString(value.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(value.time(), time.trimmed());
}

class DateFormatTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        m_saved = QLocale();
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam())));
    }
    void TearDown() override { QLocale::setDefault(m_saved); }
    QLocale m_saved;
};

TEST_P(DateFormatTest, WritesWhatTheLocaleWrites)
{
    const struct {
        int year, month, day, hour, minute, second;
    } values[] = { { 2003, 5, 1, 12, 30, 0 }, { 1999, 12, 31, 23, 59, 58 }, { 2024, 2, 29, 0, 0, 2 },
        { 1980, 1, 1, 9, 5, 4 } };
    for (const auto& v : values) {
        const std::uint32_t packed = CatalogBuilder::dosDateTime(v.year, v.month, v.day, v.hour, v.minute, v.second);
        const QDateTime expected(QDate(v.year, v.month, v.day), QTime(v.hour, v.minute, v.second));
        EXPECT_EQ(formatDosDateTime(packed), localeDateTime(expected));
        EXPECT_EQ(formatDateTime(expected), localeDateTime(expected));
        EXPECT_EQ(formatDosDate(packed), QLocale().toString(expected.date(), QLocale::ShortFormat));
    }
    // Midnight leaves the time out; 0 and values that are no date are empty.
    EXPECT_EQ(formatDosDateTime(CatalogBuilder::dosDateTime(2003, 8, 2)),
        QLocale().toString(QDate(2003, 8, 2), QLocale::ShortFormat));
    EXPECT_EQ(formatDosDateTime(0), QString());
    EXPECT_EQ(formatDosDateTime(CatalogBuilder::dosDateTime(2003, 13, 2)), QString());
    EXPECT_EQ(formatDosDateTime(CatalogBuilder::dosDateTime(2003, 2, 30)), QString());
}

INSTANTIATE_TEST_SUITE_P(Locales, DateFormatTest, ::testing::Values("C", "en_US", "de_DE", "ja_JP", "fr_FR", "ar_EG"));

TEST(CatalogTextTest, DecodesUtf8ElseWindows1252AndCutsWithoutSplittingCharacters)
{
    EXPECT_EQ(decodeCatalogText("Caf\xc3\xa9"), QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(decodeCatalogText("Caf\xe9 \x80"), QStringLiteral("Caf\u00e9 \u20ac"));
    EXPECT_EQ(decodeCatalogText("\xe6\x97\xa5\xe6\x9c\xac"), QStringLiteral("\u65e5\u672c"));
    // "é" is two bytes: a cut at 4 bytes keeps "Caf" and drops the split character.
    EXPECT_EQ(encodeCatalogText(QStringLiteral("Caf\u00e9"), 4), std::string("Caf"));
    EXPECT_EQ(encodeCatalogText(QStringLiteral("Caf\u00e9"), 5), std::string("Caf\xc3\xa9"));
}

TEST(CatalogTextTest, EveryWindows1252ByteIsOneCharacterAndEncodesBack)
{
    // The five bytes the code page leaves unassigned are the control characters of the same value, as
    // Windows reads them: never U+FFFD, which would lose them when a text is written back.
    EXPECT_EQ(decodeCatalogText("\x81\x8D\x8F\x90\x9D"), QStringLiteral("\u0081\u008D\u008F\u0090\u009D"));
    EXPECT_EQ(decodeCatalogText("\x80\x9F\xA0\xFF"), QStringLiteral("\u20AC\u0178\u00A0\u00FF"));
    std::string every;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        every += static_cast<char>(byte);
    }
    const QString decoded = decodeCatalogText(every);
    EXPECT_EQ(decoded.size(), 128);
    EXPECT_FALSE(decoded.contains(QChar(0xFFFD)));
    std::string encoded;
    ASSERT_TRUE(ktbUtf8ToCp1252(encodeCatalogText(decoded), encoded));
    EXPECT_EQ(encoded, every);
}

} // namespace
