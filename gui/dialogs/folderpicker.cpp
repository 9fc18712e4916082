#include "gui/dialogs/folderpicker.h"

#include "core/common/questions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStandardPaths>

namespace {

constexpr int s_defaultButtonWidth = 75;
constexpr int s_customButtonHeight = 23;

QString standardFolder(QStandardPaths::StandardLocation location) { return QStandardPaths::writableLocation(location); }

// Whether path is folder or lies below it.
bool isWithin(const QString& path, const QString& folder)
{
    const QString inner = QDir::cleanPath(path);
    const QString outer = QDir::cleanPath(folder);
    return inner == outer || outer == QStringLiteral("/") || inner.startsWith(outer + QLatin1Char('/'));
}

} // namespace

QString shortenPath(const QString& path, QChar separator, int limit)
{
    if (path.size() <= limit) {
        return path;
    }
    QStringList parts = path.split(separator);
    if (parts.size() < 3) {
        return path;
    }
    const QString filler = QString::fromLatin1(StatusPathFiller);
    parts[1] = filler;
    QString shortened = parts.join(separator);
    while (shortened.size() > limit && parts.size() > 3) {
        parts.removeAt(2);
        shortened = parts.join(separator);
    }
    return shortened;
}

QString specialFolderPath(SpecialFolder folder)
{
    switch (folder) {
    case DesktopFolder:
    case DesktopDirectoryFolder:
        return standardFolder(QStandardPaths::DesktopLocation);
    case ProgramsFolder:
    case StartMenuFolder:
        return standardFolder(QStandardPaths::ApplicationsLocation);
    case PersonalFolder:
        return standardFolder(QStandardPaths::DocumentsLocation);
    case StartupFolder:
        return standardFolder(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart");
    case RecycleBinFolder:
        return standardFolder(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files");
    case MyComputerFolder:
        return QStringLiteral("/");
    case FontsFolder:
        return standardFolder(QStandardPaths::FontsLocation);
    case TemplatesFolder:
        return QDir::homePath() + QStringLiteral("/Templates");
    case ExpandedDesktopFolder:
    case ControlPanelFolder:
    case PrintersFolder:
    case FavoritesFolder:
    case RecentFolder:
    case SendToFolder:
    case NetworkFolder:
    case NetworkNeighborhoodFolder:
        break;
    }
    return {};
}

FolderPicker::FolderPicker(QObject* owner)
    : QObject(owner)
{
}

FolderPicker::~FolderPicker() = default;

void FolderPicker::setCustomButtonEnabled(bool enabled)
{
    m_customButtonEnabled = enabled;
    if (m_customButton != nullptr) {
        m_customButton->setEnabled(enabled);
    }
}

void FolderPicker::setCustomButtonCaption(const QString& caption)
{
    m_customButtonCaption = caption;
    if (m_customButton != nullptr) {
        m_customButton->setText(caption);
    }
}

void FolderPicker::setCustomButtonWidth(int width) { m_customButtonWidth = width > 0 ? width : s_defaultButtonWidth; }

QWidget* FolderPicker::ownerWindow() const
{
    if (m_parentWindow != nullptr) {
        return m_parentWindow->window();
    }
    if (auto* widget = qobject_cast<QWidget*>(parent())) {
        return widget->window();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(window) != nullptr) {
            return window;
        }
    }
    return QApplication::activeWindow();
}

QString FolderPicker::caption() const { return m_title.isEmpty() ? QStringLiteral("Browse for Folder") : m_title; }

QString FolderPicker::startFolder() const
{
    const bool exists = !m_directory.isEmpty() && QFileInfo(m_directory).isDir();
    if (exists && (m_root.isEmpty() || isWithin(QFileInfo(m_directory).absoluteFilePath(), m_root))) {
        return m_directory;
    }
    return m_root.isEmpty() ? QDir::homePath() : m_root;
}

bool FolderPicker::needsOwnChooser() const
{
    return m_customButtonVisible || m_showPathInStatusArea || onInitialized || onSelectionChanged || onCustomButtonClick
        || !m_root.isEmpty();
}

bool FolderPicker::execute()
{
    m_root = specialFolderPath(m_rootFolder);
    if (needsOwnChooser()) {
        return executeOwnChooser();
    }
    const QString chosen = questions().chooseFolder(caption(), startFolder());
    if (chosen.isEmpty()) {
        return false;
    }
    m_selectionPath = chosen;
    m_directory = chosen;
    return true;
}

bool FolderPicker::executeOwnChooser()
{
    QFileDialog dialog(ownerWindow(), caption());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setDirectory(startFolder());
    if (!m_root.isEmpty()) {
        dialog.setSidebarUrls({ QUrl::fromLocalFile(m_root) });
    }
    m_dialog = &dialog;
    m_initialized = false;
    addExtraRow(dialog);
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::AcceptRole) {
                m_okButton = button;
                button->installEventFilter(this);
            }
        }
    }
    connect(&dialog, &QFileDialog::currentChanged, this, [this, &dialog](const QString& path) {
        selectionChanged(path.isEmpty() ? dialog.directory().absolutePath() : path);
    });
    connect(&dialog, &QFileDialog::directoryEntered, this, [this, &dialog](const QString& folder) {
        // The root is the top of the tree: the chooser does not go above it.
        if (!m_root.isEmpty() && !isWithin(folder, m_root)) {
            dialog.setDirectory(m_root);
            return;
        }
        selectionChanged(folder);
    });
    dialog.installEventFilter(this);

    const bool chosen = dialog.exec() == QDialog::Accepted;
    QString path;
    if (chosen) {
        path = dialog.selectedFiles().value(0);
        if (m_customButtonType == CheckBoxType && m_customButton != nullptr) {
            m_customButtonChecked = m_customButton->isChecked();
        }
    }
    m_dialog = nullptr;
    m_customButton = nullptr;
    m_okButton = nullptr;
    m_statusLine = nullptr;
    if (!chosen || path.isEmpty()) {
        return false;
    }
    m_selectionPath = path;
    m_directory = path;
    return true;
}

