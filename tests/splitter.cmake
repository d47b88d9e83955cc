# The splitter: its geometry without a window (unit), the window itself offscreen (gui).
rfid_add_gtest(NAME splitter_unit_tests TIER unit
  SOURCES unit/SplitterGeometryTest.cpp
  LIBS rfid_splitter)
rfid_add_gtest(NAME splitter_gui_tests TIER gui
  SOURCES gui/SSplitterTest.cpp
  LIBS rfid_splitter Qt6::Test)
