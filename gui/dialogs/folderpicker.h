#pragma once
// The folder picker: a component that runs a modal folder chooser and hands back the chosen folder.
// The settings window keeps one for its "..." buttons; the component offers more than that window
// uses: a root folder, an extra button in the chooser, the selected path in its status line, events.

#include <QAbstractButton>
#include <QFileDialog>
#include <QFlags>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

/// Options of the chooser; Flags holds a set of them, each worth its option value.
enum FolderPickerFlag : int {
    FileSystemFoldersOnly = 1, ///< only file-system folders can be chosen
    DontGoBelowDomain = 2,
    StatusText = 4, ///< the chooser has a status line
    FileSystemAncestors = 8,
    BrowseForComputer = 4096,
    BrowseForPrinter = 8192,
};
Q_DECLARE_FLAGS(FolderPickerFlags, FolderPickerFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(FolderPickerFlags)

/// The top of the chooser's folder tree. ExpandedDesktopFolder means no explicit root; the others name the
/// special folder of the same meaning where the system has one (specialFolderPath).
enum SpecialFolder : int {
    DesktopFolder,
    ExpandedDesktopFolder,
    ProgramsFolder,
    ControlPanelFolder,
    PrintersFolder,
    PersonalFolder,
    FavoritesFolder,
    StartupFolder,
    RecentFolder,
    SendToFolder,
    RecycleBinFolder,
    StartMenuFolder,
    DesktopDirectoryFolder,
    MyComputerFolder,
    NetworkFolder,
    NetworkNeighborhoodFolder,
    FontsFolder,
    TemplatesFolder,
};

enum CustomButtonType : int { PushButtonType, CheckBoxType };

class FolderPicker;

/// Called once the chooser exists, before the user can act in it.
using InitializedHandler = std::function<void(FolderPicker* sender, QFileDialog* dialogHandle)>;
/// Called after each change of the selection, with the selected item and its folder path (empty when
/// the item is no folder of the file system).
using SelectionChangedHandler = std::function<void(
    FolderPicker* sender, QFileDialog* dialogHandle, const QUrl& itemIDList, const QString& directory)>;
/// Called when the extra button is clicked.
using CustomButtonClickHandler = std::function<void(FolderPicker* sender, QFileDialog* dialogHandle)>;

/// The longest path the status line shows unshortened, and what stands for the parts left out.
constexpr int StatusPathMax = 35;
inline constexpr char StatusPathFiller[] = "...";

/// Shortens a path for the status line: a path of at most limit characters, or of fewer than three
/// parts, is answered as it is. Otherwise the second part becomes "...", and while the result is longer
/// than limit and more than three parts remain, the part after "..." is dropped:
/// C:\Program Files\Some Vendor\Product\Data → C:\...\Some Vendor\Product\Data → C:\...\Product\Data
/// → C:\...\Data. The result may still be longer than limit.
QString shortenPath(const QString& path, QChar separator = QLatin1Char('/'), int limit = StatusPathMax);

/// The folder a root value stands for; empty for ExpandedDesktopFolder and for the special folders that
/// have no counterpart in the file system here (control panel, printers, network, send-to, ...).
QString specialFolderPath(SpecialFolder folder);

class FolderPicker : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString directory READ directory WRITE setDirectory)
    Q_PROPERTY(QString title READ title WRITE setTitle)
    Q_PROPERTY(bool showPathInStatusArea READ showPathInStatusArea WRITE setShowPathInStatusArea)
    Q_PROPERTY(bool customButtonVisible READ customButtonVisible WRITE setCustomButtonVisible)
    Q_PROPERTY(bool customButtonEnabled READ customButtonEnabled WRITE setCustomButtonEnabled)
    Q_PROPERTY(QString customButtonCaption READ customButtonCaption WRITE setCustomButtonCaption)
    Q_PROPERTY(int customButtonWidth READ customButtonWidth WRITE setCustomButtonWidth)
    Q_PROPERTY(bool customButtonChecked READ customButtonChecked WRITE setCustomButtonChecked)
    Q_PROPERTY(bool syncCustomButton READ syncCustomButton WRITE setSyncCustomButton)
