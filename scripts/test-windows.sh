#!/usr/bin/env bash
# The Windows part of the test run: cross-compiles with MinGW-w64 and runs the 64-bit tests under
# Wine. The 32-bit build (the deliverable's architecture) is built and inspected only, since
# 32-bit programs cannot run on these machines.
#
#   bash scripts/test-windows.sh
#
# Builds in build-win32/ and build-win64/. Wine runs with a fresh prefix in a temporary folder,
# removed at the end together with its server.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
started=$SECONDS

packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 googletest cmake)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  echo "== installing ${missing[*]}"
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

build() {  # <build folder> <toolchain>
  echo "== $1 ($2)"
  cmake -S . -B "$1" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/$2.cmake" \
    -DKERVALE_BENCH=OFF >/dev/null
  cmake --build "$1" -j2
}

# The log comparison sends the same messages through the Linux library: its test client comes
# from the native build in build/ (made here when the Linux part has not made it).
linux_client() {
  echo "== build (Linux test client)"
  if [ ! -f build/CMakeCache.txt ]; then
    cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build build -j2 --target kervale_client
}

build build-win32 mingw-i686
build build-win64 mingw-x86_64
linux_client
built=$SECONDS

# The 32-bit build's checks need no Wine: its export tables and the DLLs its images need.
ctest --test-dir build-win32 --output-on-failure -L image

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kervale-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w 2>/dev/null || true
  # Debian's Wine names its server's socket folder (in /tmp) in the prefix.
  local socket
  socket=$(cat "$WINEPREFIX/wineserver" 2>/dev/null || true)
  if [[ $socket == wine-* && -d /tmp/$socket ]]; then rm -rf "/tmp/${socket:?}"; fi
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "== Wine prefix $WINEPREFIX"
# Made once here, so that the tests do not all start by making it side by side.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
ctest --test-dir build-win64 --output-on-failure -j2 --timeout 300

echo "== Windows part: $((SECONDS - started)) s (builds $((built - started)) s, Wine $((SECONDS - built)) s)"
