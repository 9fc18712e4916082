#include "platform/mounttable.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

std::string unescape(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t index = 0; index < field.size(); ++index) {
        const bool octal = field[index] == '\\' && index + 3 < field.size() && field[index + 1] >= '0'
            && field[index + 1] <= '3' && field[index + 2] >= '0' && field[index + 2] <= '7' && field[index + 3] >= '0'
            && field[index + 3] <= '7';
        if (octal) {
            out += static_cast<char>(
                (field[index + 1] - '0') * 64 + (field[index + 2] - '0') * 8 + field[index + 3] - '0');
            index += 3;
            continue;
        }
        out += field[index];
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

bool parseNumber(std::string_view text, unsigned& value)
{
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(digit - '0');
    }
    return true;
}

// "36 35 98:0 /mnt1 /mnt/parent rw,noatime master:1 - ext3 /dev/root rw,errors=continue"
bool parseLine(std::string_view line, MountEntry& entry)
{
    const std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() < 7) {
        return false;
    }
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") {
        ++separator;
    }
    if (separator + 2 >= fields.size()) {
        return false;
    }
    const std::string_view device = fields[2];
    const std::size_t colon = device.find(':');
    if (colon == std::string_view::npos || !parseNumber(device.substr(0, colon), entry.Major)
        || !parseNumber(device.substr(colon + 1), entry.Minor)) {
        return false;
    }
    entry.Root = unescape(fields[3]);
    entry.MountPoint = unescape(fields[4]);
    entry.FileSystem = unescape(fields[separator + 1]);
    entry.Source = unescape(fields[separator + 2]);
    return true;
}

} // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        MountEntry entry;
        if (parseLine(text.substr(start, end - start), entry)) {
            mounts.push_back(std::move(entry));
        }
        start = end + 1;
    }
    return mounts;
}

std::vector<MountEntry> readMountTable()
{
    std::ifstream in("/proc/self/mountinfo");
    const std::string text { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    return parseMountInfo(text);
}

const MountEntry* findDeviceMount(const std::vector<MountEntry>& mounts, unsigned major, unsigned minor)
{
    for (const MountEntry& entry : mounts) {
        if (entry.Major == major && entry.Minor == minor && entry.Root == "/") {
            return &entry;
        }
    }
    return nullptr;
}

const MountEntry* findMountAt(const std::vector<MountEntry>& mounts, const std::string& folder)
{
    const MountEntry* found = nullptr;
    for (const MountEntry& entry : mounts) {
        if (entry.MountPoint == folder) {
            found = &entry;
        }
    }
    return found;
}
