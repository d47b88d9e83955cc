#pragma once

#include "reader/ReaderIdentity.h"

#include <QString>

#include <string>
#include <vector>

// The library's handle stays opaque above the reader layer: callers hold and compare it, never look in.
struct usb_dev_handle;

// The device node of every reader the last bus scan listed, "/dev/bus/usb/<bus>/<device>", in bus-list
// then device-list order: the order in which CUSBDevice::FindReader takes the first.
std::vector<std::string> ReaderDeviceNodes();

// A reader on the bus as the last scan found it.
struct ReaderPlace {
    std::string id;     // stable while it stays plugged in the same port: its bus path ("1-2.3"), or
                        // bus and device ("001/005") where the system does not tell the path
    std::string serial; // its serial number, empty when it has none
    std::string node;   // its device node
};

// Every reader the last bus scan listed, in the order OpenReader tries them.
std::vector<ReaderPlace> ListReaderPlaces();
// Whether a --reader text names this reader: its id, its serial number or its device node.
bool NamesReader(const ReaderPlace& place, const std::string& text);

// Where the readers' locks are kept: the system's lock folder, unless an in-process test bus puts a
// folder of its own (its readers exist in that process only). Empty: the system's again.
void SetReaderLockFolder(const std::string& folder);
// The lock file that the program using this reader holds.
QString ReaderLockPath(const ReaderPlace& place);

// Why the last OpenReader opened no reader.
enum class ReaderProblem { None, NotFound, InUse };

// The lowest layer of reader access: initialises the USB library, finds the reader by its vendor and
// product IDs and keeps the one reader handle of the process. It sends no commands itself.
class CUSBDevice {
public:
    CUSBDevice();
    virtual ~CUSBDevice();
    CUSBDevice(const CUSBDevice&) = delete;
    CUSBDevice& operator=(const CUSBDevice&) = delete;

    // The first device, in bus-list then device-list order as the last scan found them, whose
    // descriptor names the reader (the chosen one, when one is chosen) and that no other program uses,
    // opened; null when there is none or it does not open. A reader is used by one program at a time:
    // the process that opens it holds its lock until it closes it or ends.
    usb_dev_handle* FindReader();

    // The reader later opens take, by its id, serial number or node; empty: the first one free. A
    // preference (the window's remembered reader) gives way to the first free reader while no reader of
    // that id is plugged in; a choice (--reader) does not.
    static void ChooseReader(const std::string& text, bool preferenceOnly = false);
    static const std::string& ChosenReader();
    // Why the last FindReader found none, and what to tell the user then (names the other program
    // when a reader is in use).
    static ReaderProblem LastProblem();
    static const std::string& LastProblemText();
    // The place of the reader this process has open (empty id when none).
    static ReaderPlace OpenReaderPlace();

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
