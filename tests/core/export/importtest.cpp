// Import gives back what was exported: the discs of a JSON export appended to another fileset equal
// the originals byte for byte; a disc the fileset holds is refused and the others still come; a broken
// document says where and leaves the fileset as it was; a plain list makes one disc with its tree.
#include "core/export/catalogimport.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "tests/core/export/exportfixture.h"
#include "tests/support/crashharness.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <functional>

#include <pthread.h>

namespace {

class ImportTest : public ::testing::Test {
protected:
    ImportTest()
    {
        EXPECT_TRUE(m_original.writeTo(m_folder.file("Music.ktb")));
        EXPECT_TRUE(CatalogBuilder().writeTo(m_target));
        const ExportResult exported
            = exportPaths({ m_folder.file("Music.ktb") }, { ExportFormat::Json, false, {} }, m_json);
        EXPECT_TRUE(exported.written) << exported.error.toStdString();
    }

    ImportResult import(const std::string& source, const ImportOptions& options = {},
        const std::function<void(CatalogImport&)>& prepare = {})
    {
        KtbHandlePtr handle;
        EXPECT_EQ(ktbOpenOwned(handle, m_target.c_str(), 0), KTB_OK);
        CatalogImport import(handle.get(), qPath(m_target),
            { qPath(m_scratch.path()), QStringLiteral("import-"), QStringLiteral("import.ktb"), false });
        if (prepare) {
            prepare(import);
        }
        return import.importFile(qPath(source), options);
    }

    /// The records after the header.
    std::string body(const std::string& path) const { return readFileBytes(path).substr(256); }

    TempFolder m_folder;
    TempFolder m_scratch;
    CatalogBuilder m_original = hardCatalog();
    std::string m_target = m_folder.file("Target.ktb");
    std::string m_json = m_folder.file("Music.json");
};

TEST_F(ImportTest, AnExportImportedGivesTheSameDiscsByteForByte)
{
    const ImportResult result = import(m_json);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.imported.size(), 3u);
    EXPECT_EQ(result.imported[0].title, QStringLiteral("Café CD"));
    EXPECT_EQ(body(m_target), m_original.bytes().substr(256));
}

TEST_F(ImportTest, ADiscWhoseSerialTheFilesetHoldsIsRefusedAndTheOthersCome)
{
    // Only the second disc (serial 0: never refused) of the first import.
    ImportOptions second;
    second.discs = { 1 };
    ASSERT_EQ(import(m_json, second).imported.size(), 1u);
    const std::size_t before = readFileBytes(m_target).size();
    const ImportResult again = import(m_json);
    EXPECT_TRUE(again.error.isEmpty()) << again.error.toStdString();
    // The serial-0 disc again, and the two others for the first time.
    EXPECT_EQ(again.imported.size(), 3u);
    const ImportResult third = import(m_json);
    ASSERT_EQ(third.refused.size(), 2);
    EXPECT_TRUE(third.refused[0].startsWith(QStringLiteral("\"Café CD\" (serial D61A-E85B)")))
        << third.refused[0].toStdString();
    EXPECT_EQ(third.imported.size(), 1u);
    EXPECT_GT(readFileBytes(m_target).size(), before);
}

TEST_F(ImportTest, ABrokenDocumentSaysWhereAndTheDiscItBrokeIsNotAppended)
{
    std::string json = readFileBytes(m_json);
    // Cut inside the third disc: the first two are whole and stay.
    const std::size_t audio = json.find("Track01.cda");
    ASSERT_NE(audio, std::string::npos);
    ASSERT_TRUE(writeFileBytes(m_folder.file("cut.json"), json.substr(0, audio)));
    const ImportResult cut = import(m_folder.file("cut.json"));
    EXPECT_EQ(cut.imported.size(), 2u);
    EXPECT_TRUE(cut.error.contains(QStringLiteral("cut.json: the document ends"))) << cut.error.toStdString();
    const std::string originalBody = m_original.bytes().substr(256);
    EXPECT_EQ(body(m_target), originalBody.substr(0, body(m_target).size()));

    for (const auto& [bad, where] : std::vector<std::pair<std::string, std::string>> {
             { R"({"filesets": [{"discs": [{"serial": "12345678", "entries": [{"size": 1}]}]}]})", "without a name" },
             { R"({"filesets": [{"discs": [{"serial": "nope", "entries": []}]}]})", "no serial" },
             { R"({"filesets": [{"discs": [{"entries": [{"name": "a", "size": 4294967296}]}]}]})", "from 0 to" },
             { R"({"something": "else"})", "not a catalog export" },
             { R"({"filesets": [{"discs": [{"entries": [{"entries": [], "name": "late"}]}]}]})", "without a name" },
             { R"({"filesets": [{"discs": [{"entries": [{"name": "a", "nameBytes": "%%"}]}]}]})", "no base64" } }) {
        ASSERT_TRUE(writeFileBytes(m_folder.file("bad.json"), bad));
        const std::size_t size = readFileBytes(m_target).size();
        const ImportResult refused = import(m_folder.file("bad.json"));
        EXPECT_TRUE(refused.imported.empty()) << bad;
        EXPECT_TRUE(refused.error.contains(QString::fromStdString(where))) << refused.error.toStdString();
        EXPECT_EQ(readFileBytes(m_target).size(), size);
    }
}

