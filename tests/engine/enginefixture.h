#pragma once
// The fixture of the engine suites: catalogs hand-built with CatalogBuilder in a temporary folder,
// opened through the engine, and whole iterations collected for comparison.

#include "engine/ktb_io.h"
#include "tests/support/catalogbuilder.h"
#include "tests/support/tempfolder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

/// One entity as an iteration reported it, with the cursor's Chain at that moment.
struct Reported {
    std::uint8_t kind = 0;
    std::uint32_t offset = 0;
    std::string name;
    std::vector<std::uint32_t> chain;
    std::int32_t depth = 0;

    bool operator==(const Reported& other) const = default;
};

/// A whole iteration: what it reported, how it ended and its counters at the end.
struct Iteration {
    std::vector<Reported> reported;
    TKTBERROR end = KTB_OK; ///< the last error after the loop
    std::uint32_t discs = 0;
    std::uint32_t folders = 0;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;

    /// "kind:name" of each entity, for readable comparisons ("2:CD 1", "3:Music", "5:").
    std::vector<std::string> names() const;
};

class EngineTest : public ::testing::Test {
protected:
    void TearDown() override;

    /// Writes the catalog to a file of the temporary folder and answers its path.
    std::string write(const CatalogBuilder& catalog, const std::string& name = "catalog.ktb");
    /// Writes the catalog and opens it; the handle is closed at the end of the test.
    TKTBHandle* open(const CatalogBuilder& catalog, std::uint32_t flags = 0, const std::string& name = "catalog.ktb");
    /// Opens an existing file; the handle is closed at the end of the test.
    TKTBHandle* openPath(const std::string& path, std::uint32_t flags = 0);
    /// Runs ktbFindFirst / ktbFindNext to the end and collects everything.
    Iteration iterate(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start = 256, TCompare* criteria = nullptr);

    TempFolder m_folder;
    std::vector<TKTBHandle*> m_handles;
};
