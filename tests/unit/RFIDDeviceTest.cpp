#include "reader/RFIDDevice.h"
#include "emulator/FakeUsbBus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Fault = CEmulatedReader::Fault;

std::vector<std::uint8_t> Frame(std::initializer_list<std::uint8_t> bytes) {
    return bytes;
}

const std::vector<std::uint8_t> kFrameOfZero = Frame({0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
const std::vector<std::uint8_t> kFrameOfAllOnes = Frame({0xFF, 0xFB, 0xDE, 0xF7, 0xBD, 0xEF, 0x7B, 0xC0});

// One reader with a writable card on an in-process bus, already opened.
class ReaderCommands : public testing::Test {
protected:
    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    CRFIDDevice device;

    void SetUp() override {
        reader.PutCard(78187493530);
        ASSERT_TRUE(device.OpenReader());
    }

    CEmulatedReader::Transfer LastTransfer() const { return reader.Transfers().back(); }

    // Writes a text and returns the frame that reached the reader.
    std::vector<std::uint8_t> FrameWrittenFor(const QString& text) {
        EXPECT_TRUE(device.WriteCardNumber(text)) << text.toStdString();
        return LastTransfer().data;
    }
};

} // namespace

TEST_F(ReaderCommands, ReadGivesThirteenDigitsWithOrWithoutTheVendor) {
    EXPECT_EQ(device.ReadCardNumber(true), "0078187493530");
    EXPECT_EQ(device.ReadCardNumber(false), "0000878082202");

    const CEmulatedReader::Transfer read = LastTransfer();
    EXPECT_EQ(read.requestType, 0xC0);
    EXPECT_EQ(read.request, 0);
    EXPECT_EQ(read.value, 0);
    EXPECT_EQ(read.index, 0);
    EXPECT_EQ(read.length, 5);
    EXPECT_EQ(bus.LastTimeoutMs(), 1000);
}

TEST_F(ReaderCommands, WithoutTheVendorCardsDifferingOnlyInVendorReadAlike) {
    reader.PutCard(0xFF00000001);
    EXPECT_EQ(device.ReadCardNumber(false), "0000000000001");
    reader.PutCard(0x0000000001);
    EXPECT_EQ(device.ReadCardNumber(false), "0000000000001");
    EXPECT_EQ(device.ReadCardNumber(true), "0000000000001");
}

TEST_F(ReaderCommands, AnIdentifierOfZeroBytesIsASuccessfulRead) {
    reader.PutCard(0);
    EXPECT_EQ(device.ReadCardNumber(true), "0000000000000");
}

TEST_F(ReaderCommands, EveryFailedReadGivesEmptyText) {
    for (Fault fault : {Fault::ShortReply, Fault::NoReply, Fault::Stall, Fault::Timeout}) {
        reader.SetFault(REQUEST_READ_CARD, fault, 1);
        EXPECT_TRUE(device.ReadCardNumber(true).isEmpty()) << static_cast<int>(fault);
    }
    reader.RemoveCard();
    EXPECT_TRUE(device.ReadCardNumber(false).isEmpty());
}

TEST_F(ReaderCommands, WriteSendsTheCardFrameAndTheCardHoldsTheIdentifier) {
    EXPECT_EQ(FrameWrittenFor("0078187493530"), Frame({0xFF, 0x8C, 0xA6, 0x4A, 0x98, 0xF8, 0xCA, 0x96}));
    EXPECT_EQ(reader.CardId(), 78187493530u);

    const CEmulatedReader::Transfer write = LastTransfer();
    EXPECT_EQ(write.requestType, 0x40);
    EXPECT_EQ(write.request, 1);
    EXPECT_EQ(write.value, 0);
    EXPECT_EQ(write.index, 0);
    EXPECT_EQ(write.length, 8);
    EXPECT_EQ(bus.LastTimeoutMs(), 1000);
}

TEST_F(ReaderCommands, WriteTakesAnyTextTheWayTheDecimalConversionReadsIt) {
    EXPECT_EQ(FrameWrittenFor(""), kFrameOfZero);
    EXPECT_EQ(FrameWrittenFor("abc"), kFrameOfZero);
    EXPECT_EQ(FrameWrittenFor("1099511627776"), kFrameOfZero); // 2^40: only the low 40 bits count
    EXPECT_EQ(reader.CardId(), 0u);
    EXPECT_EQ(FrameWrittenFor("-1"), kFrameOfAllOnes);
    EXPECT_EQ(reader.CardId(), 1099511627775u);
    FrameWrittenFor(" 42xyz");
    EXPECT_EQ(reader.CardId(), 42u);
}

TEST_F(ReaderCommands, TypedIdentifiersGoStraightToTheFrameAndBeyondFortyBitsAreRefused) {
    ASSERT_TRUE(device.WriteCardId(MAX_IDENTIFIER));
    EXPECT_EQ(LastTransfer().data, kFrameOfAllOnes);
    EXPECT_EQ(device.ReadCardId(true), MAX_IDENTIFIER);
    EXPECT_EQ(device.ReadCardId(false), MAX_CARD_NUMBER);
    reader.ClearTransfers();
    EXPECT_FALSE(device.WriteCardId(MAX_IDENTIFIER + 1));
    EXPECT_TRUE(reader.Transfers().empty());
    reader.RemoveCard();
    EXPECT_EQ(device.ReadCardId(true), std::nullopt);
}

TEST_F(ReaderCommands, WriteSucceedsOnlyWhenAllEightBytesAreTaken) {
    for (Fault fault : {Fault::ShortReply, Fault::NoReply, Fault::Stall, Fault::Timeout}) {
        reader.SetFault(REQUEST_WRITE_CARD, fault, 1);
        EXPECT_FALSE(device.WriteCardNumber("5")) << static_cast<int>(fault);
    }
    reader.PutCard(7, CEmulatedReader::CARD_READ_ONLY);
    EXPECT_FALSE(device.WriteCardNumber("5"));
    EXPECT_EQ(reader.CardId(), 7u);
    EXPECT_EQ(reader.ProgrammedCount(), 0);
}

TEST_F(ReaderCommands, NameAndVersionFillTheCallersBuffer) {
    unsigned char buffer[READER_TEXT_BYTES + 1];
    std::memset(buffer, 0xAA, sizeof buffer);
    ASSERT_EQ(device.ReadReaderName(buffer), 11);
    EXPECT_EQ(std::memcmp(buffer, "RFID Reader", 11), 0);
    EXPECT_EQ(buffer[11], 0xAA);
    EXPECT_EQ(LastTransfer().requestType, 0xC0);
    EXPECT_EQ(LastTransfer().request, 128);
    EXPECT_EQ(LastTransfer().length, 512);

    reader.SetVersion({1, 0, 2});
    ASSERT_EQ(device.ReadReaderVersion(buffer), 3);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[2], 2);
    EXPECT_EQ(LastTransfer().request, 129);
    EXPECT_EQ(LastTransfer().length, 512);

    reader.SetVersion({'7'});
    EXPECT_EQ(device.ReadReaderVersion(buffer), 1); // a single byte is a version

    reader.SetName(std::string(600, 'N'));
    ASSERT_EQ(device.ReadReaderName(buffer), 512);
    EXPECT_EQ(buffer[511], 'N');
    EXPECT_EQ(buffer[512], 0xAA); // nothing written past the 512 bytes, no terminator added
}