TEST_F(ImportTest, ADiscWhoseSerialComesAfterItsEntriesIsStillRefused)
{
    ASSERT_TRUE(writeFileBytes(m_folder.file("late.json"),
        R"({"filesets": [{"discs": [{"entries": [{"name": "a.mp3", "size": 3}], "serial": "0000-0009"}]}]})"));
    ASSERT_EQ(import(m_folder.file("late.json")).imported.size(), 1u);
    const ImportResult again = import(m_folder.file("late.json"));
    EXPECT_TRUE(again.imported.empty());
    ASSERT_EQ(again.refused.size(), 1);
    EXPECT_TRUE(again.refused[0].contains(QStringLiteral("0000-0009"))) << again.refused[0].toStdString();
}

TEST_F(ImportTest, APartialExportImportsWithTheCountsOfItsTree)
{
    ExportSelection foldersOnly;
    foldersOnly.foldersOnly = true;
    const std::string partial = m_folder.file("folders.json");
    ASSERT_TRUE(
        exportPaths({ m_folder.file("Music.ktb") }, { ExportFormat::Json, false, foldersOnly }, partial).written);
    ASSERT_EQ(import(partial).imported.size(), 3u);
    KtbHandlePtr handle;
    ASSERT_EQ(ktbOpenOwned(handle, m_target.c_str(), KTB_OPEN_READONLY), KTB_OK);
    TKTBDisc disc {};
    ASSERT_TRUE(ktbReadDisc(handle.get(), KTB_HEADER_SIZE, disc));
    EXPECT_EQ(disc.Files, 0u) << "the files were left out";
    EXPECT_EQ(disc.Folders, 42u);
    EXPECT_TRUE(ktbRunIsWhole(handle.get(), KTB_HEADER_SIZE, disc.RunLength));
}

