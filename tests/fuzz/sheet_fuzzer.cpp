// libFuzzer target: the parsers of CD image sheets. The first byte chooses the format (cue sheet,
// CloneCD control file, the chunks and footer of a Nero image, cdrdao table of contents), the next four
// give the sizes of the files the sheet names; the rest is the sheet. A layout a parser answers must
// pass the layout check; AddressSanitizer and UndefinedBehaviorSanitizer catch the rest.
#include "platform/cdrdaotoc.h"
#include "platform/clonecd.h"
#include "platform/cuesheet.h"
#include "platform/nrgimage.h"

#include <cstdio>
#include <cstdlib>

namespace {

void check(bool parsed, const TrackLayout& layout, const char* format)
{
    std::string problem;
    if (parsed && !checkTrackLayout(layout, problem)) {
        std::fprintf(stderr, "sheet_fuzzer: a %s layout fails its check: %s\n", format, problem.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5) {
        return 0;
    }
    const std::uint64_t bytes = data[1] | data[2] << 8 | data[3] << 16 | static_cast<std::uint64_t>(data[4]) << 24;
    const std::string_view text(reinterpret_cast<const char*>(data + 5), size - 5);
    std::string problem;
    TrackLayout layout;
    switch (data[0] % 4) {
    case 0: {
        CueSheet sheet;
        if (parseCueSheet(text, sheet, problem)) {
            std::vector<CueFileData> files;
            for (std::size_t index = 0; index < sheet.Files.size(); ++index) {
                files.push_back({ "file", sheet.Files[index].Wave ? 44U : 0U, bytes * (index + 1) });
            }
            check(layOutCueSheet(sheet, files, layout, problem), layout, "cue");
        }
        break;
    }
    case 1:
        check(parseCloneCd(text, "image", bytes * 2352, layout, problem), layout, "CloneCD");
        break;
    case 2:
        check(parseNrg(text, text.size() + bytes, "image", layout, problem), layout, "Nero");
        break;
    default: {
        CdrdaoToc toc;
        if (parseCdrdaoToc(text, toc, problem)) {
            const auto findFile = [bytes](const std::string& name, CueFileData& file) {
                file = { name, 0, bytes * name.size() };
                return name.size() % 7 != 0;
            };
            check(layOutCdrdaoToc(toc, findFile, layout, problem), layout, "cdrdao");
        }
        break;
    }
    }
    return 0;
}
