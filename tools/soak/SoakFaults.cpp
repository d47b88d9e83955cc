#include "tools/soak/SoakFaults.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

CEmulatedReader::Fault RandomTransferFaults::Choose() {
    std::lock_guard lock(m_mutex);
    const double draw = std::uniform_real_distribution<double>(0, 1)(m_random);
    ++m_transfers;
    if (draw < STALL_SHARE) {
        ++m_stalls;
        return CEmulatedReader::Fault::Stall;
    }
    if (draw < STALL_SHARE + TIMEOUT_SHARE) {
        ++m_timeouts;
        return CEmulatedReader::Fault::Timeout;
    }
    return CEmulatedReader::Fault::None;
}

void RandomTransferFaults::Print() const {
    std::lock_guard lock(m_mutex);
    std::printf("transfers: %ld, stalled %ld, timed out %ld\n", m_transfers, m_stalls, m_timeouts);
}

PauseUnplug::PauseUnplug(CEmuUsbDevice& device, int unplugAfterMs, int replugAfterMs)
    : m_device(device), m_programmedBefore(device.Reader().ProgrammedCount()),
      m_thread([this, unplugAfterMs, replugAfterMs] { Run(unplugAfterMs, replugAfterMs); }) {}

PauseUnplug::~PauseUnplug() {
    Finish();
}

bool PauseUnplug::Finish() {
    m_done = true;
    if (m_thread.joinable())
        m_thread.join();
    return m_unplugged;
}

void PauseUnplug::Run(int unplugAfterMs, int replugAfterMs) {
    while (!m_done && m_device.Reader().ProgrammedCount() == m_programmedBefore)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_done)
        return; // the card was not programmed: there is no pause
    std::this_thread::sleep_for(std::chrono::milliseconds(unplugAfterMs));
    m_device.Unplug();
    m_unplugged = true;
    if (replugAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(replugAfterMs));
        m_device.Replug();
    }
}

void StartWatchdog(const std::atomic<int>& cardsDone) {
    constexpr int STUCK_AFTER_S = 120;
    std::thread([&cardsDone] {
        int last = -1;
        int still = 0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const int done = cardsDone.load();
            still = done == last ? still + 1 : 0;
            last = done;
            if (still >= STUCK_AFTER_S) {
                std::printf("STUCK: no card finished for %d s after %d cards (the window's thread is blocked)\n"
                            "FAULTS FOUND\n",
                            STUCK_AFTER_S, done);
                std::fflush(stdout);
                std::_Exit(1);
            }
        }
    }).detach();
}
