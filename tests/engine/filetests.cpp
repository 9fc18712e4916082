// Catalog files as files: the header's bytes, opening good and bad files, the protection key, the
// one-writer rule, growth and cutting, and reads from a view that another process shortened.
#include "tests/engine/enginefixture.h"

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::uint32_t u32At(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

std::string headerText(TKTBHandle* handle, int field, TKTBERROR* code = nullptr)
{
    char buffer[KTB_NAME_MAX + 1] = {};
    const TKTBERROR result = ktbGetHeaderField(handle, field, buffer);
    if (code != nullptr) {
        *code = result;
    }
    return buffer;
}

std::uint32_t headerValue(TKTBHandle* handle, int field)
{
    std::uint32_t value = 0;
    EXPECT_EQ(ktbGetHeaderField(handle, field, &value), KTB_OK);
    return value;
}

const std::uint32_t s_oldStamp = CatalogBuilder::dosDateTime(1999, 1, 1);

} // namespace

using HeaderTest = EngineTest;

TEST_F(HeaderTest, ErrorNamesAreTheTableInOrder)
{
    const char* expected[]
        = { "KTB_OK", "KTB_ERR_BADHANDLE", "KTB_ERR_FILENOTAVAILABLE", "KTB_ERR_MAPPINGFAILED", "KTB_ERR_INVALIDHEADER",
              "KTB_ERR_WRONGVERSION", "KTB_ERR_FILEEXISTS", "KTB_ERR_DISCEXISTS", "KTB_ERR_DISCNOTEXISTS",
              "KTB_NOENTITIES", "KTB_ERR_BADENTITY", "KTB_ERR_LOCKED", "KTB_ERR_INTERRUPTED", "KTB_ERR_NOTSUPPORTED" };
    for (int code = 0; code < 14; ++code) {
        EXPECT_STREQ(ktbErrorName(static_cast<TKTBERROR>(code)), expected[code]);
    }
    EXPECT_STREQ(ktbErrorName(static_cast<TKTBERROR>(14)), "");
}

TEST_F(HeaderTest, NewFileIsExactlyTheEmptyHeader)
{
    const std::string path = m_folder.file("new.ktb");
    TKTBHandle* handle = nullptr;
    ASSERT_EQ(ktbOpen(handle, path.c_str(), KTB_OPEN_CREATE), KTB_OK);
    EXPECT_EQ(ktbPosition(handle), 256u);
    EXPECT_EQ(ktbFileSize(handle), 256u);
    ktbClose(handle);
    EXPECT_EQ(handle, nullptr);

    const std::string bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes.substr(0, 4), "KTB!");
    EXPECT_EQ(u32At(bytes, 4), 0x00050000u);
    EXPECT_EQ(u32At(bytes, 8), 0u);
    EXPECT_NE(u32At(bytes, 12), 0u);
    EXPECT_EQ(u32At(bytes, 12), u32At(bytes, 16));
    EXPECT_EQ(bytes.substr(20), std::string(236, '\0'));

    TKTBHandle* again = openPath(path);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->Locked);
}

TEST_F(HeaderTest, CreatingOverAnExistingFileLeavesItUntouched)
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").addEmptyDisc({ .serial = 5, .title = "CD" });
    const std::string path = write(catalog);
    TKTBHandle* handle = nullptr;
    EXPECT_EQ(ktbOpen(handle, path.c_str(), KTB_OPEN_CREATE), KTB_ERR_FILEEXISTS);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(readFileBytes(path), catalog.bytes());
    // A file that cannot be made at all (its folder does not exist) answers the same.
    EXPECT_EQ(ktbOpen(handle, m_folder.file("missing/new.ktb").c_str(), KTB_OPEN_CREATE), KTB_ERR_FILEEXISTS);
}

