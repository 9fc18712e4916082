#pragma once
// The data module: the shared small image list img_Small, and the application's general error display.

#include <QIcon>
#include <QList>
#include <QString>
#include <exception>
#include <functional>

class QWidget;

/// Indexes of img_Small.
enum TSmallImage : int {
    imgTools = 0,
    imgMagnifier = 1,
    imgOwner = 2,
    imgFileset = 3,
    imgDataDisc = 4,
    imgAudioDisc = 5,
    imgFolderClosed = 6,
    imgFolderOpen = 7,
};

/// A list of icons addressed by index, like the toolkit's image lists.
class TImageList {
public:
    int Count() const { return static_cast<int>(m_icons.size()); }
    /// The icon at index; a null icon outside the list.
    QIcon Icon(int index) const { return index >= 0 && index < Count() ? m_icons.at(index) : QIcon(); }
    int Add(const QIcon& icon)
    {
        m_icons.append(icon);
        return Count() - 1;
    }

private:
    QList<QIcon> m_icons;
};

/// The data module: built once when the program starts.
class TDM {
public:
    TDM();
    /// Tools, magnifier, person, fileset, data disc, audio disc, closed folder, open folder. The folder
    /// pair comes from the icon theme when it has them, else from the program's own images.
    TImageList img_Small;
};

/// The process-wide data module; created by the program's entry, null before.
extern TDM* DM;
/// img_Small of the data module, made on first use when the module does not exist (tests).
const TImageList& SmallImages();

/// The application's general error display: shows the exception's message in a message box with the
/// program's title as caption, and the program goes on.
void ShowException(const std::exception& failure);
void ShowErrorText(const QString& text);
/// Runs a handler; an exception that leaves it is shown by the error display. Answers whether the
/// handler ran to its end.
bool RunGuarded(const std::function<void()>& handler);
