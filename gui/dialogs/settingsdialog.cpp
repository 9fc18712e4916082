#include "gui/dialogs/settingsdialog.h"

#include "core/filesets/fileset.h"
#include "core/settings/settings.h"
#include "gui/common/appicons.h"
#include "gui/common/dialogparts.h"
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
    GetLoginName(name);
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

TConfigForm::TConfigForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ConfigForm"));
    setWindowTitle(QStringLiteral("Katalox Settings"));

    BrowseFolder1 = new TBrowseFolder(this);
    BrowseFolder1->setObjectName(QStringLiteral("BrowseFolder1"));
    BrowseFolder1->SetFlags(TBrowseInfoFlags(bfFileSysDirsOnly) | bfStatusText);
    BrowseFolder1->SetShowPathInStatusArea(false);
    BrowseFolder1->SetSyncCustomButton(false);

    auto* layout = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addTab(buildFilesetsPage(), QStringLiteral("Filesets"));
    PageControl1->addTab(buildStartupPage(), QStringLiteral("Startup"));
    layout->addWidget(PageControl1);

    addButtonRow(layout, this, Button6, "Button6", QStringLiteral("OK"), Button5, "Button5");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // An error while the settings are stored or the filesets reload is shown; the window still ends with
    // OK, so the main window rebuilds its tree over whatever was loaded.
    connectConfirm(this, Button6, [this] { Button6Click(); });
    connect(Button5, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button7, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button9, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button8, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button10, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(ListBox2, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox2, &QListWidget::itemSelectionChanged, this, [this] { updateRemoveButton(); });
    ListBox2->installEventFilter(this);
    connect(Edit5, &QLineEdit::textChanged, this, [this] { Edit5Change(); });
    for (QRadioButton* choice : { RadioButton1, RadioButton2, RadioButton3, RadioButton4 }) {
        connect(choice, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
    }
}

QWidget* TConfigForm::buildFilesetsPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto* grid = new QGridLayout(page);

    auto* storageLabel = new QLabel(QStringLiteral("Primary Storage Directory"), page);
    edit_storage = new QLineEdit(page);
    edit_storage->setObjectName(QStringLiteral("edit_storage"));
    storageLabel->setBuddy(edit_storage);
    Button7 = browseButton(page, "Button7");
    grid->addWidget(storageLabel, 0, 0, 1, 4);
    grid->addWidget(edit_storage, 1, 0, 1, 3);
    grid->addWidget(Button7, 1, 3);

    grid->setRowMinimumHeight(2, 8);
    auto* locationsLabel = new QLabel(QStringLiteral("Other managed locations"), page);
    ListBox2 = new QListWidget(page);
    ListBox2->setObjectName(QStringLiteral("ListBox2"));
    ListBox2->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox2->setMinimumSize(380, 140);
    locationsLabel->setBuddy(ListBox2);
    grid->addWidget(locationsLabel, 3, 0, 1, 4);
    grid->addWidget(ListBox2, 4, 0, 1, 4);

    Edit5 = new QLineEdit(page);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Button9 = browseButton(page, "Button9");
    Button8 = new QPushButton(QStringLiteral("Add"), page);
    Button8->setObjectName(QStringLiteral("Button8"));
    Button8->setAutoDefault(false);
    Button8->setEnabled(false);
    Button10 = new QPushButton(QStringLiteral("Remove"), page);
    Button10->setObjectName(QStringLiteral("Button10"));
    Button10->setAutoDefault(false);
    Button10->setEnabled(false);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(Edit5, 1);
    addRow->addWidget(Button9);
    addRow->addWidget(Button8);
    addRow->addWidget(Button10);
    grid->addLayout(addRow, 5, 0, 1, 4);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(4, 1);
    return page;
}

QWidget* TConfigForm::buildStartupPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    auto* layout = new QVBoxLayout(page);
    RadioButton1 = new QRadioButton(QStringLiteral("Start at the last tree location"), page);
    RadioButton2 = new QRadioButton(QStringLiteral("Always Start with Search"), page);
    RadioButton3 = new QRadioButton(QStringLiteral("Always Start at My Filesets"), page);
    RadioButton4 = new QRadioButton(QStringLiteral("Always Start here :"), page);
    auto* group = new QButtonGroup(page);
    int number = 1;
    for (QRadioButton* choice : { RadioButton1, RadioButton2, RadioButton3, RadioButton4 }) {
        choice->setObjectName(QStringLiteral("RadioButton") + QString::number(number++));
        group->addButton(choice);
        layout->addWidget(choice);
    }
    RadioButton1->setChecked(true);
    Edit3 = new QLineEdit(page);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    auto* pathRow = new QHBoxLayout;
    pathRow->addSpacing(20);
    pathRow->addWidget(Edit3, 1);
    layout->addLayout(pathRow);
    layout->addStretch(1);
    return page;
}

void TConfigForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        RunGuarded([this] { FormShow(); });
    }
}

bool TConfigForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListBox2 && event->type() == QEvent::KeyPress
        && ListBox2KeyDown(static_cast<QKeyEvent*>(event)->key())) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TConfigForm::FormShow()
{
    TSettings& store = settings();
    edit_storage->setText(store.GetStr(skFilesetFolder));
    ListBox2->clear();
    if (FilesetList != nullptr) {
        ListBox2->addItems(FilesetList->Locations);
    }
    const QString current = store.GetStr(skCurrentPath);
    // The box keeps the stored location also behind the first choice, so choosing "Always Start here :"
    // offers where the tree was left.
    Edit3->setText(current);
    if (store.GetBool(skStartLastPath)) {
        RadioButton1->setChecked(true);
    } else if (current == searchPath()) {
        RadioButton2->setChecked(true);
    } else if (current == myFilesetsPath()) {
        RadioButton3->setChecked(true);
    } else {
        RadioButton4->setChecked(true);
    }
    UpdateStartControls();
    updateRemoveButton();
    Edit5Change();
}

void TConfigForm::UpdateStartControls()
{
    Edit3->setVisible(!RadioButton1->isChecked());
    Edit3->setReadOnly(!RadioButton4->isChecked());
    if (RadioButton2->isChecked()) {
        Edit3->setText(searchPath());
    } else if (RadioButton3->isChecked()) {
        Edit3->setText(myFilesetsPath());
    }
}

void TConfigForm::RadioButton1Click() { UpdateStartControls(); }

QString TConfigForm::pickFolder(const QString& start)
{
    BrowseFolder1->SetDirectory(start);
    if (!BrowseFolder1->Execute()) {
        return {};
    }
    return BrowseFolder1->Directory();
}

void TConfigForm::Button1Click()
{
    const QString folder = pickFolder(edit_storage->text());
    if (!folder.isEmpty()) {
        edit_storage->setText(folder);
    }
}

void TConfigForm::Button4Click()
{
    const QString folder = pickFolder(Edit5->text());
    if (folder.isEmpty()) {
        return;
    }
    Edit5->setText(folder);
    Button3Click();
}

void TConfigForm::Edit5Change() { Button8->setEnabled(!Edit5->text().isEmpty()); }

void TConfigForm::Button3Click()
{
    ListBox2->addItem(Edit5->text());
    updateRemoveButton();
}

void TConfigForm::Button2Click()
{
    const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
    if (!selected.isEmpty()) {
        delete ListBox2->takeItem(ListBox2->row(selected.front()));
    }
    updateRemoveButton();
}

void TConfigForm::ListBox1Click()
{
    updateRemoveButton();
    const QList<QListWidgetItem*> selected = ListBox2->selectedItems();
    if (!selected.isEmpty()) {
        Edit5->setText(selected.front()->text());
    }
}

bool TConfigForm::ListBox2KeyDown(int key)
{
    if (key != Qt::Key_Delete) {
        return false;
    }
    Button2Click();
    return true;
}

void TConfigForm::updateRemoveButton() { Button10->setEnabled(!ListBox2->selectedItems().isEmpty()); }

void TConfigForm::Button6Click()
{
    // The choices of this window are stored before the filesets reload, so that a fileset that fails to
    // load does not cost the user the start location chosen here.
    TSettings& store = settings();
    store.SetStr(skFilesetFolder, edit_storage->text());
    store.SetBool(skStartLastPath, RadioButton1->isChecked());
    if (!RadioButton1->isChecked()) {
        store.SetStr(skCurrentPath, Edit3->text());
    }
    reloadRegistry();
}

void TConfigForm::reloadRegistry()
{
    QStringList locations;
    for (int row = 0; row < ListBox2->count(); ++row) {
        locations.append(ListBox2->item(row)->text());
    }
    emit registryReloading();
    FilesetList->Clear();
    FilesetList->Locations = locations;
    FilesetList->AddFolder(settings().GetStr(skFilesetFolder));
    FilesetList->AddLocations();
    OwnerList->Rebuild();
}
