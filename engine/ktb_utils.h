#pragma once
// Positioned reads and writes on a handle, and the small conversions every engine module needs.

#include "engine/ktbdef.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct TKTBHandle;

/// The current position.
std::uint32_t ktbPosition(const TKTBHandle* handle);
/// The file's current size in bytes.
std::uint32_t ktbFileSize(const TKTBHandle* handle);
/// Origin 0: from the start, 1: from the position, 2: back from the end; any other origin sets 0.
/// No range check; false only when the handle has no mapping.
bool ktbSeek(TKTBHandle* handle, std::int64_t offset, int origin);
/// Copies count bytes from the position and advances it; false (nothing copied) when there is no
/// mapping or the range is not inside the file.
bool ktbRead(TKTBHandle* handle, void* buffer, std::uint32_t count);
/// Writes count bytes at the position, growing the file to exactly position + count first when
/// needed, and advances the position. False for a null or unmapped handle, a read-only handle, a
/// failed growth or write. Writes go through the I/O seam (ktb_fileio.h); outside a change they are a
/// change of their own (ktb_journal.h).
bool ktbWrite(TKTBHandle* handle, const void* buffer, std::uint32_t count);
/// Reads a 16-bit byte count and that many bytes.
bool ktbReadString(TKTBHandle* handle, std::string& text);
/// The same, delivered as a new zero-terminated buffer the caller releases with std::free.
bool ktbReadStringZ(TKTBHandle* handle, char*& text);
/// Writes the text's byte count as 16 bits, then its bytes; texts above 65,535 bytes are refused.
bool ktbWriteString(TKTBHandle* handle, std::string_view text);
/// Removes count bytes at offset at (-1: the position), moving the rest down and shrinking the file;
/// outside a change it is a change of its own.
bool ktbCutBytes(TKTBHandle* handle, std::uint32_t count, std::int64_t at);

// Packed DOS date-times: date in the high 16 bits (year-1980, month, day), time in the low 16 bits
// (hours, minutes, seconds/2). 0 means no date.

/// Packs a broken-down time; 0 for a year before 1980 or after 2107.
std::uint32_t ktbPackDosDateTime(const std::tm& time);
/// Unpacks; false when the value is not a valid calendar date and time.
bool ktbUnpackDosDateTime(std::uint32_t packed, std::tm& time);
/// Seconds since the epoch (UTC) to a packed local date-time.
std::uint32_t ktbUnixToLocalDos(std::int64_t seconds);
/// The current local time, packed.
std::uint32_t ktbNowLocalDos();
/// The current UTC time, packed (the creation stamp of a new file).
std::uint32_t ktbNowUtcDos();

/// Length of the longest prefix of text that fits maxBytes without splitting a UTF-8 sequence.
std::size_t ktbCutLength(std::string_view text, std::size_t maxBytes);
/// Copies text into a zero-filled field of fieldSize bytes, cut to fieldSize - 1 bytes at most.
void ktbStoreText(char* field, std::size_t fieldSize, std::string_view text);
/// The text of a zero-terminated field read up to its first zero byte or its end.
std::string_view ktbFieldText(const char* field, std::size_t fieldSize);

/// Upper-cases the ASCII letters a-z, leaving every other byte.
inline char ktbUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Catalog texts are bytes: UTF-8 when written here, Windows-1252 when written on the platform of origin.

/// Whether text is well-formed UTF-8.
bool ktbIsUtf8(std::string_view text);
/// Windows-1252 bytes to UTF-8, as Windows decodes them: the five unassigned bytes 0x81, 0x8D, 0x8F, 0x90
/// and 0x9D become the control characters U+0081, U+008D, U+008F, U+0090 and U+009D, so every byte
/// string decodes and ktbUtf8ToCp1252 gives it back. The one decoder of catalogs and settings.
std::string ktbCp1252ToUtf8(std::string_view text);
/// UTF-8 to Windows-1252 (the inverse of ktbCp1252ToUtf8); false when a character has no Windows-1252
/// byte.
bool ktbUtf8ToCp1252(std::string_view text, std::string& result);

/// The search's letter case, for every comparison of names that ignores it beyond ASCII: the name's
/// characters (decoded as UTF-8 when it is well-formed UTF-8, else as Windows-1252) each replaced by
/// its Unicode simple case folding, written to folded as UTF-8. Two names that differ only in letter
/// case, in any script and either stored encoding, fold to the same bytes; a folded character may take
/// more or fewer bytes than the original ("\u212A" folds to "k"). The folding of ASCII-only text
/// lowers A-Z alone.
void ktbFoldCase(std::string_view name, std::string& folded);
/// The ASCII characters (lower case) that some character beyond ASCII folds to, as the Kelvin sign to "k".
std::string_view ktbFoldTargetsInAscii();

/// Appends records at the end of a catalog file through a memory buffer, so that the file grows once
/// per flush instead of once per record (every growth remaps the whole file).
class TKTBAppender {
public:
    /// Starts appending at the handle's current end of file.
    explicit TKTBAppender(TKTBHandle* handle, std::size_t flushSize = 8u << 20);
    ~TKTBAppender() = default;

    void append(const void* bytes, std::size_t count);
    void appendByte(std::uint8_t value)
    {
        if (m_ok) {
            m_buffer.push_back(value);
            maybeFlush();
        }
    }
    /// A 16-bit byte count and the bytes; false for a text above 65,535 bytes (nothing appended).
    bool appendString(std::string_view text);
    /// Overwrites bytes already appended (in the buffer or already in the file).
    bool patch(std::uint64_t offset, const void* bytes, std::size_t count);
    /// Writes the buffer to the file (one growth); false when the file could not grow.
    bool flush();
    /// The file offset the next appended byte will have.
    std::uint64_t position() const { return m_base + m_buffer.size(); }
    /// False once a flush failed; later appends are dropped.
    bool ok() const { return m_ok; }

private:
    void maybeFlush()
    {
        if (m_buffer.size() >= m_flushSize) {
            flush();
        }
    }

    TKTBHandle* m_handle;
    std::size_t m_flushSize;
    std::uint64_t m_base;
    std::vector<std::uint8_t> m_buffer;
    bool m_ok = true;
};
