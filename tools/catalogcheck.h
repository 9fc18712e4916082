#pragma once
// A strict walk over a catalog file's record stream that finds the first structural fault: an unknown
// tag, a record cut short by the end of the file, a folder or file outside a disc, unbalanced folder
// and disc marks, and a disc whose RunLength does not end on its end-of-disc mark. The engine's own
// iteration forgives most of these; this walk names them.

#include <cstdint>
#include <functional>
#include <string>

struct TKTBHandle;

namespace ktbtool {

struct CheckResult {
    bool sound = true;
    std::uint32_t faultOffset = 0; ///< where the fault lies (the record's tag, or the end of the file)
    std::string fault; ///< what is wrong, for a user
    std::uint64_t discs = 0;
    std::uint64_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

/// Walks the body of an open catalog. progress, when given, is called now and then with the offset
/// reached.
CheckResult checkCatalog(TKTBHandle* handle, const std::function<void(std::uint32_t)>& progress = {});

} // namespace ktbtool
