#pragma once
// The settings store: the program's few preferences and its window position, one "key=value" line
// each in the section "Settings" of "Settings.ini" in the config folder. Callers name a preference by
// a SettingKey, never by its key text. Reads and writes go to the file at once; nothing is cached.
// Used from the window thread only.

#include "core/settings/inifile.h"

#include <QString>
#include <optional>
#include <stdexcept>

/// The preferences of the store. Their key names in the file are those of settingKeyName().
enum SettingKey : int {
    FilesetFolderSetting, ///< text: the primary folder of the fileset files
    DefaultFileSetSetting, ///< text: the fileset last chosen in the scan window
    CurrentPathSetting, ///< text: start location of the navigation tree
    LeftSetting, ///< integer: main window left edge
    TopSetting, ///< integer: main window top edge
    WidthSetting, ///< integer: main window width
    HeightSetting, ///< integer: main window height
    SearchPageSetting, ///< integer: the active result tab
    SearchStringSetting, ///< text: the last search text
    SearchAtSetting, ///< text: the entry last chosen in the search panel's fileset chooser
    DefaultOwnerSetting, ///< text: the owner last used for a new fileset
    StartLastPathSetting, ///< boolean: start where the tree was left
    SplitterSetting, ///< integer: width of the navigation tree beside the splitter
    OwnersColumnsSetting, ///< text: column widths of the list of owners ("200,120")
    FilesetsColumnsSetting, ///< text: column widths of the list of an owner's filesets
    DiscsColumnsSetting, ///< text: column widths of the list of a fileset's discs
    FilesColumnsSetting, ///< text: column widths of the list of a disc's or folder's contents
    DiscResultsColumnsSetting, ///< text: column widths of the disc results
    FileResultsColumnsSetting, ///< text: column widths of the folder and file results
};
constexpr int SettingKeyCount = FileResultsColumnsSetting + 1;

/// The key text of a preference in the file ("FilesetFolder"); null for a value outside the enumeration.
const char* settingKeyName(SettingKey key);

/// Raised when the settings file cannot be written. Its text is "Unable to write to " and the file's
/// full path (what() is that text in UTF-8).
class SettingsWriteError : public std::runtime_error {
public:
    explicit SettingsWriteError(const QString& fileName);

    const QString& message() const { return m_message; }

private:
    QString m_message;
};

class Settings {
public:
    /// Binds the store to fileName; a relative name is taken in the config folder (configFolder()), so
    /// the current folder never matters. The file need not exist: reads then answer the defaults and
    /// the first write creates it.
    explicit Settings(const QString& fileName = QStringLiteral("Settings.ini"));

    /// The full path of the settings file. Whether it exists tells a first start from a later one.
    const QString& fileName() const { return m_file.path(); }

    /// True for any nonzero number, false when missing or not a number.
    bool boolValue(SettingKey key) const;
    /// The decimal number stored (blanks around it allowed); 0 when missing, not a number or outside
    /// the range of int.
    int intValue(SettingKey key) const;
    /// The text stored, at most 2,047 characters; empty when missing.
    QString stringValue(SettingKey key) const;

    /// Writes "1" or "0" at once. Raises SettingsWriteError when the file cannot be written.
    void setBoolValue(SettingKey key, bool value);
    /// Writes the number in decimal at once. Raises SettingsWriteError when the file cannot be written.
    void setIntValue(SettingKey key, int value);
    /// Writes the text at once (one line: line breaks become blanks). Raises SettingsWriteError when
    /// the file cannot be written.
    void setStringValue(SettingKey key, const QString& value);

private:
    std::optional<QString> read(SettingKey key) const;
    void write(SettingKey key, const QString& value);

    IniFile m_file;
};

/// The longest text stringValue answers.
constexpr qsizetype SettingsTextMax = 2047;

/// The process-wide store. The start-up code makes it with createSettings before any window exists and
/// releases it with releaseSettings after the message loop; settings() may only be called in between
/// (it raises std::logic_error otherwise).
Settings& settings();
/// Makes the process-wide store on fileName (see Settings), replacing one that exists.
Settings& createSettings(const QString& fileName = QStringLiteral("Settings.ini"));
/// Releases the process-wide store; nothing happens when there is none.
void releaseSettings();
/// Whether the process-wide store exists.
bool hasSettings();

/// Makes the process-wide store for its own lifetime (the program's main(), tests).
class SettingsScope {
public:
    explicit SettingsScope(const QString& fileName = QStringLiteral("Settings.ini")) { createSettings(fileName); }
    ~SettingsScope() { releaseSettings(); }
    SettingsScope(const SettingsScope&) = delete;
    SettingsScope& operator=(const SettingsScope&) = delete;
};

/// The folder of the running executable, ending in "/". Companion programs are looked for there.
QString programFolder();

/// Sets name to the login name of the current user (the password database's entry for the user id,
/// else $USER), cut to 254 characters. Answers false and leaves name unchanged when neither answers.
bool loginName(QString& name);
