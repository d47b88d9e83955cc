#pragma once

#include "reader/ReaderIdentity.h"

#include <string>
#include <vector>

// The library's handle stays opaque above the reader layer: callers hold and compare it, never look in.
struct usb_dev_handle;

// The device node of every reader the last bus scan listed, "/dev/bus/usb/<bus>/<device>", in bus-list
// then device-list order: the order in which CUSBDevice::FindReader takes the first.
std::vector<std::string> ReaderDeviceNodes();

// The lowest layer of reader access: initialises the USB library, finds the reader by its vendor and
// product IDs and keeps the one reader handle of the process. It sends no commands itself.
class CUSBDevice {
public:
    CUSBDevice();
    virtual ~CUSBDevice();
    CUSBDevice(const CUSBDevice&) = delete;
    CUSBDevice& operator=(const CUSBDevice&) = delete;

    // The first device, in bus-list then device-list order as the last scan found them, whose
    // descriptor names the reader, opened; null when there is none or it does not open.
    usb_dev_handle* FindReader();

    // Rescans the buses, opens the reader and keeps its handle; true when a reader was opened.
    bool OpenReader();

    // The steps of OpenReader one by one, for callers that scan on their own: rescan the buses and
    // devices, then store what FindReader returned.
    void RescanBuses();
    static void StoreReaderHandle(usb_dev_handle* handle);

    // The reader handle of the process, null when no reader is open.
    static usb_dev_handle* ReaderHandle();

    // Whether a transfer on the current handle found its device gone (unplugged or re-enumerated):
    // the handle is stale and only a fresh scan reaches the reader again. Storing a handle clears it.
    static bool ReaderGone();
    static void MarkReaderGone();
};
