#include "engine/ktb_utils.h"

#include "engine/ktb32.h"
#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

std::uint32_t ktbPosition(const TKTBHandle* handle) { return handle != nullptr ? handle->Position : 0; }

std::uint32_t ktbFileSize(const TKTBHandle* handle) { return handle != nullptr ? handle->Size : 0; }

bool ktbSeek(TKTBHandle* handle, std::int64_t offset, int origin)
{
    if (handle == nullptr || handle->View == nullptr) {
        return false;
    }
    switch (origin) {
    case 0:
        handle->Position = static_cast<std::uint32_t>(offset);
        break;
    case 1:
        handle->Position = static_cast<std::uint32_t>(handle->Position + offset);
        break;
    case 2:
        handle->Position = static_cast<std::uint32_t>(handle->Size - offset);
        break;
    default:
        handle->Position = 0;
        break;
    }
    return true;
}

bool ktbRead(TKTBHandle* handle, void* buffer, std::uint32_t count)
{
    if (handle == nullptr || !ktbGuardedCopy(buffer, handle, handle->Position, count)) {
        return false;
    }
    handle->Position += count;
    return true;
}

bool ktbWrite(TKTBHandle* handle, const void* buffer, std::uint32_t count)
{
    if (handle == nullptr || handle->View == nullptr || handle->ReadOnly || handle->Private) {
        return false;
    }
    const std::uint32_t position = handle->Position;
    const std::uint64_t end = static_cast<std::uint64_t>(position) + count;
    if (end > UINT32_MAX) {
        return false;
    }
    if (handle->ChangeDepth == 0) {
        if (ktbBeginChange(handle, { { position, count } }) != KTB_OK) {
            return false;
        }
        const bool written = ktbWrite(handle, buffer, count);
        return ktbEndChange(handle, written) && written;
    }
    // A change in which a write failed is taken back at its end, whatever its caller makes of the answer.
    if ((end > handle->Size && !ktbResize(handle, static_cast<std::uint32_t>(end)))
        || !ktbIoWrite(handle->File, handle->Path.c_str(), buffer, count, position)) {
        handle->ChangeFailed = true;
        return false;
    }
    handle->Position = position + count;
    return true;
}

bool ktbReadString(TKTBHandle* handle, std::string& text)
{
    std::uint16_t length = 0;
    if (!ktbRead(handle, &length, sizeof length)) {
        return false;
    }
    std::string bytes(length, '\0');
    if (!ktbRead(handle, bytes.data(), length)) {
        return false;
    }
    text = std::move(bytes);
    return true;
}

bool ktbReadStringZ(TKTBHandle* handle, char*& text)
{
    text = nullptr;
    std::uint16_t length = 0;
    if (!ktbRead(handle, &length, sizeof length)) {
        return false;
    }
    char* bytes = static_cast<char*>(std::malloc(length + 1u));
    if (bytes == nullptr) {
        return false;
    }
    if (!ktbRead(handle, bytes, length)) {
        std::free(bytes);
        return false;
    }
    bytes[length] = '\0';
    text = bytes;
    return true;
}

bool ktbWriteString(TKTBHandle* handle, std::string_view text)
{
    if (text.size() > UINT16_MAX) {
        return false;
    }
    const auto length = static_cast<std::uint16_t>(text.size());
    return ktbWrite(handle, &length, sizeof length) && ktbWrite(handle, text.data(), length);
}

bool ktbCutBytes(TKTBHandle* handle, std::uint32_t count, std::int64_t at)
{
    if (handle == nullptr || handle->View == nullptr || handle->ReadOnly || handle->Private) {
        return false;
    }
    const std::uint64_t start = at == -1 ? handle->Position : static_cast<std::uint64_t>(at);
    if (start > handle->Size || start + count > handle->Size) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    if (handle->ChangeDepth == 0) {
        const auto from = static_cast<std::uint32_t>(start);
        if (ktbBeginChange(handle, { { from, handle->Size - from } }) != KTB_OK) {
            return false;
        }
        const bool cut = ktbCutBytes(handle, count, from);
        return ktbEndChange(handle, cut) && cut;
    }
    // The rest moves down a piece at a time, lowest first: a piece's source lies above everything
    // written before it.
    constexpr std::uint32_t s_piece = 1u << 20;
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(s_piece, handle->Size - start - count));
    const std::uint32_t end = handle->Size - count;
    for (auto to = static_cast<std::uint32_t>(start); to < end;) {
        const std::uint32_t length = std::min<std::uint32_t>(s_piece, end - to);
        if (!ktbGuardedCopy(piece.data(), handle, to + count, length)
            || !ktbIoWrite(handle->File, handle->Path.c_str(), piece.data(), length, to)) {
            handle->ChangeFailed = true;
            return false;
        }
        to += length;
    }
    return ktbResize(handle, end);
}

