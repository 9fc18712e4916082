#include "engine/ktbdef.h"

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<std::uint8_t> s_lastError { KTB_OK };
// The detail is written by the thread that met the bad record and read right after by the same
// thread; two relaxed atomics keep concurrent walks on other threads from tearing it.
std::atomic<std::uint32_t> s_detailOffset { 0 };
std::atomic<std::uint8_t> s_detailTag { 0 };

constexpr const char* s_errorNames[KTB_ERROR_COUNT] = {
    "KTB_OK",
    "KTB_ERR_BADHANDLE",
    "KTB_ERR_FILENOTAVAILABLE",
    "KTB_ERR_MAPPINGFAILED",
    "KTB_ERR_INVALIDHEADER",
    "KTB_ERR_WRONGVERSION",
    "KTB_ERR_FILEEXISTS",
    "KTB_ERR_DISCEXISTS",
    "KTB_ERR_DISCNOTEXISTS",
    "KTB_NOENTITIES",
    "KTB_ERR_BADENTITY",
    "KTB_ERR_LOCKED",
    "KTB_ERR_INTERRUPTED",
    "KTB_ERR_NOTSUPPORTED",
};

} // namespace

const char* TKTBEntity::name() const
{
    switch (Kind) {
    case KTB_TAG_DISC:
        return static_cast<const TKTBDisc*>(Data)->Title;
    case KTB_TAG_FOLDER:
        return static_cast<const char*>(Data);
    case KTB_TAG_FILE:
        return static_cast<const TKTBFileData*>(Data)->Name;
    default:
        return "";
    }
}

TKTBERROR ktbLastError() { return static_cast<TKTBERROR>(s_lastError.load(std::memory_order_relaxed)); }

void ktbSetLastError(TKTBERROR code) { s_lastError.store(code, std::memory_order_relaxed); }

const char* ktbErrorName(TKTBERROR code) { return code < KTB_ERROR_COUNT ? s_errorNames[code] : ""; }

void ktbErrorDetail(TKTBErrorDetail& detail)
{
    detail.Offset = s_detailOffset.load(std::memory_order_relaxed);
    detail.Tag = s_detailTag.load(std::memory_order_relaxed);
}

void ktbSetErrorDetail(std::uint32_t offset, std::uint8_t tag)
{
    s_detailOffset.store(offset, std::memory_order_relaxed);
    s_detailTag.store(tag, std::memory_order_relaxed);
}

bool ktbFreeEntity(TKTBEntity*& entity)
{
    if (entity == nullptr) {
        return false;
    }
    if (entity->Kind < KTB_TAG_DISC || entity->Kind > KTB_TAG_ENDDISC) {
        return false;
    }
    // The entity, its data and its texts are one allocation.
    std::free(entity);
    entity = nullptr;
    return true;
}
