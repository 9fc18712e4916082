// The name, size and date tests of TCompare, once through the public matchers and once through an
// iteration (which prepares its pattern once and scans names in the view), so both agree row by row.
#include "tests/engine/catalogexercise.h"
#include "tests/engine/enginefixture.h"

#include <random>

namespace {

struct MatchCase {
    const char* pattern;
    std::uint32_t flags; ///< TCompare flags besides KTB_CMP_NAME
    const char* name;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const MatchCase& c)
{
    return out << "'" << c.pattern << "' flags " << c.flags << " against '" << c.name << "'";
}

const MatchCase s_nameCases[] = {
    // Asterisks at the ends.
    { "*.TXT", 0, "README.TXT", true },
    { "*.TXT", 0, "TXT.README", false },
    { "READ*", 0, "README.TXT", true },
    { "READ*", 0, "XREADME", false },
    { "*ME.T*", 0, "README.TXT", true },
    { "*ME.T*", 0, "READ.ME", false },
    { "*A", 0, "A", true },
    { "A*", 0, "A", true },
    { "*A*", 0, "A", true },
    { "*AB*", 0, "A", false },
    { "*.mp3", 0, "a.mp3", true },
    { "*.mp3", 0, "a.mp3.bak", false },
    { "track*", 0, "Track01.wav", true },
    { "track*", 0, "MyTrack.wav", false },
    // A plain word is a substring; an asterisk inside is an ordinary character.
    { "EAD", 0, "README.TXT", true },
    { "mp3", 0, "Song.MP3", true },
    { "mp3", 0, "mp3 collection", true },
    { "mp3", 0, "mp", false },
    { "A*B", 0, "xA*By", true },
    { "A*B", 0, "AxB", false },
    { "a*b*", 0, "A*Bcd", true },
    { "a*b*", 0, "AxBcd", false },
    { "*a*b", 0, "xxA*B", true },
    { "*a*b", 0, "xxAyB", false },
    { "longer than the name", 0, "short", false },
    // Empty and asterisks-only patterns match every name.
    { "", 0, "anything", true },
    { "", 0, "", true },
    { "*", 0, "anything", true },
    { "**", 0, "x", true },
    { "***", 0, "", true },
    // Letter case: folded for a to z only, unless KTB_CMP_CASE.
    { "*.txt", 0, "readme.TXT", true },
    { "*.txt", KTB_CMP_CASE, "readme.TXT", false },
    { "*.TXT", KTB_CMP_CASE, "readme.TXT", true },
    { "Read", KTB_CMP_CASE, "README", false },
    { "[", 0, "{", false },
    { "@", 0, "`", false },
    { "\xC3\xA9", 0, "\xC3\x89", false },
    { "\xE9", 0, "\xC9", false },
    // Whole names.
    { "readme.txt", KTB_CMP_WHOLENAME, "README.TXT", true },
    { "readme", KTB_CMP_WHOLENAME, "README.TXT", false },
    { "readme.txt", KTB_CMP_WHOLENAME | KTB_CMP_CASE, "README.TXT", false },
    { "*.txt", KTB_CMP_WHOLENAME, "x.txt", false },
    { "*.txt", KTB_CMP_WHOLENAME, "*.TXT", true },
    // A search text with non-ASCII characters matches names written as UTF-8 and as Windows-1252.
    { "caf\xC3\xA9", 0, "CAF\xC3\xA9.txt", true },
    { "caf\xC3\xA9", 0, "CAF\xE9.txt", true },
    { "caf\xE9", 0, "Caf\xC3\xA9", true },
    { "*\xE9", 0, "caf\xC3\xA9", true },
    { "\xE2\x82\xAC*", 0, "\x80 100", true },
    { "\xE2\x82\xAC*", 0, "\xE2\x82\xAC 100", true },
    { "\xC3\xA9t\xC3\xA9", KTB_CMP_WHOLENAME, "\xE9t\xE9", true },
    { "\xE9t\xE9", KTB_CMP_WHOLENAME, "\xC3\xA9t\xC3\xA9x", false },
    // With KTB_CMP_UNICODE a pattern with non-ASCII letters folds letter case in every script, in both
    // encodings of names and patterns, under each rule.
    { "CAF\xC3\x89", KTB_CMP_UNICODE, "caf\xC3\xA9.png", true },
    { "CAF\xC3\x89", KTB_CMP_UNICODE, "caf\xE9.png", true },
    { "CAF\xC9", KTB_CMP_UNICODE, "Caf\xC3\xA9", true },
    { "\xC3\xBCn\xC3\xAF"
      "code",
        KTB_CMP_UNICODE,
        "\xC3\x9Cn\xC3\x8F"
        "code.txt",
        true },
    { "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", KTB_CMP_UNICODE,
        "\xD0\xBC\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90", true },
    { "caf\xC3\xA9", KTB_CMP_UNICODE, "cafe", false },
    { "\xC3\xA9", KTB_CMP_UNICODE, "E", false },
    { "*\xC3\x89T\xC3\x89", KTB_CMP_UNICODE, "l'\xC3\xA9t\xC3\xA9", true },
    { "*\xC3\x89T\xC3\x89", KTB_CMP_UNICODE, "\xC3\xA9t\xC3\xA9 2", false },
    { "\xC3\x89T\xC3\x89*", KTB_CMP_UNICODE, "\xC3\xA9t\xC3\xA9 2", true },
    { "\xC3\x89T\xC3\x89*", KTB_CMP_UNICODE, "l'\xC3\xA9t\xC3\xA9", false },
    { "\xC3\xA9t\xC3\xA9", KTB_CMP_UNICODE | KTB_CMP_WHOLENAME, "\xC9T\xC9", true },
    { "\xC3\xA9t\xC3\xA9", KTB_CMP_UNICODE | KTB_CMP_WHOLENAME, "\xC3\x89T\xC3\x89S", false },
    { "\xC3\xA9t\xC3\xA9", KTB_CMP_UNICODE | KTB_CMP_CASE, "\xC3\x89T\xC3\x89", false },
    // Folded forms of another length: capital sharp s (3 bytes) and sharp s (2), the Ohm sign (3) and
    // omega (2), the Kelvin sign (3) and k (1); a long s folds to s, so the name holds no "S".
    { "STRA\xE1\xBA\x9E"
      "E",
        KTB_CMP_UNICODE,
        "stra\xC3\x9F"
        "e",
        true },
    { "\xCE\xA9", KTB_CMP_UNICODE, "1 \xE2\x84\xA6", true },
    { "\xE2\x84\xAA"
      "elvin",
        KTB_CMP_UNICODE, "KELVIN", true },
    { "STRA\xC3\x9F"
      "E",
        KTB_CMP_UNICODE,
        "\xC5\xBFtra\xC3\x9F"
        "e",
        true },
};

class NameMatchTest : public EngineTest, public ::testing::WithParamInterface<MatchCase> { };

TEST_P(NameMatchTest, MatchName)
{
    const MatchCase& c = GetParam();
    TCompare criteria;
    criteria.Name = c.pattern;
    criteria.Flags = KTB_CMP_NAME | c.flags;
    EXPECT_EQ(ktbMatchName(c.name, criteria), c.matches);
    // The same test a second time, with the pattern already upper-cased in place.
    EXPECT_EQ(ktbMatchName(c.name, criteria), c.matches);
}

TEST_P(NameMatchTest, IterationFindsTheSameFoldersAndFiles)
{
    const MatchCase& c = GetParam();
    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1, .title = "disc" });
    catalog.beginFolder(c.name);
    catalog.endFolder();
    catalog.addFile(c.name, 1);
    catalog.endDisc();
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    TCompare criteria;
    criteria.Name = c.pattern;
    criteria.Flags = KTB_CMP_NAME | c.flags;
    const Iteration result = iterate(handle, KTB_FIND_NODISCS, 256, &criteria);
    EXPECT_EQ(result.reported.size(), c.matches ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, NameMatchTest, ::testing::ValuesIn(s_nameCases));

