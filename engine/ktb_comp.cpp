#include "engine/ktb_comp.h"

#include "engine/ktb_io.h"
#include "engine/ktb_journal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t s_olderHeaderSize = 88;

/// Sequential reader of the older file.
class OlderReader {
public:
    explicit OlderReader(const char* path)
        : m_file(std::fopen(path, "rb"))
    {
        if (m_file != nullptr) {
            std::setvbuf(m_file, nullptr, _IOFBF, 1 << 20);
        }
    }
    ~OlderReader()
    {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
    }
    OlderReader(const OlderReader&) = delete;
    OlderReader& operator=(const OlderReader&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    /// The file's permission bits.
    unsigned mode() const
    {
        struct stat status { };
        return ::fstat(::fileno(m_file), &status) == 0 ? static_cast<unsigned>(status.st_mode & 0777) : 0600;
    }
    std::uint64_t position() const { return m_position; }

    bool read(void* buffer, std::size_t count)
    {
        if (count == 0) {
            return true;
        }
        if (std::fread(buffer, 1, count, m_file) != count) {
            return false;
        }
        m_position += count;
        return true;
    }
    bool readString(std::string& text)
    {
        std::uint16_t length = 0;
        if (!read(&length, sizeof length)) {
            return false;
        }
        text.resize(length);
        return read(text.data(), length);
    }
    template <typename T> bool readValue(T& value) { return read(&value, sizeof value); }

private:
    std::FILE* m_file;
    std::uint64_t m_position = 0;
};

/// The older format's dates count days since 1899-12-30, the fraction being the time of day (local).
/// Answers false when the value is no date at all (years 1 to 9999 are dates).
bool dayCountToTm(double value, std::tm& time)
{
    if (!std::isfinite(value) || value < -693593.0 || value >= 2958466.0) {
        return false;
    }
    const double whole = std::floor(value);
    auto seconds = static_cast<std::int64_t>(std::llround((value - whole) * 86400.0));
    auto days = static_cast<std::int64_t>(whole) - 25569; // days since 1970-01-01
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    // Civil date from a day count (proleptic Gregorian).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const std::int64_t month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    time = std::tm {};
    time.tm_year = static_cast<int>(year - 1900);
    time.tm_mon = static_cast<int>(month - 1);
    time.tm_mday = static_cast<int>(day);
    time.tm_hour = static_cast<int>(seconds / 3600);
    time.tm_min = static_cast<int>((seconds / 60) % 60);
    time.tm_sec = static_cast<int>(seconds % 60);
    return true;
}

/// A packed local date-time for a day count; 0 before 1980, after 2107 or for no date at all.
std::uint32_t dayCountToDos(double value, bool& isDate)
{
    std::tm time {};
    isDate = dayCountToTm(value, time);
    return isDate ? ktbPackDosDateTime(time) : 0;
}

std::string headerText(const std::uint8_t* header, std::size_t offset, std::size_t width)
{
    return std::string(ktbFieldText(reinterpret_cast<const char*>(header + offset), width));
}

bool readOlderDisc(OlderReader& in, TKTBDisc& disc)
{
    std::string title;
    std::string unused;
    std::string comment;
    double scanTime = 0;
    std::uint32_t reserved = 0;
    disc = TKTBDisc {};
    if (!in.readValue(disc.Serial) || !in.readString(title) || !in.readString(unused) || !in.readString(comment)
        || !in.readValue(scanTime) || !in.readValue(disc.Used) || !in.readValue(disc.Capacity)
        || !in.readValue(disc.Files) || !in.readValue(reserved)) {
        return false;
    }
    ktbStoreText(disc.Title, sizeof disc.Title, title);
    ktbStoreText(disc.Comment, sizeof disc.Comment, comment);
    bool isDate = false;
    disc.ScanTime = dayCountToDos(scanTime, isDate);
    if (!isDate) {
        disc.ScanTime = ktbNowLocalDos();
    }
    disc.Flags = 0;
    disc.Folders = 0;
    disc.RunLength = 0;
    return true;
}

/// Copies the older body record for record; answers the result of the conversion.
TKTBERROR copyBody(OlderReader& in, TKTBHandle* out, TKTBConvertProgress progress, void* userData)
{
    TKTBAppender writer(out);
    TKTBDisc disc {};
    std::uint64_t discStart = 0;
    bool inDisc = false;
    std::uint32_t depth = 0; // folders open in the disc
    std::uint8_t tag = 0;
    while (in.readValue(tag)) {
        // Folders, files and their marks belong inside a disc, and every folder mark closes one folder:
        // anything else would make a catalog no walk can read.
        if (!inDisc && tag != KTB_TAG_DISC) {
            return KTB_ERR_BADENTITY;
        }
        switch (tag) {
        case KTB_TAG_DISC:
            // A disc that starts before the previous one ended would leave that one's run without its
            // length: a run the engine can neither delete nor copy.
            if (inDisc || !readOlderDisc(in, disc)) {
                return KTB_ERR_BADENTITY;
            }
            discStart = writer.position();
            inDisc = true;
            writer.appendByte(KTB_TAG_DISC);
            writer.append(&disc, sizeof disc);
            break;
        case KTB_TAG_FOLDER: {
            std::string name;
            if (!in.readString(name)) {
                return KTB_ERR_BADENTITY;
            }
            writer.appendByte(KTB_TAG_FOLDER);
            writer.appendString(name);
            ++depth;
            break;
        }
        case KTB_TAG_FILE: {
            std::string name;
            std::string comment;
            std::uint32_t size = 0;
            std::uint32_t dateTime = 0;
            if (!in.readString(name) || !in.readValue(size) || !in.readValue(dateTime) || !in.readString(comment)) {
                return KTB_ERR_BADENTITY;
            }
            writer.appendByte(KTB_TAG_FILE);
            writer.appendString(name);
            writer.append(&size, sizeof size);
            writer.append(&dateTime, sizeof dateTime);
            writer.appendString(comment);
            break;
        }
        case KTB_TAG_ENDFOLDER:
            if (depth == 0) {
                return KTB_ERR_BADENTITY;
            }
            --depth;
            writer.appendByte(KTB_TAG_ENDFOLDER);
            break;
        case KTB_TAG_ENDDISC:
            if (depth != 0) {
                return KTB_ERR_BADENTITY;
            }
            writer.appendByte(KTB_TAG_ENDDISC);
            disc.RunLength = static_cast<std::uint32_t>(writer.position() - discStart);
            if (!writer.patch(discStart + 1, &disc, sizeof disc)) {
                return KTB_ERR_MAPPINGFAILED;
            }
            inDisc = false;
            break;
        default:
            return KTB_ERR_BADENTITY;
        }
        if (!writer.ok()) {
            return KTB_ERR_MAPPINGFAILED;
        }
        if (progress != nullptr) {
            bool cancel = false;
            progress(static_cast<std::uint32_t>(writer.position()), static_cast<std::uint32_t>(in.position()), tag,
                userData, cancel);
            if (cancel) {
                return KTB_ERR_INTERRUPTED;
            }
        }
    }
    // A body that ends inside a disc is cut short: its run would never be completed.
    if (inDisc) {
        return KTB_ERR_BADENTITY;
    }
    return writer.flush() ? KTB_OK : KTB_ERR_MAPPINGFAILED;
}

} // namespace

