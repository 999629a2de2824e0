#!/usr/bin/env bash
# Tiled holograms: a grey object of POINTS points (default 2,000,000) at 1 um
# pitch, 10 mm away, fitted to the hologram. Prints, per size, the time, the
# tiles, the time per tile and the peak memory; then two shares side by side
# (one thread each) against one process (two threads) on the same size.
#
#   bench/hologram/tiles_bench.sh BUILD-FOLDER [SIZES...]   (default 16384 32768)
# MEMORY (default 4G) is the budget; POINTS the object's points.
set -euo pipefail
build=${1:?build folder}
shift
sizes=("${@:-16384 32768}")
holo=$build/src/holo/velmora-holo
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
points=${POINTS:-2000000}
memory=${MEMORY:-4G}
python3 - "$work/object.CGH" "$points" <<'PY'
import random, sys
path, count = sys.argv[1], int(sys.argv[2])
random.seed(1)
first = "%d 1.0 1.0 0" % count
with open(path, "w", newline="") as f:
    f.write(first.ljust(40) + "\r\n")
    for i in range(count):
        f.write("%d %.6f %.6f %.6f %.6f %.6f\r\n" % (i, random.uniform(-1, 1), random.uniform(-1, 1),
                                                     random.uniform(-0.02, 0), random.uniform(0, 6.283), random.uniform(0.2, 1)))
    f.write("Statics: Maxx=1 Minx=-1 Maxy=1 Miny=-1 Maxz=0 Minz=-0.02 \r\nViewPoint: x=0 y=0 z=30")
PY
options=(--holo-pitch 1 --holo-distance 10 --holo-fit 0.9 --holo-memory "$memory")
measure() {  # label, log, command...
  local label=$1 log=$2
  shift 2
  /usr/bin/time -v "$@" >"$log" 2>&1 || { echo "$label failed: $(grep '^velmora-holo' "$log" | tail -1)"; return 0; }
  local seconds peak tiles
  seconds=$(grep -o 'Elapsed (wall clock) time.*' "$log" | awk '{print $NF}')
  peak=$(awk '/Maximum resident/ {printf "%.0f", $NF / 1024}' "$log")
  tiles=$(grep -o '[0-9]* x [0-9]* tiles of [0-9]* pixels on [0-9]* x [0-9]* grids' "$log" | head -1)
  echo "$label: $seconds wall, peak $peak MiB, $tiles"
}
for size in ${sizes[*]}; do
  mkdir -p "$work/$size"
  measure "${size}^2 one process" "$work/$size.log" "$holo" "$work/object.CGH" --holo-size "${size}x$size" \
    "${options[@]}" --holo-tiles 1/1 --holo-threads 2 -o "$work/$size/h"
  computed=$(grep -c '^velmora-holo: tile [0-9]* of' "$work/$size.log" || true)
  echo "  tiles computed: $computed"
done
size=${sizes[0]}
rm -rf "$work/shares" && mkdir -p "$work/shares"
start=$(date +%s.%N)
for k in 1 2; do
  measure "${size}^2 share $k/2" "$work/share$k.log" "$holo" "$work/object.CGH" --holo-size "${size}x$size" \
    "${options[@]}" --holo-tiles "$k/2" --holo-threads 1 -o "$work/shares/h" &
done
wait
echo "two shares side by side: $(echo "$(date +%s.%N) - $start" | bc) s"
echo "also running: $(uptime)"
