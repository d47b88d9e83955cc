# The card pages: key decisions, number rules and hands-free runs (unit); the pages offscreen (gui);
# the pages in the main window against the emulated reader (device).
rfid_add_gtest(NAME pages_unit_tests TIER unit
  SOURCES unit/KeyFilterTest.cpp unit/NumberSequenceTest.cpp unit/HandsFreeRunTest.cpp
  LIBS rfid_pages_logic)
rfid_add_gtest(NAME pages_gui_tests TIER gui
  SOURCES gui/OPMainDlgTest.cpp gui/MPDlgTest.cpp gui/PageTestSupport.h
  LIBS rfid_pages rfid_resources Qt6::Test)
if(RFID_EMULATED_READER)
  rfid_add_gtest(NAME pages_device_tests TIER device
    SOURCES device/OPMainDlgDeviceTest.cpp device/MPDlgDeviceTest.cpp device/HandsFreeDeviceTest.cpp
            device/MainWindowFixture.h device/JournalDeviceTest.cpp device/BatchPageDeviceTest.cpp
    LIBS rfid_pages rfid_shell rfid_resources rfid_testdatabase Qt6::Test)
endif()
