# Where an installed program keeps its files.
rfid_add_gtest(NAME desktop_unit_tests TIER unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/DataFolderTest.cpp
  LIBS rfid_platform_storage)
