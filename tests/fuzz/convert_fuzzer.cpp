// libFuzzer target: arbitrary bytes converted as a catalog of the older format. A conversion either
// fails and leaves no new file, or writes a catalog whose every disc is whole and that every walk
// reads to its end (see CatalogExercise.h); anything else aborts, so the fuzzer keeps the input.
#include "engine/ktb_comp.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "tests/engine/catalogexercise.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

/// A folder of this process for the new catalogs; in memory where it can be, as the syncs cost there
/// next to nothing.
const std::string& outputFolder()
{
    static const std::string folder = [] {
        std::string pattern
            = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/convert-fuzz-XXXXXX" : "/tmp/convert-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return pattern + "/";
    }();
    return folder;
}

[[noreturn]] void broken(const char* promise)
{
    std::fprintf(stderr, "convert_fuzzer: %s\n", promise);
    std::abort();
}

/// Every disc of the catalog is whole, one after the other up to the end of the file.
bool discsAreWhole(const std::string& path)
{
    TKTBHandle* handle = nullptr;
    if (ktbOpen(handle, path.c_str(), KTB_OPEN_READONLY) != KTB_OK) {
        return false;
    }
    bool whole = true;
    for (std::uint32_t at = KTB_HEADER_SIZE; whole && at < ktbFileSize(handle);) {
        TKTBDisc disc {};
        whole = ktbReadDisc(handle, at, disc) && ktbRunIsWhole(handle, at, disc.RunLength);
        at += disc.RunLength;
    }
    ktbClose(handle);
    return whole;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int file = ::memfd_create("older", MFD_CLOEXEC);
    if (file < 0 || ::write(file, data, size) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    const std::string converted = outputFolder() + "new.ktb";
    const TKTBERROR result
        = ktbConvertOlder(("/proc/self/fd/" + std::to_string(file)).c_str(), converted.c_str(), nullptr, nullptr);
    ::close(file);
    const bool written = ::access(converted.c_str(), F_OK) == 0;
    if (::access((converted + "-building").c_str(), F_OK) == 0) {
        broken("the conversion left its file under its building name");
    }
    if (result != KTB_OK) {
        if (written) {
            broken("a failed conversion left a new file");
        }
        return 0;
    }
    if (!written || !discsAreWhole(converted)) {
        broken("a conversion reported as done wrote a catalog with a disc that is not whole");
    }
    const std::string failure = exerciseCatalog(converted);
    if (!failure.empty()) {
        std::fprintf(stderr, "convert_fuzzer: %s\n", failure.c_str());
        std::abort();
    }
    ::unlink(converted.c_str());
    return 0;
}
