#!/usr/bin/env bash
# Sets up this machine, builds VELMORA and runs the main job on the bundled
# sample model (samples/sample.3ds): draws it headless from a raised camera
# and exports the visible surface as a colour CGH file, a grey CGH file, a
# 3di grid and a preview picture. Everything goes to out/sample/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"$(nproc)" --target velmora-export

out=$PWD/out/sample
mkdir -p "$out"
exporter=$PWD/build/release/src/cli/velmora-export
# Run from the sample's folder so its textures are found the way the desktop
# program finds them (the names in the model are relative).
cd samples
"$exporter" --info --size 1024x768 --eye 0,14,26 sample.3ds >"$out/info.txt"
"$exporter" --size 1024x768 --eye 0,14,26 --seed 1 \
  --colour "$out/sample.cgh" --grey "$out/sample-grey.cgh" --3di "$out/sample.3di" --png "$out/sample.png" \
  sample.3ds
echo "run-sample: model summary in $out/info.txt; files above are in $out"
