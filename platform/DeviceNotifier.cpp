#include "platform/DeviceNotifier.h"

#include <QSocketNotifier>
#include <QStringList>
#include <libudev.h>

QString UsbInterfaceName(const QString& product, const QString& instance) {
    const QStringList parts = product.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return QString();
    bool vidOk = false, pidOk = false;
    const uint vid = parts[0].toUInt(&vidOk, 16);
    const uint pid = parts[1].toUInt(&pidOk, 16);
    if (!vidOk || !pidOk || vid > 0xFFFF || pid > 0xFFFF)
        return QString();
    const auto hex4 = [](uint value) {
        return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
    };
    return QStringLiteral("\\\\?\\USB#VID_%1&PID_%2#%3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")
        .arg(hex4(vid), hex4(pid), instance);
}

std::unique_ptr<CDeviceNotifier> CDeviceNotifier::Register(Handler handler, QObject* parent) {
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
    return std::unique_ptr<CDeviceNotifier>(new CDeviceNotifier(pUdev, pMonitor, std::move(handler), parent));
}

CDeviceNotifier::CDeviceNotifier(udev* pUdev, udev_monitor* pMonitor, Handler handler, QObject* parent)
    : QObject(parent), m_pUdev(pUdev), m_pMonitor(pMonitor), m_Handler(std::move(handler)),
      m_pNotifier(new QSocketNotifier(udev_monitor_get_fd(pMonitor), QSocketNotifier::Read, this)) {
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CDeviceNotifier::OnReadable);
}

CDeviceNotifier::~CDeviceNotifier() {
    m_pNotifier->setEnabled(false);
    udev_monitor_unref(m_pMonitor);
    udev_unref(m_pUdev);
}

void CDeviceNotifier::OnReadable() {
    // One readable notice may stand for several queued events; the socket is non-blocking, so
    // the loop ends when it is drained.
    while (udev_device* device = udev_monitor_receive_device(m_pMonitor)) {
        const char* action = udev_device_get_action(device);
        const char* product = udev_device_get_property_value(device, "PRODUCT");
        const char* serial = udev_device_get_property_value(device, "ID_SERIAL_SHORT");
        const char* sysname = udev_device_get_sysname(device);
        unsigned nEventType = 0;
        if (action && qstrcmp(action, "add") == 0)
            nEventType = DBT_DEVICEARRIVAL;
        else if (action && qstrcmp(action, "remove") == 0)
            nEventType = DBT_DEVICEREMOVECOMPLETE;
        DEV_BROADCAST_DEVICEINTERFACE data;
        data.dbcc_name = UsbInterfaceName(QString::fromUtf8(product),
                                          QString::fromUtf8(serial && *serial ? serial : sysname));
        udev_device_unref(device);
        if (nEventType != 0 && !data.dbcc_name.isEmpty() && m_Handler)
            m_Handler(nEventType, &data);
    }
}
