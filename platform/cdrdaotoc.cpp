#include "platform/cdrdaotoc.h"

#include "platform/cuesheet.h"

#include <array>
#include <map>

namespace {

constexpr std::uint32_t s_samplesPerSector = 588;
constexpr std::uint64_t s_bytesPerSample = 4; // 16-bit stereo

struct ModeInfo {
    const char* Name;
    std::uint32_t SectorBytes;
    SectorData Data;
    bool Audio;
};

constexpr std::array<ModeInfo, 9> s_modes { {
    { "AUDIO", 2352, SectorData::Audio, true },
    { "MODE0", 2336, SectorData::Audio, false },
    { "MODE1", 2048, SectorData::Plain, false },
    { "MODE1_RAW", 2352, SectorData::RawMode1, false },
    { "MODE2", 2336, SectorData::Mode2Subheader, false },
    { "MODE2_FORM1", 2048, SectorData::Plain, false },
    { "MODE2_FORM2", 2324, SectorData::Audio, false },
    { "MODE2_FORM_MIX", 2336, SectorData::Mode2Subheader, false },
    { "MODE2_RAW", 2352, SectorData::RawByHeader, false },
} };

struct Token {
    std::string Text;
    bool Quoted = false;
};

// Words, quoted strings and braces; comments ("//" to the line's end) dropped.
std::vector<Token> tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
        } else if (text.compare(at, 2, "//") == 0) {
            at = std::min(text.find('\n', at), text.size());
        } else if (c == '{' || c == '}' || c == ',') {
            tokens.push_back({ std::string(1, c), false });
            ++at;
        } else if (c == '"') {
            std::string value;
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\' && at + 1 < text.size()) {
                    ++at;
                }
                value += text[at];
            }
            ++at;
            tokens.push_back({ std::move(value), true });
        } else {
            const std::size_t end = std::min(text.find_first_of(" \t\r\n{}\",", at), text.size());
            tokens.push_back({ std::string(text.substr(at, end - at)), false });
            at = end;
        }
    }
    return tokens;
}

bool isDigits(const std::string& text)
{
    return !text.empty() && text.size() <= 12 && text.find_first_not_of("0123456789") == std::string::npos;
}

bool isLength(const Token& token)
{
    std::uint32_t frames = 0;
    return !token.Quoted && (isDigits(token.Text) || parseFrameTime(token.Text, frames));
}

class TocParser {
public:
    TocParser(std::vector<Token> tokens, CdrdaoToc& toc, std::string& problem)
        : m_tokens(std::move(tokens))
        , m_toc(toc)
        , m_problem(problem)
    {
    }

    bool parse()
    {
        while (m_at < m_tokens.size()) {
            const Token& token = m_tokens[m_at++];
            const std::string word = token.Quoted ? std::string() : upperAscii(token.Text);
            if (!statement(word)) {
                return false;
            }
        }
        if (m_toc.Tracks.empty()) {
            return fail("the file names no track");
        }
        return true;
    }

private:
    bool statement(const std::string& word)
    {
        if (word == "CD_DA" || word == "CD_ROM" || word == "CD_ROM_XA" || word == "CD_I" || word == "NO"
            || word == "COPY" || word == "PRE_EMPHASIS" || word == "TWO_CHANNEL_AUDIO"
            || word == "FOUR_CHANNEL_AUDIO") {
            return true;
        }
        if (word == "CATALOG" || word == "ISRC") {
            return skipQuoted();
        }
        if (word == "CD_TEXT") {
            return skipBlock();
        }
        if (word == "TRACK") {
            return track();
        }
        if (m_toc.Tracks.empty()) {
            return fail(word.empty() ? "text outside a track" : word + " outside a track");
        }
        CdrdaoToc::Track& track = m_toc.Tracks.back();
        std::uint32_t sectors = 0;
        if (word == "SILENCE" || word == "PREGAP") {
            if (!length(track, sectors)) {
                return false;
            }
            track.Parts.push_back({ {}, 0, false, sectors });
            return word == "SILENCE" || start(track, partsSectors(track));
        }
        if (word == "ZERO") {
            while (m_at < m_tokens.size() && !isLength(m_tokens[m_at])) {
                ++m_at; // the data and sub-channel modes of the zeros
            }
            if (!length(track, sectors)) {
                return false;
            }
            track.Parts.push_back({ {}, 0, false, sectors });
            return true;
        }
        if (word == "FILE" || word == "AUDIOFILE" || word == "DATAFILE") {
            return filePart(track, word == "DATAFILE");
        }
        if (word == "START") {
            std::uint32_t offset = partsSectors(track);
            if (m_at < m_tokens.size() && isLength(m_tokens[m_at]) && !length(track, offset)) {
                return false;
            }
            return start(track, offset);
        }
        if (word == "INDEX") {
            return length(track, sectors);
        }
        return fail(word.empty() ? "a text where a keyword belongs" : "unknown keyword " + word);
    }

