// Writes synthetic filesets for the search benchmark: count catalogs "Bench - FilesetN.ktb" of files
// files each, 10,000 files to a disc in 20 folders of 5 sub-folders of 100 files. Names look like a
// music and photo collection ("garden_light 042.jpg", "river 04711.wav"); about 10 % end in ".mp3" (the common
// pattern "mp3") and about 0.06 % hold "quetzal" (the rare pattern); no other name holds either.
// Deterministic: the same arguments write the same bytes.
//
//     make_filesets FOLDER [COUNT=10] [FILES=1000000]

#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr std::array<const char*, 48> s_words = { "garden", "light", "river", "summer", "winter", "night", "party",
    "beach", "mountain", "forest", "city", "street", "holiday", "family", "concert", "live", "remix", "track", "album",
    "demo", "intro", "outro", "session", "studio", "photo", "image", "scan", "draft", "final", "backup", "notes",
    "report", "letter", "invoice", "travel", "road", "harbour", "island", "village", "castle", "bridge", "tower",
    "valley", "meadow", "desert", "ocean", "autumn", "spring" };
constexpr std::array<const char*, 9> s_extensions = { "jpg", "wav", "txt", "doc", "png", "avi", "pdf", "zip", "ogg" };

void put16(std::string& out, std::uint16_t value) { out.append(reinterpret_cast<const char*>(&value), 2); }

void put32(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }

void putName(std::string& out, const std::string& name)
{
    put16(out, static_cast<std::uint16_t>(name.size()));
    out += name;
}

class Names {
public:
    explicit Names(unsigned seed)
        : m_random(seed)
    {
    }

    std::string word() { return s_words[pick(s_words.size())]; }

    std::string file()
    {
        std::string name = word();
        char number[8];
        if (pick(2) == 0) {
            std::snprintf(number, sizeof number, " %05u", static_cast<unsigned>(pick(100000)));
        } else {
            name += '_';
            name += word();
            std::snprintf(number, sizeof number, " %03u", static_cast<unsigned>(pick(1000)));
        }
        name += number;
        if (pick(100000) < 60) {
            name.insert(pick(name.size() + 1), "quetzal");
        }
        name += '.';
        name += pick(10) == 0 ? "mp3" : s_extensions[pick(s_extensions.size())];
        return name;
    }

    std::uint32_t size() { return static_cast<std::uint32_t>(pick(50000000)); }
    std::uint32_t date()
    {
        // 1995 to 2006, any day of 28, seconds in two-second steps.
        const auto year = static_cast<std::uint32_t>(15 + pick(12));
        const auto month = static_cast<std::uint32_t>(1 + pick(12));
        const auto day = static_cast<std::uint32_t>(1 + pick(28));
        const auto time = static_cast<std::uint32_t>(pick(24) << 11 | pick(60) << 5 | pick(30));
        return (year << 25 | month << 21 | day << 16) | time;
    }

private:
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(m_random); }

    std::mt19937_64 m_random;
};

/// The record area of one fileset.
std::string body(int fileset, long files)
{
    Names names(static_cast<unsigned>(1000 + fileset));
    std::string out;
    out.reserve(static_cast<std::size_t>(files) * 34);
    long written = 0;
    for (int disc = 1; written < files; ++disc) {
        const std::size_t discAt = out.size();
        TKTBDisc record {};
        record.Serial = static_cast<std::uint32_t>(fileset * 100000 + disc);
        std::snprintf(record.Title, sizeof record.Title, "Bench %d disc %d", fileset, disc);
        record.Capacity = 734003200;
        out += static_cast<char>(KTB_TAG_DISC);
        out.append(reinterpret_cast<const char*>(&record), sizeof record);
        std::uint32_t discFiles = 0;
        std::uint32_t discFolders = 0;
        for (int folder = 0; folder < 20 && written < files; ++folder) {
            out += static_cast<char>(KTB_TAG_FOLDER);
            putName(out, names.word() + ' ' + std::to_string(folder));
            ++discFolders;
            for (int sub = 0; sub < 5 && written < files; ++sub) {
                out += static_cast<char>(KTB_TAG_FOLDER);
                putName(out, names.word());
                ++discFolders;
                for (int file = 0; file < 100 && written < files; ++file, ++written, ++discFiles) {
                    out += static_cast<char>(KTB_TAG_FILE);
                    putName(out, names.file());
                    put32(out, names.size());
                    put32(out, names.date());
                    put16(out, 0);
                }
                out += static_cast<char>(KTB_TAG_ENDFOLDER);
            }
            out += static_cast<char>(KTB_TAG_ENDFOLDER);
        }
        out += static_cast<char>(KTB_TAG_ENDDISC);
        record.Files = discFiles;
        record.Folders = discFolders;
        record.RunLength = static_cast<std::uint32_t>(out.size() - discAt);
        record.Used = static_cast<std::int64_t>(discFiles) * 25000000;
        std::memcpy(out.data() + discAt + 1, &record, sizeof record);
    }
    return out;
}

bool writeFileset(const std::string& path, int fileset, long files)
{
    std::remove(path.c_str());
    {
        // Closed before the records are appended to the file behind the engine.
        KtbHandlePtr handle;
        if (ktbOpenOwned(handle, path.c_str(), KTB_OPEN_CREATE) != KTB_OK) {
            return false;
        }
        char owner[KTB_OWNER_MAX + 1] = "Bench";
        char name[KTB_NAME_MAX + 1] = {};
        std::snprintf(name, sizeof name, "Bench fileset %d", fileset);
        ktbSetHeaderField(handle.get(), KTB_HDR_OWNER, owner);
        ktbSetHeaderField(handle.get(), KTB_HDR_NAME, name);
    }
    const std::string records = body(fileset, files);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(records.data(), static_cast<std::streamsize>(records.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_filesets FOLDER [COUNT=10] [FILES=1000000]\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') {
        folder += '/';
    }
    const int count = argc > 2 ? std::atoi(argv[2]) : 10;
    const long files = argc > 3 ? std::atol(argv[3]) : 1000000;
    for (int i = 0; i < count; ++i) {
        const std::string path = folder + "Bench - Fileset" + std::to_string(i) + ".ktb";
        if (!writeFileset(path, i, files)) {
            std::fprintf(stderr, "make_filesets: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