TEST(WildcardMatchTest, IsCaseSensitiveAndSpecialOnlyAtTheEnds)
{
    EXPECT_TRUE(ktbWildcardMatch("", "x"));
    EXPECT_TRUE(ktbWildcardMatch("*", "x"));
    EXPECT_TRUE(ktbWildcardMatch("*.TXT", "A.TXT"));
    EXPECT_FALSE(ktbWildcardMatch("*.txt", "A.TXT"));
    EXPECT_TRUE(ktbWildcardMatch("a*b", "xa*bx"));
    EXPECT_FALSE(ktbWildcardMatch("a*b", "axb"));
}

struct FileCase {
    const char* what;
    std::uint32_t flags;
    std::uint32_t size;
    std::uint32_t date;
    bool matches;
};

std::ostream& operator<<(std::ostream& out, const FileCase& c) { return out << c.what; }

// The criteria hold Size 100 and Date 2003-05-01 12:00:00.
const std::uint32_t s_date = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 0, 0);
const std::uint32_t s_later = CatalogBuilder::dosDateTime(2003, 5, 1, 12, 0, 2);
const std::uint32_t s_earlier = CatalogBuilder::dosDateTime(2003, 4, 30, 23, 59, 58);
// From 2044 on the date's top bit is set: compared as signed values such dates come before 1980.
const std::uint32_t s_2050 = CatalogBuilder::dosDateTime(2050, 1, 1, 0, 0, 0);

