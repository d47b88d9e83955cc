# Helpers shared by every test fragment in tests/.
#
# rfid_add_gtest(NAME <area>_<tier>_tests TIER unit|gui|database|device SOURCES ... LIBS ...
#                [APPLICATION none|core|widgets] [STYLE name] [ENV VAR=VALUE ...])
#   Builds one GoogleTest binary on the shared test main (tests/support/TestMain.cpp) and registers
#   each of its tests with ctest, labelled with its tier. The binary's set-up comes from its tier
#   unless given: unit tests get no application object, database tests a core application, gui and
#   device tests a widget application offscreen at scale 1; device tests run under the preload of the
#   emulated USB bus. STYLE fixes the widget style.
#   Every test runs as a process of its own with a settings folder of its own (made by the test main
#   under its binary's), so any tests run at the same time.
if(RFID_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # Qt Test puts the folders of the checkout and the build on the command line of every source that
  # links it, for QFINDTESTDATA, which these tests do not use. Without them, a clone in another folder
  # reuses the compiler cache.
  get_target_property(qt_test_definitions Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
  list(FILTER qt_test_definitions EXCLUDE REGEX "^QT_TESTCASE_")
  set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${qt_test_definitions}")
endif()

# Under the sanitizers every test checks for leaks at exit (the processes it starts too, which inherit
# these variables); leaks that belong to the libraries below us are suppressed by name in
# tests/lsan-suppressions.txt.
if(RFID_SANITIZE)
  set(RFID_SANITIZER_ENV "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan-suppressions.txt:print_suppressions=0")
else()
  set(RFID_SANITIZER_ENV "ASAN_OPTIONS=verify_asan_link_order=0")
endif()

set(RFID_TEST_TIERS unit gui database device)

# Writes the registration of one binary's set-up (see tests/support/TestMain.h) and returns its file.
function(rfid_test_setup_source name tier application style out)
  set(default_application_unit none)
  set(default_application_database core)
  set(default_application_gui widgets)
  set(default_application_device widgets)
  if(NOT application)
    set(application ${default_application_${tier}})
  endif()
  set(make_none "nullptr")
  set(make_core "&MakeCoreApplication")
  set(make_widgets "[](int& argc, char** argv) { return MakeWidgetsApplication(argc, argv, @style@); }")
  set(make "${make_${application}}")
  if(NOT make)
    message(FATAL_ERROR "${name}: APPLICATION is none, core or widgets, not '${application}'")
  endif()
  set(includes "#include \"tests/support/TestMain.h\"")
  if(application STREQUAL "widgets")
    string(APPEND includes "\n#include \"tests/support/TestApplication.h\"")
  endif()
  set(prepare nullptr)
  if(tier STREQUAL "device")
    string(APPEND includes "\n#include \"emulator/EmuTestbed.h\"")
    set(prepare "&CEmuTestbed::EnsurePreload")
  endif()
  if(style)
    set(style "\"${style}\"")
  else()
    set(style nullptr)
  endif()
  string(CONFIGURE "${make}" make @ONLY)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/setup/${name}.cpp)
  file(CONFIGURE OUTPUT ${file} CONTENT
"// The set-up of ${name}, registered by rfid_add_gtest.
${includes}

const TestBinarySetup kTestBinarySetup{${make}, ${prepare}};
" @ONLY)
  set(${out} ${file} PARENT_SCOPE)
endfunction()

function(rfid_add_gtest)
  cmake_parse_arguments(T "" "NAME;TIER;APPLICATION;STYLE" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT T_TIER IN_LIST RFID_TEST_TIERS)
    message(FATAL_ERROR "${T_NAME}: TIER is one of ${RFID_TEST_TIERS}, not '${T_TIER}'")
  endif()
  if(NOT T_NAME MATCHES "^[a-z]+_${T_TIER}_tests$")
    message(FATAL_ERROR "${T_NAME}: a test binary is named <area>_${T_TIER}_tests")
  endif()
  if(T_TIER STREQUAL "device" AND NOT RFID_EMULATED_READER)
    message(FATAL_ERROR "${T_NAME}: device tests need RFID_EMULATED_READER")
  endif()
  rfid_test_setup_source(${T_NAME} ${T_TIER} "${T_APPLICATION}" "${T_STYLE}" setup)
  add_executable(${T_NAME} ${T_SOURCES} ${setup})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} rfid_test_main)
  # The tests' own sources at -O1: they compile in about 60 % of the time, and the libraries they test
  # keep the build's optimisation.
  if(CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Release)$")
    target_compile_options(${T_NAME} PRIVATE -O1)
  endif()
  set(application ${T_APPLICATION})
  if(NOT application AND (T_TIER STREQUAL "gui" OR T_TIER STREQUAL "device"))
    set(application widgets)
  endif()
  # The window tests' files are the heaviest to compile. (The others stay without: GCC 12 then finds
  # false string bounds in them.)
  if(application STREQUAL "widgets")
    rfid_precompile_qt(${T_NAME} WIDGETS TESTS)
  endif()
  if(T_TIER STREQUAL "device")
    target_link_libraries(${T_NAME} PRIVATE rfid_emutestbed)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set(env "QT_QPA_PLATFORM=offscreen" "QT_SCALE_FACTOR=1"
          "XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/config/${T_NAME}"
          ${RFID_SANITIZER_ENV}
          ${T_ENV})
  # The environment comes through a launcher (env) rather than the ENVIRONMENT property: discovered
  # tests receive their properties as one flat list, in which a list-valued property loses every
  # entry after its first.
  set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "env;${env}")
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${T_TIER} TIMEOUT 300 SKIP_RETURN_CODE 77)
endfunction()
