#!/usr/bin/env bash
# Installs what is missing, builds the test build (AddressSanitizer, UBSan) and runs every test:
# each test alone through ctest, then each test binary whole, shuffled and repeated, so that
# tests which lean on each other's state or order are caught; then the desktop stage, the real
# program on an X display of its own driven by keys and clicks and checked on screenshots
# (tests/desktop/run.sh); then, when clang++ is there, every fuzz harness replays its committed
# corpus and fuzzes a fixed number of runs from a fixed seed (TW_FUZZ_RUNS, 2000 by default;
# TW_FUZZ_SEED, 1): two runs on one commit give the same result, and a finding always fails.
# TW_FUZZ_SECONDS=0 skips fuzzing; random-seed fuzzing is scripts/fuzz.sh, for developers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" --desktop
cmake -S "$top" -B "$top/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_SANITIZE=ON -DTW_TESTS=ON
cmake --build "$top/build/test"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$top/build/test"
ctest --output-on-failure -j"$(nproc)"

failed=0
for binary in tests/*/*_tests; do
  [ -x "$binary" ] || continue
  log=$(mktemp)
  if "$binary" --gtest_shuffle --gtest_repeat=2 --gtest_brief=1 >"$log" 2>&1; then
    echo "whole, shuffled, twice: $(basename "$binary") passed"
  else
    echo "whole, shuffled, twice: $(basename "$binary") FAILED"
    tail -n 60 "$log"
    failed=1
  fi
  rm -f "$log"
done

cd "$top"
# The desktop stage reports but does not yet fail the command: several of its cases still
# fail on faults being fixed (TW_DESKTOP_GATE=1 makes a failed case fail the command).
if ! timeout 600 "$top/tests/desktop/run.sh" "$top/build/test"; then
  echo "desktop stage: some cases failed (see build/test/desktop-shots/)"
  [[ ${TW_DESKTOP_GATE:-0} == 1 ]] && failed=1
fi
[ $failed -eq 0 ] || exit 1

if [[ ${TW_FUZZ_SECONDS:-20} == 0 ]]; then
  echo "Fuzzing skipped (TW_FUZZ_SECONDS=0)."
elif command -v clang++ >/dev/null || command -v clang++-14 >/dev/null; then
  TW_FUZZ_JOBS=${TW_FUZZ_JOBS:-$(nproc)} TW_FUZZ_SEED=${TW_FUZZ_SEED:-1} TW_FUZZ_RUNS=${TW_FUZZ_RUNS:-2000} \
    "$top/scripts/fuzz.sh"
else
  echo "Fuzzing skipped: clang++ (with libFuzzer) is not installed."
fi
