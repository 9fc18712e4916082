#include "gui/scan/mediaevents.h"

#include "gui/common/errordisplay.h"
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

struct MediaEvents::Udev {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    ~Udev()
    {
        if (monitor != nullptr) {
            udev_monitor_unref(monitor);
        }
        if (context != nullptr) {
            udev_unref(context);
        }
    }
};

MediaEvents::MediaEvents(QObject* owner)
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
    connect(m_timer, &QTimer::timeout, this, &MediaEvents::poll);
    m_timer->start();
}

MediaEvents::~MediaEvents() = default;

char MediaEvents::firstDriveLetter(quint32 unitMask)
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

void MediaEvents::deviceChange(bool arrival, quint32 unitMask)
{
    const char letter = firstDriveLetter(unitMask);
    // A copy: the handler may replace the events or end the owner.
    const DeviceChangeHandler handler = arrival ? onArrival : onRemoval;
    if (letter == 0 || !handler) {
        return;
    }
    runGuarded([this, &handler, letter] { handler(this, letter); });
}

void MediaEvents::injectArrival(char letter) { mediumChanged(letter, true); }

void MediaEvents::injectRemoval(char letter) { mediumChanged(letter, false); }

void MediaEvents::mediumChanged(char letter, bool present)
{
    if (letter >= 'a' && letter <= 'z') {
        letter = static_cast<char>(letter - 'a' + 'A');
    }
    if (letter < 'A' || letter > 'Z') {
        return;
    }
    m_present[letter] = present;
    deviceChange(present, 1U << (letter - 'A'));
}

void MediaEvents::takePresence()
{
    m_present.clear();
    DriveTable& table = driveTable();
    for (const char letter : table.letters()) {
        if (Drive* drive = table.drive(letter)) {
            m_present[letter] = drive->mediumPresent();
        }
    }
}

void MediaEvents::poll()
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
        if (drive == nullptr || (drive->isDevice() && usesUdev())) {
            continue;
        }
        const bool present = drive->mediumPresent();
        const auto known = m_present.find(letter);
        if (known == m_present.end() || known->second != present) {
            mediumChanged(letter, present);
        }
    }
}

bool MediaEvents::isMediaChange(const char* action, const char* diskMediaChange, const char* idCdrom)
{
    return action != nullptr && std::strcmp(action, "change") == 0 && diskMediaChange != nullptr
        && std::strcmp(diskMediaChange, "1") == 0 && idCdrom != nullptr && std::strcmp(idCdrom, "1") == 0;
}

void MediaEvents::startUdev()
{
    auto source = std::make_unique<Udev>();
    source->context = udev_new();
    if (source->context == nullptr) {
        return;
    }
    source->monitor = udev_monitor_new_from_netlink(source->context, "udev");
    if (source->monitor == nullptr
        || udev_monitor_filter_add_match_subsystem_devtype(source->monitor, "block", "disk") < 0
        || udev_monitor_enable_receiving(source->monitor) < 0) {
        return;
    }
    const int descriptor = udev_monitor_get_fd(source->monitor);
    if (descriptor < 0) {
        return;
    }
    m_udev = std::move(source);
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &MediaEvents::udevReadable);
}

void MediaEvents::udevReadable()
{
    udev_device* device = udev_monitor_receive_device(m_udev->monitor);
    if (device == nullptr) {
        return;
    }
    const bool mediaChange
        = isMediaChange(udev_device_get_action(device), udev_device_get_property_value(device, "DISK_MEDIA_CHANGE"),
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