TKTBERROR ktbConvertOlder(const char* olderPath, const char* newPath, TKTBConvertProgress progress, void* userData)
{
    OlderReader in(olderPath);
    if (!in.isOpen()) {
        return KTB_ERR_FILENOTAVAILABLE;
    }
    std::uint8_t header[s_olderHeaderSize] = {};
    if (!in.read(header, sizeof header) || headerText(header, 0, 20) != KTB_OLDER_SIGNATURE) {
        return KTB_ERR_INVALIDHEADER;
    }
    // The new catalog appears under its name only once it is whole and on disk, and it holds what the
    // older file held: no one who may not read that may read it.
    TKTBHandle* out = nullptr;
    const TKTBERROR opened = ktbCreateStaged(out, newPath, in.mode());
    if (opened != KTB_OK) {
        return opened;
    }
    const std::string owner = headerText(header, 25, 30);
    const std::string name = headerText(header, 71, 17);
    double created = 0;
    std::memcpy(&created, header + 55, sizeof created);
    bool isDate = false;
    const std::uint32_t createdStamp = dayCountToDos(created, isDate);
    TKTBERROR result = ktbSetHeaderField(out, KTB_HDR_OWNER, owner.c_str());
    if (result == KTB_OK) {
        result = ktbSetHeaderField(out, KTB_HDR_NAME, name.c_str());
    }
    if (result == KTB_OK && createdStamp != 0) {
        result = ktbSetHeaderField(out, KTB_HDR_CREATED, &createdStamp);
    }
    if (result == KTB_OK) {
        result = copyBody(in, out, progress, userData);
    }
    const TKTBERROR finished = ktbFinishStaged(out, newPath, result == KTB_OK);
    return result != KTB_OK ? result : finished;
}
