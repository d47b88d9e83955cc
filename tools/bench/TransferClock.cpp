#include "tools/bench/TransferClock.h"

#include <chrono>

namespace {

// The table's calls carry no context, so the clock's state lives here; there is one clock at a time.
UsbApi g_timedApi{};
qint64 g_totalNs = 0;
int g_count = 0;

int TimedControlMsg(usb_dev_handle* handle, int requestType, int request, int value, int index, char* bytes,
                    int size, int timeout) {
    const auto start = std::chrono::steady_clock::now();
    const int result = g_timedApi.controlMsg(handle, requestType, request, value, index, bytes, size, timeout);
    g_totalNs += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
                     .count();
    ++g_count;
    return result;
}

} // namespace

CTransferClock::CTransferClock() : m_previous(CurrentUsbApi()) {
    g_timedApi = m_previous;
    g_totalNs = 0;
    g_count = 0;
    UsbApi timed = m_previous;
    timed.controlMsg = TimedControlMsg;
    InstallUsbApi(timed);
}

CTransferClock::~CTransferClock() {
    InstallUsbApi(m_previous);
}

qint64 CTransferClock::TotalNs() const {
    return g_totalNs;
}

int CTransferClock::Count() const {
    return g_count;
}