public:
    /// The component lives with its owner; the owner's window owns the chooser when no parent window is
    /// set.
    explicit FolderPicker(QObject* owner = nullptr);
    ~FolderPicker() override;

    /// Runs the chooser modally. True when a folder was chosen: Directory then holds it. False when the
    /// chooser was cancelled: Directory is unchanged. Directory naming an existing folder preselects it;
    /// otherwise the chooser starts at its root.
    ///
    /// Without the extra button, the status line, the events and a root folder, the chooser is the one of
    /// questions() (tests script it); otherwise the component runs a chooser of its own.
    bool execute();

    QString directory() const { return m_directory; }
    void setDirectory(const QString& directory) { m_directory = directory; }
    /// Shown as the chooser's caption ("Browse for Folder" when empty).
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    FolderPickerFlags flags() const { return m_flags; }
    void setFlags(FolderPickerFlags flags) { m_flags = flags; }
    /// Whether the status line shows the selected path (shortened with shortenPath).
    bool showPathInStatusArea() const { return m_showPathInStatusArea; }
    void setShowPathInStatusArea(bool show) { m_showPathInStatusArea = show; }
    SpecialFolder rootFolder() const { return m_rootFolder; }
    void setRootFolder(SpecialFolder folder) { m_rootFolder = folder; }

    bool customButtonVisible() const { return m_customButtonVisible; }
    void setCustomButtonVisible(bool visible) { m_customButtonVisible = visible; }
    /// Applied at once while the chooser is open.
    bool customButtonEnabled() const { return m_customButtonEnabled; }
    void setCustomButtonEnabled(bool enabled);
    /// Applied at once while the chooser is open.
    QString customButtonCaption() const { return m_customButtonCaption; }
    void setCustomButtonCaption(const QString& caption);
    /// Pixels; a value of 0 or less is stored as 75.
    int customButtonWidth() const { return m_customButtonWidth; }
    void setCustomButtonWidth(int width);
    CustomButtonType customButtonType() const { return m_customButtonType; }
    void setCustomButtonType(CustomButtonType type) { m_customButtonType = type; }
    /// The check box's state; read back from the chooser when the user confirms it.
    bool customButtonChecked() const { return m_customButtonChecked; }
    void setCustomButtonChecked(bool checked) { m_customButtonChecked = checked; }
    /// Whether the extra button is enabled exactly when the chooser's OK button is.
    bool syncCustomButton() const { return m_syncCustomButton; }
    void setSyncCustomButton(bool sync) { m_syncCustomButton = sync; }

    /// The window that owns the chooser, when it is still alive; see ownerWindow().
    void setParentWindow(QWidget* window) { m_parentWindow = window; }
    QWidget* parentWindow() const { return m_parentWindow; }
    /// The chooser while Execute runs, else null.
    QFileDialog* dialog() const { return m_dialog; }
    /// The folder path of the chooser's current selection (empty when it has none).
    QString selectionPath() const { return m_selectionPath; }
    /// The extra button while the chooser is open, else null.
    QAbstractButton* customButton() const { return m_customButton; }

    InitializedHandler onInitialized;
    SelectionChangedHandler onSelectionChanged;
    CustomButtonClickHandler onCustomButtonClick;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The parent window when alive, else the owner's window, else the application's main window.
    QWidget* ownerWindow() const;
    QString caption() const;
    /// Directory when it names an existing folder, else the root.
    QString startFolder() const;
    bool needsOwnChooser() const;
    bool executeOwnChooser();
    void addExtraRow(QFileDialog& dialog);
    void dialogShown(QFileDialog& dialog);
    void selectionChanged(const QString& path);
    void applyCustomButtonSync();

    QString m_directory;
    QString m_title;
    FolderPickerFlags m_flags = FolderPickerFlags(FileSystemFoldersOnly) | StatusText;
    bool m_showPathInStatusArea = false;
    SpecialFolder m_rootFolder = ExpandedDesktopFolder;
    bool m_customButtonVisible = false;
    bool m_customButtonEnabled = true;
    QString m_customButtonCaption;
    int m_customButtonWidth = 75;
    CustomButtonType m_customButtonType = PushButtonType;
    bool m_customButtonChecked = false;
    bool m_syncCustomButton = false;

    QPointer<QWidget> m_parentWindow;
    QPointer<QFileDialog> m_dialog;
    QPointer<QAbstractButton> m_customButton;
    QPointer<QAbstractButton> m_okButton;
    QPointer<QLabel> m_statusLine;
    QString m_selectionPath;
    QString m_root;
    bool m_initialized = false;
};
