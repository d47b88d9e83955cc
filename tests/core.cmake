# The core: the identifier, its forms and frame, the number sequence and batch lists (unit); the journal
# and the batches on real SQLite files and the test's own PostgreSQL server (database). The core's tests
# load no window library, libusb or udev: checked with ldd.
rfid_add_gtest(NAME core_unit_tests TIER unit
  SOURCES unit/CardFrameTest.cpp unit/CardIdentifierTest.cpp unit/NumberFormsTest.cpp
          unit/NumberSequenceTest.cpp unit/BatchListTest.cpp unit/JournalReasonsTest.cpp
  LIBS rfid_core rfid_emureader) # the emulated reader's own frame decoder checks the codec

# A station process of its own for the tests of several stations at once.
add_executable(batch_station database/BatchStationMain.cpp)
target_link_libraries(batch_station PRIVATE rfid_station rfid_emureader)
rfid_add_gtest(NAME core_database_tests TIER database
  SOURCES database/JournalTest.cpp database/JournalExportTest.cpp database/JournalModelTest.cpp
          database/BatchDatabaseTest.cpp database/BatchStationsTest.cpp database/BatchStatusTest.cpp
  LIBS rfid_core rfid_testdatabase)
add_dependencies(core_database_tests batch_station)
set_source_files_properties(database/BatchStationsTest.cpp PROPERTIES
  COMPILE_DEFINITIONS "BATCH_STATION_PATH=\"$<TARGET_FILE:batch_station>\"")

add_test(NAME packaging.CoreTestsLoadNoWindowUsbOrUdevLibrary
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/packaging/check-no-window-libraries.sh
                 $<TARGET_FILE:core_database_tests> "libQt6(Gui|Widgets)|libusb|libudev")
set_tests_properties(packaging.CoreTestsLoadNoWindowUsbOrUdevLibrary PROPERTIES LABELS "packaging;unit")
