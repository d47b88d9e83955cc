#pragma once

// The time spent inside the reader's USB transfers. While a CTransferClock lives, every control transfer
// the reader layer makes goes through it to the call table that was in place before (the real libusb,
// or the in-process bus), and its duration and count are added up. Nothing is timed without one.
//
//   CTransferClock clock;                     // after the bus or testbed, destroyed before it
//   const qint64 before = clock.TotalNs();
//   page.OnWrite();
//   const qint64 inTransfers = clock.TotalNs() - before;
//
// One at a time, on the thread that makes the transfers.

#include "platform/UsbApi.h"

#include <QtGlobal>

class CTransferClock {
public:
    CTransferClock();
    ~CTransferClock();
    CTransferClock(const CTransferClock&) = delete;
    CTransferClock& operator=(const CTransferClock&) = delete;

    qint64 TotalNs() const;
    int Count() const;

private:
    UsbApi m_previous;
};
