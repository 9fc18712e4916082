// FilesetRegistry: the list file, adding files, folders and locations, default file names, creation and the
// notification of additions and deletions.
#include "core/filesets/catalogerror.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "tests/core/filesets/filesetfixture.h"
#include "tests/support/scriptedquestions.h"
#include "tests/support/withoutrootrights.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

QStringList registeredNames(const FilesetRegistry& registry)
{
    QStringList names;
    for (int i = 0; i < registry.count(); ++i) {
        names.append(registry.at(i)->fileName.section(QLatin1Char('/'), -1));
    }
    names.sort();
    return names;
}

// The file names a folder holds (for "nothing was created" checks).
QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

struct ListFileCase {
    const char* name;
    std::string bytes;
    QStringList locations;
};

void PrintTo(const ListFileCase& param, std::ostream* out) { *out << param.name; }

class ListFileReadTest : public FilesetTest, public ::testing::WithParamInterface<ListFileCase> { };

TEST_P(ListFileReadTest, EveryKindOfLineEndEndsALine)
{
    writeBytes("ktblist.lst", GetParam().bytes);
    FilesetRegistry registry(noListFile());
    registry.loadLocations();
    EXPECT_EQ(registry.locations, GetParam().locations);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ListFileReadTest,
    ::testing::Values(ListFileCase { "CrLf", "/a\r\n/b c\r\n", { QStringLiteral("/a"), QStringLiteral("/b c") } },
        ListFileCase { "Cr", "/a\r/b c\r", { QStringLiteral("/a"), QStringLiteral("/b c") } },
        ListFileCase { "Lf", "/a\n/b c\n", { QStringLiteral("/a"), QStringLiteral("/b c") } },
        ListFileCase { "LastLineWithoutEnd", "/a\r\n/b c", { QStringLiteral("/a"), QStringLiteral("/b c") } },
        ListFileCase { "Mixed", "/a\n\r/b\r\r\n/c", // a lone LF and a lone CR are two line ends
            { QStringLiteral("/a"), QString(), QStringLiteral("/b"), QString(), QStringLiteral("/c") } },
        ListFileCase { "SpacesKept", " /a \r\n", { QStringLiteral(" /a ") } }, ListFileCase { "Empty", "", {} },
        ListFileCase { "Windows1252", "/m\xfcsic\r\n", { QStringLiteral("/m\u00fcsic") } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesetTest, ListFileIsWrittenWithCrLfAfterEveryLineAndEmptyWhenThereIsNone)
{
    {
        FilesetRegistry registry; // loads nothing: there is no list file yet
        registry.locations = QStringList { QStringLiteral("/a"), QStringLiteral("/b \u00e9") };
    }
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "/a\r\n/b \xc3\xa9\r\n");
    {
        FilesetRegistry registry;
        EXPECT_EQ(registry.locations, (QStringList { QStringLiteral("/a"), QStringLiteral("/b \u00e9") }));
        registry.locations.clear();
    }
    EXPECT_TRUE(pathExists(m_folder.file("ktblist.lst")));
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "");
}

TEST_F(FilesetTest, ListFileIsWrittenAtTheEndEvenWhenUnchanged)
{
    writeBytes("ktblist.lst", "/x\n/y");
    {
        FilesetRegistry registry;
    }
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "/x\r\n/y\r\n");
}

TEST_F(FilesetTest, AListFileThatCannotBeWrittenIsReportedAndTheRegistryStillEnds)
{
    // A folder where the file should be refuses the write (tests run as root: permissions do not).
    ASSERT_TRUE(QDir().mkpath(path("ktblist.lst")));
    ScriptedQuestions questions;
    {
        FilesetRegistry registry;
        registry.locations = QStringList { QStringLiteral("/a") };
    }
    ASSERT_EQ(questions.asked().size(), 1u);
    EXPECT_EQ(questions.asked().front().text, QStringLiteral("Unable to write to ") + FilesetRegistry::listFilePath());
    EXPECT_EQ(questions.asked().front().icon, MessageIcon::Error);
}

TEST_F(FilesetTest, AddFileOfARegisteredPathInOtherLetterCaseAnswersMinusOne)
{
    FilesetRegistry registry(noListFile());
    const QString file = writeCatalog("Sets.ktb");
    EXPECT_EQ(registry.addFile(file), 0);
    EXPECT_EQ(registry.addFile(file), -1);
    QString otherCase = file;
    otherCase.replace(QStringLiteral("Sets.ktb"), QStringLiteral("sETS.KTB"));
    EXPECT_EQ(registry.addFile(otherCase), -1);
    EXPECT_EQ(registry.indexOfPath(otherCase), 0);
    // A path of another form is another fileset for the registry.
    EXPECT_EQ(registry.indexOfPath(file.section(QLatin1Char('/'), 0, -2) + QStringLiteral("/./Sets.ktb")), -1);
    EXPECT_EQ(registry.count(), 1);
}

