#pragma once
// What the commands of ktb share: the command table's entry, exit statuses, how catalog texts, dates
// and engine codes are shown, opening catalogs read-only with a clear message, and progress.

#include "engine/ktb_owners.h"
#include "engine/ktbdef.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ktbtool {

constexpr int ExitOk = 0;
constexpr int ExitNothingFound = 1; ///< a search found nothing; a check found a fault
constexpr int ExitError = 2;
constexpr int ExitUnsafe = 3; ///< a change was made, but is not yet safe on disk (its folder could not be synced)

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
int runRecord(const std::vector<std::string>& arguments);
int runRm(const std::vector<std::string>& arguments);
int runMv(const std::vector<std::string>& arguments);
int runConvert(const std::vector<std::string>& arguments);
int runStats(const std::vector<std::string>& arguments);
int runRepair(const std::vector<std::string>& arguments);
int runCompare(const std::vector<std::string>& arguments);
int runDupes(const std::vector<std::string>& arguments);
int runMissing(const std::vector<std::string>& arguments);
int runExport(const std::vector<std::string>& arguments);
int runImport(const std::vector<std::string>& arguments);

/// Options and operands of a command line. Options are single letters ("-c"), long options with a
/// value ("--title T" or "--title=T") or "--help"; "--" ends them. An unknown option, or a long option
/// without its value, is reported on stderr and makes ok false.
struct ParsedArguments {
    bool ok = true;
    bool help = false;
    std::string flags; ///< the letters given
    std::map<std::string, std::string, std::less<>> values; ///< long options by name ("title"), the last one given
    std::vector<std::string> operands;

    bool has(char flag) const { return flags.find(flag) != std::string::npos; }
    /// The value of a long option, or null when it was not given.
    const std::string* value(std::string_view name) const
    {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : &found->second;
    }
};
ParsedArguments parseArguments(const char* command, const std::vector<std::string>& arguments, std::string_view known,
    std::initializer_list<std::string_view> valueOptions = {});

/// The operands of a command that reads one file and writes a new one: the file read, the new file's
/// name, and the exit code to end with at once (help printed, a usage error, or a new file that exists
/// already) or -1 to go on.
struct SourceAndNewFile {
    std::string source;
    std::string created;
    int exit = -1;
};
/// Parses such a command's arguments; missing says what the two operands are when they are not given.
SourceAndNewFile parseSourceAndNewFile(
    const char* command, const std::vector<std::string>& arguments, const std::string& missing);

/// Parses a decimal (or 0x hexadecimal) file offset; false for anything else.
bool parseOffset(const std::string& text, std::uint32_t& offset);

/// Prints the command's --help text on stdout; answers ExitOk.
int printHelp(const char* command);
/// Prints "ktb COMMAND: message" and the hint to --help on stderr; answers ExitError.
int usageError(const char* command, const std::string& message);
/// Prints "ktb COMMAND: message" on stderr.
void reportError(const char* command, const std::string& message);

/// A catalog text (bytes) for the terminal: UTF-8 when valid, else decoded as Windows-1252; control
/// characters, C0 and C1 (which would break lines and columns, or steer the terminal), become "?".
std::string displayText(std::string_view bytes);
/// A packed DOS date-time as "YYYY-MM-DD HH:MM:SS"; "-" for 0 or a value that is no date.
std::string displayDate(std::uint32_t dosDateTime);
/// What an engine code means for a user, ending with the code's name: "not a catalog file
/// (KTB_ERR_INVALIDHEADER)". A damaged record names its offset and tag from the error detail.
std::string describeCode(TKTBERROR code);

/// What an engine code means when a change of a catalog failed: a file beside it in the way (a
/// journal of another user...) is named with what is wrong with it, a file that could not be written
/// is named so; everything else as describeCode.
std::string describeWriteFailure(TKTBERROR code);

