#include "gui/dialogs/settingsdialog.h"

#include "core/filesets/filesetregistry.h"
#include "core/filesets/ownerindex.h"
#include "core/settings/settings.h"
#include "gui/common/dialogparts.h"
#include "gui/common/errordisplay.h"
#include "gui/dialogs/folderpicker.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString& searchPath()
{
    static const QString path = QStringLiteral("[Search]");
    return path;
}

// The path of the user's own filesets: the login name followed by "\".
QString myFilesetsPath()
{
    QString name;
    loginName(name);
    return name + QLatin1Char('\\');
}

QPushButton* browseButton(QWidget* parent, const char* name)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 20);
    return button;
}

} // namespace

SettingsDialog::SettingsDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(QStringLiteral("Katalox Settings"));

    folderPicker = new FolderPicker(this);
    folderPicker->setObjectName(QStringLiteral("folderPicker"));
    folderPicker->setFlags(FolderPickerFlags(FileSystemFoldersOnly) | StatusText);
    folderPicker->setShowPathInStatusArea(false);
    folderPicker->setSyncCustomButton(false);

    auto* layout = new QVBoxLayout(this);
    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    pages->addTab(buildFilesetsPage(), QStringLiteral("Filesets"));
    pages->addTab(buildStartupPage(), QStringLiteral("Startup"));
    layout->addWidget(pages);

    addButtonRow(layout, this, okButton, "okButton", QStringLiteral("OK"), cancelButton, "cancelButton");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // An error while the settings are stored or the filesets reload is shown; the window still ends with
    // OK, so the main window rebuilds its tree over whatever was loaded.
    connectConfirm(this, okButton, [this] { onOkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(browseStorageButton, &QPushButton::clicked, this, [this] { onBrowseStorageClicked(); });
    connect(browseLocationButton, &QPushButton::clicked, this, [this] { onBrowseLocationClicked(); });
    connect(addLocationButton, &QPushButton::clicked, this, [this] { onAddLocationClicked(); });
    connect(removeLocationButton, &QPushButton::clicked, this, [this] { onRemoveLocationClicked(); });
    connect(locationsList, &QListWidget::itemClicked, this, [this] { onLocationClicked(); });
    connect(locationsList, &QListWidget::itemSelectionChanged, this, [this] { updateRemoveButton(); });
    locationsList->installEventFilter(this);
    connect(locationEdit, &QLineEdit::textChanged, this, [this] { onLocationEdited(); });
    for (QRadioButton* choice : { lastLocationRadio, searchRadio, myFilesetsRadio, startPathRadio }) {
        connect(choice, &QRadioButton::clicked, this, [this] { onStartChoiceClicked(); });
    }
}

QWidget* SettingsDialog::buildFilesetsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("filesetsPage"));
    auto* grid = new QGridLayout(page);

    auto* storageLabel = new QLabel(QStringLiteral("Primary Storage Directory"), page);
    storageEdit = new QLineEdit(page);
    storageEdit->setObjectName(QStringLiteral("storageEdit"));
    storageLabel->setBuddy(storageEdit);
    browseStorageButton = browseButton(page, "browseStorageButton");
    grid->addWidget(storageLabel, 0, 0, 1, 4);
    grid->addWidget(storageEdit, 1, 0, 1, 3);
    grid->addWidget(browseStorageButton, 1, 3);

    grid->setRowMinimumHeight(2, 8);
    auto* locationsLabel = new QLabel(QStringLiteral("Other managed locations"), page);
    locationsList = new QListWidget(page);
    locationsList->setObjectName(QStringLiteral("locationsList"));
    locationsList->setSelectionMode(QAbstractItemView::SingleSelection);
    locationsList->setMinimumSize(380, 140);
    locationsLabel->setBuddy(locationsList);
    grid->addWidget(locationsLabel, 3, 0, 1, 4);
    grid->addWidget(locationsList, 4, 0, 1, 4);

    locationEdit = new QLineEdit(page);
    locationEdit->setObjectName(QStringLiteral("locationEdit"));
    browseLocationButton = browseButton(page, "browseLocationButton");
    addLocationButton = new QPushButton(QStringLiteral("Add"), page);
    addLocationButton->setObjectName(QStringLiteral("addLocationButton"));
    addLocationButton->setAutoDefault(false);
    addLocationButton->setEnabled(false);
    removeLocationButton = new QPushButton(QStringLiteral("Remove"), page);
    removeLocationButton->setObjectName(QStringLiteral("removeLocationButton"));
    removeLocationButton->setAutoDefault(false);
    removeLocationButton->setEnabled(false);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(locationEdit, 1);
    addRow->addWidget(browseLocationButton);
    addRow->addWidget(addLocationButton);
    addRow->addWidget(removeLocationButton);
    grid->addLayout(addRow, 5, 0, 1, 4);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget* SettingsDialog::buildStartupPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("startupPage"));
    auto* layout = new QVBoxLayout(page);
    lastLocationRadio = new QRadioButton(QStringLiteral("Start at the last tree location"), page);
    searchRadio = new QRadioButton(QStringLiteral("Always Start with Search"), page);
    myFilesetsRadio = new QRadioButton(QStringLiteral("Always Start at My Filesets"), page);
    startPathRadio = new QRadioButton(QStringLiteral("Always Start here :"), page);
    auto* group = new QButtonGroup(page);
    lastLocationRadio->setObjectName(QStringLiteral("lastLocationRadio"));
    searchRadio->setObjectName(QStringLiteral("searchRadio"));
    myFilesetsRadio->setObjectName(QStringLiteral("myFilesetsRadio"));
    startPathRadio->setObjectName(QStringLiteral("startPathRadio"));
    for (QRadioButton* choice : { lastLocationRadio, searchRadio, myFilesetsRadio, startPathRadio }) {
        group->addButton(choice);
        layout->addWidget(choice);
    }
    lastLocationRadio->setChecked(true);
    startPathEdit = new QLineEdit(page);
    startPathEdit->setObjectName(QStringLiteral("startPathEdit"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addSpacing(20);
    pathRow->addWidget(startPathEdit, 1);
    layout->addLayout(pathRow);
    layout->addStretch(1);
    return page;
}

void SettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runGuarded([this] { handleFirstShow(); });
    }
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == locationsList && event->type() == QEvent::KeyPress
        && handleLocationsKey(static_cast<QKeyEvent*>(event)->key())) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void SettingsDialog::handleFirstShow()
{
    Settings& store = settings();
    storageEdit->setText(store.stringValue(FilesetFolderSetting));
    locationsList->clear();
    if (g_filesetRegistry != nullptr) {
        locationsList->addItems(g_filesetRegistry->locations);
    }
    const QString current = store.stringValue(CurrentPathSetting);
    // The box shows the stored location only as the user's own start path; behind the last-location
    // choice it stays empty, so the user types where "Always Start here :" should start.
    if (store.boolValue(StartLastPathSetting)) {
        lastLocationRadio->setChecked(true);
    } else if (current == searchPath()) {
        searchRadio->setChecked(true);
    } else if (current == myFilesetsPath()) {
        myFilesetsRadio->setChecked(true);
    } else {
        startPathRadio->setChecked(true);
        startPathEdit->setText(current);
    }
    updateStartControls();
    updateRemoveButton();
    onLocationEdited();
}

