# SPDX-License-Identifier: MIT
# Peer libraries the benchmarks compare against (Debian packages).
find_package(PkgConfig REQUIRED)
pkg_check_modules(PEER_SIMPLEINI IMPORTED_TARGET simpleini)
pkg_check_modules(PEER_INIH IMPORTED_TARGET inih)
pkg_check_modules(PEER_PUGIXML IMPORTED_TARGET pugixml)
find_package(Qt5 QUIET COMPONENTS Core)  # QSettings, for the save benchmark

function(dezov20_bench_peers target)
  foreach(peer PEER_SIMPLEINI PEER_INIH PEER_PUGIXML)
    if(TARGET PkgConfig::${peer})
      target_link_libraries(${target} PRIVATE PkgConfig::${peer})
    endif()
  endforeach()
  if(target STREQUAL save_bench AND TARGET Qt5::Core)
    target_link_libraries(${target} PRIVATE Qt5::Core)
    target_compile_definitions(${target} PRIVATE DEZOV20_BENCH_QT)
  endif()
endfunction()