TEST_F(ImportTest, CancelAndFailuresKeepTheDiscsBeforeAndNothingOfTheDiscBeingRead)
{
    // Cancelled while the first disc is read: nothing is appended.
    const std::size_t empty = readFileBytes(m_target).size();
    const ImportResult cancelled = import(m_json, {},
        [](CatalogImport& running) { running.onProgress = [&running](auto, auto) { running.requestStop(); }; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.imported.empty());
    EXPECT_EQ(readFileBytes(m_target).size(), empty);

    // Stopped at every call of the engine's I/O seam: after the next open the fileset holds whole discs
    // of the document, in order, and the import said it failed.
    const std::string whole = m_original.bytes().substr(KTB_HEADER_SIZE);
    for (std::size_t call = 1;; ++call) {
        ASSERT_TRUE(CatalogBuilder().writeTo(m_target));
        ImportResult result;
        {
            CrashHarness harness(m_folder.path());
            harness.stopAt(call);
            result = import(m_json);
            if (result.error.isEmpty()) {
                break; // the import never came to this call
            }
        }
        KtbHandlePtr reopened;
        ASSERT_EQ(ktbOpenOwned(reopened, m_target.c_str(), 0), KTB_OK) << call;
        reopened.reset();
        const std::string held = body(m_target);
        EXPECT_EQ(held, whole.substr(0, held.size())) << call;
        EXPECT_TRUE(
            held.empty() || held.size() == whole.size() || whole[held.size()] == static_cast<char>(KTB_TAG_DISC))
            << "a disc cut at " << held.size() << ", call " << call;
    }
}

TEST_F(ImportTest, AListMakesOneDiscWithItsFoldersAndSizes)
{
    ASSERT_TRUE(writeFileBytes(m_folder.file("old tapes.txt"),
        "10\tMusic/Rock/a.mp3\r\n"
        "4294967296\tbig.bin\n"
        "\n"
        "0\tMusic/Empty/\n"
        "20\t/Music/b.mp3\n"));
    ImportOptions options;
    options.serial = 0xABCD0001;
    const ImportResult result = import(m_folder.file("old tapes.txt"), options);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.imported.size(), 1u);
    EXPECT_EQ(result.imported[0].title, QStringLiteral("old tapes"));
    EXPECT_EQ(result.imported[0].files, 3u);
    EXPECT_EQ(result.imported[0].folders, 3u);

    // The tree, as the export reads it back.
    ExportSelection all;
    ASSERT_TRUE(exportPaths({ m_target }, { ExportFormat::Text, false, all }, m_folder.file("t.txt")).written);
    EXPECT_EQ(readFileBytes(m_folder.file("t.txt")),
        "[Nobody]: Target.ktb\n"
        "old tapes [ABCD-0001]\n"
        "\u251C\u2500\u2500 big.bin\n"
        "\u2514\u2500\u2500 Music\n"
        "    \u251C\u2500\u2500 b.mp3\n"
        "    \u251C\u2500\u2500 Empty\n"
        "    \u2514\u2500\u2500 Rock\n"
        "        \u2514\u2500\u2500 a.mp3\n");

    ASSERT_TRUE(writeFileBytes(m_folder.file("bad.txt"), "10\tok\nten\tbad\n"));
    EXPECT_TRUE(import(m_folder.file("bad.txt")).error.contains(QStringLiteral("bad.txt, line 2")));
}

/// Runs work on a thread of its own with a stack of the given size.
void runOnStack(std::size_t bytes, const std::function<void()>& work)
{
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread {};
    const auto run = [](void* given) -> void* {
        (*static_cast<const std::function<void()>*>(given))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&work)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST_F(ImportTest, DeepTreesImportWithoutDeepStacks)
{
    // A list of one path through 100,000 folders.
    std::string path;
    for (int i = 0; i < 100000; ++i) {
        path += "d/";
    }
    ASSERT_TRUE(writeFileBytes(m_folder.file("deep.txt"), "7\t" + path + "f\n"));
    const ImportResult list = import(m_folder.file("deep.txt"));
    ASSERT_TRUE(list.error.isEmpty()) << list.error.toStdString();
    ASSERT_EQ(list.imported.size(), 1u);
    EXPECT_EQ(list.imported[0].folders, 100000u);
    EXPECT_EQ(list.imported[0].files, 1u);

    // A document at the reader's limit of 2,048 levels, on a thread with a 1 MiB stack; one level more
    // is refused.
    const auto nested = [](int levels, const char* serial) {
        std::string json = R"({"filesets": [{"discs": [{"serial": ")" + std::string(serial) + R"(", "entries": [)";
        for (int i = 0; i < levels; ++i) {
            json += R"({"name": "d", "entries": [)";
        }
        json += R"({"name": "f", "size": 1})";
        for (int i = 0; i < levels; ++i) {
            json += "]}";
        }
        return json + "]}]}]}";
    };
    ASSERT_TRUE(writeFileBytes(m_folder.file("deep.json"), nested(2048, "0000-0001")));
    ASSERT_TRUE(writeFileBytes(m_folder.file("deeper.json"), nested(2049, "0000-0002")));
    ImportResult atLimit;
    ImportResult beyond;
    runOnStack(1 << 20, [&] {
        atLimit = import(m_folder.file("deep.json"));
        beyond = import(m_folder.file("deeper.json"));
    });
    ASSERT_TRUE(atLimit.error.isEmpty()) << atLimit.error.toStdString();
    ASSERT_EQ(atLimit.imported.size(), 1u);
    EXPECT_EQ(atLimit.imported[0].folders, 2048u);
    EXPECT_TRUE(beyond.imported.empty());
    EXPECT_TRUE(beyond.error.endsWith(QStringLiteral("folders nested deeper than 2048 levels")))
        << beyond.error.toStdString();
}

} // namespace
