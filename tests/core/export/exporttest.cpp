// The export formats are files of their kind that other programs read: the CSV by Python's csv module,
// the JSON by Qt's parser, the HTML's embedded data by the same parser after no name could end its
// element; the text draws the tree's last entries as `tree` does; what is shown follows the
// selection; and a failed or cancelled export leaves no file under the user's name.
#include "core/export/exporttext.h"
#include "core/export/filekindcache.h"
#include "core/text/catalogtext.h"
#include "core/text/filekind.h"
#include "tests/core/export/exportfixture.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ExportTest : public ::testing::Test {
protected:
    ExportTest() { EXPECT_TRUE(hardCatalog().writeTo(m_catalog)); }

    std::string exportTo(ExportFormat format, ExportSelection selection = {})
    {
        const std::string output = m_folder.file("out." + exportExtension(format).toStdString());
        const ExportResult result = exportPaths({ m_catalog }, { format, false, selection }, output);
        EXPECT_TRUE(result.written) << result.error.toStdString();
        return readFileBytes(output);
    }

    TempFolder m_folder;
    std::string m_catalog = m_folder.file("Music.ktb");
};

/// Runs Python's csv module over a file and answers its rows as a JSON array of arrays.
QJsonArray pythonCsvRows(const std::string& path)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
        { QStringLiteral("-c"),
            QStringLiteral("import csv, json, sys\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                           "    print(json.dumps(list(csv.reader(f, strict=True))))\n"),
            qPath(path) });
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QStringList row(const QJsonArray& rows, const QString& name)
{
    for (const QJsonValue& value : rows) {
        const QJsonArray fields = value.toArray();
        if (fields.size() > 5 && fields.at(5).toString() == name) {
            QStringList texts;
            for (const QJsonValue& field : fields) {
                texts.append(field.toString());
            }
            return texts;
        }
    }
    return {};
}

TEST_F(ExportTest, CsvReadsBackWithPythonsCsvModuleWithEveryNameAndField)
{
    const std::string output = m_folder.file("list.csv");
    ASSERT_TRUE(exportPaths({ m_catalog }, { ExportFormat::Csv, true, {} }, output).written);
    EXPECT_EQ(readFileBytes(output).substr(0, 3), "\xEF\xBB\xBF");
    const QJsonArray rows = pythonCsvRows(output);
    // The header, 2 + 40 folders, 6 files.
    ASSERT_EQ(rows.size(), 1 + 42 + 6);
    EXPECT_EQ(row(rows, QStringLiteral("a </script><b>.mp3")),
        (QStringList { QStringLiteral("Anna"), QStringLiteral("Music"), QStringLiteral("Café CD"),
            QStringLiteral("D61A-E85B"), QStringLiteral("/Müsic, \"best\""), QStringLiteral("a </script><b>.mp3"),
            QStringLiteral("file"), QStringLiteral("Audio"), QStringLiteral("0"),
            QStringLiteral("1999-12-31T23:59:58") }));
    EXPECT_EQ(
        row(rows, QStringLiteral("résumé.doc")).mid(8), (QStringList { QStringLiteral("4294967295"), QString() }));
    EXPECT_EQ(row(rows, QStringLiteral("line\nbreak 'quoted'.txt")).at(9), QString()) << "a date that is no date";
    EXPECT_EQ(row(rows, QStringLiteral(" blank ")).at(4), QStringLiteral("/"));
    EXPECT_EQ(row(rows, QStringLiteral("empty")).mid(4),
        (QStringList { QStringLiteral("/Müsic, \"best\""), QStringLiteral("empty"), QStringLiteral("folder"), QString(),
            QString(), QString() }));
    QString deepPath;
    for (int depth = 0; depth < 40; ++depth) {
        deepPath += QStringLiteral("/level %1").arg(depth);
    }
    EXPECT_EQ(row(rows, QStringLiteral("deep.iso")).at(4), deepPath);
    EXPECT_EQ(row(rows, QStringLiteral("Track01.cda")).at(2), QStringLiteral("Audio"));
}