std::uint32_t ktbPackDosDateTime(const std::tm& time)
{
    const int year = time.tm_year + 1900;
    if (year < 1980 || year > 2107) {
        return 0;
    }
    const std::uint32_t date
        = static_cast<std::uint32_t>(((year - 1980) << 9) | ((time.tm_mon + 1) << 5) | time.tm_mday);
    const std::uint32_t clock
        = static_cast<std::uint32_t>((time.tm_hour << 11) | (time.tm_min << 5) | (time.tm_sec / 2));
    return (date << 16) | (clock & 0xFFFF);
}

bool ktbUnpackDosDateTime(std::uint32_t packed, std::tm& time)
{
    const std::uint32_t date = packed >> 16;
    const std::uint32_t clock = packed & 0xFFFF;
    const int day = static_cast<int>(date & 0x1F);
    const int month = static_cast<int>((date >> 5) & 0x0F);
    const int year = static_cast<int>(date >> 9) + 1980;
    const int seconds = static_cast<int>(clock & 0x1F) * 2;
    const int minutes = static_cast<int>((clock >> 5) & 0x3F);
    const int hours = static_cast<int>(clock >> 11);
    static constexpr int s_daysInMonth[12] = { 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    if (month < 1 || month > 12 || day < 1 || day > s_daysInMonth[month - 1]) {
        return false;
    }
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) {
        return false;
    }
    if (hours > 23 || minutes > 59 || seconds > 59) {
        return false;
    }
    time = std::tm {};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hours;
    time.tm_min = minutes;
    time.tm_sec = seconds;
    time.tm_isdst = -1;
    return true;
}

std::uint32_t ktbUnixToLocalDos(std::int64_t seconds)
{
    const std::time_t value = static_cast<std::time_t>(seconds);
    std::tm local {};
    if (localtime_r(&value, &local) == nullptr) {
        return 0;
    }
    return ktbPackDosDateTime(local);
}

std::uint32_t ktbNowLocalDos() { return ktbUnixToLocalDos(static_cast<std::int64_t>(std::time(nullptr))); }

std::uint32_t ktbNowUtcDos()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    if (gmtime_r(&now, &utc) == nullptr) {
        return 0;
    }
    return ktbPackDosDateTime(utc);
}

std::size_t ktbCutLength(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) {
        return text.size();
    }
    // Step back over continuation bytes to the lead byte of the sequence the cut would split, but
    // only when that lead byte really starts a sequence reaching past the cut: texts of other code
    // pages are cut by bytes.
    std::size_t cut = maxBytes;
    std::size_t lead = cut;
    while (lead > 0 && cut - lead < 3 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == cut) {
        return cut;
    }
    const auto first = static_cast<unsigned char>(text[lead]);
    std::size_t sequence = 0;
    if ((first & 0xE0) == 0xC0) {
        sequence = 2;
    } else if ((first & 0xF0) == 0xE0) {
        sequence = 3;
    } else if ((first & 0xF8) == 0xF0) {
        sequence = 4;
    }
    return (sequence != 0 && lead + sequence > cut) ? lead : cut;
}

void ktbStoreText(char* field, std::size_t fieldSize, std::string_view text)
{
    std::memset(field, 0, fieldSize);
    const std::size_t length = ktbCutLength(text, fieldSize - 1);
    std::memcpy(field, text.data(), length);
}

std::string_view ktbFieldText(const char* field, std::size_t fieldSize)
{
    const void* zero = std::memchr(field, 0, fieldSize);
    const std::size_t length
        = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : fieldSize;
    return { field, length };
}

