#pragma once
// The small texts every export format writes, straight into an output buffer without a QString per
// record: catalog names as UTF-8, dates, serials, JSON strings and base64.

#include <cstdint>
#include <string>
#include <string_view>

/// Appends a catalog text as UTF-8: its bytes when they are valid UTF-8, else the same characters
/// read as Windows-1252 (as decodeCatalogText reads them). Answers whether the bytes were UTF-8.
bool appendCatalogUtf8(std::string& out, std::string_view bytes);

/// Appends a packed DOS date-time as "YYYY-MM-DDTHH:MM:SS" (local time, no offset) and answers true;
/// appends nothing and answers false for 0 and for values that are no date.
bool appendDosDateTime(std::string& out, std::uint32_t packed);
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
void appendJsonString(std::string& out, std::string_view text, bool forHtml = false);

/// Appends text escaped for HTML element content and attribute values.
void appendHtmlEscaped(std::string& out, std::string_view text);

/// Appends bytes in base64 (RFC 4648, with padding).
void appendBase64(std::string& out, std::string_view bytes);
/// Decodes base64 (RFC 4648, padding optional); false for any other character.
bool decodeBase64(std::string_view text, std::string& bytes);

/// Appends a number in decimal.
void appendNumber(std::string& out, std::uint64_t value);
