#include "platform/UsbApi.h"
#include "reader/RFIDDevice.h"
#include "emulator/EmuTestbed.h"

#include <libudev.h>
#include <usb.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Fault = CEmulatedReader::Fault;

// A testbed with one reader holding the worked-example card; reader objects come after the testbed.
class EmulatedReaderDevice : public testing::Test {
protected:
    CEmuTestbed testbed;
    std::shared_ptr<CEmuUsbDevice> plugged = testbed.PlugReader();
    CEmulatedReader& reader = plugged->Reader();

    void SetUp() override { reader.PutCard(78187493530); }

    // Sends a frame through the real libusb on the reader handle, bypassing the encoder.
    static int SendFrame(std::uint8_t* frame) {
        return RealUsbApi().controlMsg(CUSBDevice::ReaderHandle(), REQUEST_TYPE_VENDOR_OUT,
                                       REQUEST_WRITE_CARD, 0, 0, reinterpret_cast<char*>(frame),
                                       CARD_FRAME_BYTES, READER_TIMEOUT_MS);
    }
};

} // namespace

TEST_F(EmulatedReaderDevice, ReadsInBothModesAndReadsBackWhatWasWritten) {
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    EXPECT_EQ(device.ReadCardNumber(true), "0078187493530");
    EXPECT_EQ(device.ReadCardNumber(false), "0000878082202");

    ASSERT_TRUE(device.WriteCardNumber("1099511627775"));
    EXPECT_EQ(reader.CardId(), 1099511627775u);
    EXPECT_EQ(device.ReadCardNumber(true), "1099511627775");
    ASSERT_TRUE(device.WriteCardNumber("0000000000042"));
    EXPECT_EQ(device.ReadCardNumber(true), "0000000000042");
    EXPECT_EQ(reader.ProgrammedCount(), 2);
}

TEST_F(EmulatedReaderDevice, FramesThatFailTheirChecksNeverReachTheCard) {
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    const CardFrame good = EncodeCardFrame(SplitNibbles(42));
    // A data bit (row parity), a header bit and the stop bit, each flipped on its own.
    for (int bit : {20, 3, 63}) {
        CardFrame bad = good;
        bad[bit / 8] ^= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        EXPECT_EQ(SendFrame(bad.data()), -EPIPE) << bit;
    }
    EXPECT_EQ(reader.ProgrammedCount(), 0);
    EXPECT_EQ(reader.CardId(), 78187493530u);

    CardFrame accepted = good;
    EXPECT_EQ(SendFrame(accepted.data()), CARD_FRAME_BYTES);
    EXPECT_EQ(reader.CardId(), 42u);
}

TEST_F(EmulatedReaderDevice, EveryFailedTransferGivesEmptyTextFalseOrZero) {
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    reader.SetTimeoutDelayMs(50);
    unsigned char buffer[READER_TEXT_BYTES];
    for (Fault fault : {Fault::NoReply, Fault::ShortReply, Fault::Stall, Fault::Timeout}) {
        SCOPED_TRACE(static_cast<int>(fault));
        for (int request :
             {REQUEST_READ_CARD, REQUEST_WRITE_CARD, REQUEST_READER_NAME, REQUEST_READER_VERSION})
            reader.SetFault(request, fault, 1);
        EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
        EXPECT_FALSE(device.WriteCardNumber("42"));
        if (fault != Fault::ShortReply) {
            EXPECT_EQ(device.ReadReaderName(buffer), 0);
            EXPECT_EQ(device.ReadReaderVersion(buffer), 0);
        } else {
            EXPECT_EQ(device.ReadReaderName(buffer), 10); // one byte short is still a name
            EXPECT_EQ(device.ReadReaderVersion(buffer), 2);
        }
    }
    EXPECT_EQ(reader.CardId(), 78187493530u);
}

TEST_F(EmulatedReaderDevice, StallsAndTimeoutsComeBackFromLibusbAsTheirErrors) {
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    reader.SetTimeoutDelayMs(50);
    std::uint8_t frame[CARD_FRAME_BYTES] = {};
    reader.SetFault(REQUEST_WRITE_CARD, Fault::Timeout, 1);
    EXPECT_EQ(SendFrame(frame), -ETIMEDOUT);
    EXPECT_EQ(SendFrame(frame), -EPIPE); // all zero: no header
}

TEST_F(EmulatedReaderDevice, NameAndVersionArriveByteForByte) {
    reader.SetName(std::string(512, 'Z'));
    reader.SetVersion({'2', '1'});
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    unsigned char buffer[READER_TEXT_BYTES];
    ASSERT_EQ(device.ReadReaderName(buffer), 512);
    EXPECT_EQ(buffer[511], 'Z');
    ASSERT_EQ(device.ReadReaderVersion(buffer), 2);
    EXPECT_EQ(std::memcmp(buffer, "21", 2), 0);
}

