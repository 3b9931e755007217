# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit ARM Linux (aarch64) with Debian's cross compiler
# (crossbuild-essential-arm64) against the arm64 forms of the libraries, installed beside the build
# machine's own through multiarch (qt6-base-dev:arm64, ...), and runs what it builds under
# qemu-user-static.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(quillmere_triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${quillmere_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${quillmere_triplet}-g++)
# Packages are looked up in /usr/lib/aarch64-linux-gnu, where multiarch puts the arm64 libraries
# and their CMake files; the headers in /usr/include are shared by both architectures.
set(CMAKE_LIBRARY_ARCHITECTURE ${quillmere_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# Qt's tools (moc, rcc) are the build machine's: qt6-base-dev-tools is Multi-Arch: foreign.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)

# pkg-config reads the arm64 libraries' files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${quillmere_triplet}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

find_program(QUILLMERE_QEMU NAMES qemu-aarch64-static qemu-aarch64)
if(QUILLMERE_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMERE_QEMU})
endif()
