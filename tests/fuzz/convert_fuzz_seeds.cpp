// Writes a small seed corpus of catalogs of the older format for convert_fuzzer into the folder given.
#include "tests/engine/discs/oldercatalog.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: convert_fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const auto write = [&](const std::string& name, const OlderCatalog& older) {
        std::ofstream(folder + name, std::ios::binary) << older.bytes();
    };
    write("empty.dat", OlderCatalog("Anna", "Set", dayCount(2001, 2, 3)));
    OlderCatalog one("Anna", "Music", dayCount(2003, 5, 1, 12, 30, 10));
    one.disc({ .serial = 0x12345678, .title = "CD 1", .comment = "Holiday", .scanTime = dayCount(2004, 6, 7) })
        .folder("Music")
        .folder("Rock")
        .file("song.mp3", 4000, 0x2E2B6000)
        .endFolder()
        .file("cover.jpg", 120, 0x2E2B6000, "a comment")
        .endFolder()
        .file("readme.txt", 10, 0)
        .endDisc();
    write("one.dat", one);
    OlderCatalog two = one;
    two.disc({ .serial = 2, .title = "CD 2" }).endDisc();
    write("two.dat", two);
    return 0;
}
