# Installs the built library into a private prefix, then builds and runs a
# small program against the installed CMake package and pkg-config file.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/config.xml)
message(STATUS "${last_output}")

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  run(${PKG_CONFIG} --cflags --libs DeZov20)
  if(NOT last_output MATCHES "-lDeZov20")
    message(FATAL_ERROR "pkg-config gave: ${last_output}")
  endif()
endif()
