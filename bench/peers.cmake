# Peer libraries the benchmarks compare against (Debian packages).
find_package(PkgConfig REQUIRED)
pkg_check_modules(PEER_SIMPLEINI IMPORTED_TARGET simpleini)
pkg_check_modules(PEER_INIH IMPORTED_TARGET inih)
pkg_check_modules(PEER_PUGIXML IMPORTED_TARGET pugixml)

function(dezov20_bench_peers target)
  foreach(peer PEER_SIMPLEINI PEER_INIH PEER_PUGIXML)
    if(TARGET PkgConfig::${peer})
      target_link_libraries(${target} PRIVATE PkgConfig::${peer})
    endif()
  endforeach()
endfunction()
