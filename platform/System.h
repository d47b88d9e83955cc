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

// An exclusive lock on a file, held by one open of it at a time (two processes, or two threads that
// each open it, exclude each other). The system drops it when its holder ends in any way, so a killed
// program never leaves one behind. The file is created when missing (any user may lock it later) and
// kept afterwards; while locked it holds its holder's note (SetNote), so a refusal can name the holder.
class CFileLock {
public:
    explicit CFileLock(const QString& path) : m_strPath(path) {}
    ~CFileLock() { Unlock(); }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    // Takes the lock at once or not at all; false with *error set (held elsewhere, or no file).
    bool TryLock(QString* error);
    // Waits until the lock is free and takes it; false with *error set when the file cannot be opened.
    bool Lock(QString* error);
    void Unlock();
    bool IsLocked() const { return m_fd >= 0; }
    // Writes a short text in the locked file (which process holds it), read by LockNote.
    void SetNote(const QString& note);
    const QString& Path() const { return m_strPath; }

private:
    bool Take(bool wait, QString* error);

    QString m_strPath;
    int m_fd = -1;
};

// The note of whoever holds the lock of a file (empty when none was left there).
QString LockNote(const QString& path);
// The folder where programs of this computer leave their lock files.
QString LockFolder();
