#include "gui/scan/scandialog.h"

#include "core/common/questions.h"
#include "core/filesets/filesetregistry.h"
#include "core/settings/settings.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_owners.h"
#include "gui/common/appicons.h"
#include "gui/common/errordisplay.h"
#include "gui/common/filesetchooser.h"
#include "gui/scan/mediaevents.h"
#include "gui/scan/scanprocedure.h"
#include "platform/drivelayer.h"
#include "platform/virtualdrives.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

namespace {

/// The marker of the disc controls, enabled and disabled together.
const char* const s_tag = "Tag";
constexpr int s_discControlTag = 1;

const QColor s_storedColour(255, 0, 0);
const QColor s_notScannedColour(0, 128, 0);

const QString s_notAvailable = QStringLiteral("N/A");
const QString s_caption = QStringLiteral("Katalox Scan");

/// The images the drive layer reads, by extension; any other file is tried as an image too.
const QString s_imageFilter = QStringLiteral(
    "Disc images (*.iso *.img *.bin *.cue *.ccd *.nrg *.toc *.udf *.ISO *.IMG *.BIN *.CUE *.CCD *.NRG *.TOC *.UDF)"
    ";;All files (*)");

QString letterText(char letter) { return QStringLiteral("(") + QChar::fromLatin1(letter) + QStringLiteral(":)"); }

QString textOf(const char* field, std::size_t size)
{
    return decodeCatalogText(std::string_view(field, strnlen(field, size)));
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(s_notAvailable, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    // Wide enough for a scan time in any of the user's date formats.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("30 September 2000 00:00:00 ")));
    return label;
}

} // namespace

ScanDialog::ScanDialog(QWidget* parent, char startDrive)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_startDrive(startDrive)
{
    setObjectName(QStringLiteral("scanDialog"));
    setWindowTitle(QStringLiteral("Katalox Scan"));

    driveList = new QComboBox(this);
    driveList->setObjectName(QStringLiteral("driveList"));
    driveList->setMinimumWidth(260);
    noDriveHint = new QLabel(
        QStringLiteral("No drive found. Add a disc image or a folder to scan with \"Add image or folder...\"."), this);
    noDriveHint->setObjectName(QStringLiteral("noDriveHint"));
    noDriveHint->setWordWrap(true);
    noDriveHint->setVisible(false);
    addDriveButton = new QPushButton(QStringLiteral("Add image or folder..."), this);
    addDriveButton->setObjectName(QStringLiteral("addDriveButton"));
    addDriveButton->setAutoDefault(false);
    auto* addMenu = new QMenu(addDriveButton);
    addMenu->setObjectName(QStringLiteral("addDriveMenu"));
    QAction* addImageAction = addMenu->addAction(QStringLiteral("Disc Image..."));
    addImageAction->setObjectName(QStringLiteral("addImageAction"));
    QAction* addFolderAction = addMenu->addAction(QStringLiteral("Folder..."));
    addFolderAction->setObjectName(QStringLiteral("addFolderAction"));
    addDriveButton->setMenu(addMenu);
    removeDriveButton = new QPushButton(QStringLiteral("Remove Virtual Drive"), this);
    removeDriveButton->setObjectName(QStringLiteral("removeDriveButton"));
    removeDriveButton->setAutoDefault(false);
    removeDriveButton->setEnabled(false);
    filesetChooser = new FilesetChooser(this);
    filesetChooser->setObjectName(QStringLiteral("filesetChooser"));
    titleEdit = new QLineEdit(this);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleEdit->setProperty(s_tag, s_discControlTag);

    lastScanLabel = valueLabel("lastScanLabel", this);
    usedSpaceLabel = valueLabel("usedSpaceLabel", this);
    filesLabel = valueLabel("filesLabel", this);
    foldersLabel = valueLabel("foldersLabel", this);

    auto* comments = new QGroupBox(QStringLiteral("Comments:"), this);
    commentEdit = new QPlainTextEdit(comments);
    commentEdit->setObjectName(QStringLiteral("commentEdit"));
    commentEdit->setProperty(s_tag, s_discControlTag);
    commentEdit->setTabChangesFocus(true);
    commentEdit->setFixedHeight(72);
    auto* commentsLayout = new QVBoxLayout(comments);
    commentsLayout->addWidget(commentEdit);

    ejectCheckBox = new QCheckBox(QStringLiteral("Eject When Scanned"), this);
    ejectCheckBox->setObjectName(QStringLiteral("ejectCheckBox"));
    scanButton = new QPushButton(QStringLiteral("Scan and Add"), this);
    scanButton->setObjectName(QStringLiteral("scanButton"));
    scanButton->setProperty(s_tag, s_discControlTag);
    scanButton->setDefault(true);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(false);
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    statusBar->setSizeGripEnabled(false);

    auto* choices = new QGridLayout;
    choices->addWidget(caption(QStringLiteral("Drive"), this), 0, 0);
    choices->addWidget(driveList, 0, 1);
    auto* driveButtons = new QHBoxLayout;
    driveButtons->addWidget(addDriveButton);
    driveButtons->addWidget(removeDriveButton);
    driveButtons->addStretch(1);
    choices->addWidget(noDriveHint, 1, 1);
    choices->addLayout(driveButtons, 2, 1);
    choices->addWidget(caption(QStringLiteral("Fileset :"), this), 3, 0);
    choices->addWidget(filesetChooser, 3, 1);
    choices->addWidget(caption(QStringLiteral("New Disc Name"), this), 4, 0);
    choices->addWidget(titleEdit, 4, 1);
    choices->setColumnStretch(1, 1);

    auto* facts = new QGridLayout;
    facts->addWidget(caption(QStringLiteral("Scanned : "), this), 0, 0);
    facts->addWidget(lastScanLabel, 0, 1);
    facts->addWidget(caption(QStringLiteral("Used :"), this), 0, 2);
    facts->addWidget(usedSpaceLabel, 0, 3);
    facts->addWidget(caption(QStringLiteral("Files :"), this), 1, 0);
    facts->addWidget(filesLabel, 1, 1);
    facts->addWidget(caption(QStringLiteral("Folders : "), this), 1, 2);
    facts->addWidget(foldersLabel, 1, 3);
    facts->setColumnStretch(1, 1);
    facts->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ejectCheckBox);
    buttons->addStretch(1);
    buttons->addWidget(scanButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 8);
    body->setSpacing(8);
    body->addLayout(choices);
    body->addLayout(facts);
    body->addWidget(comments);
    body->addLayout(buttons);
    layout->addLayout(body);
    layout->addWidget(statusBar);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    mediaEvents = new MediaEvents(this);
    mediaEvents->setObjectName(QStringLiteral("mediaEvents"));
    mediaEvents->onArrival = [this](MediaEvents*, char letter) { onMediumArrived(letter); };
    mediaEvents->onRemoval = [this](MediaEvents*, char letter) { onMediumRemoved(letter); };
    connectGuarded(mediaEvents, &MediaEvents::drivesChanged, this, [this] { fillDriveList(); });

