#include "platform/AppProfile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {

class AppProfileTest : public testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, GetRegistryKey(), GetProfileName()).clear();
    }
};

} // namespace

TEST_F(AppProfileTest, IntegersAndTextsComeBackByTheirSectionAndEntry) {
    EXPECT_EQ(GetProfileInt("splt\\init_v40000", "VertSplitPos", 300), 300);
    EXPECT_EQ(GetProfileString("Settings", "WindowPos"), "");
    EXPECT_EQ(GetProfileString("Settings", "WindowPos", "none"), "none");

    ASSERT_TRUE(WriteProfileInt("splt\\init_v40000", "VertSplitPos", 250));
    ASSERT_TRUE(WriteProfileInt("splt\\init_h40001", "HorizSplitPos", -7));
    ASSERT_TRUE(WriteProfileString("Settings", "WindowPos", "0,1,-1,-1,-1,-1,1,2,3,4"));
    EXPECT_EQ(GetProfileInt("splt\\init_v40000", "VertSplitPos", 0), 250);
    EXPECT_EQ(GetProfileInt("splt\\init_h40001", "HorizSplitPos", 0), -7);
    EXPECT_EQ(GetProfileString("Settings", "WindowPos"), "0,1,-1,-1,-1,-1,1,2,3,4");
    // Sections are separate: the same entry elsewhere is still absent.
    EXPECT_EQ(GetProfileInt("splt\\init_v40001", "VertSplitPos", 99), 99);
}

TEST_F(AppProfileTest, BackslashInASectionIsANestingLevelOfTheStoreNamedAfterTheExecutable) {
    ASSERT_TRUE(WriteProfileInt("splt\\init_v40000", "VertSplitPos", 123));
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "Local AppWizard-Generated Applications",
                  GetProfileName());
    EXPECT_EQ(raw.value("splt/init_v40000/VertSplitPos").toInt(), 123);
    EXPECT_TRUE(raw.fileName().contains("Local AppWizard-Generated Applications"));
    EXPECT_TRUE(raw.fileName().endsWith("/" + GetProfileName() + ".conf"));
    EXPECT_EQ(GetProfileName(), "platform_unit_tests");
}

TEST_F(AppProfileTest, AnIntegerEntryHoldingTextGivesTheDefault) {
    ASSERT_TRUE(WriteProfileString("splt\\init_h40001", "HorizSplitPos", "tall"));
    EXPECT_EQ(GetProfileInt("splt\\init_h40001", "HorizSplitPos", 120), 120);
}
