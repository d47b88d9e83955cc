#pragma once

// A umockdev testbed with emulated USB devices, so that the real libusb and libudev of a process (and
// of the programs it starts) see readers being plugged in and removed.
//
// The process must run under the umockdev preload. A program calls EnsurePreload first thing in main
// (the shared test main does it for every device test binary):
//
//   int main(int argc, char** argv) {
//       CEmuTestbed::EnsurePreload(argc, argv);   // re-executes itself under LD_PRELOAD when needed
//       ...
//   }
//
//   CEmuTestbed testbed;                          // the root hub at 001/001 is already there
//   auto reader = testbed.PlugReader();           // 0x0314/0x1001 at 001/00N, "add" uevent
//   reader->Reader().PutCard(78187493530);        // CEmulatedReader: card store, faults, transfer log
//   CRFIDDevice device;                           // reader objects after the testbed (usb_init)
//   device.OpenReader();
//   reader->Unplug();                             // "remove" uevent, node gone, handles go stale
//   reader->Replug();                             // "add" uevent, same number, same behaviour object
//   auto other = testbed.PlugDevice(0x046d, 0xc52b);   // an unrelated device
//   QProcess child; child.setProcessEnvironment(testbed.ChildEnvironment());  // sees the same testbed
//
// One testbed at a time; devices are unplugged when the testbed goes.

#include "reader/ReaderIdentity.h"
#include "emulator/EmulatedReader.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>
#include <vector>

class CEmuTestbed;

// One emulated USB device on the testbed.
class CEmuUsbDevice {
public:
    ~CEmuUsbDevice();
    CEmuUsbDevice(const CEmuUsbDevice&) = delete;
    CEmuUsbDevice& operator=(const CEmuUsbDevice&) = delete;

    CEmulatedReader& Reader() { return *m_reader; }
    std::shared_ptr<CEmulatedReader> SharedReader() const { return m_reader; }
    int VendorId() const { return m_nVendorId; }
    int ProductId() const { return m_nProductId; }
    int BusNumber() const { return 1; }
    int DeviceNumber() const { return m_nDevNum; }
    QString DevNode() const; // /dev/bus/usb/001/00N
    QString SysPath() const { return m_sysPath; }
    bool IsPlugged() const { return !m_sysPath.isEmpty(); }

    void Unplug(); // sends "remove", then takes the node away
    void Replug(); // comes back under the same device number, sending "add"

    struct Handler; // the ioctl side of the device node

private:
    friend class CEmuTestbed;
    CEmuUsbDevice(CEmuTestbed& testbed, int vendorId, int productId, int devNum,
                  std::shared_ptr<CEmulatedReader> reader, const QString& serial);

    CEmuTestbed* m_pTestbed;
    int m_nVendorId;
    int m_nProductId;
    int m_nDevNum;
    std::shared_ptr<CEmulatedReader> m_reader;
    QString m_strSerial;
    QString m_sysPath;
    std::unique_ptr<Handler> m_handler;
};

class CEmuTestbed {
public:
    // Re-executes the program under libumockdev-preload.so.0 (with TMPDIR pointed at a scratch folder)
    // unless it already runs under it. Returns only when the preload is in place.
    static void EnsurePreload(int argc, char** argv);
    static bool UnderPreload();

    CEmuTestbed();
    ~CEmuTestbed();
    CEmuTestbed(const CEmuTestbed&) = delete;
    CEmuTestbed& operator=(const CEmuTestbed&) = delete;

    // A reader (0x0314/0x1001 by default; other ids give a device that answers like a reader but
    // must never be opened).
    std::shared_ptr<CEmuUsbDevice> PlugReader(int vendorId = READER_VENDOR_ID,
                                              int productId = READER_PRODUCT_ID);
    // A reader with a serial number in its place on the system's device tree, as some readers have.
    std::shared_ptr<CEmuUsbDevice> PlugReaderWithSerial(const QString& serial);
    // A device that is no reader: it stalls every vendor transfer (and logs it in Reader()).
    std::shared_ptr<CEmuUsbDevice> PlugDevice(int vendorId, int productId);

    // The environment for a child process that must see this testbed (LD_PRELOAD, UMOCKDEV_DIR).
    QProcessEnvironment ChildEnvironment() const;
    QString RootDir() const;

private:
    friend class CEmuUsbDevice;
    std::shared_ptr<CEmuUsbDevice> Plug(int vendorId, int productId, std::shared_ptr<CEmulatedReader> reader,
                                        const QString& serial = QString());

    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
