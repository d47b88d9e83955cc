#pragma once

// The system's notices of USB devices plugged in and removed, as plain events; CDeviceNotifier turns them
// into device-change calls. Each system implements it in its platform folder (a udev monitor on Linux).

#include <QString>

#include <memory>
#include <optional>

struct DeviceEvent {
    bool added = false;  // plugged in; otherwise removed
    QString product;     // "vid/pid/bcd", hex without padding
    QString instance;    // the serial number, or the system's name of the device
};

class CDeviceMonitor {
public:
    virtual ~CDeviceMonitor() = default;
    // The descriptor that becomes readable when events wait, for the event loop to watch.
    virtual int Descriptor() const = 0;
    // The next waiting event, nothing when none waits (or the one waiting is neither add nor remove).
    virtual std::optional<DeviceEvent> Next() = 0;
    // Whether more may be waiting after Next gave nothing of use.
    virtual bool HasMore() const = 0;

    // The monitor of USB devices, or null when the system offers none (then no notices ever come).
    static std::unique_ptr<CDeviceMonitor> Open();
};