    connectGuarded(scanButton, &QPushButton::clicked, this, [this] { onScanClicked(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connectGuarded(driveList, &QComboBox::activated, this, [this] { onDriveChanged(); });
    connectGuarded(filesetChooser, &QComboBox::activated, this, [this] { onFilesetChanged(); });
    connectGuarded(addImageAction, &QAction::triggered, this, [this] { addImage(); });
    connectGuarded(addFolderAction, &QAction::triggered, this, [this] { addFolder(); });
    connectGuarded(removeDriveButton, &QPushButton::clicked, this, [this] { onRemoveDriveClicked(); });

    showNoDisc();
}

ScanDialog::~ScanDialog() = default;

void ScanDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        runGuarded([this] { handleFirstShow(); });
    }
}

void ScanDialog::handleFirstShow()
{
    fillDriveList(m_startDrive);
    fillFilesets();
}

char ScanDialog::selectedLetter() const
{
    const int index = driveList->currentIndex();
    return index >= 0 && index < m_drives.size() ? m_drives.at(index).letter : 0;
}

void ScanDialog::setDriveText(qsizetype index, const QString& text)
{
    m_drives[index].text = text;
    driveList->setItemText(static_cast<int>(index), text);
}

void ScanDialog::enableDiscControls(bool on)
{
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control->property(s_tag).toInt() == s_discControlTag) {
            control->setEnabled(on);
        }
    }
}

void ScanDialog::fillDriveList(char select)
{
    const char selected = select != 0 ? select : selectedLetter();
    listDrives(&m_drives);
    for (DriveEntry& entry : m_drives) {
        TKTBDisc facts {};
        entry.text = ktbDiscFromDrive(entry.letter, facts)
            ? textOf(facts.Title, sizeof facts.Title) + QStringLiteral(" ") + letterText(entry.letter)
            : letterText(entry.letter);
    }
    {
        const QSignalBlocker quiet(driveList);
        driveList->clear();
        for (const DriveEntry& entry : m_drives) {
            driveList->addItem(entry.text, QChar::fromLatin1(entry.letter));
        }
        const qsizetype keep = selected != 0 ? indexOfDrive(m_drives, selected) : -1;
        driveList->setCurrentIndex(m_drives.isEmpty() ? -1 : static_cast<int>(std::max<qsizetype>(keep, 0)));
    }
    noDriveHint->setVisible(m_drives.isEmpty());
    onDriveChanged();
}