TEST_F(ReaderCommands, ARejectedNameOrVersionLeavesTheBufferUntouched) {
    unsigned char buffer[READER_TEXT_BYTES];
    std::memset(buffer, 0xAA, sizeof buffer);
    reader.SetFault(REQUEST_READER_NAME, Fault::Stall);
    reader.SetFault(REQUEST_READER_VERSION, Fault::NoReply);
    EXPECT_EQ(device.ReadReaderName(buffer), 0);
    EXPECT_EQ(device.ReadReaderVersion(buffer), 0);
    for (unsigned char byte : buffer)
        ASSERT_EQ(byte, 0xAA);
}

TEST_F(ReaderCommands, AStaleHandleFailsEveryCommandAndMarksTheReaderGoneUntilTheNextOpen) {
    reader.SetFault(REQUEST_READ_CARD, Fault::Stall, 1);
    EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
    EXPECT_FALSE(CUSBDevice::ReaderGone()); // a stall is the reader's answer, not a vanished device

    bus.Unplug(bus.LastDeviceId());
    unsigned char buffer[READER_TEXT_BYTES];
    EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
    EXPECT_TRUE(CUSBDevice::ReaderGone());
    EXPECT_FALSE(device.WriteCardNumber("1"));
    EXPECT_EQ(device.ReadReaderName(buffer), 0);
    EXPECT_EQ(device.ReadReaderVersion(buffer), 0);

    bus.AddReader();
    ASSERT_TRUE(device.OpenReader());
    EXPECT_FALSE(CUSBDevice::ReaderGone());
}

// ---- the USB link ----

TEST(ReaderLink, WithoutAReaderNothingOpensAndCommandsFail) {
    CFakeUsbBus bus;
    bus.AddDevice(0x046D, 0xC52B);
    CRFIDDevice device;
    EXPECT_EQ(bus.InitCount(), 1);
    EXPECT_FALSE(device.OpenReader());
    EXPECT_EQ(CUSBDevice::ReaderHandle(), nullptr);
    unsigned char buffer[READER_TEXT_BYTES];
    EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
    EXPECT_FALSE(device.WriteCardNumber("1"));
    EXPECT_EQ(device.ReadReaderName(buffer), 0);
    EXPECT_EQ(device.ReadReaderVersion(buffer), 0);
    EXPECT_EQ(bus.NullHandleTransfers(), 0); // libusb would crash on a null handle
}

