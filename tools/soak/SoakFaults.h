#pragma once

// The faults the soak injects into the emulated reader, apart from the operator who meets them: transfers
// that stall or time out at random, and the reader pulled out while the page waits to read a card back.

#include "emulator/EmuTestbed.h"

#include <atomic>
#include <mutex>
#include <random>
#include <thread>

// The rates of the transfer faults.
inline constexpr double STALL_SHARE = 0.05;   // of all transfers
inline constexpr double TIMEOUT_SHARE = 0.01; // of all transfers; each costs the reader's time-out

// Stalls and time-outs at random, by the seed; called on the emulated reader's thread.
class RandomTransferFaults {
public:
    explicit RandomTransferFaults(unsigned seed) : m_random(seed) {}

    CEmulatedReader::Fault Choose();
    void Print() const;

private:
    mutable std::mutex m_mutex;
    std::mt19937 m_random;
    long m_transfers = 0, m_stalls = 0, m_timeouts = 0;
};

// Pulls the reader out while the page waits before reading the card back: it waits for the card to be
// programmed (the pause follows at once), then unplugs it some milliseconds into the pause and, for a
// quick replug, plugs it in again before the pause ends. The window's thread sleeps in the pause, so
// nothing else uses the testbed meanwhile.
class PauseUnplug {
public:
    // replugAfterMs < 0: the reader stays out.
    PauseUnplug(CEmuUsbDevice& device, int unplugAfterMs, int replugAfterMs);
    ~PauseUnplug();
    PauseUnplug(const PauseUnplug&) = delete;
    PauseUnplug& operator=(const PauseUnplug&) = delete;

    // Called once the page has finished with the card; whether the reader was pulled out.
    bool Finish();

private:
    void Run(int unplugAfterMs, int replugAfterMs);

    CEmuUsbDevice& m_device;
    const int m_programmedBefore;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_unplugged{false};
    std::thread m_thread;
};

// A transfer that never comes back blocks the window's thread for good: when no card has been finished
// for two minutes, the watchdog says so and ends the soak, since nothing else can.
void StartWatchdog(const std::atomic<int>& cardsDone);
