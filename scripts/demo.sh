#!/usr/bin/env bash
# The main job: builds the libraries, then three modules of a workstation (each its own process)
# log a realistic mix through GravaLog under a demo machine root, and the log is shown.
#
#   bash scripts/demo.sh          the default configuration (no QUENDAL.INI: mode XEVENTOS)
#   bash scripts/demo.sh todos    with QUENDAL.INI saying TIPO=TODOS: every record is written
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}

source scripts/packages.sh
ensure_packages cmake ninja-build g++ libgtest-dev libbenchmark-dev openjdk-17-jdk-headless

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target kervale kervale_demo tarvinel nusquel >/dev/null
echo "== built: $(ls build/logserver/libkervale.so build/readerbridge/libtarvinel.so \
    build/readerbridge/nusquel/libnusquel.so 2>/dev/null | tr '\n' ' ')"

export KERVALE_ROOT="$PWD/build/demo-root"
rm -rf "$KERVALE_ROOT"
if [ "$mode" = todos ]; then
    mkdir -p "$KERVALE_ROOT/C/WINDOWS"
    printf '[VANTEX]\r\nTIPO=TODOS\r\n[MAQUINA]\r\nESTACAO=Caixa 07\r\n' > "$KERVALE_ROOT/C/WINDOWS/QUENDAL.INI"
    echo "== configuration $KERVALE_ROOT/C/WINDOWS/QUENDAL.INI:"
    sed 's/^/   /' "$KERVALE_ROOT/C/WINDOWS/QUENDAL.INI"
fi

build/demo/kervale_demo

log="$KERVALE_ROOT/C/VANTEX/VANTEX.LOG"
echo
echo "== the log: $log"
echo "   (shown without its CR LF line ends, and without the trailing spaces of the tally block)"
echo
tr -d '\r' < "$log" | sed 's/ *$//'
echo
if [ "$mode" = todos ]; then
    echo "Mode TODOS: every record is written; the repeated fault collapses after ten lines."
else
    echo "Mode XEVENTOS (the default): events are held and written only before a fault, so the"
    echo "cash drawer's events appear only because its defective message counts as a fault."
    echo "Try the other mode:  bash scripts/demo.sh todos"
fi
echo "How to read the log: README.md, section 'Reading the log'."