TEST_F(ExportTest, JsonParsesWithEveryFieldAndTheBytesOfNamesThatAreNotUtf8)
{
    QJsonParseError error;
    const QJsonDocument document
        = QJsonDocument::fromJson(QByteArray::fromStdString(exportTo(ExportFormat::Json)), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonArray discs = document[QStringLiteral("filesets")][0][QStringLiteral("discs")].toArray();
    ASSERT_EQ(discs.size(), 3);
    const QJsonObject first = discs.at(0).toObject();
    EXPECT_EQ(first[QStringLiteral("title")].toString(), QStringLiteral("Café CD"));
    EXPECT_EQ(first[QStringLiteral("titleBytes")].toString(), QStringLiteral("Q2Fm6SBDRA=="));
    EXPECT_EQ(first[QStringLiteral("comment")].toString(), QStringLiteral("€ comment"));
    EXPECT_EQ(first[QStringLiteral("scanned")].toString(), QStringLiteral("2003-05-01T12:30:44"));
    EXPECT_EQ(first[QStringLiteral("used")].toInteger(), 123456789);
    EXPECT_EQ(first[QStringLiteral("files")].toInteger(), 5);
    EXPECT_EQ(first[QStringLiteral("folders")].toInteger(), 42);
    const QJsonObject music = first[QStringLiteral("entries")][0].toObject();
    EXPECT_EQ(music[QStringLiteral("name")].toString(), QStringLiteral("Müsic, \"best\""));
    EXPECT_FALSE(music.contains(QStringLiteral("nameBytes"))) << "valid UTF-8 needs no bytes";
    const QJsonObject resume = music[QStringLiteral("entries")][1].toObject();
    EXPECT_EQ(resume[QStringLiteral("name")].toString(), QStringLiteral("résumé.doc"));
    std::string bytes;
    ASSERT_TRUE(decodeBase64(resume[QStringLiteral("nameBytes")].toString().toStdString(), bytes));
    EXPECT_EQ(bytes, "r\xE9sum\xE9.doc");
    EXPECT_EQ(resume[QStringLiteral("size")].toInteger(), 4294967295);
    EXPECT_TRUE(resume[QStringLiteral("modified")].isNull());
    EXPECT_EQ(music[QStringLiteral("entries")][2][QStringLiteral("comment")].toString(), QStringLiteral("a comment"));
    EXPECT_TRUE(discs.at(1)[QStringLiteral("scanned")].isNull());
    EXPECT_EQ(discs.at(1)[QStringLiteral("scanTime")].toInteger(), 0x01E00000);
    EXPECT_TRUE(discs.at(2)[QStringLiteral("audio")].toBool());
}

TEST_F(ExportTest, HtmlIsOnePageWhoseNamesCannotEndTheDataOrBreakOut)
{
    const std::string page = exportTo(ExportFormat::Html);
    // No file or address outside the page.
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find("http"), std::string::npos);
    const std::string open = "<script id=\"catalogs\" type=\"application/json\">";
    const std::size_t start = page.find(open);
    ASSERT_NE(start, std::string::npos);
    const std::size_t end = page.find("</script>", start);
    // The data element ends where the writer ended it: the name's "</script>" did not end it.
    const std::string data = page.substr(start + open.size(), end - start - open.size());
    EXPECT_EQ(data.find('<'), std::string::npos);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(data), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_EQ(document[QStringLiteral("filesets")][0][QStringLiteral("discs")][0][QStringLiteral("entries")][0]
                      [QStringLiteral("entries")][0][QStringLiteral("name")]
                          .toString(),
        QStringLiteral("a </script><b>.mp3"));
    // Line separators and ampersands stay data too.
    CatalogBuilder odd;
    odd.beginDisc({ .serial = 1, .title = "a&b" });
    odd.addFile("line\xE2\x80\xA8separator <!-- & -->");
    odd.endDisc();
    ASSERT_TRUE(odd.writeTo(m_folder.file("odd.ktb")));
    ASSERT_TRUE(exportPaths({ m_folder.file("odd.ktb") }, { ExportFormat::Html, false, {} }, m_folder.file("odd.html"))
                    .written);
    const std::string oddPage = readFileBytes(m_folder.file("odd.html"));
    const std::size_t oddStart = oddPage.find(open) + open.size();
    const std::string oddData = oddPage.substr(oddStart, oddPage.find("</script>", oddStart) - oddStart);
    EXPECT_EQ(oddData.find_first_of("<>&"), std::string::npos);
    EXPECT_EQ(oddData.find("\xE2\x80\xA8"), std::string::npos);
    const QJsonObject oddDisc = QJsonDocument::fromJson(
        QByteArray::fromStdString(oddData))[QStringLiteral("filesets")][0][QStringLiteral("discs")][0]
                                    .toObject();
    EXPECT_EQ(oddDisc[QStringLiteral("title")].toString(), QStringLiteral("a&b"));
    EXPECT_EQ(oddDisc[QStringLiteral("entries")][0][QStringLiteral("name")].toString(),
        QStringLiteral("line\u2028separator <!-- & -->"));

    // The page's own script follows the data, and the page ends.
    EXPECT_NE(page.find("<script>", end), std::string::npos);
    EXPECT_NE(page.rfind("</html>"), std::string::npos);
}

