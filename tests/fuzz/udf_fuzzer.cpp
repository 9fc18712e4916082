// libFuzzer target: a sparse image (see mediumexercise.h) read by the UDF reader: the serial's File
// Set Descriptor and every folder walked. AddressSanitizer catches any read outside a buffer, a broken
// promise aborts.
#include "platform/udfvolume.h"
#include "tests/fuzz/mediumexercise.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto source = std::make_shared<SparseSectors>(data, size);
    std::uint32_t serial = 0;
    udfSerialReport(*source, serial);
    std::string problem;
    if (std::shared_ptr<UdfVolume> volume = UdfVolume::open(source, &problem)) {
        const std::string failure = exerciseMedium(*volume);
        if (!failure.empty()) {
            std::fprintf(stderr, "udf_fuzzer: %s\n", failure.c_str());
            std::abort();
        }
    }
    return 0;
}
