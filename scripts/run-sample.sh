#!/usr/bin/env bash
# Sets up this machine, builds VELMORA and runs the main job on the bundled
# sample model (samples/sample.3ds): loads it headless and reports it.
# Output goes to out/sample/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF
cmake --build build/release -j"$(nproc)" --target velmora-export

mkdir -p out/sample
exporter=build/release/src/cli/velmora-export
"$exporter" --info samples/sample.3ds | tee out/sample/info.txt
echo "run-sample: model summary written to out/sample/info.txt"
