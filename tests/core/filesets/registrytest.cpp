// TKTBFiles: the list file, adding files, folders and locations, default file names, creation and the
// notification of additions and deletions.
#include "tests/core/filesets/filesetfixture.h"
#include "tests/support/scriptedquestions.h"

#include <QDir>
#include <QFile>
#include <utility>
#include <vector>

namespace {

QStringList registeredNames(const TKTBFiles& registry)
{
    QStringList names;
    for (int i = 0; i < registry.Count(); ++i) {
        names.append(registry.Items(i)->FileName.section(QLatin1Char('/'), -1));
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
    TKTBFiles registry(noListFile());
    registry.LoadLocations();
    EXPECT_EQ(registry.Locations, GetParam().locations);
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
        TKTBFiles registry; // loads nothing: there is no list file yet
        registry.Locations = QStringList { QStringLiteral("/a"), QStringLiteral("/b \u00e9") };
    }
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "/a\r\n/b \xc3\xa9\r\n");
    {
        TKTBFiles registry;
        EXPECT_EQ(registry.Locations, (QStringList { QStringLiteral("/a"), QStringLiteral("/b \u00e9") }));
        registry.Locations.clear();
    }
    EXPECT_TRUE(pathExists(m_folder.file("ktblist.lst")));
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "");
}

TEST_F(FilesetTest, ListFileIsWrittenAtTheEndEvenWhenUnchanged)
{
    writeBytes("ktblist.lst", "/x\n/y");
    {
        TKTBFiles registry;
    }
    EXPECT_EQ(readFileBytes(m_folder.file("ktblist.lst")), "/x\r\n/y\r\n");
}

TEST_F(FilesetTest, AListFileThatCannotBeWrittenIsReportedAndTheRegistryStillEnds)
{
    // A folder where the file should be refuses the write (tests run as root: permissions do not).
    ASSERT_TRUE(QDir().mkpath(path("ktblist.lst")));
    ScriptedQuestions questions;
    {
        TKTBFiles registry;
        registry.Locations = QStringList { QStringLiteral("/a") };
    }
    ASSERT_EQ(questions.asked().size(), 1u);
    EXPECT_EQ(questions.asked().front().text, QStringLiteral("Unable to write to ") + TKTBFiles::ListFilePath());
    EXPECT_EQ(questions.asked().front().icon, TMsgIcon::Error);
}

TEST_F(FilesetTest, AddFileOfARegisteredPathInOtherLetterCaseAnswersMinusOne)
{
    TKTBFiles registry(noListFile());
    const QString file = writeCatalog("Sets.ktb");
    EXPECT_EQ(registry.AddFile(file), 0);
    EXPECT_EQ(registry.AddFile(file), -1);
    QString otherCase = file;
    otherCase.replace(QStringLiteral("Sets.ktb"), QStringLiteral("sETS.KTB"));
    EXPECT_EQ(registry.AddFile(otherCase), -1);
    EXPECT_EQ(registry.IndexOfPath(otherCase), 0);
    // A path of another form is another fileset for the registry.
    EXPECT_EQ(registry.IndexOfPath(file.section(QLatin1Char('/'), 0, -2) + QStringLiteral("/./Sets.ktb")), -1);
    EXPECT_EQ(registry.Count(), 1);
}

TEST_F(FilesetTest, AddFileRaisesForDamagedFilesWithTheirPath)
{
    TKTBFiles registry(noListFile());
    const QString bad = writeBytes("bad.ktb", std::string(300, 'x'));
    try {
        registry.AddFile(bad);
        FAIL() << "no exception";
    } catch (const EKTBException& error) {
        EXPECT_EQ(error.Code, KTB_ERR_INVALIDHEADER);
        EXPECT_TRUE(error.message().contains(QStringLiteral("File: ") + bad));
    }
    EXPECT_EQ(registry.Count(), 0);
}

