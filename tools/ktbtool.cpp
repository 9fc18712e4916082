#include "tools/ktbtool.h"

#include "core/filesets/catalogerror.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_journal.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace ktbtool {

ParsedArguments parseArguments(const char* command, const std::vector<std::string>& arguments, std::string_view known,
    std::initializer_list<std::string_view> valueOptions)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            parsed.operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            parsed.help = true;
        } else if (argument[1] == '-') {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (std::find(valueOptions.begin(), valueOptions.end(), name) == valueOptions.end()) {
                usageError(command, "unknown option --" + name);
                parsed.ok = false;
            } else if (equals != std::string::npos) {
                parsed.values[name] = argument.substr(equals + 1);
            } else if (index + 1 < arguments.size()) {
                parsed.values[name] = arguments[++index];
            } else {
                usageError(command, "option --" + name + " needs a value");
                parsed.ok = false;
            }
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

bool parseOffset(const std::string& text, std::uint32_t& offset)
{
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > UINT32_MAX) {
        return false;
    }
    offset = static_cast<std::uint32_t>(value);
    return true;
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
    const std::string decoded = ktbIsUtf8(bytes) ? std::string(bytes) : ktbCp1252ToUtf8(bytes);
    std::string text;
    text.reserve(decoded.size());
    for (std::size_t at = 0; at < decoded.size(); ++at) {
        const auto byte = static_cast<unsigned char>(decoded[at]);
        // U+0080 to U+009F are C2 80 to C2 9F in the decoded UTF-8: terminals act on some of them.
        const bool c1 = byte == 0xC2 && at + 1 < decoded.size() && static_cast<unsigned char>(decoded[at + 1]) < 0xA0;
        if (c1) {
            ++at;
        }
        text += byte < 0x20 || byte == 0x7F || c1 ? '?' : decoded[at];
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

SourceAndNewFile parseSourceAndNewFile(
    const char* command, const std::vector<std::string>& arguments, const std::string& missing)
{
    SourceAndNewFile result;
    const ParsedArguments parsed = parseArguments(command, arguments, "");
    if (parsed.help) {
        result.exit = printHelp(command);
    } else if (!parsed.ok) {
        result.exit = ExitError;
    } else if (parsed.operands.size() != 2) {
        result.exit = usageError(command, parsed.operands.size() < 2 ? missing : "too many arguments");
    } else {
        result.source = parsed.operands[0];
        result.created = parsed.operands[1];
        struct stat status { };
        if (::stat(result.created.c_str(), &status) == 0) {
            reportError(command, result.created + ": the file exists already; name a new file");
            result.exit = ExitError;
        }
    }
    return result;
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
    case KTB_ERR_FILEEXISTS:
        what = "the file exists already";
        break;
    case KTB_ERR_DISCEXISTS:
        what = "it holds a disc with the same serial number already";
        break;
    case KTB_ERR_DISCNOTEXISTS:
        what = "no disc at that offset";
        break;
    case KTB_ERR_LOCKED:
        what = "protected by a key: nothing may be changed";
        break;
    case KTB_ERR_INTERRUPTED:
        what = "interrupted";
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

namespace {

    /// "PATH: why (CODE)" for the file in the way of the last change refused on this thread; empty when
    /// none was.
    std::string describeJournalProblem(TKTBERROR code)
    {
        const TKTBJournalProblem problem = ktbTakeJournalProblem();
        if (problem.Trouble == TKTBJournalTrouble::None) {
            return {};
        }
        return problem.Path + ": " + journalProblemText(problem).toStdString() + " (" + ktbErrorName(code) + ")";
    }

} // namespace

std::string describeWriteFailure(TKTBERROR code)
{
    if (const std::string inTheWay = describeJournalProblem(code); !inTheWay.empty()) {
        return inTheWay;
    }
    if (code == KTB_ERR_MAPPINGFAILED || code == KTB_ERR_FILENOTAVAILABLE) {
        return std::string("the file could not be written (is the disk full, or would it pass 4 GiB?) (")
            + ktbErrorName(code) + ")";
    }
    return describeCode(code);
}

namespace {

    /// Why a path that exists cannot be a catalog whatever it holds: neither a plain file nor a folder,
    /// or a size the format's 32-bit offsets cannot reach. Empty when neither.
    std::string unfitFile(const std::string& path)
    {
        struct stat status { };
        if (::stat(path.c_str(), &status) != 0) {
            return {};
        }
        // A folder is left to the messages of opening it.
        if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
            return "not a plain file (a FIFO or a device?); refused";
        }
        if (static_cast<std::uint64_t>(status.st_size) > UINT32_MAX) {
            return "too large for a catalog (4 GiB or more)";
        }
        return {};
    }

} // namespace

KtbHandlePtr openCatalog(const char* command, const std::string& path)
{
    if (const std::string unfit = unfitFile(path); !unfit.empty()) {
        reportError(command, path + ": " + unfit);
        return nullptr;
    }
    KtbHandlePtr handle;
    const TKTBERROR code = ktbOpenOwned(handle, path.c_str(), KTB_OPEN_READONLY);
    if (code != KTB_OK) {
        reportError(command, path + ": " + describeCode(code));
    }
    return handle;
}

KtbHandlePtr openCatalogForChange(const char* command, const std::string& path, ChangeOpen how, bool* created)
{
    const bool createMissing = how.createMissing;
    struct stat status { };
    const bool exists = ::stat(path.c_str(), &status) == 0;
    if (created != nullptr) {
        *created = false;
    }
    if (!exists && !createMissing) {
        reportError(command, path + ": no such file");
        return nullptr;
    }
    if (const std::string unfit = unfitFile(path); !unfit.empty()) {
        reportError(command, path + ": " + unfit);
        return nullptr;
    }
    KtbHandlePtr handle;
    const TKTBERROR code = ktbOpenOwned(handle, path.c_str(), exists ? 0 : KTB_OPEN_CREATE);
    if (code == KTB_ERR_FILENOTAVAILABLE || (code == KTB_ERR_FILEEXISTS && !exists)) {
        if (const std::string inTheWay = describeJournalProblem(code); !inTheWay.empty()) {
            reportError(command, inTheWay);
            return nullptr;
        }
        // The open fails alike when the file cannot be written and when another writer holds it.
        const int probe
            = ::open(path.c_str(), exists ? O_RDWR | O_CLOEXEC : O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const std::string why = probe >= 0 ? "in use by another program (Katalox?); close it there first"
                                           : std::string("cannot be written: ") + std::strerror(errno);
        if (probe >= 0) {
            ::close(probe);
            if (!exists) {
                ::unlink(path.c_str());
            }
        }
        reportError(command, path + ": " + why + " (" + ktbErrorName(code) + ")");
        return nullptr;
    }
    if (code != KTB_OK) {
        reportError(command, path + ": " + describeCode(code));
        return nullptr;
    }
    if (how.refuseLocked && ktbCheckWritable(handle.get()) == KTB_ERR_LOCKED) {
        reportError(command, path + ": " + describeCode(KTB_ERR_LOCKED));
        return nullptr;
    }
    if (created != nullptr) {
        *created = !exists;
    }
    return handle;
}

int reportUnsyncedChanges(const char* command, int status)
{
    const std::vector<std::string> unsynced = ktbTakeUnsyncedChanges();
    for (const std::string& path : unsynced) {
        reportError(command, path + ": " + unsyncedChangeText().toStdString());
    }
    return unsynced.empty() || status != ExitOk ? status : ExitUnsafe;
}

ChangedCatalog::ChangedCatalog(const char* command, std::string path, ChangeOpen how)
    : m_command(command)
    , m_path(std::move(path))
    , m_how(how)
{
}

ChangedCatalog::~ChangedCatalog()
{
    m_handle.reset(); // closed before a file made for nothing goes
    if (m_created && !m_keep) {
        ::unlink(m_path.c_str());
    }
}

bool ChangedCatalog::open()
{
    m_handle = openCatalogForChange(m_command, m_path, m_how, &m_created);
    return m_handle != nullptr;
}

std::string describeDisc(TKTBHandle* handle, std::uint32_t offset)
{
    TKTBDisc disc {};
    if (offset < KTB_HEADER_SIZE || !ktbReadDisc(handle, offset, disc)) {
        return {};
    }
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08X", disc.Serial);
    return "\"" + displayText(ktbFieldText(disc.Title, sizeof disc.Title)) + "\" (serial " + serial + ")";
}

void reportDiscFailure(const char* command, const std::string& path, std::uint32_t offset, TKTBERROR code)
{
    if (code == KTB_ERR_BADENTITY) {
        reportError(command,
            path + ": the disc at offset " + std::to_string(offset)
                + " is damaged: its run does not end on its end-of-disc mark ('ktb check' tells more) ("
                + ktbErrorName(code) + ")");
        return;
    }
    reportError(command, path + ": " + describeWriteFailure(code));
}

bool checkDiscOffset(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t offset)
{
    if (!describeDisc(handle, offset).empty()) {
        return true;
    }
    reportError(command, path + ": offset " + std::to_string(offset) + " holds no disc");
    return false;
}

bool walkCatalog(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t flags,
    std::uint32_t start, TCompare* criteria, const std::function<void(const TKTBCursor&)>& visit)
{
    Progress progress(command, path, ktbFileSize(handle));
    ktbSetLastError(KTB_NOENTITIES); // a start at the end of the file begins no walk and sets nothing
    const KtbCursorPtr cursor(ktbFindFirst(handle, flags, start, criteria));
    while (cursor != nullptr) {
        visit(*cursor);
        progress.update(cursor->Position);
        if (ktbFindNext(cursor.get()) != KTB_OK) {
            break;
        }
    }
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

Progress::Progress(const char* command, const std::string& path, std::uint64_t total, int firstAfter)
    : m_label(std::string("ktb ") + command + ": " + path)
    , m_total(total)
    , m_enabled(::isatty(STDERR_FILENO) == 1)
    , m_nextMilliseconds(nowMilliseconds() + firstAfter)
{
}

Progress::~Progress() { clear(); }

bool Progress::due()
{
    if (!m_enabled) {
        return false;
    }
    const std::int64_t now = nowMilliseconds();
    if (now < m_nextMilliseconds) {
        return false;
    }
    m_nextMilliseconds = now + 250;
    return true;
}

void Progress::update(std::uint64_t done)
{
    if (m_total > 0 && due()) {
        char percent[16];
        std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(done * 100 / m_total));
        show(percent);
    }
}

void Progress::show(const std::string& text)
{
    if (!m_enabled) {
        return;
    }
    std::fprintf(stderr, "\r\033[K%s %s", m_label.c_str(), text.c_str());
    std::fflush(stderr);
    m_shown = true;
}

void Progress::clear()
{
    if (m_shown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_shown = false;
    }
}

// ---------------------------------------------------------------------------------------------
// InterruptGuard

namespace {

    constexpr int s_stopSignals[] = { SIGINT, SIGTERM, SIGHUP };
    volatile std::sig_atomic_t s_stopSignal = 0;

    void noteStop(int signal) { s_stopSignal = signal; }

} // namespace

struct InterruptGuard::Saved {
    struct sigaction actions[std::size(s_stopSignals)];
};

InterruptGuard::InterruptGuard()
    : m_saved(std::make_unique<Saved>())
{
    s_stopSignal = 0;
    struct sigaction action { };
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t index = 0; index < std::size(s_stopSignals); ++index) {
        sigaction(s_stopSignals[index], &action, &m_saved->actions[index]);
        // A signal the caller ignored (a job started with nohup) stays ignored.
        if (m_saved->actions[index].sa_handler == SIG_IGN) {
            sigaction(s_stopSignals[index], &m_saved->actions[index], nullptr);
        }
    }
}

InterruptGuard::~InterruptGuard()
{
    for (std::size_t index = 0; index < std::size(s_stopSignals); ++index) {
        sigaction(s_stopSignals[index], &m_saved->actions[index], nullptr);
    }
}

bool InterruptGuard::requested() { return s_stopSignal != 0; }

int InterruptGuard::endBySignal()
{
    const int signal = s_stopSignal;
    for (std::size_t index = 0; index < std::size(s_stopSignals); ++index) {
        sigaction(s_stopSignals[index], &m_saved->actions[index], nullptr);
    }
    if (signal != 0) {
        std::fflush(stdout);
        std::fflush(stderr);
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    return ExitError;
}

} // namespace ktbtool