namespace {

// Code points of the Windows-1252 bytes 0x80 to 0x9F. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the control characters of the same value, as Windows maps
// them, so that every byte decodes and encodes back. The bytes 0xA0 to 0xFF are the code points of the
// same value.
constexpr char32_t s_cp1252High[32] = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[at]; answers its length, 0 when malformed.
std::size_t decodeUtf8(std::string_view text, std::size_t at, char32_t& code)
{
    const auto first = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (first < 0x80) {
        code = first;
        return 1;
    }
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        code = first & 0x1F;
        minimum = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        code = first & 0x0F;
        minimum = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        code = first & 0x07;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

} // namespace

bool ktbIsUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = decodeUtf8(text, at, code);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

std::string ktbCp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else if (byte < 0xA0) {
            appendUtf8(out, s_cp1252High[byte - 0x80]);
        } else {
            appendUtf8(out, byte);
        }
    }
    return out;
}

bool ktbUtf8ToCp1252(std::string_view text, std::string& result)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = decodeUtf8(text, at, code);
        if (length == 0) {
            return false;
        }
        at += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        int byte = -1;
        for (int i = 0; i < 32; ++i) {
            if (s_cp1252High[i] == code) {
                byte = 0x80 + i;
                break;
            }
        }
        if (byte < 0) {
            return false;
        }
        out += static_cast<char>(byte);
    }
    result = std::move(out);
    return true;
}

namespace {

#include "engine/ktb_casefold_table.inc"

char32_t foldCodePoint(char32_t code)
{
    if (code < s_foldDirectEnd) {
        return s_foldDirect[code];
    }
    const auto* end = std::end(s_foldPairs);
    const auto* at = std::lower_bound(
        std::begin(s_foldPairs), end, code, [](const auto& pair, char32_t value) { return pair.from < value; });
    return at != end && at->from == code ? at->to : code;
}

} // namespace

std::string_view ktbFoldTargetsInAscii() { return s_foldAsciiTargets; }

void ktbFoldCase(std::string_view name, std::string& folded)
{
    folded.clear();
    const bool utf8 = ktbIsUtf8(name);
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte < 0x80) {
            folded += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte | 0x20 : byte);
            ++at;
            continue;
        }
        char32_t code = byte;
        if (utf8) {
            at += decodeUtf8(name, at, code);
        } else {
            ++at;
            if (byte < 0xA0) {
                code = s_cp1252High[byte - 0x80];
            }
        }
        appendUtf8(folded, foldCodePoint(code));
    }
}

TKTBAppender::TKTBAppender(TKTBHandle* handle, std::size_t flushSize)
    : m_handle(handle)
    , m_flushSize(flushSize)
    , m_base(ktbFileSize(handle))
{
    m_buffer.reserve(flushSize < (1u << 20) ? flushSize : (1u << 20));
}

void TKTBAppender::append(const void* bytes, std::size_t count)
{
    if (!m_ok) {
        return;
    }
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    m_buffer.insert(m_buffer.end(), data, data + count);
    maybeFlush();
}

bool TKTBAppender::appendString(std::string_view text)
{
    if (text.size() > UINT16_MAX) {
        return false;
    }
    const auto length = static_cast<std::uint16_t>(text.size());
    append(&length, sizeof length);
    append(text.data(), text.size());
    return true;
}

bool TKTBAppender::patch(std::uint64_t offset, const void* bytes, std::size_t count)
{
    if (offset + count > position()) {
        return false;
    }
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    // The part that lies in the file already, then the part still in the buffer.
    std::size_t done = 0;
    if (offset < m_base) {
        const std::size_t inFile = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_base - offset));
        if (!ktbSeek(m_handle, static_cast<std::int64_t>(offset), 0)
            || !ktbWrite(m_handle, data, static_cast<std::uint32_t>(inFile))) {
            return false;
        }
        done = inFile;
    }
    if (done < count) {
        const std::size_t at = static_cast<std::size_t>(offset + done - m_base);
        std::memcpy(m_buffer.data() + at, data + done, count - done);
    }
    return true;
}

bool TKTBAppender::flush()
{
    if (!m_ok) {
        return false;
    }
    if (m_buffer.empty()) {
        return true;
    }
    if (m_base + m_buffer.size() > UINT32_MAX || !ktbSeek(m_handle, static_cast<std::int64_t>(m_base), 0)
        || !ktbWrite(m_handle, m_buffer.data(), static_cast<std::uint32_t>(m_buffer.size()))) {
        m_ok = false;
        m_buffer.clear();
        return false;
    }
    m_base += m_buffer.size();
    m_buffer.clear();
    return true;
}
