#include "tests/engine/discs/discsfixture.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "platform/drivelayer.h"

#include <algorithm>
#include <cstring>
#include <ctime>

void PrintTo(const DiscItem& item, std::ostream* out)
{
    *out << "{" << int(item.Kind) << " " << item.Name << " size " << item.Size << " date " << item.DateTime << "}";
}

void PrintTo(const ListedItem& item, std::ostream* out)
{
    *out << "{" << item.Path << " size " << item.Size << " date " << item.DateTime << "}";
}

std::uint32_t localDos(std::int64_t seconds)
{
    const time_t time = static_cast<time_t>(seconds);
    std::tm local {};
    localtime_r(&time, &local);
    return CatalogBuilder::dosDateTime(
        local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::vector<DiscItem> discItems(TKTBHandle* handle, std::uint32_t discOffset)
{
    std::vector<DiscItem> items;
    TKTBCursor* cursor = ktbFindFirst(handle, KTB_FIND_ENDMARKS, discOffset, nullptr);
    // The first entity is the disc itself; its end mark closes the list.
    while (cursor != nullptr && ktbFindNext(cursor) == KTB_OK) {
        const TKTBEntity& entity = *cursor->Current;
        if (entity.Kind == KTB_TAG_ENDDISC || entity.Kind == KTB_TAG_DISC) {
            break;
        }
        DiscItem item { entity.Kind, {}, 0, 0 };
        if (entity.Kind == KTB_TAG_FOLDER) {
            item.Name = entity.folderName();
        } else if (const TKTBFileData* file = entity.file()) {
            item.Name.assign(file->Name, file->NameLength);
            item.Size = file->Size;
            item.DateTime = file->DateTime;
        }
        items.push_back(item);
    }
    ktbFindClose(cursor);
    return items;
}

namespace {

bool collectStep(std::uint8_t kind, const char*, const TKTBDirEntry* entry, void* userData)
{
    auto& items = *static_cast<std::vector<DiscItem>*>(userData);
    DiscItem item { kind, entry->Name, 0, 0 };
    if (kind == KTB_WALK_FILE) {
        item.Size = static_cast<std::uint32_t>(entry->Size);
        item.DateTime = localDos(entry->LastWriteTime);
    }
    if (kind == KTB_WALK_ENDFOLDER) {
        item.Name.clear();
    }
    items.push_back(item);
    return true;
}

} // namespace

std::vector<DiscItem> walkItems(const std::string& walkPath, bool* complete)
{
    std::vector<DiscItem> items;
    const bool ended = ktbWalkFolder(walkPath.c_str(), "*.*", collectStep, &items);
    if (complete != nullptr) {
        *complete = ended;
    }
    return items;
}

std::vector<ListedItem> listing(const std::vector<DiscItem>& items)
{
    std::vector<ListedItem> result;
    std::vector<std::string> folders;
    const auto prefix = [&folders] {
        std::string path;
        for (const std::string& folder : folders) {
            path += folder + "/";
        }
        return path;
    };
    for (const DiscItem& item : items) {
        if (item.Kind == KTB_TAG_FOLDER) {
            folders.push_back(item.Name);
            result.push_back({ prefix(), 0, 0 });
        } else if (item.Kind == KTB_TAG_FILE) {
            result.push_back({ prefix() + item.Name, item.Size, item.DateTime });
        } else if (!folders.empty()) {
            folders.pop_back();
        }
    }
    std::sort(result.begin(), result.end(), [](const ListedItem& a, const ListedItem& b) { return a.Path < b.Path; });
    return result;
}

std::vector<ListedItem> treeListing(const std::vector<DiscTreeEntry>& tree, std::string (*rename)(const std::string&))
{
    std::vector<ListedItem> result;
    for (const DiscTreeEntry& entry : tree) {
        const bool folder = entry.Path.back() == '/';
        std::string path;
        std::size_t start = 0;
        while (start < entry.Path.size()) {
            std::size_t end = entry.Path.find('/', start);
            const bool last = end == std::string::npos;
            end = last ? entry.Path.size() : end;
            const std::string name = entry.Path.substr(start, end - start);
            path += rename != nullptr ? rename(name) : name;
            path += last ? "" : "/";
            start = end + 1;
        }
        result.push_back(
            { path, folder ? 0 : static_cast<std::uint32_t>(entry.Size), folder ? 0 : localDos(entry.Time) });
    }
    std::sort(result.begin(), result.end(), [](const ListedItem& a, const ListedItem& b) { return a.Path < b.Path; });
    return result;
}

std::string fieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

CatalogBuilder handBuiltDisc(const TKTBDisc& disc, const std::vector<DiscItem>& items)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = disc.Serial,
        .title = fieldText(disc.Title, sizeof disc.Title),
        .comment = fieldText(disc.Comment, sizeof disc.Comment),
        .flags = disc.Flags,
        .scanTime = disc.ScanTime,
        .used = disc.Used,
        .capacity = disc.Capacity });
    for (const DiscItem& item : items) {
        if (item.Kind == KTB_TAG_FOLDER) {
            catalog.beginFolder(item.Name);
        } else if (item.Kind == KTB_TAG_FILE) {
            catalog.addFile(item.Name, item.Size, item.DateTime);
        } else {
            catalog.endFolder();
        }
    }
    catalog.endDisc();
    return catalog;
}

DiscsTest::DiscsTest()
{
    auto table = std::make_unique<PathDriveTable>();
    m_drives = table.get();
    setDriveTable(std::move(table));
}

DiscsTest::~DiscsTest()
{
    for (TKTBHandle*& handle : m_handles) {
        ktbClose(handle);
    }
    setDriveTable(nullptr);
}

void DiscsTest::setDrive(char letter, const std::string& path) { ASSERT_TRUE(m_drives->setDrive(letter, path)); }

TKTBHandle* DiscsTest::createCatalog(const std::string& name)
{
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, m_temp.file(name).c_str(), KTB_OPEN_CREATE), KTB_OK) << name;
    if (handle != nullptr) {
        m_handles.push_back(handle);
    }
    return handle;
}

TKTBHandle* DiscsTest::openCatalog(const std::string& path, std::uint32_t flags)
{
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, path.c_str(), flags), KTB_OK) << path;
    if (handle != nullptr) {
        m_handles.push_back(handle);
    }
    return handle;
}

void DiscsTest::closeCatalog(TKTBHandle*& handle)
{
    std::erase(m_handles, handle);
    ktbClose(handle);
}

std::string DiscsTest::fileBytes(TKTBHandle* handle) const { return readFileBytes(handle->FileName); }
