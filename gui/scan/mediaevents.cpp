#include "gui/scan/mediaevents.h"

#include "gui/common/appicons.h"
#include "platform/drivelayer.h"

#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cstring>
#include <libudev.h>

namespace {

const char* const s_udevControl = "/run/udev/control";

/// The device node with its links resolved ("/dev/cdrom" is "/dev/sr0").
QString resolvedNode(const QString& node)
{
    const QString target = QFileInfo(node).canonicalFilePath();
    return target.isEmpty() ? node : target;
}

} // namespace

struct TCDEvents::Udev {
    udev* Context = nullptr;
    udev_monitor* Monitor = nullptr;

    ~Udev()
    {
        if (Monitor != nullptr) {
            udev_monitor_unref(Monitor);
        }
        if (Context != nullptr) {
            udev_unref(Context);
        }
    }
};

TCDEvents::TCDEvents(QObject* owner)
    : QObject(owner)
{
    m_revision = driveTable().revision();
    // Without a udev daemon no events come: the timer asks the optical drives too.
    if (QFileInfo::exists(QString::fromLatin1(s_udevControl))) {
        startUdev();
    }
    takePresence();
    m_timer = new QTimer(this);
    m_timer->setInterval(PollInterval);
    connect(m_timer, &QTimer::timeout, this, &TCDEvents::Poll);
    m_timer->start();
}

TCDEvents::~TCDEvents() = default;

char TCDEvents::FirstDriveLetter(quint32 unitMask)
{
    if (unitMask == 0) {
        return 0;
    }
    char letter = 'A';
    while ((unitMask & 1U) == 0) {
        unitMask >>= 1;
        ++letter;
    }
    return letter;
}

void TCDEvents::DeviceChange(bool arrival, quint32 unitMask)
{
    const char letter = FirstDriveLetter(unitMask);
    // A copy: the handler may replace the events or end the owner.
    const TDeviceChangeEvent handler = arrival ? AfterArrival : AfterRemove;
    if (letter == 0 || !handler) {
        return;
    }
    RunGuarded([this, &handler, letter] { handler(this, letter); });
}

void TCDEvents::InjectArrival(char letter) { mediumChanged(letter, true); }

void TCDEvents::InjectRemoval(char letter) { mediumChanged(letter, false); }

void TCDEvents::mediumChanged(char letter, bool present)
{
    if (letter >= 'a' && letter <= 'z') {
        letter = static_cast<char>(letter - 'a' + 'A');
    }
    if (letter < 'A' || letter > 'Z') {
        return;
    }
    m_present[letter] = present;
    DeviceChange(present, 1U << (letter - 'A'));
}

void TCDEvents::takePresence()
{
    m_present.clear();
    DriveTable& table = driveTable();
    for (const char letter : table.letters()) {
        if (Drive* drive = table.drive(letter)) {
            m_present[letter] = drive->mediumPresent();
        }
    }
}

void TCDEvents::Poll()
{
    DriveTable& table = driveTable();
    const std::uint64_t revision = table.revision();
    if (revision != m_revision) {
        // Whole drives came or went: no media event, the owner refills its list.
        m_revision = revision;
        takePresence();
        emit drivesChanged();
        return;
    }
    for (const char letter : table.letters()) {
        Drive* drive = table.drive(letter);
        if (drive == nullptr || (drive->isDevice() && UsesUdev())) {
            continue;
        }
        const bool present = drive->mediumPresent();
        const auto known = m_present.find(letter);
        if (known == m_present.end() || known->second != present) {
            mediumChanged(letter, present);
        }
    }
}

bool TCDEvents::IsMediaChange(const char* action, const char* diskMediaChange, const char* idCdrom)
{
    return action != nullptr && std::strcmp(action, "change") == 0 && diskMediaChange != nullptr
        && std::strcmp(diskMediaChange, "1") == 0 && idCdrom != nullptr && std::strcmp(idCdrom, "1") == 0;
}

void TCDEvents::startUdev()
{
    auto source = std::make_unique<Udev>();
    source->Context = udev_new();
    if (source->Context == nullptr) {
        return;
    }
    source->Monitor = udev_monitor_new_from_netlink(source->Context, "udev");
    if (source->Monitor == nullptr
        || udev_monitor_filter_add_match_subsystem_devtype(source->Monitor, "block", "disk") < 0
        || udev_monitor_enable_receiving(source->Monitor) < 0) {
        return;
    }
    const int descriptor = udev_monitor_get_fd(source->Monitor);
    if (descriptor < 0) {
        return;
    }
    m_udev = std::move(source);
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TCDEvents::udevReadable);
}

void TCDEvents::udevReadable()
{
    udev_device* device = udev_monitor_receive_device(m_udev->Monitor);
    if (device == nullptr) {
        return;
    }
    const bool mediaChange
        = IsMediaChange(udev_device_get_action(device), udev_device_get_property_value(device, "DISK_MEDIA_CHANGE"),
            udev_device_get_property_value(device, "ID_CDROM"));
    const char* node = udev_device_get_devnode(device);
    const QString changed = mediaChange && node != nullptr ? resolvedNode(QString::fromLocal8Bit(node)) : QString();
    udev_device_unref(device);
    if (changed.isEmpty()) {
        return;
    }
    DriveTable& table = driveTable();
    for (const char letter : table.letters()) {
        Drive* drive = table.drive(letter);
        if (drive != nullptr && drive->isDevice() && resolvedNode(QString::fromStdString(drive->source())) == changed) {
            mediumChanged(letter, drive->mediumPresent());
            return;
        }
    }
}
