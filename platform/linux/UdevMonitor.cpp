// USB device notices on Linux: a udev monitor on subsystem "usb", device type "usb_device".

#include "platform/DeviceMonitor.h"

#include <QByteArray>

#include <libudev.h>

namespace {

class CUdevMonitor : public CDeviceMonitor {
public:
    CUdevMonitor(udev* pUdev, udev_monitor* pMonitor) : m_pUdev(pUdev), m_pMonitor(pMonitor) {}
    ~CUdevMonitor() override {
        udev_monitor_unref(m_pMonitor);
        udev_unref(m_pUdev);
    }

    int Descriptor() const override { return udev_monitor_get_fd(m_pMonitor); }

    std::optional<DeviceEvent> Next() override {
        // The socket is non-blocking: nothing received means nothing waits.
        udev_device* device = udev_monitor_receive_device(m_pMonitor);
        m_bMore = device != nullptr;
        if (!device)
            return std::nullopt;
        const char* action = udev_device_get_action(device);
        const char* product = udev_device_get_property_value(device, "PRODUCT");
        const char* serial = udev_device_get_property_value(device, "ID_SERIAL_SHORT");
        const char* sysname = udev_device_get_sysname(device);
        std::optional<DeviceEvent> event;
        const QByteArray name(action ? action : "");
        if (name == "add" || name == "remove")
            event = DeviceEvent{name == "add", QString::fromUtf8(product),
                                QString::fromUtf8(serial && *serial ? serial : sysname)};
        udev_device_unref(device);
        return event;
    }

    bool HasMore() const override { return m_bMore; }

private:
    udev* m_pUdev;
    udev_monitor* m_pMonitor;
    bool m_bMore = true;
};

} // namespace

std::unique_ptr<CDeviceMonitor> CDeviceMonitor::Open() {
    udev* pUdev = udev_new();
    if (!pUdev)
        return nullptr;
    udev_monitor* pMonitor = udev_monitor_new_from_netlink(pUdev, "udev");
    if (!pMonitor || udev_monitor_filter_add_match_subsystem_devtype(pMonitor, "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(pMonitor) < 0) {
        if (pMonitor)
            udev_monitor_unref(pMonitor);
        udev_unref(pUdev);
        return nullptr;
    }
    return std::make_unique<CUdevMonitor>(pUdev, pMonitor);
}
