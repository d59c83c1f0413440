#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks what the packages hold, the way a user gets them, away from the
# build folder.
#
# Usage: scripts/package-check.sh deb BUILD   the Debian packages in BUILD:
#          lintian; all of them unpacked (dpkg-deb -x) into an empty root; no
#          file there names the build or the source folder; the install
#          consumer built against that root with find_package and with
#          pkg-config (headers by name and by folder), and run; dezov demo run
#          from the root finds the example installed with it; the Python
#          package imported from the root by the python3 it depends on; and
#          `cmake --install BUILD` puts the Python package where the python3
#          of the prefix installed to looks, for /usr and /usr/local.
#        scripts/package-check.sh zip BUILD   the Windows zip in BUILD:
#          unpacked into an empty folder; its programs import only system DLLs;
#          the consumer built against it (mingw-w64) and run beside dezov.exe
#          under Wine with nothing else on the DLL search path; dezov.exe demo;
#          the licences' full texts.
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD
MODE=${1:?usage: package-check.sh deb|zip BUILD}
BUILD=$(cd "${2:?usage: package-check.sh deb|zip BUILD}" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() { echo "package-check: $*" >&2; exit 1; }

# The resolver's first answer on the example deployment, as the demo prints it.
expect_demo() { grep -q -- '-> TA_SH1,TA_SH2,' "$1" || { cat "$1"; fail "$2: unexpected demo output"; }; }

check_deb() {
  local debs=("$BUILD"/*.deb) root=$WORK/root libdir
  [ -e "${debs[0]}" ] || fail "no .deb in $BUILD (cmake --build $BUILD --target package)"
  for deb in "${debs[@]}"; do
    dpkg-deb -f "$deb" Package Version Depends
    dpkg-deb -x "$deb" "$root"
  done
  lintian --fail-on error,warning "${debs[@]}" 2>&1 | { grep -v 'root privileges' || true; }
  echo "[package] lintian: no error or warning"

  check_no_build_paths "$root"

  libdir=$(cd "$root/usr" && find . -name DeZov20.pc -printf '%h\n')
  libdir=${libdir#./}
  cmake -DSOURCE_DIR="$SOURCE" -DPREFIX="$root/usr" -DLIBDIR="${libdir%/pkgconfig}" \
    -DCXX="${CXX:-c++}" -DWORK_DIR="$WORK/consumer" -P tests/install/RunConsumer.cmake

  # Greps at the end of a pipe read all of it (no -q): under pipefail, a writer
  # cut off by an early exit would count as a failure.
  ldd "$root/usr/bin/dezov" | grep "libDeZov20.so.1 => $root/" >/dev/null ||
    fail "dezov does not take its library from the package"
  [ -s "$root/usr/share/man/man1/dezov.1.gz" ] || fail "no manual page"
  local version
  version=$(dpkg-deb -f "$BUILD"/dezov_*.deb Version)
  [ "$("$root/usr/bin/dezov" --version)" = "dezov ${version%-*}" ] ||
    fail "dezov --version does not say ${version%-*}"
  mkdir "$WORK/empty"
  (cd "$WORK/empty" && "$root/usr/bin/dezov" demo) >"$WORK/demo.txt"
  expect_demo "$WORK/demo.txt" "dezov demo"
  local example=$root/usr/share/doc/dezov/examples/deploy.xml
  [ "$(head -n 1 "$WORK/demo.txt")" = "Deployments in $example (FILE):" ] ||
    fail "dezov demo does not use the example installed with it ($example): $(head -n 1 "$WORK/demo.txt")"
  echo "[package] Debian packages: consumer (find_package, pkg-config) and dezov demo ok"
  check_python_deb "$root"
  check_python_install_dir
}

# Neither the build folder nor the source folder it was made from may be named
# in any packaged file, compressed ones (manual page, changelog) included.
check_no_build_paths() {
  local root=$1 source found=()
  source=$(sed -n 's/^DeZov20_SOURCE_DIR:STATIC=//p' "$BUILD/CMakeCache.txt")
  [ -n "$source" ] || fail "no source folder in $BUILD/CMakeCache.txt"
  local paths=("$BUILD" "$(cd "$BUILD" && pwd -P)" "$source" "$(cd "$source" && pwd -P)")
  local patterns=()
  for path in "${paths[@]}"; do patterns+=(-e "$path"); done
  mapfile -t found < <(grep -rlaF "${patterns[@]}" "$root" || true)
  while IFS= read -r -d '' gz; do
    zcat "$gz" | grep -qaF "${patterns[@]}" && found+=("$gz (compressed)")
  done < <(find "$root" -name '*.gz' -print0)
  [ ${#found[@]} -eq 0 ] ||
    fail "packaged files name $BUILD or $source: ${found[*]#"$root"}"
  echo "[package] no packaged file names the build folder or the source folder"
}

# `cmake --install` from the build folder that made the packages: the Python
# package lands in a folder the python3 of that prefix searches, for the
# packages' prefix and another one (installed below DESTDIR).
check_python_install_dir() {
  local python=/usr/bin/python3 prefix destdir init site
  for prefix in /usr /usr/local; do
    destdir=$WORK/destdir$prefix
    DESTDIR=$destdir cmake --install "$BUILD" --prefix "$prefix" --component python >/dev/null
    init=$(find "$destdir" -path '*/dezov/__init__.py' -print -quit)
    [ -n "$init" ] || fail "cmake --install --prefix $prefix installed no Python package"
    site=${init#"$destdir"}
    site=${site%/dezov/__init__.py}
    "$python" -c 'import sys; sys.exit(sys.argv[1] not in sys.path)' "$site" ||
      fail "cmake --install --prefix $prefix put the Python package in $site, where $python does not look"
    echo "[package] cmake --install --prefix $prefix: the Python package in $site"
  done
}

# The Python package: its Depends, its files, and an import from the root
# that answers the example and takes the library from the root as well.
check_python_deb() {
  local root=$1 deb depends library site python=/usr/bin/python3 abi
  deb=$(find "$BUILD" -maxdepth 1 -name 'python3-dezov20_*.deb' -print -quit)
  [ -n "$deb" ] || fail "no python3-dezov20 package in $BUILD"
  depends=$(dpkg-deb -f "$deb" Depends)
  library=$(dpkg-deb -f "$(find "$BUILD" -maxdepth 1 -name 'libdezov20-[0-9]*.deb' -print -quit)" Package)
  [[ $depends == *"$library (= $(dpkg-deb -f "$deb" Version))"* ]] ||
    fail "python3-dezov20 does not depend on its own library package: $depends"
  abi=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
  [[ $depends == *"python3 (>= $abi~)"* ]] ||
    fail "python3-dezov20 does not depend on python3 $abi: $depends"
  site=$root/usr/lib/python3/dist-packages
  for file in __init__.py __init__.pyi py.typed "_dezov.$("$python" -c \
      'import sysconfig; print(sysconfig.get_config_var("SOABI"))').so"; do
    [ -f "$site/dezov/$file" ] || fail "python3-dezov20 lacks dezov/$file"
  done
  if dpkg-deb -c "$deb" | grep -e '__pycache__' -e '\.pyc$'; then
    fail "python3-dezov20 ships compiled files"
  fi
  local probe="import dezov, sys
print(dezov.Deployment(sys.argv[1]).trade('0101', '1'))
print(dezov.__file__)
print([l.split()[-1] for l in open('/proc/self/maps') if 'libDeZov20' in l][0])"
  (cd "$WORK/empty" && env -i PATH=/usr/bin:/bin PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 \
    "$python" -c "$probe" "$SOURCE/examples/deploy.xml") >"$WORK/python.txt" ||
    fail "the Python package does not import from the root"
  [ "$(sed -n 1p "$WORK/python.txt")" = TA_SH1 ] || fail "dezov.Deployment: unexpected answer"
  [[ $(sed -n 2p "$WORK/python.txt") == "$site/"* ]] || fail "dezov was not imported from the root"
  [[ $(sed -n 3p "$WORK/python.txt") == "$root/"* ]] ||
    fail "the Python package does not take its library from the package"
  echo "[package] python3-dezov20: imported from the root ($depends)"
}

# DLLs every Windows installation has.
SYSTEM_DLLS=" kernel32.dll msvcrt.dll advapi32.dll user32.dll ws2_32.dll shell32.dll ole32.dll "

check_zip() {
  local zips=("$BUILD"/DeZov20-*-win64.zip) top bin dll
  [ -e "${zips[0]}" ] || fail "no zip in $BUILD"
  mkdir "$WORK/unpacked"
  (cd "$WORK/unpacked" && cmake -E tar xf "${zips[0]}")
  top=$(find "$WORK/unpacked" -mindepth 1 -maxdepth 1 -type d)
  bin=$top/bin
  for program in "$bin"/*.dll "$bin"/*.exe; do
    for dll in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p'); do
      dll=${dll,,}
      [[ $SYSTEM_DLLS == *" $dll "* ]] || [ -n "$(find "$bin" -maxdepth 1 -iname "$dll")" ] ||
        fail "$(basename "$program") needs $dll, which is neither a system DLL nor in the zip"
      echo "[package] $(basename "$program") imports $dll"
    done
  done

  cmake -S tests/install/consumer -B "$WORK/consumer" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$SOURCE/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_FIND_ROOT_PATH="$top" -DCMAKE_PREFIX_PATH="$top" >/dev/null
  cmake --build "$WORK/consumer" >/dev/null
  # The pkg-config file leads into the unpacked folder wherever it lies.
  local pc="pkg-config DeZov20"
  [ -f "$(PKG_CONFIG_LIBDIR=$top/lib/pkgconfig $pc --variable=includedir)/DeZov20/XmlIni.h" ] ||
    fail "the zip's DeZov20.pc does not lead to the headers"
  [ -f "$(PKG_CONFIG_LIBDIR=$top/lib/pkgconfig $pc --variable=libdir)/libDeZov20.dll.a" ] ||
    fail "the zip's DeZov20.pc does not lead to the import library"
  cp "$WORK/consumer/consumer.exe" "$bin/"

  export WINEPREFIX=${WINEPREFIX:-$BUILD/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  unset WINEPATH
  local wine=/usr/lib/wine/wine64
  [ -d "$WINEPREFIX/drive_c" ] || "$wine" wineboot --init >/dev/null 2>&1 || true
  (cd "$bin" && "$wine" consumer.exe config.xml) | tr -d '\r' | grep -x 'consumer ok' >/dev/null ||
    fail "the consumer did not run from the zip"
  (cd "$bin" && "$wine" dezov.exe demo) | tr -d '\r' >"$WORK/demo.txt"
  expect_demo "$WORK/demo.txt" "dezov.exe demo"
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  echo "[package] Windows zip: consumer and dezov.exe demo ok under Wine"

  # The licences in full: MIT, CLI11's BSD-3-Clause (in the copyright file),
  # the Apache License 2.0 and Xerces-C's notice.
  local licenses=$top/licenses
  grep -q 'Permission is hereby granted' "$licenses/DeZov20-LICENSE.txt" ||
    fail "the zip lacks DeZov20's licence"
  grep -q 'University of Cincinnati' "$licenses/copyright.txt" &&
    grep -q 'Neither the name of the copyright holder' "$licenses/copyright.txt" ||
    fail "the zip's copyright.txt lacks CLI11's licence"
  grep -q 'TERMS AND CONDITIONS FOR USE, REPRODUCTION, AND DISTRIBUTION' \
    "$licenses/xerces-c-LICENSE.txt" || fail "the zip lacks the full Apache License 2.0"
  [ -s "$licenses/xerces-c-NOTICE.txt" ] || fail "the zip lacks Xerces-C's NOTICE"
  echo "[package] Windows zip: the licences' full texts"
}

case $MODE in
  deb) check_deb ;;
  zip) check_zip ;;
  *) fail "unknown mode $MODE" ;;
esac
