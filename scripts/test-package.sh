#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the .deb from the default build and checks it as a distribution would: its control data,
# lintian, the AppStream metadata, the desktop entry and the manual pages it ships. Then installs it
# with apt-get, starts the installed program from its desktop entry's Exec line under an Xvfb of
# its own, runs `quillmere-text --help` and `man quillmere-text`, and removes the package again.
# Needs root (or sudo) for the install; CI runs it after scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
work=$(mktemp -d)
chmod 755 "$work" # apt's download user reads the package from here
installed=
cleanup() {
  if [ -n "$installed" ]; then
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quillmere >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "== building the package"
cmake --preset default >/dev/null
cmake --build --preset default
rm -f build/default/quillmere_*.deb
(cd build/default && cpack -G DEB)
deb=$(echo build/default/quillmere_*_"$(dpkg --print-architecture)".deb)
[ -f "$deb" ] || fail "cpack made no package"
cp "$deb" "$work/"
deb="$work/$(basename "$deb")"
echo "package: $(basename "$deb")"

echo "== dpkg-deb --info"
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "== lintian (errors fail, the rest is reported)"
lintian --display-info --pedantic --fail-on error "$deb"

echo "== the files the package ships, through their validators"
dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"
metainfo=$(echo "$share"/metainfo/*.metainfo.xml)
desktop=$(echo "$share"/applications/*.desktop)
# --no-net: the homepage and screenshot addresses are not reachable from CI.
appstreamcli validate --pedantic --no-net --no-color "$metainfo" | tee "$work/appstream.log"
! grep -qE '^[EWIP]: ' "$work/appstream.log" || fail "appstreamcli has remarks on $(basename "$metainfo")"
desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 || true
cat "$work/desktop.log"
[ ! -s "$work/desktop.log" ] || fail "desktop-file-validate has remarks on $(basename "$desktop")"
for page in "$share"/man/man1/*.1.gz; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >/dev/null 2>"$work/man.log"
  cat "$work/man.log"
  [ ! -s "$work/man.log" ] || fail "man --warnings has remarks on $(basename "$page")"
  echo "$(basename "$page"): no warnings"
done

echo "== installing the package"
if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q 'install ok installed'; then
  fail "quillmere is already installed here; this check installs and removes its own copy"
fi
# Recommendations stay out so that removing the package leaves the machine as it was; a user's
# `apt-get install ./quillmere_*.deb` also brings qt6-wayland.
installed=yes
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb"
[ "$(command -v quillmere)" = /usr/bin/quillmere ] || fail "quillmere is not /usr/bin/quillmere"

echo "== starting the installed program from its desktop entry"
entry=/usr/share/applications/$(basename "$desktop")
exec_line=$(sed -n 's/^Exec=//p' "$entry" | sed 's/ *%[fFuUick]//g')
# Starts the command line $1 on the X server of DISPLAY and waits up to 10 s for the quillmere
# window; $2 is a folder for its home and log. The environment is a clean one, so that nothing of
# the build folder is found instead of the installed files. Runs under tests/window/with_xvfb.sh.
show_window() {
  env -i PATH=/usr/bin:/bin HOME="$2" DISPLAY="$DISPLAY" sh -c "exec $1" >"$2/app.log" 2>&1 &
  local app_pid=$! shown=
  for _ in $(seq 100); do
    sleep 0.1
    kill -0 "$app_pid" 2>/dev/null || { echo "the program ended: $(cat "$2/app.log")"; return 1; }
    if xwininfo -root -tree 2>/dev/null | grep -q '("quillmere" "quillmere")'; then
      shown=yes
      break
    fi
  done
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  [ -n "$shown" ] || { echo "no quillmere window appeared within 10 s"; return 1; }
  echo "Exec=$1 shows the window on $DISPLAY"
}
export -f show_window
tests/window/with_xvfb.sh bash -c 'show_window "$@"' show_window "$exec_line" "$work" ||
  fail "the installed program did not show its window"

echo "== the installed command-line tool and its manual"
help=$(quillmere-text --help) || fail "quillmere-text --help"
[[ $help == "Usage: quillmere-text "* ]] || fail "quillmere-text --help printed: $help"
page=$(MANPAGER=cat MANWIDTH=80 man quillmere-text) || fail "man quillmere-text"
[[ $page == *"quillmere-text reveal [--bits]"* ]] || fail "man quillmere-text printed: $page"
page=$(MANPAGER=cat MANWIDTH=80 man quillmere) || fail "man quillmere"
[[ $page == *"Verschlüsselungsdemo"* ]] || fail "man quillmere printed: $page"
echo "quillmere-text --help, man quillmere-text and man quillmere work"

echo "== removing the package"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q quillmere
installed=
[ ! -e /usr/bin/quillmere ] || fail "/usr/bin/quillmere is still there"
echo "== the package passed every check"
