# The splitter window and its geometry: a library of its own, so that the main window and the
# splitter's tests link only what the splitter needs.
add_library(rfid_splitter STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SplitterGeometry.cpp ${CMAKE_CURRENT_LIST_DIR}/SplitterGeometry.h
  ${CMAKE_CURRENT_LIST_DIR}/SSplitter.cpp ${CMAKE_CURRENT_LIST_DIR}/SSplitter.h)
target_include_directories(rfid_splitter PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(rfid_splitter PUBLIC rfid_platform_ui rfid_platform_storage Qt6::Core Qt6::Gui Qt6::Widgets)
