#include "tools/KtbTool.h"

#include "engine/ktb_io.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace ktbtool {

ParsedArguments parseArguments(const char* command, const std::vector<std::string>& arguments, std::string_view known)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            parsed.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            parsed.help = true;
        } else if (argument[1] == '-') {
            usageError(command, "unknown option " + argument);
            parsed.ok = false;
        } else {
            for (const char letter : std::string_view(argument).substr(1)) {
                if (known.find(letter) == std::string_view::npos) {
                    usageError(command, std::string("unknown option -") + letter);
                    parsed.ok = false;
                } else {
                    parsed.flags += letter;
                }
            }
        }
    }
    return parsed;
}

int printHelp(const char* command)
{
    for (const Command& entry : commands()) {
        if (std::string_view(entry.name) == command) {
            std::fputs(entry.help, stdout);
        }
    }
    return ExitOk;
}

void reportError(const char* command, const std::string& message)
{
    std::fprintf(stderr, "ktb %s: %s\n", command, message.c_str());
}

int usageError(const char* command, const std::string& message)
{
    reportError(command, message);
    std::fprintf(stderr, "Try 'ktb %s --help'.\n", command);
    return ExitError;
}

std::string displayText(std::string_view bytes)
{
    std::string text = ktbIsUtf8(bytes) ? std::string(bytes) : ktbCp1252ToUtf8(bytes);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

std::string displayDate(std::uint32_t dosDateTime)
{
    std::tm time {};
    if (dosDateTime == 0 || !ktbUnpackDosDateTime(dosDateTime, time)) {
        return "-";
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.tm_year + 1900, time.tm_mon + 1,
        time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

std::string describeCode(TKTBERROR code)
{
    std::string what;
    switch (code) {
    case KTB_ERR_FILENOTAVAILABLE:
        what = "cannot read the file";
        break;
    case KTB_ERR_MAPPINGFAILED:
        what = "empty file, not a catalog";
        break;
    case KTB_ERR_INVALIDHEADER:
        what = "not a catalog file";
        break;
    case KTB_ERR_WRONGVERSION:
        what = "a catalog of another version (an older one can be converted)";
        break;
    case KTB_ERR_BADENTITY: {
        TKTBErrorDetail detail;
        ktbErrorDetail(detail);
        what
            = "damaged record at offset " + std::to_string(detail.Offset) + " (tag " + std::to_string(detail.Tag) + ")";
        break;
    }
    default:
        what = "failed";
        break;
    }
    return what + " (" + ktbErrorName(code) + ")";
}

TKTBHandle* openCatalog(const char* command, const std::string& path)
{
    TKTBHandle* handle = nullptr;
    const TKTBERROR code = ktbOpen(handle, path.c_str(), KTB_OPEN_READONLY);
    if (code != KTB_OK) {
        reportError(command, path + ": " + describeCode(code));
        return nullptr;
    }
    return handle;
}

bool walkCatalog(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t flags,
    std::uint32_t start, TCompare* criteria, const std::function<void(const TKTBCursor&)>& visit)
{
    Progress progress(command, path, ktbFileSize(handle));
    ktbSetLastError(KTB_NOENTITIES); // a start at the end of the file begins no walk and sets nothing
    TKTBCursor* cursor = ktbFindFirst(handle, flags, start, criteria);
    while (cursor != nullptr) {
        visit(*cursor);
        progress.update(cursor->Position);
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    ktbFindClose(cursor);
    const TKTBERROR end = ktbLastError();
    if (end == KTB_NOENTITIES) {
        return true;
    }
    std::fflush(stdout);
    reportError(command, path + ": " + describeCode(end));
    return false;
}

namespace {

    std::int64_t nowMilliseconds()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

} // namespace

Progress::Progress(const char* command, const std::string& path, std::uint64_t total)
    : m_label(std::string("ktb ") + command + ": " + path)
    , m_total(total)
    , m_enabled(::isatty(STDERR_FILENO) == 1 && total > 0)
    , m_nextMilliseconds(nowMilliseconds() + 300)
{
}

Progress::~Progress()
{
    if (m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void Progress::update(std::uint64_t done)
{
    if (!m_enabled) {
        return;
    }
    const std::int64_t now = nowMilliseconds();
    if (now < m_nextMilliseconds) {
        return;
    }
    m_nextMilliseconds = now + 250;
    std::fprintf(stderr, "\r%s %3d%%", m_label.c_str(), static_cast<int>(done * 100 / m_total));
    std::fflush(stderr);
    m_shown = true;
}

} // namespace ktbtool