void ScanDialog::fillFilesets()
{
    fillFilesetChooser(filesetChooser, false);
    const QString stored = settings().stringValue(DefaultFileSetSetting);
    {
        const QSignalBlocker quiet(filesetChooser);
        for (int i = 0; i < filesetChooser->count(); ++i) {
            if (sameTextAscii(filesetChooser->itemText(i), stored)) {
                filesetChooser->setCurrentIndex(i);
                break;
            }
        }
    }
    onFilesetChanged();
}

void ScanDialog::onFilesetChanged()
{
    m_fileset = nullptr;
    bool isGroup = false;
    const int index = chosenItem(filesetChooser, isGroup);
    if (index < 0 || isGroup || g_filesetRegistry == nullptr || index >= g_filesetRegistry->count()) {
        return;
    }
    m_fileset = g_filesetRegistry->at(index);
    statusBar->showMessage(m_fileset->fileName);
    showDisc(selectedLetter());
    settings().setStringValue(DefaultFileSetSetting, filesetChooser->currentText());
}

void ScanDialog::onDriveChanged()
{
    const char letter = selectedLetter();
    removeDriveButton->setEnabled(letter != 0 && isVirtualDrive(letter));
    showDisc(letter != 0 && filesetChooser->count() > 0 ? letter : 0);
}

void ScanDialog::showDisc(char letter)
{
    m_disc = TKTBDisc {};
    if (letter == 0 || !ktbDiscFromDrive(letter, m_disc)) {
        showNoDisc();
        return;
    }
    if (m_fileset == nullptr) {
        return;
    }
    if (KtbEntityPtr stored; ktbFindDiscBySerialOwned(m_fileset->handle(), m_disc.Serial, stored)) {
        m_disc = *stored->disc();
        filesLabel->setText(QString::number(m_disc.Files));
        foldersLabel->setText(QString::number(m_disc.Folders));
        lastScanLabel->setText(formatDateTime(dosToDateTime(m_disc.ScanTime)));
        setScanTimeColour(s_storedColour);
        commentEdit->setPlainText(textOf(m_disc.Comment, sizeof m_disc.Comment));
    } else {
        filesLabel->setText(s_notAvailable);
        foldersLabel->setText(s_notAvailable);
        lastScanLabel->setText(QStringLiteral("Not scanned"));
        setScanTimeColour(s_notScannedColour);
        commentEdit->clear();
    }
    titleEdit->setText(textOf(m_disc.Title, sizeof m_disc.Title));
    usedSpaceLabel->setText(formatSize(m_disc.Used));
    enableDiscControls(true);
}

void ScanDialog::showNoDisc()
{
    enableDiscControls(false);
    titleEdit->setText(QStringLiteral("No Disc in Drive!"));
    commentEdit->clear();
    filesLabel->setText(s_notAvailable);
    foldersLabel->setText(s_notAvailable);
    lastScanLabel->setText(s_notAvailable);
    usedSpaceLabel->setText(s_notAvailable);
    setScanTimeColour(QApplication::palette(lastScanLabel).color(QPalette::WindowText));
}

void ScanDialog::setScanTimeColour(const QColor& colour)
{
    QPalette palette = lastScanLabel->palette();
    palette.setColor(QPalette::WindowText, colour);
    lastScanLabel->setPalette(palette);
}

void ScanDialog::onScanClicked()
{
    const char letter = selectedLetter();
    if (letter == 0 || m_fileset == nullptr) {
        return;
    }
    if (m_fileset->readOnly) {
        questions().messageBox(
            m_fileset->readOnlyMessage(), QStringLiteral("Katalox"), MessageIcon::Information, OkButton);
        return;
    }
    // What the user typed is what the disc gets: the title and the comment, each cut to its field.
    const std::string title = encodeCatalogText(titleEdit->text(), KTB_TITLE_MAX);
    std::memset(m_disc.Title, 0, sizeof m_disc.Title);
    std::memcpy(m_disc.Title, title.data(), title.size());
    const std::string comment = encodeCatalogText(commentEdit->toPlainText(), KTB_COMMENT_MAX);
    std::memset(m_disc.Comment, 0, sizeof m_disc.Comment);
    std::memcpy(m_disc.Comment, comment.data(), comment.size());

    {
        // Whatever way the scan ends, it may have changed the catalog (a rescan removes the older
        // entry first): every view of the fileset's records is brought up to date.
        struct Announce {
            Fileset* fileset;
            ~Announce()
            {
                // Also while a scan error unwinds: a listener's failure must not end the program.
                try {
                    if (g_filesetRegistry != nullptr) {
                        g_filesetRegistry->notifyChanged(fileset);
                    }
                } catch (...) {
                }
            }
        } announce { m_fileset };
        scanDisc(letter, m_fileset->handle(), m_disc, false, false);
    }
    m_fileset->close();
    if (ejectCheckBox->isChecked()) {
        setDriveDoor(letter, true);
        return;
    }
    showDisc(letter);
}

