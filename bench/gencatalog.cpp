// Writes one large synthetic catalog for the engine's search benchmark (search_vs_grep.sh): discs of
// about a thousand files each, in folder trees one to seven levels deep, named like a home collection
// of music, photos, documents and software. About one name in six holds "mp3" (the common pattern);
// about one in 100,000 holds "zanzibar" (the rare pattern). Deterministic: the same arguments write
// the same bytes.
//
//     ktb_gencatalog FILE [FILES=2000000]

#include "tests/support/catalogbuilder.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

/// A small fixed generator (splitmix64), so the catalog is the same with every standard library.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed)
    {
    }

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// 0 to count - 1.
    std::uint32_t below(std::uint32_t count) { return static_cast<std::uint32_t>(next() % count); }
    template <std::size_t N> const char* pick(const std::array<const char*, N>& words) { return words[below(N)]; }

private:
    std::uint64_t m_state;
};

constexpr std::array<const char*, 24> s_artists = { "Abba", "Beatles", "Coldplay", "Deep Purple", "Eagles",
    "Fleetwood Mac", "Genesis", "Hendrix", "Iron Maiden", "Jethro Tull", "Kraftwerk", "Led Zeppelin", "Madonna",
    "Nirvana", "Oasis", "Pink Floyd", "Queen", "Radiohead", "Santana", "Toto", "U2", "Van Halen", "Wham", "Yes" };
constexpr std::array<const char*, 24> s_words = { "Summer", "Night", "Love", "River", "Light", "Road", "Dream", "Fire",
    "Rain", "Heart", "Train", "Moon", "Holiday", "Party", "Garden", "Beach", "Winter", "Ocean", "City", "Street",
    "Forest", "Island", "Castle", "Bridge" };
constexpr std::array<const char*, 12> s_places = { "Rome", "Paris", "Crete", "Alps", "Lisbon", "Prague", "Norway",
    "Berlin", "Vienna", "Cornwall", "Sicily", "Bretagne" };
constexpr std::array<const char*, 14> s_documents = { "report", "letter", "invoice", "notes", "budget", "minutes",
    "contract", "offer", "thesis", "draft", "summary", "agenda", "manual", "cv" };
constexpr std::array<const char*, 8> s_documentTypes = { "doc", "pdf", "txt", "xls", "rtf", "ppt", "odt", "htm" };
constexpr std::array<const char*, 16> s_programFiles = { "setup.exe", "readme.txt", "install.ini", "data1.cab",
    "data2.cab", "license.txt", "autorun.inf", "program.exe", "help.hlp", "msvcrt.dll", "config.sys", "update.exe",
    "drivers.inf", "icon.ico", "uninstall.exe", "changes.log" };

enum class Theme { Music, Photos, Documents, Software };

class Generator {
public:
    Generator(CatalogBuilder& catalog, std::uint32_t files)
        : m_catalog(catalog)
        , m_random(20030501)
        , m_wanted(files)
    {
    }

    void run()
    {
        for (std::uint32_t disc = 1; m_files < m_wanted; ++disc) {
            const auto theme = static_cast<Theme>(m_random.below(4));
            m_theme = theme;
            CatalogBuilder::Disc record;
            record.serial = static_cast<std::uint32_t>(m_random.next()) | 1;
            record.title = discTitle(theme, disc);
            record.scanTime = date();
            record.capacity = 681574400;
            m_catalog.beginDisc(record);
            m_discFiles = 0;
            const std::uint32_t target = 600 + m_random.below(800);
            while (m_discFiles < target && m_files < m_wanted) {
                folder(1);
            }
            m_catalog.endDisc();
        }
    }

private:
    std::string discTitle(Theme theme, std::uint32_t number)
    {
        switch (theme) {
        case Theme::Music:
            return "MP3 Collection " + std::to_string(number);
        case Theme::Photos:
            return std::string("Photos ") + m_random.pick(s_places) + " " + std::to_string(1995 + number % 15);
        case Theme::Documents:
            return "Backup " + std::to_string(number);
        case Theme::Software:
            return "Software CD " + std::to_string(number);
        }
        return {};
    }

