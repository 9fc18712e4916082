// The rules the figures are made by: a file's extension and kind, size classes, the parts of the
// extension chart, and CSV records.
#include "core/statistics/collectionstatistics.h"
#include "core/text/csvtext.h"
#include "core/text/filekind.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

namespace {

TEST(FileExtension, IsTheTextAfterTheLastDotWhenItLooksLikeOne)
{
    const std::pair<const char*, const char*> cases[] = {
        { "song.MP3", "MP3" },
        { "archive.tar.gz", "gz" },
        { "notes", "" },
        { ".profile", "" }, // a hidden file's dot starts its name
        { "..profile", "profile" },
        { "x.", "" },
        { "Vol. 2 live", "" }, // a dot inside a sentence
        { "a.fifteen-bytes-x", "fifteen-bytes-x" },
        { "a.sixteen-bytes-xy", "" },
        { "film.\xC4VI", "\xC4VI" },
    };
    for (const auto& [name, extension] : cases) {
        EXPECT_EQ(fileExtension(name), std::string_view(extension)) << name;
    }
}

TEST(FileKind, OwnTableBeforeTheMimeDatabaseInAnyLetterCase)
{
    // The MIME database calls .iso an application type and .exe too: our table decides those.
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("ISO")), FileKind::DiscImage);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("exe")), FileKind::Program);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("Zip")), FileKind::Archive);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("pdf")), FileKind::Document);
    // The rest by the MIME type's name: audio, video, image, and text as documents.
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("Mp3")), FileKind::Audio);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("mkv")), FileKind::Video);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("JPEG")), FileKind::Image);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("html")), FileKind::Document);
    EXPECT_EQ(fileKindOfExtension(QStringLiteral("qqqzx")), FileKind::Other);
    EXPECT_EQ(fileKindOfExtension(QString()), FileKind::Other);
}

TEST(SizeClasses, ZeroBelowOneKibibyteThenPowersOfTwoUpToFourGibibytes)
{
    const std::pair<std::uint32_t, int> cases[] = { { 0, 0 }, { 1, 1 }, { 1023, 1 }, { 1024, 2 }, { 2047, 2 },
        { 2048, 3 }, { 1u << 31, 23 }, { 0xFFFFFFFFu, 23 } };
    for (const auto& [size, expected] : cases) {
        EXPECT_EQ(sizeClass(size), expected) << size;
        EXPECT_LE(sizeClassStart(expected), size);
    }
    EXPECT_EQ(sizeClassName(11), QStringLiteral("512 KiB - 1 MiB"));
    EXPECT_EQ(sizeClassName(23), QStringLiteral("2 - 4 GiB"));
}

TEST(ExtensionChart, NamesTheLargestAndSumsTheRestAsOther)
{
    CollectionStatistics figures;
    figures.extensions = { { QStringLiteral("mp3"), FileKind::Audio, { 5, 100 } },
        { QString(), FileKind::Other, { 9, 10 } }, { QStringLiteral("jpg"), FileKind::Image, { 5, 300 } },
        { QStringLiteral("avi"), FileKind::Video, { 1, 900 } } };
    const auto labels = [](const std::vector<ChartPart>& parts) {
        QStringList list;
        for (const ChartPart& part : parts) {
            list << part.label + QLatin1Char('=') + QString::number(part.value);
        }
        return list;
    };
    EXPECT_EQ(labels(topExtensions(figures, 2, FileMeasure::Files)),
        (QStringList { QStringLiteral("(none)=9"), QStringLiteral("jpg=5"), QStringLiteral("Other=6") }));
    EXPECT_EQ(labels(topExtensions(figures, 4, FileMeasure::Bytes)),
        (QStringList { QStringLiteral("avi=900"), QStringLiteral("jpg=300"), QStringLiteral("mp3=100"),
            QStringLiteral("(none)=10") }));
}

TEST(CsvRecord, QuotesFieldsThatWouldBreakTheRecord)
{
    EXPECT_EQ(csvRecord({ QStringLiteral("plain"), QString(), QStringLiteral("1,5"), QStringLiteral("say \"hi\""),
                  QStringLiteral("two\nlines"), QStringLiteral(" padded") }),
        QStringLiteral("plain,,\"1,5\",\"say \"\"hi\"\"\",\"two\nlines\",\" padded\""));
}

} // namespace