TEST_F(FilesetTest, AddFileRaisesForDamagedFilesWithTheirPath)
{
    FilesetRegistry registry(noListFile());
    const QString bad = writeBytes("bad.ktb", std::string(300, 'x'));
    try {
        registry.addFile(bad);
        FAIL() << "no exception";
    } catch (const CatalogError& error) {
        EXPECT_EQ(error.code, KTB_ERR_INVALIDHEADER);
        EXPECT_TRUE(error.message().contains(QStringLiteral("File: ") + bad));
    }
    EXPECT_EQ(registry.count(), 0);
}

TEST_F(FilesetTest, DecliningTheConversionLeavesTheOlderFileUntouchedAndUnregistered)
{
    std::string older = "Katalox Data Set";
    older.push_back('\0');
    older.append(71, '\0'); // an empty older fileset has 88 bytes
    const QString file = writeBytes("old.ktb", older);
    QStringList asked;
    FilesetRegistry::onConversionQuestion = [&asked](const QString& path) {
        asked.append(path);
        return false;
    };
    FilesetRegistry::onConvertFileset = [](const QString&) { return 1; };
    FilesetRegistry registry(noListFile());
    EXPECT_EQ(registry.addFile(file), -1);
    FilesetRegistry::onConversionQuestion = nullptr;
    FilesetRegistry::onConvertFileset = nullptr;
    EXPECT_EQ(asked, QStringList { file });
    EXPECT_EQ(readFileBytes(file.toStdString()), older);
    EXPECT_EQ(registry.count(), 0);
    EXPECT_EQ(FilesetRegistry::conversionQuestionText(file),
        QStringLiteral("The Fileset \"") + file
            + QStringLiteral("\" is an older version.\r\nYou wish to convert it ?"));
}

TEST_F(FilesetTest, AddFolderRegistersOnlyCatalogsDirectlyInsideAndSkipsDamagedOnes)
{
    writeCatalog("a.ktb");
    writeCatalog("B.KTB");
    writeCatalog("c.Ktb");
    writeCatalog("d.ktb.bak");
    writeBytes("notes.txt", "text");
    writeBytes("damaged.ktb", std::string(300, 'x'));
    writeBytes("empty.ktb", "");
    ASSERT_TRUE(QDir().mkpath(path("sub")));
    writeCatalog("sub/e.ktb");
    ASSERT_TRUE(QDir().mkpath(path("folder.ktb")));

    FilesetRegistry registry(noListFile());
    registry.addFolder(path(""));
    EXPECT_EQ(registeredNames(registry),
        (QStringList { QStringLiteral("B.KTB"), QStringLiteral("a.ktb"), QStringLiteral("c.Ktb") }));
    // A second pass adds nothing; a folder without the trailing separator is the same folder.
    registry.addFolder(path("").chopped(1));
    EXPECT_EQ(registry.count(), 3);
}

TEST_F(FilesetTest, ADamagedFileNamedDirectlyIsReportedOnceAndTheLocationsAfterItStillLoad)
{
    const QString first = writeCatalog("first.ktb");
    const QString bad = writeBytes("bad.ktb", std::string(10, 'x'));
    const QString last = writeCatalog("last.ktb");
    FilesetRegistry registry(noListFile());
    registry.locations = QStringList { QStringLiteral("/no/such/place"), first, bad, last };
    EXPECT_NO_THROW(registry.addLocations());
    EXPECT_EQ(registeredNames(registry), (QStringList { QStringLiteral("first.ktb"), QStringLiteral("last.ktb") }));
    EXPECT_EQ(registry.locations.size(), 4); // nothing is dropped from the list
    const std::optional<QString> error = registry.takeLoadErrors();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(CatalogError::buildMessage(KTB_ERR_INVALIDHEADER, bad))) << error->toStdString();
    EXPECT_TRUE(error->contains(QStringLiteral("damaged"))) << error->toStdString();
    // The next pass meets the file again without telling the user twice.
    registry.addLocations();
    EXPECT_FALSE(registry.takeLoadErrors().has_value());
}

