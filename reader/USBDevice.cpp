#include "reader/USBDevice.h"

#include "platform/System.h"
#include "platform/UsbApi.h"

#include <usb.h>

namespace {

// The one reader handle of the process, shared by every command.
usb_dev_handle* g_hReader = nullptr;
// A transfer on g_hReader found its device gone.
bool g_bReaderGone = false;

bool IsReader(const struct usb_device* device) {
    return device->descriptor.idVendor == READER_VENDOR_ID &&
           device->descriptor.idProduct == READER_PRODUCT_ID;
}

// Walks the bus lists of the last scan in order and hands each reader to visit until visit returns true;
// returns the reader it stopped at, null when it went through them all.
template <typename Visit>
struct usb_device* WalkReaders(Visit visit) {
    for (struct usb_bus* bus = CurrentUsbApi().getBusses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (IsReader(device) && visit(*bus, *device))
                return device;
        }
    }
    return nullptr;
}

} // namespace

CUSBDevice::CUSBDevice() {
    CurrentUsbApi().init();
}

CUSBDevice::~CUSBDevice() {
    if (g_hReader) {
        CurrentUsbApi().close(g_hReader);
        // Cleared, so that no later reader object closes the same handle a second time.
        g_hReader = nullptr;
    }
}

std::vector<std::string> ReaderDeviceNodes() {
    std::vector<std::string> nodes;
    WalkReaders([&nodes](const struct usb_bus& bus, const struct usb_device& device) {
        nodes.push_back(UsbDeviceNode(QString::fromLocal8Bit(bus.dirname), QString::fromLocal8Bit(device.filename)).toStdString());
        return false;
    });
    return nodes;
}

usb_dev_handle* CUSBDevice::FindReader() {
    struct usb_device* first = WalkReaders([](const struct usb_bus&, const struct usb_device&) { return true; });
    return first ? CurrentUsbApi().open(first) : nullptr;
}

void CUSBDevice::RescanBuses() {
    CurrentUsbApi().findBusses();
    CurrentUsbApi().findDevices();
}

void CUSBDevice::StoreReaderHandle(usb_dev_handle* handle) {
    // A stale handle from an unplugged reader is closed before it is replaced; nothing uses it again.
    if (g_hReader && g_hReader != handle)
        CurrentUsbApi().close(g_hReader);
    g_hReader = handle;
    g_bReaderGone = false;
}

bool CUSBDevice::OpenReader() {
    RescanBuses();
    StoreReaderHandle(FindReader());
    return g_hReader != nullptr;
}

usb_dev_handle* CUSBDevice::ReaderHandle() {
    return g_hReader;
}

bool CUSBDevice::ReaderGone() {
    return g_bReaderGone;
}

void CUSBDevice::MarkReaderGone() {
    g_bReaderGone = g_hReader != nullptr;
}
