# The application shell: placement text, presence decisions, interface names, profile and clock
# (unit); the dialog base and the main window offscreen (gui); the main window and the real
# program against the emulated reader (device).
rfid_add_gtest(NAME shell_unit_tests TIER unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/WindowPlacementTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/ReaderPresenceTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/DeviceNotifierTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/AppProfileTest.cpp
  LIBS rfid_shell_logic rfid_platform_storage)

rfid_add_gtest(NAME shell_dialog_tests TIER gui
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/DialogTest.cpp
  LIBS rfid_platform_ui rfid_resources Qt6::Test)

if(TARGET rfid_shell)
  rfid_add_gtest(NAME shell_gui_tests TIER gui
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/RFIDDlgTest.cpp
    LIBS rfid_shell rfid_resources Qt6::Test)
  rfid_add_gtest(NAME shell_device_tests TIER device
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/device/RFIDDlgDeviceTest.cpp
    LIBS rfid_shell rfid_resources rfid_emureader device_gui_test_main Qt6::Test)

  # The real program under Xvfb; xcb sends the close request a window manager would send.
  pkg_check_modules(XCB IMPORTED_TARGET xcb)
  if(TARGET PkgConfig::XCB)
    rfid_add_gtest(NAME shell_program_tests TIER device
      SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/device/RFIDProgramTest.cpp
      LIBS rfid_shell_logic rfid_journal rfid_emureader Qt6::Test PkgConfig::XCB)
    add_dependencies(shell_program_tests RFID)
    target_compile_definitions(shell_program_tests PRIVATE RFID_PROGRAM_PATH="$<TARGET_FILE:RFID>")
  endif()
endif()
