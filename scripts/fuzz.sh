#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a bounded time:
# first over its committed regression inputs, then fuzzing from its seeds.
# A crash leaves its input in build/fuzz-artifacts/ and fails the run; turn
# it into a regression input under tests/fuzz/regressions/<harness>/.
#
# Usage: scripts/fuzz.sh [SECONDS_PER_HARNESS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${1:-45}

cmake -S . -B build/fuzz -G Ninja -DVELMORA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build/fuzz -j"${JOBS:-$(nproc)}"

# Seeds made from the test fixtures (a tool of the normal build writes them).
SEEDS=build/fuzz-seeds
if [ -x build/release/tools/make_fuzz_seeds ]; then
  build/release/tools/make_fuzz_seeds "$SEEDS"
else
  cmake -S . -B build/seeds -G Ninja -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_GUI=OFF >/dev/null
  cmake --build build/seeds --target make_fuzz_seeds >/dev/null
  build/seeds/tools/make_fuzz_seeds "$SEEDS"
fi

mkdir -p build/fuzz-artifacts
passed=0
for harness in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$harness" ] || continue
  name=$(basename "$harness")
  short=${name#fuzz_}
  corpus=build/fuzz-corpus/$short
  mkdir -p "$corpus" "$SEEDS/$short"
  dirs=("$corpus" "$SEEDS/$short")
  [ -d "tests/fuzz/seeds/$short" ] && dirs+=("tests/fuzz/seeds/$short")
  regressions=tests/fuzz/regressions/$short
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    echo "== $name: regression inputs"
    "$harness" -runs=0 "$regressions"/*
    dirs+=("$regressions")
  fi
  echo "== $name: fuzzing for ${SECONDS_EACH}s"
  "$harness" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build/fuzz-artifacts/$short-" "${dirs[@]}" 2>&1 | tail -n 12
  passed=$((passed + 1))
done
echo "fuzz: $passed harnesses ran clean"
