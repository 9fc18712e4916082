#pragma once
// What kind of file a name stands for (audio, video, image, document...), judged by its extension
// alone: catalogued files lie on discs that are usually not at hand.

#include <QString>
#include <cstdint>
#include <string_view>

/// The kinds files are grouped in.
enum class FileKind : std::uint8_t { Audio, Video, Image, Document, Archive, DiscImage, Program, Other };
constexpr int FileKindCount = 8;

constexpr std::size_t MaxExtensionBytes = 15;

/// The extension of a file name as catalog bytes: the bytes after its last dot. A name has none when
/// it holds no dot, when its only dot is its first byte (".profile"), when it ends with the dot, or
/// when the text after the dot is longer than MaxExtensionBytes or holds a blank (a dot inside a
/// sentence, "Vol. 2 live", ends no extension).
inline std::string_view fileExtension(std::string_view name)
{
    // Statistics ask this for every file of a collection: one short backward loop, no library call.
    const std::size_t size = name.size();
    const std::size_t lowest = size > MaxExtensionBytes + 1 ? size - MaxExtensionBytes - 1 : 0;
    for (std::size_t dot = size; dot-- > lowest;) {
        const char c = name[dot];
        if (c == ' ') {
            return {};
        }
        if (c == '.') {
            return dot == 0 || dot + 1 == size ? std::string_view() : name.substr(dot + 1);
        }
    }
    return {};
}

/// The kind of files with that extension (as fileExtension gives it, any letter case; empty: Other).
/// Documents, archives, disc images and programs come from a table of our own, the rest from the MIME
/// database by name (audio, video and image types; text types are documents). One lookup costs a few
/// microseconds: callers map each distinct extension once.
FileKind fileKindOfExtension(const QString& extension);

/// The name of a kind as the program shows it ("Audio", "Disc image").
QString fileKindName(FileKind kind);