    bool track()
    {
        if (m_at >= m_tokens.size() || m_toc.Tracks.size() == 99) {
            return fail("TRACK needs a mode, and a disc holds 99 tracks at most");
        }
        const std::string mode = upperAscii(m_tokens[m_at++].Text);
        for (const ModeInfo& known : s_modes) {
            if (mode == known.Name) {
                CdrdaoToc::Track track;
                track.SectorBytes = known.SectorBytes;
                track.Data = known.Data;
                track.Audio = known.Audio;
                if (m_at < m_tokens.size()
                    && (upperAscii(m_tokens[m_at].Text) == "RW" || upperAscii(m_tokens[m_at].Text) == "RW_RAW")) {
                    ++m_at;
                    if (track.SectorBytes != 2352) {
                        return fail("sub-channel data after " + mode + " sectors cannot be read");
                    }
                    track.SectorBytes = 2448;
                }
                m_toc.Tracks.push_back(std::move(track));
                return true;
            }
        }
        return fail("track mode " + mode + " cannot be read");
    }

    bool filePart(CdrdaoToc::Track& track, bool data)
    {
        if (m_at >= m_tokens.size() || !m_tokens[m_at].Quoted || m_tokens[m_at].Text.empty()) {
            return fail("a file part needs a file name in quotes");
        }
        TocFilePart part;
        part.Name = m_tokens[m_at++].Text;
        if (m_at < m_tokens.size() && !m_tokens[m_at].Quoted && m_tokens[m_at].Text.front() == '#') {
            const std::string offset = m_tokens[m_at++].Text.substr(1);
            if (!isDigits(offset)) {
                return fail("a file offset is #bytes");
            }
            part.Offset = std::stoull(offset);
        }
        if (!data) {
            // An audio file part names where in the file it starts.
            std::uint64_t samples = 0;
            if (m_at >= m_tokens.size() || !lengthInSamples(m_tokens[m_at++], samples)) {
                return fail("FILE needs the start in the file");
            }
            part.Offset += samples * s_bytesPerSample;
        }
        part.ToEnd = true;
        if (m_at < m_tokens.size() && isLength(m_tokens[m_at])) {
            part.ToEnd = false;
            const Token& given = m_tokens[m_at];
            if (data && isDigits(given.Text)) {
                ++m_at;
                const std::uint64_t bytes = std::stoull(given.Text);
                part.Sectors
                    = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes / track.SectorBytes, UINT32_MAX));
            } else if (!length(track, part.Sectors)) {
                return false;
            }
        }
        track.Parts.push_back(std::move(part));
        return true;
    }

    bool start(CdrdaoToc::Track& track, std::uint32_t offset)
    {
        if (track.StartGiven) {
            return fail("a track has one START");
        }
        track.Start = offset;
        track.StartGiven = true;
        return true;
    }

    static std::uint32_t partsSectors(const CdrdaoToc::Track& track)
    {
        std::uint64_t sectors = 0;
        for (const TocFilePart& part : track.Parts) {
            sectors += part.Sectors;
        }
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, UINT32_MAX));
    }

    static bool lengthInSamples(const Token& token, std::uint64_t& samples)
    {
        std::uint32_t frames = 0;
        if (token.Quoted) {
            return false;
        }
        if (isDigits(token.Text)) {
            samples = std::stoull(token.Text);
            return true;
        }
        if (!parseFrameTime(token.Text, frames)) {
            return false;
        }
        samples = static_cast<std::uint64_t>(frames) * s_samplesPerSector;
        return true;
    }

    bool length(const CdrdaoToc::Track&, std::uint32_t& sectors)
    {
        std::uint64_t samples = 0;
        if (m_at >= m_tokens.size() || !lengthInSamples(m_tokens[m_at++], samples)) {
            return fail("a length mm:ss:ff or in samples is missing");
        }
        sectors = static_cast<std::uint32_t>(
            std::min<std::uint64_t>((samples + s_samplesPerSector - 1) / s_samplesPerSector, UINT32_MAX));
        return true;
    }

    bool skipQuoted()
    {
        if (m_at >= m_tokens.size() || !m_tokens[m_at].Quoted) {
            return fail("a text in quotes is missing");
        }
        ++m_at;
        return true;
    }

    bool skipBlock()
    {
        int depth = 0;
        do {
            if (m_at >= m_tokens.size()) {
                return fail("a CD_TEXT block does not end");
            }
            const Token& token = m_tokens[m_at++];
            if (!token.Quoted && token.Text == "{") {
                ++depth;
            } else if (!token.Quoted && token.Text == "}") {
                --depth;
            }
        } while (depth > 0);
        return true;
    }

    bool fail(const std::string& problem)
    {
        m_problem = problem;
        return false;
    }

    std::vector<Token> m_tokens;
    std::size_t m_at = 0;
    CdrdaoToc& m_toc;
    std::string& m_problem;
};

