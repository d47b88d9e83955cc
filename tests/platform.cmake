# The platform layer: private-profile files, directory listing, the application profile and folders,
# device interface names and virtual keys (unit); the dialog base over the real templates and the XOR
# tracker, offscreen (gui).
rfid_add_gtest(NAME platform_unit_tests TIER unit
  SOURCES unit/DataFolderTest.cpp unit/PrivateProfileTest.cpp unit/DirListingTest.cpp
          unit/DeviceNotifierTest.cpp unit/AppProfileTest.cpp unit/VirtualKeyTest.cpp
  LIBS rfid_platform_storage rfid_platform_usb rfid_platform_ui)
rfid_add_gtest(NAME platform_gui_tests TIER gui
  SOURCES gui/DialogTest.cpp gui/XorTrackerTest.cpp
  LIBS rfid_platform_ui rfid_resources Qt6::Test)
