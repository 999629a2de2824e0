#!/usr/bin/env bash
# Builds the Debian package: a Release build of the three programs in
# build/package, then `cpack -G DEB` there, then lintian over the result.
# Leaves build/package/velmora_<version>_<arch>.deb; install it with
#   apt-get install ./build/package/velmora_*.deb
# scripts/package-check.sh installs it on a freshly bootstrapped Debian.
#
# Environment: JOBS (default: cores); LINTIAN=0 skips the lintian run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
dir=build/package
# Debian's own hardening and optimisation flags, as a Debian build would use.
flags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$flags $(dpkg-buildflags --get CFLAGS)" -DCMAKE_CXX_FLAGS="$flags $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now"
cmake --build "$dir" -j"${JOBS:-$(nproc)}"
rm -f "$dir"/velmora_*.deb
(cd "$dir" && cpack -G DEB)
deb=$(ls "$dir"/velmora_*.deb)
if [ "${LINTIAN:-1}" != 0 ]; then
  echo "== lintian $deb"
  lintian --fail-on error --info "$deb"
fi
echo "package: $deb"