TEST(ReaderLink, OnlyTheExactVendorAndProductAreOpened) {
    CFakeUsbBus bus;
    const int otherProduct = bus.AddDevice(0x0314, 0x1002);
    const int otherVendor = bus.AddDevice(0x0315, 0x1001);
    const int swapped = bus.AddDevice(0x1001, 0x0314);
    CRFIDDevice device;
    EXPECT_FALSE(device.OpenReader());
    EXPECT_EQ(bus.OpenCount(otherProduct) + bus.OpenCount(otherVendor) + bus.OpenCount(swapped), 0);
}

TEST(ReaderLink, TheFirstReaderInBusThenDeviceOrderIsOpened) {
    CFakeUsbBus bus(2);
    bus.AddDevice(0x046D, 0xC52B, 0);
    const int onSecondBus = bus.AddDevice(0x0314, 0x1001, 1, std::make_shared<CEmulatedReader>());
    const int first = bus.AddDevice(0x0314, 0x1001, 0, std::make_shared<CEmulatedReader>());
    const int second = bus.AddDevice(0x0314, 0x1001, 0, std::make_shared<CEmulatedReader>());
    bus.Reader(first).PutCard(1);
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    EXPECT_EQ(bus.OpenCount(first), 1);
    EXPECT_EQ(bus.OpenCount(second) + bus.OpenCount(onSecondBus), 0);
    EXPECT_EQ(device.ReadCardNumber(true), "0000000000001");
}

TEST(ReaderLink, FindReaderSeesTheBusesAsTheLastScanFoundThem) {
    CFakeUsbBus bus;
    CRFIDDevice device;
    EXPECT_FALSE(device.OpenReader());
    const int reader = bus.AddDevice(0x0314, 0x1001, 0, std::make_shared<CEmulatedReader>());
    EXPECT_EQ(device.FindReader(), nullptr);
    device.RescanBuses();
    usb_dev_handle* handle = device.FindReader();
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(bus.OpenCount(reader), 1);
    device.StoreReaderHandle(handle);
    EXPECT_EQ(CUSBDevice::ReaderHandle(), handle);
}

TEST(ReaderLink, ReopeningReplacesTheHandleAndClosesTheDroppedOne) {
    CFakeUsbBus bus;
    const int reader = bus.AddDevice(0x0314, 0x1001, 0, std::make_shared<CEmulatedReader>());
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    usb_dev_handle* first = CUSBDevice::ReaderHandle();
    ASSERT_TRUE(device.OpenReader());
    EXPECT_NE(CUSBDevice::ReaderHandle(), first);
    EXPECT_EQ(bus.OpenCount(reader), 2);
    EXPECT_EQ(bus.CloseCount(), 1);
    EXPECT_EQ(bus.OpenHandles(), 1);
}

TEST(ReaderLink, AReplugOpensTheNewReaderAndClosesTheStaleHandle) {
    CFakeUsbBus bus;
    CEmulatedReader& before = bus.AddReader();
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    bus.Unplug(bus.LastDeviceId());
    EXPECT_FALSE(device.OpenReader());
    EXPECT_EQ(CUSBDevice::ReaderHandle(), nullptr);
    EXPECT_EQ(bus.OpenHandles(), 0);

    CEmulatedReader& after = bus.AddReader();
    after.PutCard(9);
    ASSERT_TRUE(device.OpenReader());
    EXPECT_EQ(device.ReadCardNumber(true), "0000000000009");
    EXPECT_EQ(before.CountTransfers(REQUEST_READ_CARD), 0);
    EXPECT_EQ(bus.OpenHandles(), 1);
}

TEST(ReaderLink, AFakeBusTakesItsReaderHandleAlongWhenItGoes) {
    CRFIDDevice outlivesTheBus; // its destructor must not hand a fake handle to the real library
    {
        CFakeUsbBus bus;
        bus.AddReader();
        ASSERT_TRUE(outlivesTheBus.OpenReader());
        EXPECT_NE(CUSBDevice::ReaderHandle(), nullptr);
    }
    EXPECT_EQ(CUSBDevice::ReaderHandle(), nullptr);
}

TEST(ReaderLink, DestroyingTheReaderObjectClosesOnlyAHeldHandle) {
    CFakeUsbBus bus;
    { CRFIDDevice never; }
    EXPECT_EQ(bus.CloseCount(), 0);

    bus.AddReader();
    {
        CRFIDDevice device;
        ASSERT_TRUE(device.OpenReader());
    }
    EXPECT_EQ(bus.CloseCount(), 1);
    EXPECT_EQ(bus.OpenHandles(), 0);
    EXPECT_EQ(CUSBDevice::ReaderHandle(), nullptr);
}
