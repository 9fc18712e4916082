// The INI file module: exact file bytes after writes, reads of hand-made files, refused writes.
#include "core/settings/inifile.h"

#include "tests/support/tempfolder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <sys/stat.h>

namespace {

QString qPath(const std::string& path) { return QString::fromStdString(path); }

class IniFileTest : public testing::Test {
protected:
    TempFolder m_folder;
    std::string m_path = m_folder.file("Settings.ini");
    IniFile m_file { qPath(m_path) };
};

TEST_F(IniFileTest, FirstWriteCreatesFileWithSectionAndCrLfLines)
{
    ASSERT_TRUE(m_file.setValue(u"Settings", u"FilesetFolder", QStringLiteral("/data/Filesets/")));
    EXPECT_EQ(readFileBytes(m_path), "[Settings]\r\nFilesetFolder=/data/Filesets/\r\n");

    ASSERT_TRUE(m_file.setValue(u"Settings", u"Left", QStringLiteral("-8")));
    EXPECT_EQ(readFileBytes(m_path), "[Settings]\r\nFilesetFolder=/data/Filesets/\r\nLeft=-8\r\n");

    ASSERT_TRUE(m_file.setValue(u"Settings", u"FilesetFolder", QStringLiteral("/other/")));
    EXPECT_EQ(readFileBytes(m_path), "[Settings]\r\nFilesetFolder=/other/\r\nLeft=-8\r\n");
}

TEST_F(IniFileTest, MissingFileReadsAsEmptyAndIsNotCreatedByReads)
{
    EXPECT_EQ(m_file.value(u"Settings", u"Left"), std::nullopt);
    EXPECT_EQ(m_file.value(u"Settings", u"Left", QStringLiteral("7")), QStringLiteral("7"));
    EXPECT_FALSE(pathExists(m_path));
}

TEST_F(IniFileTest, WriteOverFolderIsRefusedAndChangesNothing)
{
    ASSERT_EQ(::mkdir(m_path.c_str(), 0755), 0);
    ASSERT_TRUE(writeFileBytes(m_path + "/inside", "kept"));

    EXPECT_FALSE(m_file.setValue(u"Settings", u"Left", QStringLiteral("1")));
    EXPECT_EQ(m_file.value(u"Settings", u"Left"), std::nullopt);
    EXPECT_EQ(readFileBytes(m_path + "/inside"), "kept");
}

TEST_F(IniFileTest, WriteIntoMissingFolderIsRefused)
{
    IniFile file(qPath(m_folder.file("no such folder/Settings.ini")));
    EXPECT_FALSE(file.setValue(u"Settings", u"Left", QStringLiteral("1")));
}

TEST_F(IniFileTest, WriteThroughSymbolicLinkKeepsTheLink)
{
    // A settings file kept elsewhere through a link must stay linked, not be replaced by a copy.
    const std::string target = m_folder.file("real.ini");
    ASSERT_TRUE(writeFileBytes(target, "[Settings]\r\nTop=1\r\n"));
    ASSERT_TRUE(QFile::link(qPath(target), qPath(m_path)));

    ASSERT_TRUE(m_file.setValue(u"Settings", u"Top", QStringLiteral("2")));
    EXPECT_TRUE(QFileInfo(qPath(m_path)).isSymLink());
    EXPECT_EQ(readFileBytes(target), "[Settings]\r\nTop=2\r\n");
}

// A write into a file made by hand or by another program: only the one line changes or is added.
struct EditCase {
    const char* name;
    std::string before;
    const char16_t* section;
    const char16_t* key;
    const char* value;
    std::string after;
};

// Tests are listed by the name of their case.
void PrintTo(const EditCase& value, std::ostream* out) { *out << value.name; }

class IniFileEditTest : public IniFileTest, public testing::WithParamInterface<EditCase> { };

TEST_P(IniFileEditTest, ChangesOnlyTheOneLine)
{
    const EditCase& edit = GetParam();
    ASSERT_TRUE(writeFileBytes(m_path, edit.before));
    ASSERT_TRUE(m_file.setValue(edit.section, edit.key, QString::fromUtf8(edit.value)));
    EXPECT_EQ(readFileBytes(m_path), edit.after);
}

const std::string s_handMade = "; written by hand\n"
                               "[Other]\n"
                               "Left=1\n"
                               "\n"
                               "[settings]\n"
                               "left = 3\n"
                               "Top=4\n"
                               "\n"
                               "[Last]\n"
                               "x=y";

INSTANTIATE_TEST_SUITE_P(Edits, IniFileEditTest,
    testing::Values(EditCase { "KeyOfOtherSpellingKeepsItsSpelling", s_handMade, u"Settings", u"LEFT", "10",
                        "; written by hand\n[Other]\nLeft=1\n\n[settings]\nleft=10\nTop=4\n\n[Last]\nx=y" },
        EditCase { "NewKeyGoesAfterLastLineOfSection", s_handMade, u"Settings", u"Width", "9",
            "; written by hand\n[Other]\nLeft=1\n\n[settings]\nleft = 3\nTop=4\nWidth=9\r\n\n[Last]\nx=y" },
        EditCase {
            "NewSectionAtEndOfFileWithoutLineEnd", s_handMade, u"New", u"k", "v", s_handMade + "\r\n[New]\r\nk=v\r\n" },
        EditCase { "LastLineWithoutLineEndGetsOne", s_handMade, u"last", u"z", "1", s_handMade + "\r\nz=1\r\n" },
        EditCase { "ChangedLastLineKeepsHavingNoLineEnd", s_handMade, u"Last", u"X", "new",
            "; written by hand\n[Other]\nLeft=1\n\n[settings]\nleft = 3\nTop=4\n\n[Last]\nx=new" },
        EditCase { "FirstOfTwoEqualKeysChanges", "[Settings]\r\nTop=1\r\nTop=2\r\n", u"Settings", u"Top", "3",
            "[Settings]\r\nTop=3\r\nTop=2\r\n" },
        EditCase { "KeyBeforeAnySectionIsNotTheSectionsKey", "Top=1\r\n[Settings]\r\n", u"Settings", u"Top", "2",
            "Top=1\r\n[Settings]\r\nTop=2\r\n" },
        EditCase { "CommentedKeyStays", "[Settings]\r\n;Top=1\r\n", u"Settings", u"Top", "2",
            "[Settings]\r\n;Top=1\r\nTop=2\r\n" },
        EditCase { "ByteOrderMarkKept", "\xEF\xBB\xBF[Settings]\r\nTop=1\r\n", u"Settings", u"Top", "2",
            "\xEF\xBB\xBF[Settings]\r\nTop=2\r\n" },
        EditCase { "EmptyFile", "", u"Settings", u"Top", "2", "[Settings]\r\nTop=2\r\n" },
        EditCase { "EmptyValue", "[Settings]\r\nTop=1\r\n", u"Settings", u"Top", "", "[Settings]\r\nTop=\r\n" },
        EditCase { "LineBreaksInValueBecomeBlanks", "", u"Settings", u"SearchString", "a\r\nLeft=5\nb",
            "[Settings]\r\nSearchString=a  Left=5 b\r\n" },
        EditCase { "BlanksAtTheEndsAreQuoted", "", u"Settings", u"SearchString", " wav ",
            "[Settings]\r\nSearchString=\" wav \"\r\n" },
        EditCase { "QuotedValueIsQuotedAgain", "", u"Settings", u"SearchString", "\"x\"",
            "[Settings]\r\nSearchString=\"\"x\"\"\r\n" },
        EditCase { "BackslashesStayAsTheyAre", "", u"Settings", u"CurrentPath", "Anna\\Music\\",
            "[Settings]\r\nCurrentPath=Anna\\Music\\\r\n" }));

// Reads of files as people and other programs write them.
struct ReadCase {
    const char* name;
    std::string content;
    const char16_t* section;
    const char16_t* key;
    std::optional<const char*> expected;
};

void PrintTo(const ReadCase& value, std::ostream* out) { *out << value.name; }

class IniFileReadTest : public IniFileTest, public testing::WithParamInterface<ReadCase> { };

TEST_P(IniFileReadTest, ReadsTheValue)
{
    const ReadCase& read = GetParam();
    ASSERT_TRUE(writeFileBytes(m_path, read.content));
    const std::optional<QString> value = m_file.value(read.section, read.key);
    if (!read.expected) {
        EXPECT_EQ(value, std::nullopt);
        return;
    }
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->toStdString(), *read.expected);
}

