#pragma once
// What the disc tests share: a table of test drives installed for each test, catalogs made in the
// test's folder, the contents of a recorded disc read back through the engine's iteration, the steps of
// a folder walk, and listings of a test tree as a recording of it must look.

#include "engine/ktbdef.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/discimages.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

class PathDriveTable;

/// One record of a disc's contents, or one step of a walk, in the order they come: a folder entered
/// (KTB_TAG_FOLDER), a file (KTB_TAG_FILE), a folder finished (KTB_TAG_ENDFOLDER).
struct DiscItem {
    std::uint8_t Kind = 0;
    std::string Name;
    std::uint32_t Size = 0;
    std::uint32_t DateTime = 0;

    bool operator==(const DiscItem&) const = default;
};
void PrintTo(const DiscItem& item, std::ostream* out);

/// A folder or file by its path from the disc's top ("Music/Rock/" for a folder).
struct ListedItem {
    std::string Path;
    std::uint32_t Size = 0;
    std::uint32_t DateTime = 0;

    bool operator==(const ListedItem&) const = default;
};
void PrintTo(const ListedItem& item, std::ostream* out);

/// The packed local date-time of a time in seconds since 1970 UTC, computed here with localtime_r.
std::uint32_t localDos(std::int64_t seconds);

/// The contents of the disc at offset as the engine's iteration reports them (with end marks).
std::vector<DiscItem> discItems(TKTBHandle* handle, std::uint32_t discOffset);
/// The steps ktbWalkFolder reports for a walk path ("T:\"); complete tells whether it ran to its end.
std::vector<DiscItem> walkItems(const std::string& walkPath, bool* complete = nullptr);
/// Items as paths from the top, sorted.
std::vector<ListedItem> listing(const std::vector<DiscItem>& items);
/// What a recording of the tree lists, each name passed through rename (folders have no date).
std::vector<ListedItem> treeListing(
    const std::vector<DiscTreeEntry>& tree, std::string (*rename)(const std::string&) = nullptr);

/// A catalog written by hand holding one disc with these fields and items (Files, Folders and
/// RunLength computed by the builder).
CatalogBuilder handBuiltDisc(const TKTBDisc& disc, const std::vector<DiscItem>& items);
/// A disc record's text field.
std::string fieldText(const char* field, std::size_t size);

/// Each test gets its own table of test drives (restored to the system's at the end) and a temporary
/// folder; catalogs it opens are closed at the end.
class DiscsTest : public testing::Test {
protected:
    DiscsTest();
    ~DiscsTest() override;

    /// Makes the letter a drive over an image or a folder.
    void setDrive(char letter, const std::string& path);
    /// Creates a new catalog in the test's folder; null (and a failure) when it cannot.
    TKTBHandle* createCatalog(const std::string& name);
    /// Opens a catalog file with the flags; null (and a failure) when it cannot.
    TKTBHandle* openCatalog(const std::string& path, std::uint32_t flags = 0);
    /// Closes a handle opened by the two above before the end of the test.
    void closeCatalog(TKTBHandle*& handle);
    /// The bytes of a catalog file as they are on disc now.
    std::string fileBytes(TKTBHandle* handle) const;

    TempFolder m_temp;

private:
    PathDriveTable* m_drives;
    std::vector<TKTBHandle*> m_handles;
};