TEST_F(HeaderTest, ACrashedCreationsLeftoverIsReplacedButAnotherCreatorsFileIsNot)
{
    const std::string path = m_folder.file("new.ktb");
    const std::string building = path + "-building";
    ASSERT_TRUE(writeFileBytes(building, "torn"));
    TKTBHandle* handle = nullptr;
    ASSERT_EQ(ktbOpen(handle, path.c_str(), KTB_OPEN_CREATE), KTB_OK);
    ktbClose(handle);
    EXPECT_EQ(readFileBytes(path).size(), 256u);
    EXPECT_FALSE(pathExists(building));

    // A creator at work holds its file: a second one is refused and the first one's file is kept.
    const std::string second = m_folder.file("second.ktb");
    ASSERT_TRUE(writeFileBytes(second + "-building", "busy"));
    const int held = ::open((second + "-building").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(ktbOpen(handle, second.c_str(), KTB_OPEN_CREATE), KTB_ERR_FILEEXISTS);
    EXPECT_EQ(readFileBytes(second + "-building"), "busy");
    EXPECT_FALSE(pathExists(second));
    ::close(held);
}

TEST_F(HeaderTest, FieldsReadFromAHandBuiltHeader)
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Music collection").setCreated(0x2E210000).setModified(0x30420000);
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    ktbSeek(handle, 300, 0);
    EXPECT_EQ(headerText(handle, KTB_HDR_OWNER), "Anna");
    EXPECT_EQ(headerText(handle, KTB_HDR_NAME), "Music collection");
    EXPECT_EQ(headerText(handle, KTB_HDR_KEY), "");
    EXPECT_EQ(headerValue(handle, KTB_HDR_CREATED), 0x2E210000u);
    EXPECT_EQ(headerValue(handle, KTB_HDR_MODIFIED), 0x30420000u);
    EXPECT_EQ(headerValue(handle, KTB_HDR_VERSION), 0x00050000u);
    std::uint32_t untouched = 0xDEADBEEF;
    EXPECT_EQ(ktbGetHeaderField(handle, 6, &untouched), KTB_OK);
    EXPECT_EQ(untouched, 0xDEADBEEFu);
    EXPECT_EQ(ktbPosition(handle), 300u) << "reading a field restores the position";
}

TEST_F(HeaderTest, FullLengthTextsComeBackWhole)
{
    // A field filled to its last byte without a zero (written elsewhere) still delivers its limit only.
    CatalogBuilder catalog;
    catalog.setOwner(std::string(63, 'o')).setName(std::string(127, 'n'));
    catalog.patchByte(20 + 63, 'X');
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(headerText(handle, KTB_HDR_OWNER), std::string(63, 'o'));
    EXPECT_EQ(headerText(handle, KTB_HDR_NAME), std::string(127, 'n'));
}

TEST_F(HeaderTest, SettingTextsCutsThemToTheirFieldsAndStampsModified)
{
    CatalogBuilder catalog;
    catalog.setModified(s_oldStamp);
    const std::string path = write(catalog);
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    ktbSeek(handle, 270, 0);
    const std::string seventy(70, 'A');
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_OWNER, seventy.c_str()), KTB_OK);
    // 126 ASCII bytes and a two-byte character: the character does not fit and is not split.
    const std::string name = std::string(126, 'n') + "\xC3\xA9";
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_NAME, name.c_str()), KTB_OK);
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_KEY, "0123456789012345678901234567890123456789abcdef"), KTB_OK);
    EXPECT_EQ(ktbPosition(handle), 270u);
    EXPECT_NE(headerValue(handle, KTB_HDR_MODIFIED), s_oldStamp);

    const std::string bytes = readFileBytes(path);
    EXPECT_EQ(bytes.substr(20, 64), std::string(63, 'A') + '\0');
    EXPECT_EQ(bytes.substr(84, 128), std::string(126, 'n') + std::string(2, '\0'));
    EXPECT_EQ(bytes.substr(212, 44), std::string("0123456789012345678901234567890123456789abc") + '\0');
}

TEST_F(HeaderTest, ShorterTextClearsTheRestOfTheField)
{
    CatalogBuilder catalog;
    catalog.setOwner("A long owner name");
    const std::string path = write(catalog);
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_OWNER, "Bo"), KTB_OK);
    EXPECT_EQ(readFileBytes(path).substr(20, 64), "Bo" + std::string(62, '\0'));
}

