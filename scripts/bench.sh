#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them one after another. The
# figures depend on the machine; the notes in docs/ARCHITECTURE.md say where
# the recorded ones come from.
#
# Usage: scripts/bench.sh [NAME_FILTER]   e.g. scripts/bench.sh threeds
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_BENCH=ON \
  -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_GUI=OFF
cmake --build build/bench -j"$(nproc)"
filter=${1:-}
for bench in $(find build/bench/bench -type f -executable -name 'bench_*' | sort); do
  name=$(basename "$bench")
  [[ -z "$filter" || "$name" == *"$filter"* ]] || continue
  echo "== $name"
  "$bench"
done
