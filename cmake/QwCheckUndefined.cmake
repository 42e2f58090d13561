# cmake -DBUNDLE=file.so -DCOMPILER=cc -DWORK=dir -P QwCheckUndefined.cmake
#
# A bundle may leave undefined only what the C and C++ runtime provide, and
# the platform's run-loop services as weak references, so that it loads in a
# host that has none. Linking a program against the bundle with nothing else
# makes the linker name every other undefined symbol (weak ones may stay
# undefined, a strong platform name fails here too). On failure the bundle is
# removed, so the next build links it again.
file(MAKE_DIRECTORY ${WORK})
get_filename_component(stem ${BUNDLE} NAME_WE)
set(main ${WORK}/${stem}_check.c)
set(exe ${WORK}/${stem}_check)
file(WRITE ${main} "int main(void) { return 0; }\n")
execute_process(
  COMMAND ${COMPILER} -x c ${main} -x none -Wl,--no-as-needed -Wl,--no-allow-shlib-undefined ${BUNDLE} -o ${exe}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE ${exe})
if(NOT rc EQUAL 0)
  file(REMOVE ${BUNDLE})
  message(FATAL_ERROR "${BUNDLE} leaves symbols undefined that no loading process provides:\n${out}${err}")
endif()
