#include "core/export/exporttext.h"

#include "engine/ktb_utils.h"

#include <charconv>
#include <ctime>

namespace {

bool allAscii(std::string_view bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

void appendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10);
    out += static_cast<char>('0' + value % 10);
}

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

bool appendCatalogUtf8(std::string& out, std::string_view bytes)
{
    // Almost every name is plain ASCII: one pass over it, no decoding.
    if (allAscii(bytes) || ktbIsUtf8(bytes)) {
        out.append(bytes);
        return true;
    }
    out += ktbCp1252ToUtf8(bytes);
    return false;
}

bool appendDosDateTime(std::string& out, std::uint32_t packed)
{
    std::tm time {};
    if (packed == 0 || !ktbUnpackDosDateTime(packed, time)) {
        return false;
    }
    const int year = time.tm_year + 1900;
    appendTwoDigits(out, year / 100);
    appendTwoDigits(out, year % 100);
    out += '-';
    appendTwoDigits(out, time.tm_mon + 1);
    out += '-';
    appendTwoDigits(out, time.tm_mday);
    out += 'T';
    appendTwoDigits(out, time.tm_hour);
    out += ':';
    appendTwoDigits(out, time.tm_min);
    out += ':';
    appendTwoDigits(out, time.tm_sec);
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
    std::string again;
    return appendDosDateTime(again, packed) && again == text;
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

void appendJsonString(std::string& out, std::string_view text, bool forHtml)
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
            out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
            plain = i + 1;
            continue;
        }
        if (escape != nullptr) {
            flush(i);
            out += escape;
            plain = i + 1;
        }
    }
    flush(text.size());
    out += '"';
}

void appendHtmlEscaped(std::string& out, std::string_view text)
{
    for (const char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

void appendBase64(std::string& out, std::string_view bytes)
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

void appendNumber(std::string& out, std::uint64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}
