// libFuzzer target: a sparse image (see mediumexercise.h) read by the ISO 9660 / Joliet reader, from
// sector 16 and from a session further on; every folder walked. AddressSanitizer catches any read
// outside a buffer, a broken promise aborts.
#include "platform/isovolume.h"
#include "tests/fuzz/mediumexercise.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto source = std::make_shared<SparseSectors>(data, size);
    for (const std::uint32_t session : { 0U, 100U }) {
        if (std::shared_ptr<IsoVolume> volume = IsoVolume::open(source, session)) {
            const std::string failure = exerciseMedium(*volume);
            if (!failure.empty()) {
                std::fprintf(stderr, "iso_fuzzer: %s\n", failure.c_str());
                std::abort();
            }
        }
    }
    return 0;
}