TEST_F(FilesetTest, AnUnwritableCatalogOpensReadOnlyAndOneInUseIsReported)
{
    const QString readOnly = writeCatalog("readonly.ktb", "Anna", "Old discs");
    const QString inUse = writeCatalog("inuse.ktb");
    const QString last = writeCatalog("last.ktb");
    ASSERT_EQ(::chmod(QFile::encodeName(path("")).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    for (const QString& writable : { inUse, last }) {
        ASSERT_EQ(::chmod(QFile::encodeName(writable).constData(), 0666), 0);
    }
    // Another running Katalox holds the writer's lock of one file.
    KtbHandlePtr other;
    ASSERT_EQ(ktbOpenOwned(other, QFile::encodeName(inUse).constData(), 0), KTB_OK);

    FilesetRegistry registry(noListFile());
    registry.locations = QStringList { readOnly, inUse, last };
    {
        const WithoutRootRights user;
        registry.addLocations();
    }
    EXPECT_EQ(registeredNames(registry), (QStringList { QStringLiteral("last.ktb"), QStringLiteral("readonly.ktb") }));
    Fileset* unwritable = registry.at(registry.indexOfPath(readOnly));
    EXPECT_TRUE(unwritable->readOnly);
    EXPECT_FALSE(registry.at(registry.indexOfPath(last))->readOnly);
    EXPECT_EQ(unwritable->description(), QStringLiteral("Old discs"));
    const std::optional<QString> error = registry.takeLoadErrors();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(inUse)) << error->toStdString();
    EXPECT_TRUE(error->contains(QStringLiteral("in use by another program"))) << error->toStdString();
    EXPECT_FALSE(error->contains(readOnly)) << error->toStdString();
}

TEST_F(FilesetTest, ACatalogWithAJournalOfAnotherUserOpensReadOnlyAndTheJournalIsNamed)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "another user's file can only be made as root";
    }
    const QString file = writeCatalog("shared.ktb", "Anna", "Shared discs");
    const QByteArray journal = QFile::encodeName(file) + "-journal";
    ASSERT_TRUE(writeFileBytes(journal.toStdString(), "planted"));
    ASSERT_EQ(::chown(journal.constData(), 12345, 12345), 0);
    FilesetRegistry registry(noListFile());
    registry.locations = QStringList { file };
    registry.addLocations();
    ASSERT_EQ(registry.count(), 1);
    EXPECT_TRUE(registry.at(0)->readOnly);
    EXPECT_EQ(registry.at(0)->description(), QStringLiteral("Shared discs"));
    const std::optional<QString> error = registry.takeLoadErrors();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QFile::decodeName(journal) + QStringLiteral(" is a file of user")))
        << error->toStdString();
    EXPECT_EQ(readFileBytes(journal.toStdString()), "planted");
}

TEST_F(FilesetTest, TwoLocationsNamingTheSameFolderRegisterItsFilesOnce)
{
    ASSERT_TRUE(QDir().mkpath(path("sets")));
    writeCatalog("sets/a.ktb");
    FilesetRegistry registry(noListFile());
    registry.locations = QStringList { path("sets"), path("sets") };
    registry.addLocations();
    EXPECT_EQ(registry.count(), 1);
}

TEST_F(FilesetTest, StartupFailureIsKeptAndTheOtherFilesetsAreRegistered)
{
    const QString first = writeCatalog("first.ktb");
    const QString bad = writeBytes("bad.ktb", std::string(10, 'x'));
    const QString last = writeCatalog("last.ktb");
    writeBytes("ktblist.lst", (first + QStringLiteral("\r\n") + bad + QStringLiteral("\r\n") + last).toStdString());

    std::unique_ptr<FilesetRegistry> registry;
    ASSERT_NO_THROW(registry = std::make_unique<FilesetRegistry>());
    EXPECT_EQ(registeredNames(*registry), (QStringList { QStringLiteral("first.ktb"), QStringLiteral("last.ktb") }));
    const std::optional<QString> error = registry->takeLoadErrors();
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(CatalogError::buildMessage(KTB_ERR_INVALIDHEADER, bad))) << error->toStdString();
    EXPECT_FALSE(registry->takeLoadErrors().has_value());
    // A later pass picks up what the failing entry kept out once the file is mended.
    writeCatalog("bad.ktb");
    registry->addLocations();
    EXPECT_EQ(registry->count(), 3);
}

struct DefaultNameCase {
    const char* name;
    QString owner;
    std::vector<std::string> existing;
    QString expected;
};

void PrintTo(const DefaultNameCase& param, std::ostream* out) { *out << param.name; }

class DefaultFileNameTest : public FilesetTest, public ::testing::WithParamInterface<DefaultNameCase> { };

