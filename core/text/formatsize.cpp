#include "core/text/formatsize.h"

#include <QLocale>
#include <algorithm>

namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr int s_significantDigits = 7;
constexpr int s_decimals = 2;

int digitCount(Wide value)
{
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

Wide powerOfTen(int exponent)
{
    Wide power = 1;
    for (int index = 0; index < exponent; ++index) {
        power *= 10;
    }
    return power;
}

QString digitsOf(Wide value)
{
    QString digits;
    do {
        digits.prepend(QChar(u'0' + static_cast<char16_t>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

// n / 2^shift * 10^decimals rounded half away from zero, exactly: n is at most 2^64, so every product
// fits in 128 bits and no floating rounding creeps in.
Wide roundedScaled(std::uint64_t n, int shift, int decimals)
{
    Wide numerator = n;
    Wide denominator = Wide(1) << shift;
    if (decimals >= 0) {
        numerator *= powerOfTen(decimals);
    } else {
        denominator *= powerOfTen(-decimals);
    }
    return (numerator + denominator / 2) / denominator;
}

QString scientific(std::uint64_t n, int shift, int exponent, const QString& point)
{
    Wide digits = roundedScaled(n, shift, s_significantDigits - exponent);
    if (digitCount(digits) > s_significantDigits) {
        digits /= 10; // 9999999.5 became 10000000
        ++exponent;
    }
    const QString text = digitsOf(digits);
    QString power = QString::number(exponent - 1);
    if (power.size() < 2) {
        power.prepend(u'0');
    }
    return text.left(1) + point + text.mid(1) + QStringLiteral("E+") + power;
}

// n / 2^shift in fixed notation with two decimals.
QString scaled(std::uint64_t n, int shift)
{
    const QString point = QLocale().decimalPoint();
    const int exponent = digitCount(n >> shift);
    const int decimals = std::min(s_decimals, s_significantDigits - exponent);
    if (decimals < 0) {
        return scientific(n, shift, exponent, point);
    }
    const Wide rounded = roundedScaled(n, shift, decimals);
    if (digitCount(rounded) - decimals > s_significantDigits) {
        return scientific(n, shift, exponent, point);
    }
    const Wide unit = powerOfTen(decimals);
    QString fraction = digitsOf(rounded % unit).rightJustified(decimals, u'0');
    if (decimals == 0) {
        fraction.clear();
    }
    return digitsOf(rounded / unit) + point + fraction.leftJustified(s_decimals, u'0');
}

// The common case written straight into a buffer: a list of many files formats a size per row.
// Answers false when the value needs the general path (more than five digits before the point).
bool formatShort(std::uint64_t n, int shift, const char* unit, bool negative, QString& text)
{
    if (n >= (std::uint64_t(1) << 50)) {
        return false;
    }
    const std::uint64_t rounded = (n * 100 + (std::uint64_t(1) << (shift - 1))) >> shift;
    std::uint64_t whole = rounded / 100;
    if (whole >= 100000) {
        return false;
    }
    char16_t buffer[32];
    int length = 0;
    if (negative) {
        buffer[length++] = u'-';
    }
    char16_t digits[8];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    while (count > 0) {
        buffer[length++] = digits[--count];
    }
    const QString point = QLocale().decimalPoint();
    for (qsizetype i = 0; i < point.size() && i < 4; ++i) {
        buffer[length++] = point.at(i).unicode();
    }
    buffer[length++] = static_cast<char16_t>(u'0' + (rounded % 100) / 10);
    buffer[length++] = static_cast<char16_t>(u'0' + rounded % 10);
    for (const char* c = unit; *c != '\0'; ++c) {
        buffer[length++] = static_cast<char16_t>(*c);
    }
    text = QString(reinterpret_cast<const QChar*>(buffer), length);
    return true;
}

} // namespace

QString formatSize(std::int64_t bytes)
{
    const bool negative = bytes < 0;
    const std::uint64_t n = negative ? 0 - static_cast<std::uint64_t>(bytes) : static_cast<std::uint64_t>(bytes);
    QString text;
    const int shift = n > (std::uint64_t(1) << 30) ? 30 : n > (std::uint64_t(1) << 20) ? 20 : n > 1024 ? 10 : 0;
    static const char* const s_units[] = { " Kb", " Mb", " Gb" };
    if (shift > 0 && formatShort(n, shift, s_units[shift / 10 - 1], negative, text)) {
        return text;
    }
    if (n > (std::uint64_t(1) << 30)) {
        text = scaled(n, 30) + QStringLiteral(" Gb");
    } else if (n > (std::uint64_t(1) << 20)) {
        text = scaled(n, 20) + QStringLiteral(" Mb");
    } else if (n > (std::uint64_t(1) << 10)) {
        text = scaled(n, 10) + QStringLiteral(" Kb");
    } else {
        text = QString::number(n) + QStringLiteral(" b");
    }
    return negative ? QStringLiteral("-") + text : text;
}
