// ktb check: the first structural fault of each catalog file, with its offset.
#include "tools/catalogcheck.h"
#include "tools/ktbtool.h"

#include "engine/ktb_io.h"

#include <cinttypes>
#include <cstdio>

namespace ktbtool {

int runCheck(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("check", arguments, "");
    if (parsed.help) {
        return printHelp("check");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.empty()) {
        return usageError("check", "no catalog file given");
    }
    int status = ExitOk;
    for (const std::string& path : parsed.operands) {
        const KtbHandlePtr catalog = openCatalog("check", path);
        if (catalog == nullptr) {
            status = ExitError;
            continue;
        }
        TKTBHandle* handle = catalog.get();
        CheckResult result;
        {
            Progress progress("check", path, ktbFileSize(handle));
            result = checkCatalog(handle, [&progress](std::uint32_t offset) { progress.update(offset); });
        }
        if (result.sound) {
            std::printf("%s: sound: %" PRIu64 " discs, %" PRIu64 " folders, %" PRIu64 " files, %" PRIu64 " bytes\n",
                path.c_str(), result.discs, result.folders, result.files, result.bytes);
            continue;
        }
        std::printf("%s: offset %u: %s\n", path.c_str(), result.faultOffset, result.fault.c_str());
        if (status == ExitOk) {
            status = ExitNothingFound;
        }
    }
    return status;
}

} // namespace ktbtool
