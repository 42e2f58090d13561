# qw_add_test(NAME SOURCES ... [LIBS ...] [OWN_MAIN])
# A GoogleTest executable whose tests ctest runs one by one (so they run in
# parallel). Tests find the built bundles through QW_BUNDLE_DIR and the
# test bundles through QW_TEST_BUNDLE_DIR.
function(qw_add_test name)
  cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  qw_export_platform(${name})
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    QW_BUNDLE_DIR="${QW_BUNDLE_DIR}"
    QW_TEST_BUNDLE_DIR="${QW_TEST_BUNDLE_DIR}"
    QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QW_QWHOST="$<TARGET_FILE:qwhost>")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()
