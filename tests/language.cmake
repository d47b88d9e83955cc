# The language catalogue (unit); translating plain widgets and menus (gui); the fuzz target of the
# profile reader (RFID_FUZZ).
rfid_add_gtest(NAME language_unit_tests TIER unit
  SOURCES unit/MultiLanguageTest.cpp
  LIBS rfid_language rfid_resources)
# The committed built-in language files, to compare with what the program embeds.
target_compile_definitions(language_unit_tests PRIVATE
  RFID_LANGUAGE_SOURCE_DIR="${PROJECT_SOURCE_DIR}/resources/languages")
rfid_add_gtest(NAME language_gui_tests TIER gui
  SOURCES gui/TranslateTest.cpp
  LIBS rfid_language rfid_resources)
if(RFID_FUZZ)
  add_subdirectory(${CMAKE_CURRENT_SOURCE_DIR}/fuzz ${CMAKE_CURRENT_BINARY_DIR}/fuzz)
endif()
