#pragma once
// Media events: tells its owner when a disc was inserted into a drive or taken out of it, on the
// window thread. Optical drives are followed through udev (a change event with DISK_MEDIA_CHANGE=1),
// or, without a udev daemon, by asking each drive every two seconds whether a medium is present.
// Virtual drives (images and folders) are polled the same way: the path appearing is an arrival, its
// disappearing a removal. A drive table whose drives changed (a changed "vdrives.lst") raises
// drivesChanged instead, so that windows listing drives refill their lists.

#include <QObject>
#include <QtGlobal>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;
class QTimer;

class MediaEvents : public QObject {
    Q_OBJECT
public:
    /// A handler: the component and the letter of the drive whose medium changed.
    using DeviceChangeHandler = std::function<void(MediaEvents* sender, char firstDriveLetter)>;

    /// How often drives without udev events are asked.
    static constexpr int PollInterval = 2000;

    explicit MediaEvents(QObject* owner = nullptr);
    ~MediaEvents() override;

    /// Called after a medium was inserted into the drive with that letter.
    DeviceChangeHandler onArrival;
    /// Called after the medium of the drive with that letter was removed.
    DeviceChangeHandler onRemoval;

    /// The letter of the lowest set bit of a unit mask (bit 0 is 'A'); 0 for an empty mask.
    static char firstDriveLetter(quint32 unitMask);
    /// One decoded notification: arrival or removal of the media of the drives in unitMask. Only the
    /// lowest drive gets an event; an empty mask gets none. An error raised by a handler is shown by the
    /// application's error display and does not stop later notifications.
    void deviceChange(bool arrival, quint32 unitMask);

    /// The test source: a medium arrived in / left the drive with that letter.
    void injectArrival(char letter);
    void injectRemoval(char letter);
    /// Asks the polled drives and the drive table now (the timer does this every PollInterval).
    void poll();
    /// Whether optical drives are followed through udev (else they are polled).
    bool usesUdev() const { return m_udev != nullptr; }

    /// Whether a udev device event is a media change of an optical drive: the action "change" with
    /// DISK_MEDIA_CHANGE=1 on a device with ID_CDROM=1. Null texts count as missing.
    static bool isMediaChange(const char* action, const char* diskMediaChange, const char* idCdrom);

signals:
    /// The drive table's drives changed (added or removed); lists of drives should be refilled.
    void drivesChanged();

private:
    void startUdev();
    void udevReadable();
    /// Takes the presence of every polled drive without raising events.
    void takePresence();
    void mediumChanged(char letter, bool present);

    struct Udev;
    std::unique_ptr<Udev> m_udev;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_timer = nullptr;
    std::uint64_t m_revision = 0;
    /// The last known presence of a medium, by drive letter.
    std::map<char, bool> m_present;
};
