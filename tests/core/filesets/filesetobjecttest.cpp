// Fileset: lazy opening and creation, header fields, the protection key, statistics, and
// CatalogError's message.
#include "tests/core/filesets/filesetfixture.h"

#include "core/filesets/catalogerror.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"

#include <QFile>

namespace {

const QString s_crlf = QStringLiteral("\r\n");

} // namespace

TEST_F(FilesetTest, NewFilesetTouchesTheDiscOnlyAtItsFirstAccess)
{
    const QString file = path("new.ktb");
    Fileset fileset(file, true);
    EXPECT_TRUE(fileset.createPending);
    EXPECT_FALSE(QFile::exists(file));

    EXPECT_EQ(fileset.dataSize(), 0u);
    EXPECT_EQ(QFile(file).size(), 256);
    EXPECT_FALSE(fileset.createPending);
    EXPECT_EQ(fileset.discCount(), 0);
    EXPECT_EQ(fileset.totalDiscSize(), 0u);
}

TEST_F(FilesetTest, CreatingOverAnExistingFileFailsWithTheInputOutputError)
{
    const QString file = writeCatalog("there.ktb", "Anna");
    const std::string before = readFileBytes(file.toStdString());
    try {
        Fileset fileset(file, true);
        FAIL() << "construction succeeded";
    } catch (const FileError& error) {
        EXPECT_EQ(
            error.message(), QStringLiteral("Cannot create new fileset. ") + file + QStringLiteral(" already exists."));
    }
    EXPECT_EQ(readFileBytes(file.toStdString()), before);
}

TEST_F(FilesetTest, EmptyDescriptionFallsBackToTheFileNameWithExtension)
{
    Fileset unnamed(writeCatalog("Music Discs.ktb"), false);
    EXPECT_EQ(unnamed.description(), QStringLiteral("Music Discs.ktb"));
    Fileset named(writeCatalog("b.ktb", {}, "Mine"), false);
    EXPECT_EQ(named.description(), QStringLiteral("Mine"));
}

TEST_F(FilesetTest, LongOwnerIsCutToWhatTheFieldKeepsWithoutSplittingCharacters)
{
    Fileset fileset(writeCatalog("a.ktb"), false);
    fileset.setOwner(QString(70, QLatin1Char('x')));
    EXPECT_EQ(fileset.owner(), QString(63, QLatin1Char('x')));
    // 62 ASCII letters and a two-byte character do not fit 63 bytes: the character goes whole.
    fileset.setOwner(QString(62, QLatin1Char('y')) + QStringLiteral("\u00e9"));
    EXPECT_EQ(fileset.owner(), QString(62, QLatin1Char('y')));
}

TEST_F(FilesetTest, LockedFilesetDropsHeaderWritesSilently)
{
    Fileset fileset(writeCatalog("locked.ktb", "Anna", "Old", "secret"), false);
    EXPECT_TRUE(fileset.isLocked());
    EXPECT_NO_THROW(fileset.setDescription(QStringLiteral("New")));
    EXPECT_NO_THROW(fileset.setOwner(QStringLiteral("Bob")));
    EXPECT_EQ(fileset.description(), QStringLiteral("Old"));
    EXPECT_EQ(fileset.owner(), QStringLiteral("Anna"));
    // The key itself is not readable through a locked handle.
    EXPECT_EQ(fileset.accessField(false, KTB_HDR_KEY).toString(), QString());
}

TEST_F(FilesetTest, ProtectionKeyUnlocksOnlyTheObjectThatSetItInThisRun)
{
    const QString file = writeCatalog("key.ktb", "Anna");
    {
        Fileset fileset(file, false);
        fileset.setProtectionKey(QStringLiteral("Secret"));
        EXPECT_FALSE(fileset.isLocked()); // the handle that wrote the key stays writable
        fileset.open(); // a reopen computes the lock from the stored key and unlocks with the remembered one
        EXPECT_FALSE(fileset.isLocked());
        fileset.setDescription(QStringLiteral("Still writable"));
        EXPECT_EQ(fileset.description(), QStringLiteral("Still writable"));
    }
    Fileset later(file, false); // as after a restart
    EXPECT_TRUE(later.isLocked());
    later.setDescription(QStringLiteral("Dropped"));
    EXPECT_EQ(later.description(), QStringLiteral("Still writable"));
}

TEST_F(FilesetTest, KeyLongerThanTheFieldStillUnlocksOnReopen)
{
    // The field keeps 43 bytes; the object must offer the key as stored, or its own fileset would
    // lock itself at the next reopen (every search reopens).
    Fileset fileset(writeCatalog("long.ktb"), false);
    fileset.setProtectionKey(QString(50, QLatin1Char('k')));
    fileset.open();
    EXPECT_FALSE(fileset.isLocked());
}

TEST_F(FilesetTest, ReadOnlyObjectReadsBesideTheWriterAndRefusesChanges)
{
    const QString file = writeCatalog("shared.ktb", "Anna");
    Fileset writer(file, false);
    writer.setDescription(QStringLiteral("Written"));
    Fileset reader(file, false, true);
    EXPECT_EQ(reader.description(), QStringLiteral("Written"));
    EXPECT_TRUE(reader.isLocked());
    reader.setOwner(QStringLiteral("Bob"));
    EXPECT_EQ(writer.owner(), QStringLiteral("Anna"));
    // A second writer is refused while the first holds the file.
    Fileset second(file, false);
    EXPECT_THROW(second.open(), CatalogError);
}