TEST_F(EmulatedReaderDevice, OfTwoReadersTheFirstInTheLibraryListIsOpened) {
    auto second = testbed.PlugReader();
    second->Reader().PutCard(7);
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());

    // libusb lists the devices of a folder in an order of its own; the first reader in its list wins.
    std::string firstReader;
    for (usb_bus* bus = usb_get_busses(); bus && firstReader.empty(); bus = bus->next)
        for (struct usb_device* dev = bus->devices; dev && firstReader.empty(); dev = dev->next)
            if (dev->descriptor.idVendor == READER_VENDOR_ID &&
                dev->descriptor.idProduct == READER_PRODUCT_ID)
                firstReader = dev->filename;
    // The reader layer's own walk lists both readers, the library's first one first.
    const std::vector<std::string> nodes = ReaderDeviceNodes();
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_TRUE(nodes.front().ends_with("/" + firstReader)) << nodes.front();
    const bool firstIsPlugged = plugged->DevNode().endsWith(QString::fromStdString(firstReader));
    ASSERT_TRUE(firstIsPlugged || second->DevNode().endsWith(QString::fromStdString(firstReader)))
        << firstReader;
    CEmuUsbDevice& opened = firstIsPlugged ? *plugged : *second;
    CEmuUsbDevice& unused = firstIsPlugged ? *second : *plugged;

    EXPECT_EQ(device.ReadCardNumber(true), firstIsPlugged ? "0078187493530" : "0000000000007");
    EXPECT_EQ(opened.Reader().CountTransfers(REQUEST_READ_CARD), 1);
    EXPECT_TRUE(unused.Reader().Transfers().empty());
}

TEST(EmulatedDevices, AWrongVendorOrProductIsNeverOpened) {
    CEmuTestbed testbed;
    auto otherProduct = testbed.PlugReader(0x0314, 0x1002);
    auto otherVendor = testbed.PlugReader(0x0315, 0x1001);
    otherProduct->Reader().PutCard(1);
    otherVendor->Reader().PutCard(2);
    CRFIDDevice device;
    EXPECT_FALSE(device.OpenReader());
    EXPECT_EQ(CUSBDevice::ReaderHandle(), nullptr);
    EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
    EXPECT_TRUE(otherProduct->Reader().Transfers().empty());
    EXPECT_TRUE(otherVendor->Reader().Transfers().empty());
}

TEST_F(EmulatedReaderDevice, AnUnpluggedReaderLeavesAStaleHandleUntilItIsReopened) {
    auto mouse = testbed.PlugDevice(0x046D, 0xC52B);
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    mouse->Unplug();
    EXPECT_EQ(device.ReadCardNumber(true), "0078187493530");

    plugged->Unplug();
    EXPECT_TRUE(device.ReadCardNumber(true).isEmpty());
    EXPECT_FALSE(device.WriteCardNumber("1"));
    EXPECT_FALSE(device.OpenReader());

    plugged->Replug();
    ASSERT_TRUE(device.OpenReader());
    EXPECT_EQ(device.ReadCardNumber(true), "0078187493530");
}

// What the main window's presence monitoring relies on: a udev monitor sees the reader come and go,
// with its PRODUCT property intact on removal.
TEST(EmulatedDevices, AUdevMonitorSeesAddAndRemoveOfTheReader) {
    CEmuTestbed testbed;
    udev* context = udev_new();
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    ASSERT_NE(monitor, nullptr);
    udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device");
    udev_monitor_enable_receiving(monitor);

    auto receive = [&]() -> std::string {
        pollfd fd{udev_monitor_get_fd(monitor), POLLIN, 0};
        if (poll(&fd, 1, 2000) <= 0)
            return "nothing";
        udev_device* event = udev_monitor_receive_device(monitor);
        if (!event)
            return "unreadable";
        const char* product = udev_device_get_property_value(event, "PRODUCT");
        std::string text = std::string(udev_device_get_action(event)) + " " + (product ? product : "");
        udev_device_unref(event);
        return text;
    };

    auto plugged = testbed.PlugReader();
    EXPECT_EQ(receive(), "add 314/1001/100");
    plugged->Unplug();
    EXPECT_EQ(receive(), "remove 314/1001/100");
    plugged->Replug();
    EXPECT_EQ(receive(), "add 314/1001/100");

    udev_monitor_unref(monitor);
    udev_unref(context);
}
