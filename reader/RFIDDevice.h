#pragma once

#include "cards/CardFrame.h"
#include "reader/USBDevice.h"

#include <QString>

#include <cstdint>
#include <optional>

// Vendor requests of the reader, all control transfers on endpoint 0.
constexpr int REQUEST_READ_CARD = 0;
constexpr int REQUEST_WRITE_CARD = 1;
constexpr int REQUEST_READER_NAME = 128;
constexpr int REQUEST_READER_VERSION = 129;
constexpr int REQUEST_TYPE_VENDOR_IN = 0xC0;
constexpr int REQUEST_TYPE_VENDOR_OUT = 0x40;
constexpr int READER_TIMEOUT_MS = 1000;
// A card just programmed needs this long before it can be read back to verify it.
constexpr int CARD_SETTLE_MS = 500;
constexpr int READER_TEXT_BYTES = 512;

// The reader's command layer: every operation is one synchronous transfer on the reader handle, and
// every failure shows only in its result (empty text, false, 0).
class CRFIDDevice : public CUSBDevice {
public:
    CRFIDDevice() = default;

    // The identifier of the card on the reader, nothing when the read failed. Without the vendor ID
    // the card number alone.
    std::optional<std::uint64_t> ReadCardId(bool includeVendor);

    // Programs the card with an identifier, 0 to MAX_IDENTIFIER; a larger value is refused without a
    // transfer. True when the reader took all 8 bytes.
    bool WriteCardId(std::uint64_t cardId);

    // The text forms of the two above, for callers that keep identifiers as text.
    // The identifier of the card on the reader as 13 digits, or empty text when the read failed.
    QString ReadCardNumber(bool includeVendor);
    // Programs the card with the identifier in a decimal text, read leniently (leading blanks, one
    // sign, digits up to the first other character; only the low 40 bits count).
    bool WriteCardNumber(const QString& text);

    // Fill a caller's 512-byte buffer with the reader's name or version bytes and return how many
    // arrived; 0 when the request failed, and then the buffer is left as it was.
    int ReadReaderName(unsigned char* buffer);
    int ReadReaderVersion(unsigned char* buffer);

private:
    int ReadReaderText(int request, unsigned char* buffer);

    std::uint8_t m_byCardId[CARD_ID_BYTES] = {};
    std::uint8_t m_byFrame[CARD_FRAME_BYTES] = {};
};
