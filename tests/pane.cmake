# The navigation pane inside the main window, offscreen (gui).
if(TARGET rfid_pages AND TARGET rfid_shell)
  rfid_add_gtest(NAME pane_gui_tests TIER gui
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/OPListDlgTest.cpp
    LIBS rfid_pages rfid_shell rfid_outbar rfid_resources Qt6::Test)
endif()