TEST_F(HeaderTest, VersionIsRefusedButModifiedStillMoves)
{
    CatalogBuilder catalog;
    catalog.setModified(s_oldStamp);
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    const std::uint32_t version = 0x00060000;
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_VERSION, &version), KTB_ERR_NOTSUPPORTED);
    EXPECT_EQ(headerValue(handle, KTB_HDR_VERSION), 0x00050000u);
    EXPECT_NE(headerValue(handle, KTB_HDR_MODIFIED), s_oldStamp);
}

TEST_F(HeaderTest, DatesAreStoredAsGivenAndOnlyModifiedIsNotRestamped)
{
    CatalogBuilder catalog;
    catalog.setModified(s_oldStamp);
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    const std::uint32_t stamp = CatalogBuilder::dosDateTime(2005, 6, 7, 8, 9, 10);
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_MODIFIED, &stamp), KTB_OK);
    EXPECT_EQ(headerValue(handle, KTB_HDR_MODIFIED), stamp);
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_CREATED, &stamp), KTB_OK);
    EXPECT_EQ(headerValue(handle, KTB_HDR_CREATED), stamp);
    EXPECT_NE(headerValue(handle, KTB_HDR_MODIFIED), stamp);
    // An unknown id writes nothing but still stamps Modified.
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_MODIFIED, &s_oldStamp), KTB_OK);
    EXPECT_EQ(ktbSetHeaderField(handle, 9, &stamp), KTB_OK);
    EXPECT_NE(headerValue(handle, KTB_HDR_MODIFIED), s_oldStamp);
}

// ---------------------------------------------------------------------------------------------
// Opening bad files: every answer of ktbOpen, for writers and for read-only openers.

struct BadFile {
    const char* what;
    std::string bytes;
    TKTBERROR expected;
};

std::ostream& operator<<(std::ostream& out, const BadFile& file) { return out << file.what; }

namespace {

std::string validHeader() { return CatalogBuilder().bytes(); }

std::string olderHeader(std::size_t size)
{
    std::string bytes = "Katalox Data Set";
    bytes.resize(size, '\0');
    return bytes;
}

std::string withVersion(std::uint32_t version)
{
    CatalogBuilder catalog;
    catalog.setVersion(version);
    return catalog.bytes();
}

} // namespace

class OpenBadFileTest : public EngineTest, public ::testing::WithParamInterface<std::tuple<BadFile, std::uint32_t>> { };

TEST_P(OpenBadFileTest, AnswersItsCodeAndHandsOutNoHandle)
{
    const auto& [file, flags] = GetParam();
    const std::string path = m_folder.file("bad.ktb");
    ASSERT_TRUE(writeFileBytes(path, file.bytes));
    TKTBHandle* handle = reinterpret_cast<TKTBHandle*>(0x1);
    EXPECT_EQ(ktbOpen(handle, path.c_str(), flags), file.expected)
        << ktbErrorName(ktbOpen(handle, path.c_str(), flags));
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(readFileBytes(path), file.bytes) << "a refused file is never written";
    // Nothing stays open: a writer can take the file right after.
    TKTBHandle* writer = nullptr;
    EXPECT_EQ(ktbOpen(writer, path.c_str(), 0), file.expected);
    ktbClose(writer);
}

