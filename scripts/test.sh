#!/usr/bin/env bash
# Every test, three ways: a normal build (all tests), an AddressSanitizer + UndefinedBehavior-
# Sanitizer build (all tests), and a ThreadSanitizer build (the threaded and multi-process tests
# and the contract tests of the concurrent kernel objects). Installs missing Debian packages when
# it can. Build folders: build/, build-asan/, build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=2  # the machine is shared: never more

source scripts/packages.sh

configure_and_build() {
    local folder=$1
    shift
    echo "== build $folder"
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$folder" -j "$jobs"
}

launcher=()  # what runs ctest: nothing, or setarch for ThreadSanitizer

run_tests() {
    local folder=$1
    shift
    echo "== tests $folder $*"
    "${launcher[@]}" ctest --test-dir "$folder" -j "$jobs" --output-on-failure --timeout 300 "$@"
}

ensure_packages cmake ninja-build g++ libgtest-dev libbenchmark-dev openjdk-17-jdk-headless

configure_and_build build
run_tests build

configure_and_build build-asan -DKERVALE_SANITIZE=address,undefined -DKERVALE_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan

configure_and_build build-tsan -DKERVALE_SANITIZE=thread -DKERVALE_BENCH=OFF
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# ThreadSanitizer needs an address layout that high mmap randomisation can break; running without
# randomisation sidesteps that on any kernel.
if setarch "$(uname -m)" -R true 2>/dev/null; then
    launcher=(setarch "$(uname -m)" -R)
fi
run_tests build-tsan -L 'threaded|process'
run_tests build-tsan -R '^(SharedMemoryTest|NamedMutexTest|EventTest|MailSlotTest|ThreadTest)\.'
launcher=()

# --- Windows part --------------------------------------------------------------------------
# The Windows build and its tests under Wine live in scripts/test-windows.sh; it is run here
# once it exists.
if [ -f scripts/test-windows.sh ]; then
    bash scripts/test-windows.sh
fi

echo "== all tests passed"
