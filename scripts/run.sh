#!/usr/bin/env bash
# Installs what is missing, builds a release build and runs the main job on the shipped examples.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_TESTS=OFF
cmake --build "$top/build/release"
"$top/scripts/examples.sh" "$top/build/release/app/tarnwick"
