// The settings store: its file in the config folder, its key names, values that are not what they
// should be, refused writes, the process-wide instance, the program folder and the login name.
#include "core/settings/settings.h"

#include "platform/configfolder.h"
#include "tests/support/tempfolder.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <ostream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr SettingKey s_allKeys[] = { FilesetFolderSetting, DefaultFileSetSetting, CurrentPathSetting, LeftSetting,
    TopSetting, WidthSetting, HeightSetting, SearchPageSetting, SearchStringSetting, SearchAtSetting,
    DefaultOwnerSetting, StartLastPathSetting, SplitterSetting, OwnersColumnsSetting, FilesetsColumnsSetting,
    DiscsColumnsSetting, FilesColumnsSetting, DiscResultsColumnsSetting, FileResultsColumnsSetting };
static_assert(std::size(s_allKeys) == SettingKeyCount);

class SettingsTest : public testing::Test {
protected:
    void SetUp() override { setConfigFolder(m_config.path()); }
    void TearDown() override
    {
        releaseSettings();
        setConfigFolder({});
    }

    std::string fileBytes() const { return readFileBytes(m_path); }
    void writeFile(const std::string& bytes) const { ASSERT_TRUE(writeFileBytes(m_path, bytes)); }

    TempFolder m_config;
    std::string m_path = m_config.file("Settings.ini");
};

TEST_F(SettingsTest, FileIsSettingsIniInConfigFolder)
{
    EXPECT_EQ(Settings().fileName(), QString::fromStdString(m_path));
    EXPECT_EQ(Settings(QStringLiteral("/elsewhere/My.ini")).fileName(), QStringLiteral("/elsewhere/My.ini"));
}

TEST_F(SettingsTest, WithoutFileEveryKeyReadsItsDefaultAndNoFileAppears)
{
    const Settings store;
    for (const SettingKey key : s_allKeys) {
        EXPECT_FALSE(store.boolValue(key)) << settingKeyName(key);
        EXPECT_EQ(store.intValue(key), 0) << settingKeyName(key);
        EXPECT_EQ(store.stringValue(key), QString()) << settingKeyName(key);
    }
    EXPECT_FALSE(pathExists(m_path));
}

TEST_F(SettingsTest, WritesGoToFileAtOnceInOrder)
{
    Settings store;
    store.setStringValue(FilesetFolderSetting, QStringLiteral("/home/anna/Katalox/Filesets/"));
    EXPECT_EQ(fileBytes(), "[Settings]\r\nFilesetFolder=/home/anna/Katalox/Filesets/\r\n");

    store.setIntValue(LeftSetting, -8);
    store.setBoolValue(StartLastPathSetting, true);
    store.setStringValue(CurrentPathSetting, QStringLiteral("Anna\\Music\\Disc 1\\"));
    EXPECT_EQ(fileBytes(),
        "[Settings]\r\nFilesetFolder=/home/anna/Katalox/Filesets/\r\nLeft=-8\r\nStartLastPath=1\r\n"
        "CurrentPath=Anna\\Music\\Disc 1\\\r\n");

    store.setIntValue(LeftSetting, 2147483647);
    store.setBoolValue(StartLastPathSetting, false);
    EXPECT_EQ(fileBytes(),
        "[Settings]\r\nFilesetFolder=/home/anna/Katalox/Filesets/\r\nLeft=2147483647\r\nStartLastPath=0\r\n"
        "CurrentPath=Anna\\Music\\Disc 1\\\r\n");

    // A second store on the same file (a later run) reads what the first wrote.
    const Settings later;
    EXPECT_EQ(later.stringValue(FilesetFolderSetting), QStringLiteral("/home/anna/Katalox/Filesets/"));
    EXPECT_EQ(later.intValue(LeftSetting), 2147483647);
    EXPECT_FALSE(later.boolValue(StartLastPathSetting));
    EXPECT_EQ(later.stringValue(CurrentPathSetting), QStringLiteral("Anna\\Music\\Disc 1\\"));
}

TEST_F(SettingsTest, EveryKeyHasItsNameInTheFile)
{
    const char* expected[] = { "FilesetFolder", "DefaultFileSet", "CurrentPath", "Left", "Top", "Width", "Height",
        "SearchPage", "SearchString", "SearchAt", "DefaultOwner", "StartLastPath", "Splitter", "OwnersColumns",
        "FilesetsColumns", "DiscsColumns", "FilesColumns", "DiscResultsColumns", "FileResultsColumns" };
    Settings store;
    std::string bytes = "[Settings]\r\n";
    for (const SettingKey key : s_allKeys) {
        store.setIntValue(key, key + 1);
        bytes += std::string(expected[key]) + "=" + std::to_string(key + 1) + "\r\n";
    }
    EXPECT_EQ(fileBytes(), bytes);
    EXPECT_EQ(settingKeyName(static_cast<SettingKey>(SettingKeyCount)), nullptr);
}

TEST_F(SettingsTest, OtherLinesOfTheFileAreKept)
{
    writeFile("; Katalox\r\n[Window]\r\nLeft=99\r\n[Settings]\r\nwidth=300\r\nUnknown=kept\r\n");
    Settings store;
    EXPECT_EQ(store.intValue(WidthSetting), 300);
    EXPECT_EQ(store.intValue(LeftSetting), 0);
    store.setIntValue(WidthSetting, 640);
    store.setIntValue(LeftSetting, 12);
    EXPECT_EQ(
        fileBytes(), "; Katalox\r\n[Window]\r\nLeft=99\r\n[Settings]\r\nwidth=640\r\nUnknown=kept\r\nLeft=12\r\n");
}