TEST_F(ExportTest, FilesetsFollowEachOtherInTheOrderGivenEachWithItsOwnFields)
{
    CatalogBuilder photos;
    photos.setOwner("Bob").setName("Photos");
    photos.beginDisc({ .serial = 7, .title = "Holiday" });
    photos.addFile("beach.jpg", 2000);
    photos.endDisc();
    ASSERT_TRUE(photos.writeTo(m_folder.file("Photos.ktb")));
    const std::string json = m_folder.file("both.json");
    ASSERT_TRUE(
        exportPaths({ m_folder.file("Photos.ktb"), m_catalog }, { ExportFormat::Json, false, {} }, json).written);
    const QJsonArray filesets
        = QJsonDocument::fromJson(QByteArray::fromStdString(readFileBytes(json)))[QStringLiteral("filesets")].toArray();
    ASSERT_EQ(filesets.size(), 2);
    EXPECT_EQ(filesets.at(0)[QStringLiteral("owner")].toString(), QStringLiteral("Bob"));
    EXPECT_EQ(filesets.at(0)[QStringLiteral("discs")].toArray().size(), 1);
    EXPECT_EQ(filesets.at(1)[QStringLiteral("file")].toString(), QStringLiteral("Music.ktb"));
    EXPECT_EQ(filesets.at(1)[QStringLiteral("discs")].toArray().size(), 3);

    const std::string csv = m_folder.file("both.csv");
    ASSERT_TRUE(exportPaths({ m_folder.file("Photos.ktb"), m_catalog }, { ExportFormat::Csv, false, {} }, csv).written);
    const QJsonArray rows = pythonCsvRows(csv);
    EXPECT_EQ(row(rows, QStringLiteral("beach.jpg")).mid(0, 4),
        (QStringList {
            QStringLiteral("Bob"), QStringLiteral("Photos"), QStringLiteral("Holiday"), QStringLiteral("0000-0007") }));
    EXPECT_EQ(row(rows, QStringLiteral(" blank ")).mid(0, 2),
        (QStringList { QStringLiteral("Anna"), QStringLiteral("Music") }));
    // An export is an ordinary file of the user's, not a private temporary one.
    struct stat status { };
    ASSERT_EQ(::stat(csv.c_str(), &status), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST(TextExport, DrawsTheLastEntryOfEachFolderAsTreeDoes)
{
    TempFolder folder;
    CatalogBuilder catalog;
    catalog.setOwner("Anna").setName("Music");
    catalog.beginDisc({ .serial = 0x1234, .title = "CD 1" });
    catalog.beginFolder("A");
    catalog.beginFolder("B");
    catalog.addFile("1");
    catalog.endFolder();
    catalog.addFile("2");
    catalog.endFolder();
    catalog.beginFolder("C");
    catalog.addFile("3");
    catalog.endFolder();
    catalog.addFile("hidden by --folders-only");
    catalog.endDisc();
    ASSERT_TRUE(catalog.writeTo(folder.file("c.ktb")));
    ExportSelection foldersOnly;
    foldersOnly.foldersOnly = true;
    ASSERT_TRUE(exportPaths({ folder.file("c.ktb") }, { ExportFormat::Text, false, foldersOnly }, folder.file("t.txt"))
                    .written);
    EXPECT_EQ(readFileBytes(folder.file("t.txt")),
        "Anna: Music\n"
        "CD 1 [0000-1234]\n"
        "\u251C\u2500\u2500 A\n"
        "\u2502   \u2514\u2500\u2500 B\n"
        "\u2514\u2500\u2500 C\n");
}

TEST_F(ExportTest, DepthFoldersOnlyAndOneFolderChooseTheRowsWritten)
{
    const auto run = [this](ExportSelection selection) {
        EXPECT_TRUE(
            exportPaths({ m_catalog }, { ExportFormat::Csv, false, selection }, m_folder.file("sel.csv")).written);
        const QJsonArray rows = pythonCsvRows(m_folder.file("sel.csv"));
        QStringList names;
        for (qsizetype i = 1; i < rows.size(); ++i) {
            names.append(rows.at(i)[5].toString());
        }
        return names;
    };
    ExportSelection depth;
    depth.depth = 1;
    EXPECT_EQ(run(depth),
        (QStringList { QStringLiteral("Müsic, \"best\""), QStringLiteral("level 0"), QStringLiteral(" blank "),
            QStringLiteral("Track01.cda") }));
    ExportSelection folders;
    folders.foldersOnly = true;
    folders.depth = 2;
    EXPECT_EQ(run(folders),
        (QStringList { QStringLiteral("Müsic, \"best\""), QStringLiteral("empty"), QStringLiteral("level 0"),
            QStringLiteral("level 1") }));
    // The folder "Müsic" is at offset 256 + 165 (the first disc's record).
    ExportSelection one;
    one.folder = 256 + CatalogBuilder::DiscRecordBytes;
    EXPECT_EQ(run(one),
        (QStringList { QStringLiteral("Müsic, \"best\""), QStringLiteral("a </script><b>.mp3"),
            QStringLiteral("résumé.doc"), QStringLiteral("line\nbreak 'quoted'.txt"), QStringLiteral("empty") }));
}

TEST_F(ExportTest, AFailedOrCancelledExportLeavesNoFileAndTheOldFileAsItWas)
{
    const std::string target = m_folder.file("keep.csv");
    ASSERT_TRUE(writeFileBytes(target, "older"));
    {
        CompanionCatalogs catalogs;
        catalogs.addPath(qPath(m_catalog));
        const auto walk = makeExportWalk({ { 0, catalogs.at(0).fileset, {} } });
        walk->requestStop();
        ExportFile file(qPath(target));
        const ExportResult result = exportCatalogs(catalogs, *walk, {}, file);
        EXPECT_TRUE(result.cancelled);
        EXPECT_FALSE(result.written);
    }
    // A damaged catalog fails the whole export.
    CatalogBuilder damaged = hardCatalog();
    damaged.rawByte(9);
    ASSERT_TRUE(damaged.writeTo(m_folder.file("damaged.ktb")));
    const ExportResult failed = exportPaths({ m_catalog, m_folder.file("damaged.ktb") }, {}, target);
    EXPECT_FALSE(failed.written);
    EXPECT_TRUE(failed.error.contains(QStringLiteral("damaged.ktb"))) << failed.error.toStdString();
    EXPECT_EQ(readFileBytes(target), "older");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}), 3) << "no temporary file left";

    // A catalog is never replaced by a listing of itself.
    const ExportResult overCatalog = exportPaths({ m_catalog }, {}, m_catalog);
    EXPECT_FALSE(overCatalog.written);
    EXPECT_EQ(readFileBytes(m_catalog), hardCatalog().bytes());

    // A folder that cannot be written is named in the error.
    const std::string locked = m_folder.file("locked/");
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0500);
    if (::access(locked.c_str(), W_OK) != 0) { // root writes anyway
        const ExportResult refused = exportPaths({ m_catalog }, {}, locked + "x.csv");
        EXPECT_FALSE(refused.written);
        EXPECT_TRUE(refused.error.startsWith(qPath(m_folder.file("locked")))) << refused.error.toStdString();
    }
    ::chmod(locked.c_str(), 0700);
}

