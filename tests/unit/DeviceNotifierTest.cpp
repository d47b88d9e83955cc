#include "platform/DeviceNotifier.h"

#include <gtest/gtest.h>

TEST(UsbInterfaceName, IsBuiltFromTheProductPropertyLikeASystemInterfaceName) {
    EXPECT_EQ(UsbInterfaceName("314/1001/100", "1-1"),
              "\\\\?\\USB#VID_0314&PID_1001#1-1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
    EXPECT_EQ(UsbInterfaceName("46d/c52b/1201", "ABC123"),
              "\\\\?\\USB#VID_046D&PID_C52B#ABC123#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
}

TEST(UsbInterfaceName, MalformedProductGivesNoName) {
    EXPECT_EQ(UsbInterfaceName("", "1-1"), "");
    EXPECT_EQ(UsbInterfaceName("314/1001", "1-1"), "");
    EXPECT_EQ(UsbInterfaceName("xyz/1001/100", "1-1"), "");
    EXPECT_EQ(UsbInterfaceName("10000/1001/100", "1-1"), "");
}