INSTANTIATE_TEST_SUITE_P(Reads, IniFileReadTest,
    testing::Values(ReadCase { "CrLf", "[Settings]\r\nLeft=5\r\n", u"Settings", u"Left", "5" },
        ReadCase { "LfOnlyNoFinalLineEnd", "[Settings]\nTop=1\nLeft=5", u"Settings", u"Left", "5" },
        ReadCase { "CaseOfSectionAndKey", "[SETTINGS]\r\nleft=5\r\n", u"Settings", u"Left", "5" },
        ReadCase { "BlanksAroundKeyAndValue", "[Settings]\r\n  Left \t=  5 \r\n", u"Settings", u"Left", "5" },
        ReadCase { "BlanksAroundSection", " [ Settings ] \r\nLeft=5\r\n", u"Settings", u"Left", "5" },
        ReadCase { "DoubleQuotesRemoved", "[Settings]\r\nS=\" wav \"\r\n", u"Settings", u"S", " wav " },
        ReadCase { "SingleQuotesRemoved", "[Settings]\r\nS='x'\r\n", u"Settings", u"S", "x" },
        ReadCase { "UnmatchedQuoteKept", "[Settings]\r\nS=\"x\r\n", u"Settings", u"S", "\"x" },
        ReadCase { "EqualsSignInValue", "[Settings]\r\nS=a=b\r\n", u"Settings", u"S", "a=b" },
        ReadCase { "EmptyValue", "[Settings]\r\nS=\r\n", u"Settings", u"S", "" },
        ReadCase { "FirstOfTwoEqualKeys", "[Settings]\r\nS=1\r\nS=2\r\n", u"Settings", u"S", "1" },
        ReadCase { "ByteOrderMark", "\xEF\xBB\xBF[Settings]\r\nS=1\r\n", u"Settings", u"S", "1" },
        ReadCase { "Utf8", "[Settings]\r\nS=Caf\xC3\xA9\r\n", u"Settings", u"S", "Caf\xC3\xA9" },
        ReadCase { "Windows1252", "[Settings]\r\nS=Caf\xE9 \x80\r\n", u"Settings", u"S", "Caf\xC3\xA9 \xE2\x82\xAC" },
        ReadCase { "Windows1252Unassigned", "[Settings]\r\nS=\x81\x8D\x8F\x90\x9D\r\n", u"Settings", u"S",
            "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D" },
        ReadCase { "KeyInOtherSection", "[Other]\r\nLeft=5\r\n[Settings]\r\n", u"Settings", u"Left", std::nullopt },
        ReadCase { "KeyBeforeAnySection", "Left=5\r\n[Settings]\r\n", u"Settings", u"Left", std::nullopt },
        ReadCase { "Comment", "[Settings]\r\n;Left=5\r\n", u"Settings", u"Left", std::nullopt },
        ReadCase { "LineWithoutEquals", "[Settings]\r\nLeft\r\n", u"Settings", u"Left", std::nullopt },
        ReadCase { "PrefixOfKey", "[Settings]\r\nLeftEdge=5\r\n", u"Settings", u"Left", std::nullopt },
        ReadCase { "NoSection", "", u"Settings", u"Left", std::nullopt }));

