#include "reader/RFIDDevice.h"
#include "tools/emureader/EmuTestbed.h"

#include <gtest/gtest.h>

TEST(Smoke, ReadsTheCard) {
    CEmuTestbed testbed;
    auto plugged = testbed.PlugReader();
    plugged->Reader().PutCard(78187493530);
    CRFIDDevice device;
    ASSERT_TRUE(device.OpenReader());
    EXPECT_EQ(device.ReadCardNumber(true).toStdString(), "0078187493530");
    EXPECT_TRUE(device.WriteCardNumber("42"));
    EXPECT_EQ(device.ReadCardNumber(true).toStdString(), "0000000000042");
    plugged->Unplug();
    EXPECT_EQ(device.ReadCardNumber(true).toStdString(), "");
}
