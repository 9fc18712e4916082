// Writes the seed corpora of the disc reader fuzzers, made by the tests' image builders: into
// FOLDER/iso sparse images of xorriso's and genisoimage's images (Joliet, Rock Ridge, neither) and of
// hand-made ones, into FOLDER/udf sparse UDF images of every revision, into FOLDER/sheet the sheets of
// every CD image format.
#include "tests/fuzz/mediumexercise.h"
#include "tests/support/discimages.h"
#include "tests/support/handmadeiso.h"
#include "tests/support/tempfolder.h"
#include "tests/support/udfimage.h"

#include <cstdio>
#include <filesystem>

namespace {

bool writeSeed(const std::string& path, const std::string& bytes)
{
    if (!writeFileBytes(path, bytes)) {
        std::fprintf(stderr, "image_fuzz_seeds: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The first byte names the parser, the next four the size of the files the sheet names.
std::string sheetSeed(char format, std::uint32_t bytes, const std::string& text)
{
    std::string seed(1, format);
    for (int index = 0; index < 4; ++index) {
        seed += static_cast<char>(bytes >> (8 * index));
    }
    return seed + text;
}

// The small trees the ISO and UDF seeds hold.
std::vector<DiscTreeEntry> smallTree()
{
    return { { "A.TXT", 3 }, { "Dir/", 0 }, { "Dir/Sub/", 0 }, { "Dir/Sub/x.bin", 5000 }, { ".hidden", 1 } };
}

bool isoSeeds(const std::string& folder, TempFolder& temp)
{
    bool written = true;
    if (!writeDiscTree(temp.file("tree"), smallTree())) {
        return false;
    }
    IsoImageOptions options;
    for (const IsoGenerator generator : { IsoGenerator::Xorriso, IsoGenerator::Genisoimage }) {
        options.Generator = generator;
        const std::string name = generator == IsoGenerator::Xorriso ? "xorriso" : "genisoimage";
        for (const bool joliet : { true, false }) {
            options.Joliet = joliet;
            const std::string image = temp.file(name + ".iso");
            written = written && buildIsoImage(temp.file("tree"), image, options)
                && writeSeed(folder + name + (joliet ? "-joliet" : "-primary"), sparseImage(readFileBytes(image)));
        }
    }
    // Rock Ridge names, with folders deep enough for genisoimage to move one to "rr_moved".
    std::vector<DiscTreeEntry> deep = smallTree();
    std::string path = "Dir/Sub/";
    for (int level = 1; level <= 7; ++level) {
        path += std::to_string(level) + "/";
        deep.push_back({ path, 0 });
    }
    deep.push_back({ path + "x.txt", 2 });
    options.Joliet = false;
    options.RockRidge = true;
    for (const IsoGenerator generator : { IsoGenerator::Xorriso, IsoGenerator::Genisoimage }) {
        options.Generator = generator;
        const std::string name = generator == IsoGenerator::Xorriso ? "xorriso" : "genisoimage";
        written = written && writeDiscTree(temp.file("deep"), deep)
            && buildIsoImage(temp.file("deep"), temp.file(name + "-rr.iso"), options)
            && writeSeed(folder + name + "-rockridge", sparseImage(readFileBytes(temp.file(name + "-rr.iso"))));
    }
    HandMadeIso multi;
    HandMadeIso::Record file;
    file.Identifier = "HUGE.BIN;1";
    file.Flags = 0x80;
    file.Size = 4096;
    multi.addRecord(0, file);
    file.Flags = 0;
    multi.addRecord(0, file);
    const int sub = multi.addDirectory();
    HandMadeIso::Record folderRecord;
    folderRecord.Identifier = "SUB";
    folderRecord.Flags = 2;
    folderRecord.Directory = sub;
    multi.addRecord(0, folderRecord);
    const int joliet = multi.addJoliet(ucs2(u"Joliet"));
    file.Identifier = ucs2(u"Long name \u65e5\u672c.txt");
    multi.addRecord(joliet, file);
    written = written && writeSeed(folder + "handmade", sparseImage(multi.bytes()));
    multi.setBlockSize(512);
    return written && writeSeed(folder + "handmade-512", sparseImage(multi.bytes()));
}

bool udfSeeds(const std::string& folder)
{
    bool written = true;
    for (const std::uint16_t revision : { 0x0102, 0x0150, 0x0201, 0x0250, 0x0260 }) {
        UdfImageOptions options;
        options.Revision = revision;
        options.MetadataPartition = revision >= 0x0250;
        options.ExtendedEntries = revision >= 0x0201;
        options.EmbeddedDirectories = revision == 0x0201 || revision == 0x0260;
        options.LongAllocation = revision == 0x0150;
        char name[32];
        std::snprintf(name, sizeof name, "udf-%04x", revision);
        written = written && writeSeed(folder + name, sparseImage(UdfImage(smallTree(), options).bytes()));
    }
    return written;
}

bool sheetSeeds(const std::string& folder, TempFolder& temp)
{
    // A data track of 20 sectors and two audio tracks, in every format.
    if (!writeFileBytes(temp.file("data.iso"), std::string(20 * 2048, 'd'))) {
        return false;
    }
    const std::vector<CueTrack> tracks { CueTrack::data(temp.file("data.iso")), CueTrack::audio(300),
        CueTrack::audio(75) };
    struct Sheet {
        const char* Name;
        CdImageFormat Format;
        char Parser;
    };
    bool written = true;
    for (const Sheet& sheet : { Sheet { "one.cue", CdImageFormat::CueOneBin, 0 },
             Sheet { "tracks.cue", CdImageFormat::CuePerTrack, 0 }, Sheet { "cooked.cue", CdImageFormat::CueCooked, 0 },
             Sheet { "clone.ccd", CdImageFormat::CloneCd, 1 }, Sheet { "dao.nrg", CdImageFormat::NeroDiscAtOnce, 2 },
             Sheet { "tao.nrg", CdImageFormat::NeroTrackAtOnce, 2 }, Sheet { "disc.toc", CdImageFormat::Cdrdao, 3 } }) {
        if (!writeCdImage(temp.file(sheet.Name), sheet.Format, tracks)) {
            return false;
        }
        std::string text = readFileBytes(temp.file(sheet.Name));
        std::uint32_t bytes = 395 * 2352;
        if (sheet.Parser == 2) {
            // The chunks and the footer; the sectors before them are counted, not held.
            std::uint64_t chunks = 0;
            for (std::size_t index = 0; index < 8; ++index) {
                chunks = chunks << 8 | static_cast<unsigned char>(text[text.size() - 8 + index]);
            }
            bytes = static_cast<std::uint32_t>(chunks);
            text = text.substr(chunks);
        }
        written = written && writeSeed(folder + sheet.Name, sheetSeed(sheet.Parser, bytes, text));
    }
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: image_fuzz_seeds FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    std::error_code error;
    for (const char* kind : { "iso", "udf", "sheet" }) {
        std::filesystem::create_directories(folder + kind, error);
    }
    TempFolder temp;
    const bool written
        = isoSeeds(folder + "iso/", temp) && udfSeeds(folder + "udf/") && sheetSeeds(folder + "sheet/", temp);
    return written ? 0 : 1;
}
