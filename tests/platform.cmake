# The platform layer: INI files, the application profile and folders, sorted listings, device-change
# notices and virtual keys (unit).
rfid_add_gtest(NAME platform_unit_tests TIER unit
  SOURCES unit/DataFolderTest.cpp unit/PrivateProfileTest.cpp unit/DirListingTest.cpp
          unit/DeviceNotifierTest.cpp unit/AppProfileTest.cpp unit/VirtualKeyTest.cpp
  LIBS rfid_platform_storage rfid_platform_usb rfid_platform_ui)
if(RFID_FUZZ)
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/fuzz ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
endif()
