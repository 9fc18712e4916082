#pragma once
// Writes catalog files byte by byte, by hand, without the engine's writing code, so that tests can
// check the engine against files whose every byte they know, and can build damaged files.
//
// The layout written here, little-endian throughout:
//   header, 256 bytes: "KTB!" | version u32 (0x00050000) | reserved u32 | created u32 | modified u32 |
//                      owner 64 | name 128 | key 44   (texts zero-padded, at most field size - 1 bytes)
//   disc:        tag 2 | Serial u32 | Title 64 | Comment 60 | Flags u32 | ScanTime u32 | Used i64 |
//                Capacity i64 | Files u32 | Folders u32 | RunLength u32 | items ... | tag 6
//   folder:      tag 3 | name length u16 | name bytes | items ... | tag 5
//   file:        tag 4 | name length u16 | name | Size u32 | DateTime u32 | comment length u16 | comment
//
// Usage:
//   CatalogBuilder catalog;                       // a valid, empty fileset (256 bytes)
//   catalog.setOwner("Anna");
//   const auto disc = catalog.beginDisc({ .serial = 0x1234, .title = "CD 1" });
//   catalog.beginFolder("Music");
//   catalog.addFile("a.mp3", 1000, CatalogBuilder::dosDateTime(2003, 5, 1, 12, 0, 0));
//   catalog.endFolder();
//   catalog.endDisc();                            // patches RunLength, Files and Folders
//   catalog.writeTo(path);
// Every add answers the offset of the record's tag byte (the record's identity in the engine).
// Nothing is checked: unbalanced marks, raw() and the patch functions build damaged files on purpose.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// Fields of a disc record. Files, Folders and RunLength are computed by endDisc() unless given.
struct CatalogDisc {
    std::uint32_t serial = 0;
    std::string title {};
    std::string comment {};
    std::uint32_t flags = 0;
    std::uint32_t scanTime = 0;
    std::int64_t used = 0;
    std::int64_t capacity = 0;
    std::optional<std::uint32_t> files {};
    std::optional<std::uint32_t> folders {};
    std::optional<std::uint32_t> runLength {};
};

class CatalogBuilder {
public:
    using Disc = CatalogDisc;

    // Byte offsets of the disc record's fields from the disc's tag byte.
    static constexpr std::uint32_t DiscSerial = 1;
    static constexpr std::uint32_t DiscTitle = 5;
    static constexpr std::uint32_t DiscComment = 69;
    static constexpr std::uint32_t DiscFlags = 129;
    static constexpr std::uint32_t DiscScanTime = 133;
    static constexpr std::uint32_t DiscUsed = 137;
    static constexpr std::uint32_t DiscCapacity = 145;
    static constexpr std::uint32_t DiscFiles = 153;
    static constexpr std::uint32_t DiscFolders = 157;
    static constexpr std::uint32_t DiscRunLength = 161;
    static constexpr std::uint32_t DiscRecordBytes = 165; ///< tag and record

    /// Starts a valid, empty fileset: magic, version 0x00050000, created and modified 2001-02-03 04:05:06.
    CatalogBuilder();

    // Header fields (texts are cut to the field's size minus one byte, never checked otherwise).
    CatalogBuilder& setMagic(std::string_view fourBytes);
    CatalogBuilder& setVersion(std::uint32_t version);
    CatalogBuilder& setCreated(std::uint32_t dosDateTime);
    CatalogBuilder& setModified(std::uint32_t dosDateTime);
    CatalogBuilder& setOwner(std::string_view text);
    CatalogBuilder& setName(std::string_view text);
    CatalogBuilder& setKey(std::string_view text);

    /// Writes tag 2 and the disc record; endDisc() completes it.
    std::uint32_t beginDisc(const Disc& disc = {});
    /// Writes tag 6 and fills in the open disc's RunLength, Files and Folders (those not given).
    std::uint32_t endDisc();
    /// A whole disc with no contents.
    std::uint32_t addEmptyDisc(const Disc& disc = {});
    /// Writes tag 3 and the name.
    std::uint32_t beginFolder(std::string_view name);
    /// Writes tag 5.
    std::uint32_t endFolder();
    /// Writes tag 4, name, size, date-time and comment.
    std::uint32_t addFile(
        std::string_view name, std::uint32_t size = 0, std::uint32_t dateTime = 0, std::string_view comment = {});
    /// Appends bytes as they are (a stray tag, a truncated record).
    std::uint32_t raw(std::string_view bytes);
    std::uint32_t rawByte(std::uint8_t value);

    /// Overwrites bytes already written.
    void patchByte(std::uint32_t offset, std::uint8_t value);
    void patchU32(std::uint32_t offset, std::uint32_t value);
    /// Cuts the catalog to its first count bytes.
    void truncate(std::size_t count);

    /// The offset the next record gets.
    std::uint32_t size() const { return static_cast<std::uint32_t>(m_bytes.size()); }
    const std::string& bytes() const { return m_bytes; }
    /// Writes the catalog to path, replacing any file there; false on failure.
    bool writeTo(const std::string& path) const;

    /// Packs a date and time as a DOS date-time (no checks).
    static std::uint32_t dosDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

private:
    void putU16(std::uint16_t value);
    void putU32(std::uint32_t value);
    void putU64(std::uint64_t value);
    void putText(std::string_view text, std::size_t fieldSize);
    void putString(std::string_view text);
    void patchText(std::uint32_t offset, std::string_view text, std::size_t fieldSize);

    struct OpenDisc {
        std::uint32_t offset;
        Disc fields;
        std::uint32_t files = 0;
        std::uint32_t folders = 0;
    };

    std::string m_bytes;
    std::vector<OpenDisc> m_openDiscs;
};