TEST_F(FilesetTest, DecliningTheConversionLeavesTheOlderFileUntouchedAndUnregistered)
{
    std::string older = "Katalox Data Set";
    older.push_back('\0');
    older.append(71, '\0'); // an empty older fileset has 88 bytes
    const QString file = writeBytes("old.ktb", older);
    QStringList asked;
    TKTBFiles::OnConversionQuestion = [&asked](const QString& path) {
        asked.append(path);
        return false;
    };
    TKTBFiles::OnConvertFileset = [](const QString&) { return 1; };
    TKTBFiles registry(noListFile());
    EXPECT_EQ(registry.AddFile(file), -1);
    TKTBFiles::OnConversionQuestion = nullptr;
    TKTBFiles::OnConvertFileset = nullptr;
    EXPECT_EQ(asked, QStringList { file });
    EXPECT_EQ(readFileBytes(file.toStdString()), older);
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_EQ(TKTBFiles::ConversionQuestionText(file),
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

    TKTBFiles registry(noListFile());
    registry.AddFolder(path(""));
    EXPECT_EQ(registeredNames(registry),
        (QStringList { QStringLiteral("B.KTB"), QStringLiteral("a.ktb"), QStringLiteral("c.Ktb") }));
    // A second pass adds nothing; a folder without the trailing separator is the same folder.
    registry.AddFolder(path("").chopped(1));
    EXPECT_EQ(registry.Count(), 3);
}

TEST_F(FilesetTest, AddLocationsStopsAtADamagedFileNamedDirectly)
{
    const QString first = writeCatalog("first.ktb");
    const QString bad = writeBytes("bad.ktb", std::string(10, 'x'));
    const QString last = writeCatalog("last.ktb");
    TKTBFiles registry(noListFile());
    registry.Locations = QStringList { QStringLiteral("/no/such/place"), first, bad, last };
    EXPECT_THROW(registry.AddLocations(), EKTBException);
    EXPECT_EQ(registeredNames(registry), QStringList { QStringLiteral("first.ktb") });
    EXPECT_EQ(registry.Locations.size(), 4); // nothing is dropped from the list
}

TEST_F(FilesetTest, TwoLocationsNamingTheSameFolderRegisterItsFilesOnce)
{
    ASSERT_TRUE(QDir().mkpath(path("sets")));
    writeCatalog("sets/a.ktb");
    TKTBFiles registry(noListFile());
    registry.Locations = QStringList { path("sets"), path("sets") };
    registry.AddLocations();
    EXPECT_EQ(registry.Count(), 1);
}

TEST_F(FilesetTest, StartupFailureIsKeptAndTheFilesetsBeforeItAreRegistered)
{
    const QString first = writeCatalog("first.ktb");
    const QString bad = writeBytes("bad.ktb", std::string(10, 'x'));
    const QString last = writeCatalog("last.ktb");
    writeBytes("ktblist.lst", (first + QStringLiteral("\r\n") + bad + QStringLiteral("\r\n") + last).toStdString());

    std::unique_ptr<TKTBFiles> registry;
    ASSERT_NO_THROW(registry = std::make_unique<TKTBFiles>());
    EXPECT_EQ(registeredNames(*registry), QStringList { QStringLiteral("first.ktb") });
    const std::optional<QString> error = registry->TakeStartupError();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, EKTBException::buildMessage(KTB_ERR_INVALIDHEADER, bad));
    EXPECT_FALSE(registry->TakeStartupError().has_value());
    // A later pass picks up what the failing entry kept out once the file is mended.
    writeCatalog("bad.ktb");
    registry->AddLocations();
    EXPECT_EQ(registry->Count(), 3);
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
    EXPECT_EQ(TKTBFiles::DefaultFileName(GetParam().owner, path("").chopped(1)), path("") + GetParam().expected);
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
        DefaultNameCase { "EmptyOwner", QString(), {}, QStringLiteral(" - Fileset0.ktb") }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FilesetTest, DefaultFileNameKeepsAFolderThatEndsInASeparatorAndAnEmptyFolderGivesABareName)
{
    EXPECT_EQ(
        TKTBFiles::DefaultFileName(QStringLiteral("Anna"), path("")), path("") + QStringLiteral("Anna - Fileset0.ktb"));
    EXPECT_EQ(TKTBFiles::DefaultFileName(QStringLiteral("Anna"), QString()), QStringLiteral("Anna - Fileset0.ktb"));
}

TEST_F(FilesetTest, CreateFilesetWritesTheOwnerTextAndNotifies)
{
    std::vector<std::pair<TKTBFile*, TListNotification>> notices; // outlives the registry's last notice
    TKTBFiles registry(noListFile());
    registry.OnNotify
        = [&notices](TKTBFile* fileset, TListNotification action) { notices.emplace_back(fileset, action); };
    const int anna = registry.CreateFileset(QStringLiteral("Anna"), path(""));
    const int nobody = registry.CreateFileset(QStringLiteral("[Nobody]"), path(""));
    ASSERT_EQ(anna, 0);
    ASSERT_EQ(nobody, 1);
    EXPECT_EQ(registry.Items(anna)->FileName, path("Anna - Fileset0.ktb"));
    EXPECT_EQ(registry.Items(nobody)->FileName, path("Fileset0.ktb"));
    EXPECT_EQ(storedOwner(path("Fileset0.ktb")), QStringLiteral("[Nobody]"));
    EXPECT_EQ(QFile(path("Anna - Fileset0.ktb")).size(), 256);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0], std::make_pair(registry.Items(0), TListNotification::lnAdded));

    // A folder that does not exist: -1 and nothing registered.
    EXPECT_EQ(registry.CreateFileset(QStringLiteral("Anna"), path("missing")), -1);
    EXPECT_EQ(registry.Count(), 2);
}

TEST_F(FilesetTest, DeletionNotifiesWhileTheObjectStillExistsThenClosesIt)
{
    const QString file = writeCatalog("a.ktb", "Anna");
    QStringList owners;
    TKTBFiles registry(noListFile());
    registry.AddFile(file);
    registry.AddFile(writeCatalog("b.ktb"));
    registry.Items(0)->GetOwner(); // opens it and takes the writer's lock
    registry.OnNotify = [&owners](TKTBFile* fileset, TListNotification action) {
        if (action == TListNotification::lnDeleted) {
            owners.append(fileset->FileName.section(QLatin1Char('/'), -1));
        }
    };
    registry.Delete(0);
    EXPECT_EQ(owners, QStringList { QStringLiteral("a.ktb") });
    EXPECT_EQ(registry.Count(), 1);
    // Closed: another writer can take the file now.
    TKTBFile again(file, false);
    EXPECT_NO_THROW(again.Open());
    registry.Clear();
    EXPECT_EQ(owners.size(), 2);
    EXPECT_EQ(registry.Count(), 0);
}

TEST_F(FilesetTest, CloseAllReleasesEveryFileUntilItsNextUse)
{
    TKTBFiles registry(noListFile());
    registry.AddFile(writeCatalog("a.ktb", "Anna"));
    registry.Items(0)->GetOwner();
    ASSERT_TRUE(registry.Items(0)->IsOpen());
    registry.CloseAll();
    EXPECT_FALSE(registry.Items(0)->IsOpen());
    EXPECT_EQ(registry.Items(0)->GetOwner(), QStringLiteral("Anna"));
    EXPECT_TRUE(folderEntries(path("")).contains(QStringLiteral("a.ktb")));
}
