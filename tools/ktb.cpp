// ktb: the command line over catalog files. One function per command, found in the command table.
#include "tools/ktbtool.h"

#include "katalox_version.h"

#include <cstdio>
#include <cstring>

namespace ktbtool {

const std::vector<Command>& commands()
{
    static const std::vector<Command> table = {
        { "info", "header fields and totals of catalog files",
            "Usage: ktb info FILE...\n"
            "Shows each catalog's owner, name, creation and change dates, version, whether a key\n"
            "protects it, and its numbers of discs, folders, files and bytes.\n",
            runInfo },
        { "ls", "the discs of a catalog, or the contents of one disc or folder",
            "Usage: ktb ls FILE [OFFSET]\n"
            "Without OFFSET, lists the discs of FILE, one a line:\n"
            "  OFFSET  SERIAL  FILES  FOLDERS  USED-BYTES  SCANNED  TITLE\n"
            "With the OFFSET of a disc or folder (as listed), lists its direct folders and files:\n"
            "  OFFSET  folder  -     -     NAME\n"
            "  OFFSET  file    SIZE  DATE  NAME\n"
            "Dates are YYYY-MM-DD HH:MM:SS, \"-\" when unknown.\n",
            runLs },
        { "find", "folders and files whose names match a pattern",
            "Usage: ktb find [-c] [--limit N] [--min-size N] [--max-size N] [--newer DAY]\n"
            "                [--older DAY] [--type f|d] PATTERN FILE|FOLDER...\n"
            "Searches the catalogs as the program's search does: a FOLDER stands for the catalogs\n"
            "(*.ktb) directly inside it. Letter case is ignored, in every script; a plain text\n"
            "matches names that contain it; *x matches names ending in x, x* names starting with x,\n"
            "*x* names containing x; an asterisk anywhere else is an ordinary character. Disc\n"
            "titles that contain the text count as disc matches.\n"
            "One line per folder and file found, folders first, each sorted by name, tab-separated:\n"
            "  PATH  SIZE  DATE\n"
            "PATH is the place in the program's tree: owner\\fileset\\disc\\folders\\ and the\n"
            "name (a folder's path ends with the folder and a backslash, its size and date are \"-\").\n"
            "Then the summary: \"N Discs with matches. N File matches. N Folder matches. \"\n"
            "  -c          print only the number of folders and files found\n"
            "  --limit N   list at most N folders and files (they are all counted)\n"
            "  --min-size N, --max-size N\n"
            "              files of at least, at most N bytes (N may end in K, M or G: KiB, MiB, GiB)\n"
            "  --newer DAY, --older DAY\n"
            "              files last changed on DAY (YYYY-MM-DD) or later, on DAY or earlier\n"
            "  --type f|d  files only, folders only (a size or date filter finds files only)\n"
            "With a filter, disc titles are not matched: discs count by the files and folders found.\n"
            "Catalogs are opened read-only, so this works while the program runs. A catalog that\n"
            "cannot be read is an error.\n"
            "Exit status: 0 when something matched, 1 when nothing did, 2 on an error.\n",
            runFind },
        { "stats", "what catalogs hold: totals, file kinds, extensions, sizes, years, discs",
            "Usage: ktb stats [--by kind|ext|year|size|disc] [--json] FILE|FOLDER...\n"
            "Walks the catalogs once (a FOLDER stands for the catalogs (*.ktb) directly inside it)\n"
            "and shows the figures of Katalox's statistics window. First the totals of owners,\n"
            "filesets, discs, folders, files and bytes, then one table, tab-separated with a\n"
            "header line:\n"
            "  --by kind   files and bytes by kind: audio, video, image, document, archive, disc\n"
            "              image, program, other (the default)\n"
            "  --by ext    by extension (the text after the last dot, in lower case), most bytes first\n"
            "  --by year   by the year files were last changed\n"
            "  --by size   by size: 0 bytes, below 1 KiB, then powers of two up to 4 GiB\n"
            "  --by disc   one line per disc: fileset, offset, title, serial, scan date, used and\n"
            "              capacity bytes, fill (\"damaged\" where the used or capacity bytes are\n"
            "              negative or 2^53 and more: no medium holds that), folders, files, bytes\n"
            "  --json      everything as one JSON object instead (with --by, the totals and that\n"
            "              table only), the 100 largest files and folders with their paths included\n"
            "Catalogs are opened read-only, so this works while the program runs. A catalog that\n"
            "cannot be read, a damaged record or a damaged disc is reported and makes the exit\n"
            "status 2; the totals leave out the bytes of damaged discs.\n",
            runStats },
        { "compare", "what differs between two discs, filesets or a disc and a folder",
            "Usage: ktb compare [--csv] A [--disc OFFSET] B [--disc OFFSET]\n"
            "Compares A with B, each a catalog file (*.ktb: a whole fileset), a catalog file and\n"
            "the OFFSET of one of its discs (as 'ktb ls' lists it), or a folder or disc image.\n"
            "Entries are matched by their path in the disc (in a fileset, the disc's title comes\n"
            "first), letter case ignored as the search ignores it. A folder is read as a recording\n"
            "would read it, sizes taken modulo 2^32 and dates at two seconds, so a disc compared\n"
            "with the folder it was recorded from shows nothing. One line per difference,\n"
            "tab-separated:\n"
            "  -  PATH                       only in A\n"
            "  +  PATH                       only in B\n"
            "  ~  PATH  SIZE DATE  SIZE DATE  in both, with another size or date (A's, then B's)\n"
            "A folder's path ends with a backslash; what a folder found on one side only holds is\n"
            "listed too. Then the counts of each kind.\n"
            "  --csv   the differences as CSV instead\n"
            "Exit status: 0 when nothing differs, 1 when something does, 2 on an error.\n",
            runCompare },
        { "dupes", "files stored more than once, and discs catalogued twice",
            "Usage: ktb dupes [--min-size N] [--size-only] [--same-date] [--csv] FILE|FOLDER...\n"
            "Finds the files of the catalogs (a FOLDER stands for the catalogs (*.ktb) directly\n"
            "inside it) that have the same size and name, letter case ignored as the search ignores\n"
            "it. One group a line: SIZE, copies, bytes wasted (all copies but one) and the name,\n"
            "then each copy's path and date on a line of its own; the most bytes wasted first.\n"
            "Then the discs catalogued twice: the same serial number in two places, or the same\n"
            "folders and files under two serial numbers.\n"
            "  --min-size N   leave out files below N bytes (empty files never count)\n"
            "  --size-only    group files by size alone, whatever their names\n"
            "  --same-date    the date of last change must be the same too\n"
            "  --csv          the groups as CSV instead, one line a file\n"
            "Exit status: 0 when nothing is stored twice, 1 when something is, 2 on an error.\n",
            runDupes },
        { "missing", "the files of a folder that no disc holds yet",
            "Usage: ktb missing [--same-date] [--held] [--csv] LOCAL-FOLDER FILE|FOLDER...\n"
            "Walks LOCAL-FOLDER (or a disc image) as a recording would and lists its files that\n"
            "no disc of the catalogs holds (a FOLDER stands for the catalogs (*.ktb) directly\n"
            "inside it): a disc holds a file when it has a file of the same name (letter case\n"
            "ignored as the search ignores it) and size (modulo 2^32). One line a file:\n"
            "  missing  SIZE  DATE  PATH\n"
            "Then how many files and bytes are on no disc.\n"
            "  --same-date   a disc holds a file only with the same date of last change too\n"
            "  --held        also list the files that are held, with the first places holding them:\n"
            "                held  SIZE  DATE  PATH  OWNER\\FILESET\\DISC\\FOLDER\\NAME; ...\n"
            "  --csv         every file as CSV instead, held or not\n"
            "Exit status: 0 when every file is on a disc, 1 when some are not, 2 on an error.\n",
            runMissing },
        { "fit", "which media have room for a folder, or a plan onto new media",
            "Usage: ktb fit SIZE|FOLDER FILE|FOLDER...\n"
            "       ktb fit --new SIZE FOLDER\n"
            "Lists the media of the catalogs (a FOLDER after the first stands for the catalogs\n"
            "(*.ktb) directly inside it) whose free room, capacity less used as last scanned, holds\n"
            "SIZE bytes or what FOLDER holds (the sizes of its files, or of a disc image's; a file\n"
            "or folder of that name comes before a SIZE). Smallest sufficient room first, one\n"
            "medium a line, tab-separated:\n"
            "  FREE  CAPACITY  SCANNED  OWNER\\FILESET\\DISC\\\n"
            "Then how many media have room. Discs without a serial number (symbolic entries) are\n"
            "left out; a disc catalogued twice counts once, with its latest scan.\n"
            "  --new SIZE   plans FOLDER's top-level files and folders onto new media of SIZE\n"
            "               bytes, largest first, each onto the first medium with room (first fit\n"
            "               decreasing); an entry larger than a medium is named 'too large'\n"
            "SIZE is a number of bytes; K, M, G and T are 1024-based (KiB...), KB, MB, GB and TB\n"
            "1000-based, with a fraction allowed (4.7GB), or a medium: cd (700 MiB), dvd\n"
            "(4.7 GB), dvd-dl, bd (25 GB), bd-dl. A DVD is 4.7GB, not 4.7G. Sizes are those of\n"
            "the files; a file system takes a little more for itself.\n"
            "Exit status: 0 when a medium has room (with --new: when every entry fits on a\n"
            "medium), 1 when none has (an entry is too large), 2 on an error.\n",
            runFit },
        { "single", "files held on one medium only, and the bytes each medium puts at risk",
            "Usage: ktb single [--min-size N] [--same-date] [--csv] FILE|FOLDER...\n"
            "Finds the files of the catalogs (a FOLDER stands for the catalogs (*.ktb) directly\n"
            "inside it) that no other medium holds: no file of the same size and name, letter case\n"
            "ignored as the search ignores it, is on another disc. Discs with the same serial\n"
            "number are one medium. Grouped by medium, the most bytes at risk first, then the\n"
            "oldest scan; a medium's line, tab-separated:\n"
            "  OWNER\\FILESET\\DISC\\  N files  BYTES bytes at risk  scanned DATE  serial XXXXXXXX\n"
            "then each file on a line of its own: a tab, SIZE, DATE and its PATH on the medium.\n"
            "Then the totals.\n"
            "  --min-size N   leave out files below N bytes (empty files never count; K, M, G)\n"
            "  --same-date    a copy must have the same date of last change too\n"
            "  --csv          the files as CSV instead, one line a file\n"
            "Exit status: 0 when every file has a copy on another medium, 1 when some have none,\n"
            "2 on an error.\n",
            runSingle },
        { "export", "catalogs out to CSV, JSON, HTML or text",
            "Usage: ktb export --format csv|json|html|text [--output FILE] [--disc OFFSET\n"
            "                  [--folder PATH]] [--depth N] [--folders-only] [--bom] FILE|FOLDER...\n"
            "Writes every folder and file of the catalogs (a FOLDER stands for the catalogs (*.ktb)\n"
            "directly inside it), in the order given, as the program's export window does:\n"
            "  csv    one row per folder and file: owner, fileset, disc, serial, path, name,\n"
            "         folder or file, type, size, modified (RFC 4180, UTF-8, a header row)\n"
            "  json   one document: filesets, their discs with every field, the folder trees;\n"
            "         'ktb import' reads it back\n"
            "  html   one page with a tree per disc that opens and closes, and a search box\n"
            "  text   an indented tree, as 'tree' draws it\n"
            "  --output FILE     write FILE (else standard output); it gets its name only when\n"
            "                    whole, so an interrupted or failed export leaves no half file\n"
            "  --disc OFFSET     only the disc at OFFSET (as 'ktb ls' lists it) of the one catalog\n"
            "  --folder PATH     only the folder PATH of that disc ('/Music/Rock') and what it holds\n"
            "  --depth N         only N levels of folders and files below each disc (or the folder)\n"
            "  --folders-only    no files\n"
            "  --bom             the CSV for spreadsheet programs: a byte order mark first, and an\n"
            "                    apostrophe before every field that starts with =, +, - or @, so\n"
            "                    that no name is run as a formula\n"
            "Names stored in Windows-1252 by older catalogs come out as the same characters in\n"
            "UTF-8; the JSON also carries the bytes of such names (in base64).\n"
            "Catalogs are opened read-only, so this works while the program runs.\n",
            runExport },
        { "import", "discs of a JSON export, or a list of files, into a catalog",
            "Usage: ktb import [--disc N] SOURCE FILE\n"
            "       ktb import [--title T] [--serial XXXX-XXXX] LIST FILE\n"
            "Appends to the catalog FILE (created when it does not exist) every disc of SOURCE, a\n"
            "JSON export ('ktb export --format json'), or only its Nth disc (from 1, counted over\n"
            "all its filesets). A disc whose serial number FILE holds already is refused.\n"
            "A LIST (any file not starting with '{') makes one disc: each line is a size in bytes,\n"
            "a tab and a path whose folders are separated by '/' (a path ending in '/' is a\n"
            "folder). Its title is T or the list's file name, its serial number XXXX-XXXX or none.\n"
            "A disc counts the files and folders that arrive, whatever the document says. A\n"
            "negative size, sizes that add up to 2^63 bytes or more, a NUL byte, a text that is not\n"
            "UTF-8, or a document of another kind or version is refused, naming the line or byte.\n"
            "Each disc is built in a scratch file and appended to FILE in one change. FILE cannot\n"
            "be changed while the program has it open.\n"
            "Exit status: 0 when every disc was imported, 2 when one was refused or on an error, 3\n"
            "when the discs were imported but are not yet safe on disk.\n",
            runImport },
        { "check", "the structure of a catalog file",
            "Usage: ktb check FILE...\n"
            "Walks each catalog file and reports its first structural fault with its offset: an\n"
            "unknown record tag, a record cut short by the end of the file, a disc whose RunLength\n"
            "does not end on its end-of-disc mark, unbalanced folder or disc marks.\n"
            "Exit status: 0 when every file is sound, 1 when a fault was found, 2 when a file\n"
            "could not be read as a catalog.\n",
            runCheck },
        { "record", "record a folder, a disc image or a drive as a new disc",
            "Usage: ktb record FILE SOURCE [--title T] [--comment C]\n"
            "Records SOURCE as a new disc at the end of the catalog FILE, which is created when it\n"
            "does not exist. SOURCE is a folder, a disc image or a drive letter (D or D:; a file or\n"
            "folder of that name comes first). Images: ISO 9660 or UDF (.iso, .img, .udf, a .bin\n"
            "without its sheet), and CD images with their tracks: .cue (BINARY or WAVE files),\n"
            "CloneCD .ccd (or its .img), Nero .nrg and cdrdao .toc.\n"
            "The disc gets the serial number the program gives that medium; a disc whose serial\n"
            "number is in FILE already is refused (remove it first with 'ktb rm').\n"
            "  --title T     the disc's title (at most 63 bytes) instead of the volume label\n"
            "  --comment C   the disc's comment (at most 59 bytes)\n"
            "The recording is made in a scratch file in the temporary folder and copied into FILE\n"
            "once it is whole: Ctrl-C, or a folder that cannot be listed (a damaged image), leaves\n"
            "FILE unchanged.\n"
            "FILE cannot be changed while the program has it open.\n"
            "Exit status: 0 on success, 2 on an error, 3 when the change was made but is not yet safe\n"
            "on disk.\n",
            runRecord },
        { "rm", "remove a disc from a catalog",
            "Usage: ktb rm FILE OFFSET\n"
            "Removes the disc at OFFSET (as 'ktb ls FILE' lists it) with everything recorded of it.\n"
            "The offsets of the discs after it drop by its size. FILE cannot be changed while the\n"
            "program has it open.\n"
            "Exit status: 0 on success, 2 on an error, 3 when the change was made but is not yet safe\n"
            "on disk.\n",
            runRm },
        { "mv", "move a disc from one catalog to another",
            "Usage: ktb mv SRC OFFSET DEST\n"
            "Moves the disc at OFFSET of the catalog SRC to the end of the catalog DEST, which is\n"
            "created when it does not exist. A disc whose serial number is in DEST already is\n"
            "refused. When the disc cannot be removed from SRC, the copy in DEST is taken back.\n"
            "Exit status: 0 on success, 2 on an error, 3 when the change was made but is not yet safe\n"
            "on disk.\n",
            runMv },
        { "convert", "convert a catalog of the older format",
            "Usage: ktb convert OLDFILE NEWFILE\n"
            "Writes NEWFILE, a catalog of the current format, with the owner, name and discs of\n"
            "OLDFILE, a catalog of the older format (\"Katalox Data Set\"). OLDFILE is only read;\n"
            "NEWFILE must not exist, and it is left only when the conversion succeeded.\n"
            "Exit status: 0 on success, 2 on an error, 3 when the change was made but is not yet safe\n"
            "on disk.\n",
            runConvert },
        { "repair", "copy what can be saved of a damaged catalog into a new file",
            "Usage: ktb repair FILE NEWFILE\n"
            "Writes NEWFILE, a catalog with the header of FILE and every disc of FILE whose records\n"
            "are whole, in their order, and names the bytes it had to leave out. A change that a\n"
            "crash cut short is read as it was before that change. FILE is only read; NEWFILE must\n"
            "not exist, and it is left only when it was written whole.\n"
            "Exit status: 0 on success, 2 on an error, 3 when the change was made but is not yet safe\n"
            "on disk.\n",
            runRepair },
    };
    return table;
}

} // namespace ktbtool

