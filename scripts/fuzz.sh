#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer, UBSan) and runs each
# for a short time on a scratch copy of its seed corpus, so the committed corpus
# stays as it is. Fails on the first finding; the input that showed it is left
# in the scratch folder's artifacts.
#
#   scripts/fuzz.sh [seconds] [harness...]     default: 20 seconds, every harness
#   TW_FUZZ_SECONDS=60 scripts/fuzz.sh         the same through the environment
#   TW_FUZZ_JOBS=3                             harnesses run side by side (default 1)
#   TW_FUZZ_SEED=1 TW_FUZZ_RUNS=2000           a fixed seed and a fixed number of runs
#                                              instead of a time: the same commit gives
#                                              the same result every time (the test
#                                              command fuzzes so). Without them the seed
#                                              is random: run that before resolving.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${TW_FUZZ_SECONDS:-20}
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
jobs=${TW_FUZZ_JOBS:-1}
# Every committed corpus input is run first, whichever mode follows.
limit=(-max_total_time="$seconds")
[[ -n ${TW_FUZZ_RUNS:-} ]] && limit=(-runs="$TW_FUZZ_RUNS")
seed=()
[[ -n ${TW_FUZZ_SEED:-} ]] && seed=(-seed="$TW_FUZZ_SEED")

# Each harness with the longest input its format needs.
declare -A max_len=(
  [numbers]=64 [properties]=2048 [cmdline]=1024 [textfile]=4096 [filestream]=4096
  [sectionfile]=16384 [settings]=8192 [expression]=512 [modelstmt]=4096 [binlib]=16384
  [circuit]=16384 [defines]=1024 [options]=1024 [statement]=2048 [stimulus]=1024 [devexpr]=512
  [analysisstmt]=4096
  [spicetext]=8192 [libindex]=8192 [compile]=8192 [modeltemp]=4096 [texttrailer]=4096
  [transient]=4096
  [acrun]=4096
  [dcanalyses]=4096
  [globalsettings]=4096
  [flatsettings]=8192
  [transistorop]=4096
  [macroparams]=2048
  [warning]=2048
  [batch]=8192
  [plotrun]=4096
  [plotlabels]=2048
  [statefile]=4096
  [savefile]=4096
  [dotpath]=4096
  [findinfile]=4096
  [derivative]=1024
  [curvedraw]=4096
  [plotobjects]=4096
  [sweeprun]=4096
  [helpstmt]=1024
  [stmttext]=8192
)
if [[ $# -gt 0 ]]; then
  harnesses=("$@")
else
  mapfile -t harnesses < <(printf '%s\n' "${!max_len[@]}" | sort)
fi
for h in "${harnesses[@]}"; do
  [[ -n ${max_len[$h]:-} ]] || { echo "fuzz.sh: no harness '$h'" >&2; exit 2; }
done

compiler=$(command -v clang++ || command -v clang++-14 || true)
[[ -n $compiler ]] || { echo "fuzz.sh: clang++ is needed for libFuzzer" >&2; exit 2; }
build="$top/build/fuzz"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$compiler" -DTW_FUZZ=ON -DTW_TESTS=OFF >/dev/null
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
cmake --build "$build" --target "${targets[@]}"

scratch=$(mktemp -d /tmp/tw_fuzzrun_XXXXXX)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local h=$1 dir="$scratch/$1"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  cp "$top/fuzz/corpus/$h/"* "$dir/corpus/"
  if (cd "$dir" && "$build/fuzz/fuzz_$h" "${limit[@]}" "${seed[@]}" -rss_limit_mb=2048 -timeout=10 \
        -max_len="${max_len[$h]}" -artifact_prefix="$dir/artifacts/" -print_final_stats=1 \
        "$dir/corpus" >"$dir/log" 2>&1); then
    printf '%-12s %10s runs  ok\n' "$h" "$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")"
  else
    echo "$h: FINDING (log and input in $dir)"
    grep -E 'ERROR|runtime error|Test unit written' "$dir/log" | head -5
    return 1
  fi
}

failed=0
running=0
for h in "${harnesses[@]}"; do
  run_one "$h" &
  running=$((running + 1))
  if ((running >= jobs)); then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while ((running > 0)); do
  wait -n || failed=1
  running=$((running - 1))
done
if ((failed)); then
  echo "fuzz.sh: findings; see $scratch" >&2
  exit 1
fi
rm -rf "$scratch"
