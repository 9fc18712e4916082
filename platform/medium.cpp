#include "platform/medium.h"

#include <cstdlib>
#include <cstring>

namespace {

// Bytes of the valid UTF-8 sequence at text[at], or 0 when none starts there.
std::size_t utf8SequenceLength(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t index = 1; index < length; ++index) {
        const auto next = static_cast<unsigned char>(text[at + index]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

} // namespace

std::string cutName(std::string name)
{
    std::size_t units = 0;
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t length = utf8SequenceLength(name, at);
        const std::size_t characterUnits = length == 4 ? 2 : 1;
        if (units + characterUnits > KTB_NAME_CHARACTERS) {
            break;
        }
        units += characterUnits;
        at += length == 0 ? 1 : length;
    }
    name.resize(at);
    return name;
}

void setEntryName(TKTBDirEntry& entry, const std::string& name)
{
    const std::string cut = cutName(name);
    std::memcpy(entry.Name, cut.data(), cut.size());
    entry.Name[cut.size()] = '\0';
}

namespace {

class FailedListing final : public DriveFolderListing {
public:
    explicit FailedListing(std::string problem)
        : m_problem(std::move(problem))
    {
    }
    bool next(TKTBDirEntry&) override { return false; }
    std::unique_ptr<DriveFolderListing> openSubfolder(const TKTBDirEntry&) override { return nullptr; }
    bool failed() const override { return true; }
    std::string problem() const override { return m_problem; }

private:
    std::string m_problem;
};

} // namespace

std::unique_ptr<DriveFolderListing> failedListing(std::string problem)
{
    return std::make_unique<FailedListing>(std::move(problem));
}

bool DirectoryWalk::take(std::uint64_t bytes)
{
    if (bytes > BytesLeft) {
        return false;
    }
    BytesLeft -= bytes;
    return true;
}

bool civilTimeToUnix(std::int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
    std::int64_t& seconds)
{
    static constexpr unsigned s_days[12] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    if (day > s_days[month - 1] + (month == 2 && leap ? 1 : 0)) {
        return false;
    }
    // Days from 1970-01-01, counted in eras of 400 years.
    const std::int64_t shifted = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (shifted >= 0 ? shifted : shifted - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(shifted - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
    seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

std::vector<std::string> splitRelativePath(const std::string& relativePath)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= relativePath.size()) {
        std::size_t end = relativePath.find('/', start);
        if (end == std::string::npos) {
            end = relativePath.size();
        }
        if (end > start) {
            parts.push_back(relativePath.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t index = 0; index < a.size(); ++index) {
        char x = a[index];
        char y = b[index];
        x = x >= 'a' && x <= 'z' ? static_cast<char>(x - 'a' + 'A') : x;
        y = y >= 'a' && y <= 'z' ? static_cast<char>(y - 'a' + 'A') : y;
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::string absolutePath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    std::string result = real != nullptr ? real : "";
    std::free(real);
    return result;
}