TEST_F(ExportTest, AKilledExportLeavesNothingThatOutlivesTheNextExport)
{
    const std::string target = m_folder.file("list.csv");
    for (int kill = 0; kill < 2; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ExportFile file(qPath(target));
            if (file.open()) {
                file.buffer() += std::string(1 << 20, 'x');
                file.flush();
                file.buffer() += "more";
                file.flush();
            }
            ::raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    // What a killed export left on a file system without unnamed files, and what it did not leave: a
    // file an export that runs holds, other names.
    ASSERT_TRUE(writeFileBytes(m_folder.file(".list.csv.xYz789"), "half"));
    ASSERT_TRUE(writeFileBytes(m_folder.file(".list.csv.Running"), ""));
    const int held = ::open(m_folder.file(".list.csv.Ab12cd").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ASSERT_TRUE(writeFileBytes(m_folder.file(".other.csv.abcdef"), ""));

    ASSERT_TRUE(exportPaths({ m_catalog }, { ExportFormat::Csv, false, {} }, target).written);
    ::close(held);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
        (std::vector<std::string> {
            ".list.csv.Ab12cd", ".list.csv.Running", ".other.csv.abcdef", "Music.ktb", "list.csv" }));
}

TEST_F(ExportTest, TheCsvForSpreadsheetsNeutralisesFieldsThatWouldRunAsFormulas)
{
    CatalogBuilder catalog;
    catalog.setOwner("@Anna").setName("-Music");
    catalog.beginDisc({ .serial = 1, .title = "+Disc" });
    catalog.beginFolder("=HYPERLINK(\"x\")");
    catalog.addFile("=SUM(1+1).csv", 3);
    catalog.endFolder();
    catalog.addFile("a=b", 4);
    catalog.endDisc();
    ASSERT_TRUE(catalog.writeTo(m_catalog));
    const std::string plain = m_folder.file("plain.csv");
    const std::string forSpreadsheets = m_folder.file("spreadsheet.csv");
    ASSERT_TRUE(exportPaths({ m_catalog }, { ExportFormat::Csv, false, {} }, plain).written);
    ASSERT_TRUE(exportPaths({ m_catalog }, { ExportFormat::Csv, true, {} }, forSpreadsheets).written);
    const std::string header = "Owner,Fileset,Disc,Serial,Path,Name,Entry,Type,Size,Modified\r\n";
    EXPECT_EQ(readFileBytes(plain),
        header
            + "@Anna,-Music,+Disc,0000-0001,/,\"=HYPERLINK(\"\"x\"\")\",folder,,,\r\n"
              "@Anna,-Music,+Disc,0000-0001,\"/=HYPERLINK(\"\"x\"\")\",=SUM(1+1).csv,file,Document,3,\r\n"
              "@Anna,-Music,+Disc,0000-0001,/,a=b,file,Other,4,\r\n");
    EXPECT_EQ(readFileBytes(forSpreadsheets),
        "\xEF\xBB\xBF" + header
            + "'@Anna,'-Music,'+Disc,0000-0001,/,\"'=HYPERLINK(\"\"x\"\")\",folder,,,\r\n"
              "'@Anna,'-Music,'+Disc,0000-0001,\"/=HYPERLINK(\"\"x\"\")\",'=SUM(1+1).csv,file,Document,3,\r\n"
              "'@Anna,'-Music,'+Disc,0000-0001,/,a=b,file,Other,4,\r\n");
}

TEST_F(ExportTest, AFullDiscIsAClearErrorAndLeavesNoFile)
{
    // A file size limit stands in for a full disc: the writes past it fail as they would.
    struct rlimit before { };
    ::getrlimit(RLIMIT_FSIZE, &before);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const ExportResult full = exportPaths({ m_catalog }, { ExportFormat::Html, false, {} }, m_folder.file("page.html"));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(full.written);
    EXPECT_EQ(full.error, qPath(m_folder.file("page.html")) + QStringLiteral(": File too large"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.path()), {}), 1) << "only the catalog";
}

