// ktb mv: moves one disc from a catalog into another, as the program's drag and drop does (moveDisc): a
// copy at the other's end, then the delete; when the delete fails the copy is taken back, so the disc is
// never in both or in neither.
#include "tools/ktbtool.h"

#include "core/catalog/catalogchanges.h"

#include <cstdio>
#include <sys/stat.h>

namespace ktbtool {

namespace {

    bool sameFile(const std::string& a, const std::string& b)
    {
        struct stat first { };
        struct stat second { };
        return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev
            && first.st_ino == second.st_ino;
    }

} // namespace

int runMv(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("mv", arguments, "");
    if (parsed.help) {
        return printHelp("mv");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() != 3) {
        return usageError("mv",
            parsed.operands.size() < 3 ? "a catalog, a disc offset and a destination catalog are needed"
                                       : "too many arguments");
    }
    std::uint32_t offset = 0;
    if (!parseOffset(parsed.operands[1], offset)) {
        return usageError("mv", "'" + parsed.operands[1] + "' is not an offset");
    }
    if (sameFile(parsed.operands[0], parsed.operands[2])) {
        return usageError("mv", "the disc is in " + parsed.operands[2] + " already");
    }
    // A source protected by a key is opened all the same: the move refuses it, naming the source.
    ChangedCatalog source("mv", parsed.operands[0], { .refuseLocked = false });
    if (!source.open() || !checkDiscOffset("mv", source.path(), source.handle(), offset)) {
        return ExitError;
    }
    ChangedCatalog destination("mv", parsed.operands[2], { .createMissing = true });
    if (!destination.open()) {
        return ExitError;
    }
    const std::string disc = describeDisc(source.handle(), offset);
    const DiscMoveResult moved = moveDisc(source.handle(), offset, destination.handle());
    switch (moved.outcome) {
    case DiscMoveOutcome::Moved:
        break;
    case DiscMoveOutcome::NotCopied:
        reportDiscFailure(
            "mv", moved.code == KTB_ERR_BADENTITY ? source.path() : destination.path(), offset, moved.code);
        return ExitError;
    case DiscMoveOutcome::Refused:
    case DiscMoveOutcome::TakenBack:
        reportDiscFailure("mv", source.path(), offset, moved.code);
        return ExitError;
    case DiscMoveOutcome::LeftInBoth:
        reportDiscFailure("mv", source.path(), offset, moved.code);
        destination.keep();
        reportError("mv",
            destination.path() + ": the copy at offset " + std::to_string(moved.newOffset)
                + " could not be taken back: the disc is in both catalogs");
        return ExitError;
    }
    destination.keep();
    std::printf("Moved %s from %s to %s at offset %u.\n", disc.c_str(), source.path().c_str(),
        destination.path().c_str(), moved.newOffset);
    return ExitOk;
}

} // namespace ktbtool