INSTANTIATE_TEST_SUITE_P(Files, OpenBadFileTest,
    ::testing::Combine(::testing::Values(BadFile { "zero-length", "", KTB_ERR_MAPPINGFAILED },
                           BadFile { "one byte", "K", KTB_ERR_INVALIDHEADER },
                           BadFile { "truncated header", validHeader().substr(0, 200), KTB_ERR_INVALIDHEADER },
                           BadFile { "header one byte short", validHeader().substr(0, 255), KTB_ERR_INVALIDHEADER },
                           BadFile { "other bytes", std::string(300, 'x'), KTB_ERR_INVALIDHEADER },
                           BadFile { "magic in lower case", "ktb!" + validHeader().substr(4), KTB_ERR_INVALIDHEADER },
                           BadFile { "next version", withVersion(0x00050001), KTB_ERR_WRONGVERSION },
                           BadFile { "older version value", withVersion(0x00040000), KTB_ERR_WRONGVERSION },
                           BadFile { "older signature, empty older fileset", olderHeader(88), KTB_ERR_WRONGVERSION },
                           BadFile { "older signature, larger file", olderHeader(4000), KTB_ERR_WRONGVERSION },
                           BadFile { "older signature alone", olderHeader(17), KTB_ERR_WRONGVERSION },
                           BadFile { "older signature without its zero byte", "Katalox Data Setx" + olderHeader(300),
                               KTB_ERR_INVALIDHEADER },
                           BadFile { "signature cut short", "Katalox Data", KTB_ERR_INVALIDHEADER }),
        ::testing::Values(0u, KTB_OPEN_READONLY)));

TEST_F(EngineTest, MissingFilesAndFoldersAreNotAvailable)
{
    for (const std::uint32_t flags : { 0u, KTB_OPEN_READONLY }) {
        TKTBHandle* handle = nullptr;
        EXPECT_EQ(ktbOpen(handle, m_folder.file("missing.ktb").c_str(), flags), KTB_ERR_FILENOTAVAILABLE);
        EXPECT_EQ(ktbOpen(handle, m_folder.path().c_str(), flags), KTB_ERR_FILENOTAVAILABLE);
        EXPECT_EQ(ktbOpen(handle, nullptr, flags), KTB_ERR_BADHANDLE);
        EXPECT_EQ(handle, nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// Handles, the protection key and the one-writer rule.

TEST_F(EngineTest, HandleChecks)
{
    ktbSetLastError(KTB_OK);
    EXPECT_EQ(ktbCheckHandle(nullptr), KTB_ERR_BADHANDLE);
    EXPECT_EQ(ktbLastError(), KTB_ERR_BADHANDLE);
    TKTBHandle forged {};
    forged.File = 0;
    forged.View = reinterpret_cast<std::uint8_t*>(&forged);
    EXPECT_EQ(ktbCheckHandle(&forged), KTB_ERR_BADHANDLE) << "a record without the magic is no handle";

    TKTBHandle* handle = open(CatalogBuilder());
    ASSERT_NE(handle, nullptr);
    ktbSetLastError(KTB_NOENTITIES);
    EXPECT_EQ(ktbCheckHandle(handle), KTB_OK);
    EXPECT_EQ(ktbLastError(), KTB_NOENTITIES) << "a good handle leaves the last error alone";
    TKTBHandle* none = nullptr;
    EXPECT_FALSE(ktbClose(none));
}

TEST_F(EngineTest, KeyLocksEveryChangeUntilTheExactKeyIsGiven)
{
    CatalogBuilder catalog;
    catalog.setKey("Secret").setOwner("Anna").setModified(s_oldStamp);
    const std::string path = write(catalog);
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->Locked);

    for (int field = 0; field <= 6; ++field) {
        EXPECT_EQ(ktbSetHeaderField(handle, field, "x\0\0\0"), KTB_ERR_LOCKED) << "field " << field;
    }
    EXPECT_EQ(ktbTouch(handle), KTB_ERR_LOCKED);
    EXPECT_EQ(readFileBytes(path), catalog.bytes()) << "refused changes write nothing, not even Modified";

    TKTBERROR code = KTB_OK;
    EXPECT_EQ(headerText(handle, KTB_HDR_KEY, &code), "");
    EXPECT_EQ(code, KTB_ERR_LOCKED);
    EXPECT_EQ(headerText(handle, KTB_HDR_OWNER), "Anna");

    for (const char* wrong : { "secret", "SECRET", "Secret ", "Secre", "", "Secrets" }) {
        EXPECT_EQ(ktbUnlock(handle, wrong), KTB_ERR_LOCKED) << wrong;
        EXPECT_TRUE(handle->Locked);
    }
    EXPECT_EQ(ktbUnlock(handle, nullptr), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbUnlock(handle, "Secret"), KTB_OK);
    EXPECT_FALSE(handle->Locked);
    EXPECT_EQ(headerText(handle, KTB_HDR_KEY), "Secret");
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_OWNER, "Bo"), KTB_OK);
    EXPECT_EQ(ktbUnlock(handle, "anything"), KTB_OK) << "an unlocked handle does not compare";

    // Unlocking lasts for the handle only; an empty key removes the protection for the next opener.
    ktbClose(m_handles.back());
    m_handles.pop_back();
    handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->Locked);
    ASSERT_EQ(ktbUnlock(handle, "Secret"), KTB_OK);
    EXPECT_EQ(ktbSetHeaderField(handle, KTB_HDR_KEY, ""), KTB_OK);
    ktbClose(m_handles.back());
    m_handles.pop_back();
    handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(handle->Locked);
}

