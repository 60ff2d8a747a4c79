#!/bin/bash
# Builds both Windows programs with MinGW-w64 and runs the Windows tests under wine64 on Xvfb.
#
#   tests/win32/run-wine-tests.sh [--no-install] [--build-only]
#
# build-win32/Tessaly.exe: the 32-bit release build (built, not run: this machine runs no 32-bit
# code). build-win64/Tessaly.exe and its tests: built and run under wine64 by ctest (the unit tests
# of the own code, the back end's tests, the program end to end). Missing packages are installed
# from Debian's archive when this runs as root (never wine32); whatever cannot be had is reported
# as skipped, with the reason. Exit code 0 when everything that ran passed.
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build32="${TESSALY_BUILD_WIN32:-$root/build-win32}"
build64="${TESSALY_BUILD_WIN64:-$root/build-win64}"
install=1
run_tests=1
for argument in "$@"; do
  case "$argument" in
    --no-install) install=0 ;;
    --build-only) run_tests=0 ;;
    *) echo "usage: $0 [--no-install] [--build-only]" >&2; exit 2 ;;
  esac
done

skipped=()
failed=()
note_skip() { skipped+=("$1"); echo "SKIP: $1"; }
note_fail() { failed+=("$1"); echo "FAIL: $1"; }

# ---- Packages ------------------------------------------------------------------------------
# command or file -> the Debian package that brings it
declare -A build_needs=(
  [x86_64-w64-mingw32-g++-posix]=g++-mingw-w64-x86-64-posix
  [i686-w64-mingw32-g++-posix]=g++-mingw-w64-i686-posix
  [x86_64-w64-mingw32-windres]=binutils-mingw-w64-x86-64
  [i686-w64-mingw32-windres]=binutils-mingw-w64-i686
  [cmake]=cmake [ninja]=ninja-build [g++]=g++
  [/usr/src/googletest/CMakeLists.txt]=googletest
)
declare -A run_needs=(
  [/usr/lib/wine/wine64]=wine64 [/usr/share/wine/fonts/ms_sans_serif.ttf]=fonts-wine
  [Xvfb]=xvfb [xdotool]=xdotool [/usr/bin/import]=imagemagick [/usr/bin/convert]=imagemagick
  [ip]=iproute2 [python3]=python3 [flock]=util-linux
)
have() { if [[ "$1" == /* ]]; then [ -e "$1" ]; else command -v "$1" >/dev/null 2>&1; fi; }
missing_packages() {
  local -n needs=$1
  local packages=()
  for thing in "${!needs[@]}"; do have "$thing" || packages+=("${needs[$thing]}"); done
  printf '%s\n' "${packages[@]}" | sort -u | grep -v '^$'
}
install_packages() {
  local packages=("$@")
  [ ${#packages[@]} -eq 0 ] && return 0
  if [ "$install" -eq 0 ] || [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
    return 1
  fi
  echo "Installing: ${packages[*]}"
  # No recommended packages: they would bring wine32, which must never be installed.
  apt-get update -qq >/dev/null 2>&1
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" \
    >/dev/null || return 1
}

mapfile -t build_missing < <(missing_packages build_needs)
if [ ${#build_missing[@]} -gt 0 ] && ! install_packages "${build_missing[@]}"; then
  note_skip "the Windows builds: missing ${build_missing[*]} (cannot install)"
  echo "Built nothing."
  exit 0
fi

# ---- Builds --------------------------------------------------------------------------------
configure_and_build() {
  local directory=$1 toolchain=$2
  shift 2
  cmake -S "$root" -B "$directory" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" \
    -DTESSALY_WERROR=ON "$@" >"$directory.configure.log" 2>&1 ||
    { tail -20 "$directory.configure.log"; return 1; }
  cmake --build "$directory" >"$directory.build.log" 2>&1 ||
    { grep -E 'error|FAILED' "$directory.build.log" | head -30; return 1; }
}
mkdir -p "$build32" "$build64"
echo "Building $build32 (i686, release) ..."
configure_and_build "$build32" mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_TESTS=OFF &&
  echo "  $build32/Tessaly.exe" || note_fail "the i686 build (see $build32.build.log)"
echo "Building $build64 (x86_64, with tests) ..."
built64=0
configure_and_build "$build64" mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
  { built64=1; echo "  $build64/Tessaly.exe"; } || note_fail "the x86_64 build (see $build64.build.log)"

# ---- Tests under Wine ----------------------------------------------------------------------
if [ "$run_tests" -eq 0 ]; then
  note_skip "the tests (--build-only)"
elif [ "$built64" -eq 0 ]; then
  note_skip "the tests: the x86_64 build failed"
else
  mapfile -t run_missing < <(missing_packages run_needs)
  if [ ${#run_missing[@]} -gt 0 ] && ! install_packages "${run_missing[@]}"; then
    note_skip "the tests under Wine: missing ${run_missing[*]} (cannot install)"
  else
    if dpkg -s wine32 >/dev/null 2>&1; then
      echo "WARNING: wine32 is installed; nothing here needs or installs it"
    fi
    [ "$(id -u)" -ne 0 ] &&
      note_skip "the back-end and end-to-end tests need root for their network namespaces"
    echo "Running the tests under wine64 (screenshots: $build64/tests/win32/screenshots) ..."
    (cd "$build64" && ctest -j2 --output-on-failure) || note_fail "tests under Wine"
  fi
fi

echo
[ ${#skipped[@]} -gt 0 ] && printf 'Skipped: %s\n' "${skipped[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  printf 'Failed: %s\n' "${failed[@]}"
  exit 1
fi
echo "Windows builds and tests: done."
