// ktb repair: copies what can be saved of a damaged catalog into a new file. The damaged file is only
// read: a change a crash cut short is read as it was before that change, and every disc whose records
// are whole is copied, in order, into the new file; what had to be left out is named.
#include "tools/ktbtool.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_journal.h"

#include <cstdio>

namespace ktbtool {

int runRepair(const std::vector<std::string>& arguments)
{
    const SourceAndNewFile operands
        = parseSourceAndNewFile("repair", arguments, "a damaged catalog and the new file's name are needed");
    if (operands.exit >= 0) {
        return operands.exit;
    }
    const std::string& damaged = operands.source;
    const std::string& repaired = operands.created;
    const KtbHandlePtr source = openCatalog("repair", damaged);
    if (source == nullptr) {
        return ExitError;
    }
    // Opening it read the state before a crashed change when there was one to read (a journal of
    // another user, or a damaged one, is not: the catalog is then read as it stands).
    const bool crashed = source->Private;
    std::vector<TKTBRange> leftOut;
    std::uint32_t discs = 0;
    const TKTBERROR code = ktbSalvageCatalog(source.get(), repaired.c_str(), leftOut, discs);
    if (code != KTB_OK) {
        reportError("repair", repaired + ": " + describeWriteFailure(code) + "; nothing was written");
        return ExitError;
    }
    if (crashed) {
        std::printf("%s: a change cut short by a crash was left out; the catalog is read as it was before it.\n",
            damaged.c_str());
    }
    for (const TKTBRange& range : leftOut) {
        std::printf("Left out %u bytes at offset %u: no whole disc there.\n", range.Length, range.Offset);
    }
    std::printf("Copied %u discs of %s into %s.\n", discs, damaged.c_str(), repaired.c_str());
    return ExitOk;
}

} // namespace ktbtool
