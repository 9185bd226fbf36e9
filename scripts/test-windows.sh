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

# Every program and DLL is of the build's architecture and needs no DLL beyond the system's own
# (the C and C++ runtimes are linked in).
inspect() {  # <build folder> <objdump> <file format>
  local file dll failed=0
  while IFS= read -r file; do
    if ! "$2" -f "$file" | grep -q "file format $3"; then
      echo "$file: not $3"
      failed=1
    fi
    for dll in $("$2" -p "$file" | awk '/DLL Name:/ { print tolower($3) }'); do
      case "$dll" in
        kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll) ;;
        *) echo "$file: needs $dll"; failed=1 ;;
      esac
    done
  done < <(find "$1" \( -name '*.exe' -o -name '*.dll' \) -not -path '*/CMakeFiles/*')
  return "$failed"
}

build build-win32 mingw-i686
inspect build-win32 i686-w64-mingw32-objdump pei-i386
build build-win64 mingw-x86_64
inspect build-win64 x86_64-w64-mingw32-objdump pei-x86-64
built=$SECONDS

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
