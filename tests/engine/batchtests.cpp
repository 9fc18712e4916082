// ktbFindBatch: the records of a walk many at a time must be exactly those ktbFindNext reports, one by
// one, whatever the flags and wherever a batch ends.
#include "tests/engine/enginefixture.h"

#include <memory>

namespace {

/// A whole walk by batches after ktbFindFirst, in the form of Iteration (chains left empty).
Iteration iterateByBatches(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, TCompare* criteria,
    TKTBERROR& answer, std::uint32_t& position)
{
    Iteration walk;
    TKTBCursor* cursor = ktbFindFirst(handle, flags, start, criteria);
    if (cursor == nullptr) {
        answer = ktbLastError();
        return walk;
    }
    walk.reported.push_back({ cursor->Current->Kind, cursor->Current->Offset, cursor->Current->name(), {}, 0 });
    if ((flags & KTB_FIND_KEEP) != 0) {
        TKTBEntity* first = cursor->Current;
        ktbFreeEntity(first);
    }
    const auto batch = std::make_unique<TKTBBatch>();
    do {
        answer = ktbFindBatch(cursor, *batch);
        for (std::uint32_t i = 0; i < batch->Count; ++i) {
            const TKTBRecord& record = batch->Records[i];
            const std::string name = record.Kind == KTB_TAG_DISC ? std::string(batch->disc(record).Title)
                                                                 : std::string(batch->name(record));
            walk.reported.push_back({ record.Kind, record.Offset, name, {}, 0 });
        }
    } while (answer == KTB_OK);
    position = cursor->Position;
    walk.discs = cursor->Discs;
    walk.folders = cursor->Folders;
    walk.files = cursor->Files;
    walk.bytes = cursor->Bytes;
    ktbFindClose(cursor);
    return walk;
}

class BatchTest : public EngineTest {
protected:
    /// Two discs of a few thousand records (batches end in the middle of folders), a file with a
    /// comment, a 300-byte name.
    BatchTest()
    {
        for (int disc = 0; disc < 2; ++disc) {
            discs[disc] = catalog.beginDisc(
                { .serial = static_cast<std::uint32_t>(disc + 1), .title = "Disc " + std::to_string(disc) });
            for (int folder = 0; folder < 30; ++folder) {
                const std::uint32_t offset = catalog.beginFolder("Folder " + std::to_string(folder));
                if (disc == 1 && folder == 7) {
                    folder7 = offset;
                }
                for (int file = 0; file < 40; ++file) {
                    catalog.addFile("f" + std::to_string(file) + (file % 3 == 0 ? ".mp3" : ".txt"),
                        static_cast<std::uint32_t>(file * 1000), 0, file == 5 ? "a comment" : "");
                }
                catalog.endFolder();
            }
            catalog.addFile(std::string(300, 'n'), 1);
            catalog.endDisc();
        }
    }

    /// Every reported record's kind, offset and name, by ktbFindNext and by batches, must agree.
    void expectSameWalk(TKTBHandle* handle, std::uint32_t flags, std::uint32_t start, const char* pattern = nullptr)
    {
        TCompare one;
        TCompare other;
        if (pattern != nullptr) {
            one.Name = other.Name = pattern;
            one.Flags = other.Flags = KTB_CMP_NAME;
        }
        const Iteration single = iterate(handle, flags, start, pattern != nullptr ? &one : nullptr);
        TKTBERROR answer = KTB_OK;
        std::uint32_t position = 0;
        const Iteration batched
            = iterateByBatches(handle, flags, start, pattern != nullptr ? &other : nullptr, answer, position);
        std::vector<Reported> expected = single.reported;
        for (Reported& reported : expected) {
            reported.chain.clear();
            reported.depth = 0;
        }
        EXPECT_EQ(batched.reported, expected);
        EXPECT_EQ(answer, single.end);
        EXPECT_EQ(batched.files, single.files);
        EXPECT_EQ(batched.bytes, single.bytes);
        EXPECT_EQ(batched.folders, single.folders);
        EXPECT_EQ(batched.discs, single.discs);
    }

    CatalogBuilder catalog;
    std::uint32_t discs[2] = {};
    std::uint32_t folder7 = 0;
};

TEST_F(BatchTest, ReportsWhatFindNextReportsAcrossBatchEnds)
{
    TKTBHandle* handle = open(catalog);
    expectSameWalk(handle, KTB_FIND_ENDMARKS, KTB_HEADER_SIZE);
    expectSameWalk(handle, 0, KTB_HEADER_SIZE, "*.MP3");
    expectSameWalk(handle, KTB_FIND_ENDMARKS, discs[1]);
    // A scope that ends inside a batch: the folder's records only.
    expectSameWalk(handle, KTB_FIND_ENDMARKS, folder7);
    expectSameWalk(handle, KTB_FIND_CHILDREN | KTB_FIND_KEEP, discs[1]);
}

TEST_F(BatchTest, TextsOfFilesComeWhole)
{
    TKTBHandle* handle = open(catalog);
    TKTBCursor* cursor = ktbFindFirstAll(handle, KTB_FIND_NODISCS | KTB_FIND_NOFOLDERS);
    ASSERT_NE(cursor, nullptr);
    const auto batch = std::make_unique<TKTBBatch>();
    std::vector<std::string> comments;
    std::size_t longest = 0;
    TKTBERROR answer = KTB_OK;
    do {
        answer = ktbFindBatch(cursor, *batch);
        for (std::uint32_t i = 0; i < batch->Count; ++i) {
            const TKTBRecord& record = batch->Records[i];
            if (record.CommentLength > 0) {
                comments.emplace_back(batch->comment(record));
                EXPECT_EQ(batch->name(record), "f5.txt");
            }
            longest = std::max(longest, batch->name(record).size());
        }
    } while (answer == KTB_OK);
    ktbFindClose(cursor);
    EXPECT_EQ(comments, std::vector<std::string>(60, "a comment"));
    EXPECT_EQ(longest, 300u);
}

TEST_F(BatchTest, DamagedRecordEndsTheWalkAfterTheRecordsBeforeIt)
{
    catalog.rawByte(9); // a tag no record has, after the last disc
    TKTBHandle* handle = open(catalog);
    TKTBERROR answer = KTB_OK;
    std::uint32_t position = 0;
    const Iteration batched = iterateByBatches(handle, KTB_FIND_ENDMARKS, KTB_HEADER_SIZE, nullptr, answer, position);
    EXPECT_EQ(answer, KTB_ERR_BADENTITY);
    EXPECT_EQ(position, catalog.size() - 1);
    ASSERT_FALSE(batched.reported.empty());
    EXPECT_EQ(batched.reported.back().kind, KTB_TAG_ENDDISC);
    EXPECT_EQ(batched.files, 2u * (30 * 40 + 1));
}

} // namespace
