#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks the project on a fresh system of another Debian release, as a new user meets it:
#   test-debian.sh [RELEASE]    RELEASE is a Debian code name, trixie (Debian 13) unless given
# Makes a throwaway RELEASE system with debootstrap in a folder of its own under /var/tmp, copies a
# clean clone of this checkout's HEAD into it, and there runs the README's test command
# (scripts/test.sh, which installs its own packages) and scripts/test-package.sh (the .deb built,
# checked with that release's lintian and appstreamcli, installed and removed again). The chroot
# gets /proc, /dev, /dev/pts, /dev/shm and /sys mounted by this script, which unmounts them on every
# way out and removes the folder.
#
# The base system debootstrap makes is kept as a tarball under /var/cache/quillmere, named by the
# release and a hash of how it was made, and reused for 30 days; the packages apt downloads in the
# chroot are kept beside it. QUILLMERE_DEBIAN_FRESH=1 starts from nothing (and replaces the kept
# base). The mirror is the Debian mirror this machine's apt uses (QUILLMERE_DEBIAN_MIRROR overrides
# it). Needs root, or sudo.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=QUILLMERE_WARNINGS_AS_ERRORS,QUILLMERE_DEBIAN_FRESH,QUILLMERE_DEBIAN_MIRROR \
    bash "$0" "$@"
fi
cd "$(dirname "$0")/.."
release=${1:-trixie}
source_tree=$PWD
started=$SECONDS

bash scripts/install-deps.sh chroot

# The main archive among apt's sources (not -updates or -security), as apt itself lists them.
mirror=${QUILLMERE_DEBIAN_MIRROR:-$(apt-get indextargets --format '$(ORIGIN) $(CODENAME) $(REPO_URI)' \
  'Identifier: Packages' | awk '$1 == "Debian" && $2 !~ /-/ { print $3; exit }')}
[ -n "$mirror" ] || { echo "no Debian mirror among apt's sources; set QUILLMERE_DEBIAN_MIRROR" >&2; exit 1; }

cache=/var/cache/quillmere
recipe="debootstrap $(debootstrap --version) --variant=minbase $release"
base=$cache/debootstrap-$release-$(echo "$recipe" | sha256sum | cut -c1-12).tar
archives=$cache/apt-archives-$release

work=$(mktemp -d /var/tmp/quillmere-"$release".XXXXXX)
root=$work/root
mkdir "$root"

# Prints what is mounted at or under the chroot, deepest first.
mounts_in_root() {
  findmnt -rn -o TARGET | awk -v root="$root" '$0 == root || index($0, root "/") == 1' | sort -r
}
cleanup() {
  local status=$?
  local target
  # debootstrap mounts things of its own in the new system, which it normally removes itself.
  for target in $(mounts_in_root); do
    umount "$target" 2>/dev/null || umount -l "$target" || true
  done
  if [ -n "$(mounts_in_root)" ]; then
    echo "still mounted under $root, left in place:" >&2
    mounts_in_root >&2
    status=1
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

phase_started=$SECONDS
# Prints how long the phase since the last call took, after its name.
phase_done() {
  echo "== $1: $((SECONDS - phase_started)) s"
  phase_started=$SECONDS
}

if [ -z "${QUILLMERE_DEBIAN_FRESH:-}" ] && [ -n "$(find "$base" -mtime -30 2>/dev/null)" ]; then
  echo "== $release: the kept base system $base"
  tar -xf "$base" -C "$root"
  phase_done "unpacking the kept base"
else
  echo "== $release: a new base system from $mirror"
  debootstrap --variant=minbase "$release" "$root" "$mirror"
  # No services start in the chroot when packages are installed there.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  mkdir -p "$cache"
  rm -f "$cache"/debootstrap-"$release"-*.tar
  tar -cf "$base.partial" -C "$root" . && mv "$base.partial" "$base"
  phase_done "debootstrap"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"

mount -t proc proc "$root/proc"
# /dev of this machine, bound without what is mounted below it, and private, so that the mounts
# made below it here stay in the chroot.
mount --bind /dev "$root/dev"
mount --make-private "$root/dev"
mount -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts "$root/dev/pts"
mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
mount -t sysfs sysfs "$root/sys" 2>/dev/null || mount --bind -o ro /sys "$root/sys"
mkdir -p "$archives/partial"
mount --bind "$archives" "$root/var/cache/apt/archives"

echo "== a clean clone of $(git -C "$source_tree" rev-parse --short HEAD)"
mkdir -p "$root/build"
git clone -q --no-hardlinks "$source_tree" "$root/build/quillmere"
git -C "$root/build/quillmere" checkout -q --detach "$(git -C "$source_tree" rev-parse HEAD)"

in_chroot() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    QUILLMERE_WARNINGS_AS_ERRORS="${QUILLMERE_WARNINGS_AS_ERRORS:-}" \
    bash -c "cd /build/quillmere && $1"
}
echo "== $release: $(in_chroot 'cat /etc/debian_version')"
in_chroot 'bash scripts/test.sh'
phase_done "the README's test command (bash scripts/test.sh)"
in_chroot 'bash scripts/test-package.sh'
phase_done "the package check (bash scripts/test-package.sh)"
echo "== $release passed in $((SECONDS - started)) s"
