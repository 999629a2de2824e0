#!/usr/bin/env bash
# Runs the Slurm job scripts on a one-node Slurm cluster started on this
# machine and checks that the tasks together write the files of one run:
#   1. installs Debian's slurm-wlm and munge if they are missing (as root),
#   2. starts munged (unless one runs already), slurmctld and slurmd with a
#      slurm.conf of a temporary folder,
#   3. exports a row of views in three shares as a job array
#      (scripts/slurm/export-views.sbatch) and compares every file with one
#      velmora-export run of the whole row,
#   4. the same for the tile shares of a tiled hologram
#      (scripts/slurm/holo-tiles.sbatch) against one velmora-holo run.
# Stops every daemon it started, by process id, however it ends.
#
# Usage: scripts/cluster-test.sh [BUILD-FOLDER]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/release}
export VELMORA_EXPORT=$root/$build/src/cli/velmora-export
export VELMORA_HOLO=$root/$build/src/holo/velmora-holo
for program in "$VELMORA_EXPORT" "$VELMORA_HOLO"; do
  [ -x "$program" ] || { echo "cluster-test: no $program (build it first)" >&2; exit 1; }
done

if ! command -v slurmctld >/dev/null || ! command -v munged >/dev/null; then
  [ "$(id -u)" = 0 ] || { echo "cluster-test: slurm-wlm and munge are missing; install them as root" >&2; exit 1; }
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends slurm-wlm munge >/dev/null
fi

work=$(mktemp -d /tmp/velmora-cluster.XXXXXX)
export XDG_CACHE_HOME=$work/cache  # the hologram's FFT plans, not the user's
pids=()
stopDaemons() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Wait for them by id: a daemon started here is a child; munged forked away.
  for pid in "${pids[@]}"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  rm -rf "$work"
}
trap stopDaemons EXIT

# Polls "$@" until it succeeds, for at most $ceiling seconds.
waitFor() {
  local ceiling=$1 what=$2
  shift 2
  local end=$((SECONDS + ceiling))
  until "$@"; do
    if [ "$SECONDS" -ge "$end" ]; then
      echo "cluster-test: gave up after ${ceiling}s waiting for $what" >&2
      return 1
    fi
    sleep 0.2
  done
}

startMunge() {
  local pidFile=/run/munge/munged.pid
  if [ -s "$pidFile" ] && kill -0 "$(cat "$pidFile")" 2>/dev/null; then return; fi  # not ours to stop
  install -d -o munge -g munge /run/munge
  runuser -u munge -- /usr/sbin/munged --force
  pids+=("$(cat "$pidFile")")
}

writeSlurmConf() {
  local host cpus memory
  host=$(hostname -s)
  cpus=$(nproc)
  memory=$(awk '/^MemTotal:/ { print int($2 / 1024 * 0.9) }' /proc/meminfo)
  mkdir -p "$work"/{state,spool,run,log}
  cat >"$work/slurm.conf" <<CONF
ClusterName=velmora
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/run/slurmctld.pid
SlurmdPidFile=$work/run/slurmd.pid
SlurmctldLogFile=$work/log/ctld.log
SlurmdLogFile=$work/log/d.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
NodeName=$host CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=main Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
}

nodeIdle() { [ "$(sinfo -h -N -o %t 2>/dev/null)" = idle ]; }

startSlurm() {
  writeSlurmConf
  export SLURM_CONF=$work/slurm.conf
  slurmctld -D -f "$SLURM_CONF" >"$work/log/ctld.out" 2>&1 &
  pids+=($!)
  slurmd -D -f "$SLURM_CONF" >"$work/log/d.out" 2>&1 &
  pids+=($!)
  waitFor 60 "the node to be idle" nodeIdle
}

jobGone() { [ -z "$(squeue -h -j "$1" 2>/dev/null)" ]; }

# Submits an array of $1 tasks of the job script $2 in folder $3 with the
# arguments after them, waits until every task has left the queue, and
# fails unless each one completed.
runArray() {
  local tasks=$1 script=$2 folder=$3
  shift 3
  local job
  job=$(sbatch --parsable --array=1-"$tasks" --chdir="$folder" --cpus-per-task=1 --mem=500M \
        --output="$work/log/%x-%a.log" "$script" "$@")
  waitFor 120 "job $job" jobGone "$job"
  local states
  states=$(scontrol -o show job "$job" | grep -o 'JobState=[A-Z_]*')
  if [ "$(grep -c '=COMPLETED$' <<<"$states")" != "$tasks" ] || [ "$(wc -l <<<"$states")" != "$tasks" ]; then
    echo "cluster-test: job $job ended as:" $states >&2
    cat "$work"/log/*.log >&2 || true
    return 1
  fi
}

# Every file of one run ($1) and of the shares ($2): the same names, the same bytes.
sameFiles() {
  local one=$1 shares=$2 name
  diff <(cd "$one" && ls -A) <(cd "$shares" && ls -A) || { echo "cluster-test: the shares wrote other files" >&2; return 1; }
  for name in $(cd "$one" && ls -A); do cmp "$one/$name" "$shares/$name"; done
  echo "cluster-test: $(ls -A "$one" | wc -l) files of $3 shares equal one run"
}

viewShares() {
  local options=(samples/sample.3ds --size 160x120 --fit --seed 7 --views -2:2:0.5 --colour c --ply p)
  mkdir -p "$work/one" "$work/views"
  (cd "$work/one" && "$VELMORA_EXPORT" "$root/${options[0]}" "${options[@]:1}" >"$work/log/one.log" 2>&1) ||
    { cat "$work/log/one.log" >&2; return 1; }
  runArray 3 scripts/slurm/export-views.sbatch "$work/views" "$root/${options[0]}" "${options[@]:1}"
  sameFiles "$work/one" "$work/views" 3
}

tileShares() {
  local options=(--holo-size 512x512 --holo-memory 72M)
  mkdir -p "$work/tiles-one" "$work/tiles"
  "$VELMORA_HOLO" "$work/one/c1.CGH" "${options[@]}" -o "$work/tiles-one/h" >"$work/log/tiles-one.log" 2>&1 ||
    { cat "$work/log/tiles-one.log" >&2; return 1; }
  runArray 3 scripts/slurm/holo-tiles.sbatch "$work/tiles" "$work/one/c1.CGH" "${options[@]}" -o "$work/tiles/h"
  sameFiles "$work/tiles-one" "$work/tiles" 3
}

startMunge
startSlurm
viewShares
tileShares
echo "cluster-test: passed"
