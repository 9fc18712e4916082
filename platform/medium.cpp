#include "platform/medium.h"

#include <cstdlib>
#include <cstring>

std::string cutUtf8(std::string text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = maxBytes;
    // Step back over continuation bytes to the start of the sequence that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text;
}

void setEntryName(TKTBDirEntry& entry, const std::string& name)
{
    const std::string cut = cutUtf8(name, sizeof entry.Name - 1);
    std::memcpy(entry.Name, cut.data(), cut.size());
    entry.Name[cut.size()] = '\0';
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
