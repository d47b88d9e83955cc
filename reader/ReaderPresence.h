#pragma once

// The decisions of reader presence monitoring, free of any window: which device-change
// messages name the reader, the one step per tick of the connection state machine, and the
// reader's identification line.

#include "platform/DeviceNotifier.h"
#include "reader/ReaderIdentity.h"

#include <QString>
#include <functional>
#include <optional>

// How the system writes the reader's vendor and product ids in interface names.
inline constexpr const char* kReaderInterfaceId = READER_INTERFACE_ID;
// The log text while no usable reader is there.
inline constexpr char kDisconnectText[] = "Disconnect!";

// The text between the first and the second "#" of a device interface name, at most 255
// characters: the name must start with a character other than "#", and its first "#" must be
// followed by one. Nothing when the name does not have that form.
std::optional<QString> InterfaceNameMiddlePart(const QString& name);

// Whether the middle part of the name is the reader's id, without regard to case.
bool InterfaceNameIsReader(const QString& name);

// The reader flags of the main window, each an int used as a bool. bDeviceStale says that the
// open handle may belong to a device node that is gone: the reader arrived while one was open
// (a quick replug or a re-enumeration), or a transfer found its device gone.
struct ReaderFlags {
    int& bDevicePresent;
    int& bDeviceOpen;
    int& bDeviceReady;
    int& bDeviceStale;
};

// Applies a device-change message to the flags: arrival and removal of the reader set and
// clear bDevicePresent, and an arrival while a reader is open marks its handle stale; every
// other message changes nothing.
void ApplyDeviceChange(ReaderFlags flags, unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData);

// One tick of the connection state machine: at most one of opening and identifying is tried.
// A stale handle is given up: the reader is opened afresh (a new scan, which closes the old
// handle) and identified on the next tick. Returns true when the reader is not ready after the
// tick, that is when the log should read "Disconnect!".
bool StepConnection(ReaderFlags flags, const std::function<bool()>& openReader,
                    const std::function<bool()>& identifyReader);

// The reader's name: each byte as the character of that code.
QString ReaderNameText(const unsigned char* name, int nNameBytes);
// The reader's version: each byte as the character of that code, with "." between them.
QString ReaderVersionText(const unsigned char* version, int nVersionBytes);

// "<name> Version: <v.e.r>": the name and the version as above.
QString IdentificationLine(const unsigned char* name, int nNameBytes, const unsigned char* version,
                           int nVersionBytes);