namespace {

void printUsage(std::FILE* out)
{
    std::fputs("Usage: ktb COMMAND [OPTIONS] ARGUMENTS\n"
               "Reads and changes Katalox catalog files (.ktb); the commands that only read work also\n"
               "while the program has the files open.\n\nCommands:\n",
        out);
    for (const ktbtool::Command& command : ktbtool::commands()) {
        std::fprintf(out, "  %-7s %s\n", command.name, command.summary);
    }
    std::fputs("\n'ktb COMMAND --help' describes a command; 'ktb --version' tells the version.\n"
               "Exit status: 0 success, 1 nothing found, 2 error, 3 done, but not yet safe on disk\n"
               "(a change was made, but the disk did not confirm it: a power cut now may take it back).\n",
        out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage(stderr);
        return ktbtool::ExitError;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 || std::strcmp(name, "help") == 0) {
        printUsage(stdout);
        return ktbtool::ExitOk;
    }
    if (std::strcmp(name, "--version") == 0) {
        std::fputs("ktb (Katalox) " KATALOX_VERSION_TEXT "\n", stdout);
        return std::fflush(stdout) == 0 ? ktbtool::ExitOk : ktbtool::ExitError;
    }
    for (const ktbtool::Command& command : ktbtool::commands()) {
        if (std::strcmp(command.name, name) == 0) {
            const std::vector<std::string> arguments(argv + 2, argv + argc);
            const int status = command.run(arguments);
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                ktbtool::reportError(command.name, "cannot write the results");
                return ktbtool::reportUnsyncedChanges(command.name, ktbtool::ExitError);
            }
            return ktbtool::reportUnsyncedChanges(command.name, status);
        }
    }
    std::fprintf(stderr, "ktb: unknown command '%s'\n", name);
    printUsage(stderr);
    return ktbtool::ExitError;
}