/// Reports every catalog whose change committed but could not be made safe on disk, "ktb COMMAND:
/// PATH: done, but not yet safe on disk: ...", and answers the exit status to end with: ExitUnsafe
/// for a command that ended well otherwise, else status.
int reportUnsyncedChanges(const char* command, int status);

/// Opens a catalog for reading (KTB_OPEN_READONLY); on failure reports "ktb COMMAND: PATH: why" and
/// answers null.
KtbHandlePtr openCatalog(const char* command, const std::string& path);
/// How openCatalogForChange treats a file.
struct ChangeOpen {
    bool createMissing = false; ///< create the file when it does not exist
    bool refuseLocked = true; ///< refuse a catalog protected by a key (else the changes refuse it)
};
/// Opens a catalog for changes, holding the writer's lock; created tells whether the file was made
/// here. On failure reports "ktb COMMAND: PATH: why" and answers null.
KtbHandlePtr openCatalogForChange(
    const char* command, const std::string& path, ChangeOpen how = {}, bool* created = nullptr);
/// A catalog opened for changes and closed at the end; a file that opening it created is removed again
/// at the end unless kept.
class ChangedCatalog {
public:
    ChangedCatalog(const char* command, std::string path, ChangeOpen how = {});
    ~ChangedCatalog();
    ChangedCatalog(const ChangedCatalog&) = delete;
    ChangedCatalog& operator=(const ChangedCatalog&) = delete;

    /// Opens it (openCatalogForChange); false, reported, on failure.
    bool open();
    /// Keeps a file that opening it created.
    void keep() { m_keep = true; }
    TKTBHandle* handle() const { return m_handle.get(); }
    const std::string& path() const { return m_path; }

private:
    const char* m_command;
    std::string m_path;
    ChangeOpen m_how;
    KtbHandlePtr m_handle;
    bool m_created = false;
    bool m_keep = false;
};

/// Reports that a change of a disc failed: "ktb COMMAND: PATH: why", a damaged run explained.
void reportDiscFailure(const char* command, const std::string& path, std::uint32_t offset, TKTBERROR code);
/// The disc at offset as "TITLE" (serial XXXXXXXX), for messages; empty when offset holds no disc.
std::string describeDisc(TKTBHandle* handle, std::uint32_t offset);
/// Reports "ktb COMMAND: PATH: offset N holds no disc" unless offset holds one; answers whether it does.
bool checkDiscOffset(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t offset);

/// Walks the catalog from start (ktbFindFirst with flags and criteria), calling visit with the cursor
/// for each entity reported, with progress on a terminal. Answers true when the walk ran to its end;
/// otherwise reports "ktb COMMAND: PATH: why" on stderr and answers false.
bool walkCatalog(const char* command, const std::string& path, TKTBHandle* handle, std::uint32_t flags,
    std::uint32_t start, TCompare* criteria, const std::function<void(const TKTBCursor&)>& visit);

/// A progress line on stderr, a few times a second, only when stderr is a terminal; cleared at the end.
class Progress {
public:
    /// The label is "ktb COMMAND: PATH"; the first line is shown once firstAfter milliseconds passed.
    Progress(const char* command, const std::string& path, std::uint64_t total, int firstAfter = 300);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    /// Shows done as a percentage of the total, when due.
    void update(std::uint64_t done);
    /// Whether the next line is due (the line is then expected at once); false when not shown at all.
    bool due();
    /// Shows the label and the text.
    void show(const std::string& text);
    /// Removes the line.
    void clear();

private:
    std::string m_label;
    std::uint64_t m_total;
    bool m_enabled;
    bool m_shown = false;
    std::int64_t m_nextMilliseconds = 0;
};

/// While it lives, SIGINT, SIGTERM and SIGHUP only note that the user asked to stop; long work polls
/// requested() and ends tidily, and endBySignal() then ends the process by that signal, as the shell
/// expects of an interrupted program.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    static bool requested();
    /// Restores the former handlers and raises the signal received again; returns ExitError when that
    /// does not end the process (the signal was ignored before).
    int endBySignal();

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

} // namespace ktbtool