TEST_F(EngineTest, SecondWriterIsRefusedReadersAreNot)
{
    CatalogBuilder catalog;
    catalog.setOwner("Anna").addEmptyDisc({ .serial = 1, .title = "CD" });
    const std::string path = write(catalog);
    TKTBHandle* writer = openPath(path);
    ASSERT_NE(writer, nullptr);

    TKTBHandle* second = nullptr;
    EXPECT_EQ(ktbOpen(second, path.c_str(), 0), KTB_ERR_FILENOTAVAILABLE);
    EXPECT_EQ(second, nullptr);

    // Another process is refused the same way.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TKTBHandle* other = nullptr;
        ::_exit(ktbOpen(other, path.c_str(), 0) == KTB_ERR_FILENOTAVAILABLE ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process opened a second writer";

    TKTBHandle* reader = openPath(path, KTB_OPEN_READONLY);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(headerText(reader, KTB_HDR_OWNER), "Anna");
    EXPECT_EQ(iterate(reader, 0).names(), std::vector<std::string>({ "2:CD" }));

    // The writer's changes are seen by the reader; the reader's are all refused.
    EXPECT_EQ(ktbSetHeaderField(writer, KTB_HDR_OWNER, "Bo"), KTB_OK);
    EXPECT_EQ(headerText(reader, KTB_HDR_OWNER), "Bo");
    const std::string before = readFileBytes(path);
    EXPECT_EQ(ktbSetHeaderField(reader, KTB_HDR_NAME, "x"), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbTouch(reader), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbCheckWritable(reader), KTB_ERR_LOCKED);
    EXPECT_EQ(ktbUnlock(reader, "whatever"), KTB_OK);
    EXPECT_EQ(ktbCheckWritable(reader), KTB_ERR_LOCKED) << "unlocking does not make a reader a writer";
    ktbSeek(reader, 256, 0);
    EXPECT_FALSE(ktbWrite(reader, "xy", 2));
    EXPECT_FALSE(ktbWriteString(reader, "xy"));
    EXPECT_FALSE(ktbCutBytes(reader, 10, 256));
    EXPECT_FALSE(ktbResize(reader, 300));
    EXPECT_EQ(readFileBytes(path), before);

    // Once the writer is gone, another can come.
    ktbClose(m_handles.front());
    m_handles.erase(m_handles.begin());
    EXPECT_NE(openPath(path), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Positioned reads and writes, growth and cutting.

namespace {

std::string numbered(std::size_t count)
{
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>(i * 7 + 1);
    }
    return bytes;
}

} // namespace

TEST_F(EngineTest, WritingPastTheEndGrowsTheFileToExactlyTheWrite)
{
    const std::string path = write(CatalogBuilder());
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(ktbSeek(handle, 250, 0));
    ASSERT_TRUE(ktbWrite(handle, "0123456789", 10));
    EXPECT_EQ(ktbFileSize(handle), 260u);
    EXPECT_EQ(ktbPosition(handle), 260u);
    std::string bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 260u);
    EXPECT_EQ(bytes.substr(250), "0123456789");

    // A write that starts past the end leaves zero bytes in the gap.
    ASSERT_TRUE(ktbSeek(handle, 5000, 0));
    ASSERT_TRUE(ktbWrite(handle, "end", 3));
    bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 5003u);
    EXPECT_EQ(bytes.substr(260, 4740), std::string(4740, '\0'));
    EXPECT_EQ(bytes.substr(5000), "end");

    // A write inside the file does not move its end.
    ASSERT_TRUE(ktbSeek(handle, 256, 0));
    ASSERT_TRUE(ktbWrite(handle, "ab", 2));
    EXPECT_EQ(ktbFileSize(handle), 5003u);
    EXPECT_TRUE(ktbWrite(handle, "", 0));
}

