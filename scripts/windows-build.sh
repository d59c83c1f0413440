#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds DeZov20.dll (with its import library), the tests and the command-line
# tool for 64-bit Windows with mingw-w64, and runs every test program under
# Wine. Everything it builds or caches stays in the build folder.
#
# Usage: scripts/windows-build.sh [build folder]     (default: build-windows)
# Environment: JOBS (default 2), CMAKE_FLAGS (extra flags for this project).
#
# Steps, each timed:
#   setup    Debian packages (mingw-w64, wine64, GoogleTest sources, dpkg-dev)
#            and a deb-src entry for Debian's archive
#   xerces   Debian's own Xerces-C source package of the installed version,
#            built as a static library with the Windows transcoder
#   gtest    GoogleTest from the sources Debian ships in /usr/src/googletest
#   build    this project: DeZov20.dll, tests, tools (bin/ in the build folder)
#   test     every test program under Wine, through ctest
#   package  the zip for users (CPack): DeZov20-<version>-win64.zip
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
BUILD=${1:-build-windows}
mkdir -p "$BUILD"
BUILD=$(cd "$BUILD" && pwd)
JOBS=${JOBS:-2}
DEPS=$BUILD/deps            # sources and builds of the dependencies
PREFIX=$DEPS/prefix         # where they are installed for the cross build
TOOLCHAIN=$SOURCE/cmake/mingw-w64-x86_64.cmake
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo

timed() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "[windows] step $name took $((SECONDS - start)) s"
}

# Source packages come from the same archive the machine installs from: the
# configured binary entries are repeated as source entries.
enable_deb_src() {
  if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "[windows] enabling the source archive"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      # The first stanza is the main archive (the security archive has no sources needed here).
      awk 'BEGIN { RS = ""; ORS = "\n\n" } NR == 1 { sub(/Types: deb/, "Types: deb-src"); print }' \
        /etc/apt/sources.list.d/debian.sources | $SUDO tee /etc/apt/sources.list.d/dezov20-deb-src.sources >/dev/null
    else
      sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list |
        $SUDO tee /etc/apt/sources.list.d/dezov20-deb-src.list >/dev/null
    fi
  fi
  if ! apt-cache showsrc xerces-c 2>/dev/null | grep -q '^Package:'; then
    $SUDO apt-get update -qq
  fi
}

setup() {
  bash scripts/setup.sh g++-mingw-w64-x86-64 wine64 googletest dpkg-dev
  enable_deb_src
}

# Debian's Xerces-C source of the version installed for the native build.
build_xerces() {
  local version stamp
  version=$(dpkg-query -W -f='${source:Version}' libxerces-c-dev)
  stamp=$PREFIX/.xerces-$version
  [ -e "$stamp" ] && { echo "[windows] xerces-c $version already built"; return; }
  rm -rf "$DEPS/xerces-src" "$DEPS/xerces-build"
  mkdir -p "$DEPS/xerces-src"
  (cd "$DEPS/xerces-src" && apt-get source -qq "xerces-c=$version" 2>&1 |
    grep -v "couldn't be accessed by user '_apt'" || true)
  local tree
  tree=$(find "$DEPS/xerces-src" -mindepth 1 -maxdepth 1 -type d -name 'xerces-c-*' | head -n1)
  [ -f "$tree/CMakeLists.txt" ] || { echo "apt-get source xerces-c failed" >&2; exit 1; }
  cmake -S "$tree" -B "$DEPS/xerces-build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -Dtranscoder=windows -Dnetwork=OFF >"$DEPS/xerces-configure.log" 2>&1 ||
    { cat "$DEPS/xerces-configure.log"; exit 1; }
  # Only the library: its samples and tests are not needed here.
  cmake --build "$DEPS/xerces-build" --target xerces-c -j"$JOBS" >"$DEPS/xerces-build.log" 2>&1 ||
    { tail -n 50 "$DEPS/xerces-build.log"; exit 1; }
  cmake --install "$DEPS/xerces-build/src" >/dev/null
  touch "$stamp"
}

build_gtest() {
  local stamp=$PREFIX/.gtest
  [ -e "$stamp" ] && { echo "[windows] googletest already built"; return; }
  cmake -S /usr/src/googletest -B "$DEPS/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" -Dgtest_disable_pthreads=ON \
    >"$DEPS/gtest-configure.log" 2>&1 || { cat "$DEPS/gtest-configure.log"; exit 1; }
  cmake --build "$DEPS/gtest-build" -j"$JOBS" >"$DEPS/gtest-build.log" 2>&1 ||
    { tail -n 50 "$DEPS/gtest-build.log"; exit 1; }
  cmake --install "$DEPS/gtest-build" >/dev/null
  touch "$stamp"
}

build_project() {
  # The zip carries the licence and notice of the Xerces-C linked into the DLL.
  local xerces_tree
  xerces_tree=$(find "$DEPS/xerces-src" -mindepth 1 -maxdepth 1 -type d -name 'xerces-c-*' 2>/dev/null | head -n1 || true)
  # shellcheck disable=SC2086  # CMAKE_FLAGS holds several flags
  cmake -S "$SOURCE" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_FIND_ROOT_PATH="$PREFIX" \
    -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$BUILD/bin" \
    -DDEZOV20_XERCES_SOURCE_DIR="$xerces_tree" \
    -DDEZOV20_BUILD_BENCH=OFF -DDEZOV20_BUILD_FUZZ=OFF ${CMAKE_FLAGS:-}
  cmake --build "$BUILD" -j"$JOBS"
}

# A private Wine configuration in the build folder, quiet, without the
# installers Wine would offer for .NET and HTML support.
export WINEPREFIX=$BUILD/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
stop_wine() { [ -d "$WINEPREFIX" ] && "$WINESERVER" -k 2>/dev/null || true; }

run_tests() {
  [ -d "$WINEPREFIX/drive_c" ] || "$WINE" wineboot --init >/dev/null 2>&1 || true
  ctest --test-dir "$BUILD" --output-on-failure -j"$JOBS"
}

timed setup setup
timed xerces build_xerces
timed gtest build_gtest
timed build build_project
trap stop_wine EXIT
timed test run_tests
timed package cmake --build "$BUILD" --target package
