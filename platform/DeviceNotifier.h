#pragma once

// Device-change notification for USB devices: the system's device monitor (DeviceMonitor.h), whose
// descriptor is watched on the event loop. Every device plugged in becomes a device-arrival
// call (0x8000) and every one removed a removal-complete call (0x8004) of the handler, with a
// device-interface record whose name is built the way the system names USB device interfaces:
// \\?\USB#VID_vvvv&PID_pppp#<serial or sysname>#{a5dcbf10-6530-11d2-901f-00c04fb951ed}

#include <QObject>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>

constexpr unsigned DBT_DEVICEARRIVAL = 0x8000;
constexpr unsigned DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr unsigned DBT_DEVTYP_DEVICEINTERFACE = 5;

// The USB device interface class.
inline const QUuid GUID_DEVINTERFACE_USB_DEVICE{0xa5dcbf10, 0x6530, 0x11d2, 0x90, 0x1f, 0x00,
                                                0xc0,       0x4f,   0xb9,   0x51, 0xed};

// The event data of a device-change message: the common header fields, and for device
// interfaces the class and the interface name.
struct DEV_BROADCAST_DEVICEINTERFACE {
    unsigned dbcc_size = 32;
    unsigned dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    unsigned dbcc_reserved = 0;
    QUuid dbcc_classguid = GUID_DEVINTERFACE_USB_DEVICE;
    QString dbcc_name;
};

// The interface name for a udev PRODUCT property ("vid/pid/bcd", hex without padding) and the
// instance part (serial number or sysname). Empty when PRODUCT is not of that form.
QString UsbInterfaceName(const QString& product, const QString& instance);

class CDeviceMonitor;
class QSocketNotifier;

class CDeviceNotifier : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData)>;

    // Starts monitoring; the handler runs on the thread of the event loop. Returns nullptr when
    // the system's monitor cannot be opened, in which case no device-change calls ever come.
    static std::unique_ptr<CDeviceNotifier> Register(Handler handler, QObject* parent = nullptr);
    ~CDeviceNotifier() override;

private:
    CDeviceNotifier(std::unique_ptr<CDeviceMonitor> monitor, Handler handler, QObject* parent);
    void OnReadable();

    std::unique_ptr<CDeviceMonitor> m_pMonitor;
    Handler m_Handler;
    QSocketNotifier* m_pNotifier;
};