// Whatever a text holds, it reads back as it was written (line breaks aside).
struct RoundTripCase {
    const char* name;
    const char* value;
};

void PrintTo(const RoundTripCase& value, std::ostream* out) { *out << value.name; }

class IniFileRoundTripTest : public IniFileTest, public testing::WithParamInterface<RoundTripCase> { };

TEST_P(IniFileRoundTripTest, ValueReadsBackUnchanged)
{
    const QString value = QString::fromUtf8(GetParam().value);
    ASSERT_TRUE(m_file.setValue(u"Settings", u"S", value));
    ASSERT_TRUE(m_file.setValue(u"Settings", u"After", QStringLiteral("x")));
    EXPECT_EQ(m_file.value(u"Settings", u"S"), value);
    EXPECT_EQ(m_file.value(u"Settings", u"After"), QStringLiteral("x"));
}

INSTANTIATE_TEST_SUITE_P(Values, IniFileRoundTripTest,
    testing::Values(RoundTripCase { "Empty", "" }, RoundTripCase { "Blank", " " },
        RoundTripCase { "LeadingBlanks", "  leading" }, RoundTripCase { "TrailingTab", "trailing\t" },
        RoundTripCase { "DoubleQuoted", "\"quoted\"" }, RoundTripCase { "SingleQuoted", "'single'" },
        RoundTripCase { "OneQuote", "\"" }, RoundTripCase { "InnerQuotes", "a\"b\"" },
        RoundTripCase { "EqualsSign", "=" }, RoundTripCase { "Assignment", "a=b" },
        RoundTripCase { "SectionLike", "[Section]" }, RoundTripCase { "CommentLike", ";not a comment" },
        RoundTripCase { "TreePath", "Anna\\Music\\Disc 1\\" },
        RoundTripCase { "NonAscii", "\xC3\xBC\xC3\xB1\xC3\xAF \xE2\x82\xAC \xF0\x9F\x92\xBF" },
        RoundTripCase { "ControlsOfWindows1252", "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D" }));

} // namespace
