#pragma once
// The data module: the shared small image list smallImages, and the application's general error display.

#include <QIcon>
#include <QList>
#include <QString>
#include <exception>
#include <functional>

class QWidget;

/// Indexes of smallImages.
enum SmallImage : int {
    ToolsImage = 0,
    MagnifierImage = 1,
    OwnerImage = 2,
    FilesetImage = 3,
    DataDiscImage = 4,
    AudioDiscImage = 5,
    ClosedFolderImage = 6,
    OpenFolderImage = 7,
};

/// A list of icons addressed by index, like the toolkit's image lists.
class ImageList {
public:
    int count() const { return static_cast<int>(m_icons.size()); }
    /// The icon at index; a null icon outside the list.
    QIcon icon(int index) const { return index >= 0 && index < count() ? m_icons.at(index) : QIcon(); }
    int add(const QIcon& icon)
    {
        m_icons.append(icon);
        return count() - 1;
    }

private:
    QList<QIcon> m_icons;
};

/// The data module: built once when the program starts.
class AppIcons {
public:
    AppIcons();
    /// Tools, magnifier, person, fileset, data disc, audio disc, closed folder, open folder. The folder
    /// pair comes from the icon theme when it has them, else from the program's own images.
    ImageList smallImages;
};

/// The process-wide data module; created by the program's entry, null before.
extern AppIcons* g_appIcons;
/// smallImages of the data module, made on first use when the module does not exist (tests).
const ImageList& smallImageList();

/// The application's general error display: shows the exception's message in a message box with the
/// program's title as caption, and the program goes on.
void showException(const std::exception& failure);
void showErrorText(const QString& text);
/// Runs a handler; an exception that leaves it is shown by the error display. Answers whether the
/// handler ran to its end.
bool runGuarded(const std::function<void()>& handler);
