#include "core/settings/settings.h"

#include "platform/configfolder.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <memory>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::array<const char*, SettingKeyCount> s_keyNames = {
    "FilesetFolder",
    "DefaultFileSet",
    "CurrentPath",
    "Left",
    "Top",
    "Width",
    "Height",
    "SearchPage",
    "SearchString",
    "SearchAt",
    "DefaultOwner",
    "StartLastPath",
    "Splitter",
    "OwnersColumns",
    "FilesetsColumns",
    "DiscsColumns",
    "FilesColumns",
    "DiscResultsColumns",
    "FileResultsColumns",
};

const QString s_section = QStringLiteral("Settings");

constexpr qsizetype s_loginNameMax = 254;

std::unique_ptr<Settings> s_instance;

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The digits of "[+-]digits" (nothing else, not even blanks), empty for any other text.
QStringView decimalDigits(QStringView text)
{
    if (text.startsWith(u'+') || text.startsWith(u'-')) {
        text = text.sliced(1);
    }
    if (text.isEmpty()) {
        return {};
    }
    for (const QChar c : text) {
        if (!isAsciiDigit(c)) {
            return {};
        }
    }
    return text;
}

QString absoluteSettingsPath(const QString& fileName)
{
    if (fileName.startsWith(u'/')) {
        return fileName;
    }
    return QFile::decodeName(QByteArray::fromStdString(configFolder())) + fileName;
}

} // namespace

const char* settingKeyName(SettingKey key)
{
    if (key < 0 || key >= SettingKeyCount) {
        return nullptr;
    }
    return s_keyNames[static_cast<std::size_t>(key)];
}

SettingsWriteError::SettingsWriteError(const QString& fileName)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(fileName).toStdString())
    , m_message(QStringLiteral("Unable to write to %1").arg(fileName))
{
}

Settings::Settings(const QString& fileName)
    : m_file(absoluteSettingsPath(fileName))
{
}

std::optional<QString> Settings::read(SettingKey key) const
{
    const char* name = settingKeyName(key);
    if (name == nullptr) {
        return std::nullopt;
    }
    return m_file.value(s_section, QString::fromLatin1(name));
}

void Settings::write(SettingKey key, const QString& value)
{
    const char* name = settingKeyName(key);
    if (name == nullptr) {
        return;
    }
    if (!m_file.setValue(s_section, QString::fromLatin1(name), value)) {
        throw SettingsWriteError(m_file.path());
    }
}

bool Settings::boolValue(SettingKey key) const
{
    const std::optional<QString> text = read(key);
    if (!text) {
        return false;
    }
    const QStringView digits = decimalDigits(*text);
    return std::any_of(digits.begin(), digits.end(), [](QChar c) { return c != u'0'; });
}

int Settings::intValue(SettingKey key) const
{
    const std::optional<QString> text = read(key);
    if (!text || decimalDigits(*text).isEmpty()) {
        return 0;
    }
    bool ok = false;
    const int value = text->toInt(&ok, 10);
    return ok ? value : 0;
}

QString Settings::stringValue(SettingKey key) const
{
    QString text = read(key).value_or(QString());
    if (text.size() > SettingsTextMax) {
        // Never leaves half of a surrogate pair at the end.
        const bool splitsPair = text.at(SettingsTextMax - 1).isHighSurrogate();
        text.truncate(splitsPair ? SettingsTextMax - 1 : SettingsTextMax);
    }
    return text;
}

void Settings::setBoolValue(SettingKey key, bool value)
{
    write(key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void Settings::setIntValue(SettingKey key, int value) { write(key, QString::number(value)); }

void Settings::setStringValue(SettingKey key, const QString& value) { write(key, value); }

Settings& settings()
{
    if (!s_instance) {
        throw std::logic_error("the settings store is used before start-up or after the end");
    }
    return *s_instance;
}

Settings& createSettings(const QString& fileName)
{
    s_instance = std::make_unique<Settings>(fileName);
    return *s_instance;
}

void releaseSettings() { s_instance.reset(); }

bool hasSettings() { return s_instance != nullptr; }

QString programFolder() { return QFile::decodeName(QByteArray::fromStdString(executableFolder())); }

bool loginName(QString& name)
{
    QString found;
    const long bufferSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize > 0 ? bufferSize : 16384));
    passwd entry {};
    passwd* result = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr
        && result->pw_name != nullptr) {
        found = QFile::decodeName(result->pw_name);
    }
    if (found.isEmpty()) {
        found = qEnvironmentVariable("USER");
    }
    if (found.isEmpty()) {
        return false;
    }
    name = found.left(s_loginNameMax);
    return true;
}
