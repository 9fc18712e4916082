#include "gui/compare/sourcepicker.h"

#include "core/companion/companioncatalogs.h"
#include "core/filesets/catalogerror.h"
#include "gui/common/errordisplay.h"
#include "platform/drivelayer.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

SourcePicker::SourcePicker(const CompanionCatalogs& catalogs, QWidget* parent)
    : QWidget(parent)
    , m_catalogs(catalogs)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    kindChooser = new QComboBox(this);
    kindChooser->setObjectName(QStringLiteral("kindChooser"));
    kindChooser->addItems({ QStringLiteral("Disc"), QStringLiteral("Fileset"), QStringLiteral("Folder or Image"),
        QStringLiteral("Drive") });
    filesetChooser = new QComboBox(this);
    filesetChooser->setObjectName(QStringLiteral("filesetChooser"));
    for (int index = 0; index < catalogs.count(); ++index) {
        const CatalogEntry& entry = catalogs.at(index);
        filesetChooser->addItem(entry.owner + QLatin1Char('\\') + entry.description, index);
    }
    discChooser = new QComboBox(this);
    discChooser->setObjectName(QStringLiteral("discChooser"));
    discChooser->setMinimumContentsLength(24);
    pathEdit = new QLineEdit(this);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathEdit->setPlaceholderText(QStringLiteral("A folder or a disc image"));
    browseButton = new QPushButton(QStringLiteral("Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    driveChooser = new QComboBox(this);
    driveChooser->setObjectName(QStringLiteral("driveChooser"));
    for (const char letter : driveTable().letters()) {
        Drive* drive = driveTable().drive(letter);
        const QString name = QString(QLatin1Char(letter)) + QLatin1Char(':');
        driveChooser->addItem(
            drive == nullptr ? name : name + QStringLiteral("  ") + QString::fromStdString(drive->source()), name);
    }
    layout->addWidget(kindChooser);
    layout->addWidget(filesetChooser, 1);
    layout->addWidget(discChooser, 1);
    layout->addWidget(pathEdit, 2);
    layout->addWidget(browseButton);
    layout->addWidget(driveChooser, 2);

    connectGuarded(kindChooser, &QComboBox::currentIndexChanged, this, [this] { showKind(); });
    connectGuarded(filesetChooser, &QComboBox::currentIndexChanged, this, [this] { fillDiscs(); });
    connectGuarded(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    fillDiscs();
    showKind();
}

void SourcePicker::showKind()
{
    const int kind = kindChooser->currentIndex();
    filesetChooser->setVisible(kind == DiscKind || kind == FilesetKind);
    discChooser->setVisible(kind == DiscKind);
    pathEdit->setVisible(kind == LocationKind);
    browseButton->setVisible(kind == LocationKind);
    driveChooser->setVisible(kind == DriveKind);
}

void SourcePicker::fillDiscs()
{
    discChooser->clear();
    const QVariant catalog = filesetChooser->currentData();
    if (!catalog.isValid()) {
        return;
    }
    try {
        for (const CatalogDiscEntry& disc : m_catalogs.discs(catalog.toInt())) {
            discChooser->addItem(disc.title, QVariant::fromValue(disc.offset));
        }
    } catch (const CatalogError& error) {
        discChooser->addItem(error.message());
    }
}

void SourcePicker::browse()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Folder"), pathEdit->text());
    if (!folder.isEmpty()) {
        pathEdit->setText(folder);
    }
}

void SourcePicker::chooseCatalog(int catalog, std::uint32_t disc)
{
    kindChooser->setCurrentIndex(disc == 0 ? FilesetKind : DiscKind);
    filesetChooser->setCurrentIndex(filesetChooser->findData(catalog));
    if (disc != 0) {
        discChooser->setCurrentIndex(discChooser->findData(QVariant::fromValue(disc)));
    }
}

void SourcePicker::chooseLocation(const QString& path)
{
    kindChooser->setCurrentIndex(LocationKind);
    pathEdit->setText(path);
}

std::optional<CompareSource> SourcePicker::source(QString& problem) const
{
    switch (kindChooser->currentIndex()) {
    case DiscKind:
        if (!filesetChooser->currentData().isValid() || !discChooser->currentData().isValid()) {
            problem = QStringLiteral("Choose a disc.");
            return std::nullopt;
        }
        return CompareSource::discOf(filesetChooser->currentData().toInt(), discChooser->currentData().toUInt());
    case FilesetKind:
        if (!filesetChooser->currentData().isValid()) {
            problem = QStringLiteral("Choose a fileset.");
            return std::nullopt;
        }
        return CompareSource::fileset(filesetChooser->currentData().toInt());
    case LocationKind:
        if (pathEdit->text().trimmed().isEmpty()) {
            problem = QStringLiteral("Choose a folder or a disc image.");
            return std::nullopt;
        }
        return CompareSource::place(pathEdit->text());
    default:
        if (!driveChooser->currentData().isValid()) {
            problem = QStringLiteral("There is no drive to choose.");
            return std::nullopt;
        }
        return CompareSource::place(driveChooser->currentData().toString());
    }
}
