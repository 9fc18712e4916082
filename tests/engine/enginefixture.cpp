#include "tests/engine/enginefixture.h"

std::vector<std::string> Iteration::names() const
{
    std::vector<std::string> result;
    for (const Reported& entity : reported) {
        result.push_back(std::to_string(entity.kind) + ":" + entity.name);
    }
    return result;
}

void EngineTest::TearDown()
{
    for (TKTBHandle*& handle : m_handles) {
        ktbClose(handle);
    }
}

std::string EngineTest::write(const CatalogBuilder& catalog, const std::string& name)
{
    const std::string path = m_folder.file(name);
    EXPECT_TRUE(catalog.writeTo(path));
    return path;
}

TKTBHandle* EngineTest::open(const CatalogBuilder& catalog, std::uint32_t flags, const std::string& name)
{
    return openPath(write(catalog, name), flags);
}

TKTBHandle* EngineTest::openPath(const std::string& path, std::uint32_t flags)
{
    TKTBHandle* handle = nullptr;
    const TKTBERROR code = ktbOpen(handle, path.c_str(), flags);
    EXPECT_EQ(code, KTB_OK) << ktbErrorName(code) << " opening " << path;
    if (handle != nullptr) {
        m_handles.push_back(handle);
    }
    return handle;
}

Iteration EngineTest::iterate(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, TCompare* criteria)
{
    Iteration result;
    TKTBCursor* cursor = ktbFindFirst(handle, flags, start, criteria);
    while (cursor != nullptr) {
        TKTBEntity* entity = cursor->Current;
        Reported reported;
        reported.kind = entity->Kind;
        reported.offset = entity->Offset;
        reported.name = entity->name();
        reported.chain.assign(cursor->Chain, cursor->Chain + cursor->ChainLength);
        reported.depth = cursor->Depth;
        result.reported.push_back(reported);
        if ((flags & KTB_FIND_KEEP) != 0) {
            ktbFreeEntity(entity);
        }
        result.discs = cursor->Discs;
        result.folders = cursor->Folders;
        result.files = cursor->Files;
        result.bytes = cursor->Bytes;
        if (ktbFindNext(cursor) != KTB_OK) {
            break;
        }
    }
    result.end = ktbLastError();
    ktbFindClose(cursor);
    return result;
}