TEST_P(DefaultFileNameTest, FirstFreeNumberForTheOwner)
{
    for (const std::string& name : GetParam().existing) {
        writeBytes(name, "");
    }
    EXPECT_EQ(FilesetRegistry::defaultFileName(GetParam().owner, path("").chopped(1)), path("") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Owners, DefaultFileNameTest,
    ::testing::Values(DefaultNameCase { "NoFile", QStringLiteral("Anna"), {}, QStringLiteral("Anna - Fileset0.ktb") },
        DefaultNameCase { "TwoTaken", QStringLiteral("Anna"), { "Anna - Fileset0.ktb", "Anna - Fileset1.ktb" },
            QStringLiteral("Anna - Fileset2.ktb") },
        DefaultNameCase { "GapReused", QStringLiteral("Anna"), { "Anna - Fileset0.ktb", "Anna - Fileset2.ktb" },
            QStringLiteral("Anna - Fileset1.ktb") },
        DefaultNameCase { "OtherOwnersDoNotCount", QStringLiteral("Anna"), { "Bob - Fileset0.ktb", "Fileset0.ktb" },
            QStringLiteral("Anna - Fileset0.ktb") },
        DefaultNameCase { "Nobody", QStringLiteral("[Nobody]"), { "Fileset0.ktb" }, QStringLiteral("Fileset1.ktb") },
        DefaultNameCase { "NobodyInLowerCaseKeepsThePrefix", QStringLiteral("[nobody]"), {},
            QStringLiteral("[nobody] - Fileset0.ktb") },
        DefaultNameCase { "EmptyOwner", QString(), {}, QStringLiteral(" - Fileset0.ktb") },
        DefaultNameCase { "SlashAndControlCharactersNameNoFolder", QStringLiteral("AC/DC\tLive"), {},
            QStringLiteral("AC_DC_Live - Fileset0.ktb") }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesetTest, DefaultFileNameKeepsAFolderThatEndsInASeparatorAndAnEmptyFolderGivesABareName)
{
    EXPECT_EQ(FilesetRegistry::defaultFileName(QStringLiteral("Anna"), path("")),
        path("") + QStringLiteral("Anna - Fileset0.ktb"));
    EXPECT_EQ(
        FilesetRegistry::defaultFileName(QStringLiteral("Anna"), QString()), QStringLiteral("Anna - Fileset0.ktb"));
}

TEST_F(FilesetTest, CreateFilesetWritesTheOwnerTextAndNotifies)
{
    std::vector<std::pair<Fileset*, bool>> notices; // (fileset, added); outlives the registry's last notice
    FilesetRegistry registry(noListFile());
    QObject::connect(&registry, &FilesetRegistry::filesetAdded,
        [&notices](Fileset* fileset) { notices.emplace_back(fileset, true); });
    QObject::connect(&registry, &FilesetRegistry::filesetRemoved,
        [&notices](Fileset* fileset) { notices.emplace_back(fileset, false); });
    const int anna = registry.createFileset(QStringLiteral("Anna"), path(""));
    const int nobody = registry.createFileset(QStringLiteral("[Nobody]"), path(""));
    ASSERT_EQ(anna, 0);
    ASSERT_EQ(nobody, 1);
    EXPECT_EQ(registry.at(anna)->fileName, path("Anna - Fileset0.ktb"));
    EXPECT_EQ(registry.at(nobody)->fileName, path("Fileset0.ktb"));
    EXPECT_EQ(storedOwner(path("Fileset0.ktb")), QStringLiteral("[Nobody]"));
    EXPECT_EQ(QFile(path("Anna - Fileset0.ktb")).size(), 256);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], std::make_pair(registry.at(0), true));

    // A folder that does not exist: -1 and nothing registered.
    EXPECT_EQ(registry.createFileset(QStringLiteral("Anna"), path("missing")), -1);
    EXPECT_EQ(registry.count(), 2);
}

TEST_F(FilesetTest, DeletionNotifiesWhileTheObjectStillExistsThenClosesIt)
{
    const QString file = writeCatalog("a.ktb", "Anna");
    QStringList owners;
    FilesetRegistry registry(noListFile());
    registry.addFile(file);
    registry.addFile(writeCatalog("b.ktb"));
    registry.at(0)->owner(); // opens it and takes the writer's lock
    QObject::connect(&registry, &FilesetRegistry::filesetRemoved,
        [&owners](Fileset* fileset) { owners.append(fileset->fileName.section(QLatin1Char('/'), -1)); });
    registry.removeAt(0);
    EXPECT_EQ(owners, QStringList { QStringLiteral("a.ktb") });
    EXPECT_EQ(registry.count(), 1);
    // Closed: another writer can take the file now.
    Fileset again(file, false);
    EXPECT_NO_THROW(again.open());
    registry.clear();
    EXPECT_EQ(owners.size(), 2);
    EXPECT_EQ(registry.count(), 0);
}

TEST_F(FilesetTest, CloseAllReleasesEveryFileUntilItsNextUse)
{
    FilesetRegistry registry(noListFile());
    registry.addFile(writeCatalog("a.ktb", "Anna"));
    registry.at(0)->owner();
    ASSERT_TRUE(registry.at(0)->isOpen());
    registry.closeAll();
    EXPECT_FALSE(registry.at(0)->isOpen());
    EXPECT_EQ(registry.at(0)->owner(), QStringLiteral("Anna"));
    EXPECT_TRUE(folderEntries(path("")).contains(QStringLiteral("a.ktb")));
}
