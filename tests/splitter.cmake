# The splitter: its geometry without a window, the window itself offscreen, and the XOR tracker.
rfid_add_gtest(NAME splitter_geometry_test TIER unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/unit/SplitterGeometryTest.cpp
  LIBS rfid_splitter)
rfid_add_gtest(NAME xor_tracker_test TIER gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui/XorTrackerTest.cpp
  LIBS rfid_platform_ui Qt6::Test)
rfid_add_gtest(NAME splitter_window_test TIER gui
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui/SSplitterTest.cpp
  LIBS rfid_splitter Qt6::Test)