void SettingsDialog::updateStartControls()
{
    startPathEdit->setVisible(!lastLocationRadio->isChecked());
    startPathEdit->setReadOnly(!startPathRadio->isChecked());
    if (searchRadio->isChecked()) {
        startPathEdit->setText(searchPath());
    } else if (myFilesetsRadio->isChecked()) {
        startPathEdit->setText(myFilesetsPath());
    }
}

void SettingsDialog::onStartChoiceClicked() { updateStartControls(); }

QString SettingsDialog::pickFolder(const QString& start)
{
    folderPicker->setDirectory(start);
    if (!folderPicker->execute()) {
        return {};
    }
    return folderPicker->directory();
}

void SettingsDialog::onBrowseStorageClicked()
{
    const QString folder = pickFolder(storageEdit->text());
    if (!folder.isEmpty()) {
        storageEdit->setText(folder);
    }
}

void SettingsDialog::onBrowseLocationClicked()
{
    const QString folder = pickFolder(locationEdit->text());
    if (folder.isEmpty()) {
        return;
    }
    locationEdit->setText(folder);
    onAddLocationClicked();
}

void SettingsDialog::onLocationEdited() { addLocationButton->setEnabled(!locationEdit->text().isEmpty()); }

void SettingsDialog::onAddLocationClicked()
{
    locationsList->addItem(locationEdit->text());
    updateRemoveButton();
}

void SettingsDialog::onRemoveLocationClicked()
{
    const QList<QListWidgetItem*> selected = locationsList->selectedItems();
    if (!selected.isEmpty()) {
        delete locationsList->takeItem(locationsList->row(selected.front()));
    }
    updateRemoveButton();
}

void SettingsDialog::onLocationClicked()
{
    updateRemoveButton();
    const QList<QListWidgetItem*> selected = locationsList->selectedItems();
    if (!selected.isEmpty()) {
        locationEdit->setText(selected.front()->text());
    }
}

bool SettingsDialog::handleLocationsKey(int key)
{
    if (key != Qt::Key_Delete) {
        return false;
    }
    onRemoveLocationClicked();
    return true;
}

void SettingsDialog::updateRemoveButton()
{
    removeLocationButton->setEnabled(!locationsList->selectedItems().isEmpty());
}

void SettingsDialog::onOkClicked()
{
    // The choices of this window are stored before the filesets reload, so that a fileset that fails to
    // load does not cost the user the start location chosen here.
    Settings& store = settings();
    store.setStringValue(FilesetFolderSetting, storageEdit->text());
    store.setBoolValue(StartLastPathSetting, lastLocationRadio->isChecked());
    if (!lastLocationRadio->isChecked()) {
        store.setStringValue(CurrentPathSetting, startPathEdit->text());
    }
    reloadRegistry();
}

void SettingsDialog::reloadRegistry()
{
    QStringList locations;
    for (int row = 0; row < locationsList->count(); ++row) {
        locations.append(locationsList->item(row)->text());
    }
    emit registryReloading();
    g_filesetRegistry->clear();
    g_filesetRegistry->locations = locations;
    g_filesetRegistry->addFolder(settings().stringValue(FilesetFolderSetting));
    g_filesetRegistry->addLocations();
    g_ownerIndex->rebuild();
}
