#!/usr/bin/env bash
# Sets up this machine and runs every test VELMORA has:
#   1. installs the Debian packages (scripts/setup.sh),
#   2. builds everything and runs the CTest suite (GUI tests under Xvfb),
#   3. runs the Slurm job scripts on a one-node cluster of this machine
#      (scripts/cluster-test.sh, with the release build),
#   4. builds again with AddressSanitizer + UndefinedBehaviorSanitizer and
#      runs the suite once more (a test whose checks all passed but whose leak
#      checker crashed at exit is run a second time),
#   5. runs every libFuzzer harness for a bounded time (scripts/fuzz.sh).
# Exits non-zero as soon as a step fails.
#
# Usage: scripts/test.sh [--quick]
#   --quick: step 2 alone (the release build and its CTest suite), for the
#   edit-build-test loop; no package installation, cluster, sanitizers or
#   fuzzing.
#
# Environment: FUZZ_SECONDS (default 45) per harness; JOBS (default: cores);
# VELMORA_NO_CLUSTER=1 leaves out step 3 (no Slurm daemons on this machine).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
  --quick) quick=1 ;;
  "") ;;
  *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

[ "$quick" = 1 ] || bash scripts/setup.sh
JOBS=${JOBS:-$(nproc)}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}

run_suite() {  # build-folder, extra cmake options...
  local dir=$1
  shift
  echo "== configure and build $dir"
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j"$JOBS"
  echo "== test $dir"
  run_ctest "$dir" -j"$JOBS" || rerun_leak_checker_crashes "$dir"
}

run_ctest() {  # build-folder, extra ctest options...
  local dir=$1
  shift
  xvfb-run -a -s "-screen 0 1600x1200x24" ctest --test-dir "$dir" --output-on-failure --timeout 900 "$@"
}

# LeakSanitizer stops every thread to scan memory at exit; on a busy machine
# its tracer can crash while Mesa's threads are going away ("LeakSanitizer has
# encountered a fatal error") after every check of the test has passed. Such a
# test is run once more; any other failure fails the suite.
rerun_leak_checker_crashes() {  # build-folder
  local log=$1/Testing/Temporary/LastTest.log
  local other
  other=$(awk '/^[0-9]+\/[0-9]+ Testing: /{name=$3; crash=0; passed=0; failed=0}
               /LeakSanitizer has encountered a fatal error/{crash=1}
               /^\[  PASSED  \] [1-9]/{passed=1}
               /^\[  FAILED  \]/{failed=1}
               /^Test Failed\./{if (!(crash && passed && !failed)) print name}' "$log")
  if [ -n "$other" ]; then echo "failed: $other" >&2; return 1; fi
  echo "== the leak checker's tracer crashed after passing tests; running those once more"
  run_ctest "$1" --rerun-failed
}

run_suite build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "$quick" = 1 ]; then
  echo "velmora: the release CTest run passed ($(ctest --test-dir build/release -N | awk '/Total Tests:/ {print $3}') tests)"
  exit 0
fi

if [ "${VELMORA_NO_CLUSTER:-0}" = 1 ]; then
  echo "== cluster test left out (VELMORA_NO_CLUSTER=1)"
else
  echo "== cluster test"
  bash scripts/cluster-test.sh build/release
fi

# Mesa's and fontconfig's own start-up allocations live for the whole process;
# leak reports are about VELMORA's code only (see the suppressions file).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON

bash scripts/fuzz.sh "${FUZZ_SECONDS:-45}"

total=$(( $(ctest --test-dir build/release -N | awk '/Total Tests:/ {print $3}') \
        + $(ctest --test-dir build/asan -N | awk '/Total Tests:/ {print $3}') ))
echo "velmora: all test suites passed (release and sanitizer CTest runs, the cluster test unless left out, fuzzers)"
echo "ctest: $total passed, 0 failed"
