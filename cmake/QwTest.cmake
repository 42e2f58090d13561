# qw_test_definitions(TARGET)
# What test code is told of the build: where the bundles, the test bundles,
# the sources and the command-line host are.
function(qw_test_definitions target)
  target_compile_definitions(${target} PRIVATE
    QW_BUNDLE_DIR="${QW_BUNDLE_DIR}"
    QW_TEST_BUNDLE_DIR="${QW_TEST_BUNDLE_DIR}"
    QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QW_QWHOST="$<TARGET_FILE:qwhost>")
endfunction()

# qw_add_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [OWN_MAIN])
# A GoogleTest executable whose tests ctest runs one by one (so they run in
# parallel). Tests find the built bundles through QW_BUNDLE_DIR and the
# test bundles through QW_TEST_BUNDLE_DIR. An executable on the test support
# library takes its precompiled headers from qw_test_pch (tests/CMakeLists.txt).
# LABELS: ctest labels of its tests ("plain": also run against the plain
# Release build in CI).
function(qw_add_test name)
  cmake_parse_arguments(T "OWN_MAIN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  qw_export_platform(${name})
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  qw_test_definitions(${name})
  if(TARGET qw_test_pch AND qw_test_support IN_LIST T_LIBS)
    target_precompile_headers(${name} REUSE_FROM qw_test_pch)
    # The compiler's default code model on both sides (a library's -fPIC and
    # an executable's -fPIE would not share one precompiled header).
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
  endif()
  set(properties)
  if(T_LABELS)
    set(properties PROPERTIES LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${properties})
endfunction()
