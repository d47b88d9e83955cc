# Batches shared by stations: list files, URLs and orders (unit); claims on real SQLite files and on a
# PostgreSQL server that the tests start themselves, with stations as processes of their own (database).
rfid_add_gtest(NAME batches_unit_tests TIER unit
  SOURCES unit/BatchListTest.cpp
  LIBS rfid_journal)

add_executable(batch_station database/BatchStationMain.cpp)
target_link_libraries(batch_station PRIVATE rfid_journal rfid_emureader)
rfid_add_gtest(NAME batches_database_tests TIER database APPLICATION none
  SOURCES database/BatchDatabaseTest.cpp database/BatchStationsTest.cpp
  LIBS rfid_testdatabase)
add_dependencies(batches_database_tests batch_station)
target_compile_definitions(batches_database_tests PRIVATE BATCH_STATION_PATH="$<TARGET_FILE:batch_station>")
