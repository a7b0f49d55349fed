#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer, UBSan) and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DTW_TESTS=ON
cmake --build "$top/build/test"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$top/build/test"
ctest --output-on-failure -j"$(nproc)"
