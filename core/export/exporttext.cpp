#include "core/export/exporttext.h"

#include "core/export/exportbuffer.h"
#include "engine/ktb_utils.h"

#include <charconv>
#include <cstring>
#include <ctime>

namespace {

bool allAscii(std::string_view bytes)
{
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + i, 8);
        if ((word & 0x8080808080808080ull) != 0) {
            return false;
        }
    }
    for (; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
            return false;
        }
    }
    return true;
}

constexpr char s_twoDigits[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                               "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                               "8081828384858687888990919293949596979899";

void putTwoDigits(char* text, unsigned value) { std::memcpy(text, s_twoDigits + 2 * value, 2); }

bool readDigits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

constexpr char s_base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

} // namespace

bool isUtf8Text(std::string_view bytes) { return allAscii(bytes) || ktbIsUtf8(bytes); }

template <class Out> bool appendCatalogUtf8(Out& out, std::string_view bytes)
{
    // Almost every name is plain ASCII: one pass over it, no decoding.
    if (isUtf8Text(bytes)) {
        out.append(bytes.data(), bytes.size());
        return true;
    }
    const std::string utf8 = ktbCp1252ToUtf8(bytes);
    out.append(utf8.data(), utf8.size());
    return false;
}

bool formatDosDateTime(std::uint32_t packed, char* text)
{
    // As ktbUnpackDosDateTime checks it, without the calendar structure: rows are written by the million.
    const unsigned day = (packed >> 16) & 0x1F;
    const unsigned month = (packed >> 21) & 0x0F;
    const unsigned year = (packed >> 25) + 1980;
    const unsigned seconds = (packed & 0x1F) * 2;
    const unsigned minutes = (packed >> 5) & 0x3F;
    const unsigned hours = (packed >> 11) & 0x1F;
    static constexpr unsigned char s_daysInMonth[16] = { 0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 0, 0, 0 };
    if (packed == 0 || day == 0 || day > s_daysInMonth[month] || hours > 23 || minutes > 59 || seconds > 59) {
        return false;
    }
    if (month == 2 && day == 29 && !((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) {
        return false;
    }
    putTwoDigits(text, year / 100);
    putTwoDigits(text + 2, year % 100);
    text[4] = '-';
    putTwoDigits(text + 5, month);
    text[7] = '-';
    putTwoDigits(text + 8, day);
    text[10] = 'T';
    putTwoDigits(text + 11, hours);
    text[13] = ':';
    putTwoDigits(text + 14, minutes);
    text[16] = ':';
    putTwoDigits(text + 17, seconds);
    return true;
}

template <class Out> bool appendDosDateTime(Out& out, std::uint32_t packed)
{
    char text[19];
    if (!formatDosDateTime(packed, text)) {
        return false;
    }
    out.append(text, sizeof text);
    return true;
}

bool parseDosDateTime(std::string_view text, std::uint32_t& packed)
{
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':'
        || text[16] != ':') {
        return false;
    }
    std::tm time {};
    int year = 0;
    if (!readDigits(text, 0, 4, year) || !readDigits(text, 5, 2, time.tm_mon) || !readDigits(text, 8, 2, time.tm_mday)
        || !readDigits(text, 11, 2, time.tm_hour) || !readDigits(text, 14, 2, time.tm_min)
        || !readDigits(text, 17, 2, time.tm_sec)) {
        return false;
    }
    if (year < 1980 || year > 2107 || time.tm_sec % 2 != 0) {
        return false;
    }
    time.tm_year = year - 1900;
    time.tm_mon -= 1;
    packed = ktbPackDosDateTime(time);
    // Packing does not check the calendar: the value must read back as the same text.
    char again[19];
    return formatDosDateTime(packed, again) && std::string_view(again, sizeof again) == text;
}

std::string serialText(std::uint32_t serial)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text(9, '-');
    for (int i = 0; i < 8; ++i) {
        text[static_cast<std::size_t>(i < 4 ? i : i + 1)] = digits[(serial >> (28 - 4 * i)) & 0xF];
    }
    return text;
}

