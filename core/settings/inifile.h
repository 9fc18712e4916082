#pragma once
// A private-profile (INI) file: "[Section]" lines, "key=value" lines below them. Nothing is cached:
// every read looks at the file as it is now, every write changes the file at once. A write changes or
// adds one line and keeps every other byte of the file as it was (comments, other sections, blank
// lines, line ends). Section and key names are matched ignoring the case of the ASCII letters.
//
// QSettings does not fit here: it escapes backslashes (the navigation tree's paths are full of them),
// rewrites the whole file in its own layout and caches values between reads.

#include <QString>
#include <QStringView>
#include <optional>

class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }

    /// The value of key in section; nullopt when the file, the section or the key is missing, or the
    /// file cannot be read. Blanks around the value are dropped, and so is one pair of matching quotes
    /// around it ("x" and 'x' read as x). The first of two lines with the same key counts. Values are
    /// UTF-8; a value that is not valid UTF-8 reads as Windows-1252, as files written on the platform of
    /// origin are, and as catalogs read it (decodeCatalogText: its five unassigned bytes are the control
    /// characters of the same value).
    std::optional<QString> value(QStringView section, QStringView key) const;
    /// value(), or defaultValue when it is missing.
    QString value(QStringView section, QStringView key, const QString& defaultValue) const;

    /// Writes key=value into section at once. An existing line of that key is replaced (its key keeps
    /// the spelling it has in the file); a new key goes after the last non-blank line of the section; a
    /// new section goes at the end of the file; a missing file is created. New lines end in CR LF.
    /// A value keeps to one line: line breaks in it become blanks and it ends before a NUL. A value
    /// with blanks at either end, or one that starts and ends with the same quote, is written in
    /// double quotes so that it reads back as it was.
    /// Answers false, leaving the file as it was, when the file cannot be read (but exists) or written.
    bool setValue(QStringView section, QStringView key, const QString& value);

private:
    QString m_path;
};
