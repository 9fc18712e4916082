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
enum TBrowseInfoFlag : int {
    bfFileSysDirsOnly = 1, ///< only file-system folders can be chosen
    bfDontGoBelowDomain = 2,
    bfStatusText = 4, ///< the chooser has a status line
    bfFileSysAncestors = 8,
    bfBrowseForComputer = 4096,
    bfBrowseForPrinter = 8192,
};
Q_DECLARE_FLAGS(TBrowseInfoFlags, TBrowseInfoFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TBrowseInfoFlags)

/// The top of the chooser's folder tree. foDesktopExpanded means no explicit root; the others name the
/// special folder of the same meaning where the system has one (SpecialFolderPath).
enum TSHFolders : int {
    foDesktop,
    foDesktopExpanded,
    foPrograms,
    foControlPanel,
    foPrinters,
    foPersonal,
    foFavorites,
    foStartup,
    foRecent,
    foSendto,
    foRecycleBin,
    foStartMenu,
    foDesktopDirectory,
    foMyComputer,
    foNetwork,
    foNetworkNeighborhood,
    foFonts,
    foTemplates,
};

enum TCustomButtonType : int { btPushButton, btCheckBox };

class TBrowseFolder;

/// Called once the chooser exists, before the user can act in it.
using TBrowserInitializedEvent = std::function<void(TBrowseFolder* sender, QFileDialog* dialogHandle)>;
/// Called after each change of the selection, with the selected item and its folder path (empty when
/// the item is no folder of the file system).
using TSelectionChangedEvent = std::function<void(
    TBrowseFolder* sender, QFileDialog* dialogHandle, const QUrl& itemIDList, const QString& directory)>;
/// Called when the extra button is clicked.
using TCustomButtonClickEvent = std::function<void(TBrowseFolder* sender, QFileDialog* dialogHandle)>;

/// The longest path the status line shows unshortened, and what stands for the parts left out.
constexpr int STATUS_PATH_MAX = 35;
inline constexpr char STATUS_PATH_FILLER[] = "...";

/// Shortens a path for the status line: a path of at most limit characters, or of fewer than three
/// parts, is answered as it is. Otherwise the second part becomes "...", and while the result is longer
/// than limit and more than three parts remain, the part after "..." is dropped:
/// C:\Program Files\Some Vendor\Product\Data → C:\...\Some Vendor\Product\Data → C:\...\Product\Data
/// → C:\...\Data. The result may still be longer than limit.
QString ShortenPath(const QString& path, QChar separator = QLatin1Char('/'), int limit = STATUS_PATH_MAX);

/// The folder a root value stands for; empty for foDesktopExpanded and for the special folders that
/// have no counterpart in the file system here (control panel, printers, network, send-to, ...).
QString SpecialFolderPath(TSHFolders folder);

class TBrowseFolder : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Directory READ Directory WRITE SetDirectory)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(bool ShowPathInStatusArea READ ShowPathInStatusArea WRITE SetShowPathInStatusArea)
    Q_PROPERTY(bool CustomButtonVisible READ CustomButtonVisible WRITE SetCustomButtonVisible)
    Q_PROPERTY(bool CustomButtonEnabled READ CustomButtonEnabled WRITE SetCustomButtonEnabled)
    Q_PROPERTY(QString CustomButtonCaption READ CustomButtonCaption WRITE SetCustomButtonCaption)
    Q_PROPERTY(int CustomButtonWidth READ CustomButtonWidth WRITE SetCustomButtonWidth)
    Q_PROPERTY(bool CustomButtonChecked READ CustomButtonChecked WRITE SetCustomButtonChecked)
    Q_PROPERTY(bool SyncCustomButton READ SyncCustomButton WRITE SetSyncCustomButton)
public:
    /// The component lives with its owner; the owner's window owns the chooser when no parent window is
    /// set.
    explicit TBrowseFolder(QObject* owner = nullptr);
    ~TBrowseFolder() override;

    /// Runs the chooser modally. True when a folder was chosen: Directory then holds it. False when the
    /// chooser was cancelled: Directory is unchanged. Directory naming an existing folder preselects it;
    /// otherwise the chooser starts at its root.
    ///
    /// Without the extra button, the status line, the events and a root folder, the chooser is the one of
    /// questions() (tests script it); otherwise the component runs a chooser of its own.
    bool Execute();

    QString Directory() const { return m_directory; }
    void SetDirectory(const QString& directory) { m_directory = directory; }
    /// Shown as the chooser's caption ("Browse for Folder" when empty).
    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    TBrowseInfoFlags Flags() const { return m_flags; }
    void SetFlags(TBrowseInfoFlags flags) { m_flags = flags; }
    /// Whether the status line shows the selected path (shortened with ShortenPath).
    bool ShowPathInStatusArea() const { return m_showPathInStatusArea; }
    void SetShowPathInStatusArea(bool show) { m_showPathInStatusArea = show; }
    TSHFolders RootFolder() const { return m_rootFolder; }
    void SetRootFolder(TSHFolders folder) { m_rootFolder = folder; }

    bool CustomButtonVisible() const { return m_customButtonVisible; }
    void SetCustomButtonVisible(bool visible) { m_customButtonVisible = visible; }
    /// Applied at once while the chooser is open.
    bool CustomButtonEnabled() const { return m_customButtonEnabled; }
    void SetCustomButtonEnabled(bool enabled);
    /// Applied at once while the chooser is open.
    QString CustomButtonCaption() const { return m_customButtonCaption; }
    void SetCustomButtonCaption(const QString& caption);
    /// Pixels; a value of 0 or less is stored as 75.
    int CustomButtonWidth() const { return m_customButtonWidth; }
    void SetCustomButtonWidth(int width);
    TCustomButtonType CustomButtonType() const { return m_customButtonType; }
    void SetCustomButtonType(TCustomButtonType type) { m_customButtonType = type; }
    /// The check box's state; read back from the chooser when the user confirms it.
    bool CustomButtonChecked() const { return m_customButtonChecked; }
    void SetCustomButtonChecked(bool checked) { m_customButtonChecked = checked; }
    /// Whether the extra button is enabled exactly when the chooser's OK button is.
    bool SyncCustomButton() const { return m_syncCustomButton; }
    void SetSyncCustomButton(bool sync) { m_syncCustomButton = sync; }

    /// The window that owns the chooser, when it is still alive; see ownerWindow().
    void SetParentWindow(QWidget* window) { m_parentWindow = window; }
    QWidget* ParentWindow() const { return m_parentWindow; }
    /// The chooser while Execute runs, else null.
    QFileDialog* DialogHandle() const { return m_dialog; }
    /// The folder path of the chooser's current selection (empty when it has none).
    QString SelectionPath() const { return m_selectionPath; }
    /// The extra button while the chooser is open, else null.
    QAbstractButton* CustomButton() const { return m_customButton; }

    TBrowserInitializedEvent OnInitialized;
    TSelectionChangedEvent OnSelectionChanged;
    TCustomButtonClickEvent OnCustomButtonClick;

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
    void syncCustomButton();

    QString m_directory;
    QString m_title;
    TBrowseInfoFlags m_flags = TBrowseInfoFlags(bfFileSysDirsOnly) | bfStatusText;
    bool m_showPathInStatusArea = false;
    TSHFolders m_rootFolder = foDesktopExpanded;
    bool m_customButtonVisible = false;
    bool m_customButtonEnabled = true;
    QString m_customButtonCaption;
    int m_customButtonWidth = 75;
    TCustomButtonType m_customButtonType = btPushButton;
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
