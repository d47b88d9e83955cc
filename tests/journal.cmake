# The production journal on real SQLite files: records, look-ups, filters, migrations, export and the
# files it cannot use as they are (database).
add_library(journal_test_main STATIC database/JournalTestSupport.cpp database/JournalTestSupport.h
                                        database/JournalTestMain.cpp)
target_link_libraries(journal_test_main PUBLIC rfid_journal GTest::gtest)
rfid_add_gtest(NAME journal_database_tests TIER database
  SOURCES database/JournalTest.cpp database/JournalExportTest.cpp
  LIBS rfid_journal journal_test_main)
rfid_add_gtest(NAME rfidctl_journal_tests TIER unit
  SOURCES unit/RfidctlJournalTest.cpp
  LIBS rfid_rfidctl rfid_emureader)
rfid_add_gtest(NAME journal_gui_tests TIER gui
  SOURCES gui/JournalDlgTest.cpp
  LIBS rfid_shell rfid_resources pages_gui_test_main Qt6::Test)
