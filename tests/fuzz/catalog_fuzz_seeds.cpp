// Writes a small seed corpus of sound catalog files for catalog_fuzzer into the folder given.
#include "tests/support/catalogbuilder.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: catalog_fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const std::uint32_t date = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 30, 10);

    CatalogBuilder empty;
    empty.writeTo(folder + "empty.ktb");

    CatalogBuilder small;
    small.setOwner("Anna").setName("Music");
    small.beginDisc({ .serial = 0x1234ABCD, .title = "CD 1", .comment = "first" });
    small.beginFolder("Music");
    small.beginFolder("Rock");
    small.addFile("song.MP3", 4000000, date);
    small.addFile("cover.jpg", 120000, date, "a comment");
    small.endFolder();
    small.addFile("README.TXT", 10, date);
    small.endFolder();
    small.addFile("autorun.inf", 45, date);
    small.endDisc();
    small.beginDisc({ .serial = 7, .title = "Holiday 2003" });
    small.beginFolder("Fotos \xC3\xA9t\xC3\xA9");
    small.addFile("\xE9t\xE9.jpg", 300, date);
    small.endFolder();
    small.endDisc();
    small.addEmptyDisc({ .title = "empty" });
    small.writeTo(folder + "small.ktb");

    CatalogBuilder deep;
    deep.beginDisc({ .serial = 9, .title = "deep" });
    for (int level = 0; level < 70; ++level) {
        deep.beginFolder("d" + std::to_string(level));
    }
    deep.addFile("bottom.txt", 1, date);
    for (int level = 0; level < 70; ++level) {
        deep.endFolder();
    }
    deep.endDisc();
    deep.writeTo(folder + "deep.ktb");

    CatalogBuilder locked;
    locked.setKey("Secret");
    locked.addEmptyDisc({ .serial = 1, .title = "x" });
    locked.writeTo(folder + "locked.ktb");
    return 0;
}