// The status line and the extra button share one row below the chooser's own controls.
void FolderPicker::addExtraRow(QFileDialog& dialog)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    const bool withStatus = m_flags.testFlag(StatusText);
    if (grid == nullptr || (!withStatus && !m_customButtonVisible)) {
        return;
    }
    auto* row = new QHBoxLayout;
    if (m_customButtonVisible) {
        QAbstractButton* button = nullptr;
        if (m_customButtonType == CheckBoxType) {
            auto* box = new QCheckBox(m_customButtonCaption, &dialog);
            box->setChecked(m_customButtonChecked);
            button = box;
        } else {
            auto* push = new QPushButton(m_customButtonCaption, &dialog);
            push->setAutoDefault(false);
            button = push;
        }
        button->setObjectName(QStringLiteral("customButton"));
        button->setProperty("Id", 255);
        button->setFixedSize(m_customButtonWidth, s_customButtonHeight);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setEnabled(m_customButtonEnabled);
        connect(button, &QAbstractButton::clicked, this, [this] {
            if (onCustomButtonClick) {
                onCustomButtonClick(this, m_dialog);
            }
        });
        m_customButton = button;
        row->addWidget(button);
    }
    if (withStatus) {
        auto* status = new QLabel(&dialog);
        status->setObjectName(QStringLiteral("statusLine"));
        status->setTextFormat(Qt::PlainText);
        m_statusLine = status;
        row->addWidget(status, 1);
    } else {
        row->addStretch(1);
    }
    grid->addLayout(row, grid->rowCount(), 0, 1, grid->columnCount());
}

void FolderPicker::dialogShown(QFileDialog& dialog)
{
    // Centred over the window in front, its top a quarter of the way down that window.
    QWidget* front = QApplication::activeWindow();
    if (front == nullptr || front == &dialog) {
        front = dialog.parentWidget() != nullptr ? dialog.parentWidget()->window() : nullptr;
    }
    if (front != nullptr) {
        const QRect area = front->frameGeometry();
        dialog.move(area.left() + (area.width() - dialog.frameGeometry().width()) / 2, area.top() + area.height() / 4);
    }
    selectionChanged(dialog.directory().absolutePath());
    applyCustomButtonSync();
    if (onInitialized) {
        onInitialized(this, &dialog);
    }
}

void FolderPicker::selectionChanged(const QString& path)
{
    m_selectionPath = QFileInfo(path).isDir() ? path : QString();
    if (m_showPathInStatusArea && m_statusLine != nullptr) {
        m_statusLine->setText(shortenPath(m_selectionPath));
    }
    if (onSelectionChanged) {
        onSelectionChanged(this, m_dialog, QUrl::fromLocalFile(path), m_selectionPath);
    }
}

void FolderPicker::applyCustomButtonSync()
{
    if (m_syncCustomButton && m_customButton != nullptr && m_okButton != nullptr) {
        m_customButton->setEnabled(m_okButton->isEnabled());
    }
}

bool FolderPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_okButton && event->type() == QEvent::EnabledChange) {
        applyCustomButtonSync();
    } else if (watched == m_dialog && event->type() == QEvent::Show && !m_initialized) {
        m_initialized = true;
        dialogShown(*m_dialog);
    }
    return QObject::eventFilter(watched, event);
}
