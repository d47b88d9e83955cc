# The navigation bar: layout and slide geometry (unit); the bar, its context menu and its label
# edit on the window surface, offscreen (gui).
rfid_add_gtest(NAME outbar_unit_tests TIER unit
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/OutBarGeometryTest.cpp
  LIBS rfid_outbar)
rfid_add_gtest(NAME outbar_gui_tests TIER gui
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/OutBarGuiMain.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/gui/GfxOutBarCtrlTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/gui/GfxPopupMenuTest.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/gui/GfxGroupEditTest.cpp
  LIBS rfid_outbar rfid_resources Qt6::Test)