bool endsWithWav(const std::string& name)
{
    return name.size() > 4 && upperAscii(name.substr(name.size() - 4)) == ".WAV";
}

} // namespace

bool parseCdrdaoToc(std::string_view text, CdrdaoToc& toc, std::string& problem)
{
    toc = CdrdaoToc();
    return TocParser(tokenize(text), toc, problem).parse();
}

bool layOutCdrdaoToc(const CdrdaoToc& toc,
    const std::function<bool(const std::string& name, CueFileData& file)>& findFile, TrackLayout& layout,
    std::string& problem)
{
    layout = TrackLayout();
    std::map<std::string, std::pair<std::size_t, CueFileData>> files; // by name: the index in layout.Files
    std::uint64_t lsn = 0;
    for (std::size_t index = 0; index < toc.Tracks.size(); ++index) {
        const CdrdaoToc::Track& track = toc.Tracks[index];
        const int number = static_cast<int>(index) + 1;
        const std::uint64_t first = lsn;
        for (const TocFilePart& part : track.Parts) {
            if (part.Name.empty()) {
                lsn += part.Sectors; // silence and zeros are no part of the image
                continue;
            }
            auto found = files.find(part.Name);
            if (found == files.end()) {
                CueFileData file;
                if (!findFile(part.Name, file)) {
                    problem = part.Name + ", named by the table of contents, is missing";
                    return false;
                }
                layout.Files.push_back(file.Path);
                found = files.emplace(part.Name, std::pair(layout.Files.size() - 1, file)).first;
            }
            const CueFileData& file = found->second.second;
            const std::uint64_t available
                = part.Offset < file.Bytes ? (file.Bytes - part.Offset) / track.SectorBytes : 0;
            const std::uint64_t count = part.ToEnd ? available : part.Sectors;
            if (count > available || count == 0 || lsn + count > UINT32_MAX) {
                problem = part.Name + " is too short for track " + std::to_string(number);
                return false;
            }
            layout.Extents.push_back({ static_cast<std::uint32_t>(lsn), static_cast<std::uint32_t>(count),
                found->second.first, file.Offset + part.Offset, track.SectorBytes, track.Data });
            lsn += count;
        }
        if (first + track.Start >= lsn) {
            problem = "track " + std::to_string(number) + " holds no sectors after its start";
            return false;
        }
        layout.Toc.Tracks.push_back({ number, track.Audio, static_cast<std::uint32_t>(first + track.Start) });
    }
    if (lsn > UINT32_MAX) {
        problem = "it describes more than any disc holds";
        return false;
    }
    layout.Toc.LeadOut = static_cast<std::uint32_t>(lsn);
    layout.Toc.LastSession = layout.Toc.lastDataTrackStart();
    return checkTrackLayout(layout, problem);
}

std::shared_ptr<TrackSource> openCdrdaoToc(const std::string& path, std::string& problem)
{
    std::string text;
    if (!readSheetFile(path, text)) {
        problem = "the table of contents cannot be read";
        return nullptr;
    }
    CdrdaoToc toc;
    if (!parseCdrdaoToc(text, toc, problem)) {
        return nullptr;
    }
    const std::string folder = folderOf(path);
    const auto findFile = [&folder](const std::string& name, CueFileData& file) {
        file.Path = findImagePart(folder, name);
        if (file.Path.empty()) {
            return false;
        }
        // A WAVE file's samples start after its header; the parts count from there.
        return (endsWithWav(name) && waveSamples(file.Path, file.Offset, file.Bytes))
            || regularFileSize(file.Path, file.Bytes);
    };
    TrackLayout layout;
    if (!layOutCdrdaoToc(toc, findFile, layout, problem)) {
        return nullptr;
    }
    return openTrackLayout(std::move(layout), problem);
}