bool parseSerialText(std::string_view text, std::uint32_t& serial)
{
    if (text.size() == 9 && text[4] == '-') {
        return parseSerialText(std::string(text.substr(0, 4)) + std::string(text.substr(5)), serial);
    }
    if (text.size() != 8) {
        return false;
    }
    serial = 0;
    for (const char c : text) {
        const int value = hexValue(c);
        if (value < 0) {
            return false;
        }
        serial = serial << 4 | static_cast<std::uint32_t>(value);
    }
    return true;
}

template <class Out> void appendJsonString(Out& out, std::string_view text, bool forHtml)
{
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t plain = 0;
    const auto flush = [&](std::size_t upTo) { out.append(text.data() + plain, upTo - plain); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const char* escape = nullptr;
        char unicode[7] = { '\\', 'u', '0', '0', 0, 0, 0 };
        if (c == '"') {
            escape = "\\\"";
        } else if (c == '\\') {
            escape = "\\\\";
        } else if (c == '\n') {
            escape = "\\n";
        } else if (c == '\t') {
            escape = "\\t";
        } else if (c < 0x20 || (forHtml && (c == '<' || c == '>' || c == '&'))) {
            unicode[4] = hex[c >> 4];
            unicode[5] = hex[c & 0xF];
            escape = unicode;
        } else if (forHtml && c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
            && (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
            // U+2028 and U+2029 end a line inside a script.
            flush(i);
            out.append(static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029", 6);
            i += 2;
            plain = i + 1;
            continue;
        }
        if (escape != nullptr) {
            flush(i);
            out.append(escape, std::strlen(escape));
            plain = i + 1;
        }
    }
    flush(text.size());
    out += '"';
}

template <class Out> void appendHtmlEscaped(Out& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '<':
            out.append("&lt;", 4);
            break;
        case '>':
            out.append("&gt;", 4);
            break;
        case '&':
            out.append("&amp;", 5);
            break;
        case '"':
            out.append("&quot;", 6);
            break;
        case '\'':
            out.append("&#39;", 5);
            break;
        default:
            out += c;
        }
    }
}

template <class Out> void appendBase64(Out& out, std::string_view bytes)
{
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16
            | static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8
            | static_cast<unsigned char>(bytes[i + 2]);
        out += s_base64[group >> 18];
        out += s_base64[(group >> 12) & 63];
        out += s_base64[(group >> 6) & 63];
        out += s_base64[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0) {
        return;
    }
    std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2) {
        group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    }
    out += s_base64[group >> 18];
    out += s_base64[(group >> 12) & 63];
    out += rest == 2 ? s_base64[(group >> 6) & 63] : '=';
    out += '=';
}

bool decodeBase64(std::string_view text, std::string& bytes)
{
    while (!text.empty() && text.back() == '=') {
        text.remove_suffix(1);
    }
    bytes.clear();
    std::uint32_t group = 0;
    int bits = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        }
        if (value < 0) {
            return false;
        }
        group = group << 6 | static_cast<std::uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return bits < 6;
}

template <class Out> void appendNumber(Out& out, std::uint64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

// The two outputs of the texts.
#define KATALOX_EXPORT_TEXT_FOR(Out)                                                                                   \
    template bool appendCatalogUtf8(Out& out, std::string_view bytes);                                                 \
    template bool appendDosDateTime(Out& out, std::uint32_t packed);                                                   \
    template void appendJsonString(Out& out, std::string_view text, bool forHtml);                                     \
    template void appendHtmlEscaped(Out& out, std::string_view text);                                                  \
    template void appendBase64(Out& out, std::string_view bytes);                                                      \
    template void appendNumber(Out& out, std::uint64_t value);
KATALOX_EXPORT_TEXT_FOR(std::string)
KATALOX_EXPORT_TEXT_FOR(ExportBuffer)