TEST_F(FilesetTest, FileDeletedOnDiscFailsUntilItIsRestored)
{
    const QString file = writeCatalog("gone.ktb", "Anna");
    const std::string bytes = readFileBytes(file.toStdString());
    Fileset fileset(file, false);
    EXPECT_EQ(fileset.owner(), QStringLiteral("Anna"));
    fileset.close();
    ASSERT_TRUE(QFile::remove(file));
    try {
        fileset.owner();
        FAIL() << "no exception";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.code, KTB_ERR_FILENOTAVAILABLE);
        EXPECT_EQ(error.message(),
            QStringLiteral("An error occurred in a KTB file") + s_crlf + QStringLiteral("File: ") + file + s_crlf
                + QStringLiteral("Errormessage:KTB_ERR_FILENOTAVAILABLE"));
    }
    EXPECT_FALSE(fileset.isOpen());
    ASSERT_TRUE(writeFileBytes(file.toStdString(), bytes));
    EXPECT_EQ(fileset.owner(), QStringLiteral("Anna"));
}

TEST_F(FilesetTest, StatisticsCountDiscsAndTheirUsedBytes)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "One", .used = 1000 });
    catalog.beginFolder("Music");
    catalog.addFile("a.mp3", 10);
    catalog.endFolder();
    catalog.endDisc();
    catalog.addEmptyDisc({ .serial = 2, .title = "Two", .used = 5000000000 });
    ASSERT_TRUE(catalog.writeTo(m_folder.file("stats.ktb")));
    Fileset fileset(path("stats.ktb"), false);
    EXPECT_EQ(fileset.dataSize(), catalog.size() - 256u);
    EXPECT_EQ(fileset.discCount(), 2);
    EXPECT_EQ(fileset.totalDiscSize(), 5000001000u);
}

TEST_F(FilesetTest, DataSizeSeesContentsWrittenSinceTheFileWasOpened)
{
    const QString file = writeCatalog("grow.ktb");
    Fileset fileset(file, false, true);
    EXPECT_EQ(fileset.dataSize(), 0u);
    CatalogBuilder catalog;
    catalog.addEmptyDisc({ .serial = 7, .title = "Later" });
    ASSERT_TRUE(catalog.writeTo(file.toStdString()));
    EXPECT_EQ(fileset.dataSize(), catalog.size() - 256u);
}

struct MessageCase {
    TKTBERROR code;
    const char* file;
    const char* expected; // lines joined by "|"
};

void PrintTo(const MessageCase& param, std::ostream* out)
{
    *out << ktbErrorName(param.code) << " \"" << param.file << '"';
}

class ExceptionMessageTest : public ::testing::TestWithParam<MessageCase> { };

TEST_P(ExceptionMessageTest, MessageIsBuiltLineByLine)
{
    const MessageCase& param = GetParam();
    ktbSetErrorDetail(1234, 9);
    const CatalogError error(param.code, QString::fromUtf8(param.file));
    EXPECT_EQ(error.code, param.code);
    EXPECT_EQ(error.message(), QString::fromUtf8(param.expected).replace(QLatin1Char('|'), s_crlf));
    EXPECT_EQ(QString::fromStdString(error.what()), error.message());
}

INSTANTIATE_TEST_SUITE_P(Codes, ExceptionMessageTest,
    ::testing::Values(MessageCase { KTB_ERR_FILENOTAVAILABLE, "/sets/a.ktb",
                          "An error occurred in a KTB file|File: /sets/a.ktb|Errormessage:KTB_ERR_FILENOTAVAILABLE" },
        MessageCase { KTB_ERR_INVALIDHEADER, "", "An error occurred in a KTB file|Errormessage:KTB_ERR_INVALIDHEADER" },
        MessageCase { KTB_ERR_BADENTITY, "/sets/b.ktb",
            "An error occurred in a KTB file|File: /sets/b.ktb|Errormessage:KTB_ERR_BADENTITY||Details: Token "
            "encountered: 9 at pos: 1234" },
        MessageCase { KTB_ERR_BADENTITY, "",
            "An error occurred in a KTB file|Errormessage:KTB_ERR_BADENTITY||Details: "
            "Token encountered: 9 at pos: 1234" },
        MessageCase { KTB_OK, "x", "An error occurred in a KTB file|File: x|Errormessage:KTB_OK" },
        MessageCase {
            KTB_ERR_NOTSUPPORTED, "x", "An error occurred in a KTB file|File: x|Errormessage:KTB_ERR_NOTSUPPORTED" }));

TEST_F(FilesetTest, BadRecordMessageNamesTheTagAndOffsetOfTheLastBadRecord)
{
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "CD" });
    const std::uint32_t bad = catalog.rawByte(9);
    ASSERT_TRUE(catalog.writeTo(m_folder.file("bad.ktb")));
    Fileset fileset(path("bad.ktb"), false);
    const KtbCursorPtr cursor(ktbFindFirstAll(fileset.handle(), 0));
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(ktbFindNext(cursor.get()), KTB_ERR_BADENTITY);
    const CatalogError error(KTB_ERR_BADENTITY, fileset.fileName);
    EXPECT_TRUE(error.message().endsWith(
        s_crlf + s_crlf + QStringLiteral("Details: Token encountered: 9 at pos: ") + QString::number(bad)))
        << error.message().toStdString();
}
