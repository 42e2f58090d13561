# Platform services a bundle refers to weakly: the loading process may provide
# them (our host stand-in does, in host/run_loop.cpp; the framework declares
# them in mp_sdk/platform_run_loop.h and mp_sdk/steady_clock.h).
set(QW_PLATFORM_SYMBOLS
  CFAbsoluteTimeGetCurrent CFRunLoopGetCurrent CFRunLoopTimerCreate CFRunLoopAddTimer
  CFRunLoopRemoveTimer CFRunLoopTimerInvalidate CFRelease kCFAllocatorDefault kCFRunLoopCommonModes
  QwSteadyClockNanoseconds)

# qw_export_platform(TARGET)
# An executable that loads bundles links the stand-in's platform services in
# and exports exactly those names to the bundles it loads.
function(qw_export_platform target)
  foreach(sym ${QW_PLATFORM_SYMBOLS})
    target_link_options(${target} PRIVATE "LINKER:--undefined=${sym}" "LINKER:--export-dynamic-symbol=${sym}")
  endforeach()
endfunction()

# qw_add_bundle(NAME [SOURCES ...] [LIBS ...] [META_DIRS ...] [DIR dir] [NO_COPYRIGHT] [NO_UNDEFINED_CHECK])
#
# A bundle is a loadable module NAME.so in ${QW_BUNDLE_DIR}: the module sources
# plus the whole framework library (its exports must all be kept). Beside it,
# NAME.meta gathers the host's description of its modules from every *.meta
# file found under META_DIRS. Built without the sanitizers, a bundle is
# linked into a program after its own link, which fails when it leaves a name
# undefined that no loading process provides (NO_UNDEFINED_CHECK: a probe that
# does so on purpose). How it refers to the platform's run-loop services is
# a test (tests/bundles/platform_names_test.cpp), in every build.
function(qw_add_bundle name)
  cmake_parse_arguments(B "NO_COPYRIGHT;NO_UNDEFINED_CHECK" "DIR" "SOURCES;LIBS;META_DIRS" ${ARGN})
  if(NOT B_DIR)
    set(B_DIR ${QW_BUNDLE_DIR})
  endif()
  if(NOT B_SOURCES)
    # A bundle with no modules yet still needs one source of its own.
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${empty} "// no modules\n")
    set(B_SOURCES ${empty})
  endif()
  add_library(${name} MODULE ${B_SOURCES})
  if(NOT B_NO_COPYRIGHT)
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/mp_sdk/copyright.cpp)
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${B_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  # The framework goes in whole (its exports are referenced by nobody inside);
  # libraries of LIBS may link it again, which then adds nothing.
  target_link_libraries(${name} PRIVATE mp_sdk ${B_LIBS})
  target_link_options(${name} PRIVATE "LINKER:--whole-archive" "$<TARGET_FILE:mp_sdk>" "LINKER:--no-whole-archive")
  if(NOT QW_SANITIZE AND NOT B_NO_UNDEFINED_CHECK)
    # Nothing undefined but the runtime's names and, weakly, the platform services.
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DBUNDLE=$<TARGET_FILE:${name}> -DCOMPILER=${CMAKE_C_COMPILER}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/undefined_check
              -P ${CMAKE_SOURCE_DIR}/cmake/QwCheckUndefined.cmake
      VERBATIM)
  endif()

  set(metas)
  foreach(dir ${B_META_DIRS})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.meta)
    list(SORT found)
    list(APPEND metas ${found})
  endforeach()
  set(out ${B_DIR}/${name}.meta)
  if(metas)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${B_DIR}
      COMMAND ${CMAKE_COMMAND} -E cat ${metas} > ${out}
      DEPENDS ${metas} VERBATIM)
  else()
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${B_DIR}
      COMMAND ${CMAKE_COMMAND} -E touch ${out}
      VERBATIM)
  endif()
  add_custom_target(${name}_meta DEPENDS ${out})
  add_dependencies(${name} ${name}_meta)
endfunction()

# qw_glob_sources(OUT DIRS ... [EXCLUDE dirs ...])
# Module sources of a bundle: every .cpp below DIRS, except below EXCLUDE
# (folders built as libraries of their own, shared with other bundles).
function(qw_glob_sources out)
  cmake_parse_arguments(G "" "" "EXCLUDE" ${ARGN})
  set(all)
  foreach(dir ${G_UNPARSED_ARGUMENTS})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${dir}/*.cpp)
    list(APPEND all ${found})
  endforeach()
  foreach(ex ${G_EXCLUDE})
    list(FILTER all EXCLUDE REGEX "^${ex}/")
  endforeach()
  list(SORT all)
  set(${out} ${all} PARENT_SCOPE)
endfunction()
