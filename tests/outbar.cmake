# The navigation bar, its context menu and its label edit on the window surface, offscreen in a fixed
# widget style (gui).
rfid_add_gtest(NAME outbar_gui_tests TIER gui STYLE Fusion
  SOURCES gui/GfxOutBarCtrlTest.cpp gui/GfxPopupMenuTest.cpp gui/GfxGroupEditTest.cpp
  LIBS rfid_outbar rfid_resources Qt6::Test)
