// Byte counts as text: the unit by strict comparison, two decimals rounded half away from zero, seven
// significant digits, scientific notation beyond, and the user's decimal separator.

#include "core/text/formatsize.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

struct SizeCase {
    std::int64_t Bytes;
    const char* Text;
};

void PrintTo(const SizeCase& size, std::ostream* out) { *out << size.Bytes; }

class FormatSizeTest : public testing::TestWithParam<SizeCase> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_P(FormatSizeTest, MatchesTheTable) { EXPECT_EQ(formatSize(GetParam().Bytes), QString::fromUtf8(GetParam().Text)); }

constexpr std::int64_t Kib = 1024;
constexpr std::int64_t Mib = Kib * Kib;
constexpr std::int64_t Gib = Mib * Kib;

INSTANTIATE_TEST_SUITE_P(Sizes, FormatSizeTest,
    testing::Values(SizeCase { 0, "0 b" }, SizeCase { 1, "1 b" }, SizeCase { 1024, "1024 b" },
        SizeCase { 1025, "1.00 Kb" }, SizeCase { 1536, "1.50 Kb" }, SizeCase { Mib, "1024.00 Kb" },
        SizeCase { Mib + 1, "1.00 Mb" }, SizeCase { 734003200, "700.00 Mb" }, SizeCase { Gib, "1024.00 Mb" },
        SizeCase { Gib + 1, "1.00 Gb" }, SizeCase { 1610612736, "1.50 Gb" }, SizeCase { -2048, "-2.00 Kb" },
        SizeCase { -5, "-5 b" }, SizeCase { -1024, "-1024 b" },
        // 1.125 rounds up (half away from zero, not to even); 1.0048828125 stays down.
        SizeCase { 1152, "1.13 Kb" }, SizeCase { 1029, "1.00 Kb" }, SizeCase { 1030, "1.01 Kb" },
        SizeCase { -1152, "-1.13 Kb" },
        // Seven significant digits: the digits after the seventh print as zeros.
        SizeCase { 123456 * Gib + 847173632, "123456.80 Gb" }, // 123456.789
        SizeCase { 1234567 * Gib + 955630223, "1234568.00 Gb" }, // 1234567.89
        SizeCase { 999999 * Gib + 1069446856, "1000000.00 Gb" }, // 999999.996
        // More than seven digits before the separator: scientific notation.
        SizeCase { 9999999 * Gib + Gib / 2, "1.000000E+07 Gb" }, SizeCase { 12345678 * Gib, "1.234568E+07 Gb" },
        SizeCase { INT64_MAX, "8.589935E+09 Gb" }, SizeCase { INT64_MIN, "-8.589935E+09 Gb" }));

TEST(FormatSizeLocale, UsesTheUsersDecimalSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatSize(1536), QStringLiteral("1,50 Kb"));
    EXPECT_EQ(formatSize(1024), QStringLiteral("1024 b"));
    EXPECT_EQ(formatSize(INT64_MAX), QStringLiteral("8,589935E+09 Gb"));
    QLocale::setDefault(QLocale::system());
}

} // namespace
