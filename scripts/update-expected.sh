#!/usr/bin/env bash
# Regenerates the expected texts in tests/data after a deliberate change of
# an output format: rebuilds the release build, runs its CTest suite with
# VELMORA_UPDATE_EXPECTED=1 (each comparison with tests/data writes what the
# program gave instead of failing), rewrites tests/data/cli from
# tests/cli/expected.py, and shows what changed. Review the diff line by
# line before committing it: the expected values are meant to be checked by
# hand, and a test that now "passes" proves nothing until you have.
#
# Usage: scripts/update-expected.sh [CTEST_ARGS...]   e.g. -R ThreeDsReader
set -euo pipefail
cd "$(dirname "$0")/.."

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-xcb}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j"${JOBS:-$(nproc)}"
/usr/bin/python3 tests/cli/expected.py  # Debian's numpy belongs to this interpreter
# One test at a time: several tests write sections of the same file.
status=0
VELMORA_UPDATE_EXPECTED=1 xvfb-run -a -s "-screen 0 1600x1200x24" \
  ctest --test-dir build/release --output-on-failure --timeout 900 "$@" || status=$?
echo "== what changed (git diff tests/data to review)"
git diff --stat -- tests/data
if [ "$status" -ne 0 ]; then
  echo "update-expected: tests failed all the same; those failures are not about tests/data" >&2
fi
exit "$status"
