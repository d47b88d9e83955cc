# Helpers shared by every test fragment in tests/.
#
# rfid_add_gtest(NAME name TIER unit|gui|device SOURCES ... LIBS ... [ENV VAR=VALUE ...])
#   Builds one GoogleTest binary and registers each of its tests with ctest.
#   gui tests run offscreen at scale 1. The tests of one binary share its settings folder, so they
#   never run at the same time (a resource lock per binary); different binaries run in parallel.
if(RFID_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
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

function(rfid_add_gtest)
  cmake_parse_arguments(T "" "NAME;TIER" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  if(NOT T_LIBS MATCHES "main")
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${T_NAME} PRIVATE
    RFID_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    RFID_BINARY_DIR="${PROJECT_BINARY_DIR}")
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
    PROPERTIES LABELS ${T_TIER} TIMEOUT 300 SKIP_RETURN_CODE 77 RESOURCE_LOCK ${T_NAME})
endfunction()
