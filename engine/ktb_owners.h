#pragma once
// Owners for what the engine hands out: a handle, a cursor, an entity. Each is a std::unique_ptr whose
// deleter calls the engine's own release, so no caller closes or frees by hand. Use get() where an
// operation takes the pointer, and ktbOpenOwned to open straight into an owner.

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"

#include <memory>

struct KtbHandleCloser {
    void operator()(TKTBHandle* handle) const { ktbClose(handle); }
};
struct KtbCursorCloser {
    void operator()(TKTBCursor* cursor) const { ktbFindClose(cursor); }
};
struct KtbEntityFreer {
    void operator()(TKTBEntity* entity) const { ktbFreeEntity(entity); }
};

using KtbHandlePtr = std::unique_ptr<TKTBHandle, KtbHandleCloser>;
using KtbCursorPtr = std::unique_ptr<TKTBCursor, KtbCursorCloser>;
using KtbEntityPtr = std::unique_ptr<TKTBEntity, KtbEntityFreer>;

/// ktbOpen into an owner: the owner holds the handle only when the answer is KTB_OK.
inline TKTBERROR ktbOpenOwned(KtbHandlePtr& owner, const char* path, std::uint32_t flags)
{
    TKTBHandle* handle = nullptr;
    const TKTBERROR result = ktbOpen(handle, path, flags);
    owner.reset(result == KTB_OK ? handle : nullptr);
    return result;
}

/// ktbReadEntity into an owner: the owner holds the entity only when the answer is KTB_OK.
inline TKTBERROR ktbReadEntityOwned(TKTBHandle* handle, std::uint32_t offset, KtbEntityPtr& owner)
{
    TKTBEntity* entity = nullptr;
    const TKTBERROR result = ktbReadEntity(handle, offset, entity);
    owner.reset(result == KTB_OK ? entity : nullptr);
    return result;
}

/// ktbFindDiscBySerial into an owner: the owner holds the disc entity only when the answer is true.
inline bool ktbFindDiscBySerialOwned(TKTBHandle* handle, std::uint32_t serial, KtbEntityPtr& owner)
{
    TKTBEntity* entity = nullptr;
    const bool found = ktbFindDiscBySerial(handle, serial, entity);
    owner.reset(found ? entity : nullptr);
    return found;
}