void ScanDialog::onMediumRemoved(char letter)
{
    const qsizetype index = indexOfDrive(m_drives, letter);
    if (index < 0) {
        return;
    }
    setDriveText(index, letterText(letter));
    {
        const QSignalBlocker quiet(driveList);
        driveList->setCurrentIndex(static_cast<int>(index));
    }
    showDisc(letter);
}

void ScanDialog::onMediumArrived(char letter)
{
    const qsizetype index = indexOfDrive(m_drives, letter);
    if (index < 0) {
        return;
    }
    TKTBDisc facts {};
    if (ktbDiscFromDrive(letter, facts)) {
        setDriveText(index, textOf(facts.Title, sizeof facts.Title) + letterText(letter));
        const QSignalBlocker quiet(driveList);
        driveList->setCurrentIndex(static_cast<int>(index));
    }
    showDisc(letter);
}

bool ScanDialog::isVirtualDrive(char letter)
{
    Drive* drive = driveTable().drive(letter);
    if (drive == nullptr || drive->isDevice()) {
        return false;
    }
    const std::vector<VirtualDriveLine> lines = readVirtualDrives();
    return std::any_of(lines.begin(), lines.end(),
        [&](const VirtualDriveLine& line) { return line.Letter == letter && line.Path == drive->source(); });
}

char ScanDialog::virtualDriveFor(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const std::string encoded = QFile::encodeName(absolute).toStdString();
    // The drive the path has already; a line whose letter an optical drive took is none.
    for (const char known : driveTable().letters()) {
        Drive* drive = driveTable().drive(known);
        if (drive != nullptr && drive->source() == encoded && isVirtualDrive(known)) {
            return known;
        }
    }
    char letter = 0;
    switch (::addVirtualDrive(encoded, driveTable().letters(), letter)) {
    case VirtualDriveChange::Done:
        return letter;
    case VirtualDriveChange::NoFreeLetter:
        questions().messageBox(QStringLiteral("Every drive letter from D to Z is taken.\r\n"
                                              "Remove a virtual drive to add another one."),
            s_caption, MessageIcon::Warning, OkButton);
        break;
    case VirtualDriveChange::BadPath:
        questions().messageBox(
            QStringLiteral("%1 cannot be a virtual drive: its name holds a line break.").arg(absolute), s_caption,
            MessageIcon::Warning, OkButton);
        break;
    case VirtualDriveChange::NotWritten:
        questions().messageBox(QStringLiteral("Unable to write to %1")
                                   .arg(QFile::decodeName(QByteArray::fromStdString(virtualDriveListPath()))),
            s_caption, MessageIcon::Error, OkButton);
        break;
    }
    return 0;
}

void ScanDialog::addVirtualDrive(const QString& path)
{
    if (path.isEmpty()) {
        return;
    }
    if (const char letter = virtualDriveFor(path); letter != 0) {
        fillDriveList(letter);
    }
}

void ScanDialog::addImage()
{
    addVirtualDrive(questions().openFileName(QStringLiteral("Add Disc Image"), QDir::homePath(), s_imageFilter));
}

void ScanDialog::addFolder()
{
    addVirtualDrive(questions().chooseFolder(QStringLiteral("Add Folder"), QDir::homePath()));
}

void ScanDialog::onRemoveDriveClicked()
{
    const char letter = selectedLetter();
    Drive* drive = letter != 0 ? driveTable().drive(letter) : nullptr;
    if (drive == nullptr || !isVirtualDrive(letter)) {
        return;
    }
    const QString source = QFile::decodeName(QByteArray::fromStdString(drive->source()));
    if (questions().messageBox(QStringLiteral("Remove the virtual drive %1: (%2)?\r\n"
                                              "The image or folder itself stays where it is.")
                                   .arg(QChar::fromLatin1(letter), source),
            s_caption, MessageIcon::Question, YesButton | NoButton)
        != YesButton) {
        return;
    }
    if (removeVirtualDrive(letter) != VirtualDriveChange::Done) {
        questions().messageBox(QStringLiteral("Unable to write to %1")
                                   .arg(QFile::decodeName(QByteArray::fromStdString(virtualDriveListPath()))),
            s_caption, MessageIcon::Error, OkButton);
        return;
    }
    fillDriveList();
}