TEST(FileKindCache, EveryExtensionGetsItsOwnKindWhateverItsCaseOrTableSlot)
{
    std::mt19937 random(11);
    std::vector<std::string> names = { "a.mp3", "b.MP3", "c.Mp3", "d.jpg", "e.iso", "f.zip", "g.exe", "h.pdf", "i",
        ".profile", "j.tar.gz", "k.\xC4VI", "l.avi" };
    // Many extensions, so that several share a slot of the table.
    for (int i = 0; i < 3000; ++i) {
        std::string extension(1 + random() % 5, 'a');
        for (char& c : extension) {
            c = "abcdefgjkmpstuvwxzMPJ3"[random() % 22];
        }
        names.push_back("n." + extension);
    }
    FileKindCache cache;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& name : names) {
            const QString expected = fileKindName(fileKindOfExtension(decodeCatalogText(fileExtension(name))));
            ASSERT_EQ(QString::fromStdString(cache.kindOf(name)), expected) << name;
        }
    }
}

TEST(ExportText, CatalogTextsComeOutAsTheProgramDecodesThemAndDatesReadBack)
{
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 12, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(round % 2 == 0 ? random() % 256 : 0xC0 + random() % 64 - (random() % 2) * 0x40);
        }
        std::string utf8;
        appendCatalogUtf8(utf8, bytes);
        ASSERT_EQ(QString::fromStdString(utf8), decodeCatalogText(bytes)) << round;
        std::string base64;
        appendBase64(base64, bytes);
        std::string back;
        ASSERT_TRUE(decodeBase64(base64, back));
        ASSERT_EQ(back, bytes);
    }
    for (const std::uint32_t packed :
        { CatalogBuilder::dosDateTime(1980, 1, 1), CatalogBuilder::dosDateTime(2107, 12, 31, 23, 59, 58),
            CatalogBuilder::dosDateTime(2000, 2, 29, 1, 2, 4) }) {
        std::string text;
        ASSERT_TRUE(appendDosDateTime(text, packed));
        std::uint32_t back = 0;
        ASSERT_TRUE(parseDosDateTime(text, back)) << text;
        EXPECT_EQ(back, packed);
    }
    std::uint32_t ignored = 0;
    for (const char* text :
        { "2001-02-29T00:00:00", "1979-12-31T23:59:58", "2001-01-01T00:00:01", "2001-01-01 00:00:00" }) {
        EXPECT_FALSE(parseDosDateTime(text, ignored)) << text;
    }
}

} // namespace
