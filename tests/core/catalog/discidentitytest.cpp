// Finding remembered discs again after their catalog changed: deletes move the discs after them, a
// rescanned disc is a new recording, and edited titles leave a disc the same disc.
#include "core/catalog/discidentity.h"

#include "engine/ktb_discs.h"
#include "engine/ktb_owners.h"
#include "tests/core/filesets/filesetfixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using DiscIdentityTest = FilesetTest;

KnownDisc knownAt(TKTBHandle* handle, std::uint32_t offset)
{
    KnownDisc disc { offset, {} };
    EXPECT_TRUE(ktbReadDisc(handle, offset, disc.record));
    return disc;
}

TEST_F(DiscIdentityTest, DiscsAreFoundAgainAfterDeletesEditsAndRescans)
{
    CatalogBuilder catalog;
    const std::uint32_t first = catalog.beginDisc({ .serial = 1, .title = "Audio CD", .scanTime = 100 });
    catalog.addFile("Track01.cda", 44, 0);
    catalog.endDisc();
    const std::uint32_t second = catalog.beginDisc({ .serial = 2, .title = "Audio CD", .scanTime = 100 });
    catalog.addFile("Track01.cda", 44, 0);
    catalog.addFile("Track02.cda", 44, 0);
    catalog.endDisc();
    const std::uint32_t third = catalog.addEmptyDisc({ .serial = 3, .title = "Third", .scanTime = 100 });
    ASSERT_TRUE(catalog.writeTo(m_folder.file("discs.ktb")));
    // The same disc scanned again later: a new recording of serial 2.
    CatalogBuilder rescan;
    rescan.addEmptyDisc({ .serial = 2, .title = "Audio CD", .scanTime = 200 });
    ASSERT_TRUE(rescan.writeTo(m_folder.file("rescan.ktb")));

    KtbHandlePtr handle;
    KtbHandlePtr scanned;
    ASSERT_EQ(ktbOpenOwned(handle, m_folder.file("discs.ktb").c_str(), 0), KTB_OK);
    ASSERT_EQ(ktbOpenOwned(scanned, m_folder.file("rescan.ktb").c_str(), 0), KTB_OK);
    const std::vector<KnownDisc> known
        = { knownAt(handle.get(), first), knownAt(handle.get(), second), knownAt(handle.get(), third) };
    const std::uint32_t firstLength = known[0].record.RunLength;
    EXPECT_EQ(relocateDiscs(handle.get(), known), (std::vector<std::uint32_t> { first, second, third }));

    // An edited title keeps the disc; deleting the first moves the others down by its run.
    TKTBDisc title {};
    std::strcpy(title.Title, "Renamed");
    ASSERT_EQ(ktbUpdateDisc(handle.get(), second, title, KTB_DISC_TITLE), KTB_OK);
    ASSERT_EQ(ktbDeleteDisc(handle.get(), first), KTB_OK);
    EXPECT_EQ(relocateDiscs(handle.get(), known),
        (std::vector<std::uint32_t> { 0, second - firstLength, third - firstLength }));
    EXPECT_FALSE(isDiscStillAt(handle.get(), known[1])) << "another disc sits at the old offset now";

    // A rescan removes the older entry and appends the new recording: the remembered disc is gone.
    std::uint32_t appended = 0;
    ASSERT_EQ(ktbDeleteDisc(handle.get(), second - firstLength), KTB_OK);
    ASSERT_EQ(ktbCopyDisc(scanned.get(), handle.get(), KTB_HEADER_SIZE, appended), KTB_OK);
    EXPECT_EQ(relocateDiscs(handle.get(), known), (std::vector<std::uint32_t> { 0, 0, KTB_HEADER_SIZE }));
    EXPECT_TRUE(isDiscStillAt(handle.get(), { KTB_HEADER_SIZE, known[2].record }));
}

} // namespace
