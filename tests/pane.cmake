# The navigation pane inside the main window, offscreen (gui).
rfid_add_gtest(NAME pane_gui_tests TIER gui
  SOURCES gui/OPListDlgTest.cpp
  LIBS rfid_pages rfid_shell rfid_outbar rfid_resources Qt6::Test)
