#pragma once
// Catalog strings are bytes: names as the file system gave them (UTF-8) when written here, and
// Windows-1252 when written on the platform of origin. Each string is decoded on its own.

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

/// UTF-8 when the bytes are valid UTF-8, else Windows-1252.
QString decodeCatalogText(std::string_view bytes);
/// The bytes a catalog stores for a text (UTF-8).
std::string encodeCatalogText(const QString& text);
/// A text cut to at most maxBytes of UTF-8 without splitting a character.
std::string encodeCatalogText(const QString& text, std::size_t maxBytes);

/// A packed DOS date-time as a local date-time; invalid for 0 and for values that are no date.
QDateTime dosToDateTime(std::uint32_t packed);
/// A local date-time packed; 0 outside 1980 to 2107 or for an invalid date-time.
std::uint32_t dateTimeToDos(const QDateTime& dateTime);
/// Date and time in the user's formats (short date; long time without time zone), the time left out
/// when it is exactly midnight; empty when the value is no date.
QString formatDosDateTime(std::uint32_t packed);
/// The date alone in the user's short date format; empty when the value is no date.
QString formatDosDate(std::uint32_t packed);
/// A date in the user's short date format; empty for an invalid date.
QString formatDate(const QDate& date);
/// A date-time in the user's short date and long time formats (no time zone).
QString formatDateTime(const QDateTime& dateTime);

/// ASCII-only upper-casing, the one letter-case rule of catalog names.
QString upperAscii(const QString& text);
/// Equality ignoring the case of the letters a-z only.
bool sameTextAscii(const QString& a, const QString& b);
