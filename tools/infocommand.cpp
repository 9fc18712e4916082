// ktb info: header fields and totals of catalog files.
#include "tools/ktbtool.h"

#include "engine/ktb_io.h"

#include <cinttypes>
#include <cstdio>

namespace ktbtool {

namespace {

    std::string headerText(TKTBHandle* handle, int field)
    {
        char buffer[KTB_NAME_MAX + 1] = {};
        ktbGetHeaderField(handle, field, buffer);
        return displayText(buffer);
    }

    std::uint32_t headerValue(TKTBHandle* handle, int field)
    {
        std::uint32_t value = 0;
        ktbGetHeaderField(handle, field, &value);
        return value;
    }

    /// Prints one catalog's facts; false when its records could not all be read.
    bool showInfo(const std::string& path)
    {
        const KtbHandlePtr catalog = openCatalog("info", path);
        if (catalog == nullptr) {
            return false;
        }
        TKTBHandle* handle = catalog.get();
        const std::uint32_t version = headerValue(handle, KTB_HDR_VERSION);
        std::printf("%s\n", path.c_str());
        std::printf("  Owner:     %s\n", headerText(handle, KTB_HDR_OWNER).c_str());
        std::printf("  Name:      %s\n", headerText(handle, KTB_HDR_NAME).c_str());
        std::printf("  Created:   %s\n", displayDate(headerValue(handle, KTB_HDR_CREATED)).c_str());
        std::printf("  Modified:  %s\n", displayDate(headerValue(handle, KTB_HDR_MODIFIED)).c_str());
        std::printf("  Version:   %u.%u\n", version & 0xFFFF, version >> 16);
        std::printf("  Locked:    %s\n", handle->Locked ? "yes (protected by a key)" : "no");

        std::uint64_t discs = 0;
        std::uint64_t folders = 0;
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
        const bool complete
            = walkCatalog("info", path, handle, 0, KTB_HEADER_SIZE, nullptr, [&](const TKTBCursor& cursor) {
                  discs = cursor.Discs;
                  folders = cursor.Folders;
                  files = cursor.Files;
                  bytes = cursor.Bytes;
              });
        if (complete) {
            std::printf("  Discs:     %" PRIu64 "\n", discs);
            std::printf("  Folders:   %" PRIu64 "\n", folders);
            std::printf("  Files:     %" PRIu64 "\n", files);
            std::printf("  Bytes:     %" PRIu64 "\n", bytes);
        }
        return complete;
    }

} // namespace

int runInfo(const std::vector<std::string>& arguments)
{
    const ParsedArguments parsed = parseArguments("info", arguments, "");
    if (parsed.help) {
        return printHelp("info");
    }
    if (!parsed.ok) {
        return ExitError;
    }
    if (parsed.operands.empty()) {
        return usageError("info", "no catalog file given");
    }
    int status = ExitOk;
    for (std::size_t i = 0; i < parsed.operands.size(); ++i) {
        if (i > 0) {
            std::printf("\n");
        }
        if (!showInfo(parsed.operands[i])) {
            status = ExitError;
        }
    }
    return status;
}

} // namespace ktbtool
