# SPDX-License-Identifier: MIT
# Builds a small program against installed files and runs it, once through
# the CMake package and once with nothing but what pkg-config says.
#   -DSOURCE_DIR=  this project's sources      -DWORK_DIR=  scratch folder (emptied)
#   -DLIBDIR=      the install's library folder below the prefix
#   -DCXX=         the C++ compiler for the pkg-config build
# and either -DBUILD_DIR= (installed first into WORK_DIR/prefix) or -DPREFIX=
# (files already there, e.g. unpacked packages).
file(REMOVE_RECURSE ${WORK_DIR})
if(BUILD_DIR)
  set(PREFIX ${WORK_DIR}/prefix)
endif()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

if(BUILD_DIR)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
endif()
set(consumer ${SOURCE_DIR}/tests/install/consumer)

# Every installed header, each compiled alone by its folder's name
# (<DeZov20/X.h>): a header that needs one not installed, or one included
# before it, fails here. They are the source folder's headers, all of them.
file(GLOB installed RELATIVE ${PREFIX}/include/DeZov20 ${PREFIX}/include/DeZov20/*.h)
file(GLOB shipped RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/*.h)
if(NOT installed STREQUAL shipped)
  message(FATAL_ERROR "installed headers (${installed}) are not those of include/ (${shipped})")
endif()
set(header_sources)
foreach(header ${installed})
  string(MAKE_C_IDENTIFIER ${header} name)
  file(WRITE ${WORK_DIR}/headers/${name}.cpp "#include <DeZov20/${header}>\n")
  list(APPEND header_sources ${WORK_DIR}/headers/${name}.cpp)
endforeach()

run(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF
    -DCMAKE_BUILD_TYPE=Release "-DCONSUMER_EXTRA_SOURCES=${header_sources}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer ${WORK_DIR}/config.xml)
message(STATUS "find_package: ${last_output}")

# Only this prefix's pkg-config files; the flags must lead into the prefix.
set(ENV{PKG_CONFIG_LIBDIR} ${PREFIX}/${LIBDIR}/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})
find_program(PKG_CONFIG pkg-config REQUIRED)
run(${PKG_CONFIG} --variable=includedir DeZov20)
if(NOT EXISTS ${last_output}/DeZov20/XmlIni.h)
  message(FATAL_ERROR "pkg-config's includedir has no DeZov20/XmlIni.h: ${last_output}")
endif()
run(${PKG_CONFIG} --cflags --libs DeZov20)
separate_arguments(flags UNIX_COMMAND "${last_output}")
run(${CXX} -std=c++17 ${consumer}/main.cpp ${consumer}/prefixed.cpp ${flags}
    -Wl,-rpath,${PREFIX}/${LIBDIR} -o ${WORK_DIR}/consumer-pkg-config)
file(REMOVE ${WORK_DIR}/config.xml ${WORK_DIR}/config.xml.ini)
run(${WORK_DIR}/consumer-pkg-config ${WORK_DIR}/config.xml)
message(STATUS "pkg-config: ${last_output}")