    std::uint32_t date()
    {
        return CatalogBuilder::dosDateTime(static_cast<int>(1995 + m_random.below(15)),
            static_cast<int>(1 + m_random.below(12)), static_cast<int>(1 + m_random.below(28)),
            static_cast<int>(m_random.below(24)), static_cast<int>(m_random.below(60)),
            static_cast<int>(m_random.below(60)));
    }

    std::string folderName(int depth)
    {
        switch (m_theme) {
        case Theme::Music:
            return depth == 1 ? m_random.pick(s_artists)
                              : std::string(m_random.pick(s_words)) + " " + m_random.pick(s_words) + " ("
                    + std::to_string(1965 + m_random.below(40)) + ")";
        case Theme::Photos:
            return std::to_string(1995 + m_random.below(15)) + "-" + std::to_string(10 + m_random.below(3)) + "-"
                + std::to_string(10 + m_random.below(18)) + " " + m_random.pick(s_places);
        case Theme::Documents:
            return std::string(m_random.pick(s_documents)) + "s " + std::to_string(m_random.below(100));
        case Theme::Software:
            return depth == 1 ? std::string("Program ") + std::to_string(m_random.below(1000))
                              : "DISK" + std::to_string(depth);
        }
        return {};
    }

    std::string fileName(std::uint32_t index)
    {
        // The rare pattern, in about one name of 100,000.
        if (m_random.below(100000) == 0) {
            return "zanzibar trip " + std::to_string(index) + ".jpg";
        }
        char number[16];
        switch (m_theme) {
        case Theme::Music:
            std::snprintf(number, sizeof number, "%02u", index % 100);
            return std::string(number) + " - " + m_random.pick(s_artists) + " - " + m_random.pick(s_words) + " "
                + m_random.pick(s_words) + (m_random.below(3) == 0 ? ".wav" : ".mp3");
        case Theme::Photos:
            std::snprintf(number, sizeof number, "%04u", m_random.below(10000));
            return (m_random.below(2) == 0 ? "IMG_" : "DSC0") + std::string(number)
                + (m_random.below(2) == 0 ? ".JPG" : ".jpg");
        case Theme::Documents:
            return std::string(m_random.pick(s_documents)) + "_" + std::to_string(m_random.below(2000)) + "."
                + m_random.pick(s_documentTypes);
        case Theme::Software:
            return m_random.pick(s_programFiles);
        }
        return {};
    }

    void folder(int depth)
    {
        m_catalog.beginFolder(folderName(depth));
        const std::uint32_t files = m_random.below(depth == 1 ? 8 : 40);
        for (std::uint32_t i = 0; i < files && m_files < m_wanted; ++i) {
            m_catalog.addFile(fileName(i + 1), m_random.below(8u << 20), date());
            ++m_files;
            ++m_discFiles;
        }
        // Deeper levels grow rarer; seven at most.
        while (depth < 7 && m_random.below(depth + 2) == 0 && m_files < m_wanted) {
            folder(depth + 1);
        }
        if (depth <= 2) {
            for (std::uint32_t extra = m_random.below(4); extra > 0 && m_files < m_wanted; --extra) {
                folder(depth + 1);
            }
        }
        m_catalog.endFolder();
    }

    CatalogBuilder& m_catalog;
    Random m_random;
    std::uint32_t m_wanted;
    std::uint32_t m_files = 0;
    std::uint32_t m_discFiles = 0;
    Theme m_theme = Theme::Music;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fputs("usage: ktb_gencatalog FILE [FILES=2000000]\n", stderr);
        return 2;
    }
    const std::uint32_t files = argc == 3 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 2000000;
    CatalogBuilder catalog;
    catalog.setOwner("Bench").setName("Synthetic collection");
    Generator(catalog, files).run();
    if (!catalog.writeTo(argv[1])) {
        std::fprintf(stderr, "ktb_gencatalog: cannot write %s\n", argv[1]);
        return 2;
    }
    std::printf("%s: %u files, %u bytes\n", argv[1], files, catalog.size());
    return 0;
}