const FileCase s_fileCases[] = {
    { "no size or date flags pass", 0, 5, 0, true },
    { "greater rejects equal", KTB_CMP_SIZE_GREATER, 100, s_date, false },
    { "greater accepts more", KTB_CMP_SIZE_GREATER, 101, s_date, true },
    { "greater is unsigned", KTB_CMP_SIZE_GREATER, 0x80000000, s_date, true },
    { "smaller rejects equal", KTB_CMP_SIZE_SMALLER, 100, s_date, false },
    { "smaller accepts less", KTB_CMP_SIZE_SMALLER, 99, s_date, true },
    { "equal size", KTB_CMP_SIZE_EQ, 100, s_date, true },
    { "unequal size", KTB_CMP_SIZE_EQ, 101, s_date, false },
    { "greater decides before smaller", KTB_CMP_SIZE_GREATER | KTB_CMP_SIZE_SMALLER, 101, s_date, true },
    { "greater decides before equal", KTB_CMP_SIZE_GREATER | KTB_CMP_SIZE_EQ, 100, s_date, false },
    { "before rejects equal", KTB_CMP_DATE_BEFORE, 1, s_date, false },
    { "before accepts earlier", KTB_CMP_DATE_BEFORE, 1, s_earlier, true },
    { "after rejects equal", KTB_CMP_DATE_AFTER, 1, s_date, false },
    { "after accepts later", KTB_CMP_DATE_AFTER, 1, s_later, true },
    { "dates are signed", KTB_CMP_DATE_AFTER, 1, s_2050, false },
    { "equal date", KTB_CMP_DATE_EQ, 1, s_date, true },
    { "unequal date", KTB_CMP_DATE_EQ, 1, s_later, false },
    { "after decides before before", KTB_CMP_DATE_AFTER | KTB_CMP_DATE_BEFORE, 1, s_later, true },
    { "date and size must both pass", KTB_CMP_DATE_EQ | KTB_CMP_SIZE_GREATER, 100, s_date, false },
    { "date and size both passing", KTB_CMP_DATE_EQ | KTB_CMP_SIZE_SMALLER, 10, s_date, true },
};

class FileMatchTest : public EngineTest, public ::testing::WithParamInterface<FileCase> { };

TEST_P(FileMatchTest, MatchFileAndIterationAgree)
{
    const FileCase& c = GetParam();
    TCompare criteria;
    criteria.Size = 100;
    criteria.Date = s_date;
    criteria.Flags = c.flags;
    char name[] = "f";
    char comment[] = "";
    const TKTBFileData file { c.size, c.date, name, comment, 1, 0 };
    EXPECT_EQ(ktbMatchFile(file, &criteria), c.matches);
    EXPECT_TRUE(ktbMatchFile(file, nullptr));

    CatalogBuilder catalog;
    catalog.beginDisc({ .serial = 1 });
    catalog.beginFolder("folders are not tested by size or date");
    catalog.addFile("f", c.size, c.date);
    catalog.endFolder();
    catalog.endDisc();
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    const Iteration result = iterate(handle, KTB_FIND_NODISCS, 256, &criteria);
    EXPECT_EQ(result.reported.size(), c.matches ? 2u : 1u);
    EXPECT_EQ(result.bytes, c.matches ? c.size : 0u);
}

INSTANTIATE_TEST_SUITE_P(Table, FileMatchTest, ::testing::ValuesIn(s_fileCases));

