#pragma once
// The small texts every export format writes, straight into an output buffer without a QString per
// record: catalog names as UTF-8, dates, serials, JSON strings and base64.

#include <cstdint>
#include <string>
#include <string_view>

// The append functions write into a std::string or an ExportBuffer (instantiated for both).

/// Appends a catalog text as UTF-8: its bytes when they are valid UTF-8, else the same characters
/// read as Windows-1252 (as decodeCatalogText reads them). Answers whether the bytes were UTF-8.
template <class Out> bool appendCatalogUtf8(Out& out, std::string_view bytes);

/// Appends a packed DOS date-time as "YYYY-MM-DDTHH:MM:SS" (local time, no offset) and answers true;
/// appends nothing and answers false for 0 and for values that are no date.
template <class Out> bool appendDosDateTime(Out& out, std::uint32_t packed);
/// Writes a packed DOS date-time as the 19 characters "YYYY-MM-DDTHH:MM:SS" and answers true; false
/// (nothing written) for 0 and for values that are no date.
bool formatDosDateTime(std::uint32_t packed, char* text);
/// Reads "YYYY-MM-DDTHH:MM:SS" back into a packed DOS date-time; false for any other text and for
/// dates a DOS date-time cannot hold (before 1980, after 2107, odd seconds).
bool parseDosDateTime(std::string_view text, std::uint32_t& packed);

/// A disc's serial as the program shows it: "D61A-E85B".
std::string serialText(std::uint32_t serial);
/// Reads "D61A-E85B" (or eight hex digits without the dash) back; false for anything else.
bool parseSerialText(std::string_view text, std::uint32_t& serial);

/// Appends text (UTF-8) as a JSON string with its quotes. Control characters are escaped; with
/// forHtml also "<", ">", "&" and U+2028/U+2029, so the string may stand inside an HTML script element
/// without ending it.
template <class Out> void appendJsonString(Out& out, std::string_view text, bool forHtml = false);

/// Appends text escaped for HTML element content and attribute values.
template <class Out> void appendHtmlEscaped(Out& out, std::string_view text);

/// Whether bytes are valid UTF-8 (plain ASCII checked eight bytes at a time).
bool isUtf8Text(std::string_view bytes);

/// Appends bytes in base64 (RFC 4648, with padding).
template <class Out> void appendBase64(Out& out, std::string_view bytes);
/// Decodes base64 (RFC 4648, padding optional); false for any other character.
bool decodeBase64(std::string_view text, std::string& bytes);

/// Appends a number in decimal.
template <class Out> void appendNumber(Out& out, std::uint64_t value);
