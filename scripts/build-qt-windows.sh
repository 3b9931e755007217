#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes Qt 6.4.2 for 64-bit Windows (Core, Gui, Widgets, Test; mingw-w64) once, into a cache folder
# outside the clone named by the Qt version and a hash of the recipe below, and prints that folder.
# Later runs find it there and print it at once.
#
# The Qt is built from Debian 12's own source package qt6-base 6.4.2+dfsg-10 (upstream source only,
# Debian's patches left out) with one change, qt-windows-no-opengl.patch beside this script. With
# --prebuilt TARBALL, a copy made by this same recipe (a .tar.xz holding one folder) is unpacked
# instead of building, which saves the build's 35-40 minutes on 2 cores.
#
# Usage: build-qt-windows.sh [--prebuilt TARBALL] [--configure-only]
#   --configure-only  fetch the source, apply the change and configure, then stop (prints the
#                     build folder); nothing is cached as a finished Qt.
# Environment: QUILLMERE_CACHE_DIR (default /var/cache/quillmere where writable, else
# ~/.cache/quillmere), QUILLMERE_QT_JOBS (parallel build jobs, default: all processors).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
project=$(dirname "$here")

prebuilt=
configure_only=0
while [ $# -gt 0 ]; do
  case $1 in
    --prebuilt) prebuilt=$2; shift 2 ;;
    --configure-only) configure_only=1; shift ;;
    *) echo "build-qt-windows.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

qt_version=6.4.2
source_package=qt6-base
source_version=6.4.2+dfsg-10
source_folder=qtbase-everywhere-src-$qt_version
patch_file=$here/qt-windows-no-opengl.patch
configure_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_xml=OFF
)
host_options=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)

# The recipe's hash names the cache folder: another source, change or option makes another Qt.
recipe_hash=$(
  {
    echo "$source_package $source_version"
    cat "$patch_file"
    printf '%s\n' "${configure_options[@]}" "${host_options[@]}" "strip --strip-debug"
  } | sha256sum | cut -c1-12
)

if [ -n "${QUILLMERE_CACHE_DIR:-}" ]; then
  cache=$QUILLMERE_CACHE_DIR
elif mkdir -p /var/cache/quillmere 2>/dev/null && [ -w /var/cache/quillmere ]; then
  cache=/var/cache/quillmere
else
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillmere
fi
prefix=$cache/qt-$qt_version-mingw-$recipe_hash
mkdir -p "$cache"

# One run at a time makes a given Qt; a second waits and then finds it made.
exec 9>"$prefix.lock"
flock 9

if [ "$configure_only" -eq 0 ]; then
  if [ -e "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
  fi
  rm -rf "$prefix" # what an interrupted run left
fi

if [ -n "$prebuilt" ] && [ "$configure_only" -eq 0 ]; then
  echo "Unpacking $prebuilt into $prefix" >&2
  mkdir -p "$prefix"
  tar -xJf "$prebuilt" -C "$prefix" --strip-components=1
  [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ] || { echo "$prebuilt holds no Qt 6" >&2; exit 1; }
  touch "$prefix/.complete"
  echo "$prefix"
  exit 0
fi

# Building needs the host's Qt of the same version for moc, rcc and uic, and the cross compiler.
bash "$here/install-deps.sh" qt-windows
host_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev)
case $host_qt in
  "$qt_version"+*) ;;
  *) echo "The host's Qt is $host_qt; building Qt $qt_version for Windows needs host tools of" \
       "Qt $qt_version (Debian 12's qt6-base-dev and qt6-base-dev-tools)" >&2; exit 1 ;;
esac

work=$prefix.build
rm -rf "$work"
mkdir -p "$work/apt/lists/partial" "$work/apt/parts" "$work/source"

# The deb-src entry lives in a sources list of this run's own, with its own package lists, so the
# machine's sources and lists stay as they are. apt checks the files against the signed index.
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "${QUILLMERE_DEBIAN_MIRROR:-http://deb.debian.org/debian} bookworm main" >"$work/apt/sources.list"
apt_private=(
  -o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts="$work/apt/parts"
  -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
  -o DPkg::Lock::Timeout=900
)
echo "Fetching the source package $source_package $source_version" >&2
apt-get "${apt_private[@]}" update -q >&2
(cd "$work/source" && apt-get "${apt_private[@]}" source --download-only -q \
  "$source_package=$source_version" >&2)
orig=$(ls "$work/source/${source_package}_${source_version%-*}.orig.tar.xz")
tar -xJf "$orig" -C "$work/source"
patch -d "$work/source/$source_folder" -p1 --forward <"$patch_file" >&2

echo "Configuring Qt in $work/build" >&2
cmake -G Ninja -S "$work/source/$source_folder" -B "$work/build" \
  -DCMAKE_TOOLCHAIN_FILE="$project/cmake/toolchains/x86_64-w64-mingw32.cmake" \
  "${host_options[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" "${configure_options[@]}" >&2
if [ "$configure_only" -eq 1 ]; then
  echo "$work/build"
  exit 0
fi

echo "Building Qt (35-40 minutes on 2 cores)" >&2
cmake --build "$work/build" ${QUILLMERE_QT_JOBS:+--parallel "$QUILLMERE_QT_JOBS"} >&2
cmake --install "$work/build" >&2
find "$prefix" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-debug {} +
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
