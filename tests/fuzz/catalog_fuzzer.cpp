// libFuzzer target: arbitrary bytes opened as a catalog file and walked every way (see
// CatalogExercise.h). A broken promise aborts, so the fuzzer keeps the input that showed it;
// AddressSanitizer catches any read outside the file's bytes.
#include "tests/engine/catalogexercise.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A memory file keeps the disc out of the loop; the engine opens it by its /proc path.
    const int file = ::memfd_create("catalog", MFD_CLOEXEC);
    if (file < 0) {
        std::abort();
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = ::write(file, data + written, size - written);
        if (count <= 0) {
            std::abort();
        }
        written += static_cast<std::size_t>(count);
    }
    const std::string failure = exerciseCatalog("/proc/self/fd/" + std::to_string(file));
    ::close(file);
    if (!failure.empty()) {
        std::fprintf(stderr, "catalog_fuzzer: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
