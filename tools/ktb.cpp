// ktb: the command line over catalog files. One function per command, found in the command table.
#include "tools/KtbTool.h"

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
            "Usage: ktb find [-c] PATTERN FILE...\n"
            "Finds the folders and files of the catalogs whose names match PATTERN, as the program's\n"
            "search does: letter case is ignored; a plain text matches names that contain it; *x\n"
            "matches names ending in x, x* names starting with x, *x* names containing x; an\n"
            "asterisk anywhere else is an ordinary character. One line per match, tab-separated:\n"
            "  [FILE]  DISC-TITLE  /FOLDER/PATH/NAME  SIZE  DATE\n"
            "(FILE when more than one is searched; a folder's path ends with \"/\", its size and\n"
            "date are \"-\").\n"
            "  -c   print only the number of matches (FILE, a tab and the number for several files)\n"
            "Exit status: 0 when something matched, 1 when nothing did, 2 on an error.\n",
            runFind },
        { "check", "the structure of a catalog file",
            "Usage: ktb check FILE...\n"
            "Walks each catalog file and reports its first structural fault with its offset: an\n"
            "unknown record tag, a record cut short by the end of the file, a disc whose RunLength\n"
            "does not end on its end-of-disc mark, unbalanced folder or disc marks.\n"
            "Exit status: 0 when every file is sound, 1 when a fault was found, 2 when a file\n"
            "could not be read as a catalog.\n",
            runCheck },
    };
    return table;
}

} // namespace ktbtool

namespace {

void printUsage(std::FILE* out)
{
    std::fputs("Usage: ktb COMMAND [OPTIONS] ARGUMENTS\n"
               "Reads Katalox catalog files (.ktb), also while the program has them open.\n\nCommands:\n",
        out);
    for (const ktbtool::Command& command : ktbtool::commands()) {
        std::fprintf(out, "  %-7s %s\n", command.name, command.summary);
    }
    std::fputs("\n'ktb COMMAND --help' describes a command.\n"
               "Exit status: 0 success, 1 nothing found, 2 error.\n",
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
    for (const ktbtool::Command& command : ktbtool::commands()) {
        if (std::strcmp(command.name, name) == 0) {
            const std::vector<std::string> arguments(argv + 2, argv + argc);
            const int status = command.run(arguments);
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                ktbtool::reportError(command.name, "cannot write the results");
                return ktbtool::ExitError;
            }
            return status;
        }
    }
    std::fprintf(stderr, "ktb: unknown command '%s'\n", name);
    printUsage(stderr);
    return ktbtool::ExitError;
}
