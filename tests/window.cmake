# The windows: key decisions, bar, splitter and placement geometry, the clock and the language catalogue
# (unit); dialogs, the XOR tracker, translation, the splitter, the pages, the navigation pane, the main
# window and the journal window, offscreen (gui); the main window and the real program against the reader
# on an emulated USB bus (device).
rfid_add_gtest(NAME window_unit_tests TIER unit
  SOURCES unit/KeyFilterTest.cpp unit/OutBarGeometryTest.cpp unit/SplitterGeometryTest.cpp
          unit/WindowPlacementTest.cpp unit/ClockTest.cpp unit/MultiLanguageTest.cpp
  LIBS rfid_pages_logic rfid_outbar rfid_splitter rfid_shell_logic rfid_language rfid_resources)

rfid_add_gtest(NAME window_gui_tests TIER gui
  SOURCES gui/DialogTest.cpp gui/XorTrackerTest.cpp gui/TranslateTest.cpp gui/SSplitterTest.cpp
          gui/OPMainDlgTest.cpp gui/MPDlgTest.cpp gui/PageTestSupport.h gui/OPListDlgTest.cpp
          gui/RFIDDlgTest.cpp gui/JournalDlgTest.cpp gui/LanguageFilesTest.cpp gui/MPDlgBatchTest.cpp
  LIBS rfid_shell rfid_resources rfid_rfidctl Qt6::Test)

if(RFID_EMULATED_READER)
  pkg_check_modules(XCB IMPORTED_TARGET xcb)
  if(NOT XCB_FOUND)
    message(FATAL_ERROR "the program's device tests need xcb (Debian: libxcb1-dev); tools/install-deps.sh "
                        "installs it")
  endif()
  rfid_add_gtest(NAME window_device_tests TIER device
    SOURCES device/OPMainDlgDeviceTest.cpp device/MPDlgDeviceTest.cpp device/HandsFreeDeviceTest.cpp
            device/MainWindowFixture.h device/JournalDeviceTest.cpp device/BatchPageDeviceTest.cpp
            device/RFIDDlgDeviceTest.cpp device/RFIDProgramTest.cpp device/ReaderMenuDeviceTest.cpp
    LIBS rfid_shell rfid_resources rfid_testdatabase Qt6::Test PkgConfig::XCB)
  add_dependencies(window_device_tests RFID)
  set_source_files_properties(device/RFIDProgramTest.cpp PROPERTIES
    COMPILE_DEFINITIONS "RFID_PROGRAM_PATH=\"$<TARGET_FILE:RFID>\"")
endif()

# The Batches window on real SQLite files and the test's own PostgreSQL server, offscreen.
rfid_add_gtest(NAME window_database_tests TIER database APPLICATION widgets
  SOURCES gui/BatchesDlgTest.cpp
  LIBS rfid_shell rfid_testdatabase Qt6::Test)
