# Batches shared by stations: list files, URLs and orders (unit); claims on real SQLite files and on a
# PostgreSQL server that the tests start themselves (database).
rfid_add_gtest(NAME BatchListTest TIER unit
  SOURCES unit/BatchListTest.cpp
  LIBS rfid_journal)
rfid_add_gtest(NAME BatchDatabaseTest TIER database
  SOURCES database/BatchDatabaseTest.cpp
  LIBS rfid_testdatabase)

add_executable(batch_station database/BatchStationMain.cpp)
target_link_libraries(batch_station PRIVATE rfid_journal rfid_emureader)
rfid_add_gtest(NAME BatchStationsTest TIER database
  SOURCES database/BatchStationsTest.cpp
  LIBS rfid_testdatabase)
add_dependencies(BatchStationsTest batch_station)
target_compile_definitions(BatchStationsTest PRIVATE BATCH_STATION_PATH="$<TARGET_FILE:batch_station>")
if(TARGET rfid_rfidctl)
  rfid_add_gtest(NAME RfidctlBatchTest TIER database
    SOURCES database/RfidctlBatchTest.cpp
    LIBS rfid_rfidctl rfid_testdatabase rfid_emureader)
endif()
