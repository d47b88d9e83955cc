# The application shell: placement text, presence decisions and clock (unit); the main window offscreen
# (gui); the main window against the emulated reader, and the real program under Xvfb, where xcb sends
# the close request a window manager would send (device).
rfid_add_gtest(NAME shell_unit_tests TIER unit
  SOURCES unit/WindowPlacementTest.cpp unit/ReaderPresenceTest.cpp unit/ClockTest.cpp
  LIBS rfid_shell_logic)
rfid_add_gtest(NAME shell_gui_tests TIER gui
  SOURCES gui/RFIDDlgTest.cpp
  LIBS rfid_shell rfid_resources Qt6::Test)

if(RFID_EMULATED_READER)
  pkg_check_modules(XCB IMPORTED_TARGET xcb)
  if(NOT XCB_FOUND)
    message(FATAL_ERROR "the program's device tests need xcb (Debian: libxcb1-dev); tools/install-deps.sh "
                        "installs it")
  endif()
  rfid_add_gtest(NAME shell_device_tests TIER device
    SOURCES device/RFIDDlgDeviceTest.cpp device/RFIDProgramTest.cpp
    LIBS rfid_shell rfid_resources rfid_journal Qt6::Test PkgConfig::XCB)
  add_dependencies(shell_device_tests RFID)
  target_compile_definitions(shell_device_tests PRIVATE RFID_PROGRAM_PATH="$<TARGET_FILE:RFID>")
endif()
