# The card pages: key decisions, number rules and virtual-key codes (unit); the pages in the
# main window (gui); the pages against the emulated reader (device).
rfid_add_gtest(NAME pages_unit_tests TIER unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/KeyFilterTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/NumberSequenceTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/VirtualKeyTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/HandsFreeRunTest.cpp
  LIBS rfid_pages_logic)

add_library(pages_gui_test_main STATIC gui/PagesTestMain.cpp)
target_link_libraries(pages_gui_test_main PUBLIC Qt6::Widgets GTest::gtest)
rfid_add_gtest(NAME pages_gui_tests TIER gui
  SOURCES gui/OPMainDlgTest.cpp gui/MPDlgTest.cpp gui/PageTestSupport.h
  LIBS rfid_pages rfid_resources pages_gui_test_main Qt6::Test)
target_include_directories(pages_gui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

# Shared by every device test binary that opens windows (the pages' and the main window's).
add_library(device_gui_test_main STATIC device/DeviceGuiTestMain.cpp)
target_link_libraries(device_gui_test_main PUBLIC rfid_emureader Qt6::Widgets GTest::gtest)
rfid_add_gtest(NAME pages_device_tests TIER device
  SOURCES device/OPMainDlgDeviceTest.cpp device/MPDlgDeviceTest.cpp device/HandsFreeDeviceTest.cpp
          device/MainWindowFixture.h device/JournalDeviceTest.cpp device/BatchPageDeviceTest.cpp
          database/JournalTestSupport.cpp
  LIBS rfid_pages rfid_shell rfid_resources rfid_emureader rfid_testdatabase device_gui_test_main Qt6::Test)
target_include_directories(pages_device_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
