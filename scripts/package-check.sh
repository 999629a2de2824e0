#!/usr/bin/env bash
# Installs the Debian package on a freshly bootstrapped Debian 12 (bookworm)
# and runs it there: the dependencies the package declares must be enough on
# a system that has nothing else. Slow (it downloads a base system from the
# Debian mirror this machine's apt uses) and needs root; not part of
# scripts/test.sh.
#
# Usage: scripts/package-check.sh [DEB]   (default: build/package/velmora_*.deb,
#                                          made by scripts/package.sh)
# Environment: MIRROR (default: the first Debian mirror in apt's sources).
set -euo pipefail
cd "$(dirname "$0")/.."

deb=${1:-$(ls build/package/velmora_*.deb 2>/dev/null | head -n 1)}
[ -f "$deb" ] || { echo "package-check: no package; run scripts/package.sh first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "package-check: needs root (debootstrap, chroot)" >&2; exit 1; }
command -v debootstrap >/dev/null || { echo "package-check: needs debootstrap (scripts/setup.sh)" >&2; exit 1; }

mirror=${MIRROR:-$(grep -hoE '^URIs:[[:space:]]*[^[:space:]]+/debian/?$|^deb[[:space:]]+[^[:space:]]+/debian/?[[:space:]]' \
  /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | head -n 1 | awk '{print $2}' || true)}
mirror=${mirror:-http://deb.debian.org/debian}

root=$PWD/build/fresh-root
cleanup() { umount "$root/proc" 2>/dev/null || true; }
trap cleanup EXIT
cleanup
rm -rf "$root"
echo "== debootstrap bookworm from $mirror into $root"
mkdir -p build/debootstrap-cache  # downloads kept for the next run
debootstrap --variant=minbase --include=man-db --cache-dir="$PWD/build/debootstrap-cache" bookworm "$root" "$mirror" >"$root.log" 2>&1 ||
  { tail -n 20 "$root.log" >&2; exit 1; }
mount -t proc proc "$root/proc" 2>/dev/null || echo "package-check: /proc not mounted in the chroot"

inside() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }
cp "$deb" "$root/tmp/"
cp -r samples "$root/tmp/"
echo "== apt-get install ./$(basename "$deb")"
inside apt-get update -q
inside env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$deb")"

echo "== run"
inside velmora-export --help >/dev/null
inside velmora-holo --help >/dev/null
inside velmora-export --version
# Headless drawing needs the Mesa driver and the fonts the package depends on.
inside sh -c 'cd /tmp/samples && velmora-export --size 64x48 --seed 1 --colour /tmp/s.CGH sample.3ds'
inside env MANPAGER=cat man velmora-export | head -n 5
inside env MANPAGER=cat man velmora >/dev/null
ls "$root"/usr/share/applications/velmora.desktop "$root"/usr/share/icons/hicolor/*/apps/velmora.*
echo "package-check: $(basename "$deb") installs and runs on a fresh bookworm"
