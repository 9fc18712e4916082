// libFuzzer target: arbitrary bytes imported as a list of "size<TAB>path" lines into a new catalog (see
// importexercise.h).
// A broken promise aborts, so the fuzzer keeps the input that showed it.
#include "tests/fuzz/importexercise.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string failure = exerciseImport(data, size, ImportKind::List);
    if (!failure.empty()) {
        std::fprintf(stderr, "list_import_fuzzer: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
