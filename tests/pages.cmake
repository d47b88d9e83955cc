# The card pages: key decisions, number rules and virtual-key codes (unit); the pages in the
# main window (gui); the pages against the emulated reader (device).
rfid_add_gtest(NAME pages_unit_tests TIER unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/KeyFilterTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/NumberSequenceTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/unit/VirtualKeyTest.cpp
  LIBS rfid_pages_logic)
