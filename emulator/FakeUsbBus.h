#pragma once

// An in-process USB bus that takes the place of libusb in the reader layer's call table while it
// exists. Devices on it may carry an emulated reader that answers control transfers.
//
//   CFakeUsbBus bus;                               // installed into the call table until destroyed
//   CEmulatedReader& reader = bus.AddReader();     // vendor 0x0314, product 0x1001 on bus 0
//   int other = bus.AddDevice(0x0314, 0x2000);     // same vendor, other product: stalls everything
//   CRFIDDevice device;                            // best constructed after the bus, destroyed before it
//   device.OpenReader();                           // rescans, then opens the first reader
//   bus.Unplug(id);                                // gone at the next scan; open handles turn stale
//   bus.OpenCount(id), bus.CloseCount(), bus.OpenHandles(), bus.InitCount() ...
//
// Only one bus may exist at a time; when it goes, a reader handle it gave out is closed and cleared. Handles
// of unplugged devices stay valid objects whose transfers fail with -ENODEV, as a stale handle to a vanished
// device does.

#include "platform/UsbApi.h"
#include "emulator/EmulatedReader.h"

#include <QTemporaryDir>

#include <list>
#include <memory>
#include <set>
#include <vector>

class CFakeUsbBus {
public:
    explicit CFakeUsbBus(int busCount = 1);
    ~CFakeUsbBus();
    CFakeUsbBus(const CFakeUsbBus&) = delete;
    CFakeUsbBus& operator=(const CFakeUsbBus&) = delete;

    // Adds a device at the end of a bus's device list and returns its id (0, 1, 2, ... in order of
    // adding). Without a reader behind it the device stalls every transfer.
    int AddDevice(int vendorId, int productId, int bus = 0,
                  std::shared_ptr<CEmulatedReader> reader = nullptr);
    // Adds a reader (0x0314/0x1001) and returns its behaviour; its id is LastDeviceId().
    CEmulatedReader& AddReader(int bus = 0);
    CEmulatedReader& Reader(int deviceId);
    int LastDeviceId() const { return m_nNextId - 1; }

    // Takes a device off the bus: the next scan no longer lists it, and its open handles go stale.
    void Unplug(int deviceId);

    int InitCount() const { return m_nInit; }
    int ScanCount() const { return m_nScan; } // usb_find_devices calls
    int OpenCount(int deviceId) const;
    int CloseCount() const { return m_nClose; }
    int OpenHandles() const { return static_cast<int>(m_openHandles.size()); }
    int TransferCount() const { return m_nTransfers; }
    int LastTimeoutMs() const { return m_nLastTimeout; }
    // Transfers attempted on a null handle (the real library would crash on them).
    int NullHandleTransfers() const { return m_nNullHandleTransfers; }

private:
    QTemporaryDir m_lockFolder;
    struct Device;
    struct Handle;

    static void Init();
    static int FindBusses();
    static int FindDevices();
    static struct usb_bus* GetBusses();
    static usb_dev_handle* Open(struct usb_device* device);
    static int ControlMsg(usb_dev_handle* handle, int requestType, int request, int value, int index,
                          char* bytes, int size, int timeout);
    static int Close(usb_dev_handle* handle);

    void RebuildLists();

    static CFakeUsbBus* s_pActive;

    UsbApi m_previousApi;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<struct usb_bus> m_busses;
    std::list<struct usb_device> m_listed; // stable addresses for the library-style lists
    std::set<Handle*> m_openHandles;
    std::vector<std::unique_ptr<Handle>> m_allHandles;
    int m_nNextId = 0;
    int m_nInit = 0;
    int m_nScan = 0;
    int m_nClose = 0;
    int m_nTransfers = 0;
    int m_nLastTimeout = 0;
    int m_nNullHandleTransfers = 0;
};
