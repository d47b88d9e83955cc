#pragma once

// What the program asks of the operating system, in one place. The functions are portable; each system
// implements them in a folder of its own (platform/linux/ here, platform/windows/ for a Windows port),
// and nothing else in the program calls the system directly.

#include <QString>

// The user this process runs as (the journal names them in every record).
QString LoginUserName();
// This computer's name (stations are named after it unless configured).
QString HostName();
qint64 CurrentProcessId();
// Whether a process of this computer is still there (a station killed and started again takes its name
// back at once when the process that had it is gone).
bool ProcessExists(qint64 pid);
// The executable of this process, whatever the current folder or the way it was started.
QString ExecutablePath();
// A plain file: a pipe or a device node would block or never end.
bool IsPlainFile(const QString& path);
// Whether this user may read and write a file (a reader's device node).
bool MayReadAndWrite(const QString& path);
// The device node of a USB device that a bus scan lists by bus and device name.
QString UsbDeviceNode(const QString& bus, const QString& device);
// Whether the process's standard output is a terminal (a progress line may then be redrawn in place).
bool StandardOutputIsTerminal();
