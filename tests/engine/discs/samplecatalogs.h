#pragma once
// Catalogs that the disc and tool tests share, written by hand, and how they compare catalog files.

#include "engine/ktbdef.h"
#include "tests/support/catalogbuilder.h"

#include <string>
#include <string_view>

/// The bytes of a catalog without the Modified stamp, which every change attempt may set.
inline std::string withoutModified(std::string bytes)
{
    if (bytes.size() >= KTB_HDR_OFS_MODIFIED + 4) {
        bytes.replace(KTB_HDR_OFS_MODIFIED, 4, 4, '\0');
    }
    return bytes;
}

/// Three discs: "First" with a folder and files, "Second" with a file, "Third" empty; a key when given.
struct ThreeDiscs {
    CatalogBuilder catalog;
    std::uint32_t first, folder, file, second, third, end;

    explicit ThreeDiscs(std::string_view key = {})
    {
        catalog.setKey(key);
        first = catalog.beginDisc({ .serial = 0x0A0B0C0D, .title = "First", .used = 1000 });
        folder = catalog.beginFolder("Music");
        file = catalog.addFile("song.mp3", 900, CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10));
        catalog.endFolder();
        catalog.addFile("readme.txt", 100);
        catalog.endDisc();
        second = catalog.beginDisc({ .serial = 2, .title = "Second" });
        catalog.addFile("a", 1);
        catalog.endDisc();
        third = catalog.addEmptyDisc({ .serial = 3, .title = "Third" });
        end = catalog.size();
    }
    /// The bytes from one offset to another.
    std::string run(std::uint32_t from, std::uint32_t to) const { return catalog.bytes().substr(from, to - from); }
    /// The catalog's bytes without those from one offset to another.
    std::string without(std::uint32_t from, std::uint32_t to) const
    {
        return catalog.bytes().substr(0, from) + catalog.bytes().substr(to);
    }
};