TEST(FileMatchNameTest, NameIsTestedOnlyWithTheNameFlag)
{
    char name[] = "photo.jpg";
    char comment[] = "";
    const TKTBFileData file { 1, 0, name, comment, 9, 0 };
    TCompare criteria;
    criteria.Name = "*.txt";
    EXPECT_TRUE(ktbMatchFile(file, &criteria));
    criteria.Flags = KTB_CMP_NAME;
    EXPECT_FALSE(ktbMatchFile(file, &criteria));
    criteria.Name = "*.JPG";
    EXPECT_TRUE(ktbMatchFile(file, &criteria));
}

TEST_F(EngineTest, SearchOfALargeCatalogPassesNoMatchingNameOver)
{
    // Names of random bytes from a small set, so that the patterns occur often, anywhere in a name,
    // across the places where the scan ahead for a pattern stops and resumes, and in both encodings.
    // A fifth of the files carry a comment of the same letters: a pattern there matches nothing.
    const std::string letters[] = { "a", "b", "x", "A", "B", ".", " ", "\xE9", "\xC3\xA9", "\xC3\x89", "mp3" };
    std::mt19937 random(7);
    auto name = [&] {
        std::string text;
        for (std::size_t length = random() % 14; length > 0; --length) {
            text += letters[random() % std::size(letters)];
        }
        return text;
    };
    CatalogBuilder catalog;
    for (int disc = 0; disc < 8; ++disc) {
        catalog.beginDisc({ .serial = 1u + disc, .title = name() });
        for (int folder = 0; folder < 40; ++folder) {
            catalog.beginFolder(name());
            for (int file = 0; file < 25; ++file) {
                const std::string fileName = name();
                const auto size = static_cast<std::uint32_t>(random() % 200);
                const std::uint32_t date = s_date + random() % 3 - 1;
                catalog.addFile(fileName, size, date, random() % 5 == 0 ? name() + name() : std::string());
            }
            catalog.endFolder();
        }
        catalog.endDisc();
    }
    ASSERT_GT(catalog.size(), 10 * 16384u);
    TKTBHandle* handle = open(catalog);
    ASSERT_NE(handle, nullptr);
    const char* patterns[] = { "ab", "*ab", "ab*", "*a.b*", "x", "mp3", "*mp3", "\xC3\xA9", "\xE9*", "*\xC3\x89", "A B",
        "nothing like it", "a*b" };
    const std::uint32_t flagSets[] = { KTB_CMP_NAME, KTB_CMP_NAME | KTB_CMP_CASE, KTB_CMP_NAME | KTB_CMP_WHOLENAME,
        KTB_CMP_NAME | KTB_CMP_SIZE_GREATER, 0 };
    for (const char* pattern : patterns) {
        for (const std::uint32_t flags : flagSets) {
            TCompare criteria;
            criteria.Name = pattern;
            criteria.Flags = flags;
            criteria.Size = 100;
            EXPECT_EQ(compareCriteriaWalk(handle, 0, 256, criteria), "") << pattern << " flags " << flags;
        }
    }
}

} // namespace

TEST(FoldNameTest, FoldedFormsAreEqualExactlyWhenTheSearchMatchesTheWholeName)
{
    // The search text is UTF-8, as typed; names are as catalogs hold them.
    const std::pair<const char*, const char*> pairs[] = { { "Readme.TXT", "README.txt" }, { "readme", "readme " },
        { "caf\xC3\xA9.mp3", "CAF\xC3\xA9.MP3" }, { "caf\xE9.mp3", "caf\xC3\xA9.mp3" }, { "caf\xC3\xA9", "cafe" },
        { "\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9" }, { "a*b", "A*B" }, { "a*b", "axb" }, { "[x]", "[X]" },
        { "x", "y" } };
    for (const auto& [name, text] : pairs) {
        TCompare whole;
        whole.Name = text;
        whole.Flags = KTB_CMP_NAME | KTB_CMP_WHOLENAME | KTB_CMP_UNICODE; // as the search sets them
        std::string foldedName;
        std::string foldedText;
        ktbFoldName(name, foldedName);
        ktbFoldName(text, foldedText);
        EXPECT_EQ(foldedName == foldedText, ktbMatchName(name, whole)) << "'" << name << "' and '" << text << "'";
    }
}
