#pragma once
// Moves a read-only handle's view from its mapping into a heap block of exactly the file's size.
// Reads past the end of a mapping land in the zero-filled rest of its last page and go unnoticed;
// reads past the end of this block are reported by AddressSanitizer. For the corruption test and the
// fuzzer, which must prove that no bad file makes the engine read outside it.

#include "engine/ktb32.h"

#include <cstdlib>
#include <cstring>

class HeapView {
public:
    /// handle must be open with KTB_OPEN_READONLY, so that nothing resizes or remaps the view.
    explicit HeapView(TKTBHandle* handle)
        : m_handle(handle)
    {
        const std::uint32_t size = handle->Size;
        auto* copy = static_cast<std::uint8_t*>(std::malloc(size));
        if (copy == nullptr) {
            std::abort();
        }
        std::memcpy(copy, handle->View, size);
        ktbUnmapFile(handle);
        handle->View = copy;
        handle->Size = size;
    }
    ~HeapView()
    {
        std::free(m_handle->View);
        m_handle->View = nullptr;
        m_handle->Size = 0;
    }
    HeapView(const HeapView&) = delete;
    HeapView& operator=(const HeapView&) = delete;

private:
    TKTBHandle* m_handle;
};
