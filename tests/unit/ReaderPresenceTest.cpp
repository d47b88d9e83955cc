#include "platform/DeviceNotifier.h"
#include "reader/ReaderPresence.h"

#include <gtest/gtest.h>

namespace {

const QString kReaderName =
    QStringLiteral("\\\\?\\USB#VID_0314&PID_1001#instance#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");

DEV_BROADCAST_DEVICEINTERFACE Interface(const QString& name) {
    DEV_BROADCAST_DEVICEINTERFACE data;
    data.dbcc_name = name;
    return data;
}

struct Flags {
    int present = 0, open = 0, ready = 0, stale = 0;
    ReaderFlags Ref() { return {present, open, ready, stale}; }
};

} // namespace

TEST(InterfaceName, MiddlePartIsTheTextBetweenTheFirstTwoHashes) {
    EXPECT_EQ(InterfaceNameMiddlePart(kReaderName), "VID_0314&PID_1001");
    EXPECT_EQ(InterfaceNameMiddlePart("a#b"), "b"); // runs to the end without a second '#'
    EXPECT_EQ(InterfaceNameMiddlePart("a#b##c"), "b");
    EXPECT_FALSE(InterfaceNameMiddlePart("#VID_0314&PID_1001#x")); // nothing before the first '#'
    EXPECT_FALSE(InterfaceNameMiddlePart("USB##VID_0314&PID_1001"));
    EXPECT_FALSE(InterfaceNameMiddlePart("USB#"));
    EXPECT_FALSE(InterfaceNameMiddlePart("no hash at all"));
    EXPECT_FALSE(InterfaceNameMiddlePart(""));
}

TEST(InterfaceName, MiddlePartIsLimitedTo255Characters) {
    const QString longPart(300, QLatin1Char('x'));
    const auto middle = InterfaceNameMiddlePart("USB#" + longPart + "#tail");
    ASSERT_TRUE(middle);
    EXPECT_EQ(middle->size(), 255);
    EXPECT_FALSE(InterfaceNameIsReader("USB#VID_0314&PID_1001" + QString(300, QLatin1Char('0')) + "#x"));
}

TEST(InterfaceName, ReaderIsMatchedWithoutRegardToCase) {
    EXPECT_TRUE(InterfaceNameIsReader(kReaderName));
    EXPECT_TRUE(InterfaceNameIsReader("\\\\?\\usb#vid_0314&pid_1001#x#{guid}"));
    EXPECT_TRUE(InterfaceNameIsReader("x#Vid_0314&Pid_1001"));
    EXPECT_FALSE(InterfaceNameIsReader("\\\\?\\USB#VID_0314&PID_1002#x#{guid}"));
    EXPECT_FALSE(InterfaceNameIsReader("\\\\?\\USB#VID_0314&PID_1001 #x#{guid}"));
    EXPECT_FALSE(InterfaceNameIsReader("#VID_0314&PID_1001#x"));
    // The names the device notifier builds from a USB device's product property.
    EXPECT_TRUE(InterfaceNameIsReader(UsbInterfaceName("314/1001/0", "3-2")));
    EXPECT_FALSE(InterfaceNameIsReader(UsbInterfaceName("314/1002/0", "3-2")));
}

TEST(DeviceChange, ArrivalAndRemovalOfTheReaderSetAndClearPresence) {
    Flags f;
    f.open = 1;
    f.ready = 1;
    const auto reader = Interface(kReaderName);
    ApplyDeviceChange(f.Ref(), DBT_DEVICEARRIVAL, &reader);
    EXPECT_EQ(f.present, 1);
    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, &reader);
    EXPECT_EQ(f.present, 0);
    // Only presence is touched; the next tick clears the rest.
    EXPECT_EQ(f.open, 1);
    EXPECT_EQ(f.ready, 1);
}

TEST(DeviceChange, OtherDevicesCodesAndRecordsChangeNothing) {
    Flags f;
    f.present = 1;
    const auto other = Interface("\\\\?\\USB#VID_046D&PID_C52B#x#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, &other);
    EXPECT_EQ(f.present, 1);

    auto reader = Interface(kReaderName);
    ApplyDeviceChange(f.Ref(), 0x8003 /* remove pending */, &reader);
    ApplyDeviceChange(f.Ref(), 0x0007 /* devnodes changed */, &reader);
    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, nullptr);
    reader.dbcc_devicetype = 2; // a volume, not a device interface
    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, &reader);
    EXPECT_EQ(f.present, 1);
}

