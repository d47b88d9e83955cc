# rfidctl: its commands and its journal in process over the in-process bus (unit); its batches on real
# SQLite files and a PostgreSQL server the tests start (database); the real program against the
# umockdev-emulated reader (device).
rfid_add_gtest(NAME rfidctl_unit_tests TIER unit
  SOURCES unit/RfidctlCommandsTest.cpp unit/RfidctlJournalTest.cpp
  LIBS rfid_rfidctl rfid_emureader)
rfid_add_gtest(NAME rfidctl_database_tests TIER database
  SOURCES database/RfidctlBatchTest.cpp database/RfidctlJournalQueryTest.cpp
          database/RfidctlBatchStatusTest.cpp
  LIBS rfid_rfidctl rfid_testdatabase rfid_emureader)
if(RFID_EMULATED_READER)
  rfid_add_gtest(NAME rfidctl_device_tests TIER device APPLICATION none
    SOURCES device/RfidctlTest.cpp
    LIBS rfid_device)
  add_dependencies(rfidctl_device_tests rfidctl)
  set_source_files_properties(device/RfidctlTest.cpp PROPERTIES
    COMPILE_DEFINITIONS "RFIDCTL_PATH=\"$<TARGET_FILE:rfidctl>\"")
endif()
add_dependencies(rfidctl_database_tests rfid-report rfidctl)
set_source_files_properties(database/RfidctlBatchStatusTest.cpp PROPERTIES
  COMPILE_DEFINITIONS "RFID_REPORT_PATH=\"$<TARGET_FILE:rfid-report>\";RFIDCTL_PATH=\"$<TARGET_FILE:rfidctl>\"")