struct NumberCase {
    const char* name;
    const char* text;
    int asInt;
    bool asBool;
};

// Tests are listed by the name of their case.
void PrintTo(const NumberCase& value, std::ostream* out) { *out << value.name; }

class SettingsNumberTest : public SettingsTest, public testing::WithParamInterface<NumberCase> { };

TEST_P(SettingsNumberTest, ReadsAsIntegerAndBoolean)
{
    writeFile(std::string("[Settings]\r\nLeft=") + GetParam().text + "\r\n");
    const Settings store;
    EXPECT_EQ(store.intValue(LeftSetting), GetParam().asInt);
    EXPECT_EQ(store.boolValue(LeftSetting), GetParam().asBool);
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsNumberTest,
    testing::Values(NumberCase { "Zero", "0", 0, false }, NumberCase { "One", "1", 1, true },
        NumberCase { "Two", "2", 2, true }, NumberCase { "MinusOne", "-1", -1, true },
        NumberCase { "Plus", "+5", 5, true }, NumberCase { "TwoZeros", "00", 0, false },
        NumberCase { "Blanks", " 42 ", 42, true }, NumberCase { "Smallest", "-2147483648", -2147483647 - 1, true },
        NumberCase { "Letters", "abc", 0, false }, NumberCase { "DigitsThenLetters", "12abc", 0, false },
        NumberCase { "TwoNumbers", "1 2", 0, false }, NumberCase { "Empty", "", 0, false },
        NumberCase { "SignOnly", "-", 0, false }, NumberCase { "Hexadecimal", "0x10", 0, false },
        NumberCase { "Fraction", "1.5", 0, false }, NumberCase { "ArabicIndicDigit", "\xD9\xA3", 0, false },
        NumberCase { "BeyondInt", "2147483648", 0, true }, NumberCase { "Huge", "99999999999999999999", 0, true },
        NumberCase { "Word", "true", 0, false }));

TEST_F(SettingsTest, TextsReadBackUpTo2047Characters)
{
    Settings store;
    const QString longText(3000, u'x');
    store.setStringValue(SearchStringSetting, longText);
    EXPECT_EQ(store.stringValue(SearchStringSetting), QString(2047, u'x'));
    // The file keeps all of it.
    EXPECT_NE(fileBytes().find(std::string(3000, 'x')), std::string::npos);

    // A character outside the basic plane that would be cut in half is left out whole.
    const QString emoji = QString::fromUtf8("\xF0\x9F\x92\xBF");
    store.setStringValue(SearchStringSetting, QString(2046, u'y') + emoji + emoji);
    EXPECT_EQ(store.stringValue(SearchStringSetting), QString(2046, u'y'));
}

TEST_F(SettingsTest, RefusedWriteRaisesErrorWithFullPath)
{
    // Root may write anywhere, so the write is refused by a folder where the file should be.
    ASSERT_EQ(::mkdir(m_path.c_str(), 0755), 0);
    Settings store;
    const std::string expected = "Unable to write to " + m_path;
    try {
        store.setStringValue(FilesetFolderSetting, QStringLiteral("/x/"));
        FAIL() << "no error raised";
    } catch (const SettingsWriteError& error) {
        EXPECT_EQ(std::string(error.what()), expected);
        EXPECT_EQ(error.message(), QString::fromStdString(expected));
    }
    EXPECT_THROW(store.setIntValue(LeftSetting, 1), std::runtime_error);
    EXPECT_THROW(store.setBoolValue(StartLastPathSetting, true), SettingsWriteError);
    // Reads still answer the defaults.
    EXPECT_EQ(store.stringValue(FilesetFolderSetting), QString());
}

TEST_F(SettingsTest, OtherCurrentFolderStillUsesConfigFolder)
{
    const TempFolder elsewhere;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(elsewhere.path())));
    {
        Settings store;
        store.setStringValue(DefaultOwnerSetting, QStringLiteral("Anna"));
    }
    QDir::setCurrent(previous);
    EXPECT_FALSE(pathExists(elsewhere.file("Settings.ini")));
    EXPECT_EQ(fileBytes(), "[Settings]\r\nDefaultOwner=Anna\r\n");
}

TEST_F(SettingsTest, ProcessWideStoreLivesFromCreateToRelease)
{
    EXPECT_FALSE(hasSettings());
    EXPECT_THROW(settings(), std::logic_error);
    {
        const SettingsScope scope;
        ASSERT_TRUE(hasSettings());
        settings().setIntValue(SearchPageSetting, 1);
        EXPECT_EQ(settings().fileName(), QString::fromStdString(m_path));
    }
    EXPECT_FALSE(hasSettings());
    EXPECT_THROW(settings(), std::logic_error);
    EXPECT_EQ(fileBytes(), "[Settings]\r\nSearchPage=1\r\n");
}

TEST(ProgramFolder, IsTheExecutablesFolderWithSlash)
{
    const QString folder = programFolder();
    ASSERT_TRUE(folder.endsWith(u'/'));
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("core_tests")).isExecutable());
}

TEST(LoginName, AnswersTheUserOfTheProcess)
{
    const passwd* entry = ::getpwuid(::getuid());
    const QString expected = entry != nullptr ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
    QString name = QStringLiteral("unchanged");
    if (expected.isEmpty()) {
        EXPECT_FALSE(loginName(name));
        EXPECT_EQ(name, QStringLiteral("unchanged"));
        return;
    }
    EXPECT_TRUE(loginName(name));
    EXPECT_EQ(name, expected);
}

} // namespace
