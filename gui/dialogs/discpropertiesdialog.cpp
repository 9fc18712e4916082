#include "gui/dialogs/discpropertiesdialog.h"

#include "core/filesets/catalogerror.h"
#include "core/filesets/fileset.h"
#include "core/filesets/owner.h"
#include "core/text/catalogtext.h"
#include "core/text/formatsize.h"
#include "engine/ktb_discs.h"
#include "engine/ktb_io.h"
#include "engine/ktb_owners.h"
#include "gui/common/appicons.h"
#include "gui/common/dialogparts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Catalogs keep a comment's line breaks as CR LF; the box shows plain line feeds.
QString commentForDisplay(const char* stored)
{
    return decodeCatalogText(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void copyText(char* field, std::size_t fieldSize, const std::string& bytes)
{
    std::memset(field, 0, fieldSize);
    std::memcpy(field, bytes.data(), std::min(bytes.size(), fieldSize - 1));
}

// The disc record at an item's offset. A fileset whose record cannot be read is closed before the error
// is raised.
TKTBDisc readDisc(const ItemRef& item)
{
    auto* fileset = static_cast<Fileset*>(item.ref);
    KtbEntityPtr entity;
    const TKTBERROR code = ktbReadEntityOwned(fileset->handle(), item.offset, entity);
    const TKTBDisc* record = entity != nullptr ? entity->disc() : nullptr;
    if (code != KTB_OK || record == nullptr) {
        fileset->close();
        throw CatalogError(code != KTB_OK ? code : KTB_ERR_BADENTITY, fileset->fileName);
    }
    return *record;
}

} // namespace

std::int64_t capacityFromText(const QString& text)
{
    bool isNumber = false;
    const qlonglong megabytes = text.toLongLong(&isNumber, 10);
    std::int64_t bytes = 0;
    if (!isNumber || __builtin_mul_overflow(megabytes, DiscCapacityUnit, &bytes)) {
        return 0;
    }
    return bytes;
}

DiscPropertiesDialog::DiscPropertiesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("discPropertiesDialog"));
    setWindowTitle(QStringLiteral("Disc Properties"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setPixmap(smallImageList().icon(DataDiscImage).pixmap(32, 32));
    titleEdit = new QLineEdit(this);
    titleEdit->setObjectName(QStringLiteral("titleEdit"));
    titleEdit->setMinimumWidth(300);
    top->addWidget(iconLabel);
    top->addWidget(titleEdit, 1);
    layout->addLayout(top);

    auto* facts = new QFormLayout;
    ownerLabel = valueLabel(this, "ownerLabel");
    facts->addRow(QStringLiteral("Owner"), ownerLabel);
    capacityCombo = new QComboBox(this);
    capacityCombo->setObjectName(QStringLiteral("capacityCombo"));
    capacityCombo->setEditable(true);
    capacityCombo->setInsertPolicy(QComboBox::NoInsert);
    // Room for the capacity of any disc in megabytes (a Blu-ray's 25000 and more), never cut.
    capacityCombo->setMinimumContentsLength(7);
    capacityCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    capacityCombo->addItems({ QStringLiteral("650"), QStringLiteral("680"), QStringLiteral("700") });
    capacityCombo->setEditText(QStringLiteral("650"));
    auto* capacityRow = new QHBoxLayout;
    capacityRow->addWidget(capacityCombo);
    capacityRow->addWidget(new QLabel(QStringLiteral("Megabytes"), this));
    capacityRow->addStretch(1);
    facts->addRow(QStringLiteral("Disc Capacity"), capacityRow);
    scannedLabel = valueLabel(this, "scannedLabel");
    entriesLabel = valueLabel(this, "entriesLabel");
    usedLabel = valueLabel(this, "usedLabel");
    freeLabel = valueLabel(this, "freeLabel");
    facts->addRow(QStringLiteral("Scanned:"), scannedLabel);
    facts->addRow(QStringLiteral("Files: "), entriesLabel);
    facts->addRow(QStringLiteral("Used space"), usedLabel);
    facts->addRow(QStringLiteral("Free Space"), freeLabel);
    audioCheckBox = new QCheckBox(QStringLiteral("AudioCD"), this);
    audioCheckBox->setObjectName(QStringLiteral("audioCheckBox"));
    facts->addRow(QString(), audioCheckBox);
    layout->addLayout(facts);

    auto* commentLabel = new QLabel(QStringLiteral("Comments"), this);
    commentEdit = new QPlainTextEdit(this);
    commentEdit->setObjectName(QStringLiteral("commentEdit"));
    commentEdit->setTabChangesFocus(true);
    commentEdit->setFixedHeight(commentEdit->fontMetrics().lineSpacing() * 4 + 12);
    commentLabel->setBuddy(commentEdit);
    layout->addWidget(commentLabel);
    layout->addWidget(commentEdit);

    addButtonRow(layout, this, okButton, "okButton", QStringLiteral("Ok"), cancelButton, "okButton");
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connectConfirm(this, okButton, [this] { onOkClicked(); });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The grayed state is the window's own: once the user clicks the box it has two states.
    connect(audioCheckBox, &QCheckBox::clicked, this, [this] { audioCheckBox->setTristate(false); });
}

void DiscPropertiesDialog::fill(const ItemRefs& items)
{
    m_items.clear();
    for (const ItemRef& item : items) {
        if (item.kind == DiscItem && item.ref != nullptr) {
            m_items.push_back(item);
        }
    }
    const bool single = m_items.size() == 1;
    if (!single) {
        showAsUnused(titleEdit);
        showAsUnused(commentEdit);
        audioCheckBox->setTristate(true);
        audioCheckBox->setCheckState(Qt::PartiallyChecked);
    }
    std::uint64_t files = 0;
    std::uint64_t used = 0;
    std::optional<std::int64_t> capacity;
    m_severalCapacities = false;
    for (const ItemRef& item : m_items) {
        auto* fileset = static_cast<Fileset*>(item.ref);
        if (fileset->readOnly) {
            okButton->setEnabled(false);
        }
        const TKTBDisc disc = readDisc(item);
        const QString title = decodeCatalogText(disc.Title);
        titleEdit->setText(titleEdit->text().isEmpty() ? title : titleEdit->text() + QStringLiteral(", ") + title);
        if (single) {
            ownerLabel->setText(fileset->owner());
            commentEdit->setPlainText(commentForDisplay(disc.Comment));
            scannedLabel->setText(formatDateTime(dosToDateTime(disc.ScanTime)));
        }
        // One figure for discs that share it; different ones are not overwritten by the last disc's.
        m_severalCapacities = m_severalCapacities || (capacity && *capacity != disc.Capacity);
        capacity = disc.Capacity;
        capacityCombo->setEditText(m_severalCapacities ? QString() : QString::number(disc.Capacity / DiscCapacityUnit));
        files += disc.Files;
        used += static_cast<std::uint64_t>(disc.Used);
        entriesLabel->setText(QString::number(files));
        usedLabel->setText(formatSize(static_cast<std::int64_t>(used)));
        if (single) {
            // Signed: an over-full disc shows how much it is over, with a "-".
            const auto free = static_cast<std::int64_t>(
                static_cast<std::uint64_t>(disc.Capacity) - static_cast<std::uint64_t>(disc.Used));
            freeLabel->setText(formatSize(free));
            audioCheckBox->setChecked((disc.Flags & KTB_DISC_AUDIO) != 0);
        }
        fileset->close();
    }
    if (m_severalCapacities && capacityCombo->lineEdit() != nullptr) {
        capacityCombo->lineEdit()->setPlaceholderText(QStringLiteral("(several values)"));
    }
    titleEdit->setCursorPosition(0);
}

void DiscPropertiesDialog::onOkClicked()
{
    const std::int64_t capacity = capacityFromText(capacityCombo->currentText());
    // Left empty over different capacities, the box changes none of them.
    const bool withCapacity = !(m_severalCapacities && capacityCombo->currentText().trimmed().isEmpty());
    const bool withTexts = titleEdit->isEnabled();
    std::string comment = encodeCatalogText(
        commentEdit->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")), KTB_COMMENT_MAX);
    if (!comment.empty() && comment.back() == '\r') {
        comment.pop_back(); // a line break cut in half
    }
    const std::string title = encodeCatalogText(titleEdit->text(), KTB_TITLE_MAX);
    for (const ItemRef& item : m_items) {
        TKTBDisc disc {};
        disc.Capacity = capacity;
        switch (audioCheckBox->checkState()) {
        case Qt::Unchecked:
            disc.Flags = item.flags & ~KTB_DISC_AUDIO;
            break;
        case Qt::Checked:
            disc.Flags = item.flags | KTB_DISC_AUDIO;
            break;
        case Qt::PartiallyChecked:
            disc.Flags = item.flags;
            break;
        }
        std::uint32_t mask = withCapacity ? KTB_DISC_CAPACITY | KTB_DISC_FLAGS : KTB_DISC_FLAGS;
        if (withTexts) {
            copyText(disc.Title, sizeof disc.Title, title);
            copyText(disc.Comment, sizeof disc.Comment, comment);
            mask |= KTB_DISC_TITLE | KTB_DISC_COMMENT;
        }
        auto* fileset = static_cast<Fileset*>(item.ref);
        // A refused update (a locked fileset) leaves the disc as it was; nothing to tell the user.
        ktbUpdateDisc(fileset->handle(), item.offset, disc, mask);
        fileset->close();
    }
}

int showDiscProperties(const ItemRefs& items)
{
    if (items.empty()) {
        return QDialog::Rejected;
    }
    auto window = std::make_unique<DiscPropertiesDialog>(QApplication::activeWindow());
    window->fill(items);
    centreOnScreen(window.get());
    return window->exec();
}
