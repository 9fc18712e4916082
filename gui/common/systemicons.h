#pragma once
// The shared list of small file-type icons and the icon lookups by name. Icons of catalogued files are
// judged by their names alone: the files lie on discs that are usually not in the drive, so no lookup
// here ever touches a file. Window thread only.

#include <QIcon>
#include <QString>
#include <memory>

/// The shared list of small file-type icons that the list views of files use. An index, once
/// answered, names the same icon for the rest of the run (until releaseSystemIcons).
class SystemIcons {
public:
    SystemIcons();
    ~SystemIcons();
    SystemIcons(const SystemIcons&) = delete;
    SystemIcons& operator=(const SystemIcons&) = delete;

    /// Pictures for names the icon theme and the file icon provider have nothing for (a desktop without
    /// an icon theme); set them before the first lookup.
    void setLastResortIcons(const QIcon& file, const QIcon& folder, const QIcon& openFolder);

    int count() const;
    /// The icon at index; a null icon for an index outside the list.
    QIcon icon(int index) const;

    /// The index of the icon for a file name (a path is judged by its last part), going by the name
    /// alone; the folder icon (closed or open) for an empty name. -1 when the icon theme has no icon for
    /// it. Answers come from a cache by extension, so a list of many files asks the MIME database once
    /// per extension.
    int indexOf(const QString& name, bool open);

private:
    struct Data;
    std::unique_ptr<Data> m_data;
};

/// The process-wide list, made on first use (the Qt application object must exist by then).
SystemIcons& systemIcons();
/// Releases the process-wide list (at the end of the program, before the application object goes);
/// the next use makes a new one.
void releaseSystemIcons();

/// The index in systemIcons() of the small icon of name; the folder icon for an empty name (its open
/// variant with open). -1 when there is no icon for it. Never touches a file.
int systemIconIndex(const QString& name, bool open);

/// Sets icon to the small icon of path, judged by name only (the folder icon for an empty path, its
/// open variant with open); icon is cleared first. Answers whether there is one.
bool shellIcon(const QString& path, bool open, QIcon& icon);