TEST(ConnectionStateMachine, TakesOneStepPerTickFromPresentToReady) {
    Flags f;
    int opens = 0, identifications = 0;
    const auto open = [&] { return ++opens, true; };
    const auto identify = [&] { return ++identifications, true; };

    EXPECT_TRUE(StepConnection(f.Ref(), open, identify)); // absent: Disconnect!
    EXPECT_EQ(opens + identifications, 0);

    f.present = 1;
    EXPECT_TRUE(StepConnection(f.Ref(), open, identify)); // opened, not yet identified
    EXPECT_EQ(f.open, 1);
    EXPECT_EQ(f.ready, 0);
    EXPECT_EQ(identifications, 0);

    EXPECT_FALSE(StepConnection(f.Ref(), open, identify)); // identified: no Disconnect!
    EXPECT_EQ(f.ready, 1);

    EXPECT_FALSE(StepConnection(f.Ref(), open, identify)); // ready: nothing more
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(identifications, 1);
}

TEST(ConnectionStateMachine, FailuresAreRetriedEveryTickAndKeepDisconnect) {
    Flags f;
    f.present = 1;
    int opens = 0, identifications = 0;
    const auto failOpen = [&] { return ++opens, false; };
    const auto failIdentify = [&] { return ++identifications, false; };
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_TRUE(StepConnection(f.Ref(), failOpen, failIdentify));
    EXPECT_EQ(opens, 3);
    EXPECT_EQ(f.open, 0);

    f.open = 1;
    for (int tick = 0; tick < 3; ++tick)
        EXPECT_TRUE(StepConnection(f.Ref(), failOpen, failIdentify));
    EXPECT_EQ(identifications, 3);
    EXPECT_EQ(f.ready, 0);
}

TEST(ConnectionStateMachine, RemovalClearsEverythingAndARemovalAndArrivalBetweenTicksReopens) {
    Flags f{1, 1, 1};
    int opens = 0, identifications = 0;
    const auto open = [&] { return ++opens, true; };
    const auto identify = [&] { return ++identifications, true; };
    const auto reader = Interface(kReaderName);

    // The handle belongs to the node that went away: the next tick opens afresh (showing
    // Disconnect!), the one after identifies the reader that arrived.
    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, &reader);
    ApplyDeviceChange(f.Ref(), DBT_DEVICEARRIVAL, &reader);
    EXPECT_TRUE(StepConnection(f.Ref(), open, identify));
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(f.ready, 0);
    EXPECT_FALSE(StepConnection(f.Ref(), open, identify));
    EXPECT_EQ(identifications, 1);
    EXPECT_EQ(f.stale, 0);

    ApplyDeviceChange(f.Ref(), DBT_DEVICEREMOVECOMPLETE, &reader);
    EXPECT_TRUE(StepConnection(f.Ref(), open, identify));
    EXPECT_EQ(f.open, 0);
    EXPECT_EQ(f.ready, 0);

    // An arrival while nothing is open is no replug: the ordinary open follows.
    ApplyDeviceChange(f.Ref(), DBT_DEVICEARRIVAL, &reader);
    EXPECT_EQ(f.stale, 0);
}

TEST(ConnectionStateMachine, AStaleHandleThatCannotBeReopenedIsRetriedAsAFailedOpen) {
    Flags f{1, 1, 1, 1};
    int opens = 0;
    const auto failOpen = [&] { return ++opens, false; };
    const auto identify = [] { return true; };
    EXPECT_TRUE(StepConnection(f.Ref(), failOpen, identify));
    EXPECT_EQ(f.open, 0);
    EXPECT_EQ(f.ready, 0);
    EXPECT_TRUE(StepConnection(f.Ref(), failOpen, identify));
    EXPECT_EQ(opens, 2);
}

TEST(IdentificationLine, NameBytesThenVersionBytesJoinedByDots) {
    const unsigned char name[] = {'A', 'B'};
    const unsigned char version[] = {'1', '0', '2'};
    EXPECT_EQ(IdentificationLine(name, 2, version, 3), "AB Version: 1.0.2");
    EXPECT_EQ(IdentificationLine(name, 2, version, 1), "AB Version: 1");
    const unsigned char latin[] = {0xE9};
    EXPECT_EQ(IdentificationLine(latin, 1, version, 1), QString::fromUtf8("\xC3\xA9 Version: 1"));
}
