#include "engine/ktb32.h"

#include "engine/ktb_fileio.h"
#include "engine/ktb_journal.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fault guard. Reading the view of a file that another process has shortened raises SIGBUS
// (SIGSEGV past the mapping); inside a guarded region the handler jumps back to the guard, which
// answers a failed read. Outside one, the fault goes on to whoever handled it before us.
// The pointer is volatile: nothing the optimiser can see reads it between the store that arms the guard
// and the one that disarms it (only the signal handler does), so a plain pointer's stores are dropped
// as dead and the guard never arms.
thread_local sigjmp_buf* volatile t_guardJump = nullptr;
struct sigaction s_previousBus { };
struct sigaction s_previousSegv { };
std::once_flag s_installOnce;
std::atomic<bool> s_installed { false };

void forward(int signal, siginfo_t* info, void* context, const struct sigaction& previous)
{
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN && previous.sa_handler != nullptr) {
        previous.sa_handler(signal);
        return;
    }
    // Default action: restore it and let the fault happen again on return.
    struct sigaction standard { };
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
}

void handleFault(int signal, siginfo_t* info, void* context)
{
    if (t_guardJump != nullptr) {
        sigjmp_buf* jump = t_guardJump;
        t_guardJump = nullptr;
        siglongjmp(*jump, 1);
    }
    forward(signal, info, context, signal == SIGBUS ? s_previousBus : s_previousSegv);
}

void installFaultHandler()
{
    // Every guarded read passes here: the common case is one load.
    if (s_installed.load(std::memory_order_acquire)) {
        return;
    }
    std::call_once(s_installOnce, [] {
        struct sigaction action { };
        action.sa_sigaction = handleFault;
        // SA_NODEFER: the signal stays unblocked after the jump, so the guard needs no saved mask.
        action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &s_previousBus);
        sigaction(SIGSEGV, &action, &s_previousSegv);
        s_installed.store(true, std::memory_order_release);
    });
}

struct CopyJob {
    void* destination;
    const void* source;
    std::size_t count;
};

void runCopy(void* context)
{
    auto* job = static_cast<CopyJob*>(context);
    std::memmove(job->destination, job->source, job->count);
}

} // namespace

TKTBERROR ktbCheckHandle(const TKTBHandle* handle)
{
    if (handle == nullptr || handle->Magic != KTB_HANDLE_MAGIC) {
        ktbSetLastError(KTB_ERR_BADHANDLE);
        return KTB_ERR_BADHANDLE;
    }
    if (handle->File < 0 || handle->View == nullptr) {
        ktbSetLastError(KTB_ERR_FILENOTAVAILABLE);
        return KTB_ERR_FILENOTAVAILABLE;
    }
    return KTB_OK;
}

TKTBERROR ktbCheckWritable(const TKTBHandle* handle)
{
    const TKTBERROR code = ktbCheckHandle(handle);
    if (code != KTB_OK) {
        return code;
    }
    return (handle->Locked || handle->ReadOnly) ? KTB_ERR_LOCKED : KTB_OK;
}

void ktbUnmapFile(TKTBHandle* handle)
{
    if (handle->View != nullptr) {
        ::munmap(handle->View, handle->Size);
    }
    handle->View = nullptr;
    handle->Size = 0;
}

bool ktbMapFile(TKTBHandle* handle)
{
    ktbUnmapFile(handle);
    struct stat status { };
    if (handle->File < 0 || ::fstat(handle->File, &status) != 0) {
        return false;
    }
    // Offsets are 32-bit: a file of 4 GiB or more cannot be a catalog.
    if (status.st_size <= 0 || status.st_size > static_cast<off_t>(UINT32_MAX)) {
        return false;
    }
    void* view = ::mmap(nullptr, static_cast<std::size_t>(status.st_size), PROT_READ, MAP_SHARED, handle->File, 0);
    if (view == MAP_FAILED) {
        return false;
    }
    handle->View = static_cast<std::uint8_t*>(view);
    handle->Size = static_cast<std::uint32_t>(status.st_size);
    handle->Position = 0;
    handle->Private = false;
    return true;
}

bool ktbResize(TKTBHandle* handle, std::uint32_t newSize)
{
    if (handle == nullptr || handle->ReadOnly || handle->Private) {
        return false;
    }
    if (handle->ChangeDepth == 0) {
        // A shrink outside a change keeps what it cuts in the journal.
        const std::uint32_t size = handle->Size;
        std::vector<TKTBRange> cut;
        if (newSize < size) {
            cut.push_back({ newSize, size - newSize });
        }
        if (ktbBeginChange(handle, cut) != KTB_OK) {
            return false;
        }
        const bool resized = ktbResize(handle, newSize);
        return ktbEndChange(handle, resized) && resized;
    }
    const std::uint32_t position = handle->Position;
    const char* path = handle->Path.c_str();
    if (handle->View != nullptr && newSize > 0 && ktbIoTruncate(handle->File, path, newSize)) {
        // Growing or shrinking in place where the kernel can; the view may move.
        void* view = ::mremap(handle->View, handle->Size, newSize, MREMAP_MAYMOVE);
        if (view != MAP_FAILED) {
            handle->View = static_cast<std::uint8_t*>(view);
            handle->Size = newSize;
            handle->Position = position < newSize ? position : newSize;
            return true;
        }
    }
    ktbUnmapFile(handle);
    if (!ktbIoTruncate(handle->File, path, newSize) || !ktbMapFile(handle)) {
        ktbUnmapFile(handle);
        handle->ChangeFailed = true; // taken back at the change's end
        return false;
    }
    handle->Position = position < newSize ? position : newSize;
    return true;
}

bool ktbGuarded(void (*function)(void* context), void* context)
{
    installFaultHandler();
    sigjmp_buf jump;
    sigjmp_buf* const outer = t_guardJump;
    if (sigsetjmp(jump, 0) != 0) {
        t_guardJump = outer;
        return false;
    }
    t_guardJump = &jump;
    // The armed guard must be in place before the first read of the view, and stay until the last.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    function(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_guardJump = outer;
    return true;
}

bool ktbGuardedMove(void* destination, const void* source, std::size_t count)
{
    if (count == 0) {
        return true;
    }
    CopyJob job { destination, source, count };
    return ktbGuarded(runCopy, &job);
}

bool ktbGuardedCopy(void* destination, const TKTBHandle* handle, std::uint32_t offset, std::uint32_t count)
{
    if (handle == nullptr || handle->View == nullptr) {
        return false;
    }
    if (static_cast<std::uint64_t>(offset) + count > handle->Size) {
        return false;
    }
    return ktbGuardedMove(destination, handle->View + offset, count);
}
