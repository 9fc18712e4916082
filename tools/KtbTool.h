#pragma once
// What the commands of ktb share: the command table's entry, exit statuses, how catalog texts, dates
// and engine codes are shown, opening catalogs read-only with a clear message, and progress.

#include "engine/ktbdef.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct TKTBCursor;
struct TKTBHandle;

namespace ktbtool {

constexpr int ExitOk = 0;
constexpr int ExitNothingFound = 1; ///< a search found nothing; a check found a fault
constexpr int ExitError = 2;

/// One command of the table: its name, a one-line summary, its --help text and its function, which
/// gets the arguments after the command's name and answers the exit status.
struct Command {
    const char* name;
    const char* summary;
    const char* help;
    int (*run)(const std::vector<std::string>& arguments);
};

/// The command table, in the order `ktb --help` lists it.
const std::vector<Command>& commands();

int runInfo(const std::vector<std::string>& arguments);
int runLs(const std::vector<std::string>& arguments);
int runFind(const std::vector<std::string>& arguments);
int runCheck(const std::vector<std::string>& arguments);

/// Options and operands of a command line. Options are single letters ("-c") or "--help"; "--" ends
/// them. An unknown option is reported on stderr and makes ok false.
struct ParsedArguments {
    bool ok = true;
    bool help = false;
    std::string flags; ///< the letters given
    std::vector<std::string> operands;

    bool has(char flag) const { return flags.find(flag) != std::string::npos; }
};
ParsedArguments parseArguments(const char* command, const std::vector<std::string>& arguments, std::string_view known);

/// Prints the command's --help text on stdout; answers ExitOk.
int printHelp(const char* command);
/// Prints "ktb COMMAND: message" and the hint to --help on stderr; answers ExitError.
int usageError(const char* command, const std::string& message);
/// Prints "ktb COMMAND: message" on stderr.
void reportError(const char* command, const std::string& message);

/// A catalog text (bytes) for the terminal: UTF-8 when valid, else decoded as Windows-1252; control
/// characters (which would break lines and columns) become "?".
std::string displayText(std::string_view bytes);
/// A packed DOS date-time as "YYYY-MM-DD HH:MM:SS"; "-" for 0 or a value that is no date.
std::string displayDate(std::uint32_t dosDateTime);
/// What an engine code means for a user, ending with the code's name: "not a catalog file
/// (KTB_ERR_INVALIDHEADER)". A damaged record names its offset and tag from the error detail.
std::string describeCode(TKTBERROR code);

/// Opens a catalog for reading (KTB_OPEN_READONLY); on failure reports "ktb COMMAND: PATH: why" and
/// answers null.
TKTBHandle* openCatalog(const char* command, const std::string& path);

/// Walks the catalog from start (ktbFindFirst with flags and criteria), calling visit with the cursor
/// for each entity reported, with progress on a terminal. Answers true when the walk ran to its end;
/// otherwise reports "ktb COMMAND: PATH: why" on stderr and answers false.
bool walkCatalog(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t flags,
    std::uint32_t start, TCompare* criteria, const std::function<void(const TKTBCursor&)>& visit);

/// A percentage on stderr, a few times a second, only when stderr is a terminal; cleared at the end.
class Progress {
public:
    Progress(const char* command, const std::string& path, std::uint64_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void update(std::uint64_t done);

private:
    std::string m_label;
    std::uint64_t m_total;
    bool m_enabled;
    bool m_shown = false;
    std::int64_t m_nextMilliseconds = 0;
};

} // namespace ktbtool