TEST_F(EngineTest, StringsAreALengthAndTheirBytes)
{
    const std::string path = write(CatalogBuilder());
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    ktbSeek(handle, 0, 2);
    const std::string text = "Caf\xC3\xA9 " + std::string(300, 'x');
    ASSERT_TRUE(ktbWriteString(handle, text));
    ASSERT_TRUE(ktbWriteString(handle, ""));
    EXPECT_FALSE(ktbWriteString(handle, std::string(65536, 'y')));
    const std::string bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 256u + 2 + text.size() + 2);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[256]), text.size() & 0xFF);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[257]), text.size() >> 8);
    EXPECT_EQ(bytes.substr(258, text.size()), text);

    ktbSeek(handle, 256, 0);
    std::string read;
    ASSERT_TRUE(ktbReadString(handle, read));
    EXPECT_EQ(read, text);
    char* copy = nullptr;
    ASSERT_TRUE(ktbReadStringZ(handle, copy));
    EXPECT_STREQ(copy, "");
    std::free(copy);
    // A length that runs past the end fails and delivers nothing.
    ktbSeek(handle, 300, 0);
    EXPECT_FALSE(ktbReadString(handle, read));
    EXPECT_FALSE(ktbReadStringZ(handle, copy));
    EXPECT_EQ(copy, nullptr);
}

TEST_F(EngineTest, CuttingMovesTheRestDownAndShrinksTheFile)
{
    CatalogBuilder catalog;
    catalog.raw(numbered(144));
    const std::string before = catalog.bytes();
    const std::string path = write(catalog);
    TKTBHandle* handle = openPath(path);
    ASSERT_NE(handle, nullptr);
    ktbSeek(handle, 390, 0);
    ASSERT_TRUE(ktbCutBytes(handle, 20, 300));
    EXPECT_EQ(ktbFileSize(handle), 380u);
    EXPECT_EQ(ktbPosition(handle), 380u) << "a position past the new end moves to it";
    std::string bytes = readFileBytes(path);
    ASSERT_EQ(bytes.size(), 380u);
    EXPECT_EQ(bytes.substr(0, 300), before.substr(0, 300));
    EXPECT_EQ(bytes.substr(300), before.substr(320));

    // -1 cuts at the position; cutting past the end is refused and changes nothing.
    ktbSeek(handle, 370, 0);
    ASSERT_TRUE(ktbCutBytes(handle, 10, -1));
    EXPECT_EQ(readFileBytes(path), before.substr(0, 300) + before.substr(320, 70));
    EXPECT_EQ(ktbPosition(handle), 370u);
    EXPECT_FALSE(ktbCutBytes(handle, 11, 360));
    EXPECT_FALSE(ktbCutBytes(handle, 1, 5000));
    EXPECT_TRUE(ktbCutBytes(handle, 0, 370));
    EXPECT_EQ(ktbFileSize(handle), 370u);
}

