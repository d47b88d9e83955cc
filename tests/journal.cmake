# The production journal on real SQLite files: records, look-ups, filters, migrations, export and the
# files it cannot use as they are (database); the journal window offscreen (gui).
rfid_add_gtest(NAME journal_database_tests TIER database
  SOURCES database/JournalTest.cpp database/JournalExportTest.cpp
  LIBS rfid_journal rfid_testdatabase)
rfid_add_gtest(NAME journal_gui_tests TIER gui
  SOURCES gui/JournalDlgTest.cpp
  LIBS rfid_shell rfid_resources Qt6::Test)
