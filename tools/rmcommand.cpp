// ktb rm: removes one disc, with everything recorded of it, from a catalog.
#include "tools/ktbtool.h"

#include "engine/ktb_discs.h"

#include <cstdio>

namespace ktbtool {

int runRm(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("rm", arguments, "");
    if (parsed.help) {
        return printHelp("rm");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.size() != 2) {
        return usageError("rm",
            parsed.operands.empty()           ? "no catalog file given"
                : parsed.operands.size() == 1 ? "no disc offset given"
                                              : "too many arguments");
    }
    std::uint32_t offset = 0;
    if (!parseOffset(parsed.operands[1], offset)) {
        return usageError("rm", "'" + parsed.operands[1] + "' is not an offset");
    }
    ChangedCatalog catalog("rm", parsed.operands[0]);
    if (!catalog.open() || !checkDiscOffset("rm", catalog.path(), catalog.handle(), offset)) {
        return ExitError;
    }
    const std::string disc = describeDisc(catalog.handle(), offset);
    const TKTBERROR code = ktbDeleteDisc(catalog.handle(), offset);
    if (code != KTB_OK) {
        reportDiscFailure("rm", catalog.path(), offset, code);
        return ExitError;
    }
    std::printf("Removed %s from %s.\n", disc.c_str(), catalog.path().c_str());
    return ExitOk;
}

} // namespace ktbtool