TEST_F(EngineTest, SeekOriginsAndReadsOutsideTheFile)
{
    CatalogBuilder catalog;
    catalog.raw(numbered(44));
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    ASSERT_TRUE(ktbSeek(handle, 260, 0));
    EXPECT_EQ(ktbPosition(handle), 260u);
    ASSERT_TRUE(ktbSeek(handle, -4, 1));
    EXPECT_EQ(ktbPosition(handle), 256u);
    ASSERT_TRUE(ktbSeek(handle, 10, 2));
    EXPECT_EQ(ktbPosition(handle), 290u);
    ASSERT_TRUE(ktbSeek(handle, 123, 7));
    EXPECT_EQ(ktbPosition(handle), 0u);

    char buffer[20] = {};
    ktbSeek(handle, 290, 0);
    EXPECT_TRUE(ktbRead(handle, buffer, 10));
    EXPECT_EQ(ktbPosition(handle), 300u);
    EXPECT_FALSE(ktbRead(handle, buffer, 1)) << "nothing left";
    ktbSeek(handle, 295, 0);
    EXPECT_FALSE(ktbRead(handle, buffer, 6));
    EXPECT_EQ(ktbPosition(handle), 295u) << "a failed read does not move";
    ktbSeek(handle, 0xFFFFFFF0u, 0);
    EXPECT_FALSE(ktbRead(handle, buffer, 20)) << "offset and count overflowing 32 bits";
}

// ---------------------------------------------------------------------------------------------
// The fault guard: another process shortens a file that is mapped here.

class ShortenedFileTest : public EngineTest {
protected:
    // One disc holding a file whose comment spans several pages, then a second disc.
    void SetUp() override
    {
        m_catalog.beginDisc({ .serial = 1, .title = "first" });
        m_file = m_catalog.addFile("big", 1, 0, std::string(3 * 4096, 'c'));
        m_catalog.endDisc();
        m_second = m_catalog.addEmptyDisc({ .serial = 2, .title = "second" });
        m_path = write(m_catalog);
    }

    CatalogBuilder m_catalog;
    std::uint32_t m_file = 0;
    std::uint32_t m_second = 0;
    std::string m_path;
};

class ShortenedFileReadTest : public ShortenedFileTest, public ::testing::WithParamInterface<std::uint32_t> { };

TEST_P(ShortenedFileReadTest, ReadsFailInsteadOfEndingTheProgram)
{
    TKTBHandle* handle = openPath(m_path, GetParam());
    ASSERT_NE(handle, nullptr);
    TKTBCursor* cursor = ktbFindFirstAll(handle, 0);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->Current->Kind, KTB_TAG_DISC);

    ASSERT_EQ(::truncate(m_path.c_str(), 4096), 0);

    // The file record's comment lies on the pages that are gone.
    EXPECT_EQ(ktbFindNext(cursor), KTB_ERR_FILENOTAVAILABLE);
    EXPECT_EQ(ktbLastError(), KTB_ERR_FILENOTAVAILABLE);
    EXPECT_EQ(cursor->Current, nullptr);
    ktbFindClose(cursor);

    char buffer[16] = {};
    ktbSeek(handle, 9000, 0);
    EXPECT_FALSE(ktbRead(handle, buffer, sizeof buffer));
    EXPECT_EQ(ktbPosition(handle), 9000u);
    TKTBEntity* entity = nullptr;
    EXPECT_EQ(ktbReadEntity(handle, m_second, entity), KTB_ERR_BADENTITY);
    EXPECT_EQ(entity, nullptr);
    EXPECT_EQ(ktbReadEntity(handle, m_file, entity), KTB_ERR_BADENTITY);
    EXPECT_EQ(entity, nullptr);
    // The first page is still there.
    EXPECT_EQ(headerText(handle, KTB_HDR_OWNER), "");
    EXPECT_EQ(headerValue(handle, KTB_HDR_VERSION), 0x00050000u);
}

INSTANTIATE_TEST_SUITE_P(Openers, ShortenedFileReadTest, ::testing::Values(0u, KTB_OPEN_READONLY));

TEST_F(ShortenedFileTest, WritesFailInsteadOfEndingTheProgram)
{
    TKTBHandle* handle = openPath(m_path);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(::truncate(m_path.c_str(), 4096), 0);
    ktbSeek(handle, 9000, 0);
    EXPECT_FALSE(ktbWrite(handle, "x", 1));
    EXPECT_FALSE(ktbCutBytes(handle, 100, 5000));
    // Growing the file again makes it whole.
    ktbSeek(handle, 0, 2);
    EXPECT_TRUE(ktbWrite(handle, "x", 1));
}
