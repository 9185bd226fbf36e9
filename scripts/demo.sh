#!/usr/bin/env bash
# Demo: builds the library and the test client, sends a few messages from two processes under a
# demo machine root, and shows the log they produced.
set -euo pipefail
cd "$(dirname "$0")/.."

for package in cmake ninja-build g++ libgtest-dev; do
    if ! dpkg -s "$package" >/dev/null 2>&1; then
        [ "$(id -u)" -eq 0 ] || { echo "missing package $package" >&2; exit 1; }
        apt-get update -q
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
            cmake ninja-build g++ libgtest-dev libbenchmark-dev
        break
    fi
done

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j 2 --target kervale kervale_client

export KERVALE_ROOT="$PWD/build/demo-root"
rm -rf "$KERVALE_ROOT"
client=build/logserver/tests/process/kervale_client

echo "== machine root: $KERVALE_ROOT"
# The first process starts the server and hosts it while the second one sends.
coproc HOST { "$client" send HELLO hold; }
read -r line <&"${HOST[0]}"; echo "host:   $line"
read -r line <&"${HOST[0]}"; echo "host:   $line"
"$client" send FROM-OTHER send GOODBYE | sed 's/^/other:  /'
echo >&"${HOST[1]}"  # the host exits; its server handles what is waiting first
wait "$HOST_PID"

echo "== $KERVALE_ROOT/C/VANTEX/VANTEX.LOG"
cat "$KERVALE_ROOT/C/VANTEX/VANTEX.LOG"
