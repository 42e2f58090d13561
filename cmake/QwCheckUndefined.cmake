# cmake -DBUNDLE=file.so -DCOMPILER=cc -DALLOWED=a,b -DWORK=dir -P QwCheckUndefined.cmake
#
# A bundle may leave undefined only the platform services that the loading
# process provides (ALLOWED). Linking a program against the bundle that
# defines exactly those names makes the linker name every other undefined
# symbol. On failure the bundle is removed, so the next build links it again.
file(MAKE_DIRECTORY ${WORK})
get_filename_component(stem ${BUNDLE} NAME_WE)
set(main ${WORK}/${stem}_check.c)
set(exe ${WORK}/${stem}_check)
file(WRITE ${main} "int main(void) { return 0; }\n")
set(defs)
string(REPLACE "," ";" allowed "${ALLOWED}")
foreach(sym ${allowed})
  list(APPEND defs "-Wl,--defsym=${sym}=0")
endforeach()
execute_process(
  COMMAND ${COMPILER} -x c ${main} -x none -Wl,--no-as-needed -Wl,--no-allow-shlib-undefined ${BUNDLE} ${defs} -o ${exe}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE ${exe})
if(NOT rc EQUAL 0)
  file(REMOVE ${BUNDLE})
  message(FATAL_ERROR "${BUNDLE} leaves symbols undefined that no loading process provides:\n${out}${err}")
endif()
