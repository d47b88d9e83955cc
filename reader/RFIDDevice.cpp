#include "reader/RFIDDevice.h"

#include "platform/UsbApi.h"
#include "cards/CardIdentifier.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstring>

Q_LOGGING_CATEGORY(lcReader, "rfid.reader", QtWarningMsg)

namespace {

int Transfer(int requestType, int request, void* data, int length) {
    // libusb dereferences the handle it is given, so without a reader there is no transfer to attempt:
    // the command fails like any other failed transfer.
    if (!CUSBDevice::ReaderHandle())
        return -ENODEV;
    const int result = CurrentUsbApi().controlMsg(CUSBDevice::ReaderHandle(), requestType, request, 0, 0,
                                                  static_cast<char*>(data), length, READER_TIMEOUT_MS);
    qCDebug(lcReader) << "request" << request << "length" << length << "result" << result;
    if (result == -ENODEV)
        CUSBDevice::MarkReaderGone();
    return result;
}

} // namespace

std::optional<std::uint64_t> CRFIDDevice::ReadCardId(bool includeVendor) {
    if (Transfer(REQUEST_TYPE_VENDOR_IN, REQUEST_READ_CARD, m_byCardId, CARD_ID_BYTES) != CARD_ID_BYTES)
        return std::nullopt;
    return CardIdFromBytes(m_byCardId, includeVendor ? 0 : 1);
}

bool CRFIDDevice::WriteCardId(std::uint64_t cardId) {
    if (cardId > MAX_IDENTIFIER)
        return false;
    const CardFrame frame = EncodeCardFrame(SplitNibbles(cardId));
    std::memcpy(m_byFrame, frame.data(), sizeof m_byFrame);
    return Transfer(REQUEST_TYPE_VENDOR_OUT, REQUEST_WRITE_CARD, m_byFrame, CARD_FRAME_BYTES) ==
           CARD_FRAME_BYTES;
}

QString CRFIDDevice::ReadCardNumber(bool includeVendor) {
    const std::optional<std::uint64_t> cardId = ReadCardId(includeVendor);
    return cardId ? CardIdText(*cardId) : QString();
}

bool CRFIDDevice::WriteCardNumber(const QString& text) {
    return WriteCardId(static_cast<std::uint64_t>(DecimalToInt64(text)) & MAX_IDENTIFIER);
}

int CRFIDDevice::ReadReaderName(unsigned char* buffer) {
    return ReadReaderText(REQUEST_READER_NAME, buffer);
}

int CRFIDDevice::ReadReaderVersion(unsigned char* buffer) {
    return ReadReaderText(REQUEST_READER_VERSION, buffer);
}

int CRFIDDevice::ReadReaderText(int request, unsigned char* buffer) {
    unsigned char received[READER_TEXT_BYTES] = {};
    const int result = Transfer(REQUEST_TYPE_VENDOR_IN, request, received, READER_TEXT_BYTES);
    if (result <= 0)
        return 0;
    // A reply never exceeds what was asked for; the bound keeps the copy inside the buffer regardless.
    const int count = result < READER_TEXT_BYTES ? result : READER_TEXT_BYTES;
    std::memcpy(buffer, received, static_cast<std::size_t>(count));
    return count;
}
